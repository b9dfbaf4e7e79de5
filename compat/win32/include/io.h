#pragma once
// The C runtime's folder search, over opendir with the path mapping of mg_win32.h. Patterns
// match without regard to case; "." and ".." are never reported.
#include <windows.h>

#include <stdint.h>

#define _A_NORMAL 0x00
#define _A_RDONLY 0x01
#define _A_HIDDEN 0x02
#define _A_SYSTEM 0x04
#define _A_SUBDIR 0x10
#define _A_ARCH 0x20

typedef unsigned long _fsize_t;
struct _finddata_t {
    unsigned attrib;
    long time_create;
    long time_access;
    long time_write;
    _fsize_t size;
    char name[260];
};

// Returns a search handle, or -1 when the folder cannot be read or nothing matches.
intptr_t _findfirst(const char* fileSpec, struct _finddata_t* fileInfo);
// 0 with the next entry, or -1 when there is none.
int _findnext(intptr_t handle, struct _finddata_t* fileInfo);
int _findclose(intptr_t handle);
