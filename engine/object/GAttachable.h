#pragma once
// A physical object that can hang on another one's attach point: while attached its render
// instance is drawn with the target's skeleton, and its position is that of the point.
#include "engine/object/GPhysical.h"

class GAttachable : public GPhysical {
    DECLARE_GOBJECT(GAttachable, GPhysical)

    GAttachable();
    ~GAttachable() override;

    // An attached object comes off its target first.
    void Destroy() override;
    const CVector& GetPos() override;

    // keepRot and keepPos keep the object's own rotation and position as offsets from the
    // point; without them it sits on the point as the point is turned.
    virtual void AttachMeTo(GPhysical* target, bool keepRot, DWORD attachPoint, bool reparent, bool keepPos);
    virtual GPhysical* DetachMe(bool replot, bool keepParent);
    virtual GPhysical* IsAttached();

    GPhysical* pAttachedTo;
    DWORD AttachPoint;
    // The sources the render instance reads while attached (null = none).
    const CVector* pAttachedPosSource;
    CVector* pAttachedRotSource;
    CVector AttachedPos; // the point's position when last asked
};
