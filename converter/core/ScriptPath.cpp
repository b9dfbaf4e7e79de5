#include "converter/core/ScriptPath.h"

#include <mg_win32.h>

#include <cstring>
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
