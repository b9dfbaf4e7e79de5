#pragma once
// The engine heap: every engine allocation, global new and delete included, comes from one
// fixed arena whose size the host program states in its "MorvikMemorySize" resource.
// Link core_heap_engine (the arena) or core_heap_console (the C heap, for the converter).
#include <cstddef>

extern "C" {
void* zmalloc(unsigned long bytes);
void* zmalloc_align(unsigned long bytes, unsigned long alignment);
void zfree(void* block);
}

// Merges every run of adjacent free blocks and restarts the search at the arena's start.
void ResetHeapAllocation();
unsigned long GetHeapStart();
unsigned long GetHeapSize();
// The largest single free block minus 12; nothing is merged first.
unsigned long GetHeapAvailable();

// Declared for the game code's use; the engine itself keeps none.
struct TypedHeapPos {
    TypedHeapPos() { Reset(); }
    void Reset()
    {
        Offset = 0;
        First = -2;
        Last = -2;
    }
    long Offset;
    long First;
    long Last;
};
