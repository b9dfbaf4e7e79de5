// A skeleton drawn by the frame: each node's resource draws with its node's matrix, the frame
// animates every render with an animator, and a render hung on an attach point follows it on
// screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <d3d9_fake_adapter.h>

#include "AnimationTestSupport.h"
#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CHierarchyAnimator.h"
#include "engine/render/CRendDynamicSkeleton.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/Camera.h"

namespace {

// Draws a square of 9 pixels in its colour where the workspace's node matrix puts its origin,
// the node matrix being in screen pixels here.
class NodeMarker : public CRendResource {
public:
    explicit NodeMarker(D3DCOLOR colour) : Colour(colour) {}
    void Render(CRender* render) override
    {
        CMatrix* matrix = nullptr;
        CRendWorkspace* workspace = render->GetWorkspace();
        if (!workspace || !workspace->Prepare(&matrix, nullptr) || !matrix)
            return;
        CRenderer::GetDevice().DrawScreenRect(matrix->m12 - 4, matrix->m13 - 4, matrix->m12 + 5, matrix->m13 + 5,
                                              Colour);
    }
    D3DCOLOR Colour;
};

class SkeletonDrawTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
        CHierarchyAnimator::ResetPoseCache();
    }
    void TearDown() override
    {
        ResetWorld();
        CRenderer::Shutdown();
        ResetTransformState();
        ObjectTest::TearDown();
    }
};

std::string Pixel(int x, int y, const char* colour)
{
    return std::to_string(x) + "," + std::to_string(y) + "=" + colour + "\n";
}

TEST_F(SkeletonDrawTest, AHungRenderFollowsItsAttachPointInScreenshotsOfAnAnimatedSkeleton)
{
    ScopedGameFolder game("skeleton_draw");
    CRenderer* renderer = CRenderer::Create();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->Init(nullptr, 0, 0), 0);
    CRenderDevice& device = CRenderer::GetDevice();
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 64, 0), 1.0f);

    // An arm of two nodes turning about z by a quarter turn a second, a hand point at its end.
    NodeMarker red(0xFFFF0000), green(0xFF00FF00), blue(0xFF0000FF);
    AnimSpec spec;
    spec.Channels = 2;
    spec.Rots = {Packed(0, 0, 0), 0, Packed(0, 0, 256), 0};
    spec.KeyTimes = {0.0f, 1.0f};
    TestAnimation turn(spec);
    TestSkeleton arm({{&red, {{CVector(0, 60, 0), "Elbow", 1}}}, {&green, {{CVector(0, 50, 0), "Hand", -1}}}},
                     turn.Get());
    turn->pSkeleton = arm.Get();
    CVector pos(320, 240, 0), rot(0, 0, 0);
    CRender render;
    render.Attach(&pos, &rot, nullptr, nullptr);
    render.Attach(arm.Get(), 0);
    ASSERT_NE(render.GetAnimator(), nullptr); // the default animation started
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    CVector childPos(0, 0, 0), childRot(0, 0, 0);
    CRender hand;
    hand.Attach(&childPos, &childRot, nullptr, nullptr);
    hand.Attach(&blue, 0);
    render.Attach(&hand, CCRC32("Hand"));

    // The frame animates the render: its first frame starts the clock, then half a second.
    auto shoot = [&](float dt) {
        CGameTimer::tFrameTime = dt;
        const int shot = device.GetScreenshotCount();
        device.SetScreenshotRequest(1);
        ++CRenderer::FrameNumber;
        render.Animate();
        renderer->RenderThis(&render, 1);
        device.SetScreenshotRequest(0);
        return game.Shot(shot);
    };
    const auto first = shoot(0.0f);
    EXPECT_EQ(ReadShotPixels(first, "320,240 320,300 320,350 242,318"),
              "640 480\n" + Pixel(320, 240, "FF0000") + Pixel(320, 300, "00FF00") + Pixel(320, 350, "0000FF") +
                  Pixel(242, 318, "000040"));
    const auto second = shoot(0.5f);
    // An eighth of a turn: the elbow at 60 and the hand at 110 pixels along the turned arm.
    const double s = std::sin(M_PI / 4), c = std::cos(M_PI / 4);
    const int ex = int(std::lround(320 - 60 * s)), ey = int(std::lround(240 + 60 * c));
    const int hx = int(std::lround(320 - 110 * s)), hy = int(std::lround(240 + 110 * c));
    char points[96];
    std::snprintf(points, sizeof points, "320,240 %d,%d %d,%d 320,350", ex, ey, hx, hy);
    EXPECT_EQ(ReadShotPixels(second, points), "640 480\n" + Pixel(320, 240, "FF0000") + Pixel(ex, ey, "00FF00") +
                                                  Pixel(hx, hy, "0000FF") + Pixel(320, 350, "000040"));
    render.Unlink();
}

// Counts the nodes the skeleton gives it to draw.
class NodeCounter : public CRendResource {
public:
    void Render(CRender* render) override
    {
        CMatrix* matrix = nullptr;
        if (render->GetWorkspace()->Prepare(&matrix, nullptr))
            ++Drawn;
    }
    int Drawn = 0;
};

TEST_F(SkeletonDrawTest, ASkeletonOutOfViewIsCulledWholeAndItsNodesAnswerNotVisible)
{
    CRenderer* renderer = CRenderer::Create();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->Init(nullptr, 0, 0), 0);
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 64, 0), 1.0f);
    // A camera at z 100 looking down at the origin.
    CMatrix camera;
    camera.LookAt(CVector(0, 0, 100), CVector(0, 0, 0), CVector(0, 1, 0));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(60.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);

    NodeCounter body, arm;
    TestSkeleton figure({{&body, {{CVector(0, 1, 0), "Arm", 1}}}, {&arm, {}}}, nullptr);
    CVector pos(0, 0, 0), rot(0, 0, 0);
    CRender render;
    render.Attach(&pos, &rot, nullptr, nullptr);
    render.Attach(figure.Get(), 0);
    render.Link();
    struct Case {
        CVector Place;
        float Radius;
        int Drawn;
    };
    // By a cull radius against the view, and with none by the screen box of its bounds (the
    // box of a skeleton without node sizes is its origin).
    const Case cases[] = {{CVector(0, 0, 0), 2.0f, 2}, {CVector(0, 0, 200), 2.0f, 0}, {CVector(400, 0, 0), 2.0f, 0},
                          {CVector(5, 5, 0), 0.0f, 2}, {CVector(0, 0, 150), 0.0f, 0}, {CVector(0, 900, 0), 0.0f, 0}};
    for (const Case& c : cases) {
        pos = c.Place;
        render.SetCullRadius(c.Radius);
        body.Drawn = arm.Drawn = 0;
        ++CRenderer::FrameNumber;
        renderer->RenderThis(&render, 1);
        EXPECT_EQ(body.Drawn + arm.Drawn, c.Drawn) << c.Place.x << "," << c.Place.y << "," << c.Place.z;
        CMatrix* matrix = nullptr;
        EXPECT_EQ(render.GetWorkspace()->Prepare(&matrix, nullptr), c.Drawn ? 1 : 0);
    }
    // Never culled: drawn wherever it is.
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    body.Drawn = arm.Drawn = 0;
    renderer->RenderThis(&render, 1);
    EXPECT_EQ(body.Drawn + arm.Drawn, 2);
    render.Unlink();
}

TEST_F(SkeletonDrawTest, TheFrameAnimatesDisplayedAndAnimatedRenders)
{
    CRenderer* renderer = CRenderer::Create();
    ASSERT_NE(renderer, nullptr);
    AnimSpec spec;
    spec.Positions = {CVector(0, 0, 0), CVector(4, 0, 0)};
    TestAnimation slide(spec);
    PoseRecorder shown, hung;
    CRender a, b, idle;
    a.SetResource(&shown);
    b.SetResource(&hung);
    a.Attach(slide.Get(), nullptr, 1.0f, 0);
    b.Attach(slide.Get(), nullptr, 1.0f, 0);
    a.Link();
    b.LinkAnimated();
    idle.Link();
    CGameTimer::tFrameTime = 0.25f;
    renderer->Process();
    renderer->Process();
    EXPECT_EQ(CRenderer::FrameNumber, renderer->GetRollingCount());
    EXPECT_EQ(shown.Poses, 2);
    EXPECT_EQ(hung.Poses, 2);
    EXPECT_FLOAT_EQ(shown.Position.x, 1.0f);
    a.Unlink();
    b.Unlink();
    idle.Unlink();
    a.SetResource(nullptr);
    b.SetResource(nullptr);
}

} // namespace
