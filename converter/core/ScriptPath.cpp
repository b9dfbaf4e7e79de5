#include "converter/core/ScriptPath.h"

#include <algorithm>

std::string ScriptPath(const char* name)
{
    std::string path = name ? name : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
