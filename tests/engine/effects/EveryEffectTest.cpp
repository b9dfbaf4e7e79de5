// One scene holding each particle-based effect class on a world of two terrain locations:
// 200 frames of a seeded run, with the draw calls of every fiftieth frame (strips, particle
// quads, terrain decals with their cell ranges, light-handle calls) against a golden file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SceneEffectsSupport.h"
#include "TerrainTestSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GBeam.h"
#include "engine/effects/GDynaDecal.h"
#include "engine/effects/GParticleDecal.h"
#include "engine/effects/GParticleLight.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GStaticParticle.h"
#include "engine/effects/GTrailInstance.h"
#include "engine/effects/GTrailSystem.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvCamera.h"
#include "engine/world/GmvWorld.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

rhu::ParticleDef Def(float red, float life, unsigned long flags)
{
    rhu::ParticleDef def = {};
    def.MinColor.X = red, def.MinColor.Y = 80.0f, def.MinColor.W = 255.0f;
    def.MaxColor.X = red, def.MaxColor.Z = 200.0f, def.MaxColor.W = 128.0f;
    def.Size.X = def.Size.Y = 0.5f;
    def.Scale = rhu::RangeData{1.0f, 2.0f, 1.0f};
    def.Lifespan = rhu::RangeData{life, life, 1.0f};
    def.Gravity = 2.0f;
    def.Flags = flags;
    def.Facing = 1;
    return def;
}

class EveryEffectTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GlobalRandom.Seed(0xE11);
        GlobalRandom.counter = 0; // draws made by earlier tests must not shift this one
        CGameTimer::tGameTime = 0.0f;
        for (int c = 0; c < BUDGET_CHANNELS; ++c) {
            ParticleBudgetTable[c] = 100000;
            ChannelParticleCount[c] = ChannelTrailCount[c] = 0;
        }
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
        for (float x : {0.0f, 32.0f}) {
            maps.emplace_back(new TestMap(9, 9, 4, CVector(x, 0.0f, 0.0f)));
            maps.back()->Build();
        }
        CMatrix camera, projection;
        camera.SetIdentity();
        projection.SetIdentity();
        projection.m0 = projection.m5 = projection.m10 = 0.001f;
        LoadCamera(0, camera);
        LoadProjection(0, projection);
        GmvCamera* eye = GmvCamera::Create();
        eye->SetEye(CVector(16.0f, -20.0f, 20.0f));
        eye->SetFocus(CVector(16.0f, 16.0f, 0.0f));
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        maps.clear();
        CGameTimer::tFrameTime = 0.0f;
    }
    static GObject* Make(DWORD classId, FillData& data, GObject* parent = nullptr)
    {
        return parent ? parent->Create(classId, data.Get()) : GObject::Create(classId, HGOBJECT(0), data.Get());
    }
    static FillData Placed(float x, float y, float z)
    {
        FillData data;
        data.Float("Locator.Position.X", x).Float("Locator.Position.Y", y).Float("Locator.Position.Z", z);
        return data;
    }
    static unsigned long Address(const void* p) { return reinterpret_cast<unsigned long>(p); }
    // Draws every effect in the tree, depth first.
    static void RenderEffects(GObject* object)
    {
        for (GObject* child = object->pChild; child; child = child->pNext) {
            if (child->IsDerivedFromClassId(GEffect::ClassId))
                static_cast<GEffect*>(child)->Render();
            RenderEffects(child);
        }
    }
    std::vector<std::unique_ptr<TestMap>> maps;
};

TEST_F(EveryEffectTest, TwoHundredFramesOfEachEffectClassDrawAsTheGoldenSays)
{
    rhu::ParticleDef spark = Def(255.0f, 0.8f, rhu::PARDEF_ALPHA | rhu::PARDEF_ADDITIVE);
    rhu::ParticleDef path = Def(100.0f, 1.2f, rhu::PARDEF_PATHSTYLE | rhu::PARDEF_ALPHA);
    rhu::ParticleDef ribbon = Def(40.0f, 0.5f, rhu::PARDEF_ALPHA);
    rhu::ParticleDef glow = Def(200.0f, 9.0f, rhu::PARDEF_ALPHA);
    rhu::ParticleDef splash = Def(90.0f, 4.0f, 0);
    splash.Size.X = splash.Size.Y = 3.0f;
    rhu::EmitterDef fountain = {};
    fountain.ArpetureIn = rhu::RangeData{0.0f, 0.3f, 1.0f};
    fountain.Velocity = rhu::RangeData{2.0f, 4.0f, 1.0f};
    fountain.Period = rhu::RangeData{0.2f, 0.2f, 1.0f};
    fountain.Count = rhu::RangeData{2.0f, 3.0f, 1.0f};
    fountain.Lifespan = rhu::RangeData{-1.0f, -1.0f, 1.0f};
    fountain.pParticle = &spark;
    rhu::EmitterDef paths = fountain;
    paths.pParticle = &path;
    paths.Period = rhu::RangeData{0.5f, 0.5f, 1.0f};
    paths.Count = rhu::RangeData{1.0f, 1.0f, 1.0f};

    FillData system = Placed(10.0f, 10.0f, 0.0f);
    system.Word("pEmitter", Address(&fountain)).Int("SelfRender", 1).Float("BoundingBloat", -1.0f);
    Make(GParticleSystem::ClassId, system);
    FillData still = Placed(20.0f, 10.0f, 1.0f);
    still.Word("pParticle", Address(&glow));
    Make(GStaticParticle::ClassId, still);
    FillData trails = Placed(14.0f, 20.0f, 0.0f);
    trails.Word("pEmitter", Address(&paths)).Word("pParticle", Address(&ribbon)).Int("SelfRender", 1);
    trails.Float("BoundingBloat", -1.0f).Float("TrailSpan", 0.4f).Float("TrailPeriod", 0.1f);
    Make(GTrailSystem::ClassId, trails);
    FillData instance = Placed(4.0f, 4.0f, 1.0f);
    instance.Word("pTrail", Address(&ribbon)).Int("SelfRender", 1).Float("TrailSpan", 0.3f).Float("TrailPeriod", 0.1f);
    GTrailInstance* streak = static_cast<GTrailInstance*>(Make(GTrailInstance::ClassId, instance));
    FillData decal = Placed(30.0f, 12.0f, 0.0f);
    decal.Float("Width", 6.0f).Float("Height", 3.0f).Float("Color.Red", 255.0f).Float("Color.Alpha", 255.0f);
    decal.Int("UseRotation", 1).Float("Locator.Rotation.Z", 0.5f).Float("FOWMode", -1.0f);
    Make(GDynaDecal::ClassId, decal);
    FillData puddle = Placed(8.0f, 24.0f, 0.0f);
    puddle.Word("pParticle", Address(&splash)).Float("FOWMode", -1.0f);
    Make(GParticleDecal::ClassId, puddle);
    FillData walker = Placed(24.0f, 24.0f, 0.0f);
    GPhysical* unit = static_cast<GPhysical*>(Make(GPhysical::ClassId, walker));
    unit->Render.SetHackFloat1(0.5f);
    FillData track;
    track.Float("Width", 2.0f).Float("Height", 2.0f).Float("Color.Alpha", 200.0f).Int("TrackParent", 1);
    track.Float("FOWMode", -1.0f);
    Make(GUnitTrackDecal::ClassId, track, unit);
    FillData beam;
    beam.Float("Lifetime", 10.0f).Float("WaxDuration", 2.0f).Float("WaneDuration", 2.0f);
    for (int k = 0; k < 4; ++k)
        beam.Float("Width", 1.0f, k).Float("LeadColorBlue", 255.0f, k).Float("TrailColorAlpha", 255.0f, k);
    GBeam* ray = static_cast<GBeam*>(Make(GBeam::ClassId, beam));
    ray->SetEndPoints(CVector(26.0f, 6.0f, 2.0f), CVector(6.0f, 6.0f, 2.0f));
    FillData light = Placed(16.0f, 16.0f, 3.0f);
    light.Word("pParticleOverride", Address(&glow));
    Make(GParticleLight::ClassId, light);

    std::string text;
    CGameTimer::tFrameTime = 1.0f / 30.0f;
    for (int frame = 0; frame < 200; ++frame) {
        CGameTimer::tGameTime += CGameTimer::tFrameTime;
        streak->Position.x += 0.1f;
        const bool traced = frame % 50 == 49;
        Recorded.clear();
        SetPrimitiveTrace(traced ? Record : nullptr);
        GObject::ProcessObjects();
        ++CRenderer::FrameNumber;
        RenderEffects(GObject::GetRoot());
        SetPrimitiveTrace(nullptr);
        if (traced)
            text += "== frame " + std::to_string(frame) + "\n" + Recorded;
    }
    ExpectSceneGolden("every_effect.txt", text);
    for (const char* call : {"AddPrimitiveVertex", "ReserveParticleQuads", "BeginMapDecal", "LightSetDiffuse"})
        EXPECT_NE(text.find(call), std::string::npos) << call;
}

} // namespace
