#pragma once
// A point light's fade in and out data, carried for levels and the editor; it does not fade
// yet, so its light stays off as it was made.
#include "engine/render/GPointLight.h"

class GFadeLight : public GPointLight {
    DECLARE_GOBJECT(GFadeLight, GPointLight)

    bool Process() override { return false; }
    int SpecifyEditable(EditableInfo*& cursor) override;

    float InAmbTime, InDiffTime, InSpecTime;
    float OutStartAmbTime, OutStartDiffTime, OutStartSpecTime;
    float OutAmbTime, OutDiffTime, OutSpecTime;
    CVector InAmb, InDiff, InSpec, OutAmb, OutDiff, OutSpec;
};
