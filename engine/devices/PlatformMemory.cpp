#include "engine/devices/PlatformMemory.h"

#include "core/heap/ZHeap.h"

void* zmalloc_plat(unsigned long bytes) { return zmalloc(bytes); }

void zfree_plat(void* block)
{
    if (block != nullptr)
        zfree(block);
}
