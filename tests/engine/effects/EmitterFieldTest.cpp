// The emitter field and the wake tracker on a real particle system: the rate and its carry,
// pre-simulation on coming into view, the system freed out of view once empty, the shelves,
// and wakes spawned every half second, by kind, over the fields a unit stands in.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GEmitterField.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GWakeTracker.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/Camera.h"

namespace {

class TPlainResource : public CRendResource {};

class EmitterFieldTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0xE417);
        LoadEyeCamera(0, CVector(0.0f, 0.0f, 0.0f), CVector(0.0f, 1.0f, 0.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
        LoadProjection(0, projection);
        CGameTimer::tFrameTime = 1.0f / 30.0f;
        CGameTimer::tGameTime = 0.0f;
        for (int channel = 0; channel < BUDGET_CHANNELS; ++channel) {
            ParticleBudgetTable[channel] = 100000;
            ChannelParticleCount[channel] = 0;
        }
        for (rhu::ParticleDef* def : {&dust, &rest, &mobile}) {
            *def = rhu::ParticleDef{};
            def->Lifespan = rhu::RangeData{100.0f, 100.0f, 1.0f};
            def->Scale = rhu::RangeData{1.0f, 1.0f, 1.0f};
        }
        emitter = rhu::EmitterDef{};
        emitter.Period = rhu::RangeData{0.1f, 0.1f, 1.0f};
        emitter.Count = rhu::RangeData{5.0f, 5.0f, 1.0f};
        emitter.Lifespan = rhu::RangeData{2.0f, 2.0f, 1.0f};
        emitter.pParticle = &dust;
        systemData.Word("pEmitter", reinterpret_cast<unsigned long>(&emitter));
        record = EmbeddedRecordForTest{0, GParticleSystem::ClassId, 0, systemData.Get(), 0};
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
        CGameTimer::tGameTime = 0.0f;
        ResetTransformState();
    }
    FillData FieldData(const CVector& at, float frequency)
    {
        FillData data;
        data.Float("Locator.Position.X", at.x).Float("Locator.Position.Y", at.y).Float("Locator.Position.Z", at.z);
        data.Float("Width", 8.0f).Float("Height", 6.0f).Float("Frequency", frequency).Int("IgnoreWind", 1);
        data.Int("IgnoreGround", 1).Float("CycleTime", 99.0f);
        data.Word("pParticleSystem", reinterpret_cast<unsigned long>(&record));
        return data;
    }
    static GEmitterField* Make(FillData& data)
    {
        return static_cast<GEmitterField*>(GObject::Create(GEmitterField::ClassId, HGOBJECT(0), data.Get()));
    }
    static void Frame()
    {
        CGameTimer::tGameTime += CGameTimer::tFrameTime;
        ObjectTest::RunFrame();
    }
    static int Particles(GEmitterField* field) { return field->system ? field->system->GetNumParticles() : -1; }

    rhu::ParticleDef dust, rest, mobile;
    rhu::EmitterDef emitter;
    FillData systemData;
    EmbeddedRecordForTest record;
};

// First sight pre-simulates a whole cycle (7.5 s at 30 per second); a sighting 3 s after the
// last one pre-simulates those 3 s; each frame in view adds its own share.
TEST_F(EmitterFieldTest, ComingIntoViewPreSimulatesUpToACycle)
{
    FillData data = FieldData(CVector(0.0f, 100.0f, 0.0f), 30.0f);
    GEmitterField* field = Make(data);
    EXPECT_EQ(field->CycleTime, 7.5f) << "the stored cycle time is not used";
    Frame();
    ASSERT_NE(field->system, nullptr);
    EXPECT_EQ(field->system->BudgetChannel, 9);
    EXPECT_EQ(emitter.Count.Max, 0.0f) << "the system spawns only what the field hands it";
    EXPECT_EQ(emitter.Lifespan.Min, -1.0f);
    EXPECT_EQ(Particles(field), 225 + 1);
    Frame();
    EXPECT_EQ(Particles(field), 225 + 2);

    field->Position.x = 500.0f;
    Frame();
    ASSERT_EQ(field->Populated, 0);
    const float seen = field->lastSeen;
    CGameTimer::tGameTime = seen + 3.0f - CGameTimer::tFrameTime;
    const int before = Particles(field);
    field->Position.x = 0.0f;
    Frame();
    EXPECT_EQ(Particles(field), before + 90 + 1);
}

TEST_F(EmitterFieldTest, WithoutWindOrRecordNothingIsEmittedAndAnEmptySystemGoes)
{
    FillData noRecord;
    noRecord.Float("Width", 4.0f).Float("Height", 4.0f);
    Make(noRecord);
    EXPECT_EQ(CountRootChildren(), 0) << "a field without a particle system destroys itself";

    FillData data = FieldData(CVector(0.0f, 100.0f, 0.0f), 30.0f);
    data.Int("IgnoreWind", 0);
    GEmitterField* field = Make(data);
    for (int frame = 0; frame < 10; ++frame)
        Frame();
    ASSERT_NE(field->system, nullptr);
    EXPECT_EQ(Particles(field), 0);
    field->Position.x = 500.0f;
    Frame();
    EXPECT_EQ(field->system, nullptr) << "out of view and empty";
    field->Position.x = 0.0f;
    Frame();
    EXPECT_NE(field->system, nullptr) << "made again on the next sighting";
}

TEST_F(EmitterFieldTest, ShelvesDropOrClampTheSpawnHeights)
{
    // Heights 0..10 above the origin; a high shelf at 6, a low shelf at 2.
    const struct {
        int highMode, lowMode;
        bool dropped;
        float lowest, highest;
    } cases[] = {{0, 0, false, 0.0f, 10.0f}, {1, 0, true, 0.0f, 6.0f}, {2, 0, false, 0.0f, 6.0f},
                 {0, 1, true, 2.0f, 10.0f},  {1, 2, true, 2.0f, 6.0f}, {2, 2, false, 2.0f, 6.0f}};
    for (const auto& c : cases) {
        FillData data = FieldData(CVector(0.0f, 100.0f, 0.0f), 0.0f);
        data.Float("HeightOffsetMax", 10.0f).Float("HighShelf", 6.0f).Int("HighShelfMode", c.highMode);
        data.Float("LowShelf", 2.0f).Int("LowShelfMode", c.lowMode).Float("HeightOffsetPost", 0.5f);
        GEmitterField* field = Make(data);
        Frame();
        ASSERT_NE(field->system, nullptr);
        field->EmitBatch(300);
        const int n = Particles(field);
        EXPECT_EQ(n < 300, c.dropped) << c.highMode << c.lowMode;
        bool onShelf = false;
        for (int i = 0; i < n; ++i) {
            const float z = field->system->GetParticle(i)->Position.z - 0.5f;
            ASSERT_GE(z, c.lowest - 1e-4f) << c.highMode << c.lowMode;
            ASSERT_LE(z, c.highest + 1e-4f) << c.highMode << c.lowMode;
            onShelf |= z == 6.0f || z == 2.0f;
        }
        EXPECT_EQ(onShelf, c.highMode == 2 || c.lowMode == 2) << c.highMode << c.lowMode;
        field->Destroy();
        Frame();
    }
}

// A tracked unit leaves a wake each half second (every fourth frame of 1/8 s) while it is
// drawn: the rest kind while it stands, the mobile kind once it moved; none outside the field
// or above the water surface, none while it is not drawn.
TEST_F(EmitterFieldTest, WakesEveryHalfSecondByKindInsideTheField)
{
    CGameTimer::tFrameTime = 0.125f;
    FillData data = FieldData(CVector(0.0f, 100.0f, 0.0f), 0.0f);
    data.Word("pWakeEffectRest", reinterpret_cast<unsigned long>(&rest));
    data.Word("pWakeEffectMobile", reinterpret_cast<unsigned long>(&mobile));
    data.Float("HeightOffsetMax", 0.5f).Float("HighShelf", 1.0f).Float("HeightOffsetPost", 0.25f);
    GEmitterField* field = Make(data);
    EXPECT_EQ(GEmitterField::pFirstWake, field);
    TPlainResource resource;
    FillData unitData;
    unitData.Word("pResource", reinterpret_cast<unsigned long>(&resource));
    unitData.Float("Locator.Position.Y", 100.0f);
    GPhysical* unit = static_cast<GPhysical*>(GObject::Create(GPhysical::ClassId, HGOBJECT(0), unitData.Get()));
    GWakeTracker* tracker = static_cast<GWakeTracker*>(unit->Create(GWakeTracker::ClassId, FillData().Get()));
    unit->Render.SetHackFloat1(1.0f);

    std::string kinds;
    const struct {
        CVector at;
        float drawn;
    } frames[] = {{{0, 100, 0}, 1}, {{0, 100, 0}, 1}, {{0, 100, 0}, 1}, {{0, 100, 0}, 1}, {{0, 100, 0}, 1},
                  {{0, 100, 0}, 1}, {{1, 100, 0}, 1}, {{1, 100, 0}, 1}, {{2, 100, 0}, 1}, {{2, 101, 0}, 1},
                  {{2, 101, 0}, 1}, {{2, 101, 0}, 1}, {{2, 101, 0}, 0}, {{2, 101, 0}, 0}, {{2, 101, 0}, 0},
                  {{2, 101, 0}, 0}, {{9, 100, 0}, 1}, {{9, 100, 0}, 1}, {{9, 100, 0}, 1}, {{9, 100, 0}, 1},
                  {{0, 100, 2}, 1}, {{0, 100, 2}, 1}, {{0, 100, 2}, 1}, {{0, 100, 2}, 1}};
    for (const auto& f : frames) {
        unit->SetPos(f.at);
        unit->Render.SetHackFloat1(f.drawn);
        const int before = field->system ? Particles(field) : 0;
        Frame();
        tracker->Render();
        for (int i = before; i < Particles(field); ++i)
            kinds += field->system->GetParticle(i)->pDef == &rest     ? "r"
                     : field->system->GetParticle(i)->pDef == &mobile ? "m"
                                                                      : "?";
        kinds += ".";
    }
    EXPECT_EQ(kinds, "r....r....m...." + std::string(12, '.'));
    EXPECT_EQ(emitter.pParticle, &dust) << "the field's own particle is put back";
}

} // namespace
