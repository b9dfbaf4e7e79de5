#include "converter/core/CNamedArrayElement.h"

#include "core/names/CCRC32.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

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
    va_list count;
    va_copy(count, args);
    const int length = vsnprintf(nullptr, 0, format, count);
    va_end(count);
    std::vector<char> text(length > 0 ? length + 1 : 1, '\0');
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    SetName(text.data());
}
