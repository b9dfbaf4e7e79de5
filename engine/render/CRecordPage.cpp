#include "engine/render/CRecordPage.h"

#include <cstring>
#include <new>

#include "core/heap/ZHeap.h"

CRecordPage::CRecordPage() : Records(), FreeMask(0xFFFFFFFF), Full(0), pNext(nullptr) {}

void* CRecordPage::Alloc()
{
    CRecordPage* last = this;
    for (CRecordPage* page = this; page; page = page->pNext) {
        last = page;
        if (page->Full)
            continue;
        if (page->FreeMask == 0) {
            page->Full = 1;
            continue;
        }
        const int j = __builtin_ctz(page->FreeMask);
        page->FreeMask &= ~(1UL << j);
        return page->Records[j];
    }
    // Merging the free blocks first gives the new page the best chance of fitting.
    ResetHeapAllocation();
    void* memory = zmalloc(sizeof(CRecordPage));
    if (!memory)
        return nullptr;
    CRecordPage* page = new (memory) CRecordPage;
    page->FreeMask = 0xFFFFFFFE;
    last->pNext = page;
    return page->Records[0];
}

void CRecordPage::FreeAll()
{
    for (CRecordPage* page = this; page; page = page->pNext) {
        page->FreeMask = 0xFFFFFFFF;
        page->Full = 0;
    }
}

void CRecordPage::FreeChain()
{
    if (!pNext)
        return;
    pNext->FreeChain();
    zfree(pNext);
    pNext = nullptr;
}

CBlockPage::CBlockPage() : Data(), Count(0), pNext(nullptr) { std::memset(FreeMap, 0xFF, sizeof FreeMap); }

int CBlockPage::Reserve(int n)
{
    int pages = 1;
    CBlockPage* page = this;
    for (; page->pNext; page = page->pNext)
        ++pages;
    for (; pages < n; ++pages) {
        void* memory = zmalloc(sizeof(CBlockPage));
        if (!memory)
            break;
        page->pNext = new (memory) CBlockPage;
        page = page->pNext;
    }
    return pages;
}

void CBlockPage::FreeChain()
{
    if (!pNext)
        return;
    pNext->FreeChain();
    zfree(pNext);
    pNext = nullptr;
}
