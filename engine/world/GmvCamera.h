#pragma once
// The camera object until the world's camera is built: a positioned object that names itself
// the camera, so that listeners (environmental sound) find where the view stands.
#include "engine/object/GPosRot.h"

class GmvCamera : public GPosRot {
    DECLARE_GOBJECT(GmvCamera, GPosRot)

    GmvCamera();
    ~GmvCamera() override;

    static GmvCamera* pThe;
};
