// Dynamic decals on a live world of terrain maps: rectangles clipped to each location they
// cover (recorded as the terrain-decal calls the renderer receives), the default culling
// radius, the height band, the per-frame cap of particle decals, the decals that remove
// themselves, and a particle decal running through its definition chain.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SceneEffectsSupport.h"
#include "TerrainTestSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GDynaDecal.h"
#include "engine/effects/GFootTrackDecal.h"
#include "engine/effects/GParticleDecal.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

namespace {

std::vector<std::string> Calls;

void Record(const char* line) { Calls.push_back(line); }

int Count(const char* prefix)
{
    int n = 0;
    for (const std::string& call : Calls)
        n += call.compare(0, strlen(prefix), prefix) == 0;
    return n;
}

class DecalTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GlobalRandom.Seed(0xDECA);
        GlobalRandom.counter = 0; // draws made by earlier tests must not shift this one
        Calls.clear();
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
        // Two 8 x 8-cell locations of 4-unit cells side by side: x 0..32 and 32..64.
        for (float x : {0.0f, 32.0f}) {
            maps.emplace_back(new TestMap(9, 9, 4, CVector(x, 0.0f, 0.0f)));
            maps.back()->Build();
        }
        // A view that holds everything the tests place.
        CMatrix camera, projection;
        camera.SetIdentity();
        projection.SetIdentity();
        projection.m0 = projection.m5 = projection.m10 = 0.001f;
        LoadCamera(0, camera);
        LoadProjection(0, projection);
        ++CRenderer::FrameNumber;
        SetPrimitiveTrace(Record);
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        maps.clear();
        CGameTimer::tFrameTime = 0.0f;
    }
    template <class T> T* Make(FillData& data, DWORD classId)
    {
        return static_cast<T*>(GObject::Create(classId, HGOBJECT(0), data.Get()));
    }
    GDynaDecal* Plain(float x, float y, float width, float height)
    {
        FillData data;
        data.Float("Width", width).Float("Height", height).Float("Color.Red", 255.0f).Float("Color.Alpha", 200.0f);
        GDynaDecal* decal = Make<GDynaDecal>(data, GDynaDecal::ClassId);
        decal->Position.Set(x, y, 0.0f);
        return decal;
    }
    std::vector<std::unique_ptr<TestMap>> maps;
};

TEST_F(DecalTest, ARectangleIsClippedToEachLocationItCovers)
{
    const struct {
        float x, y, w, h;
        std::vector<std::string> ranges;
    } cases[] = {
        // Inside the first location: x and y 15..21 touch cells 3..5, corners 3..6.
        {18.0f, 18.0f, 6.0f, 6.0f, {"BeginMapDecal 3 3 6 6"}},
        // Across the seam: the second location (drawn first) from its first corner, the first
        // location up to its last.
        {32.0f, 10.0f, 8.0f, 4.0f, {"BeginMapDecal 0 2 2 4", "BeginMapDecal 7 2 8 4"}},
        // Hanging off the world's lower edge: clamped to corner 0.
        {2.0f, 0.0f, 4.0f, 4.0f, {"BeginMapDecal 0 0 2 1"}},
        // Wholly outside both.
        {-20.0f, 10.0f, 4.0f, 4.0f, {}},
    };
    for (const auto& c : cases) {
        Calls.clear();
        GDynaDecal* decal = Plain(c.x, c.y, c.w, c.h);
        decal->Render();
        std::vector<std::string> got;
        for (const std::string& call : Calls)
            if (call.compare(0, 13, "BeginMapDecal") == 0)
                got.push_back(call.substr(0, call.find(" uv")));
        EXPECT_EQ(got, c.ranges) << c.x << "," << c.y;
        EXPECT_EQ(Count("EndMapDecal"), int(c.ranges.size()));
        EXPECT_EQ(decal->DrawRadius, 5.0f);
    }
    // The texture matrix maps the rectangle onto 0..1: u = (x - 18) / 6 + 0.5.
    Calls.clear();
    Plain(18.0f, 18.0f, 6.0f, 6.0f)->Render();
    EXPECT_EQ(Count("BeginMapDecal 3 3 6 6 uv 0.167 0.000 -2.500 -0.000 0.167 -2.500"), 1) << Calls[1];
}

TEST_F(DecalTest, TheHeightBandFadesAndGrowsTheDecalUntilItPassesTheEnd)
{
    FillData data;
    data.Float("Width", 4.0f).Float("Height", 4.0f).Float("Color.Alpha", 200.0f).Int("UseFalloff", 1);
    data.Float("FalloffStart", 1.0f).Float("FalloffEnd", 3.0f).Float("FalloffScale", 2.0f);
    GDynaDecal* decal = Make<GDynaDecal>(data, GDynaDecal::ClassId);
    const struct {
        float z;
        int drawn;
        const char* style;
    } cases[] = {
        {0.5f, 1, "SetMapDecalStyle 0 0 0 0.000 0.000 0.000 200.000"},
        {2.0f, 1, "SetMapDecalStyle 0 0 0 0.000 0.000 0.000 100.000"},
        {3.5f, 0, nullptr},
    };
    for (const auto& c : cases) {
        Calls.clear();
        decal->Position.Set(16.0f, 16.0f, c.z);
        decal->Render();
        EXPECT_EQ(Count("EndMapDecal"), c.drawn) << c.z;
        if (c.style) {
            EXPECT_EQ(Count(c.style), 1) << c.z;
        }
    }
    // Half way up the band the rectangle is 1.5 times as large: 6 units, so u = x / 6 + ...
    decal->Position.Set(16.0f, 16.0f, 2.0f);
    Calls.clear();
    decal->Render();
    EXPECT_EQ(Count("BeginMapDecal 3 3 5 5 uv 0.167"), 1);
    // A band of no width does not divide by zero: the decal is drawn unchanged.
    decal->FalloffEnd = decal->FalloffStart;
    Calls.clear();
    decal->Render();
    EXPECT_EQ(Count("SetMapDecalStyle 0 0 0 0.000 0.000 0.000 200.000"), 1);
}

TEST_F(DecalTest, OnlyParticleDecalsCountAgainstTheFrameCap)
{
    rhu::ParticleDef def = {};
    def.MinColor.W = def.MaxColor.W = 255.0f;
    def.Size.X = def.Size.Y = 2.0f;
    def.Scale = rhu::RangeData{1.0f, 1.0f, 1.0f};
    def.Lifespan = rhu::RangeData{5.0f, 5.0f, 1.0f};
    std::vector<GParticleDecal*> decals;
    for (int i = 0; i < GDynaDecal::kParticleDecalCap + 1; ++i) {
        FillData data;
        data.Word("pParticle", reinterpret_cast<unsigned long>(&def));
        decals.push_back(Make<GParticleDecal>(data, GParticleDecal::ClassId));
        decals.back()->Position.Set(10.0f, 10.0f, 0.0f);
    }
    CGameTimer::tFrameTime = kParticleStep;
    GObject::ProcessObjects();
    for (GParticleDecal* decal : decals)
        decal->Render();
    EXPECT_EQ(Count("EndMapDecal"), GDynaDecal::kParticleDecalCap);
    Calls.clear();
    Plain(10.0f, 10.0f, 2.0f, 2.0f)->Render();
    EXPECT_EQ(Count("EndMapDecal"), 1);
    // The next renderer frame starts a new count.
    ++CRenderer::FrameNumber;
    Calls.clear();
    decals.back()->Render();
    EXPECT_EQ(Count("EndMapDecal"), 1);
}

TEST_F(DecalTest, AParticleDecalRunsThroughItsChainAndLockedTweensRepeat)
{
    rhu::ParticleDef second = {};
    second.MinColor.X = 0.0f, second.MaxColor.X = 100.0f;
    second.MinColor.W = second.MaxColor.W = 100.0f;
    second.Size.X = 4.0f, second.Size.Y = 2.0f;
    second.Scale = rhu::RangeData{1.0f, 3.0f, 1.0f};
    second.Lifespan = rhu::RangeData{0.5f, 0.5f, 1.0f};
    rhu::ParticleDef first = second;
    first.MinColor.W = first.MaxColor.W = 255.0f;
    first.pNextDef = &second;
    FillData data;
    data.Word("pParticle", reinterpret_cast<unsigned long>(&first)).Float("LockColorTween", 1.0f);
    data.Float("LockScaleTween", 1.0f).Float("ForceHeight", 2.0f);
    GParticleDecal* decal = Make<GParticleDecal>(data, GParticleDecal::ClassId);
    const int colour = decal->ColorTween, scale = decal->ScaleTween;
    // Both ends drew one colour and one scale: the locked tweens reuse them.
    EXPECT_EQ(decal->Particle.StartColor.x, decal->Particle.EndColor.x);
    EXPECT_EQ(decal->Particle.StartScale, decal->Particle.EndScale);
    CGameTimer::tFrameTime = 0.25f;
    GObject::ProcessObjects();
    EXPECT_EQ(decal->ColorTween, colour);
    EXPECT_EQ(decal->ScaleTween, scale);
    const float s = decal->Particle.StartScale;
    EXPECT_FLOAT_EQ(decal->Width, 4.0f * s);
    EXPECT_FLOAT_EQ(decal->Height, 2.0f * s * 2.0f);
    // Seven whole steps of 1/30 s fit in the quarter second.
    EXPECT_NEAR(decal->Color.w, 255.0f - (255.0f - 100.0f) * (7.0f * kParticleStep / 0.5f), 1e-3f);
    bool alive = true;
    for (int frame = 0; frame < 10 && alive; ++frame) {
        GObject::ProcessObjects();
        alive = false;
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            alive = alive || child == decal;
    }
    EXPECT_FALSE(alive);
}

TEST_F(DecalTest, TeamColourDecalsRemoveThemselvesAndTrackingDecalsNeedAParent)
{
    GObject* team = GObject::Create(GTeamColorDecal::ClassId, HGOBJECT(0), nullptr);
    FillData data;
    data.Int("TrackParent", 1);
    GDynaDecal* tracking = Make<GDynaDecal>(data, GDynaDecal::ClassId);
    GObject::ProcessObjects();
    for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext) {
        EXPECT_NE(child, team);
        EXPECT_NE(child, tracking);
    }
    // A decoration decal never tracks its parent.
    FillData decor;
    decor.Int("TrackParent", 1);
    EXPECT_EQ(Make<GDynaDecal>(decor, GDecorDecal::ClassId)->TrackParent, 0);
}

} // namespace
