// The converter's fatal error: the message goes to the debugger output and the console, and
// the process ends with exit code 3.
#include "core/output/ZOutput.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

void vbail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatOutput(format, args);
    va_end(args);
    OutputDebugStringA(OutputBuffer);
    std::fputs(OutputBuffer, stdout);
    std::fflush(stdout);
    std::exit(3);
}
