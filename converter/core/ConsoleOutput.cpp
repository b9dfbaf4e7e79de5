#include "core/ConsoleOutput.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

int VerboseLevel = 1;

namespace {
// Large enough for any message the converter formats; longer ones are cut, never overrun.
char FatalMessage[8192];
}

int VerbosePrintf(int level, const char* format, ...)
{
    if (level > VerboseLevel)
        return 0;
    va_list args;
    va_start(args, format);
    const int written = vprintf(format, args);
    va_end(args);
    return written;
}

void vbail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(FatalMessage, sizeof(FatalMessage), format, args);
    va_end(args);
    OutputDebugStringA(FatalMessage);
    printf("%s", FatalMessage);
    fflush(stdout);
    exit(3);
}
