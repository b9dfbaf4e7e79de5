#include "core/heap/ZHeapArena.h"

#include "core/output/ZOutput.h"

namespace {
constexpr unsigned long kHeader = sizeof(ZHeapBlock);
// Blocks up to this size carry no spare word after the user's bytes.
constexpr unsigned long kSmallLimit = 8192;
// A free block is split only when the remainder would be larger than this.
constexpr unsigned long kSplitSlack = 24;

ZHeapBlock* At(void* address) { return static_cast<ZHeapBlock*>(address); }

void OutOfMemory() { vbail("Out of Game Memory!!"); }
} // namespace

void ZHeapArena::Init(void* memory, unsigned long size)
{
    size &= ~3UL;
    if (memory == nullptr || size < kMinimumSize)
        vbail("The engine heap needs at least %lu bytes; it was given %lu.", kMinimumSize, size);
    m_Start = static_cast<unsigned char*>(memory);
    m_Size = size;
    ZHeapBlock* first = First();
    ZHeapBlock* sentinel = At(m_Start + size - kSentinelSize);
    first->next = sentinel;
    first->size = size - kSentinelSize;
    first->owner = nullptr;
    sentinel->next = first;
    sentinel->size = 0;
    sentinel->owner = &m_Rover;
    m_Rover = first;
}

ZHeapBlock* ZHeapArena::FindFree(unsigned long needed)
{
    ZHeapBlock* block = m_Rover;
    int sentinelsMet = 0;
    for (;;) {
        if (block->owner != nullptr) {
            if (IsSentinel(block) && ++sentinelsMet == 2)
                OutOfMemory();
            block = block->next;
        } else if (block->size >= needed) {
            return block;
        } else if (block->next->owner == nullptr) {
            // Absorbing may swallow the block the rover started on; Claim moves the rover to
            // the block it hands out, so it never stays on a merged-away header.
            block->size += block->next->size;
            block->next = block->next->next;
        } else {
            block = block->next;
        }
    }
}

void ZHeapArena::Claim(ZHeapBlock* block, unsigned long newSize)
{
    m_Rover = block;
    if (block->size - newSize > kSplitSlack) {
        ZHeapBlock* rest = At(reinterpret_cast<unsigned char*>(block) + newSize);
        rest->next = block->next;
        rest->size = block->size - newSize;
        rest->owner = nullptr;
        block->next = rest;
        block->size = newSize;
        m_Rover = rest;
    }
    block->owner = &m_Rover;
}

void* ZHeapArena::Alloc(unsigned long bytes)
{
    // Larger than the arena can never fit; the test also keeps the sums below from wrapping.
    if (bytes > m_Size)
        OutOfMemory();
    bytes = (bytes + 3) & ~3UL;
    ZHeapBlock* block = FindFree(bytes + kHeader + 4);
    block->back = block;
    Claim(block, bytes <= kSmallLimit ? bytes + kHeader : bytes + kHeader + 4);
    return reinterpret_cast<unsigned char*>(block) + kHeader;
}

void* ZHeapArena::AllocAlign(unsigned long bytes, unsigned long alignment)
{
    // Below 4 the blocks that follow would lose their own word alignment.
    if (alignment < 4)
        alignment = 4;
    if (bytes > m_Size || alignment > m_Size)
        OutOfMemory();
    if (bytes % alignment != 0)
        bytes = (bytes + alignment) & ~(alignment - 1);
    ZHeapBlock* block = FindFree(bytes + alignment + kHeader);
    unsigned long header = reinterpret_cast<unsigned long>(block);
    unsigned long user = (header + kHeader + alignment - 1) & ~(alignment - 1);
    reinterpret_cast<ZHeapBlock**>(user)[-1] = block;
    Claim(block, bytes <= kSmallLimit ? (user - header) + bytes : bytes + alignment + kHeader);
    return reinterpret_cast<void*>(user);
}

void ZHeapArena::Free(void* p)
{
    ZHeapBlock* block = static_cast<ZHeapBlock**>(p)[-1];
    ZHeapBlock** rover = static_cast<ZHeapBlock**>(block->owner);
    block->owner = nullptr;
    // Low holes are reused first.
    if (block < *rover)
        *rover = block;
}

void ZHeapArena::Reset()
{
    if (!IsReady())
        return;
    ZHeapBlock* block = First();
    int sentinelsMet = 0;
    while (sentinelsMet < 3) {
        if (IsSentinel(block))
            ++sentinelsMet;
        else if (block->owner == nullptr)
            while (block->next->owner == nullptr) {
                block->size += block->next->size;
                block->next = block->next->next;
            }
        block = block->next;
    }
    m_Rover = First();
}

unsigned long ZHeapArena::Available() const
{
    if (!IsReady())
        return 0;
    unsigned long largest = 0;
    for (const ZHeapBlock* block = First(); !IsSentinel(block); block = block->next)
        if (block->owner == nullptr && block->size > largest)
            largest = block->size;
    return largest > kSentinelSize ? largest - kSentinelSize : 0;
}
