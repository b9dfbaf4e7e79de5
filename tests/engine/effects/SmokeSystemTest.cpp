// The smoke system frame by frame: spawn counts of a continuous emitter, pause, emitters held
// off screen, the budget channels, self-destruction, and one frame's quads against a golden.
#include <gtest/gtest.h>

#include <float.h>
#include <string.h>

#include <sstream>

#include "RenderResourceSupport.h"
#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GSmokeSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

namespace {

rhu::ColourRGBA Colour(float r, float g, float b, float a)
{
    rhu::ColourRGBA c;
    c.X = r;
    c.Y = g;
    c.Z = b;
    c.W = a;
    return c;
}

rhu::RangeData Range(float min, float max, float bias = 1.0f) { return rhu::RangeData{min, max, bias}; }

class SmokeSystemTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        GlobalRandom.sum = 99;
        GlobalRandom.counter = 0;
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
        for (int c = 0; c < BUDGET_CHANNELS; ++c)
            ParticleBudgetTable[c] = 1000;
        Camera = GmvCamera::Create();
        Camera->SetPos(CVector(0, -40, 20));
        Camera->SetFocus(CVector(0, 0, 0));
        LoadTestCamera(CVector(0, -40, 20), CVector(0, 0, 0));

        memset(&Puff, 0, sizeof Puff);
        Puff.MinColor = Colour(100, 110, 120, 200);
        Puff.MaxColor = Colour(100, 110, 120, 200);
        Puff.Size = {{1}, {1}, {0.5f}};
        Puff.Scale = Range(1, 1);
        Puff.Lifespan = Range(100, 100);
        Puff.Flags = 0x2;
        Puff.Gravity = -1;
        Puff.Wind = 1;

        memset(&Stream, 0, sizeof Stream);
        Stream.Vector = {{0}, {0}, {0}};
        Stream.ArpetureEx = Range(0.3f, 0.3f);
        Stream.Velocity = Range(2, 2);
        Stream.Period = Range(-1, -1);
        Stream.Count = Range(45, 45);
        Stream.Lifespan = Range(-1, -1);
        Stream.pParticle = &Puff;
    }
    void TearDown() override
    {
        CGameTimer::tFrameTime = 0;
        RenderResourceTest::TearDown();
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
    }
    GSmokeSystem* Smoke(int channel = 0, float ceilingFade = 0.0f, float ceiling = 0.0f)
    {
        FillData data;
        data.Word("pEmitters", reinterpret_cast<unsigned long>(&Stream))
            .Float("CullRadius", 5)
            .Int("BudgetChannel", channel)
            .Float("CeilingFade", ceilingFade)
            .Float("Ceiling", ceiling);
        return static_cast<GSmokeSystem*>(GObject::Create(GSmokeSystem::ClassId, HGOBJECT(0), data.Get()));
    }
    // Runs one frame of the given length on the system alone; false when it destroyed itself.
    static bool Step(GSmokeSystem* smoke, float seconds)
    {
        CGameTimer::tFrameTime = seconds;
        return !smoke->Process();
    }

    GmvCamera* Camera = nullptr;
    rhu::ParticleDef Puff;
    rhu::EmitterDef Stream;
};

TEST_F(SmokeSystemTest, FortyFivePerSecondSpawnsOneAndTwoInTurn)
{
    GSmokeSystem* smoke = Smoke();
    ASSERT_NE(smoke, nullptr);
    std::vector<int> spawned;
    for (int frame = 0, before = 0; frame < 6; ++frame) {
        Step(smoke, 0.033333335f);
        spawned.push_back(smoke->GetNumParticles() - before);
        before = smoke->GetNumParticles();
    }
    EXPECT_EQ(spawned, (std::vector<int>{1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(ChannelParticleCount[0], 9);
    smoke->Destroy();
    EXPECT_EQ(ChannelParticleCount[0], 0) << "a system gives its particles back to the channel";
}

TEST_F(SmokeSystemTest, PausedFreezesAndOffScreenOnlyHoldsTheEmitters)
{
    GSmokeSystem* smoke = Smoke();
    for (int frame = 0; frame < 4; ++frame)
        Step(smoke, 0.05f);
    const int count = smoke->GetNumParticles();
    ASSERT_GT(count, 0);
    const CVector where = smoke->GetParticle(0)->Position;
    const GSmokeSystem::Slot slot = smoke->GetSlot(0);

    Step(smoke, 0.0f);
    EXPECT_EQ(smoke->GetNumParticles(), count);
    EXPECT_EQ(smoke->GetParticle(0)->Position, where);
    EXPECT_EQ(smoke->GetSlot(0).Countdown, slot.Countdown);

    smoke->Position = CVector(0, -200, 0); // behind the camera
    Step(smoke, 0.05f);
    EXPECT_EQ(smoke->GetNumParticles(), count) << "no emission off screen";
    EXPECT_NE(smoke->GetParticle(0)->Position, where) << "but the particles move on";
    EXPECT_EQ(smoke->GetSlot(0).Countdown, slot.Countdown);
    EXPECT_EQ(smoke->GetSlot(0).Accumulator, slot.Accumulator);
}

TEST_F(SmokeSystemTest, AFullChannelStopsSmokeExceptOnTheChannelsThatMustShow)
{
    struct Case {
        int channel;
        int live;
        int spawnedInThreeFrames;
    } cases[] = {{7, 0, 4}, {7, 1000, 0}, {8, 1000, 3}, {9, 5000, 3}, {42, 1000, 3}};
    for (const Case& c : cases) {
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
        GSmokeSystem* smoke = Smoke(c.channel);
        const int channel = c.channel > 9 ? 9 : c.channel;
        EXPECT_EQ(smoke->BudgetChannel, channel);
        ChannelParticleCount[channel] = c.live;
        for (int frame = 0; frame < 3; ++frame)
            Step(smoke, 0.033333335f);
        EXPECT_EQ(smoke->GetNumParticles(), c.spawnedInThreeFrames) << c.channel << " " << c.live;
        smoke->Destroy();
        EXPECT_EQ(ChannelParticleCount[channel], c.live);
    }
}

TEST_F(SmokeSystemTest, EndsInTheFrameItsLastParticleDiesAndRunsForEverWithoutAnEnd)
{
    Stream.Lifespan = Range(0.1f, 0.1f);
    Puff.Lifespan = Range(0.3f, 0.3f);
    // Smoke systems and their particles count among all particle systems'.
    const int systems = GParticleSystem::ActiveSystems, particles = GParticleSystem::ActiveParticles;
    GSmokeSystem* smoke = Smoke();
    EXPECT_EQ(GParticleSystem::ActiveSystems, systems + 1);
    int frames = 0;
    int lastCount = -1;
    while (Step(smoke, 0.05f) && frames < 100) {
        lastCount = smoke->GetNumParticles();
        ASSERT_EQ(GParticleSystem::ActiveParticles, particles + lastCount);
        ++frames;
    }
    EXPECT_EQ(GParticleSystem::ActiveParticles, particles);
    EXPECT_LT(frames, 100);
    EXPECT_GT(lastCount, 0) << "it went in the frame its last particle died, not later";
    EXPECT_EQ(ChannelParticleCount[0], 0);

    Stream.Lifespan = Range(-1, -1);
    GSmokeSystem* forever = Smoke();
    for (int frame = 0; frame < 200; ++frame)
        ASSERT_TRUE(Step(forever, 0.05f));
    EXPECT_GT(forever->GetNumParticles(), 0);
}

TEST_F(SmokeSystemTest, CeilingFadeOfNothingMeansNoCeilingAndOtherwiseParticlesFadeAbove)
{
    GSmokeSystem* open = Smoke(0, 0.0f, 1.0f);
    EXPECT_EQ(open->Ceiling, FLT_MAX);
    EXPECT_EQ(open->CeilingFade, 0.0f);
    open->Destroy();

    Puff.Gravity = -20; // rises fast
    GSmokeSystem* capped = Smoke(0, 10.0f, 0.5f);
    for (int frame = 0; frame < 12; ++frame)
        Step(capped, 0.033333335f);
    // Every particle that reached the ceiling has faded within a tenth of a second of it.
    for (int i = 0; i < capped->GetNumParticles(); ++i)
        EXPECT_LT(capped->GetParticle(i)->Position.z, 3.0f);
    EXPECT_LT(capped->GetNumParticles(), 18);
}

TEST_F(SmokeSystemTest, PeriodOfNothingAndLoopingStagesOfNoLengthEndTheFrame)
{
    rhu::EmitterDef loop = Stream;
    loop.Period = Range(0, 0);
    loop.Count = Range(1, 1);
    loop.Lifespan = Range(0, 0);
    loop.pNextDef = &loop;
    Stream.Period = Range(0, 0);
    Stream.Count = Range(1, 1);
    GSmokeSystem* fast = Smoke();
    Step(fast, 0.033333335f);
    EXPECT_GT(fast->GetNumParticles(), 0);
    EXPECT_LE(fast->GetNumParticles(), 1024);
    Stream = loop;
    GSmokeSystem* looping = Smoke();
    Step(looping, 0.033333335f);
    SUCCEED() << "both frames ended";
}

TEST_F(SmokeSystemTest, OneFrameOfQuadsMatchesTheGolden)
{
    Puff.MaxColor = Colour(200, 210, 220, 255);
    Puff.Scale = Range(0.5f, 1.5f, 2.0f);
    Puff.MinSpin = {{0}, {0}, {0}};
    Puff.MaxSpin = {{0.01f}, {0.02f}, {0}};
    Puff.MinDamp = {{0.01f}, {0.01f}, {0.05f}};
    Puff.MaxDamp = {{0.02f}, {0.02f}, {0.1f}};
    GSmokeSystem* smoke = Smoke();
    for (int frame = 0; frame < 5; ++frame)
        Step(smoke, 0.05f);
    BeginTestLayer(0);
    smoke->Render();
    const std::vector<EffectEntry> entries = CurrentEffects();
    EndTestLayer();
    ASSERT_EQ(int(entries.size()), smoke->GetNumParticles());
    std::ostringstream text;
    for (const EffectEntry& e : entries) {
        const PrimVertex* v = static_cast<const PrimVertex*>(e.pData);
        EXPECT_EQ(e.pState->Kind, kDrawParticles2);
        for (int i = 0; i < 8; ++i)
            text << Fixed(v[i].x) << " " << Fixed(v[i].y) << " " << Fixed(v[i].z) << " " << std::hex << v[i].Colour
                 << std::dec << " " << v[i].u << " " << v[i].v << "\n";
        text << "--\n";
    }
    ExpectSceneGolden("smoke_frame.txt", text.str());
}

} // namespace
