#include "engine/world/GmvCamera.h"

#include <math.h>

#include "engine/render/Camera.h"

IMPLEMENT_GOBJECT(GmvCamera, 0x80800100)

GmvCamera* GmvCamera::pThe;

namespace {

// The renderer viewport that shows the 3-D world.
const int WORLD_VIEWPORT = 0;

} // namespace

// A newer camera takes over the view.
GmvCamera::GmvCamera()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

// Only the live camera gives up the view: an older one going must not leave the newer unnamed.
GmvCamera::~GmvCamera()
{
    if (pThe == this)
        pThe = nullptr;
}

// Each frame, so that a view the host reset is taken back and a camera moved by SetPos follows.
bool GmvCamera::Process()
{
    DriveRenderer();
    return GPhysical::Process();
}

const CVector& GmvCamera::GetPos() { return Position; }

void GmvCamera::SetFocus(CVector focus)
{
    Focus = focus;
    DriveRenderer();
}

void GmvCamera::SetEye(CVector eye)
{
    SetPos(eye);
    DriveRenderer();
}

void GmvCamera::GetUnitDirectionVector(CVector& out)
{
    const CVector d = Focus - GetPos();
    const float length = sqrtf(d.x * d.x + d.y * d.y + d.z * d.z);
    out = length > 0.0f ? CVector(d.x / length, d.y / length, d.z / length) : CVector(0.0f, 0.0f, 0.0f);
}

void GmvCamera::DriveRenderer()
{
    if (pThe != this)
        return;
    LoadEyeCamera(WORLD_VIEWPORT, GetPos(), Focus);
}
