#include "core/file/CFileStuff.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

char CFileStuff::ResultBuffer[CFileStuff::kResultSize];

namespace {

struct SplitPath {
    explicit SplitPath(const char* path) { _splitpath(path, drive, dir, fname, ext); }
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    char fname[_MAX_FNAME];
    char ext[_MAX_EXT];
};

const char* Result(const char* a, const char* b = "", const char* c = "", const char* d = "")
{
    char* out = CFileStuff::ResultBuffer;
    size_t room = CFileStuff::kResultSize - 1;
    for (const char* part : {a, b, c, d}) {
        size_t length = std::strlen(part);
        if (length > room)
            length = room;
        std::memcpy(out, part, length);
        out += length;
        room -= length;
    }
    *out = '\0';
    return CFileStuff::ResultBuffer;
}

} // namespace

const char* CFileStuff::FindBaseName(const char* path) { return Result(SplitPath(path).fname); }

const char* CFileStuff::FindExtention(const char* path) { return Result(SplitPath(path).ext); }

const char* CFileStuff::FindPath(const char* path)
{
    SplitPath split(path);
    return Result(split.drive, split.dir);
}

const char* CFileStuff::FindPathName(const char* path)
{
    SplitPath split(path);
    return Result(split.drive, split.dir, split.fname);
}

const char* CFileStuff::FindBasePathAndName(const char* path)
{
    SplitPath split(path);
    return Result(split.dir, split.dir[0] ? "\\" : "", split.fname);
}

const char* CFileStuff::BuildPath(const char* path, const char* defaultExtension, const char* defaultPath)
{
    SplitPath split(path);
    char defaultDrive[_MAX_DRIVE] = "";
    const char* defaultFolder = defaultPath ? defaultPath : "";
    if (const char* colon = std::strchr(defaultFolder, ':')) {
        size_t length = static_cast<size_t>(colon + 1 - defaultFolder);
        if (length < sizeof defaultDrive) {
            std::memcpy(defaultDrive, defaultFolder, length);
            defaultDrive[length] = '\0';
        }
        defaultFolder = colon + 1;
    }
    const char* drive = split.drive[0] ? split.drive : defaultDrive;
    const char* dir = split.dir[0] ? split.dir : defaultFolder;
    const char* ext = split.ext[0] ? split.ext : (defaultExtension ? defaultExtension : "");
    return Result(drive, dir, split.fname, ext);
}
