#pragma once
// The built-in resource "RendEllipse": a filled, translucent 32-sided ellipse on the screen in
// the box between the render's position and rotation (x, y). Every screen ellipse turns
// together: their start angle advances with the frame time.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendEllipse : public CRendResource {
public:
    void Render(CRender* render) override;
    // The start angle all screen ellipses share.
    static float StartAngle;
};
#pragma pack(pop)
static_assert(sizeof(CRendEllipse) == 4, "CRendEllipse: its table pointer only");
