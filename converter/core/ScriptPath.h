#pragma once

#include <string>

// Scripts name files the Windows way ("levels\a.rhu", any case); this is the path to open here.
std::string ScriptPath(const char* name);
