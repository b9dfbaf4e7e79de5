#pragma once
// Folder creation of the C runtime, over the path mapping of mg_win32.h.
#include <windows.h>

// Creates one folder level; 0 on success, -1 otherwise.
int _mkdir(const char* path);
// Removes an empty folder; 0 on success, -1 otherwise.
int _rmdir(const char* path);
