#include "core/output/ZOutput.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

char OutputBuffer[kOutputBufferSize];

void FormatOutput(const char* format, va_list args) { std::vsnprintf(OutputBuffer, sizeof OutputBuffer, format, args); }

int _puts(const char* text)
{
    std::snprintf(OutputBuffer, sizeof OutputBuffer, "%s\n", text ? text : "");
    OutputDebugStringA(OutputBuffer);
    return 1;
}

int _printf(const char*, ...) { return 0; }

int _vprintf(const char*, va_list) { return 0; }

void JumpToDebugger() {}
