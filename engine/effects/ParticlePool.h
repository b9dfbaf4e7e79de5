#pragma once
// The process-wide pool every particle of every particle-based effect comes from. Sixteen
// blocks (2,048 records) are reserved while the library loads so ordinary play never grows it;
// chained blocks are freed only when the library unloads.
#include "engine/effects/ParticleStub.h"
#include "engine/effects/TBlockPool.h"

typedef TBlockPool<ParticleStub> ParticlePool;
typedef ParticlePool::Block ParticlePoolBlock;

enum { kParticlePoolReservedBlocks = 16 };

// Never fails: the pool grows by one block when every block is full.
ParticleStub* ParticlePoolTake();
// The record must have come from ParticlePoolTake; anything else is left alone.
void ParticlePoolGive(ParticleStub* record);
// Makes the chain from `from` on hold at least `count` blocks; the number it holds.
int ParticlePoolReserve(ParticlePoolBlock* from, int count);

// The shared pool itself, for diagnostics and tests.
ParticlePool& TheParticlePool();
