#pragma once
// A pool of fixed-size records in blocks of 512 slots, each block with a free bitmap (a set
// bit is a free slot). The first block is static; further blocks come from the engine heap
// when every block is full and stay chained. Building and rebuilding tables from it does not
// fragment the heap.
#include <string.h>
#include <windows.h>

#include "core/heap/ZHeap.h"

template <class T> class CRecordPool {
public:
    enum { SLOTS = 512, MAP_WORDS = SLOTS / 32 };

    // A zeroed slot.
    T* Alloc()
    {
        for (Block* block = &m_First;; block = block->pNext) {
            if (!block->bFull) {
                if (T* slot = block->Take())
                    return slot;
                block->bFull = true;
            }
            if (block->pNext == nullptr)
                block->pNext = NewBlock();
        }
    }

    // A slot that belongs to no block of this pool is ignored.
    void Free(T* slot)
    {
        for (Block* block = &m_First; block != nullptr; block = block->pNext)
            if (block->Give(slot))
                return;
    }

private:
    struct Block {
        T Slots[SLOTS];
        DWORD FreeMap[MAP_WORDS];
        bool bFull;
        Block* pNext;

        T* Take()
        {
            for (int word = 0; word < MAP_WORDS; ++word) {
                if (FreeMap[word] == 0)
                    continue;
                const int bit = __builtin_ctz(FreeMap[word]);
                FreeMap[word] &= ~(1UL << bit);
                T* slot = &Slots[word * 32 + bit];
                memset(static_cast<void*>(slot), 0, sizeof(T));
                return slot;
            }
            return nullptr;
        }
        bool Give(T* slot)
        {
            if (slot < Slots || slot >= Slots + SLOTS)
                return false;
            const int index = static_cast<int>(slot - Slots);
            FreeMap[index / 32] |= 1UL << (index % 32);
            bFull = false;
            return true;
        }
    };

    static Block* NewBlock()
    {
        ResetHeapAllocation();
        Block* block = static_cast<Block*>(zmalloc(sizeof(Block)));
        memset(static_cast<void*>(block), 0, sizeof(Block));
        memset(block->FreeMap, 0xFF, sizeof(block->FreeMap));
        return block;
    }

    Block m_First = {{},
                     {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                      0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
                     false,
                     nullptr};
};
