#pragma once
// The converter reports everything on the console: output gated by a verbosity level here,
// and the console form of the fatal error (vbail), which ends the process with exit code 3.
#include "core/output/ZOutput.h"

// Output of a level above this is suppressed. The program entry sets it to 0.
extern int VerboseLevel;

// Prints through vprintf when level <= VerboseLevel; returns vprintf's result, else 0.
int VerbosePrintf(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
