// The renderer object and its frame on the software device: the layer table, render settings
// and display modes, re-plotting moved renders, and a drawn frame whose screenshot an
// independent reader checks, a world point's pixel against World2Screen among others.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <d3d9_fake_adapter.h>

#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/zel/CZelFixupManager.h"

namespace fs = std::filesystem;

namespace {

// A square of 2 units around the model origin, drawn in world space; counts its re-plots
// (the tree asks a resource for its size each time it plots a render).
class QuadResource : public CRendResource {
public:
    void Render(CRender* render) override
    {
        CMatrix at;
        at.SetIdentity();
        at.m12 = render->GetPos()->x;
        at.m13 = render->GetPos()->y;
        at.m14 = render->GetPos()->z;
        PushMultMatrix(at);
        CRenderer::GetDevice().DrawWorldQuad(CVector(0, 0, 0), 1.0f, 0xFFFF0000);
        PopMatrix();
    }
    int GetSize(CVector& min, CVector& max) override
    {
        ++Plots;
        min = CVector(-1, -1, 0);
        max = CVector(1, 1, 0);
        return 1;
    }
    int Plots = 0;
};

class RendererTest : public ObjectTest {
protected:
    void SetUp() override
    {
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
        renderer = CRenderer::Create();
        ASSERT_NE(renderer, nullptr);
    }
    void TearDown() override
    {
        ResetWorld();
        CRenderer::Shutdown();
        ResetTransformState();
    }
    CRenderer* renderer = nullptr;
};

TEST_F(RendererTest, LayerTable)
{
    const fRECT full = {0, 0, 1, 1};
    renderer->ConfigureLayers(4);
    RenderLayer* last = CRenderer::GetDevice().GetLayer(3);
    EXPECT_EQ(last->Flags, DWORD(RenderLayer::LAST));
    renderer->DefineLayer(3, RenderLayer::ENABLED, {0.25f, 0.5f, 0.75f, 1.0f}, CVector4(1.4f, 2.6f, 255, 9), 0.5f);
    EXPECT_EQ(last->Flags, DWORD(RenderLayer::ENABLED | RenderLayer::LAST));
    EXPECT_EQ(last->ClearColour, 0x0103FFUL);
    EXPECT_EQ(last->Left, 0.25f);
    EXPECT_EQ(last->Top, 0.5f);
    EXPECT_EQ(last->Right, 0.75f);
    renderer->DefineLayer(1, 0, full, CVector4(0, 0, 0, 0), 1.0f);
    EXPECT_EQ(CRenderer::GetDevice().GetLayer(1)->Flags, 0UL);

    renderer->DefineLayerResourceAlias(1, 3);
    renderer->DefineLayerResourceAlias(2, 9); // not a layer: ignored
    EXPECT_EQ(renderer->GetLayerResourceAlias(1), 3);
    EXPECT_EQ(renderer->GetLayerResourceAlias(2), 2);
    EXPECT_EQ(renderer->GetLayerResourceAlias(7), 7);
    int type = 0;
    CVector4 colour;
    EXPECT_EQ(renderer->GetLayerPreEffect(2, type, colour), 1);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(renderer->GetLayerPostEffect(4, type, colour), 0);
    renderer->EnableLayer(9, 1);
    EXPECT_EQ(renderer->LayerIsEnabled(9), 0);
    renderer->EnableLayer(2, 1);
    EXPECT_EQ(renderer->LayerIsEnabled(2), 1);
    // A single-render draw on a viewport above the layer count draws nothing and does not fail.
    CRender render;
    render.SetViewport(6);
    renderer->RenderThis(&render, 0);
}

TEST_F(RendererTest, SettingsAndDisplayModes)
{
    unsigned long supported = 0, active = 0;
    renderer->GetRenderSettings(supported, active);
    EXPECT_EQ(supported, 1021UL);
    EXPECT_EQ(active, 0x3F1UL);
    EXPECT_EQ(CRenderer::GetRenderMask(), 0x3F1UL | ~0x1C0UL);
    renderer->SetRenderSettings(0x0C);
    renderer->GetRenderSettings(supported, active);
    EXPECT_EQ(active, 0x08UL | 0x01UL); // only the highest of 0x10, 0x08, 0x04 both hold
    EXPECT_EQ(renderer->SetBackgroundColour(0x123456), 0xFF123456UL);

    RenderConfigState out = {};
    EXPECT_FALSE(renderer->FindRenderConfigState(out, 640, 480, 32));
    RenderConfigState modes[] = {
        {640, 480, 32, 1, 0, 0, 0, D3DFMT_X8R8G8B8, D3DFMT_D16, 0},
        {640, 480, 32, 1, 0, 0, 5, D3DFMT_X8R8G8B8, D3DFMT_D24S8, 0},
        {640, 480, 32, 1, 0, 0, 5, D3DFMT_A8R8G8B8, D3DFMT_D24X8, 0},
        {800, 600, 32, 1, 0, 0, 9, D3DFMT_X8R8G8B8, D3DFMT_D24S8, 0},
    };
    renderer->AddRenderConfigState(modes[0]);
    EXPECT_FALSE(renderer->FindRenderConfigState(out, 640, 480, 32)); // rank 0 never qualifies
    for (int i = 1; i < 4; ++i)
        renderer->AddRenderConfigState(modes[i]);
    for (int i = 0; i < 40; ++i) // beyond one pool page
        renderer->AddRenderConfigState(modes[0]);
    EXPECT_EQ(renderer->CountConfigStates(), 44);
    ASSERT_TRUE(renderer->FindRenderConfigState(out, 640, 480, 32));
    EXPECT_EQ(out.DepthFormat, D3DFMT_D24S8); // the first of equal ranks
}

// The renderer unlinks every render when it goes; none may stay in the scene tree, where a
// render destroyed later would leave a dangling entry.
TEST_F(RendererTest, DestroyedRendererLeavesNoRenderInTheTree)
{
    CVector pos(50, 50, 0);
    auto* render = new CRender;
    render->Attach(&pos, nullptr, nullptr, nullptr);
    render->Link();
    ASSERT_NE(render->GetTreeNode(), nullptr);
    renderer->Destroy();
    ResetWorld();
    EXPECT_EQ(render->GetTreeNode(), nullptr);
    EXPECT_EQ(render->IsLinked(), 0);
    delete render;
    renderer = CRenderer::Create();
}

TEST_F(RendererTest, SortRendersIsStableByMergedPriority)
{
    CRender renders[4];
    const unsigned short priorities[4] = {5, 1, 5, 0x8000};
    for (int i = 3; i >= 0; --i) { // linked newest first: the list starts at renders[0]
        renders[i].SetPriority(priorities[i]);
        renders[i].Link();
    }
    CRenderer::SortRenders();
    const CRender* expected[4] = {&renders[1], &renders[0], &renders[2], &renders[3]};
    const CRender* r = CRender::FirstRender.GetListNext();
    for (const CRender* e : expected) {
        EXPECT_EQ(r, e);
        r = r ? r->GetListNext() : nullptr;
    }
    EXPECT_EQ(r, nullptr);
    for (CRender& each : renders)
        each.Unlink();
}

TEST_F(RendererTest, ReplotsOnlyRendersThatMovedMoreThanOneUnit)
{
    QuadResource quad;
    struct Case {
        CVector move;
        int plots;
    } cases[] = {{CVector(0, 0, 0), 0},
                 {CVector(1.0f, 0, 0), 0},
                 {CVector(0, -1.0f, 0), 0},
                 {CVector(0, 0, 1.0001f), 1},
                 {CVector(1.5f, 0, 0), 1}};
    for (const Case& c : cases) {
        CVector pos(50, 50, 0);
        CRender render;
        render.Attach(&pos, nullptr, nullptr, nullptr);
        render.Attach(&quad, 0);
        render.Link();
        quad.Plots = 0;
        pos += c.move;
        renderer->Process();
        EXPECT_EQ(quad.Plots, c.plots) << c.move.x << "," << c.move.y << "," << c.move.z;
        render.Unlink();
    }
}

// A frame with no layer draws and presents nothing; a render of viewport 3 is drawn in every
// layer showing viewport 3, uncullled, and in no other.
TEST_F(RendererTest, LayersShowTheirResourceViewports)
{
    ScopedGameFolder game("renderer_layers");
    renderer->Init(nullptr, 0, 0);
    struct Counting : CRendResource {
        void Render(CRender*) override { ++Draws; }
        int Draws = 0;
    } counting;
    CVector pos(-500, -500, -500);
    CRender render;
    render.Attach(&pos, nullptr, nullptr, nullptr);
    render.Attach(&counting, 0);
    render.SetViewport(3);
    render.Link();
    renderer->Process();
    EXPECT_EQ(counting.Draws, 0);
    renderer->ConfigureLayers(5);
    const fRECT full = {0, 0, 1, 1};
    for (int i : {0, 1, 3, 4})
        renderer->DefineLayer(i, RenderLayer::ENABLED, full, CVector4(0, 0, 0, 0), 1.0f);
    renderer->DefineLayerResourceAlias(1, 3);
    renderer->EnableLayer(4, 0);
    renderer->Process();
    EXPECT_EQ(counting.Draws, 2); // layers 1 and 3
    render.Unlink();
}

// The tree builder waits its frames, then fits the tree to the displayed renders and goes.
TEST_F(RendererTest, TreeBuilderRebuildsAfterItsFrames)
{
    struct Sized : CRendResource {
        int GetSize(CVector& min, CVector& max) override
        {
            min = CVector(-1, -1, -1);
            max = CVector(1, 1, 1);
            return 1;
        }
    } sized;
    CVector a(300, 300, 0), b(310, 320, 4);
    CRender ra, rb;
    for (auto [render, pos] : {std::pair{&ra, &a}, std::pair{&rb, &b}}) {
        render->Attach(pos, nullptr, nullptr, nullptr);
        render->Attach(&sized, 0);
        render->Link();
    }
    // Both lie outside the tree built at construction.
    EXPECT_EQ(ra.GetTreeNode(), rb.GetTreeNode());
    GOctTreeBuilder* builder = GOctTreeBuilder::Create();
    ASSERT_NE(builder, nullptr);
    builder->FrameCount = 1;
    RunFrame(0.0f);
    EXPECT_EQ(COctTree::GetRoot()->Centre, CVector(52, 76.5f, 87.5f));
    RunFrame(0.0f);
    EXPECT_EQ(COctTree::GetRoot()->Centre, CVector(305, 310, 2));
    EXPECT_NE(ra.GetTreeNode(), rb.GetTreeNode());
    ra.Unlink();
    rb.Unlink();
}

// A frame of two layers: layer 0 clears to a colour and draws the culled world of viewport 0,
// layer 1 shows viewport 7's overlay in the right half of the screen. The screenshot lands
// beside the data folder, which without a "zel" folder is the working folder's parent.
TEST_F(RendererTest, FrameDrawsLayersAndWorldPointsWhereWorld2ScreenSays)
{
    ScopedGameFolder game("renderer_frame");
    renderer->Init(nullptr, 0, 0);
    renderer->ConfigureLayers(2);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 128, 0), 1.0f);
    renderer->DefineLayer(1, RenderLayer::CLEAR_COLOUR | RenderLayer::ENABLED, {0.5f, 0, 1, 1}, CVector4(0, 96, 0, 0),
                          1.0f);
    renderer->DefineLayerResourceAlias(1, 1);

    CMatrix camera;
    camera.LookAt(CVector(50, -40, 60), CVector(50, 60, 0), CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(50.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);

    QuadResource quad;
    CVector places[3] = {CVector(30, 40, 0), CVector(45, 80, 10), CVector(50, -200, 0)}; // the last is behind
    CRender worlds[3];
    for (int i = 0; i < 3; ++i) {
        worlds[i].Attach(&places[i], nullptr, nullptr, nullptr);
        worlds[i].Attach(&quad, 0);
        worlds[i].Link();
    }
    CVector from(20, 100, 0), to(60, 140, 0);
    CVector4 green(0, 1, 0, 1);
    CRender overlay;
    overlay.Attach(&from, &to, &green, nullptr);
    overlay.Attach(static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("RendRectangle"))), 0);
    overlay.SetViewport(1);
    overlay.Link();

    const int number = CRenderer::GetDevice().GetScreenshotCount();
    CRenderer::GetDevice().SetScreenshotRequest(1);
    renderer->Process();
    CRenderer::GetDevice().SetScreenshotRequest(0);
    for (CRender* r : {&worlds[0], &worlds[1], &worlds[2], &overlay})
        r->Unlink();

    const fs::path shot = game.Shot(number);
    ASSERT_TRUE(fs::exists(shot)) << shot;
    float invW = 0;
    const CVector a = World2Screen(0, places[0], invW);
    const CVector b = World2Screen(0, places[1], invW);
    ASSERT_LT(a.x, 300.0f);
    ASSERT_LT(b.x, 300.0f);
    char points[160];
    // Quad centres, the clear colour of layer 0 at the top left, layer 1's clear, and the
    // rectangle 20..60 x 100..140 inside layer 1, which starts at x = 320.
    std::snprintf(points, sizeof points, "%d,%d %d,%d 5,5 600,20 %d,%d", int(a.x), int(a.y), int(b.x), int(b.y),
                  320 + 40, 120);
    const std::string out = ReadShotPixels(shot, points);
    std::string expected = "640 480\n";
    expected += std::to_string(int(a.x)) + "," + std::to_string(int(a.y)) + "=FF0000\n";
    expected += std::to_string(int(b.x)) + "," + std::to_string(int(b.y)) + "=FF0000\n";
    expected += "5,5=000080\n600,20=006000\n360,120=00FF00\n";
    EXPECT_EQ(out, expected);
}

} // namespace
