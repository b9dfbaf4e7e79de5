// Skeletons from packed data written by the fixture writer: node matrices and attach points of
// an animated three-node skeleton against an independent reckoning in Python, damaged records,
// hung renders, the cached pose and pose animations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

#include <mg_win32.h>

#include "AnimationTestSupport.h"
#include "ZelTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CHierarchyAnimator.h"
#include "engine/render/CRendDynamicSkeleton.h"
#include "engine/render/CRendStaticSkeleton.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"

namespace {

template <class T> T* Exported(const char* name)
{
    return static_cast<T*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

void CaptureDebug(const char* text, void* user) { *static_cast<std::string*>(user) += text; }

class SkeletonTest : public ZelLoadTest {
protected:
    void SetUp() override
    {
        ZelLoadTest::SetUp();
        CHierarchyAnimator::ResetPoseCache();
        CRenderer::FrameNumber = 1000;
        ASSERT_EQ(file.Load("anim.zel"), 0);
        skeleton = Exported<CRendStaticSkeleton>("Skel3");
        ASSERT_NE(skeleton, nullptr);
        render.Attach(&renderPos, &renderRot, nullptr, nullptr);
    }
    void TearDown() override
    {
        render.Attach(static_cast<CRendResource*>(nullptr), 0);
        ZelLoadTest::TearDown();
    }
    void Frame(float dt)
    {
        ++CRenderer::FrameNumber;
        CGameTimer::tFrameTime = dt;
        render.Animate();
    }
    CRendDynamicSkeleton* Dynamic() { return static_cast<CRendDynamicSkeleton*>(render.GetResource()); }

    CZelFile file;
    CRendStaticSkeleton* skeleton = nullptr;
    CVector renderPos{1.0f, 2.0f, 3.0f};
    CVector renderRot{0.1f, 0.2f, 0.3f};
    CRender render;
};

TEST_F(SkeletonTest, NodeMatricesAndAttachPointsOfBlendedAndOverlaidAnimationsMatchAnIndependentReckoning)
{
    render.Attach(skeleton, 0);
    ASSERT_EQ(render.GetNodeCount(), 3);
    EXPECT_EQ(render.GetAnimator(), nullptr); // the stored skeleton has no default animation
    EXPECT_EQ(render.GetAttachPointCount(), 4);
    EXPECT_EQ(render.GetAttachPointCRC(3), CCRC32::GetCRC("Tip"));

    // The schedule the reckoning replays: a cut, a half-second cross-fade, a half-weight overlay.
    render.Attach(Exported<CAnimation>("Walk"), nullptr, 1.0f, 0);
    for (int i = 0; i < 4; ++i)
        Frame(0.1f);
    render.Attach(Exported<CAnimation>("Wave"), nullptr, 1.0f, 0);
    for (int i = 0; i < 2; ++i)
        Frame(0.1f);
    unsigned long id = 0;
    render.AttachOverlay(Exported<CAnimation>("Nod"), 1.0f, nullptr, 0.5f, &id, false);
    EXPECT_NE(id, 0u);
    for (int i = 0; i < 2; ++i)
        Frame(0.1f);

    const std::string dump =
        (std::filesystem::temp_directory_path() / ("skeleton_" + std::to_string(getpid()))).string();
    {
        std::ofstream out(dump);
        out.precision(9);
        auto vec = [&](const char* name, const CVector& v) {
            out << name << " " << v.x << " " << v.y << " " << v.z << "\n";
        };
        vec("render_pos", renderPos);
        vec("render_rot", renderRot);
        int found = 0;
        CMatrix at;
        vec("Tip", render.GetAttachPoint(CCRC32("Tip"), found, &at));
        EXPECT_EQ(found, 1);
        vec("Head", render.GetAttachPoint(CCRC32("Head"), found, nullptr));
        vec("index0", render.GetAttachPoint(0, found, nullptr));
        for (int n = 0; n < 3; ++n) {
            out << "node" << n;
            for (float f : Dynamic()->GetNode(n).Matrix.m)
                out << " " << f;
            out << "\n";
        }
        // The matrix handed back with a named point is its node's, with the point as translation.
        EXPECT_EQ(at.m0, Dynamic()->GetNode(2).Matrix.m0);
    }
    const std::string result =
        RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/render/animfix.py check " + dump);
    EXPECT_NE(result.find("checked 6 values, 0 differ"), std::string::npos) << result;
    std::remove(dump.c_str());
}

// The demo's figure as the converter wrote it from its generated LightWave scene: the engine
// plays the skeleton's own animation, and its nodes and attach points are reckoned from the
// scene alone.
TEST_F(SkeletonTest, AConvertedSkeletonPlaysItsAnimationAsTheSceneDescribes)
{
    CZelFile figure;
    ASSERT_EQ(figure.Load("demo/figure.zel"), 0);
    CVector pos(1.0f, 2.0f, 3.0f), rot(0.1f, 0.2f, 0.3f);
    CRender player;
    player.Attach(&pos, &rot, nullptr, nullptr);
    player.Attach(Exported<CRendStaticSkeleton>("Figure"), 0);
    ASSERT_NE(player.GetAnimator(), nullptr); // its default animation started
    ASSERT_EQ(player.GetNodeCount(), 3);
    // Between two sampled frames, before the step event.
    const int frames = 6;
    const float dt = 0.07f;
    for (int i = 0; i < frames; ++i) {
        ++CRenderer::FrameNumber;
        CGameTimer::tFrameTime = i == 0 ? 0.0f : dt;
        player.Animate();
    }
    const std::string dump =
        (std::filesystem::temp_directory_path() / ("converted_" + std::to_string(getpid()))).string();
    {
        std::ofstream out(dump);
        out.precision(9);
        out << "render_pos " << pos.x << " " << pos.y << " " << pos.z << "\n";
        out << "render_rot " << rot.x << " " << rot.y << " " << rot.z << "\n";
        out << "frames " << frames << " " << dt << "\n";
        CRendDynamicSkeleton* dynamic = static_cast<CRendDynamicSkeleton*>(player.GetResource());
        dynamic->UpdatePose();
        for (int n = 0; n < player.GetNodeCount(); ++n) {
            out << "node" << n;
            for (float f : dynamic->GetNode(n).Matrix.m)
                out << " " << f;
            out << "\n";
        }
        for (int i = 0; i < player.GetAttachPointCount(); ++i) {
            // By name: an index counts only the first node's points.
            int found = 0;
            const unsigned long key = player.GetAttachPointCRC(i);
            const CVector at = player.GetAttachPoint(CCRC32(key), found, nullptr);
            EXPECT_EQ(found, 1);
            out << "point " << i << " " << key << " " << at.x << " " << at.y << " " << at.z << "\n";
        }
    }
    const std::string result =
        RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/render/converted_pose.py " + ZEL_FIXTURE_DIR +
                   "/demo/figure.lws " + dump);
    EXPECT_NE(result.find("checked 7 values, 0 differ"), std::string::npos) << result;
    std::remove(dump.c_str());
    player.Attach(static_cast<CRendResource*>(nullptr), 0);
}

TEST_F(SkeletonTest, DamagedAnimationAndSkeletonRecordsAreRefusedWithAMessage)
{
    std::string log;
    MgSetDebugOutputSink(CaptureDebug, &log);
    CZelFile bad;
    const int loaded = bad.Load("animbad.zel");
    MgSetDebugOutputSink(nullptr, nullptr);
    ASSERT_EQ(loaded, 0);
    const char* expected[] = {"its keys run past the packed data", "its keys are too short for its channels",
                              "more than 32 channels", "a child link points outside its nodes",
                              "its trigger list has no end inside the packed data"};
    for (const char* why : expected)
        EXPECT_NE(log.find(why), std::string::npos) << why << "\n" << log;
    EXPECT_NE(log.find("animbad.zel"), std::string::npos) << log;
    for (const char* name : {"TooManyKeys", "ShortKeys", "WideChannels", "EndlessTriggers"})
        EXPECT_FALSE(Exported<CHierarchyAnimation>(name)->IsPlayable()) << name;

    // A refused animation plays nothing; a refused skeleton shows nothing.
    PoseRecorder recorder;
    render.SetResource(&recorder);
    render.Attach(Exported<CAnimation>("TooManyKeys"), nullptr, 1.0f, 0);
    Frame(0.0f);
    Frame(0.1f);
    EXPECT_EQ(recorder.Poses, 0);
    render.SetResource(nullptr);
    render.KillAnimation();
    render.Attach(Exported<CRendStaticSkeleton>("StraySkeleton"), 0);
    EXPECT_EQ(render.GetWorkspace(), nullptr);
    EXPECT_EQ(render.GetNodeCount(), 0);
}

// A skeleton is shown by calling into its nodes' resources and its animation: when damage points
// one at a record left unbuilt, it is refused when shown, and stays refused for the questions
// the render asks after (collision data, resource) that follow the same pointers.
TEST_F(SkeletonTest, ASkeletonPointingAtAnUnbuiltRecordIsRefusedWhenShown)
{
    CZelFile bad;
    ASSERT_EQ(bad.Load("animbad.zel"), 0);
    const struct {
        const char* label;
        const char* why;
    } cases[] = {{"UnbuiltNodeResource", "a node's resource is not a render resource record"},
                 {"UnbuiltAnimation", "its animation is not an animation record"}};
    for (const auto& c : cases) {
        std::string log;
        MgSetDebugOutputSink(CaptureDebug, &log);
        render.Attach(Exported<CRendStaticSkeleton>(c.label), 0);
        MgSetDebugOutputSink(nullptr, nullptr);
        EXPECT_NE(log.find(c.why), std::string::npos) << c.label << "\n" << log;
        EXPECT_NE(log.find("animbad.zel"), std::string::npos) << log;
        EXPECT_EQ(render.GetWorkspace(), nullptr) << c.label;
        EXPECT_EQ(Exported<CRendStaticSkeleton>(c.label)->GetCollisionData(), nullptr) << c.label;
        EXPECT_EQ(Exported<CRendStaticSkeleton>(c.label)->GetResource(&render), nullptr) << c.label;
        render.Attach(static_cast<CRendResource*>(nullptr), 0);
    }
}

TEST_F(SkeletonTest, AnUnknownAttachKeyEndsTheProgramWithItsMessage)
{
    render.Attach(skeleton, 0);
    CRender child;
    EXPECT_EXIT(render.Attach(&child, CCRC32("NoSuchPoint")), ::testing::ExitedWithCode(3),
                "no matching attach point was found");
    // Index lookups past the end only report not found.
    int found = 1;
    EXPECT_EQ(&render.GetAttachPoint(7, found, nullptr), &NullVector);
    EXPECT_EQ(found, 0);
}

TEST_F(SkeletonTest, AHungRenderFollowsItsPointAndKeepsItsWorldPlaceWhenDetached)
{
    render.Attach(skeleton, 0);
    render.Attach(Exported<CAnimation>("Walk"), nullptr, 1.0f, 0);
    Frame(0.0f);
    Frame(0.3f);
    CVector childPos(0, 0, 0), childRot(0, 0, 0);
    CRender child;
    child.Attach(&childPos, &childRot, nullptr, nullptr);
    child.Attach(Exported<CRendResource>("RendRectangle"), 0);
    render.Attach(&child, CCRC32("Tip"));
    EXPECT_EQ(child.GetFlags() & CRender::FLAG_ANIMATED, unsigned(CRender::FLAG_ANIMATED));
    ASSERT_EQ(child.GetNodeCount(), 1); // wrapped into a one-node skeleton
    int found = 0;
    for (int step = 0; step < 3; ++step) {
        Frame(0.1f);
        const CVector tip = render.GetAttachPoint(CCRC32("Tip"), found, nullptr);
        CVector node;
        child.GetNodePos(0, node);
        EXPECT_NEAR(node.x, tip.x, 1e-5);
        EXPECT_NEAR(node.y, tip.y, 1e-5);
        EXPECT_NEAR(node.z, tip.z, 1e-5);
        EXPECT_EQ(child.GetResource()->GetRootRender(&child), &render);
    }
    const CVector tip = render.GetAttachPoint(CCRC32("Tip"), found, nullptr);
    render.Detach(CCRC32("Tip"), 1);
    EXPECT_NEAR(childPos.x, tip.x, 1e-5);
    EXPECT_NEAR(childPos.y, tip.y, 1e-5);
    EXPECT_NEAR(childPos.z, tip.z, 1e-5);
    EXPECT_EQ(child.GetFlags() & CRender::FLAG_ANIMATED, 0u);
    EXPECT_EQ(child.GetResource()->GetRootRender(&child), &child);
    // Standing alone, its own placement puts it where it was.
    CVector node;
    child.GetNodePos(0, node);
    EXPECT_NEAR(node.x, tip.x, 1e-4);
    EXPECT_NEAR(node.y, tip.y, 1e-4);
    EXPECT_NEAR(node.z, tip.z, 1e-4);
}

TEST_F(SkeletonTest, AnAttachPointReadAfterAFlagTriggerShowsThePoseAtTheTrigger)
{
    render.Attach(skeleton, 0);
    AnimSpec spec;
    spec.Channels = 3;
    spec.Rots = {Packed(0, 0, 0), 0, 0, Packed(0, 0, 256), 0, 0};
    spec.Triggers = {Trigger{0.25f, 1, Trigger::SET_ANIMATION_FLAG, 0}};
    spec.Skeleton = skeleton;
    TestAnimation turn(spec);
    int flag = 0;
    renderRot = CVector(0, 0, 0);
    renderPos = CVector(0, 0, 0);
    render.Attach(turn.Get(), &flag, 1.0f, 0);
    Frame(0.0f);
    Frame(0.5f);
    ASSERT_EQ(flag, 1);
    // The frame ends a quarter-turn's half on; the trigger came at a quarter of it.
    int found = 0;
    const CVector head = render.GetAttachPoint(CCRC32("Head"), found, nullptr);
    const double a = 2 * M_PI / 16; // 64 units of 1024
    EXPECT_NEAR(head.x, 0.5 * std::cos(a), 1e-4);
    EXPECT_NEAR(head.y, 0.5 * std::sin(a), 1e-4);
    // Asked again in the same frame, the pose stays.
    const CVector again = render.GetAttachPoint(CCRC32("Head"), found, nullptr);
    EXPECT_EQ(again.x, head.x);
    // The next frame evaluates the animator's latest pose.
    Frame(0.0f);
    const CVector later = render.GetAttachPoint(CCRC32("Head"), found, nullptr);
    EXPECT_NEAR(later.x, 0.5 * std::cos(2 * a), 1e-4);
}

TEST_F(SkeletonTest, APoseAnimationPacksTheCurrentPose)
{
    render.Attach(skeleton, 0);
    const CVector rots[32] = {CVector(0.5f, -0.25f, 1.0f), CVector(0.0f, 0.1f, 0.0f), CVector(3.0f, 0.0f, -3.0f)};
    render.GetResource()->ApplyAnimation(CVector(1, 2, 3), rots, nullptr);
    CRendResource* skeletonOut = nullptr;
    CHierarchyAnimation* pose =
        static_cast<CHierarchyAnimation*>(CRenderer::CreateAnimation(render.GetResource(), skeletonOut, 0.7f));
    ASSERT_NE(pose, nullptr);
    EXPECT_EQ(skeletonOut, skeleton);
    EXPECT_EQ(pose->NumChannels, 3);
    EXPECT_EQ(pose->ActiveChannels, 7u);
    EXPECT_EQ(pose->NoKeys, 1u);
    EXPECT_EQ(pose->EndTime, 0.01f);
    EXPECT_EQ(pose->Weights[2], 0.7f);
    EXPECT_EQ(pose->Key(0)->Position.z, 3.0f);
    EXPECT_EQ(pose->Key(0)->Rots[0], Packed(81, 984, 162));
    EXPECT_EQ(pose->Key(0)->Rots[1], Packed(0, 16, 0));
    EXPECT_EQ(pose->Key(0)->Rots[2], Packed(488, 0, 536));
    // Played back, it gives the pose (to a tenth of a packed step).
    render.Attach(pose, nullptr, 1.0f, 0);
    Frame(0.0f);
    int found;
    render.GetAttachPoint(-1, found, nullptr);
    EXPECT_NEAR(Dynamic()->GetNode(0).Rotation.x, 81 * 2 * M_PI / 1024, 1e-5);
    render.KillAnimation();
    pose->FreeAnimation();
}

} // namespace
