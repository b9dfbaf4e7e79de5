#include "engine/effects/GParticleDecal.h"

#include "engine/effects/EffectObjects.h"
#include <cmath>

#include "core/names/CRandom.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"

IMPLEMENT_GOBJECT(GParticleDecal, 0x08008000)
IMPLEMENT_GOBJECT(GParticleDecalEx, 0x88008000)
IMPLEMENT_GOBJECT(GParticleDecalNoSave, 0x04808000)

namespace {

float Unit(int raw) { return float(static_cast<unsigned long>(raw) >> 8) * (1.0f / 16777216.0f); }

// Min + u^Bias x (Max - Min); an empty range is its minimum.
float RangeAt(const rhu::RangeData& range, float u)
{
    if (range.Min == range.Max)
        return range.Min;
    return range.Min + (range.Bias != 1.0f ? std::pow(u, range.Bias) : u) * (range.Max - range.Min);
}

} // namespace

GParticleDecal::GParticleDecal()
{
    if (EditableEvaluation != 0)
        return;
    pParticleOverride = nullptr;
    Accumulated = 0.0f;
    Particle = ParticleStub{};
    if (pParticle)
        SampleEnd(*pParticle);
    PrepareParticle();
}

int GParticleDecal::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDynaDecal::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "pParticleOverride", "ParticleDef*", pParticleOverride, kResolvedPointerFlags);
    AddEditable(cursor, "ColorTween", "int", ColorTween);
    AddEditable(cursor, "ScaleTween", "int", ScaleTween);
    AddEditable(cursor, "SpinTween", "int", SpinTween);
    AddEditable(cursor, "LockColorTween", "float", LockColorTween);
    AddEditable(cursor, "LockScaleTween", "float", LockScaleTween);
    AddEditable(cursor, "LockSpinTween", "float", LockSpinTween);
    AddEditable(cursor, "ForceWidth", "float", ForceWidth);
    AddEditable(cursor, "ForceHeight", "float", ForceHeight);
    return count + 10;
}

float GParticleDecal::Draw(float lock, int& stored)
{
    if (lock == 0.0f || stored == 0)
        stored = static_cast<int>(GlobalRandom.Rand());
    return Unit(stored);
}

// The values the particle reaches at the end of its current definition: def's colour, scale
// and turn about z.
void GParticleDecal::SampleEnd(const rhu::ParticleDef& def)
{
    const float c = Draw(LockColorTween, ColorTween);
    Particle.EndColor = CVector4(Lerp(def.MinColor.X, def.MaxColor.X, c), Lerp(def.MinColor.Y, def.MaxColor.Y, c),
                                 Lerp(def.MinColor.Z, def.MaxColor.Z, c), Lerp(def.MinColor.W, def.MaxColor.W, c));
    Particle.EndScale = RangeAt(def.Scale, Draw(LockScaleTween, ScaleTween));
    Particle.EndOrient = CVector(0, 0, Lerp(def.MinSpin.Z, def.MaxSpin.Z, Draw(LockSpinTween, SpinTween)));
}

void GParticleDecal::EnterDefinition(rhu::ParticleDef* def)
{
    Particle.pDef = def;
    Particle.Lifespan = RangeValue(def->Lifespan);
    Particle.InvLifespan = Particle.Lifespan > 0.0f ? 1.0f / Particle.Lifespan : 3.4028235e38f;
    Particle.StartColor = Particle.EndColor;
    Particle.StartScale = Particle.EndScale;
    Particle.StartOrient = Particle.EndOrient;
    if (def->pNextDef)
        SampleEnd(*def->pNextDef);
}

void GParticleDecal::PrepareParticle()
{
    if (!pParticle)
        return;
    Particle.Age = 0.0f;
    EnterDefinition(pParticle);
}

bool GParticleDecal::Process()
{
    if (GDynaDecal::Process())
        return true;
    if (pParticleOverride) {
        pParticle = pParticleOverride;
        pParticleOverride = nullptr;
        SampleEnd(*pParticle);
        PrepareParticle();
    }
    if (!Particle.pDef) {
        Destroy();
        return true;
    }
    Accumulated += CGameTimer::FrameTime();
    while (Accumulated >= kParticleStep) {
        Accumulated -= kParticleStep;
        Particle.Age += kParticleStep;
        if (Particle.Age * Particle.InvLifespan < 1.0f)
            continue;
        Particle.Age -= Particle.Lifespan;
        if (!Particle.pDef->pNextDef) {
            Destroy();
            return true;
        }
        EnterDefinition(Particle.pDef->pNextDef);
    }
    const rhu::ParticleDef& def = *Particle.pDef;
    const float t = Clamp01(Particle.Age * Particle.InvLifespan);
    Color = CVector4(
        Lerp(Particle.StartColor.x, Particle.EndColor.x, t), Lerp(Particle.StartColor.y, Particle.EndColor.y, t),
        Lerp(Particle.StartColor.z, Particle.EndColor.z, t), Lerp(Particle.StartColor.w, Particle.EndColor.w, t));
    const float scale = Lerp(Particle.StartScale, Particle.EndScale, t);
    const rhu::ParticleDef* next = def.pNextDef;
    Width = (next ? Lerp(def.Size.X, next->Size.X, t) : def.Size.X) * scale;
    Height = (next ? Lerp(def.Size.Y, next->Size.Y, t) : def.Size.Y) * scale;
    if (ForceWidth != 0.0f)
        Width *= ForceWidth;
    if (ForceHeight != 0.0f)
        Height *= ForceHeight;
    pTexture = def.pTexture;
    return false;
}

bool GParticleDecal::Render()
{
    if (Color.w <= 0.0f)
        return false;
    CapOn = true;
    GDynaDecal::Render();
    CapOn = false;
    return false;
}
