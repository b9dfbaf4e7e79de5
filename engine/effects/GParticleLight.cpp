#include "engine/effects/GParticleLight.h"

#include "engine/effects/EffectObjects.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GParticleLight, 0x86008000)

namespace {

CVector Colour(const rhu::ColourRGBA& c) { return CVector(c.X, c.Y, c.Z); }

CVector LerpVector(const CVector& a, const CVector& b, float t)
{
    return CVector(Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t));
}

} // namespace

GParticleLight::GParticleLight()
{
    if (EditableEvaluation != 0)
        return;
    Accumulated = kNeverRun;
    PrepareLight();
}

GParticleLight::~GParticleLight()
{
    if (EditableEvaluation == 0 && SoundID && GSoundSystem::pThe)
        GSoundSystem::pThe->Stop(Sound);
}

int GParticleLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GLight::SpecifyEditable(cursor);
    AddEditable(cursor, "LightType", "int", LightType);
    AddEditable(cursor, "LearnRadius", "int", LearnRadius);
    AddEditable(cursor, "SoundID", "DWORD", SoundID);
    AddEditable(cursor, "SoundOnIntensity", "float", SoundOnIntensity);
    AddEditable(cursor, "SoundOffIntensity", "float", SoundOffIntensity);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "pParticleOverride", "ParticleDef*", pParticleOverride, kResolvedPointerFlags);
    return count + 7;
}

void GParticleLight::StartStage()
{
    Age = 0.0f;
    Lifespan = RangeValue(pParticle->Lifespan);
    InvLifespan = Lifespan > 0.0f ? 1.0f / Lifespan : 3.4028235e38f;
}

void GParticleLight::PrepareLight()
{
    if (!pParticle)
        return;
    StartStage();
    LightHandleSelect(hLight);
    // Types 0, 1 and 2 are the renderer's directional, point and spot kinds.
    LightSetType(LightType + 1);
}

bool GParticleLight::Process()
{
    if (pParticleOverride) {
        pParticle = pParticleOverride;
        pParticleOverride = nullptr;
        PrepareLight();
    }
    if (!pParticle) {
        Destroy();
        return true;
    }
    Accumulated = (Accumulated == kNeverRun ? 0.0f : Accumulated) + CGameTimer::FrameTime();
    while (Accumulated >= kParticleStep) {
        Age += kParticleStep;
        if (Age * InvLifespan >= 1.0f) {
            pParticle = pParticle->pNextDef;
            if (!pParticle) {
                Destroy();
                return true;
            }
            const float over = Age - Lifespan;
            StartStage();
            Age = over;
        }
        Accumulated -= kParticleStep;
    }
    Progress = Clamp01(Age * InvLifespan);
    LightHandleSelect(hLight);
    if (!(pParticle->Facing & 1)) {
        LightEnable(hLight, false);
        if (SoundID) {
            PreviousIntensity = 0.0f;
            if (GSoundSystem::pThe)
                GSoundSystem::pThe->Stop(Sound);
        }
        return false;
    }
    const rhu::ParticleDef& def = *pParticle;
    const rhu::ParticleDef& next = def.pNextDef ? *def.pNextDef : def;
    const float t = Progress;
    difC = LerpVector(Colour(def.MinColor), Colour(next.MinColor), t);
    ambC = LerpVector(Colour(def.MaxColor), Colour(next.MaxColor), t);
    Radius = Lerp(def.Scale.Min, next.Scale.Min, t);
    Attenuate = LerpVector(ToVector(def.Size), ToVector(next.Size), t);
    cosA = Lerp(def.Absorption, next.Absorption, t);
    LightEnable(hLight, true);
    LightSetDiffuse(difC);
    LightSetAmbient(ambC);
    PlaceLight();
    if (SoundID)
        SwitchSound();
    return false;
}

void GParticleLight::PlaceLight()
{
    GObject* parent = GetParent();
    GPhysical* physical = parent && parent != GetRoot() && parent->IsDerivedFromClassId(GPhysical::ClassId)
                              ? static_cast<GPhysical*>(parent)
                              : nullptr;
    if (LightType == 1 && AttachId && physical && !IsAttached())
        AttachMeTo(physical, false, static_cast<DWORD>(AttachId), false, false);
    if (LightType == 2 && physical && physical->Render.GetResource()) {
        int found = 0;
        CMatrix point;
        physical->Render.GetAttachPoint(CCRC32(static_cast<unsigned long>(AttachId)), found, &point);
        if (found) {
            LightSetPosition(CVector(point.m12, point.m13, point.m14));
            LightSetDirection(CVector(point.m8, point.m9, point.m10));
        }
    } else {
        LightSetPosition(GetPos());
    }
    if (LightType == 2)
        LightSetArpeture(cosA);
    LightSetAttenuation(Attenuate);
    LightSetRadius(Radius);
}

void GParticleLight::SwitchSound()
{
    const float intensity = 0.299f * difC.x + 0.587f * difC.y + 0.114f * difC.z;
    GSoundSystem* sound = GSoundSystem::pThe;
    if (sound && PreviousIntensity < SoundOnIntensity && intensity >= SoundOnIntensity && !sound->Status(Sound))
        Sound = sound->Play(SoundID, &Position);
    if (sound && PreviousIntensity > SoundOffIntensity && intensity <= SoundOffIntensity)
        sound->Stop(Sound);
    PreviousIntensity = intensity;
}
