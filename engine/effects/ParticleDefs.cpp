#include "engine/effects/ParticleDefs.h"

#include <cmath>
#include <new>

#include "core/names/CRandom.h"
#include "engine/effects/ParticleStub.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelStaticResource.h"

// Packed data holds the definitions as typed records; they are plain data, used in place.
typedef rhu::ParticleDef ParticleDef;
typedef rhu::EmitterDef EmitterDef;
ZEL_REGISTER_RECORD(ParticleDef);
ZEL_REGISTER_RECORD(EmitterDef);

float UnitRandom() { return GlobalRandom.Rand(1.0f); }

float RangeValue(const rhu::RangeData& range)
{
    if (range.Min == range.Max)
        return range.Min;
    float r = UnitRandom();
    if (range.Bias != 1.0f)
        r = std::pow(r, range.Bias);
    return range.Min + r * (range.Max - range.Min);
}

CVector4 SampleColour(const rhu::ParticleDef& def)
{
    const float u = UnitRandom();
    const rhu::ColourRGBA& a = def.MinColor;
    const rhu::ColourRGBA& b = def.MaxColor;
    return CVector4(a.X + u * (b.X - a.X), a.Y + u * (b.Y - a.Y), a.Z + u * (b.Z - a.Z), a.W);
}

// The ranges run from the lower end to the upper one, so every value stays inside them.
CVector SampleVector(const CVector& low, const CVector& high)
{
    const float u = UnitRandom();
    return CVector(low.x + u * (high.x - low.x), low.y + u * (high.y - low.y), low.z + u * (high.z - low.z));
}

void SampleStartValues(const rhu::ParticleDef& def, ParticleStub& particle)
{
    particle.StartColor = SampleColour(def);
    particle.StartScale = RangeValue(def.Scale);
    particle.StartDamp = SampleVector(ToVector(def.MinDamp), ToVector(def.MaxDamp));
    particle.StartOrient = SampleVector(ToVector(def.MinSpin), ToVector(def.MaxSpin));
}

void SampleEndValues(const rhu::ParticleDef& next, ParticleStub& particle)
{
    particle.EndColor = SampleColour(next);
    particle.EndScale = RangeValue(next.Scale);
    particle.EndDamp = SampleVector(ToVector(next.MinDamp), ToVector(next.MaxDamp));
    particle.EndOrient = SampleVector(ToVector(next.MinSpin), ToVector(next.MaxSpin));
}

namespace {
void StartLife(ParticleStub& particle, rhu::ParticleDef* def)
{
    particle.pDef = def;
    particle.Lifespan = RangeValue(def->Lifespan);
    // An empty lifespan ends the definition at the first step instead of giving a NaN age ratio.
    particle.InvLifespan = particle.Lifespan > 0.0f ? 1.0f / particle.Lifespan : 3.4028235e38f;
}
} // namespace

void EnterFirstDefinition(ParticleStub& particle, rhu::ParticleDef* def)
{
    StartLife(particle, def);
    particle.Age = 0.0f;
    SampleStartValues(*def, particle);
    if (def->pNextDef) {
        SampleEndValues(*def->pNextDef, particle);
        return;
    }
    particle.EndColor = particle.StartColor;
    particle.EndScale = particle.StartScale;
    particle.EndDamp = particle.StartDamp;
    particle.EndOrient = particle.StartOrient;
}

void EnterNextDefinition(ParticleStub& particle, rhu::ParticleDef* def)
{
    StartLife(particle, def);
    particle.StartColor = particle.EndColor;
    particle.StartScale = particle.EndScale;
    particle.StartDamp = particle.EndDamp;
    particle.StartOrient = particle.EndOrient;
    if (def->pNextDef)
        SampleEndValues(*def->pNextDef, particle);
}
