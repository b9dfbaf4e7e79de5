#pragma once

#include <cstdio>

// File helpers shared by the grammar loaders, the parse cache and callers of the library.
// Every one answers 0 (or null) for a null or empty path.
long GetFileSize(FILE* file);
long GetFileSize(const char* path);
long LoadBufferFromFile(const char* path, char* buffer, long length);
long WriteBufferToFile(const char* path, const char* data, long n);
char* LoadFile(const char* path);
long GetLastModTime(const char* path);
int CheckFileExists(const char* path);
int IsReadOnlyFile(const char* path);
