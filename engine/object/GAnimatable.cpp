#include "engine/object/GAnimatable.h"

#include <cstdlib>

#include "engine/include/RhuTypes.h"
#include "engine/object/CoreMessages.h"
#include "engine/render/CAnimation.h"
#include "engine/zel/CZelFile.h"

IMPLEMENT_GOBJECT(GAnimatable, 0x00008000)

namespace {

// A table from packed data is read only as far as its bytes go.
const rhu::CAnimTable* Table(const CAnimTable* table)
{
    const rhu::CAnimTable* t = reinterpret_cast<const rhu::CAnimTable*>(table);
    if (!t)
        return nullptr;
    if (CZelFile::IsLoadedData(t, 4) && !CZelFile::IsLoadedData(t->Data, 4UL * t->Count))
        return nullptr;
    return t;
}

} // namespace

GAnimatable::GAnimatable()
{
    for (ApplyAnimDataType& overlay : Overlays)
        overlay.Clear();
    Busy = false;
    ReserveIndex = -1;
    CurrentRow = -1;
    TriggerWord = 0;
    Locked = false;
    AnimMovement = CVector(0.0f, 0.0f, 0.0f);
    MoveAnim = false;
    pCurrentTable = pDefaultAnimTable;
    if (EditableEvaluation == 0)
        Render.RegisterAnimationMovementPointer(&AnimMovement);
}

int GAnimatable::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GAttachable::SpecifyEditable(cursor);
    AddEditable(cursor, "pDefaultAnimTable", "CAnimTable *", pDefaultAnimTable, 0x21);
    return count + 1;
}

bool GAnimatable::OnReceiveMessage(CMessage* message)
{
    if (message->MessageId == CAnimMoveMessage::CMessageId) {
        MoveAnim = true;
        return true;
    }
    return GAttachable::OnReceiveMessage(message);
}

ApplyAnimDataType* GAnimatable::OverlayTriggered(ApplyAnimDataType* slot) { return slot; }
void GAnimatable::OverlayOverwrite(ApplyAnimDataType*, bool) {}

void GAnimatable::AnimTriggered(int)
{
    if (TriggerWord < 0) {
        ResetMoveAnim();
        Locked = false;
    }
}

void GAnimatable::AnimOverwrite(int, int) { ResetMoveAnim(); }

void GAnimatable::ResetMoveAnim()
{
    if (!MoveAnim)
        return;
    AnimMovement = CVector(0.0f, 0.0f, 0.0f);
    MoveAnim = false;
}

CAnimation* GAnimatable::GetActionAnim(int row, int& variant, CAnimTable* table)
{
    const rhu::CAnimTable* t = Table(table ? table : pCurrentTable);
    if (!t || row < 0 || row >= t->Count)
        return nullptr;
    const rhu::CAnimTable* rowTable = Table(static_cast<CAnimTable*>(t->Data[row]));
    if (!rowTable || rowTable->Count == 0 || rowTable->HasResources == 0)
        return nullptr;
    int pick = variant;
    if (variant < 0) {
        pick = std::rand() % rowTable->Count;
        variant = pick;
    } else if (variant >= rowTable->Count) {
        pick = std::rand() % rowTable->Count;
    }
    return static_cast<CAnimation*>(rowTable->Data[pick]);
}

bool GAnimatable::StartBase(CAnimation* animation, float speed, int flags)
{
    TriggerWord = 0;
    Render.Attach(animation, &TriggerWord, speed, flags);
    Render.RegisterAnimationMessageObject(GetHandle());
    Render.LinkAnimated();
    return true;
}

bool GAnimatable::ApplyAnim(int row, int& variant, float speed, int flags, bool restart, bool lock)
{
    if (Locked)
        return false;
    if (speed < 0.01f)
        speed = 0.01f;
    if (row == CurrentRow) {
        Render.ReScaleAnimation(speed);
        if (!restart || TriggerWord >= 0)
            return false;
        CurrentRow = -1;
        lock = false;
    }
    CAnimation* animation = GetActionAnim(row, variant);
    AnimOverwrite(CurrentRow, row);
    CurrentRow = row;
    if (!animation)
        return false;
    StartBase(animation, speed, flags);
    Locked = lock;
    return true;
}

bool GAnimatable::ApplyAnim(int row, CAnimation* animation, float speed, int flags)
{
    if (Locked)
        return false;
    AnimOverwrite(CurrentRow, row);
    CurrentRow = row;
    return animation && StartBase(animation, speed, flags);
}

bool GAnimatable::AddOverlay(ApplyAnimDataType* slot)
{
    int variant = slot->Variant;
    CAnimation* animation = GetActionAnim(slot->Row, variant);
    if (slot->Variant < 0)
        slot->Variant = variant;
    if (!animation)
        return false;
    slot->Trigger = 0;
    Render.AttachOverlay(animation, slot->Speed, &slot->Trigger, slot->Weight, &slot->AnimId, false);
    Render.RegisterAnimationMessageObject(GetHandle());
    Render.LinkAnimated();
    return true;
}

void GAnimatable::RemoveOverlay(int slot, bool kill)
{
    ApplyAnimDataType* overlay = GetOverlay(slot);
    if (!overlay || overlay->Row < 0)
        return;
    if (kill)
        Render.KillAnimation(overlay->AnimId);
    Render.DeleteAnimFlag(&overlay->Trigger);
    overlay->Clear();
}

void GAnimatable::RemoveOverlays(ApplyAnimDataType* except)
{
    for (int i = 0; i < kOverlays; ++i)
        if (&Overlays[i] != except)
            RemoveOverlay(i, true);
}

void GAnimatable::AdjustOverlay(int slot, float weight, float speed)
{
    ApplyAnimDataType* overlay = GetOverlay(slot);
    if (!overlay || overlay->Row < 0)
        return;
    overlay->Weight = weight;
    overlay->Speed = speed;
    Render.AttachAnimationData(overlay->AnimId, speed, weight, &overlay->Trigger);
}

bool GAnimatable::ApplyOverlay(const ApplyAnimDataType& request, int slot, bool clearAll, bool replace)
{
    if (clearAll)
        RemoveOverlays(nullptr);
    int chosen = -1;
    if (slot >= 0) {
        ApplyAnimDataType* target = GetOverlay(slot);
        if (!target || target->Locked || (target->Row == request.Row && !replace))
            return false;
        chosen = slot;
    } else {
        for (int i = 0; i < kOverlays && chosen < 0; ++i)
            if (replace && Overlays[i].Row == request.Row) {
                if (Overlays[i].Locked)
                    return false;
                chosen = i;
            }
        // With no free slot above the reserve the request is refused.
        for (int i = kOverlays - 1; i > ReserveIndex && chosen < 0; --i)
            if (Overlays[i].Row == -1)
                chosen = i;
        if (chosen < 0)
            return false;
    }
    RemoveOverlay(chosen, true);
    Overlays[chosen] = request;
    Overlays[chosen].AnimId = 0;
    AddOverlay(&Overlays[chosen]);
    return true;
}

bool GAnimatable::ApplyOverlay(int row, int variant, float weight, float speed, bool repeat, bool locked, int slot)
{
    ApplyAnimDataType request;
    request.Set(row, variant, weight, speed, repeat, locked, false);
    return ApplyOverlay(request, slot, false, false);
}

void GAnimatable::ResetBaseOverlays()
{
    RemoveOverlays(nullptr);
    ResetMoveAnim();
}

void GAnimatable::KillAnimation(bool overlaysToo)
{
    if (overlaysToo)
        for (ApplyAnimDataType& overlay : Overlays)
            overlay.Clear();
    ResetMoveAnim();
    Render.KillAnimation();
    CurrentRow = -1;
    Locked = false;
}

bool GAnimatable::Process()
{
    if (TriggerWord) {
        AnimTriggered(CurrentRow);
        TriggerWord = 0;
    }
    if (Busy)
        return false;
    for (ApplyAnimDataType& overlay : Overlays) {
        if (overlay.Row < 0 || overlay.Trigger == 0)
            continue;
        ApplyAnimDataType* slot = OverlayTriggered(&overlay);
        if (!slot)
            continue;
        if (slot->Trigger < 0) {
            if (slot->Repeat) {
                AddOverlay(slot);
            } else {
                OverlayOverwrite(slot, false);
                Render.DeleteAnimFlag(&slot->Trigger);
                slot->Clear();
            }
        } else {
            slot->Trigger = 0;
        }
    }
    return false;
}
