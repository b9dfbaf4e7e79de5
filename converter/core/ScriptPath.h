#pragma once

#include <cstdio>
#include <string>

// Scripts name files the Windows way ("levels\a.rhu", any case); this is the path to open here.
std::string ScriptPath(const char* name);

// A folder, device or pipe where a script expects a file ends the conversion naming it: read as
// a file it would give a size of nothing or of gigabytes. A name that does not exist passes, so
// that opening it reports what is missing.
void RequireRegularFile(const char* name);

// Opens a file a script names, for reading, after RequireRegularFile. Null when the file cannot
// be opened; errno tells why.
FILE* OpenScriptFile(const char* name, const char* mode);
