#pragma once
// A first-fit allocator over one block of memory with a moving search start (the rover). The
// arena is a ring of blocks, each led by a 16-byte header; a 12-byte sentinel of size 0 at the
// end points back to the first block. Frees are constant time: merging neighbours waits for
// the next search or for Reset.

struct ZHeapBlock {
    ZHeapBlock* next;
    unsigned long size; // header included; 0 for the sentinel
    void* owner;        // 0 when free, else the address of the owning arena's rover
    ZHeapBlock* back;   // in use: the word before the user pointer holds the header's address
};
static_assert(sizeof(ZHeapBlock) == 16, "heap headers are four 32-bit words");

class ZHeapArena {
public:
    // All zero, so an arena in static storage is ready before any initialiser runs.
    constexpr ZHeapArena() : m_Start(nullptr), m_Rover(nullptr), m_Size(0) {}

    // Lays the ring over memory; size is rounded down to a multiple of 4 and must be at least
    // kMinimumSize.
    void Init(void* memory, unsigned long size);
    bool IsReady() const { return m_Start != nullptr; }

    // Both end the process with "Out of Game Memory!!" when no free block is large enough.
    void* Alloc(unsigned long bytes);
    void* AllocAlign(unsigned long bytes, unsigned long alignment);
    // Frees a block of any arena: the header names its owner.
    static void Free(void* block);
    void Reset();

    unsigned long Start() const { return reinterpret_cast<unsigned long>(m_Start); }
    unsigned long Size() const { return m_Size; }
    unsigned long Available() const;

    static constexpr unsigned long kSentinelSize = 12;
    static constexpr unsigned long kMinimumSize = sizeof(ZHeapBlock) + kSentinelSize;

private:
    ZHeapBlock* First() const { return reinterpret_cast<ZHeapBlock*>(m_Start); }
    ZHeapBlock* FindFree(unsigned long needed);
    void Claim(ZHeapBlock* block, unsigned long newSize);
    static bool IsSentinel(const ZHeapBlock* block) { return block->size == 0 && block->owner != nullptr; }

    unsigned char* m_Start;
    ZHeapBlock* m_Rover;
    unsigned long m_Size;
};
