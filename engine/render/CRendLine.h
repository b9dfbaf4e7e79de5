#pragma once
// The built-in resource "RendLine": one world-space line between the render's position and
// rotation vectors.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendLine : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)
static_assert(sizeof(CRendLine) == 4, "CRendLine: its table pointer only");
