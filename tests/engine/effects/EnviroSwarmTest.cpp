// The ambient swarm: a seeded run drawn as camera-facing quads against a golden, compact
// swarms on their centre, freezing out of view, following and timing out.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GEnviroSwarm.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

class TPlainResource : public CRendResource {};

class EnviroSwarmTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0x5A4);
        LoadEyeCamera(0, CVector(0.0f, 0.0f, 0.0f), CVector(0.0f, 1.0f, 0.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
        LoadProjection(0, projection);
        CGameTimer::tFrameTime = 1.0f / 30.0f;
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
    static FillData SwarmData(const CVector& at, int members)
    {
        FillData data;
        data.Float("Locator.Position.X", at.x).Float("Locator.Position.Y", at.y).Float("Locator.Position.Z", at.z);
        data.Int("ObjectCount", members).Float("Ellipse.X", 2.0f).Float("Ellipse.Y", 2.0f).Float("Ellipse.Z", 1.0f);
        data.Float("TrackSpeedMin", 1.0f).Float("TrackSpeedMax", 3.0f).Float("TrackDistMin", 0.5f);
        data.Float("TrackDistMax", 1.5f).Float("Scale", 0.4f).Float("ScaleMin", 0.1f);
        data.Float("OSCSpeedMin.X", 1.0f).Float("OSCSpeedMax.X", 2.0f).Float("OSCSpeedMax.Y", 3.0f);
        data.Float("BobbleScale.Z", 0.5f).Float("BobbleSpeed.Z", 2.0f).Float("ColorSpeedMax", 4.0f);
        data.Float("ColorLow.Red", 40.0f).Float("ColorHigh.Red", 240.0f).Float("ColorLow.Alpha", 100.0f);
        data.Float("ColorHigh.Alpha", 200.0f).Float("WanderRadius", 5.0f).Float("WanderHeightMin", 1.0f);
        data.Float("WanderHeightMax", 3.0f).Int("Additive", 1).Word("RendPriority", 0x60008004);
        return data;
    }
    static GEnviroSwarm* Make(FillData data, GObject* parent = nullptr)
    {
        if (parent != nullptr)
            return static_cast<GEnviroSwarm*>(parent->Create(GEnviroSwarm::ClassId, data.Get()));
        return static_cast<GEnviroSwarm*>(GObject::Create(GEnviroSwarm::ClassId, HGOBJECT(0), data.Get()));
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child != nullptr; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
};

TEST_F(EnviroSwarmTest, ASeededSwarmDriftsAndIsDrawnFacingTheCamera)
{
    GEnviroSwarm* swarm = Make(SwarmData(CVector(0.0f, 40.0f, 0.0f), 3));
    for (int frame = 0; frame < 45; ++frame)
        RunFrame();
    std::string text =
        "centre " + Fixed(swarm->centre.x) + " " + Fixed(swarm->centre.y) + " " + Fixed(swarm->centre.z) + "\n";
    Recorded.clear();
    swarm->Render();
    ExpectSceneGolden("enviro_swarm.txt", text + Recorded);
    for (int i = 0; i < 3; ++i) {
        const CVector d = swarm->members[i].position - swarm->centre;
        EXPECT_LT(d.x * d.x + d.y * d.y, 50.0f) << "members keep near the centre";
    }
}

TEST_F(EnviroSwarmTest, CompactMembersSitOnTheCentre)
{
    FillData data = SwarmData(CVector(0.0f, 40.0f, 0.0f), 4);
    // Members fast enough to keep up with the wandering centre, and free to reach that far,
    // retarget on it every frame.
    data.Int("Compact", 1).Float("TrackSpeedMin", 60.0f).Float("TrackSpeedMax", 60.0f);
    data.Float("TrackDistMin", 100.0f).Float("TrackDistMax", 100.0f);
    GEnviroSwarm* swarm = Make(data);
    for (int frame = 0; frame < 20; ++frame) {
        RunFrame();
        EXPECT_GT(swarm->count, 0);
        for (int i = 0; i < 4; ++i) {
            const CVector d = swarm->members[i].target - swarm->centre;
            ASSERT_EQ(d.x * d.x + d.y * d.y + d.z * d.z, 0.0f) << frame;
        }
    }
}

// Behind the camera nothing moves: no wander, no bobbing, no member chase.
TEST_F(EnviroSwarmTest, OutOfViewItFreezes)
{
    GEnviroSwarm* swarm = Make(SwarmData(CVector(0.0f, -200.0f, 0.0f), 3));
    RunFrame();
    const CVector centre = swarm->centre, member = swarm->members[0].position, phase = swarm->bobblePhase;
    for (int frame = 0; frame < 20; ++frame)
        RunFrame();
    EXPECT_EQ(swarm->centre.x, centre.x);
    EXPECT_EQ(swarm->members[0].position.y, member.y);
    EXPECT_EQ(swarm->bobblePhase.z, phase.z);
    Recorded.clear();
    swarm->Render();
    EXPECT_EQ(Recorded, "");
    swarm->Position.y = 40.0f;
    RunFrame();
    EXPECT_NE(swarm->bobblePhase.z, phase.z);
}

TEST_F(EnviroSwarmTest, FollowersStayWithTheirParentAndTimeoutsExpire)
{
    TPlainResource resource;
    FillData unitData;
    unitData.Word("pResource", reinterpret_cast<unsigned long>(&resource));
    unitData.Float("Locator.Position.Y", 30.0f);
    GPhysical* unit = static_cast<GPhysical*>(GObject::Create(GPhysical::ClassId, HGOBJECT(0), unitData.Get()));
    FillData follow = SwarmData(CVector(0.0f, 0.0f, 0.0f), 2);
    follow.Int("Follow", 1).Float("FollowOfs.Z", 2.0f);
    GEnviroSwarm* follower = Make(follow, unit);
    EXPECT_EQ(follower->centre.y, 30.0f);
    unit->SetPos(CVector(3.0f, 35.0f, 0.0f));
    RunFrame();
    EXPECT_EQ(follower->Position.x, 3.0f);
    EXPECT_EQ(follower->Position.z, 2.0f);
    follower->SetParent(nullptr);
    RunFrame();
    EXPECT_FALSE(Alive(follower)) << "a follower without a parent goes";

    FillData brief = SwarmData(CVector(0.0f, 40.0f, 0.0f), 1);
    brief.Float("Timeout", 0.5f);
    FillData lasting = SwarmData(CVector(0.0f, 40.0f, 0.0f), 1);
    lasting.Float("Timeout", -1.0f);
    GEnviroSwarm* short_ = Make(brief);
    GEnviroSwarm* long_ = Make(lasting);
    int frames = 0;
    while (Alive(short_) && frames < 100) {
        RunFrame();
        ++frames;
    }
    EXPECT_GE(frames, 15);
    EXPECT_LE(frames, 16);
    EXPECT_TRUE(Alive(long_)) << "a timeout of 0 or less never expires";
}

} // namespace
