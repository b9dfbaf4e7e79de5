#pragma once
// Binding records and their pool: a static block of 32 records, then blocks of 32 from the
// engine heap chained behind it, each with a mask of its free records.
#include "engine/object/GObject.h"

class CInputData;
class CInputTrigger;

typedef void (GObject::*InputHandler)(CInputData*);

// One binding of a recipient's method to a trigger.
struct CCallbackTrigger {
    CCallbackTrigger* pNext;
    unsigned long InputModes; // 0 marks a dead binding
    HGOBJECT hRecipient;      // 0 in a dead binding
    InputHandler pInputCallback;
    CInputTrigger* pInputTrigger;
};

class CInputRecordPool {
public:
    enum { BLOCK_RECORDS = 32 };

    static CCallbackTrigger* Allocate();
    static void Free(CCallbackTrigger* record);
    // Returns every heap block to the heap (process exit, tests).
    static void FreeBlocks();
    // Records handed out and not freed.
    static int CountInUse();

private:
    struct Block {
        CCallbackTrigger Records[BLOCK_RECORDS];
        unsigned long FreeMask; // bit n set: record n is free
        bool bFull;
        Block* pNext;
    };
    static CCallbackTrigger* TakeFrom(Block& block);
    static Block StaticBlock;
};
