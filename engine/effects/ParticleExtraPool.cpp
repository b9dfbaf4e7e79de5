#include "engine/effects/ParticleExtraPool.h"

namespace {
// Its destructor, run as the process ends, frees the chained blocks; the engine heap's arena is
// never given back, so that is safe however late it runs.
ParticleExtraPool g_ExtraPool;
} // namespace

ParticleExtraPool& TheParticleExtraPool() { return g_ExtraPool; }

ParticleExtra* ParticleExtraTake() { return g_ExtraPool.Take(); }

void ParticleExtraGive(ParticleExtra* record) { g_ExtraPool.Give(record); }
