#pragma once
// The process-wide pool of the small per-particle records some particle effects hang on a
// particle's extra word (a smoke particle's fade). Its first block is static; chained blocks
// are freed as the process ends.
#include "engine/effects/TBlockPool.h"

struct ParticleExtra {
    float Fade; // 1 at spawn, the particle dies at 0
    float Spare[2];
};
static_assert(sizeof(ParticleExtra) == 12, "an extra particle record is three words");

typedef TBlockPool<ParticleExtra> ParticleExtraPool;

// Never fails: the pool grows by one block when every block is full.
ParticleExtra* ParticleExtraTake();
// The record must have come from ParticleExtraTake; anything else is left alone.
void ParticleExtraGive(ParticleExtra* record);
ParticleExtraPool& TheParticleExtraPool();
