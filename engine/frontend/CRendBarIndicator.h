#pragma once
// The built-in resource "CRendBarIndicator": one quad from a bar's position to its far corner,
// its texture cut at the fill fraction (the far corner's z) rather than stretched.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CRendBarIndicator : public CRendResource {
public:
    void Render(CRender* render) override;
    static CRendBarIndicator& BuiltIn();
};
#pragma pack(pop)
static_assert(sizeof(CRendBarIndicator) == 4, "CRendBarIndicator: its table pointer only");
