// The heap-size resource a host would export, large enough for the biggest tree measured.
#include <mg_win32.h>

namespace {
const unsigned long kMemorySize[2] = {256UL * 1024 * 1024, 0};
}

extern "C" const MG_RESOURCE mg_host_resources[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {nullptr, nullptr, nullptr, 0},
};
