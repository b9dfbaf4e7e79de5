#pragma once
// The editor's bookkeeping for one labelled object: which layout file it belongs to and the
// fill data it was created from.
#include <windows.h>

#include "engine/zel/CZelStaticResource.h"

class CFillData;
struct EditableFillData;
#include "core/containers/ZArray.h"

#pragma pack(push, 1)
class CVeskExtraData : public CZelStaticResource {
public:
    CVeskExtraData();
    CVeskExtraData(const CVeskExtraData& other);
    CVeskExtraData& operator=(const CVeskExtraData& other);
    ~CVeskExtraData() override;

    // A record for an object placed in the editor: lives on the heap and stays in the list.
    static CVeskExtraData* Create(const char* label);
    static CVeskExtraData* Find(EditableFillData* data);
    static CVeskExtraData* Find(unsigned long labelKey);
    // Appends each distinct layout file name once, first occurrence first.
    static void GetFiles(CZArray<const char*>& out);
    static void ClearDumped();

    const char* FileName() const { return pFileName; }
    const char* Label() const { return pLabel; }
    // The value kAskDumped only asks; any other value sets the flag to (value != 0).
    bool Dumped(int value);
    void ClearDumpedFlag();

    static const int kAskDumped = 12345;

    CVeskExtraData* pNext;
    char* pFileName;
    CFillData* pReference;
    char* pLabel;
    bool bDumped;
    BYTE Filler[3];
    DWORD LabelCRC;

private:
    void Unlink();

    static CVeskExtraData* pFirst;
};
#pragma pack(pop)
static_assert(sizeof(CVeskExtraData) == 28, "CVeskExtraData is a packed record");
