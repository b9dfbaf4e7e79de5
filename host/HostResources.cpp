// The resources a game executable supplies to the engine: the heap arena's size and the
// window title.
#include <mg_win32.h>

namespace {
const DWORD kMemorySize[2] = {256u * 1024u * 1024u, 0};
const char kTitle[] = "Marlgate Demo";
} // namespace

extern "C" const MG_RESOURCE MG_HOST_RESOURCES_SYMBOL[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {RT_STRING, MAKEINTRESOURCEA(128), kTitle, sizeof kTitle},
    {nullptr, nullptr, nullptr, 0},
};
