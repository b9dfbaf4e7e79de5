#pragma once
// The built-in resource "RendRectangle": a filled rectangle on the screen between the render's
// position (x, y) and rotation (x, y) in the pixels of the viewport it is drawn in, white
// tinted by the render's colour.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendRectangle : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)
static_assert(sizeof(CRendRectangle) == 4, "CRendRectangle: its table pointer only");
