#include "engine/effects/ParticlePool.h"

namespace {
// Constructed and reserved by the library's static initialisers, before the first level loads.
// The engine heap is set up on its first use and its arena is never given back, so the chained
// blocks can still be freed when this pool is destroyed at unload.
struct ReservedParticlePool {
    ParticlePool Pool;
    ReservedParticlePool()
    {
        ParticlePoolBlock* head = Pool.Head();
        if (head->pNext == nullptr)
            Pool.Reserve(head, 2);
        Pool.Reserve(head->pNext, kParticlePoolReservedBlocks - 1);
    }
};

ReservedParticlePool g_ParticlePool;
} // namespace

ParticlePool& TheParticlePool() { return g_ParticlePool.Pool; }

ParticleStub* ParticlePoolTake() { return g_ParticlePool.Pool.Take(); }

void ParticlePoolGive(ParticleStub* record) { g_ParticlePool.Pool.Give(record); }

int ParticlePoolReserve(ParticlePoolBlock* from, int count) { return g_ParticlePool.Pool.Reserve(from, count); }
