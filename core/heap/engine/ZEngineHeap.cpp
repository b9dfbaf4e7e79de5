// The engine's one arena, set up at the first allocation from the host's "MorvikMemorySize"
// resource. The first allocation happens inside the engine library's static initialisers, so
// everything here is constant-initialised: no initialiser of ours can run after it and reset
// the heap under live blocks.
//
// Global new and delete serve the whole process here, the threads of the platform layers and
// of the C++ runtime included, so the arena is guarded by a lock. It is recursive because a
// fatal error raised inside the allocator runs exit handlers that may free blocks.
#include "core/heap/ZHeap.h"

#include "core/heap/ZHeapArena.h"
#include "core/output/ZOutput.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {
ZHeapArena g_Heap;
unsigned long g_Resource[2];
bool g_SetupStarted = false;
pthread_mutex_t g_Lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

class HeapLock {
public:
    HeapLock() { pthread_mutex_lock(&g_Lock); }
    ~HeapLock() { pthread_mutex_unlock(&g_Lock); }
    HeapLock(const HeapLock&) = delete;
    HeapLock& operator=(const HeapLock&) = delete;
};

void MissingResource() { vbail("Memory manager could not find memory size resource!"); }

void SetupHeap()
{
    if (g_SetupStarted) {
        // Reporting the failure of the set-up itself tried to allocate: there is no heap.
        static const char message[] = "The engine heap could not be set up.\n";
        ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
        (void)ignored;
        _exit(3);
    }
    g_SetupStarted = true;
    HRSRC resource = FindResourceA(nullptr, "MorvikMemorySize", "MorvikMemorySize");
    if (resource == nullptr || SizeofResource(nullptr, resource) < sizeof g_Resource)
        MissingResource();
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr)
        MissingResource();
    const void* words = LockResource(loaded);
    if (words == nullptr)
        MissingResource();
    std::memcpy(g_Resource, words, sizeof g_Resource);
    FreeResource(loaded);
    void* arena = GlobalAlloc(GMEM_FIXED, g_Resource[0]);
    if (arena == nullptr)
        vbail("Memory manager could not allocate %lu bytes for the engine heap!", g_Resource[0]);
    g_Heap.Init(arena, g_Resource[0]);
}

ZHeapArena& Heap()
{
    if (!g_Heap.IsReady())
        SetupHeap();
    return g_Heap;
}
} // namespace

void* zmalloc(unsigned long bytes)
{
    HeapLock lock;
    return Heap().Alloc(bytes);
}

void* zmalloc_align(unsigned long bytes, unsigned long alignment)
{
    HeapLock lock;
    return Heap().AllocAlign(bytes, alignment);
}

void zfree(void* block)
{
    if (block == nullptr)
        return;
    HeapLock lock;
    ZHeapArena::Free(block);
}

void ResetHeapAllocation()
{
    HeapLock lock;
    g_Heap.Reset();
}

unsigned long GetHeapStart() { return g_Heap.Start(); }

unsigned long GetHeapSize() { return g_Resource[0]; }

unsigned long GetHeapAvailable()
{
    HeapLock lock;
    return g_Heap.Available();
}
