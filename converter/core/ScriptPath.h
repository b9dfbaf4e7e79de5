#pragma once

#include <string>

// Scripts name files the Windows way ("levels\a.rhu"); the file system here wants slashes.
std::string ScriptPath(const char* name);
