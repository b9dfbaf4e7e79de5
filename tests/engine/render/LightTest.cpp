// Light handles and pools, the frame light table, the light partition tree and its light sets,
// a light set lighting a mesh as the Lambert formula says, and the light report overlay.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <d3d9_fake_adapter.h>

#include "ObjectTestSupport.h"
#include "engine/devices/CDirectInput.h"
#include "RenderTestSupport.h"
#include "engine/render/CLightTree.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/LightHandles.h"

namespace {

// Lights made for one test and released after it.
class LightTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTransformState(); }
    void TearDown() override
    {
        for (unsigned long& h : Handles)
            LightHandleRelease(h);
        RebuildFrameLightTable(0, true);
        CLightTree::The().Free();
    }
    unsigned long Point(float x, float y, float radius, unsigned long name = 0, int priority = 0)
    {
        unsigned long h = Add(LightRecord::TYPE_POINT);
        LightSetPosition(CVector(x, y, 0));
        LightSetRadius(radius);
        LightSetName(name);
        LightSetPriority(priority);
        return h;
    }
    unsigned long Add(int type)
    {
        Handles.push_back(LightHandleAquire());
        unsigned long& h = Handles.back();
        LightHandleSelect(h);
        LightSetType(type);
        LightSetCull(false);
        LightEnable(h, true);
        return h;
    }
    const CLightTree& Build(unsigned long flags = 0x0C)
    {
        RebuildFrameLightTable(flags, true);
        const int aliases[8] = {0, 1, 2, 3, 4, 5, 6, 7};
        CLightTree::The().Build(aliases, flags);
        return CLightTree::The();
    }
    std::vector<unsigned long> Handles;
};

TEST_F(LightTest, HandlesComeFromTheStaticBlockThenThePages)
{
    for (int i = 0; i < 33; ++i)
        Handles.push_back(LightHandleAquire());
    const LightRecord* first = reinterpret_cast<const LightRecord*>(Handles[0]);
    const LightRecord* last = reinterpret_cast<const LightRecord*>(Handles[32]);
    EXPECT_TRUE(last < first || last >= first + 32); // the 33rd is on a page of its own
    EXPECT_EQ(first->Diffuse, CVector(255, 255, 255));
    EXPECT_EQ(first->Intensity, 1.0f);
    EXPECT_EQ(first->Type, 0);
    EXPECT_FALSE(LightIsEnabled(Handles[0]));
    EXPECT_EQ(CountLightPages(), 9);
    const unsigned long released = Handles[5];
    LightHandleRelease(Handles[5]);
    EXPECT_EQ(Handles[5], 0UL);
    Handles[5] = LightHandleAquire();
    EXPECT_EQ(Handles[5], released);
    unsigned long none = 0;
    LightHandleRelease(none);
    LightEnable(none, true);
    EXPECT_FALSE(LightIsEnabled(none));
    // Not in the frame table until enabled and given a type.
    RebuildFrameLightTable(0x0C, true);
    EXPECT_EQ(GetFrameLightCount(), 0);
}

TEST_F(LightTest, FrameTableTakesEnabledVisibleLightsTheFlagsAllow)
{
    const unsigned long sun = Add(LightRecord::TYPE_DIRECTIONAL);
    LightSetDiffuse(CVector(100, 50, 25));
    LightSetIntensity(2.0f);
    unsigned long point = Add(LightRecord::TYPE_POINT);
    EXPECT_TRUE(reinterpret_cast<LightRecord*>(point)->Flags & LightRecord::FLAG_CULL);
    unsigned long far = Add(LightRecord::TYPE_POINT);
    LightSetCull(true);
    LightSetPosition(CVector(1000, 1000, 1000));
    LightSetRadius(1.0f);
    unsigned long spot = Add(LightRecord::TYPE_SPOT);
    LightSetArpeture(0.0f);
    Add(LightRecord::TYPE_FOG);

    RebuildFrameLightTable(0, true); // no point lights, no fog
    ASSERT_EQ(GetFrameLightCount(), 1);
    EXPECT_EQ(GetFrameLight(0)->ScaledDiffuse, CVector(200, 100, 50));
    EXPECT_FLOAT_EQ(GetFrameLight(0)->pDevice->Diffuse.x, 200 / 255.0f);
    RebuildFrameLightTable(0x0C, true);
    EXPECT_EQ(GetFrameLightCount(), 4); // the culled point light is outside the frustum
    EXPECT_EQ(reinterpret_cast<LightRecord*>(spot)->pDevice->InverseAperture, 0.0f);
    (void)far;

    // Colours set without selecting the light again wait for its changed bit.
    unsigned long h = sun;
    LightHandleSelect(h);
    LightSetDiffuse(CVector(10, 10, 10));
    RebuildFrameLightTable(0, true);
    EXPECT_EQ(reinterpret_cast<LightRecord*>(sun)->ScaledDiffuse, CVector(20, 20, 20));
    LightSetDiffuse(CVector(30, 30, 30));
    RebuildFrameLightTable(0, true);
    EXPECT_EQ(reinterpret_cast<LightRecord*>(sun)->ScaledDiffuse, CVector(20, 20, 20));
    LightEnable(point, false);
}

TEST_F(LightTest, FewPointLightsMakeOneLeafAndLayersOutsideGetTheDefaultSet)
{
    for (int i = 0; i < 4; ++i)
        Point(float(i) * 3, 0, 5);
    const CLightTree& tree = Build();
    EXPECT_EQ(tree.GetRoot(0)->Kind, unsigned(CLightTree::LEAF_FEW));
    const CLightSet* set = tree.FindLightSet(0, CVector(1, 1, 0));
    EXPECT_EQ(set->PointCount, 4);
    EXPECT_EQ(set->RegisterCount, 27);
    EXPECT_EQ(tree.FindLightSet(9, CVector(0, 0, 0)), &tree.GetDefaultSet());
    EXPECT_EQ(tree.FindLightSet(1, CVector(0, 0, 0))->PointCount, 0);
}

TEST_F(LightTest, ClustersSplitWhereTheCountsAreMostEven)
{
    // Two lights far to the left, six spread upwards on the right.
    Point(-100, 0, 2);
    Point(-100, 50, 2);
    for (int i = 0; i < 6; ++i)
        Point(100, float(i) * 20, 2);
    const CLightTree& tree = Build();
    const CLightTree::Node* root = tree.GetRoot(0);
    EXPECT_EQ(root->Kind, unsigned(CLightTree::SPLIT_CLUSTERS));
    // On y the clusters split 3 to 5 or better; on x 2 to 6: y wins.
    EXPECT_EQ(root->OnX, 0);
    int total = 0;
    for (float y : {-10.0f, 5.0f, 25.0f, 45.0f, 65.0f, 85.0f, 105.0f})
        total += tree.FindLightSet(0, CVector(100, y, 0))->PointCount;
    EXPECT_GT(total, 0);
    for (float y = -20; y < 130; y += 1)
        EXPECT_LE(tree.FindLightSet(0, CVector(0, y, 0))->PointCount, 4);
}

// A chain of lights each overlapping its neighbours is one cluster on both axes: the node
// splits through a bound, and lights crossing the line appear on both sides. (Lights that all
// overlap one another leave no line with a side short of some light, so they stay one leaf.)
TEST_F(LightTest, OverlappingLightsSplitThroughABoundAndAppearOnBothSides)
{
    for (int i = 0; i < 8; ++i)
        Point(float(i) * 10, 0, 6);
    const CLightTree& tree = Build();
    const CLightTree::Node* root = tree.GetRoot(0);
    EXPECT_EQ(root->Kind, unsigned(CLightTree::SPLIT_OVERLAP));
    EXPECT_LT(root->Left->Points.size(), 8u);
    EXPECT_LT(root->Right->Points.size(), 8u);
    EXPECT_GT(root->Left->Points.size() + root->Right->Points.size(), 8u);
}

TEST_F(LightTest, LimitsNamesAndFog)
{
    const unsigned long limited = Add(LightRecord::TYPE_DIRECTIONAL);
    LightSetExtents(5, 0, 0, 0, 1, 0, 0, 0);
    Add(LightRecord::TYPE_DIRECTIONAL);
    LightSetName(77);
    LightSetPriority(1);
    Add(LightRecord::TYPE_DIRECTIONAL);
    LightSetName(77);
    LightSetPriority(3);
    Add(LightRecord::TYPE_FOG);
    LightSetAttenuation(CVector(10, 50, 0));
    LightSetDiffuse(CVector(10, 20, 30));
    const CLightTree& tree = Build();
    EXPECT_EQ(tree.GetRoot(0)->Kind, unsigned(CLightTree::SPLIT_EDGE));
    const CLightSet* left = tree.FindLightSet(0, CVector(4.9f, 0, 0));
    const CLightSet* right = tree.FindLightSet(0, CVector(5, 0, 0));
    auto has = [](const CLightSet* s, unsigned long h) {
        for (int i = 0; i < s->DirectionalCount; ++i)
            if (s->Directional[i] == reinterpret_cast<const LightRecord*>(h))
                return true;
        return false;
    };
    EXPECT_FALSE(has(left, limited));
    EXPECT_TRUE(has(right, limited));
    EXPECT_EQ(left->DirectionalCount, 1); // one of the two named 77: the higher priority
    EXPECT_EQ(left->Directional[0]->Priority, 3);
    EXPECT_EQ(left->FogEnabled, 1);
    EXPECT_EQ(left->FogColour, 0xFF0A141Eu);
    EXPECT_EQ(left->FogStart, 10.0f);
    EXPECT_EQ(left->FogEnd, 50.0f);
}

// A flat square facing +z under a directional light, drawn with the lit basic shader and with
// the fixed-function lights the same set gives: both shade it ambient + diffuse x N.L.
TEST_F(LightTest, ALightSetLightsAMeshAsLambertSays)
{
    FakeAdapter::Configure(FakeAdapter::Default());
    ScopedGameFolder game("light_lambert", "width: 64\nheight: 64\nwindowed:\n");
    const float nDotL = 0.6f;
    for (bool shaders : {true, false}) {
        CRenderDevice device;
        ASSERT_EQ(device.Init(nullptr, 0), 0);
        const unsigned long sun = Add(LightRecord::TYPE_DIRECTIONAL);
        LightSetDirection(CVector(0, 0.8f, nDotL));
        LightSetDiffuse(CVector(200, 100, 50));
        LightSetAmbient(CVector(20, 40, 60));
        const CLightTree& tree = Build(0);
        const CLightSet* set = tree.FindLightSet(0, CVector(0, 0, 0));
        ASSERT_EQ(set->DirectionalCount, 1);
        IDirect3DDevice9* d = device.GetDevice();
        if (!shaders) {
            // Without shaders the device record carries the light for the fixed-function path.
            RebuildFrameLightTable(0, false);
            LightRecord* light = reinterpret_cast<LightRecord*>(sun);
            light->Flags |= LightRecord::FLAG_CHANGED;
            RebuildFrameLightTable(0, false);
        }
        device.SetDefaultRenderStates();
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ApplyLightSet(d, set, shaders, 0);
        const float quad[4][8] = {{-1, -1, 0.5f, 0, 0, 1, 0, 0},
                                  {1, -1, 0.5f, 0, 0, 1, 1, 0},
                                  {-1, 1, 0.5f, 0, 0, 1, 0, 1},
                                  {1, 1, 0.5f, 0, 0, 1, 1, 1}};
        const float white[4] = {1, 1, 1, 1};
        if (shaders) {
            float c[47 * 4] = {};
            c[3] = 1.0f;                                       // c0.w
            c[4 * 4 + 0] = c[5 * 4 + 1] = c[6 * 4 + 2] = 1.0f; // world: identity columns
            c[12 * 4 + 0] = c[13 * 4 + 1] = c[14 * 4 + 2] = c[15 * 4 + 3] = 1.0f;
            std::memcpy(&c[16 * 4], white, 16);
            std::memcpy(&c[17 * 4], white, 16);
            d->SetVertexShaderConstantF(0, c, 19);
            ASSERT_TRUE(device.SelectShader(ShaderSlot(kFamilyBasic, true)));
        } else {
            d->SetVertexShader(nullptr);
            d->SetFVF(0x112);
            D3DMATERIAL9 m{};
            m.Diffuse = m.Ambient = {1, 1, 1, 1};
            d->SetMaterial(&m);
            d->SetRenderState(D3DRS_LIGHTING, TRUE);
        }
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 32);
        IDirect3DSurface9* back = nullptr;
        d->GetRenderTarget(0, &back);
        D3DLOCKED_RECT locked;
        back->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        const uint32_t pixel = static_cast<const uint32_t*>(locked.pBits)[32 * locked.Pitch / 4 + 32];
        back->UnlockRect();
        back->Release();
        const float diffuse[3] = {200, 100, 50}, ambient[3] = {20, 40, 60};
        for (int i = 0; i < 3; ++i) {
            const float want = std::min(255.0f, ambient[i] + diffuse[i] * nDotL);
            EXPECT_NEAR(float((pixel >> (16 - 8 * i)) & 0xFF), want, 2.0f)
                << (shaders ? "shader" : "fixed function") << " channel " << i;
        }
        for (unsigned long& h : Handles)
            LightHandleRelease(h);
        Handles.clear();
        CLightTree::The().Free();
        ForgetAppliedLightSet();
        device.Shutdown();
    }
}

// ---- the light report overlay ----

class LightReportTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
    }
    void TearDown() override
    {
        for (unsigned long& h : Handles)
            LightHandleRelease(h);
        ResetWorld();
        CRenderer::Shutdown();
        ResetTransformState();
        ObjectTest::TearDown();
    }
    void Point(float x, float y, const CVector& colour)
    {
        Handles.push_back(LightHandleAquire());
        LightHandleSelect(Handles.back());
        LightSetType(LightRecord::TYPE_POINT);
        LightSetCull(false);
        LightSetPosition(CVector(x, y, 0));
        LightSetRadius(10.0f);
        LightSetDiffuse(colour);
        LightEnable(Handles.back(), true);
    }
    std::vector<unsigned long> Handles;
};

// Three red lights on the left and three blue ones on the right split into two clusters at
// x 0. The report fits the lights' reach (x -70..70, y -50..50) to the screen at 4 pixels a
// unit: a green line down the middle, each light's circle and rectangle in its colour, nothing
// inside a circle; with the report off none of it shows.
TEST_F(LightReportTest, ReportDrawsTheSplitsAndEachLeafsLights)
{
    ScopedGameFolder game("light_report");
    CRenderer* renderer = CRenderer::Create();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->Init(nullptr, CRenderDevice::FLAG_POINT_LIGHTS, 0), 0);
    CRenderDevice& device = CRenderer::GetDevice();
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 0, 0), 1.0f);
    for (float y : {-40.0f, 0.0f, 40.0f}) {
        Point(-60, y, CVector(255, 0, 0));
        Point(60, y, CVector(0, 0, 255));
    }
    struct Case {
        int x, y;
        uint32_t rgb;
        const char* what;
    };
    const Case cases[] = {
        {320, 100, 0x40FF40, "the cluster split"},     {108, 212, 0xFF0000, "a red light's circle"},
        {40, 200, 0xFF0000, "its rectangle's corner"}, {600, 280, 0x0000FF, "a blue light's rectangle's corner"},
        {80, 240, 0x000000, "inside a circle"},
    };
    // Lines may land a pixel either side of their exact place: how many of the 3 by 3 pixels
    // around a point have the colour.
    auto matching = [](const std::string& reader, uint32_t rgb) {
        std::istringstream lines(reader);
        std::string line;
        std::getline(lines, line);
        int count = 0;
        while (std::getline(lines, line)) {
            const unsigned long got = std::strtoul(line.substr(line.find('=') + 1).c_str(), nullptr, 16);
            bool same = true;
            for (int shift : {16, 8, 0})
                same = same && std::abs(int(got >> shift & 0xFF) - int(rgb >> shift & 0xFF)) <= 2;
            count += same;
        }
        return count;
    };
    for (bool on : {true, false}) {
        // The renderer's debug switch (Ctrl+F1 behind Scroll Lock) is the report.
        if (on != bool(renderer->GetRenderLightReport()))
            CDirectInput::DebugActions.ToggleRendererSwitch();
        const int shot = device.GetScreenshotCount();
        device.SetScreenshotRequest(1);
        renderer->Process();
        device.SetScreenshotRequest(0);
        for (const Case& c : cases) {
            std::string points;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    points += std::to_string(c.x + dx) + "," + std::to_string(c.y + dy) + " ";
            const std::string reader = ReadShotPixels(game.Shot(shot), points);
            const int count = matching(reader, c.rgb);
            if (c.rgb == 0)
                EXPECT_EQ(count, 9) << c.what << "\n" << reader;
            else if (on)
                EXPECT_GT(count, 0) << c.what << "\n" << reader;
            else
                EXPECT_EQ(count, 0) << c.what << " with the report off\n" << reader;
        }
    }
}

} // namespace
