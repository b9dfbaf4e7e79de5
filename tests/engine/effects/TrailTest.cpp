// Trails on the real object model: the key table sampled from a definition chain, the ring a
// trail system puts on path-style particles (anchored and free), the load-scaled period of a
// trail instance, the ribbon handed to the renderer, and a trail instance's end after eject.
#include <gtest/gtest.h>

#include <string>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GTrailInstance.h"
#include "engine/effects/GTrailSystem.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

rhu::ParticleDef Def(float length, float fade, float red, unsigned long flags)
{
    rhu::ParticleDef def = {};
    def.MinColor.X = red;
    def.MinColor.W = 255.0f;
    def.MaxColor.X = red / 2.0f;
    def.MinDamp.X = 0.0f;
    def.MaxDamp.X = 1.0f;
    def.Scale = rhu::RangeData{0.5f, 0.1f, 1.0f};
    def.Size.X = def.Size.Y = 1.0f;
    def.Lifespan = rhu::RangeData{length, fade, 1.0f};
    def.Flags = flags;
    return def;
}

class TrailTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GlobalRandom.Seed(0x7A11);
        GlobalRandom.counter = 0; // draws made by earlier tests must not shift this one
        Recorded.clear();
        CGameTimer::tGameTime = 5.0f;
        for (int c = 0; c < BUDGET_CHANNELS; ++c) {
            ParticleBudgetTable[c] = 100000;
            TrailBudgetTable[c] = 80;
            ChannelParticleCount[c] = ChannelTrailCount[c] = 0;
        }
        head = Def(0.5f, 1.0f, 200.0f, rhu::PARDEF_PATHSTYLE | rhu::PARDEF_ALPHA);
        tail = Def(10.0f, 2.0f, 100.0f, rhu::PARDEF_PATHSTYLE | rhu::PARDEF_ALPHA);
        head.pNextDef = &tail;
        emitter = {};
        emitter.Lifespan = rhu::RangeData{-1.0f, -1.0f, 1.0f};
        emitter.Period = rhu::RangeData{10.0f, 10.0f, 1.0f};
        emitter.pParticle = &tail;
        // Particles move by a definition without damping; the trail's chain uses its damping
        // as texture coordinates.
        mover = Def(10.0f, 2.0f, 255.0f, rhu::PARDEF_PATHSTYLE);
        mover.MaxDamp.X = 0.0f;
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
    }
    static void Frame(float seconds)
    {
        CGameTimer::tFrameTime = seconds;
        CGameTimer::tGameTime += seconds;
        GObject::ProcessObjects();
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
    GTrailSystem* MakeSystem(float span, float period, int anchored)
    {
        FillData data;
        data.Float("BoundingBloat", -1.0f).Float("TrailSpan", span).Float("TrailPeriod", period);
        data.Int("Anchored", anchored).Word("pParticle", reinterpret_cast<unsigned long>(&head));
        data.Word("pEmitter", reinterpret_cast<unsigned long>(&emitter)).Int("SelfRender", 1);
        return static_cast<GTrailSystem*>(GObject::Create(GTrailSystem::ClassId, HGOBJECT(0), data.Get()));
    }
    GTrailInstance* MakeInstance(float span, float period, int channel = 3)
    {
        FillData data;
        data.Float("TrailSpan", span).Float("TrailPeriod", period).Int("SelfRender", 1);
        data.Int("BudgetChannel", channel).Word("pTrail", reinterpret_cast<unsigned long>(&head));
        data.Word("RendPriority", 0x40);
        return static_cast<GTrailInstance*>(GObject::Create(GTrailInstance::ClassId, HGOBJECT(0), data.Get()));
    }
    // One particle of def moving along +X at 3 units a second, with emission stopped.
    static ParticleStub* Launch(GTrailSystem* system, rhu::ParticleDef* def)
    {
        CMatrix identity;
        identity.SetIdentity();
        system->ForceSpawn(1, identity, identity, 0.0f, 0.0f, def);
        ParticleStub* p = system->GetParticle(system->GetNumParticles() - 1);
        p->Velocity.Set(3.0f, 0.0f, 0.0f);
        system->Pause(true);
        return p;
    }

    rhu::ParticleDef head, tail, mover;
    rhu::EmitterDef emitter;
};

TEST_F(TrailTest, KeyTablesFollowTheSpanPeriodAndDefinitionChain)
{
    TrailKey* keys = nullptr;
    // Ten periods of 0.1 reach a span of 1.0 exactly: eleven keys.
    EXPECT_EQ(BuildTrailKeys(&tail, 1.0f, 0.1f, keys), 11);
    EXPECT_EQ(TrailPointCount(1.0f, 0.1f), 11);
    const struct {
        float span, period;
        int keys;
    } counts[] = {{0.3f, 0.1f, 4}, {0.0f, 0.1f, 0}, {1.0f, 0.0f, 0}, {-1.0f, 0.1f, 0}, {1.0f, 1e-12f, kMaxTrailPoints}};
    for (const auto& c : counts)
        EXPECT_EQ(TrailPointCount(c.span, c.period), c.keys) << c.span << " " << c.period;
    EXPECT_EQ(BuildTrailKeys(&tail, 0.0f, 0.1f, keys), 0);
    EXPECT_EQ(keys, nullptr);

    // head covers 0.5 s of the ribbon then hands over to tail: keys 0..4 blend head toward
    // tail by s / 0.5, key 5 is tail's own start.
    ASSERT_EQ(BuildTrailKeys(&head, 1.0f, 0.25f, keys), 5);
    const float wantRed[] = {200.0f, 150.0f, 100.0f, 100.0f, 100.0f};
    const float wantFade[] = {1.0f, 1.5f, 2.0f, 2.0f, 2.0f};
    const rhu::ParticleDef* wantDef[] = {&head, &head, &tail, &tail, &tail};
    for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(keys[k].ColourA[0], wantRed[k]) << k;
        EXPECT_FLOAT_EQ(keys[k].Fade, wantFade[k]) << k;
        EXPECT_FLOAT_EQ(keys[k].InvFade, 1.0f / wantFade[k]) << k;
        EXPECT_EQ(keys[k].pDef, wantDef[k]) << k;
        EXPECT_EQ(keys[k].WidthA, 0.5f);
        EXPECT_EQ(keys[k].TexB, 1.0f);
    }
    BuildTrailKeys(nullptr, 0.0f, 0.0f, keys);
}

TEST_F(TrailTest, PathStyleParticlesRecordARingAnchoredOrFree)
{
    GTrailSystem* free = MakeSystem(0.3f, 0.1f, 0);
    ASSERT_EQ(free->GetKeyCount(), 4);
    ParticleStub* moving = Launch(free, &mover);
    rhu::ParticleDef plain = mover;
    plain.Flags = rhu::PARDEF_ALPHA;
    ParticleStub* still = Launch(free, &plain);
    EXPECT_EQ(GTrailSystem::RingOf(*still), nullptr);
    const TrailRing* ring = GTrailSystem::RingOf(*moving);
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->Capacity, 4);
    // The spawn records the first point at once.
    EXPECT_EQ(ring->Filled, 1);
    EXPECT_EQ(ring->Write, 1);

    GTrailSystem* anchored = MakeSystem(0.3f, 0.1f, 1);
    const TrailRing* fixed = GTrailSystem::RingOf(*Launch(anchored, &mover));
    for (int frame = 0; frame < 30; ++frame)
        Frame(kParticleStep);
    // Thirty steps of 1/30 s at a period of 0.1 s record ten more points: the free ring has
    // wrapped and holds the newest three (its filled count stops one short of the capacity),
    // the anchored one stopped once its write index reached the last slot.
    EXPECT_EQ(ring->Filled, 3);
    EXPECT_EQ(ring->Write, 3);
    EXPECT_EQ(fixed->Filled, 3);
    EXPECT_EQ(fixed->Write, 3);
    // Its points lie where the particle started, while the particle went on to x = 3.
    EXPECT_LT(fixed->pPoints[2].Position.x, 1.0f);
    const TrailPoint& newest = ring->pPoints[(ring->Write + 3) % 4];
    EXPECT_NEAR(newest.Position.x, moving->Position.x, 0.11f);
    EXPECT_GT(newest.Position.x, 2.5f);
    const TrailPoint& older = ring->pPoints[(ring->Write + 2) % 4];
    EXPECT_FLOAT_EQ(older.Direction.x, 1.0f);
}

TEST_F(TrailTest, RibbonsGoToTheRendererWithTheirBlendWordsAndKeys)
{
    GmvCamera* camera = GmvCamera::Create();
    camera->SetEye(CVector(0.0f, 0.0f, 20.0f));
    camera->SetFocus(CVector(0.0f, 0.0f, 0.0f));
    head.Flags = rhu::PARDEF_ALPHA | rhu::PARDEF_ADDITIVE;
    GTrailSystem* system = MakeSystem(0.2f, 0.1f, 0);
    Launch(system, &mover);
    for (int frame = 0; frame < 9; ++frame)
        Frame(kParticleStep);
    SetPrimitiveTrace(Record);
    system->Render();
    GTrailInstance* instance = MakeInstance(0.2f, 0.1f);
    for (int frame = 0; frame < 4; ++frame) {
        instance->Position.x += 1.0f;
        Frame(0.05f);
    }
    instance->Render();
    SetPrimitiveTrace(nullptr);
    ExpectSceneGolden("trail_ribbons.txt", Recorded);
    // Both ribbons take additive alpha from their head key's definition.
    EXPECT_NE(Recorded.find("SetPrimitiveStage 0 0 0x1C12"), std::string::npos);
}

TEST_F(TrailTest, TrailInstancesSlowDownUnderLoadAndEndAfterEject)
{
    TrailBudgetTable[4] = 1;
    GTrailInstance* first = MakeInstance(1.0f, 0.1f, 4);
    EXPECT_EQ(first->GetCapacity(), 11);
    EXPECT_EQ(first->GetKeyCount(), 11);
    EXPECT_FLOAT_EQ(first->GetEffectivePeriod(), 0.1f);
    GTrailInstance* second = MakeInstance(1.0f, 0.1f, 4);
    // The channel is at its budget: five times the period.
    EXPECT_FLOAT_EQ(second->GetEffectivePeriod(), 0.5f);
    EXPECT_EQ(ChannelTrailCount[4], 2);
    second->Destroy();
    Frame(0.0f);
    EXPECT_FALSE(Alive(second));
    EXPECT_EQ(ChannelTrailCount[4], 1);

    for (int frame = 0; frame < 5; ++frame) {
        first->Position.y += 1.0f;
        Frame(0.1f);
    }
    first->Eject(first->GetOwner());
    int frames = 0;
    while (Alive(first) && frames < 30) {
        Frame(0.1f);
        ++frames;
    }
    // The span is one second: ten frames of 0.1 s.
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(ChannelTrailCount[4], 0);
}

} // namespace
