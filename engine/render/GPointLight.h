#pragma once
// A light shining all round from its place, which may follow an attach point of its parent.
#include "engine/render/GLight.h"

class GPointLight : public GLight {
    DECLARE_GOBJECT(GPointLight, GLight)

    GPointLight();

    bool Process() override;
};
