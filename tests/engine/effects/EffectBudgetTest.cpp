// The effect budget object: defaults for blank presets, preset selection and override, the
// single live instance, and the budgeted spawn counts of smoke and splatter bursts.
#include <gtest/gtest.h>

#include <string.h>

#include "ObjectTestSupport.h"
#include "engine/effects/GEffectBudget.h"

namespace {

class EffectBudgetTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GEffectBudget::Preset = 0;
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
        for (int c = 0; c < BUDGET_CHANNELS; ++c)
            ParticleBudgetTable[c] = 1000;
    }
    static GEffectBudget* FromData(FillData& data)
    {
        return static_cast<GEffectBudget*>(GObject::Create(GEffectBudget::ClassId, HGOBJECT(0), data.Get()));
    }
};

TEST_F(EffectBudgetTest, BlankPresetsTakeTheDefaultsAndWrittenOnesStayAsWritten)
{
    int32_t oneEntry[BUDGET_CHANNELS] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    int32_t negatives[BUDGET_CHANNELS] = {-5, -5, -5, -5, -5, -5, -5, -5, -5, -5};
    FillData data;
    data.Raw("PBudget3", oneEntry, sizeof oneEntry).Raw("TBudget2", negatives, sizeof negatives);
    GEffectBudget* budget = FromData(data);
    ASSERT_NE(budget, nullptr);
    const int32_t standard[BUDGET_CHANNELS] = {750, 500, 500, 500, 500, 500, 500, 500, 500, 500};
    EXPECT_EQ(memcmp(budget->PBudget[0], standard, sizeof standard), 0);
    EXPECT_EQ(memcmp(budget->PBudget[1], standard, sizeof standard), 0);
    EXPECT_EQ(memcmp(budget->PBudget[2], oneEntry, sizeof oneEntry), 0);
    for (int c = 0; c < BUDGET_CHANNELS; ++c) {
        EXPECT_EQ(budget->TBudget[0][c], 25);
        EXPECT_EQ(budget->TBudget[1][c], 25) << "all entries at or below 0 count as blank";
    }
    // Preset 0 is in force at once.
    EXPECT_EQ(memcmp(ParticleBudgetTable, standard, sizeof standard), 0);
    EXPECT_EQ(TrailBudgetTable[9], 25);
}

TEST_F(EffectBudgetTest, SelectClampsAndOverrideReachesTheTablesOnlyForThePresetInForce)
{
    GEffectBudget* budget = GEffectBudget::Create();
    ASSERT_NE(budget, nullptr);
    const int32_t high[BUDGET_CHANNELS] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    const int32_t trail[BUDGET_CHANNELS] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    struct Case {
        int select;
        int expected;
    } cases[] = {{5, 2}, {-1, 0}, {1, 1}, {2, 2}};
    for (const Case& c : cases) {
        budget->SelectPreset(c.select);
        EXPECT_EQ(GEffectBudget::GetPreset(), c.expected) << c.select;
    }

    budget->SelectPreset(0);
    budget->OverridePreset(1, high, trail);
    EXPECT_EQ(ParticleBudgetTable[3], 500) << "preset 1 is not in force";
    budget->OverridePreset(7, high, trail);
    EXPECT_EQ(budget->PBudget[2][0], 750) << "no such preset";
    budget->SelectPreset(1);
    EXPECT_EQ(ParticleBudgetTable[3], 9);
    EXPECT_EQ(TrailBudgetTable[3], 7);
    budget->OverridePreset(1, trail, high);
    EXPECT_EQ(ParticleBudgetTable[0], 7) << "the preset in force takes effect at once";
}

TEST_F(EffectBudgetTest, ASecondBudgetReplacesTheFirstAndTheChoiceOutlivesBoth)
{
    GEffectBudget* first = GEffectBudget::Create();
    first->SelectPreset(2);
    const int32_t small[BUDGET_CHANNELS] = {3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
    int32_t trailDefault[BUDGET_CHANNELS] = {};
    FillData data;
    data.Raw("PBudget3", small, sizeof small).Raw("TBudget3", trailDefault, sizeof trailDefault);
    GEffectBudget* second = FromData(data);
    EXPECT_EQ(GEffectBudget::pThe, second);
    EXPECT_EQ(CountRootChildren(), 1) << "the first one is gone";
    EXPECT_EQ(ParticleBudgetTable[4], 3) << "the new instance applies the preset chosen before";
    second->Destroy();
    EXPECT_EQ(GEffectBudget::pThe, nullptr);
    EXPECT_EQ(ParticleBudgetTable[4], 3) << "the tables keep their last values";
}

TEST_F(EffectBudgetTest, SpawnCountsThinOutAsTheChannelFills)
{
    struct Case {
        int budget, live, requested, channel, smoke, splatter;
    } cases[] = {
        {1000, 0, 3, 0, 3, 3},    // empty channel: everything, not 2.5 rounded to even
        {1000, 500, 3, 0, 1, 1},  // 1.95 and 1.5
        {1000, 500, 5, 0, 2, 2},  // 2.95 and 2.5: integer parts
        {1000, 1000, 3, 7, 0, 1}, // full: smoke stops, splatter keeps one
        {1000, 1000, 3, 8, 1, 1}, // the channels that must always show
        {1000, 5000, 3, 9, 1, 1}, // over budget counts as full
        {0, 0, 4, 2, 0, 1},       // a zero budget allows nothing (not NaN)
        {-10, 0, 4, 2, 0, 1},     // nor does a negative one (not unlimited)
        {1000, -50, 3, 0, 3, 3},  // a count gone below 0 is an empty channel
        {1000, 250, 1, 0, 1, 1},  // 0.75 + 0.45
        {1000, 800, 1, 0, 0, 1},  // 0.2 + 0.45
    };
    for (const Case& c : cases) {
        ParticleBudgetTable[c.channel] = c.budget;
        ChannelParticleCount[c.channel] = c.live;
        EXPECT_EQ(GEffectBudget::SmokeSpawnCount(c.requested, c.channel), c.smoke)
            << c.budget << " " << c.live << " " << c.requested << " channel " << c.channel;
        EXPECT_EQ(GEffectBudget::SplatterSpawnCount(c.requested, c.channel), c.splatter)
            << c.budget << " " << c.live << " " << c.requested << " channel " << c.channel;
        ChannelParticleCount[c.channel] = 0;
        ParticleBudgetTable[c.channel] = 1000;
    }
}

} // namespace
