#pragma once
// Two chained page pools that give the render device and the sound volume tree fixed-size
// records without a heap allocation per record. The first page of each chain is a static
// object; further pages come from the engine heap and are kept until the chain is freed.
#include <windows.h>

// 32 records of 40 bytes (display modes) with a free mask; records are returned all at once.
class CRecordPage {
public:
    enum { kRecords = 32, kRecordSize = 40 };

    CRecordPage();
    // A free record of the chain from this page, making a new page when every page is full.
    void* Alloc();
    // Every record of the chain free again; the pages stay.
    void FreeAll();
    // Frees the pages behind this one.
    void FreeChain();
    CRecordPage* GetNext() const { return pNext; }
    DWORD GetFreeMask() const { return FreeMask; }

private:
    unsigned char Records[kRecords][kRecordSize];
    DWORD FreeMask; // bit j set: record j free
    DWORD Full;     // set once the mask was found empty
    CRecordPage* pNext;
};

// 2,048 bytes with a 512-bit free map: the pages of the sound volume tree.
class CBlockPage {
public:
    enum { kBytes = 2048, kBits = 512 };

    CBlockPage();
    // Makes the chain from this page at least n pages long; the pages it now holds (at least 1).
    int Reserve(int n);
    void FreeChain();
    CBlockPage* GetNext() const { return pNext; }

    unsigned char Data[kBytes];
    DWORD FreeMap[kBits / 32]; // all set: all free
    DWORD Count;

private:
    CBlockPage* pNext;
};
