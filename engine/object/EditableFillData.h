#pragma once
// One stored field value of creation data. A run of these records ends with one whose name
// key is 0. The converter starts every record on a 4-byte boundary, so the next record begins
// after the data rounded up to a multiple of 4.
#include <windows.h>

// Kinds of record, compared as whole values.
enum FillDataKind : BYTE {
    FILLDATA_RAW = 0,
    FILLDATA_EMBEDDED_GOBJECT = 1,
    FILLDATA_SAVED_EMBEDDED_GOBJECT = 2,
    FILLDATA_EMBEDDED_POINTER = 4,
    FILLDATA_ZEL_POINTER = 8,
    FILLDATA_ZEL_HANDLE = 16,
};

// Name key of a kind-1 record whose child is created but stored in no field.
const DWORD FILLDATA_UNSTORED_CHILD = 0xFFFFFFFF;

#pragma pack(push, 1)
struct EditableFillData {
    DWORD Crc;       // name key of the field, 0 ends the run
    WORD Length;     // bytes of Data
    BYTE ArrayIndex; // element of an array field
    BYTE Flags;      // FillDataKind
    BYTE Data[0];

    const EditableFillData* Next() const
    {
        return reinterpret_cast<const EditableFillData*>(Data + ((Length + 3u) & ~3u));
    }
    EditableFillData* Next() { return reinterpret_cast<EditableFillData*>(Data + ((Length + 3u) & ~3u)); }
};
#pragma pack(pop)
static_assert(sizeof(EditableFillData) == 8, "fill-data record header is 8 bytes");
