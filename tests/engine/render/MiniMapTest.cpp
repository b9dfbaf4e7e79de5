// The mini-map's resources and markers: dots, crosses and the camera cross where the map's
// origin and turn put them, the picture cropped to its quad, markers that follow their stage
// chains and leave the list when told, the view cone clipped to the map, and a screenshot of
// a picture with a dot and a marker over it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "RenderResourceSupport.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRendMiniMap.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/Material.h"
#include "engine/render/MiniMapMarker.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

CRendResource* Named(const char* name)
{
    return static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

// One stored primitive: its vertices as the effect list holds them.
struct Stored {
    std::vector<PrimVertex> v;
    unsigned long Priority;
    float MinX() const
    {
        return std::min_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.x < b.x; })->x;
    }
    float MaxX() const
    {
        return std::max_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.x < b.x; })->x;
    }
    float MinY() const
    {
        return std::min_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.y < b.y; })->y;
    }
    float MaxY() const
    {
        return std::max_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.y < b.y; })->y;
    }
};

// What one resource draws into the overlay layer's effect list.
std::vector<Stored> Draw(CRendResource* resource, CRender& render)
{
    BeginTestLayer(7);
    resource->Render(&render);
    std::vector<Stored> out;
    for (const EffectEntry& e : CurrentEffects()) {
        unsigned short header[2];
        std::memcpy(header, e.pData, sizeof header);
        const PrimVertex* v = reinterpret_cast<const PrimVertex*>(static_cast<const unsigned char*>(e.pData) + 4);
        out.push_back(Stored{std::vector<PrimVertex>(v, v + header[1]), e.Priority});
    }
    EndTestLayer();
    return out;
}

const float kEnd = NowhereVector.x;

// A stage of a marker's chain: one colour, a size, a lifespan.
rhu::ParticleDef Stage(float r, float g, float b, float sizeX, float sizeY, float life, unsigned long flags = 0)
{
    rhu::ParticleDef def;
    std::memset(&def, 0, sizeof def);
    def.MinColor.X = def.MaxColor.X = r;
    def.MinColor.Y = def.MaxColor.Y = g;
    def.MinColor.Z = def.MaxColor.Z = b;
    def.MinColor.W = def.MaxColor.W = 255;
    def.Size.X = sizeX;
    def.Size.Y = sizeY;
    def.Scale = rhu::RangeData{1, 1, 1};
    def.Lifespan = rhu::RangeData{life, life, 1};
    def.Flags = flags;
    return def;
}

class MiniMapTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        ASSERT_EQ(MiniMapMarker::pThe, nullptr);
    }
    void TearDown() override
    {
        EXPECT_EQ(MiniMapMarker::pThe, nullptr) << "a marker outlived its test";
        RenderResourceTest::TearDown();
    }
};

TEST_F(MiniMapTest, DotsAndCrossesWhereTheOriginAndTurnPutThem)
{
    CVector origin(100, 50, 0), transform(0, 0, 1);
    MiniMapDot dots[3] = {
        {10, 20, 0, CVector4(255, 0, 0, 255)}, {30, 20, 0, CVector4(0, 255, 0, 254)}, {kEnd, 0, 0, {}}};
    CRender render;
    render.Attach(&origin, &transform, nullptr, reinterpret_cast<CVector*>(dots));
    std::vector<Stored> s = Draw(Named("RendMiniMapObjects"), render);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].MinX(), 110);
    EXPECT_EQ(s[0].MaxX(), 112);
    EXPECT_EQ(s[0].MinY(), 70);
    EXPECT_EQ(s[0].MaxY(), 72);
    EXPECT_EQ(s[0].v[0].Colour, 0xFFFF0000u);
    // Alpha 254: one pixel larger and one higher.
    EXPECT_EQ(s[1].MinX(), 130);
    EXPECT_EQ(s[1].MaxX(), 133);
    EXPECT_EQ(s[1].MinY(), 69);
    EXPECT_EQ(s[1].MaxY(), 72);
    EXPECT_EQ(s[1].v[0].Colour, 0xFE00FF00u);

    // A quarter turn about (100, 50): the corner (110, 70) goes to (80, 60).
    const CVector4 turn[2] = {CVector4(1, 0, 0, 0), CVector4(1, 0, 100, 50)};
    render.Attach(turn);
    s = Draw(Named("RendMiniMapObjects"), render);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_NEAR(s[0].MinX(), 80, 1e-4);
    EXPECT_NEAR(s[0].MinY(), 60, 1e-4);

    // Crosses: two lines round each mark, not scaled.
    MiniMapDot marks[2] = {{5, 5, 0, CVector4(255, 255, 0, 255)}, {kEnd, 0, 0, {}}};
    CRender crosses;
    crosses.Attach(&origin, &transform, nullptr, reinterpret_cast<CVector*>(marks));
    s = Draw(Named("RendMiniMapXMarker"), crosses);
    ASSERT_EQ(s.size(), 2u);
    ASSERT_EQ(s[0].v.size(), 2u);
    EXPECT_EQ(s[0].v[0].x, 107);
    EXPECT_EQ(s[0].v[0].y, 57);
    EXPECT_EQ(s[0].v[1].x, 102);
    EXPECT_EQ(s[0].v[1].y, 52);
    EXPECT_EQ(s[1].v[0].x, 108);
    EXPECT_EQ(s[1].v[0].y, 52);
    EXPECT_EQ(s[1].v[1].x, 103);
    EXPECT_EQ(s[1].v[1].y, 57);

    // The camera cross, and none at the nowhere position.
    CVector camera(20, 30, 0);
    CRender pointer;
    pointer.Attach(&origin, &transform, nullptr, &camera);
    s = Draw(Named("RendMiniMapCamPointer"), pointer);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].MinX(), 120);
    EXPECT_EQ(s[0].MinY(), 76);
    EXPECT_EQ(s[0].MaxY(), 83);
    EXPECT_EQ(s[1].MinX(), 116);
    EXPECT_EQ(s[1].MaxX(), 123);
    EXPECT_EQ(s[0].v[0].Colour, 0xFFFFFFFFu);
    camera = NowhereVector;
    EXPECT_TRUE(Draw(Named("RendMiniMapCamPointer"), pointer).empty());
}

TEST_F(MiniMapTest, PictureIsCroppedToItsQuad)
{
    struct Case {
        float w, h;
        float u0, u1, v0, v1;
    };
    const Case cases[] = {
        {200, 100, 0, 1, 0.25f, 0.75f}, // 2:1 shows the middle half vertically
        {100, 200, 0.25f, 0.75f, 0, 1},
        {100, 100, 0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        CVector at(10, 20, c.w), rot(c.h, 0, 0);
        CRender render;
        render.Attach(&at, &rot, nullptr, nullptr);
        const std::vector<Stored> s = Draw(Named("RendMiniMapImage"), render);
        ASSERT_EQ(s.size(), 1u);
        float u0 = 9, u1 = -9, v0 = 9, v1 = -9;
        for (const PrimVertex& v : s[0].v) {
            u0 = std::min(u0, v.u);
            u1 = std::max(u1, v.u);
            v0 = std::min(v0, v.v);
            v1 = std::max(v1, v.v);
            // the top left corner of the quad takes the smallest coordinates
            if (v.x == 10 && v.y == 20) {
                EXPECT_EQ(v.u, c.u0);
                EXPECT_EQ(v.v, c.v0);
            }
        }
        EXPECT_EQ(s[0].MaxX(), 10 + c.w);
        EXPECT_EQ(s[0].MaxY(), 20 + c.h);
        EXPECT_EQ(u0, c.u0) << c.w << "x" << c.h;
        EXPECT_EQ(u1, c.u1);
        EXPECT_EQ(v0, c.v0);
        EXPECT_EQ(v1, c.v1);
    }
}

TEST_F(MiniMapTest, MarkersFollowTheirChainsAndLeaveWhenTold)
{
    rhu::ParticleDef second = Stage(0, 0, 255, 4, 4, 0.2f);
    rhu::ParticleDef first = Stage(255, 0, 0, 4, 4, 0.1f);
    first.pNextDef = &second;
    first.MinSpin.Z = first.MaxSpin.Z = 0.3f;
    {
        MiniMapMarker head;
        MiniMapMarker* stays = new MiniMapMarker;
        MiniMapMarker* leaves = new MiniMapMarker;
        ASSERT_EQ(MiniMapMarker::pThe, &head);
        EXPECT_EQ(head.pNext, leaves); // newest first
        EXPECT_EQ(leaves->pNext, stays);
        stays->SetStyle(&first);
        EXPECT_EQ(stays->CurrentColour.x, 255);
        EXPECT_EQ(stays->NextColour.z, 255); // the next stage's look, ready to blend into
        EXPECT_FLOAT_EQ(stays->Life, 0.1f);
        leaves->SetStyle(&second);
        leaves->SetFlags(MiniMapMarker::FREE_AT_END);

        // One step: a thirtieth of a second, whatever the frame time, the rest carried on.
        CGameTimer::tFrameTime = 0.05f;
        head.Process();
        EXPECT_FLOAT_EQ(stays->StageTime, 1.0f / 30);
        EXPECT_NEAR(stays->Accumulator, 0.05f - 1.0f / 30, 1e-6);
        EXPECT_NEAR(stays->SpinAngle, (2.0f / 3) * 0.3f, 1e-5); // a third of the way to the next spin of 0

        // Past both stages: the first marker stays, stopped at its end; the second goes.
        CGameTimer::tFrameTime = 1.0f;
        head.Process();
        EXPECT_EQ(stays->pCurrentStage, &second);
        EXPECT_LT(stays->Life, 0.0f);
        EXPECT_EQ(stays->StageFraction(), 1.0f);
        EXPECT_EQ(head.pNext, stays);
        const float stoppedAngle = stays->SpinAngle;
        head.Process();
        EXPECT_EQ(stays->SpinAngle, stoppedAngle);
        delete stays;
        EXPECT_EQ(head.pNext, nullptr);
    }
    // With the head gone the list starts at the next marker.
    MiniMapMarker* a = new MiniMapMarker;
    MiniMapMarker* b = new MiniMapMarker;
    rhu::ParticleDef once = Stage(0, 255, 0, 1, 1, 0.1f);
    a->SetStyle(&once);
    a->SetFlags(MiniMapMarker::FREE_AT_END);
    CGameTimer::tFrameTime = 1.0f;
    a->Process();
    EXPECT_EQ(MiniMapMarker::pThe, b);
    EXPECT_EQ(b->pPrev, nullptr);
    delete b;
    CGameTimer::tFrameTime = 0.0f;
}

TEST_F(MiniMapTest, MarkersDrawThroughTheMapTransform)
{
    rhu::ParticleDef square = Stage(255, 255, 0, 4, 4, 1.0f, 0x06);
    rhu::ParticleDef wide = Stage(255, 255, 0, 4, 2, 1.0f, 0x01);
    wide.Facing = 1; // scaled with the map
    CVector origin(100, 50, 0), transform(5, -10, 2), tracked(10, 20, 0);
    MiniMapDot none[1] = {{kEnd, 0, 0, {}}};
    CRender render;
    render.Attach(&origin, &transform, nullptr, reinterpret_cast<CVector*>(none));
    {
        MiniMapMarker head; // never styled: not drawn
        MiniMapMarker marker;
        marker.SetStyle(&square);
        marker.Track(&tracked);
        marker.SetPriorityOffset(3);
        marker.SetFlags(MiniMapMarker::NEVER_ROTATE);
        marker.SpinAngle = 1.0f;
        std::vector<Stored> s = Draw(Named("RendMiniMapObjects"), render);
        ASSERT_EQ(s.size(), 1u);
        // (10 + 5) x 2 + 100, (20 - 10) x 2 + 50, half extents 4
        EXPECT_EQ(s[0].MinX(), 126);
        EXPECT_EQ(s[0].MaxX(), 134);
        EXPECT_EQ(s[0].MinY(), 66);
        EXPECT_EQ(s[0].MaxY(), 74);
        EXPECT_EQ(s[0].Priority, render.GetMergedPriority() + 3);
        EXPECT_EQ(s[0].v.size(), 4u);

        // A quarter turn swaps the half extents (2 by 4 scaled by the map's 2); a lines stage
        // draws a closed outline.
        marker.SetStyle(nullptr);
        MiniMapMarker fresh;
        fresh.SetStyle(&wide);
        fresh.Track(&tracked);
        fresh.SpinAngle = 3.14159265f / 2 + 0.001f; // sine-table step 512, exactly a quarter
        s = Draw(Named("RendMiniMapObjects"), render);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].v.size(), 5u);
        EXPECT_NEAR(s[0].MaxX() - s[0].MinX(), 8, 1e-2);
        EXPECT_NEAR(s[0].MaxY() - s[0].MinY(), 16, 1e-2);
    }
}

// The camera looks north over the ground; the cone's corners lie where the view's corner
// rays meet the focus plane, cut to the map's size: the left edge of the view reaches west of
// the map, and the top right corner, inside it, shows at the top right of the screen.
TEST_F(MiniMapTest, ViewConeIsClippedToTheMap)
{
    LoadTestCamera(CVector(20, -30, 60), CVector(20, 60, 0));
    GmvCamera* camera = GmvCamera::Create();
    camera->SetPos(CVector(20, -30, 60));
    camera->SetFocus(CVector(20, 60, 0));
    CVector origin(100, 50, 0), size(400, 400, 0);
    CRender render;
    render.Attach(&origin, nullptr, nullptr, &size);
    const std::vector<Stored> s = Draw(Named("RendMiniMapCamera"), render);
    camera->Destroy();
    ASSERT_GE(s.size(), 4u);
    bool clipped = false, corner = false;
    for (const Stored& t : s) {
        ASSERT_EQ(t.v.size(), 3u);
        for (const PrimVertex& v : t.v) {
            EXPECT_GE(v.x, 100 - 1e-3);
            EXPECT_LE(v.x, 500 + 1e-3);
            EXPECT_GE(v.y, 50 - 1e-3);
            EXPECT_LE(v.y, 450 + 1e-3);
            EXPECT_GE(v.u, 0.0f);
            EXPECT_LE(v.u, 1.0f);
            clipped = clipped || std::fabs(v.x - 100) < 1e-3;
            if (v.u == 1.0f && v.v == 0.0f) {
                float invW = 0;
                const CVector screen = World2Screen(0, CVector(v.x - 100, v.y - 50, 0), invW);
                EXPECT_NEAR(screen.x, 640, 0.5);
                EXPECT_NEAR(screen.y, 0, 0.5);
                corner = true;
            }
        }
    }
    EXPECT_TRUE(clipped);
    EXPECT_TRUE(corner);
}

// A picture under a dot and a marker, by their priorities, in the overlay viewport.
TEST_F(MiniMapTest, MapShowsItsPictureDotAndMarker)
{
    const D3DCOLOR quadrants[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    TestTexture picture(CRenderer::GetDevice().GetDevice(), quadrants);
    CVector at(100, 100, 200), height(100, 0, 0);
    CRender image;
    image.Attach(&at, &height, nullptr, reinterpret_cast<CVector*>(picture.Record()));
    image.Attach(Named("RendMiniMapImage"), 0);
    image.SetPriority(0x10);

    rhu::ParticleDef white = Stage(255, 255, 255, 5, 5, 1.0f);
    CVector origin(100, 100, 0), transform(0, 0, 1), tracked(60, 50, 0);
    MiniMapDot dots[2] = {{150, 20, 0, CVector4(255, 0, 255, 255)}, {kEnd, 0, 0, {}}};
    CRender objects;
    objects.Attach(&origin, &transform, nullptr, reinterpret_cast<CVector*>(dots));
    objects.Attach(Named("RendMiniMapObjects"), 0);
    objects.SetPriority(0x20);
    std::string out;
    {
        MiniMapMarker marker;
        marker.SetStyle(&white);
        marker.Track(&tracked);
        marker.SetFlags(MiniMapMarker::NEVER_ROTATE);
        for (CRender* r : {&image, &objects}) {
            r->SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
            r->SetViewport(7);
            r->Link();
        }
        out = Frame("110,110 290,110 110,190 290,190 160,150 250,120 251,121 253,120 400,300");
        for (CRender* r : {&image, &objects})
            r->Unlink();
    }
    EXPECT_EQ(out, Expect({{"110,110", "FF0000"},
                           {"290,110", "00FF00"},
                           {"110,190", "0000FF"},
                           {"290,190", "FFFF00"},
                           {"160,150", "FFFFFF"}, // the marker, 10 wide round (160, 150)
                           {"250,120", "FF00FF"}, // the dot, 2 pixels at (250, 120)
                           {"251,121", "FF00FF"},
                           {"253,120", "00FF00"},
                           {"400,300", "000040"}}));
}

} // namespace
