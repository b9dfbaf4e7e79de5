#include "engine/render/GDirectionalLight.h"

#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GDirectionalLight, 0x82008001)

GDirectionalLight::GDirectionalLight()
{
    if (EditableEvaluation != 0)
        return;
    LightHandleSelect(hLight);
    LightSetType(LightRecord::TYPE_DIRECTIONAL);
    LightSetViewport(ViewportIndex);
}

bool GDirectionalLight::Process()
{
    LightEnable(hLight, true);
    return false;
}

void GDirectionalLight::SetDirection(const CVector& rotation)
{
    Rotation = rotation;
    LightHandleSelect(hLight);
    TranslateDirection(NormVector, Rotation);
    LightSetDirection(NormVector);
}
