#pragma once
// The record pools of the particle effects: a chain of blocks of 128 fixed-size records, each
// block with four free-bit words (a set bit is a free record) and a full mark that lets a take
// skip the block without scanning it. The first block lives inside the pool object (static data
// for the shared pools, part of its owner for an embedded one) and is never freed. Records never
// move, so effects keep plain pointers to them, and taking or giving one back touches the heap
// only when every block is full.
#include <stdint.h>

#include "core/heap/ZHeap.h"

template <class T> struct TPoolBlock {
    enum { RECORDS = 128, WORDS = RECORDS / 32 };

    T Records[RECORDS];
    uint32_t FreeBits[WORDS];
    uint32_t Full;
    TPoolBlock* pNext;

    void Reset()
    {
        for (int word = 0; word < WORDS; ++word)
            FreeBits[word] = 0xFFFFFFFF;
        Full = 0;
        pNext = nullptr;
    }

    bool Holds(const T* record) const { return record >= Records && record < Records + RECORDS; }

    // The lowest free record (word 0 bits 0 upwards, then word 1 ...), or null with the block
    // marked full.
    T* Take()
    {
        for (int word = 0; word < WORDS; ++word) {
            if (FreeBits[word] == 0)
                continue;
            const int bit = __builtin_ctz(FreeBits[word]);
            FreeBits[word] &= ~(1u << bit);
            return &Records[word * 32 + bit];
        }
        Full = 1;
        return nullptr;
    }

    void Give(T* record)
    {
        const int index = static_cast<int>(record - Records);
        FreeBits[index >> 5] |= 1u << (index & 31);
        Full = 0;
    }
};

template <class T> class TBlockPool {
public:
    typedef TPoolBlock<T> Block;

    TBlockPool() { m_Head.Reset(); }
    ~TBlockPool() { Release(); }
    TBlockPool(const TBlockPool&) = delete;
    TBlockPool& operator=(const TBlockPool&) = delete;

    // Never fails: when every block is full a new one is added at the end of the chain.
    T* Take()
    {
        Block* last = &m_Head;
        for (Block* block = &m_Head; block != nullptr; block = block->pNext) {
            last = block;
            if (block->Full == 0)
                if (T* record = block->Take())
                    return record;
        }
        Block* block = NewBlock();
        last->pNext = block;
        block->FreeBits[0] = 0xFFFFFFFE;
        return &block->Records[0];
    }

    // A record that belongs to no block of this pool is left alone.
    void Give(T* record)
    {
        for (Block* block = &m_Head; block != nullptr; block = block->pNext)
            if (block->Holds(record)) {
                block->Give(record);
                return;
            }
    }

    // Makes the chain from `from` on hold at least `count` blocks; the number it holds.
    int Reserve(Block* from, int count)
    {
        for (Block* block = from; count >= 2; block = block->pNext, --count)
            if (block->pNext == nullptr)
                block->pNext = NewBlock();
        return Count(from);
    }

    // Frees every chained block; the first block stays, emptied.
    void Release()
    {
        for (Block* block = m_Head.pNext; block != nullptr;) {
            Block* next = block->pNext;
            zfree(block);
            block = next;
        }
        m_Head.Reset();
    }

    Block* Head() { return &m_Head; }

    static int Count(const Block* from)
    {
        int blocks = 0;
        for (; from != nullptr; from = from->pNext)
            ++blocks;
        return blocks;
    }

private:
    static Block* NewBlock()
    {
        // Free runs are merged first so a block this size still fits a fragmented heap.
        ResetHeapAllocation();
        Block* block = static_cast<Block*>(zmalloc(sizeof(Block)));
        block->Reset();
        return block;
    }

    Block m_Head;
};
