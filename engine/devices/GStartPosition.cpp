#include "engine/devices/GStartPosition.h"

IMPLEMENT_GOBJECT(GStartPosition, 0x98008000)

GStartPosition* GStartPosition::pCurrent;

// Objects created later must not stand relative to a start position that is gone.
GStartPosition::~GStartPosition()
{
    if (pCurrent == this)
        pCurrent = nullptr;
}

int GStartPosition::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "iStartPosition", "int", iStartPosition);
    return count + 1;
}
