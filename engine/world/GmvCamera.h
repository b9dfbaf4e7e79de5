#pragma once
// The viewer in a level: its position is the eye and it looks at its focus point. The live
// camera is GmvCamera::pThe; while it has a direction to look in it drives the 3-D camera of
// the world's viewport, so whatever moves the eye or the focus moves the view.
#include "engine/object/GPhysical.h"

class GmvCamera : public GPhysical {
    DECLARE_GOBJECT(GmvCamera, GPhysical)

    GmvCamera();
    ~GmvCamera() override;

    bool Process() override;
    const CVector& GetPos() override;

    // The operations the camera adds, in table order.
    virtual void SetFocus(CVector focus);
    virtual void SetEye(CVector eye);

    const CVector& GetFocus() const { return Focus; }
    // The unit vector from the eye to the focus; zero when the two coincide.
    void GetUnitDirectionVector(CVector& out);

    static GmvCamera* pThe;

private:
    // Loads the renderer's camera of the world's viewport from the eye and the focus.
    void DriveRenderer();

    CVector Focus;
};
