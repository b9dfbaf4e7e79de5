#pragma once
// The converter reports everything on the console: output gated by a verbosity level, and
// the console form of the fatal-error call, which ends the process with exit code 3.

// Output of a level above this is suppressed. The program entry sets it to 0.
extern int VerboseLevel;

// Prints through vprintf when level <= VerboseLevel; returns vprintf's result, else 0.
int VerbosePrintf(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints the message once on the console, passes it to the debugger output and exits with 3.
[[noreturn]] void vbail(const char* format, ...) __attribute__((format(printf, 1, 2)));
