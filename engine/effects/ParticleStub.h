#pragma once
// One live particle: the record every particle-based effect takes from the shared particle pool.
// Colours, scale, damping and orientation are kept as the values at the start and at the end of
// the particle's current definition, so a step only interpolates by age; "extra" is one word a
// derived system hangs its own state on (a trail system's point ring).
#include "core/math/CVector.h"

struct ParticleDef;

struct ParticleStub {
    CVector4 StartColor; // 0..255
    CVector4 EndColor;
    float StartScale;
    float EndScale;
    CVector StartDamp;
    CVector EndDamp;
    CVector StartOrient; // Euler angles, radians
    CVector EndOrient;
    float Lifespan; // seconds of the current definition
    float InvLifespan;
    float Age;
    CVector Position;
    CVector Velocity; // world units per second
    ParticleDef* pDef;
    void* pExtra;
};
static_assert(sizeof(ParticleStub) == 33 * 4, "a particle record is 33 words");
