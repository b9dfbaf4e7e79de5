#include "converter/core/ConsoleOutput.h"

#include <mg_win32.h>

#include <cstdarg>
#include <cstdio>

int VerboseLevel = 1;

namespace {
// The converter runs without a debugger: what goes to the debugger output (the fatal
// message among it) is on the console already, and must not show there a second time.
void DropDebugOutput(const char*, void*) {}

struct QuietDebugOutput {
    QuietDebugOutput() { MgSetDebugOutputSink(DropDebugOutput, nullptr); }
} quietDebugOutput;
} // namespace

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
