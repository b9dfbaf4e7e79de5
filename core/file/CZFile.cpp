#include "core/file/CZFile.h"

#include <cstring>

namespace {
// Copies text when it fits in size bytes with its terminator.
bool CopyIfFits(char* out, const char* text, size_t size)
{
    size_t length = std::strlen(text);
    if (length >= size)
        return false;
    std::memcpy(out, text, length + 1);
    return true;
}

bool AppendIfFits(char* out, const char* text, size_t size)
{
    size_t used = std::strlen(out);
    return CopyIfFits(out + used, text, size - used);
}
} // namespace

CZFile::CZFile()
    : m_bOpen(false), m_bSearching(false), m_Position(0), m_Device(0), m_SearchFolder(), m_SearchPattern(),
      m_FoundName(), m_FileFlags(0), m_SearchFlags(0)
{
    Plat_Init();
}

CZFile::~CZFile()
{
    Close();
    EndSearch();
    Plat_Exit();
}

bool CZFile::BuildPath(char* out, const char* name, unsigned long flags) const
{
    Plat_Path(out, flags);
    if (m_bSearching && name == nullptr)
        return AppendIfFits(out, m_SearchFolder, kPathSize) && AppendIfFits(out, m_FoundName, kPathSize);
    return name != nullptr && AppendIfFits(out, name, kPathSize);
}

int CZFile::Open(const char* name, unsigned long flags)
{
    if (m_bSearching && flags == 0)
        flags = m_SearchFlags;
    char path[kPathSize];
    if (!BuildPath(path, name, flags))
        return 1;
    long device = Plat_Device(path);
    if (flags & kExists)
        return Plat_Exists(path);
    Close();
    int result = Plat_Open(path, flags);
    if (result != 0)
        return result;
    m_Position = 0;
    m_FileFlags = flags;
    m_Device = device;
    m_bOpen = true;
    return 0;
}

int CZFile::Close()
{
    if (!m_bOpen)
        return 0;
    int result = Plat_Close();
    m_bOpen = false;
    m_Position = 0;
    return result;
}

int CZFile::Read(void* buffer, unsigned long count)
{
    if (!m_bOpen || !(m_FileFlags & kRead))
        return -1;
    int got = Plat_Read(buffer, count);
    if (got >= 0)
        m_Position += static_cast<unsigned long>(got);
    return got;
}

int CZFile::Write(const void* buffer, unsigned long count)
{
    if (!m_bOpen || !(m_FileFlags & kWrite))
        return -1;
    int written = Plat_Write(buffer, count);
    if (written >= 0)
        m_Position += static_cast<unsigned long>(written);
    return written;
}

int CZFile::Seek(unsigned long position)
{
    if (!m_bOpen)
        return 1;
    if (position == m_Position)
        return 0;
    Plat_Seek(position);
    m_Position = position;
    return 0;
}

int CZFile::Delete(const char* name, unsigned long flags)
{
    if (m_bSearching && flags == 0)
        flags = m_SearchFlags;
    char path[kPathSize];
    if (!BuildPath(path, name, flags))
        return 1;
    return Plat_Delete(path);
}

void CZFile::EndSearch()
{
    if (m_bSearching)
        Plat_FindClose();
    m_bSearching = false;
}

int CZFile::Find(const char* folder, const char* pattern, unsigned long flags)
{
    if (folder == nullptr && pattern == nullptr) {
        m_SearchFolder[0] = m_SearchPattern[0] = m_FoundName[0] = '\0';
        EndSearch();
        return 0;
    }
    if (m_bSearching) {
        if (Plat_FindNext() != 0) {
            EndSearch();
            return 1;
        }
    } else {
        char path[kPathSize];
        Plat_Path(path, flags);
        if (!CopyIfFits(m_SearchFolder, folder ? folder : "", kPathSize) ||
            !CopyIfFits(m_SearchPattern, pattern ? pattern : "", kPatternSize) ||
            !AppendIfFits(path, m_SearchFolder, kPathSize) || !AppendIfFits(path, m_SearchPattern, kPathSize))
            return 1;
        if (Plat_FindOpen(path) != 0)
            return 1;
        m_bSearching = true;
        m_SearchFlags = flags;
    }
    return Plat_FindProcess();
}

const char* CZFile::GetFoundName() const { return m_bSearching ? m_FoundName : ""; }

void CZFile::GetPath(char* out, unsigned long flags) { Plat_Path(out, flags); }
