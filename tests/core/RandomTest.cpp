#include "core/names/CCRC32.h"
#include "core/names/CRandom.h"

#include <mg_win32.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Random, SeedOf255GivesTheGoldenSequence)
{
    CRandom generator = {0, 0};
    generator.Seed(255);
    EXPECT_EQ(generator.sum, 0x87BAE126UL);
    EXPECT_EQ(generator.sum, CCRC32::GetCRC("FF"));
    EXPECT_EQ(generator.Rand(), 0x20C432E0UL);
    EXPECT_EQ(generator.Rand(), 0x0A27D815UL);
    EXPECT_EQ(generator.Rand(), 0x840490B9UL);
    EXPECT_EQ(generator.counter, 0x00090009UL);
}

TEST(Random, RangedFormsDrawOneRawValueEach)
{
    CRandom a = {0x1234, 0}, b = a;
    for (int i = 0; i < 200; ++i) {
        unsigned long raw = a.Rand();
        EXPECT_EQ(b.Rand(0), 0UL); // Rand(0) is always 0 but still advances
        (void)raw;
    }
    EXPECT_EQ(a.sum, b.sum);
    EXPECT_EQ(a.counter, b.counter);

    CRandom c = {99, 5}, d = c;
    for (int i = 0; i < 200; ++i) {
        unsigned long raw = c.Rand();
        EXPECT_EQ(d.Rand(9UL), raw % 10);
    }
    CRandom full = {7, 7}, fullRaw = full;
    EXPECT_EQ(full.Rand(-1), fullRaw.Rand());
}

TEST(Random, FloatFormReachesItsLimitExactly)
{
    // The largest 24-bit value times the scale rounds to exactly the limit.
    CRandom g = {0, 0};
    for (int i = 0; i < 100000; ++i) {
        float f = g.Rand(1.0f);
        ASSERT_GE(f, 0.0f);
        ASSERT_LE(f, 1.0f);
    }
    const unsigned long scaleBits = 0x33800001UL;
    float scale;
    std::memcpy(&scale, &scaleBits, sizeof scale);
    EXPECT_EQ(static_cast<float>(static_cast<long double>(0xFFFFFF) * scale * 1.0f), 1.0f);
}

TEST(Random, CopiesAndReseedsFollowTheCounter)
{
    CRandom a = {0, 0};
    a.Seed(42);
    CRandom b = a;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(a.Rand(), b.Rand());

    // The counter survives a reseed, so what was drawn before changes what follows.
    CRandom x = {0, 0}, y = {0, 0};
    x.Rand();
    x.Seed(7);
    y.Seed(7);
    EXPECT_EQ(x.sum, y.sum);
    EXPECT_NE(x.Rand(), y.Rand());
}

TEST(Random, RandomizerSeedsFromTheGameClock)
{
    long long sysTicks = 1000;
    float secsPerTick = 1.0f / MG_PERF_FREQUENCY;
    CRandomizer::BindGameClock(&sysTicks, &secsPerTick);
    MgUseVirtualClock(1000 + 2 * MG_PERF_FREQUENCY); // two seconds after the clock started
    GlobalRandom.counter = 3;
    CRandomizer::Seed();
    MgUseRealClock();
    CRandomizer::BindGameClock(nullptr, nullptr);
    EXPECT_EQ(GlobalRandom.sum, CCRC32::GetCRC("40000000")); // the bits of 2.0f
    EXPECT_EQ(GlobalRandom.counter, 3UL);

    CRandom expect = GlobalRandom;
    EXPECT_EQ(CRandomizer::Rand(), expect.Rand());
    EXPECT_EQ(CRandomizer::Rand(5), expect.Rand(5));
}

} // namespace
