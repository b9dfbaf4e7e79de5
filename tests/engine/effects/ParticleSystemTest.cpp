// The particle system on the real object model: a seeded two-stage run against its golden
// state, the fixed step and pre-warm, the budget's say in how many particles a spawn makes,
// the constructor's clamps, the ends of a system's life, collisions and the quad it draws.
#include <gtest/gtest.h>

#include <string>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/render/PrimBatch.h"

namespace {

rhu::RangeData Range(float min, float max, float bias = 1.0f) { return rhu::RangeData{min, max, bias}; }

rhu::ParticleDef Particle(float life, float gravity)
{
    rhu::ParticleDef def = {};
    def.MinColor.X = 255;
    def.MinColor.W = 200;
    def.MaxColor.X = 255;
    def.MaxColor.Y = 128;
    def.Size.X = def.Size.Y = 1.0f;
    def.Scale = Range(1.0f, 2.0f);
    def.MaxDamp.X = def.MaxDamp.Y = 0.02f;
    def.MaxSpin.Z = 1.0f;
    def.Gravity = gravity;
    def.Lifespan = Range(life, life * 1.5f);
    def.Flags = rhu::PARDEF_ALPHA;
    return def;
}

rhu::EmitterDef Emitter(float period, float count, float life)
{
    rhu::EmitterDef def = {};
    def.ArpetureIn = Range(0.0f, 0.2f);
    def.ArpetureEx = Range(0.3f, 0.5f);
    def.Ellipse.X = def.Ellipse.Y = 0.5f;
    def.Velocity = Range(4.0f, 6.0f, 2.0f);
    def.Period = Range(period, period);
    def.Count = Range(count, count * 2);
    def.Lifespan = Range(life, life);
    return def;
}

class ParticleSystemTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GlobalRandom.Seed(0xF1A5);
        CGameTimer::tFrameTime = 1.0f / 30.0f;
        CGameTimer::tGameTime = 0.0f;
        for (int channel = 0; channel < BUDGET_CHANNELS; ++channel) {
            ParticleBudgetTable[channel] = 100000;
            ChannelParticleCount[channel] = 0;
        }
        spark = Particle(0.6f, 9.8f);
        ember = Particle(0.8f, -1.0f);
        spark.pNextDef = &ember;
        burst = Emitter(0.1f, 3.0f, 2.0f);
        stream = Emitter(-1.0f, 40.0f, 3.0f);
        burst.pParticle = &spark;
        stream.pParticle = &ember;
        burst.pNextDef = &stream;
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
    }
    static GParticleSystem* Make(FillData data = FillData())
    {
        data.Float("BoundingBloat", -1.0f);
        return static_cast<GParticleSystem*>(GObject::Create(GParticleSystem::ClassId, HGOBJECT(0), data.Get()));
    }
    static void Frame(float seconds)
    {
        CGameTimer::tFrameTime = seconds;
        CGameTimer::tGameTime += seconds;
        GObject::ProcessObjects();
    }
    static bool Alive(GParticleSystem* system)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == system)
                return true;
        return false;
    }

    rhu::ParticleDef spark, ember;
    rhu::EmitterDef burst, stream;
};

std::string State(const GParticleSystem& system, int frame)
{
    std::string text = "frame " + std::to_string(frame) + " count " + std::to_string(system.GetNumParticles()) + "\n";
    for (int i = 0; i < system.GetNumParticles(); ++i) {
        const ParticleStub& p = *system.GetParticle(i);
        text += "  " + Fixed(p.Position.x) + " " + Fixed(p.Position.y) + " " + Fixed(p.Position.z) + "\n";
    }
    return text;
}

TEST_F(ParticleSystemTest, SeededTwoStageRunMatchesTheGoldenStateDump)
{
    GParticleSystem* system = Make();
    system->SetEmitter(&burst);
    system->Position.Set(10.0f, -4.0f, 2.0f);
    system->Rotation.Set(0.0f, 0.0f, 0.7f);
    stream.Lifespan = Range(6.0f, 6.0f);
    // The stages end after 8 s; the last particles live at most 1.2 s longer.
    std::string text;
    for (int frame = 1; frame <= 300; ++frame) {
        Frame(1.0f / 30.0f);
        if (frame % 25 == 0 && frame < 275) {
            ASSERT_TRUE(Alive(system)) << frame;
            ASSERT_EQ(GParticleSystem::ActiveParticles, system->GetNumParticles());
            ASSERT_EQ(ChannelParticleCount[0], system->GetNumParticles());
            text += State(*system, frame);
        }
    }
    EXPECT_FALSE(Alive(system));
    EXPECT_EQ(GParticleSystem::ActiveParticles, 0);
    ExpectSceneGolden("particles_two_stage.txt", text);
}

TEST_F(ParticleSystemTest, StepsAreFixedAndPreProcessPreWarmsOnce)
{
    stream.pNextDef = nullptr;
    stream.Lifespan = Range(-1.0f, -1.0f);
    GParticleSystem* system = Make();
    system->SetEmitter(&stream);
    Frame(0.12f);
    EXPECT_NEAR(system->StageTime, 3 * kParticleStep, 1e-6);
    EXPECT_NEAR(system->Accumulated, 0.02f, 1e-6);
    system->Pause(true);
    Frame(0.0f);
    EXPECT_NEAR(system->StageTime, 3 * kParticleStep, 1e-6) << "a paused system keeps its stage time";

    FillData data;
    data.Float("PreProcess", 1.0f);
    GParticleSystem* warmed = Make(data);
    warmed->SetEmitter(&stream);
    Frame(0.02f);
    EXPECT_NEAR(warmed->StageTime, 30 * kParticleStep, 1e-5);
    EXPECT_EQ(warmed->PreProcess, 0.0f);
    EXPECT_GT(warmed->GetNumParticles(), 30);
}

TEST_F(ParticleSystemTest, ChannelLoadDecidesHowManyParticlesASpawnMakes)
{
    const struct {
        int channel, budget, live, requested, spawned;
    } cases[] = {
        {0, 10, 10, 5, 0}, {7, 10, 20, 5, 0}, {8, 10, 10, 5, 1}, {9, 10, 10, 5, 1},
        {3, 10, 5, 5, 2},  {3, 10, 0, 5, 5},  {9, 0, 0, 5, 1},
    };
    CMatrix identity;
    identity.SetIdentity();
    for (const auto& c : cases) {
        FillData data;
        data.Int("BudgetChannel", c.channel);
        GParticleSystem* system = Make(data);
        system->SetEmitter(&stream);
        ParticleBudgetTable[c.channel] = c.budget;
        ChannelParticleCount[c.channel] = c.live;
        system->ForceSpawn(c.requested, identity, identity, 0.0f, 0.0f);
        EXPECT_EQ(system->GetNumParticles(), c.spawned) << c.channel << " " << c.live << "/" << c.budget;
        EXPECT_EQ(ChannelParticleCount[c.channel], c.live + c.spawned);
        system->Destroy();
        ChannelParticleCount[c.channel] = 0;
        ParticleBudgetTable[c.channel] = 100000;
    }
}

TEST_F(ParticleSystemTest, ConstructorClampsItsSettings)
{
    const struct {
        int channel;
        float direction, bloat;
        int wantChannel;
        float wantDirection, wantBloat;
    } cases[] = {{12, 0.5f, 0.0f, 9, 1.0f, 10.0f}, {-3, -1.0f, 4.0f, 0, -1.0f, 4.0f}, {5, 0.0f, -2.0f, 5, 1.0f, -2.0f}};
    for (const auto& c : cases) {
        FillData data;
        data.Int("BudgetChannel", c.channel).Float("CollideDirection", c.direction).Float("BoundingBloat", c.bloat);
        GParticleSystem* system =
            static_cast<GParticleSystem*>(GObject::Create(GParticleSystem::ClassId, HGOBJECT(0), data.Get()));
        EXPECT_EQ(system->BudgetChannel, c.wantChannel);
        EXPECT_EQ(system->CollideDirection, c.wantDirection);
        EXPECT_EQ(system->BoundingBloat, c.wantBloat);
        EXPECT_EQ(system->Accumulated, kNeverRun);
    }
}

TEST_F(ParticleSystemTest, ParticlesDieAtTheirChainsEndAndTheSystemWithThem)
{
    ember.Lifespan = Range(0.5f, 0.5f);
    burst.pParticle = &ember;
    burst.pNextDef = nullptr;
    burst.Lifespan = Range(0.2f, 0.2f);
    GParticleSystem* system = Make();
    system->SetEmitter(&burst);
    Frame(0.2f);
    EXPECT_EQ(system->GetEmitter(), nullptr);
    const int spawned = system->GetNumParticles();
    ASSERT_GT(spawned, 0);
    Frame(0.25f);
    EXPECT_TRUE(Alive(system));
    Frame(0.5f);
    EXPECT_FALSE(Alive(system));
    EXPECT_EQ(GParticleSystem::ActiveParticles, 0);
    EXPECT_EQ(ChannelParticleCount[0], 0);
}

TEST_F(ParticleSystemTest, EjectWithoutParticlesEndsTheSystemAtItsNextProcess)
{
    GParticleSystem* system = Make();
    system->Eject(nullptr);
    EXPECT_TRUE(Alive(system));
    Frame(0.0f);
    EXPECT_FALSE(Alive(system));
}

TEST_F(ParticleSystemTest, CollisionsReflectAndAParticleAtRestIsLeftAlone)
{
    spark.Flags |= rhu::PARDEF_COLLIDE;
    spark.Absorption = 0.5f;
    spark.MaxDamp.X = spark.MaxDamp.Y = 0.0f;
    spark.Gravity = 0.0f;
    spark.pNextDef = nullptr;
    spark.Lifespan = Range(10.0f, 10.0f);
    FillData data;
    data.Float("AltCollideHeight", 1.0f).Float("AltCollideNormal.Z", 1.0f);
    GParticleSystem* system = Make(data);
    system->SetEmitter(&stream);
    CMatrix identity;
    identity.SetIdentity();
    system->ForceSpawn(1, identity, identity, 0.0f, 0.0f, &spark);
    ASSERT_EQ(system->GetNumParticles(), 1);
    ParticleStub& p = *system->GetParticle(0);
    p.Position.Set(0, 0, 1.05f);
    p.Velocity.Set(3.0f, 0.0f, -3.0f);
    system->Pause(true);
    Frame(kParticleStep);
    EXPECT_EQ(p.Position.z, 1.0f);
    EXPECT_NEAR(p.Velocity.x, 1.5f, 0.02f);
    EXPECT_NEAR(p.Velocity.z, 1.5f, 0.02f);

    // Flocking pulls a particle at rest below the ground: it lands there, still at rest,
    // instead of reflecting a direction it does not have.
    spark.Flocking.Z = 0.5f;
    FillData flocking;
    flocking.Float("AltCollideHeight", 1.0f).Float("AltCollideNormal.Z", 1.0f).Int("AllowFlocking", 1);
    GParticleSystem* flock = Make(flocking);
    flock->SetEmitter(&stream);
    flock->ForceSpawn(2, identity, identity, 0.0f, 0.0f, &spark);
    ASSERT_EQ(flock->GetNumParticles(), 2);
    ParticleStub& resting = *flock->GetParticle(0);
    resting.Position.Set(0, 0, 1.05f);
    resting.Velocity.Set(0, 0, 0);
    flock->GetParticle(1)->Position.Set(0, 0, 0.5f);
    flock->GetParticle(1)->Velocity.Set(0, 0, 0);
    flock->Pause(true);
    Frame(kParticleStep);
    EXPECT_EQ(resting.Position.z, 1.0f);
    EXPECT_EQ(resting.Velocity.x, 0.0f);
    EXPECT_EQ(resting.Velocity.z, 0.0f);
}

TEST_F(ParticleSystemTest, QuadVerticesGoInStripOrderWithClampedArgbColour)
{
    rhu::ParticleDef def = Particle(1.0f, 0.0f);
    def.Size.X = 2.0f;
    def.Size.Y = 1.0f;
    ParticleStub p = {};
    p.pDef = &def;
    p.StartColor = CVector4(300.0f, 128.0f, -5.0f, 64.0f);
    p.EndColor = p.StartColor;
    p.StartScale = p.EndScale = 0.5f;
    p.Lifespan = 1.0f;
    p.InvLifespan = 1.0f;
    p.Position.Set(1.0f, 2.0f, 3.0f);
    PrimVertex v[4];
    GParticleSystem::BuildQuad(p, p.Position, CVector(0, 0, 0), GParticleSystem::CurrentColour(p), v);
    const float want[4][5] = {{0, 2.5f, 3, 0, 0}, {2, 2.5f, 3, 1, 0}, {0, 1.5f, 3, 0, 1}, {2, 1.5f, 3, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i].x, want[i][0]) << i;
        EXPECT_FLOAT_EQ(v[i].y, want[i][1]) << i;
        EXPECT_FLOAT_EQ(v[i].z, want[i][2]) << i;
        EXPECT_EQ(v[i].u, want[i][3]) << i;
        EXPECT_EQ(v[i].v, want[i][4]) << i;
        EXPECT_EQ(v[i].Colour, 0x40FF8000u) << i;
        EXPECT_EQ(v[i].nx, 0.0f);
    }
}

TEST_F(ParticleSystemTest, EmptyRangesDrawNoNumberAndSamplesStayInsideTheirRanges)
{
    const CRandom before = GlobalRandom;
    EXPECT_EQ(RangeValue(Range(2.5f, 2.5f, 3.0f)), 2.5f);
    EXPECT_EQ(GlobalRandom.sum, before.sum);
    EXPECT_EQ(GlobalRandom.counter, before.counter);
    rhu::ParticleDef def = Particle(1.0f, 0.0f);
    def.MinDamp.X = 0.1f;
    def.MaxDamp.X = 0.2f;
    for (int i = 0; i < 50; ++i) {
        ParticleStub p = {};
        EnterFirstDefinition(p, &def);
        EXPECT_GE(p.StartDamp.x, 0.1f);
        EXPECT_LE(p.StartDamp.x, 0.2f);
    }
}

} // namespace
