#include "engine/object/CFillData.h"

#include "core/output/ZOutput.h"
#include "engine/devices/GStartPosition.h"
#include "engine/object/ClassTypeEntry.h"
#include "engine/object/EditableFillData.h"
#include "engine/object/GObject.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelFile.h"
#include "engine/include/RhuTypes.h"

ZEL_REGISTER_RECORD(CDefaultFillData);
ZEL_REGISTER_RECORD(CPresetFillData);
ZEL_REGISTER_RECORD(CEmbeddedFillData);

// The converter lays these records out from the shared record header.
static_assert(sizeof(CFillData) == sizeof(rhu::CFillData), "CFillData differs from the record header");
static_assert(sizeof(CDefaultFillData) == sizeof(rhu::CDefaultFillData),
              "CDefaultFillData differs from the record header");
static_assert(sizeof(CPresetFillData) == sizeof(rhu::CPresetFillData),
              "CPresetFillData differs from the record header");
static_assert(sizeof(CEmbeddedFillData) == sizeof(rhu::CEmbeddedFillData),
              "CEmbeddedFillData differs from the record header");

namespace {

// Embedded creation records nest; real data nests a few levels, damage may loop.
const int kMaxEmbedding = 16;

bool IsSoundRun(const EditableFillData* data, int depth);

bool IsSoundEmbedded(const BYTE* pointerField, int depth)
{
    const CEmbeddedFillData* embedded;
    std::memcpy(&embedded, pointerField, sizeof embedded);
    return CZelFile::IsLoadedData(embedded, sizeof(CEmbeddedFillData)) && IsSoundRun(embedded->pData, depth + 1);
}

bool IsSoundRun(const EditableFillData* record, int depth)
{
    if (depth > kMaxEmbedding)
        return false;
    for (;;) {
        // The run's end is a lone zero name key: the converter writes only those 4 bytes.
        if (!CZelFile::IsLoadedData(record, sizeof record->Crc))
            return false;
        if (record->Crc == 0)
            return true;
        if (!CZelFile::IsLoadedData(record, sizeof(EditableFillData)))
            return false;
        if (!CZelFile::IsLoadedData(record->Data, record->Length))
            return false;
        if (record->Flags == FILLDATA_EMBEDDED_GOBJECT && (record->Length < 4 || !IsSoundEmbedded(record->Data, depth)))
            return false;
        record = record->Next();
    }
}

} // namespace

bool IsSoundFillData(const EditableFillData* data) { return data == nullptr || IsSoundRun(data, 0); }

static void RequireSoundFillData(const CFillData& record, const char* type)
{
    if (!IsSoundFillData(record.pData))
        vbail("Cannot load packed data: the field values of a %s for class %08lX run outside their file", type,
              (unsigned long)record.ClassId);
}

CDefaultFillData::CDefaultFillData()
{
    RequireSoundFillData(*this, "CDefaultFillData");
    GObject::RegisterDefaultData(ClassId, pData);
}

// The defaults live in this record's file and vanish with it.
CDefaultFillData::~CDefaultFillData() { GObject::RegisterDefaultData(ClassId, nullptr); }

CPresetFillData::CPresetFillData()
{
    if (GStartPosition::pCurrent)
        Player = GStartPosition::pCurrent->iStartPosition;
    ClassTypeEntry* entry = GObject::FindClassEntry(ClassId);
    if (!entry)
        return;
    RequireSoundFillData(*this, "CPresetFillData");
    // Objects of one level keep the order of their records among equal priorities.
    DWORD flags = entry->Flags;
    entry->Flags |= CLASS_AFTER_EQUALS;
    GObject* object = entry->pCreate(nullptr, HGOBJECT(DWORD(Player) & 0xFFFF), entry, pData, nullptr);
    entry->Flags = flags;
    if (!object)
        return;
    object->SetLabel(LabelId);
    hgobject = object->GetHandle();
}
