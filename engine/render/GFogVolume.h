#pragma once
// Distance fog for a layer: a light record of the fog type whose colour, start and end reach
// the device through the light sets.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

class GFogVolume : public GObject {
    DECLARE_GOBJECT(GFogVolume, GObject)

    GFogVolume();
    ~GFogVolume() override;

    int SpecifyEditable(EditableInfo*& cursor) override;
    unsigned long GetLightHandle() const { return hLight; }

    int Priority;
    float Start, End;
    CVector Color;
    float MinX, MaxX, MinY, MaxY;
    int LimitLeft, LimitTop, LimitRight, LimitBottom;
    DWORD ViewportData;
    int ViewportIndex;
    unsigned long hLight;
};
