#pragma once
// Sampling of the particle and emitter definitions packed data holds: every effect that runs a
// particle through a chain of definitions draws its values here, from the engine's seeded
// generator, so a seeded run repeats exactly.
#include "core/math/CVector.h"
#include "engine/effects/EffectRandom.h"
#include "engine/include/RhuTypes.h"

struct ParticleStub;

// The simulation step of every particle-based effect: 30 steps per second.
constexpr float kParticleStep = 0.033333335f;
// Accumulated time of an effect that has never run.
constexpr float kNeverRun = -3.4028235e38f;

// A value the engine's generator draws in [0, 1].
float UnitRandom();

// Red, green and blue between the definition's two colours by one shared draw; alpha is the
// lower colour's.
CVector4 SampleColour(const rhu::ParticleDef& def);
// Each axis between the two ends by one shared draw.
CVector SampleVector(const CVector& low, const CVector& high);

inline CVector ToVector(const rhu::CVector& v) { return CVector(v.X, v.Y, v.Z); }
inline CVector4 ToVector4(const rhu::CVector4& v) { return CVector4(v.X, v.Y, v.Z, v.W); }

// The values a particle has at the start of the definition: colour, scale, damping and spin.
void SampleStartValues(const rhu::ParticleDef& def, ParticleStub& particle);
// The values it will have at the end of the definition, drawn from the one that follows it.
void SampleEndValues(const rhu::ParticleDef& next, ParticleStub& particle);
// A spawned particle enters its first definition: fresh start values, and end values from the
// following definition (or equal to the start without one).
void EnterFirstDefinition(ParticleStub& particle, rhu::ParticleDef* def);
// A living particle passes into def: the old end values become the start values.
void EnterNextDefinition(ParticleStub& particle, rhu::ParticleDef* def);

inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float Clamp01(float t) { return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t); }
