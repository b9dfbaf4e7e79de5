#pragma once
// Fatal errors and debug output. vbail comes in two forms: the engine's (core_heap_engine)
// shows a "FATAL ERROR" message box, the converter's console form (core_heap_console) prints;
// both end the process with exit code 3.
#include <cstdarg>

[[noreturn]] void vbail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text plus a line feed to the debugger output; returns 1.
int _puts(const char* text);
// The engine's debug prints are switched off: they print nothing and return 0.
int _printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int _vprintf(const char* format, va_list args);
void JumpToDebugger();

// The one buffer the output helpers format into.
constexpr int kOutputBufferSize = 1536;
extern char OutputBuffer[kOutputBufferSize];

// Formats into OutputBuffer, cutting what does not fit.
void FormatOutput(const char* format, va_list args);
