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
#include "engine/render/Camera.h"
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

} // namespace
