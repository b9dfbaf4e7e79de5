#pragma once
// Fill-data records: packed records that turn a level's stored field values into class
// defaults, objects created at load time, and blocks kept for later creation.
#include "engine/object/HGOBJECT.h"
#include "engine/zel/CZelStaticResource.h"

struct EditableFillData;

#pragma pack(push, 1)
class CFillData : public CZelStaticResource {
public:
    DWORD ClassId;           // class of the object to create
    DWORD LabelId;           // name key of the object's label
    EditableFillData* pData; // the field values

protected:
    CFillData() {}
};

// The default field values of a class, for as long as its file is loaded.
class CDefaultFillData : public CFillData {
public:
    CDefaultFillData();
    ~CDefaultFillData() override;
};

// An object created while its file loads.
class CPresetFillData : public CFillData {
public:
    CPresetFillData();

    int Player;
    HGOBJECT hgobject; // the handle of the object created
};

// A block kept for later creation, by messages and by objects that embed other objects.
class CEmbeddedFillData : public CFillData {
public:
    CEmbeddedFillData() {}

    int Player;
};
#pragma pack(pop)

static_assert(sizeof(CFillData) == 16, "CFillData is a packed record");
static_assert(sizeof(CDefaultFillData) == 16, "CDefaultFillData is a packed record");
static_assert(sizeof(CPresetFillData) == 24, "CPresetFillData is a packed record");
static_assert(sizeof(CEmbeddedFillData) == 20, "CEmbeddedFillData is a packed record");

// True when the run of field records at data lies wholly inside loaded packed data, embedded
// creation records included: damaged data is refused before objects are built from it.
bool IsSoundFillData(const EditableFillData* data);
