// The converter has no heap-size resource and no arena: the engine heap's calls map onto the
// C heap. Running out is still the engine heap's fatal error.
#include "core/heap/ZHeap.h"

#include "core/output/ZOutput.h"

#include <cstdlib>

namespace {
void* Checked(void* block)
{
    if (block == nullptr)
        vbail("Out of Game Memory!!");
    return block;
}
} // namespace

void* zmalloc(unsigned long bytes) { return Checked(std::malloc(bytes == 0 ? 1 : bytes)); }

void* zmalloc_align(unsigned long bytes, unsigned long alignment)
{
    if (alignment < sizeof(void*))
        alignment = sizeof(void*);
    void* block = nullptr;
    if (posix_memalign(&block, alignment, bytes == 0 ? 1 : bytes) != 0)
        block = nullptr;
    return Checked(block);
}

void zfree(void* block) { std::free(block); }

void ResetHeapAllocation() {}

unsigned long GetHeapStart() { return 0; }

unsigned long GetHeapSize() { return 0; }

unsigned long GetHeapAvailable() { return 0; }
