#include "engine/world/GMover.h"

#include <string.h>

#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPosRot.h"
#include "engine/world/GmvWorld.h"

static_assert(sizeof(CMoverData) == sizeof(rhu::CMoverData), "CMoverData differs from the record header");
static_assert(offsetof(CMoverData, State) == offsetof(rhu::CMoverData, State), "CMoverData");

IMPLEMENT_GOBJECT(GMover, 0x04808000)

namespace {

// Any location, whatever its viewport.
const DWORD ANY_LOCATION = 0x7FFFFFFF;

} // namespace

CMoverData::CMoverData() { memset(this, 0, sizeof *this); }

void ClipMoverPosition(CVector& position)
{
    LocationEntry* location = GmvWorld::GetLocation(position, ANY_LOCATION);
    GmvWorld::ClipToWorld(position, MOVER_CLIP_MARGIN, location);
}

bool GMover::Process()
{
    if (!pData)
        return false;
    PreProcess();
    if (!pData->IsState(CMoverData::STATE_PAUSED))
        RunSlices();
    PostProcess();
    return false;
}

// A stationary mover throws its time away, so that it does not start with a burst of slices.
void GMover::RunSlices()
{
    fSliceTime += CGameTimer::FrameTime();
    while (fSliceTime > MOVER_TIMESLICE) {
        if (pData->State == 0) {
            fSliceTime = 0.0f;
            return;
        }
        fSliceTime -= MOVER_TIMESLICE;
        ProcessTimeslice();
        if (pData->IsState(CMoverData::STATE_STOP_AFTER_SLICE)) {
            pData->ClearFlag(CMoverData::STATE_STOP_AFTER_SLICE);
            return;
        }
    }
}

void GMover::Attach(CMoverData* data)
{
    pData = data;
    if (data)
        data->pGMover = this;
}

void GMover::MoveTo(const CVector&) {}
void GMover::TurnTo(const CVector&) {}

void GMover::Stop()
{
    if (pData)
        pData->State = 0;
}

void GMover::PreProcess()
{
    if (!pData->pObject)
        return;
    Position = pData->pObject->GetPos();
    Rotation = pData->pObject->GetRot();
}

void GMover::PostProcess()
{
    if (pData->bClipToWorld)
        ClipMoverPosition(Position);
    if (pData->pObject)
        pData->pObject->SetPosRot(Position, Rotation);
}

void GMover::ProcessTimeslice() {}
