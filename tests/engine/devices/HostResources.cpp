// The heap-size resource a host program would export. The engine library replaces global new
// and delete for the whole process, so GoogleTest allocates from the arena too.
#include <mg_win32.h>

namespace {
const unsigned long kMemorySize[2] = {128UL * 1024 * 1024, 0};
}

extern "C" const MG_RESOURCE mg_host_resources[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {nullptr, nullptr, nullptr, 0},
};
