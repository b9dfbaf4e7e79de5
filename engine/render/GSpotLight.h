#pragma once
// A cone of light: the object's position is the point lit, and the light sits LookAt units
// back along its direction. It may learn its reach from its height over the ground.
#include "engine/render/GLight.h"

class GSpotLight : public GLight {
    DECLARE_GOBJECT(GSpotLight, GLight)

    GSpotLight();

    bool Process() override;
    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    const CVector& GetLightPos() const { return LightPos; }

    int LearnRadius;
    float LookAt;
    CVector LightPos;

private:
    void PlaceLight();
    // The render instance shows the light where it sits, turned as the object.
    void PointRender();
};
