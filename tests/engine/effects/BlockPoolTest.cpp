// The effects' record block pools: the order records are handed out in, growth by exactly one
// block, full marks cleared by a give, reservation, and the budget channels' load.
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/TBlockPool.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Drop {
    float Values[7];
};
typedef TBlockPool<Drop> DropPool;

TEST(BlockPool, HandsOutRecordsInIndexOrderAndGrowsByOneBlockAtThe129th)
{
    DropPool pool;
    std::vector<Drop*> taken;
    for (int i = 0; i < 128; ++i)
        taken.push_back(pool.Take());
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(taken[i], &pool.Head()->Records[i]) << i;
    EXPECT_EQ(pool.Head()->pNext, nullptr);

    Drop* next = pool.Take();
    DropPool::Block* added = pool.Head()->pNext;
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(next, &added->Records[0]);
    EXPECT_EQ(added->FreeBits[0], 0xFFFFFFFEu);
    EXPECT_EQ(added->pNext, nullptr);
    EXPECT_EQ(pool.Head()->Full, 1u);
}

TEST(BlockPool, AGivenRecordOfAFullBlockIsTakenAgainWithoutGrowing)
{
    DropPool pool;
    std::vector<Drop*> taken;
    for (int i = 0; i < 129; ++i)
        taken.push_back(pool.Take());
    pool.Give(taken[70]);
    pool.Give(taken[33]);
    EXPECT_EQ(pool.Head()->Full, 0u);
    EXPECT_EQ(pool.Take(), taken[33]);
    EXPECT_EQ(pool.Take(), taken[70]);
    EXPECT_EQ(pool.Take(), &pool.Head()->pNext->Records[1]);
    EXPECT_EQ(DropPool::Count(pool.Head()), 2);
}

TEST(BlockPool, ReserveExtendsTheChainToTheRequestedLengthOnly)
{
    DropPool pool;
    EXPECT_EQ(pool.Reserve(pool.Head(), 16), 16);
    EXPECT_EQ(pool.Reserve(pool.Head(), 4), 16);
    EXPECT_EQ(pool.Reserve(pool.Head()->pNext, 15), 15);
    for (int i = 0; i < 16 * 128; ++i)
        pool.Take();
    EXPECT_EQ(DropPool::Count(pool.Head()), 16);
    pool.Take();
    EXPECT_EQ(DropPool::Count(pool.Head()), 17);
    pool.Release();
    EXPECT_EQ(DropPool::Count(pool.Head()), 1);
    EXPECT_EQ(pool.Take(), &pool.Head()->Records[0]);
}

TEST(BudgetTables, ChannelLoadIsClampedAndAZeroBudgetAllowsNothing)
{
    const struct {
        int budget, live;
        float load;
    } cases[] = {{1000, 0, 0.0f}, {1000, 500, 0.5f}, {1000, 1500, 1.0f}, {0, 0, 1.0f}, {0, 3, 1.0f}};
    for (const auto& c : cases) {
        ParticleBudgetTable[4] = c.budget;
        ChannelParticleCount[4] = c.live;
        EXPECT_FLOAT_EQ(ChannelLoad(4), c.load) << c.budget << " " << c.live;
    }
    ParticleBudgetTable[4] = 1000;
    ChannelParticleCount[4] = 0;
}

} // namespace
