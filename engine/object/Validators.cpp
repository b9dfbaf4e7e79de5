#include "engine/object/Validators.h"

#include "engine/object/GPosRot.h"

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

bool EngineValidator(HGOBJECT handle, void* validator)
{
    return static_cast<VValidator*>(validator)->Test(VHandle::ToItem(handle));
}

bool EngineValidatorInverse(HGOBJECT handle, void* validator) { return !EngineValidator(handle, validator); }

bool EngineFilter(HGOBJECT handle, void* list)
{
    const CEngineFilterList* filter = static_cast<const CEngineFilterList*>(list);
    const int count = filter->Count < CEngineFilterList::MAX_VALIDATORS ? filter->Count : CEngineFilterList::MAX_VALIDATORS;
    for (int i = 0; i < count; ++i)
        if (filter->Validators[i]->Test(VHandle::ToItem(handle)) == filter->Reject[i])
            return false;
    return true;
}
