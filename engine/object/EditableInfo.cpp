// Editable field descriptors and the type codes derived from their declared type names.
#include "engine/object/EditableInfo.h"

#include <stdio.h>
#include <string.h>

#include "core/names/CCRC32.h"

namespace {

struct KnownType {
    const char* Name;
    WORD Size;
    BYTE Type;
};

const KnownType KnownTypes[] = {
    {"bool", 1, EDITABLE_BOOL},   {"float", 4, EDITABLE_FLOAT},  {"int", 4, EDITABLE_INT},
    {"DWORD", 4, EDITABLE_DWORD}, {"CCRC32", 4, EDITABLE_CRC32}, {"CZelHandle", 4, EDITABLE_ZELHANDLE},
};

bool StartsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

bool StartsWithKnownType(const char* typeName)
{
    for (const KnownType& known : KnownTypes)
        if (StartsWith(typeName, known.Name))
            return true;
    return false;
}

} // namespace

void EditableInfo::Set(const char* name, DWORD size, BYTE flags, DWORD place, const char* typeName)
{
    Crc = CCRC32::GetCRC(name);
    Size = static_cast<WORD>(size);
    Flags = flags;
    Place = place;
    Name = name;
    TypeName = typeName;
    CalcType(typeName);
}

void EditableInfo::CalcType(const char* typeName)
{
    WORD typeSize = 0;
    Type = EDITABLE_INVALID;
    if (strchr(typeName, '*') != nullptr) {
        typeSize = 4;
        Type = EDITABLE_POINTER;
    } else {
        for (const KnownType& known : KnownTypes)
            if (strcmp(typeName, known.Name) == 0) {
                typeSize = known.Size;
                Type = known.Type;
            }
    }

    if (Type == EDITABLE_INVALID) {
        printf("Editable: %s %s is an invalid type, Load/Save won't work!\n", typeName, Name);
        return;
    }
    if (typeSize == 4 && Size == 1)
        printf("Editable: %s %s must be a bool that's defined as int. (%d)\n", typeName, Name, 1);
    if (Size > typeSize)
        Type = Type == EDITABLE_POINTER ? EDITABLE_POINTER_ARRAY : EDITABLE_ARRAY;

    if (Type == EDITABLE_ARRAY && StartsWith(typeName, "CZelHandle"))
        printf("Editable: %s %s Looks like an array of ZELHANDLES - and we don't support that.\n", typeName, Name);
    if (Type == EDITABLE_POINTER_ARRAY && StartsWithKnownType(typeName))
        printf("Editable: %s %s is going to be treated as an array of pointers!\n", typeName, Name);
}
