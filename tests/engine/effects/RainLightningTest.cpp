// Rain and lightning as they reach the effect list: which streaks are drawn and how the drop
// pool grows, and how many line segments a bolt's power budget buys, including the data that
// would otherwise never end a frame.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "RenderResourceSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GLightningBolt.h"
#include "engine/effects/GRainSystem.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

namespace {

// The stored vertices of one immediate primitive.
std::vector<PrimVertex> Vertices(const EffectEntry& e)
{
    unsigned short header[2];
    memcpy(header, e.pData, sizeof header);
    const PrimVertex* v = reinterpret_cast<const PrimVertex*>(static_cast<const unsigned char*>(e.pData) + 4);
    return std::vector<PrimVertex>(v, v + header[1]);
}

class RainLightningTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        GlobalRandom.Seed(1234);
        Camera = GmvCamera::Create();
        Camera->SetPos(CVector(0, 40, 20));
        Camera->SetFocus(CVector(0, 0, 0));
    }
    // What the effect puts into the effect list when it draws once.
    template <class Effect> std::vector<EffectEntry> Draw(Effect* effect)
    {
        BeginTestLayer(0);
        effect->Render();
        std::vector<EffectEntry> entries = CurrentEffects();
        EndTestLayer();
        return entries;
    }
    GRainSystem* Rain(int density, float west, float east, float north, float south)
    {
        FillData data;
        data.Int("Density", density)
            .Float("Ceiling", 12)
            .Float("AlphaMin", 0.25f)
            .Float("AlphaMax", 0.75f)
            .Float("ScaleXMin", 0.05f)
            .Float("ScaleXMax", 0.1f)
            .Float("ScaleYMin", 1)
            .Float("ScaleYMax", 2)
            .Float("LimitWest", west)
            .Float("LimitEast", east)
            .Float("LimitNorth", north)
            .Float("LimitSouth", south);
        return static_cast<GRainSystem*>(GObject::Create(GRainSystem::ClassId, HGOBJECT(0), data.Get()));
    }

    GmvCamera* Camera = nullptr;
};

TEST_F(RainLightningTest, RainDrawsExactlyTheStreaksInsideItsRectangle)
{
    struct Case {
        int density;
        float west, east, north, south;
        int blocks;
    } cases[] = {
        {0, -1000, 1000, -1000, 1000, 1},
        {200, -1000, 1000, -1000, 1000, 2}, // the embedded block, then one chained block
        {200, 1000, 2000, 1000, 2000, 2},   // nothing in the rectangle
        {300, -3, 3, -1000, 1000, 3},       // a narrow band across the view
    };
    for (const Case& c : cases) {
        GRainSystem* rain = Rain(c.density, c.west, c.east, c.north, c.south);
        ASSERT_NE(rain, nullptr);
        EXPECT_EQ(GRainSystem::DropPool::Count(rain->GetDrops().Head()), c.blocks) << c.density;
        int placed = 0, inside = 0;
        rain->ForEachDrop([&](const RainDrop& d) {
            ++placed;
            EXPECT_EQ(d.z, 12.0f);
            EXPECT_GE(d.Alpha, 0.25f * 255);
            EXPECT_LE(d.Alpha, 0.75f * 255);
            inside += d.x >= c.west && d.x <= c.east && d.y >= c.north && d.y <= c.south;
        });
        EXPECT_EQ(placed, c.density);
        const std::vector<EffectEntry> entries = Draw(rain);
        EXPECT_EQ(int(entries.size()), inside) << c.density << " " << c.west;
        for (const EffectEntry& e : entries) {
            const std::vector<PrimVertex> v = Vertices(e);
            ASSERT_EQ(v.size(), 4u);
            // The quad's middle is the streak's position, inside the rectangle.
            const float x = (v[0].x + v[1].x + v[2].x + v[3].x) / 4;
            EXPECT_GE(x, c.west - 0.2f);
            EXPECT_LE(x, c.east + 0.2f);
        }
        rain->Destroy();
    }
}

TEST_F(RainLightningTest, RainKeepsDrawingAfterItsFirstPass)
{
    const int before = CountRootChildren();
    GRainSystem* rain = Rain(10, -1000, 1000, -1000, 1000);
    RunFrame(1.0f / 30);
    RunFrame(1.0f / 30);
    ASSERT_EQ(CountRootChildren(), before + 1);
    EXPECT_EQ(rain->GetOwner(), &rain->GetRender());
    EXPECT_EQ(rain->GetRender().GetPos(), nullptr) << "never culled away";
}

TEST_F(RainLightningTest, BoltSegmentsFollowThePowerBudget)
{
    struct Case {
        float length, totalPower, cost, jump;
        float scaleNear, scaleFar; // at distance 0 and 20
        int lines;
    } cases[] = {
        {10, 10, 2, 2.5f, 1, 1, 5 * 4},   // five strips of four segments
        {10, 10, 3, 2.5f, 1, 1, 4 * 4},   // the last strip overspends
        {10, 10, 2, 20, 1, 3, 10 * 1},    // half way: scale 2; a jump past the target: one segment
        {10, 10, 2, 3, 1, 1, 5 * 4},      // the last segment is clipped to the target
        {0, 10, 2, 2.5f, 1, 1, 0},        // source on target: the budget is spent, nothing drawn
        {10, 0, 2, 2.5f, 1, 1, 0},        // no power
        {10, 10, 0, 2.5f, 1, 1, 4},       // a free strip ends the bolt after one
        {10, 10, -1, 2.5f, 1, 1, 4},      // so does one that pays back
        {10, 10, 10, 0, 1, 1, 256},       // no jump: the shortest segments
        {10, 10, 10, -5, 1, 1, 256},      // a backward jump likewise
        {10, 1e9f, 1e-6f, 20, 1, 1, 512}, // a budget no frame can spend
    };
    for (const Case& c : cases) {
        GLightningBolt* bolt = GLightningBolt::Create();
        bolt->Source = CVector(0, 0, 5);
        bolt->Target = CVector(c.length, 0, 5);
        bolt->TotalPower = c.totalPower;
        bolt->BoltPowerMin = bolt->BoltPowerMax = c.cost;
        bolt->BoltPowerBias = 1;
        bolt->BoltJumpMin = bolt->BoltJumpMax = c.jump;
        bolt->PowerScaleMin = c.scaleNear;
        bolt->PowerScaleMax = c.scaleFar;
        bolt->PowerScaleMaxDist = 20;
        bolt->BoltColorMin = bolt->BoltColorMax = CVector4(200, 220, 255, 255);
        bolt->SourceRadiusMax = bolt->TargetRadiusMax = CVector(1, 1, 0);
        const std::vector<EffectEntry> entries = Draw(bolt);
        EXPECT_EQ(int(entries.size()), c.lines) << c.length << " " << c.cost << " " << c.jump;
        for (const EffectEntry& e : entries) {
            ASSERT_EQ(Vertices(e).size(), 2u);
            EXPECT_TRUE(e.pState->FamilyFlags & kFamilyFlagLines);
        }
        bolt->Destroy();
    }
}

TEST_F(RainLightningTest, ABoltRepeatsForTheSameSeedAndStaysInItsRadius)
{
    GLightningBolt* bolt = GLightningBolt::Create();
    bolt->Source = CVector(0, 0, 5);
    bolt->Target = CVector(0, 30, 5);
    bolt->TotalPower = 10;
    bolt->PowerScaleMin = bolt->PowerScaleMax = 1;
    bolt->BoltPowerBias = 2;
    bolt->BoltPowerMin = 1;
    bolt->BoltPowerMax = 4;
    bolt->BoltJumpMin = 1;
    bolt->BoltJumpMax = 3;
    bolt->BoltJumpDrift = 0.5f;
    bolt->SourceRadiusMax = bolt->TargetRadiusMax = CVector(2, 2, 0);
    // The generator's whole state: a seed keeps the counter, so it alone does not repeat a run.
    auto ends = [&](unsigned long seed) {
        GlobalRandom.sum = seed;
        GlobalRandom.counter = 0;
        std::vector<float> out;
        for (const EffectEntry& e : Draw(bolt))
            for (const PrimVertex& v : Vertices(e)) {
                out.push_back(v.x);
                // Sideways by at most the radius (with its drift of 0): x and z stay near the axis.
                EXPECT_LE(v.x * v.x + (v.z - 5) * (v.z - 5), 2.0f * 2.0f * 2 + 1e-3f);
            }
        return out;
    };
    const std::vector<float> first = ends(77);
    EXPECT_EQ(ends(77), first);
    EXPECT_NE(ends(78), first);
    EXPECT_FALSE(first.empty());
}

} // namespace
