// The splatter system on flat ground: every n-th particle lands and leaves a decal and an
// effect object chosen by the seeded generator, the fixed 1/30 s step at 60 and 15 frames per
// second, the phase shift on landing, and its sound asked for once per spawning frame.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "ObjectTestSupport.h"
#include "core/names/CRandom.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GSplatterSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPosRot.h"
#include "engine/render/Camera.h"

namespace {

rhu::RangeData Range(float min, float max) { return rhu::RangeData{min, max, 1.0f}; }

class SplatterSystemTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GlobalRandom.sum = 7;
        GlobalRandom.counter = 0;
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
        memset(Stages, 0, sizeof Stages);
        for (int i = 0; i < 3; ++i) {
            Stages[i].Lifespan = Range(100, 100);
            Stages[i].Scale = Range(1, 1);
            Stages[i].Gravity = 10;
        }
        memset(&Burst, 0, sizeof Burst);
        Burst.Vector = {{0}, {0}, {0}};
        Burst.Velocity = Range(3, 3);
        Burst.Period = Range(-1, -1);
        Burst.Count = Range(30, 30); // one a step
        Burst.Lifespan = Range(-1, -1);
        Burst.pParticle = &Stages[0];
        for (int i = 0; i < GSplatterSystem::LANDING_CHOICES; ++i) {
            Decals[i] = EmbeddedRecordForTest{0, GPosRot::ClassId, 101ul + i, nullptr, 0};
            Effects[i] = EmbeddedRecordForTest{0, GPosRot::ClassId, 201ul + i, nullptr, 0};
        }
    }
    void TearDown() override
    {
        CGameTimer::tFrameTime = 0;
        ObjectTest::TearDown();
        memset(ChannelParticleCount, 0, sizeof ChannelParticleCount);
    }
    GSplatterSystem* Splatter(float frequency)
    {
        GSplatterSystem* s = GSplatterSystem::Create();
        s->BoundingBloat = -1; // always visible
        s->pEmitter = &Burst;
        s->DecalFrequency = frequency;
        for (int i = 0; i < GSplatterSystem::LANDING_CHOICES; ++i) {
            s->pDecal[i] = reinterpret_cast<CEmbeddedFillData*>(&Decals[i]);
            s->pEffect[i] = reinterpret_cast<CEmbeddedFillData*>(&Effects[i]);
        }
        s->PrepareEmitter();
        return s;
    }
    // Labels of the objects the landings made, in creation order.
    static std::vector<unsigned long> Landed(std::vector<float>* heights = nullptr)
    {
        std::vector<unsigned long> labels;
        for (GObject* o = GObject::GetRoot()->pChild; o; o = o->pNext)
            if (o->GetLabel() != 0) {
                labels.insert(labels.begin(), o->GetLabel());
                if (heights)
                    heights->push_back(static_cast<GPosRot*>(o)->GetPos().z);
            }
        return labels;
    }
    static void Frames(GSplatterSystem* s, int count, float seconds)
    {
        CGameTimer::tFrameTime = seconds;
        for (int i = 0; i < count; ++i)
            s->Process();
    }

    rhu::ParticleDef Stages[3];
    rhu::EmitterDef Burst;
    EmbeddedRecordForTest Decals[GSplatterSystem::LANDING_CHOICES];
    EmbeddedRecordForTest Effects[GSplatterSystem::LANDING_CHOICES];
};

TEST_F(SplatterSystemTest, EveryThirdParticleLandsAndLeavesASeededPair)
{
    // Splatter systems and their particles count among all particle systems'.
    const int systems = GParticleSystem::ActiveSystems, particles = GParticleSystem::ActiveParticles;
    GSplatterSystem* s = Splatter(3);
    EXPECT_EQ(GParticleSystem::ActiveSystems, systems + 1);
    Frames(s, 9, 1.0f / 30);
    ASSERT_EQ(s->GetNumParticles(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(GSplatterSystem::IsColliding(s->GetParticle(i)), i % 3 == 2) << i;
    s->pEmitter = nullptr; // no more spawning; let them all come down
    Frames(s, 40, 1.0f / 30);
    std::vector<float> heights;
    const std::vector<unsigned long> labels = Landed(&heights);
    ASSERT_EQ(labels.size(), 6u) << "three landings, a decal and an effect each";
    for (size_t i = 0; i < labels.size(); i += 2) {
        EXPECT_GE(labels[i], 101u);
        EXPECT_LE(labels[i], 105u);
        EXPECT_EQ(labels[i + 1], labels[i] + 100) << "decal and effect of one pair";
    }
    for (float z : heights)
        EXPECT_EQ(z, 0.0f) << "on the ground";
    EXPECT_EQ(s->GetNumParticles(), 6) << "landed particles are released; the others fall through";
    for (int i = 0; i < s->GetNumParticles(); ++i)
        EXPECT_LT(s->GetParticle(i)->Position.z, 0.0f);
    EXPECT_EQ(ChannelParticleCount[0], 6);
    EXPECT_EQ(GParticleSystem::ActiveParticles, particles + 6);

    // The same generator state lands the same pairs.
    ResetWorld();
    GlobalRandom.sum = 7;
    GlobalRandom.counter = 0;
    GSplatterSystem* again = Splatter(3);
    Frames(again, 9, 1.0f / 30);
    again->pEmitter = nullptr;
    Frames(again, 40, 1.0f / 30);
    EXPECT_EQ(Landed(), labels);
}

TEST_F(SplatterSystemTest, StepsRunEverySecondFrameAtSixtyAndTwiceAFrameAtFifteen)
{
    struct Case {
        float frame;
        std::vector<int> steps; // whole steps a lone particle has aged after each frame
    } cases[] = {
        {1.0f / 60, {0, 1, 1, 2, 2, 3}},
        {1.0f / 15, {2, 4, 6}},
        {1.0f / 30, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Burst.Count = Range(0, 0);
        Burst.Period = Range(100, 100);
        GSplatterSystem* s = Splatter(0);
        CMatrix identity;
        identity.SetIdentity();
        s->ForceSpawn(1, identity, identity, 0, 0);
        ASSERT_EQ(s->GetNumParticles(), 1);
        for (int expected : c.steps) {
            Frames(s, 1, c.frame);
            EXPECT_NEAR(s->GetParticle(0)->Age, expected * 0.033333335f, 1e-5f) << c.frame;
        }
        s->Destroy();
    }
}

TEST_F(SplatterSystemTest, APhaseShiftedLandingNeedsAStageAfterNext)
{
    for (int stages : {2, 3}) {
        Stages[0].pNextDef = &Stages[1];
        Stages[1].pNextDef = stages == 3 ? &Stages[2] : nullptr;
        GSplatterSystem* s = Splatter(1);
        s->UseMeshes = 1;
        s->CollidePhaseShift = 1;
        Frames(s, 1, 1.0f / 30);
        s->pEmitter = nullptr;
        Frames(s, 30, 1.0f / 30);
        if (stages == 2) {
            EXPECT_EQ(s->GetNumParticles(), 0) << "nowhere to go";
            EXPECT_EQ(Landed().size(), 2u);
        } else {
            ASSERT_EQ(s->GetNumParticles(), 1);
            EXPECT_EQ(reinterpret_cast<rhu::ParticleDef*>(s->GetParticle(0)->pDef), &Stages[2]);
        }
        ResetWorld();
    }
}

TEST_F(SplatterSystemTest, ItsSoundIsAskedForOncePerSpawningFrame)
{
    GSoundSystem* sound = GSoundSystem::Create();
    Burst.Count = Range(60, 60); // two a step
    GSplatterSystem* s = Splatter(0);
    s->SoundID = 0x1234;
    Frames(s, 3, 1.0f / 15); // two spawning steps a frame
    EXPECT_EQ(s->GetSoundRequests(), 3);
    Frames(s, 1, 1.0f / 60); // no step, no spawn
    EXPECT_EQ(s->GetSoundRequests(), 3);
    s->Pause(true);
    Frames(s, 2, 1.0f / 30);
    EXPECT_EQ(s->GetSoundRequests(), 3) << "paused: nothing spawns";
    sound->Destroy();
}

TEST_F(SplatterSystemTest, AnOverrideRestartsAnEndedChain)
{
    Burst.Lifespan = Range(0.1f, 0.1f);
    Stages[0].Lifespan = Range(1, 1);
    GSplatterSystem* s = Splatter(0);
    Frames(s, 5, 1.0f / 30);
    EXPECT_EQ(s->GetEmitter(), nullptr);
    const int before = s->GetNumParticles();
    s->pEmitOverride = &Burst;
    Frames(s, 1, 1.0f / 30);
    EXPECT_EQ(s->GetEmitter(), &Burst);
    EXPECT_GT(s->GetNumParticles(), before);
}

} // namespace
