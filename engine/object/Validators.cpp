#include "engine/object/Validators.h"

#include "engine/object/GPhysical.h"

bool VPlayer::Test(void* item)
{
    GObject* object = VHandle::ConvertToGObject(item);
    return object != nullptr && object->GetHandle().Player() == Player;
}

bool VEquality::Test(void* item) { return static_cast<DWORD>(VHandle::Convert(item)) == static_cast<DWORD>(Handle); }

bool VRange::Test(void* item)
{
    GPosRot* centre = GPosRot::FromObject(GObject::GetGobject(hCenter));
    GPosRot* candidate = GPosRot::FromObject(VHandle::ConvertToGObject(item));
    return centre != nullptr && candidate != nullptr && centre->IsInRange(candidate->GetPos(), RangeSq);
}

bool VHOEquality::Test(void* item)
{
    return static_cast<DWORD>(VHandleOffset::Convert(item)->Handle) == static_cast<DWORD>(Handle);
}

bool VHOPlayer::Test(void* item) { return VHandleOffset::Convert(item)->Handle.Player() == Player; }

bool VHOCollidable::Test(void* item)
{
    GPhysical* object = GPhysical::FromObject(GObject::GetGobject(VHandleOffset::Convert(item)->Handle));
    return object != nullptr && (object->GetCollisionFlags() & Mask) != 0;
}

// The record holds the place being tried for the stored object and a candidate that may be in
// the way there.
bool VHORenderCollision::Test(void* item)
{
    const HandleOffset* record = VHandleOffset::Convert(item);
    GPhysical* mover = GPhysical::FromObject(GObject::GetGobject(Handle));
    GPhysical* candidate = GPhysical::FromObject(GObject::GetGobject(record->Handle));
    return mover != nullptr && candidate != nullptr && mover->IsCollision(candidate, &record->Offset);
}

bool EngineValidator(HGOBJECT handle, void* validator)
{
    return static_cast<VValidator*>(validator)->Test(VHandle::ToItem(handle));
}

bool EngineValidatorInverse(HGOBJECT handle, void* validator) { return !EngineValidator(handle, validator); }

bool EngineFilter(HGOBJECT handle, void* list)
{
    const CEngineFilterList* filter = static_cast<const CEngineFilterList*>(list);
    const int count =
        filter->Count < CEngineFilterList::MAX_VALIDATORS ? filter->Count : CEngineFilterList::MAX_VALIDATORS;
    for (int i = 0; i < count; ++i)
        if (filter->Validators[i]->Test(VHandle::ToItem(handle)) == filter->Reject[i])
            return false;
    return true;
}
