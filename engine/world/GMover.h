#pragma once
// Movers advance a positioned object in fixed time slices, so movement is the same at any frame
// rate: a long frame runs several slices, a short one may run none and carry its time over.
// GMover drives the object a CMoverData record names; what one slice does is up to the classes
// a game derives from it.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

class GMover;
class GPosRot;

// Length of one movement slice in seconds.
const float MOVER_TIMESLICE = 0.033333f;
// World clipping keeps a moved object this far inside its location.
const float MOVER_CLIP_MARGIN = 0.01f;

#pragma pack(push, 1)
class CMoverData {
public:
    enum : DWORD {
        STATE_STOP_AFTER_SLICE = 0x10000, // run one more slice, then clear this bit
        STATE_PAUSED = 0x20000,           // no slices while set
    };

    CMoverData();

    bool ExactState(DWORD state) const { return State == state; }
    bool IsState() const { return State != 0; }
    bool IsState(DWORD bits) const { return (State & bits) != 0; }
    void AddFlag(DWORD bits) { State |= bits; }
    void ClearFlag(DWORD bits) { State &= ~bits; }
    void ClearFlag() { State = 0; }

    GMover* pGMover;
    GPosRot* pObject;
    BYTE bClipToWorld;
    DWORD Reserved[9]; // the derived movers' own state
    DWORD State;
};
#pragma pack(pop)

class GMover : public GObject {
    DECLARE_GOBJECT(GMover, GObject)

    bool Process() override;

    // The operations movers add, in table order.
    virtual void Attach(CMoverData* data);
    virtual void MoveTo(const CVector& target);
    virtual void TurnTo(const CVector& target);
    virtual void Stop();
    virtual void PreProcess();
    virtual void PostProcess();
    virtual void ProcessTimeslice();

    bool Stationary() const { return !pData || pData->State == 0; }

    CMoverData* pData;
    float fSliceTime; // time not yet run in slices
    CVector Position; // the moved object's, for the frame
    CVector Rotation;

private:
    void RunSlices();
};

// Clips a moved position into the world: into the location holding it, else the nearest.
void ClipMoverPosition(CVector& position);
