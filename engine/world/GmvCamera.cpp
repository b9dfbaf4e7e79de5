#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GmvCamera, 0)

GmvCamera* GmvCamera::pThe;

GmvCamera::GmvCamera()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

GmvCamera::~GmvCamera()
{
    if (pThe == this)
        pThe = nullptr;
}
