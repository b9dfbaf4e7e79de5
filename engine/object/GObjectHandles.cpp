// The handle table: 65,536 object pointers indexed by the high 16 bits of a handle. Each player
// draws indices from a fixed range, searching from a cursor that remembers where it stopped.
#include <stdio.h>

#include "engine/object/CLoadSaveBuffer.h"
#include "engine/object/GObject.h"

GObject* GObject::TheHandleArray[65536];
const WORD GObject::HandleRanges[11] = {0x0001, 0x199A, 0x3333, 0x4CCC, 0x6665, 0x7FFE,
                                        0x9997, 0xB330, 0xCCC9, 0xE662, 0xFFFE};
int GObject::HandleInsertCache[11] = {0x0001, 0x199A, 0x3333, 0x4CCC, 0x6665, 0x7FFE,
                                      0x9997, 0xB330, 0xCCC9, 0xE662, 0xFFFE};

namespace {

const int MAX_PLAYER = 9;

// The save-game loader marks the handles of a saved game with this value before it recreates
// their objects: the slot counts as taken, but resolves to no object.
GObject* const RESERVED_SLOT = reinterpret_cast<GObject*>(1);

bool SlotIsFree(DWORD index) { return GObject::TheHandleArray[index] == nullptr; }

// The first free index of the player's range from its cursor on, wrapping once; 0 when the
// whole range is taken.
DWORD FindFreeIndex(int player)
{
    const DWORD begin = GObject::HandleRanges[player];
    const DWORD end = GObject::HandleRanges[player + 1];
    DWORD index = static_cast<DWORD>(GObject::HandleInsertCache[player]);
    if (index < begin || index >= end)
        index = begin;
    for (DWORD tried = 0; tried < end - begin; ++tried) {
        if (SlotIsFree(index))
            return index;
        if (++index >= end)
            index = begin;
    }
    return 0;
}

} // namespace

GObject* HGOBJECT::GetGobject() const { return GObject::GetGobject(*this); }

GObject* GObject::GetGobject(HGOBJECT handle)
{
    GObject* object = TheHandleArray[handle.Id()];
    return object == RESERVED_SLOT ? nullptr : object;
}

HGOBJECT GObject::GetNextHandle(int player)
{
    if (player < 0 || player > MAX_PLAYER)
        return HGOBJECT(0);
    const DWORD index = FindFreeIndex(player);
    return index == 0 ? HGOBJECT(0) : HGOBJECT((index << 16) | static_cast<DWORD>(player));
}

// Returns the null handle, and changes nothing, while prototypes are built or when the player
// has no free index left (the creation is then refused).
HGOBJECT GObject::AddHandle(WORD player, HGOBJECT wanted)
{
    if (EditableEvaluation != 0)
        return HGOBJECT(0);

    HGOBJECT handle = wanted;
    if (!wanted.IsNull()) {
        if (TheHandleArray[wanted.Id()] == RESERVED_SLOT)
            TheHandleArray[wanted.Id()] = nullptr;
    } else {
        if (player > MAX_PLAYER) {
            printf("AddHandle: player %u has no handle range\n", player);
            return HGOBJECT(0);
        }
        const DWORD index = FindFreeIndex(player);
        if (index == 0) {
            printf("AddHandle: no free handle left for player %u\n", player);
            return HGOBJECT(0);
        }
        handle = HGOBJECT((index << 16) | player);
        HandleInsertCache[player] = static_cast<WORD>(index + 1);
    }
    // Recreating a saved object over a live one means the saved game does not fit the level.
    if (TheHandleArray[handle.Id()] != nullptr && CLoadSaveBuffer::pThe != nullptr)
        CLoadSaveBuffer::pThe->SetErrorStatus(1);
    TheHandleArray[handle.Id()] = this;
    hObject = handle;
    return handle;
}

void GObject::ClearHandle()
{
    ReleaseHandleSlot();
    hObject = HGOBJECT(static_cast<DWORD>(hObject) & 0xFFFF);
}

// An object displaced from its slot (by an explicit handle, or a survivor of a level sweep)
// must not erase the slot's new occupant.
void GObject::ReleaseHandleSlot()
{
    const WORD index = hObject.Id();
    if (index != 0 && TheHandleArray[index] == this)
        TheHandleArray[index] = nullptr;
}

void GObject::ResetHandles()
{
    for (GObject*& slot : TheHandleArray)
        slot = nullptr;
    for (int player = 0; player < 11; ++player)
        HandleInsertCache[player] = HandleRanges[player];
}
