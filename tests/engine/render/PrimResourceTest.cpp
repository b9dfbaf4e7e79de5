// Palettes, indexed resources and segmented lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/render/CRender.h"
#include "engine/render/CRendIndexed.h"
#include "engine/render/CRendPalette.h"
#include "engine/render/CSegmentedLine.h"

namespace {

// A palette record with its entries, as packed data holds it.
std::vector<unsigned char> Palette(long count, long bpp, std::vector<unsigned char> entries)
{
    std::vector<unsigned char> bytes(12);
    std::memcpy(&bytes[4], &count, 4);
    std::memcpy(&bytes[8], &bpp, 4);
    bytes.insert(bytes.end(), entries.begin(), entries.end());
    return bytes;
}

TEST(PrimResourceTest, PaletteEntriesByDepth)
{
    struct Case {
        long bpp;
        std::vector<unsigned char> entries;
        int index;
        long expected;
    };
    const Case cases[] = {
        {24, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, 1, 0x445566},
        {24, {0x11, 0x22, 0x33}, 0, 0x112233},
        {16, {0x34, 0x12, 0x78, 0x56}, 1, 0x5678},
        {32, {0x44, 0x33, 0x22, 0x11}, 0, 0x11223344},
        {8, {1, 2}, 0, -1},
        {16, {0x34, 0x12}, 1, -1}, // outside the table: no read past its end
        {16, {0x34, 0x12}, -1, -1},
    };
    for (const Case& c : cases) {
        const long count = long(c.entries.size()) / (c.bpp == 8 ? 1 : c.bpp / 8);
        std::vector<unsigned char> bytes = Palette(count, c.bpp, c.entries);
        const CRendPalette* palette = reinterpret_cast<const CRendPalette*>(bytes.data());
        EXPECT_EQ(palette->GetEntry(c.index), c.expected) << c.bpp << " " << c.index;
    }
}

TEST(PrimResourceTest, SegmentedLineCapacity)
{
    CSegmentedLine none;
    const CVector p(1, 2, 3);
    EXPECT_FALSE(none.AddPoint(&p)); // no storage until Set
    CSegmentedLine line(2);
    EXPECT_EQ(line.GetThickness(), 0.03f);
    EXPECT_TRUE(line.AddPoint(&p));
    EXPECT_TRUE(line.AddPoint(&p));
    EXPECT_FALSE(line.AddPoint(&p));
    EXPECT_EQ(line.GetCount(), 2);
    // Asking for more than the storage holds gets new storage of that size.
    const CVector4 red(1, 0, 0, 1);
    line.Hide();
    line.Set(12, &red, 0.5f);
    EXPECT_TRUE(line.IsVisible());
    EXPECT_TRUE(line.IsEmpty());
    EXPECT_EQ(line.GetCapacity(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(line.AddPoint(&p));
    EXPECT_FALSE(line.AddPoint(&p));
    // A smaller request keeps the storage.
    line.Set(3, nullptr, 0.1f);
    EXPECT_EQ(line.GetCapacity(), 12);
    EXPECT_EQ(line.GetColor().x, 1.0f);
    CSegmentedLine copy(line);
    EXPECT_EQ(copy.GetCapacity(), 12);
    EXPECT_EQ(copy.GetThickness(), 0.1f);
}

struct Counting : CRendResource {
    void Render(CRender*) override { ++Draws; }
    int Draws = 0;
};

TEST(PrimResourceTest, IndexedResourceShowsTheElementAtTheIndex)
{
    Counting a, b;
    std::vector<unsigned char> bytes(12 + 2 * sizeof(CRendResource*));
    const unsigned long count = 2;
    std::memcpy(&bytes[4], &count, 4);
    CRendResource* elements[2] = {&a, &b};
    std::memcpy(&bytes[12], elements, sizeof elements);
    CRendIndexed* indexed = new (bytes.data()) CRendIndexed;
    CRender render;
    render.Attach(indexed, 0);
    render.Index(1);
    indexed->Render(&render);
    EXPECT_EQ(b.Draws, 1);
    EXPECT_EQ(indexed->GetResource(&render), &b);
    render.Index(2); // the count: nothing drawn, no resource
    indexed->Render(&render);
    EXPECT_EQ(a.Draws + b.Draws, 1);
    EXPECT_EQ(indexed->GetResource(&render), nullptr);
    int found = 1;
    indexed->GetAttachPoint(&render, 0, found, nullptr);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(indexed->GetAttachPointCount(), 2);
    render.DetachResource();
}

} // namespace

#include "RenderResourceSupport.h"
#include "engine/render/CRendMap.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

class ShapeTest : public RenderResourceTest {};

CRendResource* Named(const char* name)
{
    return static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

// A translucent screen ellipse over the clear colour, and a red box and a line in the world
// where World2Screen puts them.
TEST_F(ShapeTest, BuiltInShapesDraw)
{
    LoadTestCamera(CVector(0, -30, 20), CVector(0, 0, 0));

    CVector corner(600, 400, 0), opposite(500, 300, 0), boxAt(-6, 0, 0), boxTurn(0, 0, 0), from(4, -2, 0), to(8, 6, 0);
    const CVector4 red(1, 0, 0, 1);
    CRender ellipse, box, line;
    ellipse.Attach(&corner, &opposite, nullptr, nullptr);
    ellipse.Attach(Named("RendEllipse"), 0);
    ellipse.SetViewport(7);
    box.Attach(&boxAt, &boxTurn, &red, nullptr);
    box.Attach(Named("RendBox"), 0);
    line.Attach(&from, &to, nullptr, nullptr);
    line.Attach(Named("RendLine"), 0);
    for (CRender* r : {&ellipse, &box, &line}) {
        r->SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        r->Link();
    }
    float invW = 0;
    const CVector b = World2Screen(0, boxAt, invW);
    const CVector mid = World2Screen(0, (from + to) * 0.5f, invW);
    char points[96];
    std::snprintf(points, sizeof points, "550,350 %d,%d %d,%d 150,150", int(b.x), int(b.y), int(mid.x + 0.5f),
                  int(mid.y + 0.5f));
    const std::string out = Frame(points);
    for (CRender* r : {&ellipse, &box, &line})
        r->Unlink();
    // 0.3 of white over the clear colour (0, 0, 64).
    char expected[160];
    std::snprintf(expected, sizeof expected, "640 480\n550,350=4D4D7A\n%d,%d=FF0000\n%d,%d=FFFFFF\n150,150=000040\n",
                  int(b.x), int(b.y), int(mid.x + 0.5f), int(mid.y + 0.5f));
    EXPECT_EQ(out, expected);
}

// The vertices of every primitive one resource stores into layer 0's effect list.
std::vector<std::vector<PrimVertex>> Stored(CRendResource* resource, CRender& render)
{
    BeginTestLayer(0);
    resource->Render(&render);
    std::vector<std::vector<PrimVertex>> out;
    for (const EffectEntry& e : CurrentEffects()) {
        unsigned short header[2];
        std::memcpy(header, e.pData, sizeof header);
        const PrimVertex* v = reinterpret_cast<const PrimVertex*>(static_cast<const unsigned char*>(e.pData) + 4);
        out.emplace_back(v, v + header[1]);
    }
    EndTestLayer();
    return out;
}

// A flat 8 by 8 map at height 3 in a live world, so that outlines find the terrain.
class WorldShapeTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        if (GObject::EditableEvaluation)
            GObject::InitEditableInfo();
        World = GmvWorld::Create();
        Cells.assign(64, BasicCell{});
        for (BasicCell& c : Cells)
            c.Height = 48;
        std::memset(Storage, 0, sizeof Storage);
        CRendMap& m = *reinterpret_cast<CRendMap*>(Storage);
        m.Map.Flags = 1;
        m.Map.ViewportData = 1;
        m.Map.MapWidth = m.Map.MapHeight = 8;
        m.Map.CellSize = sizeof(BasicCell);
        m.Map.MapRowSize = 8 * sizeof(BasicCell);
        m.Map.TileWidth = 1;
        m.Map.ooTileWidth = 1.0f;
        m.Map.pMapCells = Cells.data();
        Map = new (Storage) CRendMap;
    }
    void TearDown() override
    {
        Map->~CRendMap();
        World->Destroy();
        RenderResourceTest::TearDown();
    }
    GmvWorld* World = nullptr;
    std::vector<BasicCell> Cells;
    alignas(4) unsigned char Storage[sizeof(CRendMap)];
    CRendMap* Map = nullptr;
};

TEST_F(WorldShapeTest, OutlinesLieOnTheTerrain)
{
    ASSERT_EQ(World->GetLocationCount(), 1);
    CVector p(1, 1, 0), q(4, 5, 0);
    CRender render;
    render.Attach(&p, &q, nullptr, nullptr);
    std::vector<std::vector<PrimVertex>> s = Stored(Named("RendWorldRect"), render);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].size(), 5u); // a closed outline
    const float corners[5][2] = {{1, 1}, {1, 5}, {4, 5}, {4, 1}, {1, 1}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s[0][size_t(i)].x, corners[i][0]);
        EXPECT_EQ(s[0][size_t(i)].y, corners[i][1]);
        EXPECT_FLOAT_EQ(s[0][size_t(i)].z, 3.0f);
    }

    q = CVector(5, 5, 0);
    s = Stored(Named("RendWorldEllipse"), render);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].size(), 33u);
    EXPECT_FLOAT_EQ(s[0][0].x, 5.0f); // angle 0: the centre (3, 3) plus the half axis
    EXPECT_FLOAT_EQ(s[0][0].y, 3.0f);
    for (const PrimVertex& v : s[0])
        EXPECT_FLOAT_EQ(v.z, 3.0f);
    // Off every map: no outline.
    p = CVector(100, 100, 0);
    q = CVector(104, 104, 0);
    EXPECT_TRUE(Stored(Named("RendWorldEllipse"), render).empty());
}

// Lines handed out by a source; counts the batches begun and ended.
struct TestLines : CLineBatchSource {
    int BeginLines() override { return ++Begun == 0 ? 0 : 7; }
    void EndLines(int token) override { Ended = token; }
    CSegmentedLine* NextLine(int token) override
    {
        EXPECT_EQ(token, 7);
        return Next < Lines.size() ? Lines[Next++] : nullptr;
    }
    std::vector<CSegmentedLine*> Lines;
    size_t Next = 0;
    int Begun = 0, Ended = 0;
};

TEST_F(ShapeTest, LineBatchesWidenAcrossEachSegment)
{
    const CVector4 green(0, 255, 0, 255);
    CSegmentedLine path(3), hidden(2);
    path.Set(3, &green, 0.5f);
    const CVector points[3] = {CVector(0, 0, 0), CVector(10, 1, 0), CVector(11, 9, 0)};
    for (const CVector& p : points)
        path.AddPoint(&p);
    hidden.AddPoint(&points[0]);
    hidden.AddPoint(&points[1]);
    hidden.Hide();
    TestLines source;
    source.Lines = {&path, &hidden};
    CRender render;
    render.Attach(&source);
    std::vector<std::vector<PrimVertex>> s = Stored(Named("RendLineBatch"), render);
    EXPECT_EQ(source.Ended, 7);
    ASSERT_EQ(s.size(), 3u); // two segments, then the later hidden line drawn all the same
    // Stored as strips from the middle: a, b, b', a' becomes b, b', a, a'.
    EXPECT_EQ(s[0][1].x, 10.0f); // mostly along x: widened along y
    EXPECT_EQ(s[0][1].y, 1.5f);
    EXPECT_EQ(s[1][1].x, 11.5f); // mostly along y: widened along x
    EXPECT_EQ(s[1][1].y, 9.0f);
    EXPECT_EQ(s[0][0].Colour, 0xFF00FF00u);

    // A hidden first line hides the whole batch.
    source.Lines = {&hidden, &path};
    source.Next = 0;
    EXPECT_TRUE(Stored(Named("RendLineBatch"), render).empty());
    EXPECT_EQ(source.Begun, 2);
}

} // namespace
