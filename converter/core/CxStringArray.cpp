#include "converter/core/CxStringArray.h"

void CxStringArray::RemoveAt(int index)
{
    if (index < 0 || index >= GetSize())
        return;
    delete Base::operator[](index);
    Base::RemoveAt(index);
}

void CxStringArray::RemoveAll()
{
    for (CString* text : *static_cast<Base*>(this))
        delete text;
    Base::RemoveAll();
}
