#include "engine/object/CVeskExtraData.h"

#include <cstring>

#include "core/containers/ZArray.h"
#include "core/containers/ZChain.h"
#include "core/heap/ZHeap.h"
#include "core/names/CCRC32.h"
#include "engine/object/CFillData.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/include/RhuTypes.h"

ZEL_REGISTER_RECORD(CVeskExtraData);

// The converter lays these records out from the shared record header.
static_assert(sizeof(CVeskExtraData) == sizeof(rhu::CVeskExtraData), "CVeskExtraData differs from the record header");

CVeskExtraData* CVeskExtraData::pFirst = nullptr;

CVeskExtraData::CVeskExtraData() { ChainAppend(pFirst, this, &CVeskExtraData::pNext); }

CVeskExtraData::CVeskExtraData(const CVeskExtraData& other) : CZelStaticResource() { *this = other; }

CVeskExtraData& CVeskExtraData::operator=(const CVeskExtraData& other)
{
    pNext = other.pNext;
    pFileName = other.pFileName;
    pReference = other.pReference;
    pLabel = other.pLabel;
    bDumped = other.bDumped;
    std::memcpy(Filler, other.Filler, sizeof Filler);
    LabelCRC = other.LabelCRC;
    return *this;
}

CVeskExtraData::~CVeskExtraData() { Unlink(); }

void CVeskExtraData::Unlink() { ChainRemove(pFirst, this, &CVeskExtraData::pNext); }

CVeskExtraData* CVeskExtraData::Create(const char* label)
{
    void* memory = zmalloc(sizeof(CVeskExtraData));
    std::memset(memory, 0, sizeof(CVeskExtraData));
    CVeskExtraData* record = new (memory) CVeskExtraData;
    size_t length = std::strlen(label);
    record->pLabel = static_cast<char*>(zmalloc(length + 1));
    std::memcpy(record->pLabel, label, length + 1);
    record->LabelCRC = CCRC32::GetCRC(label);
    return record;
}

CVeskExtraData* CVeskExtraData::Find(EditableFillData* data)
{
    for (CVeskExtraData* r = pFirst; r; r = r->pNext)
        if (r->pReference && r->pReference->pData == data)
            return r;
    return nullptr;
}

CVeskExtraData* CVeskExtraData::Find(unsigned long labelKey)
{
    for (CVeskExtraData* r = pFirst; r; r = r->pNext)
        if (r->LabelCRC == labelKey)
            return r;
    return nullptr;
}

void CVeskExtraData::GetFiles(CZArray<const char*>& out)
{
    for (CVeskExtraData* r = pFirst; r; r = r->pNext) {
        if (!r->pFileName)
            continue;
        bool seen = false;
        for (CVeskExtraData* earlier = pFirst; earlier != r && !seen; earlier = earlier->pNext)
            seen = earlier->pFileName && std::strcmp(earlier->pFileName, r->pFileName) == 0;
        if (!seen)
            out.Add(r->pFileName);
    }
}

bool CVeskExtraData::Dumped(int value)
{
    if (value != kAskDumped)
        bDumped = value != 0;
    return bDumped;
}

void CVeskExtraData::ClearDumped()
{
    if (pFirst)
        pFirst->ClearDumpedFlag();
}

void CVeskExtraData::ClearDumpedFlag()
{
    for (CVeskExtraData* r = this; r; r = r->pNext)
        r->bDumped = false;
}
