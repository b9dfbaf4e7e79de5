// The shared particle pool as the library leaves it after loading: sixteen blocks reserved, the
// 2,049th record taken grows it by exactly one block, and records given back are reused first.
#include "engine/effects/ParticlePool.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ParticlePool, SixteenBlocksAreReservedAtLoadAndThe2049thRecordAddsTheSeventeenth)
{
    ParticlePool& pool = TheParticlePool();
    ASSERT_EQ(ParticlePool::Count(pool.Head()), 16);

    std::vector<ParticleStub*> taken;
    for (int i = 0; i < 16 * 128; ++i)
        taken.push_back(ParticlePoolTake());
    EXPECT_EQ(taken[0], &pool.Head()->Records[0]);
    EXPECT_EQ(taken[128], &pool.Head()->pNext->Records[0]);
    EXPECT_EQ(ParticlePool::Count(pool.Head()), 16);

    ParticleStub* extra = ParticlePoolTake();
    ASSERT_EQ(ParticlePool::Count(pool.Head()), 17);
    ParticlePoolBlock* last = pool.Head();
    while (last->pNext)
        last = last->pNext;
    EXPECT_EQ(extra, &last->Records[0]);
    EXPECT_EQ(last->FreeBits[0], 0xFFFFFFFEu);

    // A record given back to a full block is the next one handed out.
    ParticlePoolGive(taken[300]);
    EXPECT_EQ(ParticlePoolTake(), taken[300]);

    ParticlePoolGive(extra);
    for (ParticleStub* record : taken)
        ParticlePoolGive(record);
    EXPECT_EQ(ParticlePoolTake(), &pool.Head()->Records[0]);
    ParticlePoolGive(&pool.Head()->Records[0]);
}
