#include "engine/render/GChainLight.h"

#include "core/math/CAngles.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/LightHandles.h"

#include <cmath>

IMPLEMENT_GOBJECT(GChainLight, 0x82008001)

GChainLight::GChainLight()
    : EndTime(0.0f), CurrentPhase(PHASE_ALIVE), TargetIntensity(0.0f), InverseDecay(0.0f), DecayStart(0.0f)
{
    if (EditableEvaluation != 0)
        return;
    TargetIntensity = Intensity;
    TargetAmbient = ambC;
    TargetDiffuse = difC;
    TargetRotation = Rotation;
    if (!(LifeTime > 0.0f) && !(DecayTime > 0.0f))
        return;
    EndTime = CGameTimer::GameTime() + (LifeTime < 0.0001f ? 0.0001f : LifeTime);
    TargetIntensity = NextValue("Intensity", Intensity);
    TargetAmbient =
        CVector(NextValue("ambC.Red", ambC.x), NextValue("ambC.Green", ambC.y), NextValue("ambC.Blue", ambC.z));
    TargetDiffuse =
        CVector(NextValue("difC.Red", difC.x), NextValue("difC.Green", difC.y), NextValue("difC.Blue", difC.z));
    TargetRotation = CVector(NextValue("Locator.Rotation.X", Rotation.x), NextValue("Locator.Rotation.Y", Rotation.y),
                             NextValue("Locator.Rotation.Z", Rotation.z));
}

float GChainLight::NextValue(const char* name, float own) const
{
    float value = own;
    if (!pLinkData)
        return value;
    if (!GetDataItem(value, name, pLinkData->pData))
        GetDataItem(value, name, pLinkData->ClassId);
    return value;
}

void GChainLight::Blend(float now)
{
    float t = (now - DecayStart) * InverseDecay;
    t = t < 1.0f ? t : 1.0f;
    const float s = 1.0f - t > 0.0f ? 1.0f - t : 0.0f;
    auto mix = [&](const CVector& target, const CVector& own) {
        return CVector(t * target.x + s * own.x, t * target.y + s * own.y, t * target.z + s * own.z);
    };
    const float pi = 3.14159265f;
    float dx = TargetRotation.x - Rotation.x;
    dx = std::fmod(dx + pi, 2.0f * pi);
    dx = (dx < 0.0f ? dx + 2.0f * pi : dx) - pi;
    const CVector turned(Rotation.x + t * dx,
                         Rotation.y + t * CAngles::GetSmallestDeflection(Rotation.y, TargetRotation.y),
                         Rotation.z + t * CAngles::GetSmallestDeflection(Rotation.z, TargetRotation.z));
    CVector direction;
    TranslateDirection(direction, turned);
    // Only the light record changes: the object's own fields keep the values it began with.
    LightHandleSelect(hLight);
    LightSetIntensity(t * TargetIntensity + s * Intensity);
    LightSetAmbient(mix(TargetAmbient, ambC));
    LightSetDiffuse(mix(TargetDiffuse, difC));
    LightSetDirection(direction);
}

bool GChainLight::Process()
{
    const float now = CGameTimer::GameTime();
    if (EndTime > 0.0f && now > EndTime) {
        switch (CurrentPhase) {
        case PHASE_ALIVE:
            if (DecayTime > 0.0f)
                InverseDecay = 1.0f / DecayTime;
            DecayStart = now;
            CurrentPhase = PHASE_DECAYING;
            EndTime = now + DecayTime;
            break;
        case PHASE_DECAYING:
            CreateNextLight();
            CurrentPhase = PHASE_NEXT_CREATED;
            break;
        default:
            DoDeath();
            return true;
        }
    }
    if (CurrentPhase == PHASE_DECAYING)
        Blend(now);
    LightEnable(hLight, true);
    return false;
}

void GChainLight::DoDeath() { Destroy(); }

void GChainLight::CreateNextLight()
{
    if (pLinkData) {
        if (GObject* next = GObject::Create(pLinkData->ClassId, HGOBJECT(0), pLinkData->pData))
            next->SetLabel(pLinkData->LabelId);
    }
    EndTime = CGameTimer::GameTime();
}

int GChainLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDirectionalLight::SpecifyEditable(cursor);
    AddEditable(cursor, "LifeTime", "float", LifeTime);
    AddEditable(cursor, "DecayTime", "float", DecayTime);
    AddEditable(cursor, "pLinkData", "CEmbeddedFillData *", pLinkData);
    return count + 3;
}
