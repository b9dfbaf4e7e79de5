// The world and its locations: heights against the terrain map's own answer, containment and
// clipping tables, the location table's order, decals and passability writes.
#include <gtest/gtest.h>

#include <math.h>

#include <memory>
#include <random>
#include <string>

#include "../object/ObjectTestSupport.h"
#include "TerrainTestSupport.h"
#include "engine/render/CMeshWorkspace.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRenderer.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

namespace {

class WorldTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GmvWorld::WORLD2TILE = 0.5f;
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        m_Maps.clear();
        GmvWorld::WORLD2TILE = 0.0f;
    }
    // A world with the given shear.
    GmvWorld* MakeWorld(float slopeX = 0.0f, float slopeY = 0.0f, float centreX = 0.0f, float centreY = 0.0f)
    {
        FillData data;
        data.Float("ShearSlopeX", slopeX).Float("ShearSlopeY", slopeY);
        data.Float("ShearCenterX", centreX).Float("ShearCenterY", centreY);
        return static_cast<GmvWorld*>(GObject::Create(GmvWorld::ClassId, HGOBJECT(0), data.Get()));
    }
    TestMap& AddMap(int width, int height, int tileWidth, const CVector& origin)
    {
        m_Maps.emplace_back(new TestMap(width, height, tileWidth, origin));
        return *m_Maps.back();
    }
    // Random heights and splits.
    void Roughen(TestMap& map, int width, int height, std::mt19937& random)
    {
        std::uniform_int_distribution<int> h(-800, 800), bit(0, 1);
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column) {
                map.Cell(column, row).Height = static_cast<short>(h(random));
                map.Cell(column, row).Flags = static_cast<unsigned char>(bit(random) ? 0x08 : 0);
            }
    }
    std::vector<std::unique_ptr<TestMap>> m_Maps;
};

TEST_F(WorldTest, HeightsAgreeWithTheTerrainMapsOwnAtRandomPointsWithShear)
{
    std::mt19937 random(4101);
    MakeWorld(0.05f, -0.03f, 10.0f, 20.0f);
    TestMap& a = AddMap(33, 33, 2, CVector(0.0f, 0.0f, 0.0f));
    TestMap& b = AddMap(17, 25, 1, CVector(80.0f, -10.0f, 0.0f));
    Roughen(a, 33, 33, random);
    Roughen(b, 17, 25, random);
    a.Build();
    b.Build();
    ASSERT_EQ(GmvWorld::pThe->GetLocationCount(), 2);
    std::uniform_real_distribution<float> ax(0.0f, 64.0f), bx(80.0f, 96.0f), by(-10.0f, 14.0f);
    for (int i = 0; i < 10000; ++i) {
        const bool first = i % 2 == 0;
        CVector p = first ? CVector(ax(random), ax(random), 0.0f) : CVector(bx(random), by(random), 0.0f);
        CRendMap* map = first ? a.Get() : b.Get();
        CVector normal;
        const float own = map->GetHeightData(p, normal);
        ASSERT_NEAR(GmvWorld::GetHeight(0, p), own, 1e-3f) << p.x << "," << p.y;
        ASSERT_NEAR(CRenderer::GetHeightData(p), own, 1e-3f);
    }
    // Corners are the vertex heights plus the shear; another viewport sees no terrain.
    CVector corner(4.0f, 6.0f, 0.0f);
    const float expected = a.Get()->Cell(2, 3).Height / 16.0f + (4.0f - 10.0f) * 0.05f + (6.0f - 20.0f) * -0.03f;
    EXPECT_NEAR(GmvWorld::GetHeight(0, corner), expected, 1e-4f);
    EXPECT_EQ(GmvWorld::GetHeight(1, corner), 0.0f);
}

TEST_F(WorldTest, OverlappingLocationsTheHigherSurfaceAndTheEarlierEntry)
{
    MakeWorld();
    TestMap& low = AddMap(11, 11, 1, CVector(0.0f, 0.0f, 0.0f));
    TestMap& high = AddMap(11, 11, 1, CVector(5.0f, 5.0f, 0.0f));
    for (int row = 0; row < 11; ++row)
        for (int column = 0; column < 11; ++column)
            high.Cell(column, row).Height = 48;
    low.Build();
    high.Build();
    CVector both(7.0f, 7.0f, 0.0f);
    EXPECT_FLOAT_EQ(GmvWorld::GetHeight(0, both), 3.0f);
    EXPECT_EQ(GmvWorld::GetNearestLocation(both, nullptr), GmvWorld::LocationArray[0]);
    EXPECT_EQ(GmvWorld::GetNearestLocation(both, GmvWorld::LocationArray[0]), GmvWorld::LocationArray[1]);
    EXPECT_EQ(GmvWorld::GetLocation(both, 1), GmvWorld::LocationArray[0]);
    EXPECT_EQ(GmvWorld::GetLocation(both, 2), nullptr);
    // The renderer keeps the lower ground for a point below the upper one.
    EXPECT_FLOAT_EQ(CRenderer::GetHeightData(CVector(7.0f, 7.0f, 0.0f)), 0.0f);
    EXPECT_FLOAT_EQ(CRenderer::GetHeightData(CVector(7.0f, 7.0f, 2.0f)), 3.0f);
}

TEST_F(WorldTest, ContainmentAndClippingTables)
{
    MakeWorld();
    AddMap(11, 11, 1, CVector(0.0f, 0.0f, 0.0f)).Build();
    AddMap(6, 6, 2, CVector(20.0f, 0.0f, 0.0f)).Build();
    LocationEntry* first = GmvWorld::LocationArray[0];
    LocationEntry* second = GmvWorld::LocationArray[1];
    EXPECT_EQ(second->MaxX, 30.0f);
    EXPECT_EQ(second->MaxY, 10.0f);
    struct Containment {
        CVector p;
        int number;
        bool strict;
    } table[] = {
        {CVector(5.0f, 5.0f, 0.0f), 0, true},    {CVector(10.0f, 5.0f, 0.0f), 0, false},
        {CVector(0.0f, 0.0f, 0.0f), 0, false},   {CVector(25.0f, 9.0f, 0.0f), 1, false},
        {CVector(15.0f, 5.0f, 0.0f), -1, false}, {CVector(30.0f, 10.0f, 0.0f), 1, false},
    };
    for (const Containment& c : table) {
        EXPECT_EQ(GmvWorld::GetLocationNumber(c.p), c.number) << c.p.x << "," << c.p.y;
        EXPECT_EQ(GmvWorld::ValidLocationPosition(c.p), c.number >= 0);
        EXPECT_EQ(GmvWorld::IsLocationValid(first, c.p, 0), c.strict);
    }
    struct Clip {
        CVector in, out;
        LocationEntry* location;
    } clips[] = {
        {CVector(-5.0f, 5.0f, 3.0f), CVector(1.0f, 5.0f, 3.0f), first},
        {CVector(14.0f, 20.0f, 0.0f), CVector(9.0f, 9.0f, 0.0f), first},
        {CVector(17.0f, 5.0f, 0.0f), CVector(21.0f, 5.0f, 0.0f), second},
        {CVector(25.0f, 5.0f, 0.0f), CVector(25.0f, 5.0f, 0.0f), second},
        {CVector(29.5f, 9.9f, 0.0f), CVector(29.0f, 9.0f, 0.0f), second},
    };
    for (const Clip& c : clips) {
        CVector p = c.in;
        EXPECT_EQ(GmvWorld::ClipToWorld(p, 1.0f, nullptr), c.location) << c.in.x << "," << c.in.y;
        EXPECT_EQ(p, c.out) << c.in.x << "," << c.in.y;
    }
    EXPECT_EQ(GmvWorld::GetLocationPos(second), CVector(20.0f, 0.0f, 0.0f));
    EXPECT_EQ(GmvWorld::GetLocationRender(CVector(15.0f, 5.0f, 0.0f)), &first->Render);
    EXPECT_EQ(GmvWorld::GetLocationRender(CVector(25.0f, 5.0f, 0.0f)), &second->Render);
    EXPECT_EQ(GmvWorld::GetLocationRender(7), nullptr);
}

TEST_F(WorldTest, AnEmptyTableNamesNoLocation)
{
    MakeWorld();
    CVector p(1.0f, 1.0f, 0.0f);
    EXPECT_EQ(GmvWorld::GetLocationNumber(p), -1);
    EXPECT_EQ(GmvWorld::GetHeight(0, p), 0.0f);
    EXPECT_EQ(GmvWorld::ClipToWorld(p, 1.0f, nullptr), nullptr);
    EXPECT_EQ(p, CVector(1.0f, 1.0f, 0.0f));
    EXPECT_TRUE(GmvWorld::IsBlackness(p));
    EXPECT_EQ(GmvWorld::GetLocationRender(p), nullptr);
}

TEST_F(WorldTest, RemovingTheMiddleLocationKeepsTheOthersInOrder)
{
    MakeWorld();
    TestMap& a = AddMap(5, 5, 1, CVector(0.0f, 0.0f, 0.0f));
    TestMap& b = AddMap(5, 5, 1, CVector(10.0f, 0.0f, 0.0f));
    TestMap& c = AddMap(5, 5, 1, CVector(20.0f, 0.0f, 0.0f));
    TestMap& d = AddMap(5, 5, 1, CVector(30.0f, 0.0f, 0.0f));
    a.Build();
    b.Build();
    c.Build();
    b.Destroy();
    d.Build();
    ASSERT_EQ(GmvWorld::pThe->GetLocationCount(), 3);
    EXPECT_EQ(GmvWorld::LocationArray[0]->pMap, a.Get());
    EXPECT_EQ(GmvWorld::LocationArray[1]->pMap, c.Get());
    EXPECT_EQ(GmvWorld::LocationArray[2]->pMap, d.Get());
    EXPECT_EQ(GmvWorld::LocationArray[3], nullptr);
    // Maps destroyed after the world leave nothing to do.
    GmvWorld::pThe->Destroy();
    GObject::DestroyObjects();
    EXPECT_EQ(GmvWorld::pThe, nullptr);
    EXPECT_EQ(GmvWorld::LocationArray[0], nullptr);
    a.Destroy();
}

TEST_F(WorldTest, ADamagedMapIsRefusedWithAMessageAndTheWorldGoesOn)
{
    MakeWorld();
    AddMap(5, 5, 1, CVector(0.0f, 0.0f, 0.0f)).Build();
    TestMap& damaged = AddMap(5, 5, 1, CVector(10.0f, 0.0f, 0.0f));
    damaged.Record().MapRowSize = 3;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    damaged.Build();
    const std::string said = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("row size"), std::string::npos) << said;
    EXPECT_EQ(GmvWorld::pThe->GetLocationCount(), 1);
    EXPECT_EQ(GmvWorld::GetLocationNumber(CVector(12.0f, 2.0f, 0.0f)), -1);
    CVector p(2.0f, 2.0f, 0.0f);
    EXPECT_EQ(GmvWorld::GetHeight(0, p), 0.0f);
}

TEST_F(WorldTest, TheSeventeenthLocationIsFatal)
{
    EXPECT_EXIT(
        {
            MakeWorld();
            for (int i = 0; i < 17; ++i)
                AddMap(3, 3, 1, CVector(i * 10.0f, 0.0f, 0.0f)).Build();
        },
        ::testing::ExitedWithCode(3), "Too many locations");
}

TEST_F(WorldTest, PassabilityDecalsAndBlackness)
{
    MakeWorld();
    TestMap& map = AddMap(21, 21, 2, CVector(100.0f, 100.0f, 0.0f));
    map.SetPassability(3, 4, 14);
    map.SetPassability(5, 5, 15);
    map.Build();
    LocationEntry* location = GmvWorld::LocationArray[0];
    EXPECT_EQ(GmvWorld::GetPassibilityIndex(location, 107.9f, 109.0f), 14);
    EXPECT_TRUE(GmvWorld::IsBlackness(CVector(107.0f, 109.0f, 0.0f)));
    EXPECT_TRUE(GmvWorld::IsBlackness(CVector(111.0f, 111.0f, 0.0f)));
    EXPECT_FALSE(GmvWorld::IsBlackness(CVector(101.0f, 101.0f, 0.0f)));
    EXPECT_TRUE(GmvWorld::IsBlackness(CVector(99.0f, 101.0f, 0.0f)));
    GmvWorld::SetPassibilityIndex(9, location, 101.0f, 101.0f);
    EXPECT_EQ(GmvWorld::GetPassibilityIndex(location, 101.0f, 101.0f), 9);
    EXPECT_EQ(map.Cell(0, 0).Flags & 0x0F, 0);
    // Radius 1 on tiles of 2: n = 3, a 6 x 6 square of cells from column and row 10 - 3.
    GmvWorld::SetPassibilityIndex(6, 1.0f, CVector(120.0f, 120.0f, 0.0f));
    int written = 0;
    for (int row = 0; row < 21; ++row)
        for (int column = 0; column < 21; ++column)
            written += (map.Cell(column, row).Flags >> 4) == 6;
    EXPECT_EQ(written, 36);
    EXPECT_EQ(map.Cell(7, 7).Flags >> 4, 6);
    EXPECT_EQ(map.Cell(12, 12).Flags >> 4, 6);

    // Decals count their cell from the location's origin and clamp into the grid.
    CVector spot(104.5f, 106.5f, 0.0f);
    GmvWorld::PlotDecal(spot, 5, location);
    EXPECT_EQ(map.Cell(2, 3).DecalIndex, 5);
    EXPECT_EQ(GmvWorld::GetDecal(spot, location), 5);
    GmvWorld::PlotDecal(-4, 99, 7, location);
    EXPECT_EQ(map.Cell(20, 0).DecalIndex, 7);
    EXPECT_EQ(GmvWorld::GetDecal(0, 20, location), 7);
    EXPECT_EQ(GmvWorld::GetDecal(spot, nullptr), 0);
}

TEST_F(WorldTest, UnlinkRenderTakesTheLocationsOutOfTheScene)
{
    MakeWorld();
    AddMap(5, 5, 1, CVector(0.0f, 0.0f, 0.0f)).Build();
    EXPECT_TRUE(GmvWorld::LocationArray[0]->Render.IsLinked());
    GObject::Create(GMapUnlinkRender::ClassId, HGOBJECT(0), nullptr);
    EXPECT_FALSE(GmvWorld::LocationArray[0]->Render.IsLinked());
}

// A render samples the ground through its own location, which it keeps while it stays strictly
// inside and otherwise takes from the world; placing a mesh on screen keeps it current.
TEST_F(WorldTest, ARenderKeepsItsLocationWhileInsideAndSamplesTheGroundThere)
{
    CVector pos(2.5f, 3.25f, 0.0f);
    CRender render;
    render.Attach(&pos, nullptr, nullptr, nullptr);
    // Without a world nothing is looked up, and without a location the ground is flat at 0.
    render.UpdateLocation();
    EXPECT_EQ(render.GetLocation(), nullptr);
    CVector normal;
    EXPECT_EQ(render.GetHeightData(normal), 0.0f);
    EXPECT_EQ(normal, CVector(0.0f, 0.0f, 1.0f));

    std::mt19937 random(3101);
    MakeWorld(0.02f, 0.01f);
    TestMap& low = AddMap(11, 11, 1, CVector(0.0f, 0.0f, 0.0f));
    TestMap& high = AddMap(11, 11, 1, CVector(5.0f, 0.0f, 0.0f));
    Roughen(low, 11, 11, random);
    for (int row = 0; row < 11; ++row)
        for (int column = 0; column < 11; ++column)
            high.Cell(column, row).Height = 160;
    low.Build();
    high.Build();
    LocationEntry* first = GmvWorld::LocationArray[0];
    LocationEntry* second = GmvWorld::LocationArray[1];
    // In order: each step starts from the location the one before left.
    const struct {
        CVector at;
        LocationEntry* location;
    } steps[] = {
        {CVector(2.5f, 3.25f, 0.0f), first},   {CVector(7.0f, 3.5f, 0.0f), first},
        {CVector(12.0f, 3.0f, 0.0f), second},  {CVector(7.0f, 3.5f, 0.0f), second}, // kept where both lie
        {CVector(15.0f, 3.0f, 0.0f), second},                                       // on its edge: asked again
        {CVector(16.0f, 3.0f, 0.0f), nullptr}, {CVector(5.0f, 3.0f, 0.0f), first},
    };
    for (const auto& step : steps) {
        pos = step.at;
        render.UpdateLocation();
        ASSERT_EQ(render.GetLocation(), step.location) << pos.x << "," << pos.y;
        CVector expectedNormal(0.0f, 0.0f, 1.0f);
        const float expected = step.location ? step.location->pMap->GetHeightData(pos, expectedNormal) : 0.0f;
        EXPECT_EQ(render.GetHeightData(normal), expected) << pos.x << "," << pos.y;
        EXPECT_EQ(normal, expectedNormal);
        EXPECT_EQ(render.GetHeightData(), expected);
    }
    // The flat upper map: 10 units plus the shear.
    pos = CVector(12.0f, 3.0f, 0.0f);
    render.UpdateLocation();
    EXPECT_NEAR(render.GetHeightData(), 10.0f + 12.0f * 0.02f + 3.0f * 0.01f, 1e-5f);
    // Another viewport has no terrain here.
    render.SetViewport(1);
    render.UpdateLocation();
    EXPECT_EQ(render.GetLocation(), nullptr);
    EXPECT_EQ(render.GetHeightData(), 0.0f);

    // A mesh placed on screen looks its location up on the way.
    render.SetViewport(0);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    pos = CVector(3.0f, 3.0f, 0.0f);
    CRendResource mesh;
    CMatrix world;
    world.SetEuler_XYZS(pos, CVector(0.0f, 0.0f, 0.0f));
    EXPECT_TRUE(CMeshWorkspace::PlaceOnScreen(&render, &mesh, world));
    EXPECT_EQ(render.GetLocation(), first);
}

} // namespace
