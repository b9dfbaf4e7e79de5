#pragma once
// The built-in resource "RendLineBatch": the thick lines of the render's line batch source
// (paths, waypoints, fences), each segment a flat quad widened across its main direction.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendLineBatch : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)
static_assert(sizeof(CRendLineBatch) == 4, "CRendLineBatch: its table pointer only");
