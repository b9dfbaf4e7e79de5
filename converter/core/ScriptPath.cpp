#include "converter/core/ScriptPath.h"

#include "core/output/ZOutput.h"

#include <mg_win32.h>

#include <cstring>
#include <sys/stat.h>
#include <vector>

std::string ScriptPath(const char* name)
{
    if (!name)
        return std::string();
    std::vector<char> mapped(strlen(name) * 2 + 64);
    while (MgMapPath(name, mapped.data(), static_cast<int>(mapped.size())) < 0)
        mapped.resize(mapped.size() * 2);
    return mapped.data();
}

void RequireRegularFile(const char* name)
{
    struct stat status;
    if (stat(ScriptPath(name).c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        vbail("Cannot read %s: it is a %s, not a file\n", name, S_ISDIR(status.st_mode) ? "folder" : "special file");
}

FILE* OpenScriptFile(const char* name, const char* mode)
{
    RequireRegularFile(name);
    return fopen(ScriptPath(name).c_str(), mode);
}
