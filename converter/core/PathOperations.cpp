#include "converter/core/PathOperations.h"

#include "converter/core/ConsoleOutput.h"

#include <afx.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

char SharedPath[MAX_PATH];

struct PathParts {
    char Drive[MAX_PATH];
    char Dir[MAX_PATH];
    char Name[MAX_PATH];
    char Ext[MAX_PATH];
};

PathParts Split(const char* path)
{
    if (strlen(path) >= MAX_PATH)
        vbail("Path too long (more than %d characters):\n%s\n", MAX_PATH - 1, path);
    PathParts parts;
    _splitpath(path, parts.Drive, parts.Dir, parts.Name, parts.Ext);
    return parts;
}

const char* Join(const char* a, const char* b = "", const char* c = "", const char* d = "")
{
    const std::string joined = std::string(a) + b + c + d;
    if (joined.size() >= sizeof(SharedPath))
        vbail("Path too long (more than %d characters):\n%s\n", MAX_PATH - 1, joined.c_str());
    memcpy(SharedPath, joined.c_str(), joined.size() + 1);
    return SharedPath;
}

} // namespace

const char* FileTitle(const char* path)
{
    const PathParts parts = Split(path);
    return Join(parts.Name);
}

const char* FolderOf(const char* path)
{
    const PathParts parts = Split(path);
    return Join(parts.Drive, parts.Dir);
}

const char* StripExtension(const char* path)
{
    const PathParts parts = Split(path);
    return Join(parts.Drive, parts.Dir, parts.Name);
}

const char* FileExtension(const char* path)
{
    const PathParts parts = Split(path);
    return Join(parts.Ext);
}

const char* MakeSymbolName(const char* path)
{
    if (strchr(path, ':')) {
        const PathParts parts = Split(path);
        Join("_", parts.Dir, parts.Name, parts.Ext);
    } else {
        if (strlen(path) >= MAX_PATH)
            vbail("Path too long (more than %d characters):\n%s\n", MAX_PATH - 1, path);
        Join(path);
    }
    for (char* c = SharedPath; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        *c = isalnum(u) || u == '_' ? static_cast<char>(tolower(u)) : '_';
    }
    return SharedPath;
}

bool MapTargetDrive(CString&) { return true; }

bool MapTargetDriveInPlace(char*) { return true; }
