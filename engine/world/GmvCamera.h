#pragma once
// The camera object until the world's camera is built: a positioned object that names itself
// the camera, so that listeners (environmental sound) find where the view stands, with the
// point it looks at (the keyframe recorder reads and moves both).
#include "engine/object/GPosRot.h"

class GmvCamera : public GPosRot {
    DECLARE_GOBJECT(GmvCamera, GPosRot)

    GmvCamera();
    ~GmvCamera() override;

    const CVector& GetFocus() const { return Focus; }
    void SetFocus(const CVector& focus) { Focus = focus; }
    void SetEye(const CVector& eye) { SetPos(eye); }

    static GmvCamera* pThe;

private:
    CVector Focus;
};
