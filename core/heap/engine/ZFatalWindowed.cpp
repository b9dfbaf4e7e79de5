// The engine's fatal error: debugger output, then a message box, then exit code 3.
#include "core/output/ZOutput.h"

#include <windows.h>

#include <cstdlib>

void vbail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatOutput(format, args);
    va_end(args);
    OutputDebugStringA(OutputBuffer);
    MessageBoxA(nullptr, OutputBuffer, "FATAL ERROR", MB_OK | MB_ICONINFORMATION);
    std::exit(3);
}
