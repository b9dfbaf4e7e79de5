#include "converter/core/CNamedArrayElement.h"

#include "core/names/CCRC32.h"
#include "core/output/TextFormat.h"

#include <cstdarg>
#include <cstdio>

CNamedArrayElement::CNamedArrayElement(const char* name) : Key(CCRC32::GetCRC(name ? name : "")), Name(name ? name : "")
{
}

CNamedArrayElement::~CNamedArrayElement() { LeaveIndex(); }

void CNamedArrayElement::SetOwnerIndex(ZSearchTable* index)
{
    LeaveIndex();
    OwnerIndex = index;
    SetName(Name.c_str());
}

void CNamedArrayElement::LeaveIndex()
{
    if (OwnerIndex && Indexed)
        OwnerIndex->Remove(IndexedKey);
    IndexedKey = 0;
    Indexed = false;
}

void CNamedArrayElement::SetName(const char* name)
{
    std::string copy = name ? name : "";
    Name.swap(copy);
    Key = CCRC32::GetCRC(Name.c_str());
    if (!OwnerIndex)
        return;
    LeaveIndex();
    if (!Name.empty() && !OwnerIndex->Add(Key, this)) {
        IndexedKey = Key;
        Indexed = true;
    }
}

void CNamedArrayElement::SetNameF(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string name = FormatTextV(format, args);
    va_end(args);
    SetName(name.c_str());
}
