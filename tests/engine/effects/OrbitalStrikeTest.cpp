// The orbital strike: fifty particles sown down the beam in its first fifth of a second, from
// the top to the point, one pass a frame whatever the frame rate, the beam's fins as handed to
// the renderer, and the strike gone after a second with its particles kept.
#include <gtest/gtest.h>

#include <algorithm>

#include "ObjectTestSupport.h"
#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GOrbitalStrike.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

class OrbitalStrikeTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0x0B17);
        LoadEyeCamera(0, CVector(0.0f, 0.0f, 5.0f), CVector(0.0f, 1.0f, 5.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
        LoadProjection(0, projection);
        for (int channel = 0; channel < BUDGET_CHANNELS; ++channel) {
            ParticleBudgetTable[channel] = 100000;
            ChannelParticleCount[channel] = 0;
        }
        spark = rhu::ParticleDef{};
        spark.Lifespan = rhu::RangeData{100.0f, 100.0f, 1.0f};
        spark.Scale = rhu::RangeData{1.0f, 1.0f, 1.0f};
        emitter = rhu::EmitterDef{};
        emitter.Period = rhu::RangeData{0.1f, 0.1f, 1.0f};
        emitter.Count = rhu::RangeData{4.0f, 4.0f, 1.0f};
        emitter.Lifespan = rhu::RangeData{1.0f, 1.0f, 1.0f};
        emitter.pParticle = &spark;
        systemData.Word("pEmitter", reinterpret_cast<unsigned long>(&emitter));
        record = EmbeddedRecordForTest{0, GParticleSystem::ClassId, 0, systemData.Get(), 0};
        Recorded.clear();
        SetPrimitiveTrace(Record);
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
        ResetTransformState();
    }
    GOrbitalStrike* Make()
    {
        FillData data;
        data.Word("pParticleSystem", reinterpret_cast<unsigned long>(&record)).Word("RendPriority", 0x60008005);
        auto* strike = static_cast<GOrbitalStrike*>(GObject::Create(GOrbitalStrike::ClassId, HGOBJECT(0), data.Get()));
        strike->SetStrike(CVector(0.0f, 30.0f, 0.0f), CVector(0.5f, 0.0f, 2.0f));
        return strike;
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child != nullptr; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }

    rhu::ParticleDef spark;
    rhu::EmitterDef emitter;
    FillData systemData;
    EmbeddedRecordForTest record;
};

TEST_F(OrbitalStrikeTest, FiftyParticlesInAFifthOfASecondAtAnyFrameRate)
{
    for (float frameTime : {1.0f / 30.0f, 1.0f / 60.0f, 0.05f, 0.5f}) {
        CGameTimer::tFrameTime = frameTime;
        GOrbitalStrike* strike = Make();
        GParticleSystem* system = strike->system;
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(emitter.Count.Max, 0.0f) << "the system emits only what is sown";
        while (strike->elapsed < 0.2f - 1e-4f)
            RunFrame();
        EXPECT_EQ(system->GetNumParticles(), 50) << frameTime;
        // Sown from the top of the beam (10 offsets up) down towards the point.
        EXPECT_NEAR(system->GetParticle(0)->Position.z, 20.0f, 0.5f) << frameTime;
        EXPECT_NEAR(system->GetParticle(49)->Position.z, 0.4f, 0.5f) << frameTime;
        for (int frame = 0; frame < 10; ++frame)
            RunFrame();
        EXPECT_EQ(system->GetNumParticles(), 50) << "no more sown after the fiftieth";
        GObject::GetRoot()->DestroyChildren();
        RunFrame();
    }
}

TEST_F(OrbitalStrikeTest, TheBeamFadesAndTheStrikeGoesAfterASecondKeepingItsParticles)
{
    CGameTimer::tFrameTime = 0.1f;
    GOrbitalStrike* strike = Make();
    GParticleSystem* system = strike->system;
    RunFrame();
    Recorded.clear();
    strike->Render();
    ExpectSceneGolden("orbital_strike.txt", Recorded);
    EXPECT_EQ(std::count(Recorded.begin(), Recorded.end(), '\n') > 0, true);
    int frames = 1;
    while (Alive(strike) && frames < 30) {
        RunFrame();
        ++frames;
    }
    EXPECT_EQ(frames, 11) << "ten frames of 0.1 s, then gone";
    EXPECT_TRUE(Alive(system)) << "the sown particles outlive the beam";
}

} // namespace
