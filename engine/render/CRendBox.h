#pragma once
// The built-in resource "RendBox": a box of six quads round the render's position, turned by
// its rotation, half as wide as the x of its offset vector (1 without one).
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendBox : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)
static_assert(sizeof(CRendBox) == 4, "CRendBox: its table pointer only");
