// Windows paths on a POSIX file system: separators, drive letters and case-blind names.
#include <direct.h>
#include <mg_win32.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Flushes a file's (or a folder's entries') bytes from the cache to the disk.
bool SyncPath(const char* path, int flags)
{
    const int descriptor = open(path, flags);
    if (descriptor < 0)
        return false;
    const bool synced = fsync(descriptor) == 0;
    close(descriptor);
    return synced;
}

// The folder holding path, "." for a bare name.
std::string FolderOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        return ".";
    return slash == path ? std::string("/") : std::string(path, slash);
}

// The entry of folder whose name equals name without regard to case, or "" when none does.
std::string FindCaseBlind(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return std::string();
    std::string match;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            match = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return match;
}

std::string Normalise(const char* path)
{
    if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        path += 2;
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

// Walks the components, replacing each missing one by its case-blind match; the first one
// with no match ends the walk and the rest is kept as given.
std::string ResolveCase(const std::string& path)
{
    std::string resolved;
    size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos < path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(pos, end - pos);
        std::string folder = resolved;
        std::string candidate = resolved + component;
        if (!component.empty() && component != "." && component != ".." && !Exists(candidate)) {
            std::string match = FindCaseBlind(folder, component);
            if (match.empty())
                return resolved + path.substr(pos);
            candidate = resolved + match;
        }
        resolved = candidate;
        if (end < path.size())
            resolved += '/';
        pos = end + 1;
    }
    return resolved;
}

void CopyCut(char* out, size_t outSize, const char* from, size_t length)
{
    if (out == nullptr)
        return;
    if (length >= outSize)
        length = outSize - 1;
    std::memcpy(out, from, length);
    out[length] = '\0';
}

} // namespace

int MgMapPath(const char* path, char* out, int outSize)
{
    if (path == nullptr || out == nullptr || outSize <= 0)
        return -1;
    std::string mapped = Normalise(path);
    if (!mapped.empty() && !Exists(mapped))
        mapped = ResolveCase(mapped);
    if (mapped.size() >= static_cast<size_t>(outSize))
        return -1;
    std::memcpy(out, mapped.c_str(), mapped.size() + 1);
    return static_cast<int>(mapped.size());
}

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size)
{
    if (fileName == nullptr || size == 0)
        return 0;
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length < 0)
        length = 0;
    path[length] = '\0';
    for (char* c = path; *c; ++c)
        if (*c == '/')
            *c = '\\';
    CopyCut(fileName, size, path, static_cast<size_t>(length));
    return static_cast<DWORD>(std::strlen(fileName));
}

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    if (path == nullptr)
        path = "";
    const char* rest = path;
    if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        rest = path + 2;
    CopyCut(drive, _MAX_DRIVE, path, static_cast<size_t>(rest - path));
    const char* name = rest;
    for (const char* c = rest; *c; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    CopyCut(dir, _MAX_DIR, rest, static_cast<size_t>(name - rest));
    const char* dot = std::strrchr(name, '.');
    const char* nameEnd = dot ? dot : name + std::strlen(name);
    CopyCut(fname, _MAX_FNAME, name, static_cast<size_t>(nameEnd - name));
    CopyCut(ext, _MAX_EXT, nameEnd, std::strlen(nameEnd));
}

int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }

int _strnicmp(const char* a, const char* b, size_t count) { return strncasecmp(a, b, count); }

int _mkdir(const char* path)
{
    char mapped[4096];
    if (MgMapPath(path, mapped, sizeof mapped) < 0)
        return -1;
    return mkdir(mapped, 0777) == 0 ? 0 : -1;
}

int _rmdir(const char* path)
{
    char mapped[4096];
    if (MgMapPath(path, mapped, sizeof mapped) < 0)
        return -1;
    return rmdir(mapped) == 0 ? 0 : -1;
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags)
{
    char from[4096];
    char to[4096];
    if (existing == nullptr || replacement == nullptr || MgMapPath(existing, from, sizeof from) < 0 ||
        MgMapPath(replacement, to, sizeof to) < 0)
        return FALSE;
    // rename replaces an existing file; without the flag Windows refuses to.
    struct stat status;
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && stat(to, &status) == 0)
        return FALSE;
    // The bytes reach the disk before the name does: a rename that lands before them could
    // leave an empty file in the old one's place.
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0 && !SyncPath(from, O_RDONLY))
        return FALSE;
    if (std::rename(from, to) != 0)
        return FALSE;
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0 && !SyncPath(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY))
        return FALSE;
    return TRUE;
}
