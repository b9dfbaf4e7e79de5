// The platform half of CZFile over the C runtime's streams and the win32 layer's folder
// search and path mapping.
#include "core/file/CZFile.h"

#include <direct.h>
#include <mg_win32.h>
#include <windows.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Computed once per process at the first call that needs it, even when nothing was found.
char g_DataFolder[CZFile::kPathSize];
bool g_DataFolderFound = false;

bool Map(const char* path, char* out) { return MgMapPath(path, out, CZFile::kPathSize * 2) >= 0; }

bool FolderExists(const char* path)
{
    char mapped[CZFile::kPathSize * 2];
    struct stat status;
    return Map(path, mapped) && stat(mapped, &status) == 0 && S_ISDIR(status.st_mode);
}

// Walks up from the host program's folder to the first folder holding "zel": for
// \Game\Bin\host the candidates are \Game\Bin\zel\ and \Game\zel\.
void FindDataFolder()
{
    static const char kZel[] = "\\zel\\";
    // Room is kept for the profile folders that go after it.
    static const char kProfiles2[] = "..\\Profiles2\\";
    char candidate[CZFile::kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, candidate, sizeof candidate);
    g_DataFolder[0] = '\0';
    for (int i = static_cast<int>(length) - 1; i > 0; --i) {
        if (candidate[i] != '\\' || i + sizeof kZel + sizeof kProfiles2 > sizeof candidate)
            continue;
        std::memcpy(candidate + i, kZel, sizeof kZel);
        if (FolderExists(candidate)) {
            std::memcpy(g_DataFolder, candidate, i + sizeof kZel);
            break;
        }
    }
    g_DataFolderFound = true;
}

const char* DataFolder()
{
    if (!g_DataFolderFound)
        FindDataFolder();
    return g_DataFolder;
}

// Writing needs the file's folder; one missing level is created.
void EnsureFolderOf(const char* path)
{
    char folder[CZFile::kPathSize];
    std::strcpy(folder, path);
    char* cut = std::strrchr(folder, '\\');
    char* slash = std::strrchr(folder, '/');
    if (slash > cut)
        cut = slash;
    if (cut == nullptr || cut == folder)
        return;
    *cut = '\0';
    if (!FolderExists(folder))
        _mkdir(folder);
}

} // namespace

void CZFile::Plat_Init()
{
    m_pStream = nullptr;
    m_hFind = -1;
    std::memset(&m_FindData, 0, sizeof m_FindData);
}

void CZFile::Plat_Exit()
{
    Plat_Close();
    Plat_FindClose();
}

void CZFile::Plat_Path(char* out, unsigned long flags)
{
    out[0] = '\0';
    if (flags & kNoBaseFolder)
        return;
    if (flags & kDataFolder) {
        std::strcpy(out, DataFolder());
    } else if (flags & kProfileFolders) {
        std::strcpy(out, DataFolder());
        std::strcat(out, (flags & kFirstProfileFolder) ? "..\\Profiles\\" : "..\\Profiles2\\");
    }
}

long CZFile::Plat_Device(const char*) { return 0; }

int CZFile::Plat_Exists(const char* path)
{
    char mapped[kPathSize * 2];
    struct stat status;
    return Map(path, mapped) && stat(mapped, &status) == 0 ? 0 : 1;
}

int CZFile::Plat_Open(const char* path, unsigned long flags)
{
    const char* mode = "";
    if ((flags & kRead) && (flags & kWrite))
        mode = "w+b";
    else if (flags & kRead)
        mode = "rb";
    else if (flags & kWrite)
        mode = "wb";
    if (*mode == '\0')
        return 1;
    if (flags & kWrite)
        EnsureFolderOf(path);
    char mapped[kPathSize * 2];
    if (!Map(path, mapped))
        return 1;
    m_pStream = std::fopen(mapped, mode);
    return m_pStream == nullptr ? 1 : 0;
}

int CZFile::Plat_Close()
{
    if (m_pStream == nullptr)
        return 0;
    int result = std::fclose(m_pStream) == 0 ? 0 : 1;
    m_pStream = nullptr;
    return result;
}

int CZFile::Plat_Delete(const char* path)
{
    char mapped[kPathSize * 2];
    return Map(path, mapped) && unlink(mapped) == 0 ? 0 : 1;
}

int CZFile::Plat_Read(void* buffer, unsigned long count)
{
    size_t got = std::fread(buffer, 1, count, m_pStream);
    if (got == count || std::feof(m_pStream))
        return static_cast<int>(got);
    return -1;
}

int CZFile::Plat_Write(const void* buffer, unsigned long count)
{
    return std::fwrite(buffer, 1, count, m_pStream) == count ? static_cast<int>(count) : -1;
}

int CZFile::Plat_Seek(unsigned long position)
{
    std::fseek(m_pStream, static_cast<long>(position), SEEK_SET);
    return 0;
}

int CZFile::Plat_FindOpen(const char* path)
{
    m_hFind = _findfirst(path, &m_FindData);
    return m_hFind == -1 ? 1 : 0;
}

void CZFile::Plat_FindClose()
{
    if (m_hFind != -1)
        _findclose(m_hFind);
    m_hFind = -1;
}

int CZFile::Plat_FindNext() { return _findnext(m_hFind, &m_FindData) == 0 ? 0 : 1; }

int CZFile::Plat_FindProcess()
{
    for (;;) {
        bool folder = (m_FindData.attrib & _A_SUBDIR) != 0;
        size_t length = std::strlen(m_FindData.name);
        // Names that would not fit the found-name buffer are passed over.
        if (folder && (m_SearchFlags & kFindFolders) && length + 1 < kFoundNameSize) {
            std::memcpy(m_FoundName, m_FindData.name, length);
            std::memcpy(m_FoundName + length, "\\", 2);
            return 0;
        }
        if (!folder && (m_SearchFlags & kFindFiles) && length < kFoundNameSize) {
            std::memcpy(m_FoundName, m_FindData.name, length + 1);
            return 0;
        }
        if (Plat_FindNext() != 0) {
            EndSearch();
            return 1;
        }
    }
}
