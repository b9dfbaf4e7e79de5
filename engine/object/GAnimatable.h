#pragma once
// An attachable object that plays animations from its animation table: one base animation
// (a row of the table, one of the row's variants) and up to six overlays, with the flags its
// render instance's animator raises at triggers turned into calls a game class can override.
#include "engine/object/GAttachable.h"

class CAnimation;
class CAnimTable;

// One overlay request and the slot that plays it.
struct ApplyAnimDataType {
    void Set(int row, int variant, float weight, float speed, bool repeat, bool locked, bool third)
    {
        Row = row;
        Variant = variant;
        Weight = weight;
        Speed = speed;
        AnimId = 0;
        Trigger = 0;
        Repeat = repeat;
        Locked = locked;
        Third = third;
    }
    void Clear() { Set(-1, -1, 1.0f, 1.0f, false, false, false); }

    int Row;     // -1 = free
    int Variant; // -1 = any, chosen at random
    float Weight;
    float Speed;
    unsigned long AnimId; // the overlay's id in the render instance
    int Trigger;          // raised by the animator; negative once the overlay ended
    bool Repeat;          // started again when it ends
    bool Locked;          // never replaced
    bool Third;
};

class GAnimatable : public GAttachable {
    DECLARE_GOBJECT(GAnimatable, GAttachable)

    enum { kOverlays = 6 };

    GAnimatable();

    bool Process() override;
    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    virtual ApplyAnimDataType* OverlayTriggered(ApplyAnimDataType* slot);
    virtual void OverlayOverwrite(ApplyAnimDataType* slot, bool killed);
    virtual void AnimTriggered(int row);
    virtual void AnimOverwrite(int oldRow, int newRow);

    // The animation of a row: variant -1 picks one at random and keeps the choice, a variant
    // beyond the row picks one at random without keeping it. Null for a missing row.
    CAnimation* GetActionAnim(int row, int& variant, CAnimTable* table = nullptr);
    bool ApplyAnim(int row, int& variant, float speed, int flags, bool restart, bool lock);
    bool ApplyAnim(int row, CAnimation* animation, float speed, int flags);
    // slot -1 lets the object choose: the highest free slot above the reserve index.
    bool ApplyOverlay(const ApplyAnimDataType& request, int slot, bool clearAll, bool replace);
    bool ApplyOverlay(int row, int variant, float weight, float speed, bool repeat, bool locked, int slot = -1);
    bool AddOverlay(ApplyAnimDataType* slot);
    void RemoveOverlay(int slot, bool kill);
    void RemoveOverlays(ApplyAnimDataType* except);
    void AdjustOverlay(int slot, float weight, float speed);
    void ResetBaseOverlays();
    void KillAnimation(bool overlaysToo);
    void ResetMoveAnim();
    void SetOverlayReserveIndex(int index) { ReserveIndex = index; }
    ApplyAnimDataType* GetOverlay(int slot) { return slot >= 0 && slot < kOverlays ? &Overlays[slot] : nullptr; }

    ApplyAnimDataType Overlays[kOverlays];
    bool Busy;
    int ReserveIndex;
    int CurrentRow;
    int TriggerWord;
    CAnimTable* pCurrentTable;
    bool Locked;
    CAnimTable* pDefaultAnimTable;
    CVector AnimMovement;
    bool MoveAnim;

private:
    bool StartBase(CAnimation* animation, float speed, int flags);
};
