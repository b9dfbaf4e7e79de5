#pragma once
// A flickering light's data, carried for levels and the editor; it does not flicker yet, so its
// light stays off as it was made.
#include "engine/render/GLight.h"

class GStrobeLight : public GLight {
    DECLARE_GOBJECT(GStrobeLight, GLight)

    bool Process() override { return false; }
    int SpecifyEditable(EditableInfo*& cursor) override;

    int mode;
    float minFlickerTime, maxFlickerTime;
    float minTweenFlickerTime, maxTweenFlickerTime;
    float minIntensity, maxIntensity;
    float Sound_Flicker;
};
