#pragma once
// A light from one direction, as the sun's: lit every frame.
#include "engine/render/GLight.h"

class GDirectionalLight : public GLight {
    DECLARE_GOBJECT(GDirectionalLight, GLight)

    GDirectionalLight();

    bool Process() override;
    // Turns the light: the rotation becomes the object's and gives the direction.
    void SetDirection(const CVector& rotation) override;
};
