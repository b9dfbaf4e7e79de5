#pragma once
// The built-in resources "RendWorldRect" and "RendWorldEllipse": outlines laid on the terrain
// (each point at the terrain height under it) in the box between the render's position and
// rotation (x, y), white tinted by the render's colour. Selection marks and placement guides
// use them.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendWorldRect : public CRendResource {
public:
    void Render(CRender* render) override;
};

// A 32-sided outline on the terrain of the world location under its centre; nothing off the
// world's maps.
class CRendWorldEllipse : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)
static_assert(sizeof(CRendWorldRect) == 4, "CRendWorldRect: its table pointer only");
static_assert(sizeof(CRendWorldEllipse) == 4, "CRendWorldEllipse: its table pointer only");
