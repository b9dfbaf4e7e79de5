#pragma once
// Descriptor of one editable field of a class: creation data, the editor, the layout dump and
// saved games all read and write object members by these descriptors.
#include <windows.h>

// Type codes decided by CalcType from the declared type name.
enum EditableType : BYTE {
    EDITABLE_INVALID = 0,
    EDITABLE_BOOL = 1,
    EDITABLE_FLOAT = 2,
    EDITABLE_INT = 3,
    EDITABLE_DWORD = 4,
    EDITABLE_CRC32 = 5,
    EDITABLE_ZELHANDLE = 6,
    EDITABLE_POINTER = 7,
    EDITABLE_ARRAY = 8,
    EDITABLE_POINTER_ARRAY = 9,
};

// Field flags: set by creation data; 0x20 is carried for the converter's pointer fields.
enum EditableFlags : BYTE {
    EDITABLE_FROM_FILLDATA = 0x01,
    EDITABLE_RESOLVED_POINTER = 0x20,
};

struct EditableInfo {
    DWORD Crc;            // name key of Name
    WORD Size;            // bytes of the member, the whole array for arrays
    BYTE Type;            // EditableType
    BYTE Flags;           // EditableFlags
    DWORD Place;          // byte offset of the member inside the object
    const char* Name;     // dotted for members of members: "Locator.Position.X"
    const char* TypeName; // as declared: "float", "CMover *"

    void Set(const char* name, DWORD size, BYTE flags, DWORD place, const char* typeName);
    void CalcType(const char* typeName);
};
