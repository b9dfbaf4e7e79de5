#include "engine/devices/CInputRecordPool.h"

#include <new>

#include "core/heap/ZHeap.h"

CInputRecordPool::Block CInputRecordPool::StaticBlock = {{}, 0xFFFFFFFFul, false, nullptr};

CCallbackTrigger* CInputRecordPool::TakeFrom(Block& block)
{
    if (block.bFull)
        return nullptr;
    if (block.FreeMask == 0) {
        block.bFull = true;
        return nullptr;
    }
    int index = __builtin_ctzl(block.FreeMask);
    block.FreeMask &= ~(1ul << index);
    return &block.Records[index];
}

CCallbackTrigger* CInputRecordPool::Allocate()
{
    Block* last = &StaticBlock;
    for (Block* block = &StaticBlock; block; block = block->pNext) {
        if (CCallbackTrigger* record = TakeFrom(*block))
            return record;
        last = block;
    }
    ResetHeapAllocation();
    Block* block = new (std::nothrow) Block;
    if (!block)
        return nullptr;
    block->FreeMask = 0xFFFFFFFEul;
    block->bFull = false;
    block->pNext = nullptr;
    last->pNext = block;
    return &block->Records[0];
}

void CInputRecordPool::Free(CCallbackTrigger* record)
{
    for (Block* block = &StaticBlock; block; block = block->pNext) {
        if (record >= block->Records && record < block->Records + BLOCK_RECORDS) {
            block->bFull = false;
            block->FreeMask |= 1ul << (record - block->Records);
            return;
        }
    }
}

void CInputRecordPool::FreeBlocks()
{
    Block* block = StaticBlock.pNext;
    while (block) {
        Block* next = block->pNext;
        delete block;
        block = next;
    }
    StaticBlock.pNext = nullptr;
}

int CInputRecordPool::CountInUse()
{
    int used = 0;
    for (Block* block = &StaticBlock; block; block = block->pNext)
        used += BLOCK_RECORDS - __builtin_popcountl(block->FreeMask);
    return used;
}
