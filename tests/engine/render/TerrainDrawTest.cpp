// Terrain drawing on the software device: batches of 16 quads handed to the draw list, the
// cells that draw and those that do not, the fog-of-war corner colours, and a screenshot of a
// small terrain with its tiles, an overlay, a decal and a fog tint, the same under pass
// limits 1, 2 and 3; and a map file the converter made, drawn with its tiles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include <d3d9_fake_adapter.h>

#include "RenderResourceSupport.h"
#include "core/names/CCRC32.h"
#include "engine/render/CRender.h"
#include "engine/render/CRendMap.h"
#include "engine/render/Camera.h"
#include "engine/render/CLightTree.h"
#include "engine/render/LightHandles.h"
#include "engine/render/MapDecal.h"
#include "engine/render/SpriteQuads.h"
#include "engine/render/TerrainDraw.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"
#include "tests/support/RunCommand.h"

namespace {

const unsigned long kFullTile = 0x80800000; // coordinates 0 to 1 across the quad

struct TestFOW : ITerrainFOW {
    explicit TestFOW(float edgeGrey = 0.6f) : Edge(edgeGrey) {}
    void GetFOWColours(CVector4& visible, CVector4& unvisited, CVector4& visited, CVector4& edge) override
    {
        visible = CVector4(1, 1, 1, 1);
        unvisited = CVector4(0.25f, 0.25f, 0.25f, 1);
        visited = CVector4(0.5f, 0.5f, 0.5f, 1);
        edge = CVector4(Edge, Edge, Edge, 1);
    }
    const float Edge;
    float GetGameTime() override { return 100.0f; }
};

// An in-memory map of w by h cells, flat at height 0, every quad with tile 0.
struct TestMap {
    TestMap(int w, int h, unsigned tileWidth, const CVector& origin) : cells(size_t(w * h))
    {
        for (BasicCell& c : cells)
            c.BaseTile = kFullTile;
        std::memset(storage, 0, sizeof storage);
        CRendMap& m = *reinterpret_cast<CRendMap*>(storage);
        m.Map.Flags = rhu::BACKGROUND_BATCH_USE_SPLIT_FLAG;
        m.Map.Origin = origin;
        m.Map.MapWidth = (unsigned short)w;
        m.Map.MapHeight = (unsigned short)h;
        m.Map.CellSize = sizeof(BasicCell);
        m.Map.MapRowSize = unsigned(w) * sizeof(BasicCell);
        m.Map.TileWidth = (unsigned short)tileWidth;
        m.Map.ooTileWidth = 1.0f / float(tileWidth);
        m.Map.pMapCells = cells.data();
        // Materials that glow white and take no light, so the ground shows its vertex colour.
        for (Material& material : materials) {
            std::memset(&material, 0, sizeof material);
            material.Emissive = CVector(1, 1, 1);
            material.Alpha = 1.0f;
        }
        m.Map.pMaterialList = materials;
        map = new (storage) CRendMap;
    }
    ~TestMap() { map->~CRendMap(); }
    BasicCell& at(int c, int r) { return map->Cell(c, r); }
    void Textures(std::vector<TestTexture*> tiles, std::vector<TestTexture*> decalTiles)
    {
        for (TestTexture* t : tiles)
            textures.insert(textures.end(), t->Words, t->Words + 3);
        for (TestTexture* t : decalTiles)
            decalTextures.insert(decalTextures.end(), t->Words, t->Words + 3);
        map->Map.pTextures = reinterpret_cast<CRendTexture*>(textures.data());
        map->Map.pDecalTextures =
            decalTextures.empty() ? nullptr : reinterpret_cast<CRendTexture*>(decalTextures.data());
    }

    std::vector<BasicCell> cells;
    Material materials[16];
    std::vector<unsigned long> textures, decalTextures;
    alignas(4) unsigned char storage[sizeof(CRendMap)];
    CRendMap* map = nullptr;
};

class TerrainDrawTest : public RenderResourceTest {
protected:
    // The terrain entries of the draw list after drawing the map into layer 0.
    std::vector<DrawEntry> DrawOnce(CRendMap& map)
    {
        BeginTestLayer(0);
        map.Render(nullptr);
        const RenderBuffer& b = CRenderer::GetDevice().GetRenderBuffers().Draws;
        const DrawEntry* first = reinterpret_cast<const DrawEntry*>(b.pBase);
        std::vector<DrawEntry> entries(first, first + b.Count());
        EndTestLayer();
        return entries;
    }
    // The vertex colours of a handed-over block.
    static std::vector<D3DCOLOR> Colours(const DrawEntry& entry)
    {
        const TerrainBlock* block = static_cast<const TerrainBlock*>(entry.pBlock);
        void* at = nullptr;
        std::vector<D3DCOLOR> out;
        if (block->pVertices->Lock(0, 0, &at, D3DLOCK_READONLY) != D3D_OK)
            return out;
        for (int i = 0; i < block->Vertices; ++i)
            out.push_back(static_cast<const TerrainVertex*>(at)[i].Colour);
        block->pVertices->Unlock();
        return out;
    }
};

TEST_F(TerrainDrawTest, SeventeenQuadsMakeTwoBlocksAndHiddenCellsDrawNothing)
{
    LoadTestCamera(CVector(17, -20, 30), CVector(17, 1, 0));
    TestMap strip(18, 2, 2, CVector(0, 0, 0));
    std::vector<DrawEntry> entries = DrawOnce(*strip.map);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(CTerrainDraw::LastQuads, 17);
    EXPECT_EQ(CTerrainDraw::LastBatches, 1);
    unsigned triangles = 0;
    for (const DrawEntry& e : entries) {
        EXPECT_EQ(e.SortKey, unsigned(CTerrainDraw::kSortKey));
        EXPECT_EQ(e.SecondKey, 0u);
        triangles += static_cast<const TerrainBlock*>(e.pBlock)->Triangles * 100;
    }
    EXPECT_EQ(triangles, 32u * 100 + 2 * 100) << "blocks of 16 quads and 1 quad";
    EXPECT_EQ(entries[0].pState, entries[1].pState) << "one batch";

    // A cell with only a top tile draws only under renderer flag 0x20; a second tile is a
    // second batch.
    strip.at(3, 0).BaseTile = 0;
    strip.at(3, 0).TopTile = kFullTile | 1;
    strip.at(5, 0).BaseTile = kFullTile | 1;
    DrawOnce(*strip.map);
    EXPECT_EQ(CTerrainDraw::LastQuads, 16);
    EXPECT_EQ(CTerrainDraw::LastBatches, 2);
    Renderer->ChangeFlags(Renderer->GetEngineFlags() | CTerrainDraw::FLAG_TOP_ONLY_CELLS);
    DrawOnce(*strip.map);
    EXPECT_EQ(CTerrainDraw::LastQuads, 17);
    EXPECT_EQ(CTerrainDraw::LastBatches, 3) << "the top tile as the only layer is its own batch";

    // Looking away from the map: nothing drawn, no batch begun.
    LoadTestCamera(CVector(17, -20, 30), CVector(17, -60, 30));
    EXPECT_TRUE(DrawOnce(*strip.map).empty());
    EXPECT_EQ(CTerrainDraw::LastBatches, 0);
}

TEST_F(TerrainDrawTest, FogOfWarCornerColours)
{
    LoadTestCamera(CVector(3, -8, 12), CVector(3, 2, 0));
    TestMap map(7, 5, 1, CVector(0, 0, 0));
    // Values by column, every row alike: never seen, seen at now, now + 1, and far ahead.
    const float now = 100.0f;
    const float byColumn[7] = {-1, now, now + 1, now + 10, now + 10, now + 10, now + 10};
    std::vector<float> fow(7 * 5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 7; ++c)
            fow[size_t(r * 7 + c)] = byColumn[c];
    map.map->SetFOWPtr(fow.data(), 7);
    TestFOW source;
    CTerrainDraw::pFOW = &source;
    std::vector<DrawEntry> entries = DrawOnce(*map.map);
    CTerrainDraw::pFOW = nullptr;
    ASSERT_FALSE(entries.empty());
    // Quad (c, 1)'s corners, in the order (c, 1), (c+1, 1), (c, 2), (c+1, 2); find them by
    // their positions among the vertices of the row 1 quads.
    std::vector<std::pair<float, D3DCOLOR>> row1;
    for (const DrawEntry& e : entries) {
        const TerrainBlock* block = static_cast<const TerrainBlock*>(e.pBlock);
        void* at = nullptr;
        ASSERT_EQ(block->pVertices->Lock(0, 0, &at, D3DLOCK_READONLY), D3D_OK);
        for (int i = 0; i < block->Vertices; ++i) {
            const TerrainVertex& v = static_cast<const TerrainVertex*>(at)[i];
            if (v.y == 1.0f)
                row1.emplace_back(v.x, v.Colour);
        }
        block->pVertices->Unlock();
    }
    auto colourAt = [&](float x) {
        for (const auto& p : row1)
            if (p.first == x)
                return p.second;
        return D3DCOLOR(0);
    };
    EXPECT_EQ(colourAt(0), 0xFF3F3F3Fu) << "never seen";
    EXPECT_EQ(colourAt(1), 0xFF7F7F7Fu) << "seen until now: the visited colour";
    EXPECT_EQ(colourAt(2), 0xFFBFBFBFu) << "now + 1: midway to the visible colour";
    EXPECT_EQ(colourAt(3), 0xFF999999u) << "visible, but a neighbour fades sooner: the edge colour";
    EXPECT_EQ(colourAt(5), 0xFFFFFFFFu) << "visible with every neighbour";
    EXPECT_EQ(colourAt(6), 0xFFFFFFFFu) << "neighbours off the map are not read";

    // Without a fog-of-war source the same buffer tints nothing.
    entries = DrawOnce(*map.map);
    for (const DrawEntry& e : entries)
        for (D3DCOLOR c : Colours(e))
            EXPECT_EQ(c, 0xFFFFFFFFu);
}

TEST_F(TerrainDrawTest, DecalsHideUnderNeverSeenGround)
{
    LoadTestCamera(CVector(2, -6, 10), CVector(2, 2, 0));
    TestMap map(5, 5, 1, CVector(0, 0, 0));
    DecalData decals[2] = {{0, 0, 1, 0, kFullTile}, {0, 0, 2, 0, kFullTile | 1}};
    map.map->Map.pDecals = decals;
    map.map->Map.LastFOWDecal = 1;
    map.at(0, 0).DecalIndex = 1; // a fog-of-war decal
    map.at(2, 2).DecalIndex = 2;
    std::vector<float> fow(25, -1.0f);
    map.map->SetFOWPtr(fow.data(), 5);
    DrawOnce(*map.map);
    EXPECT_EQ(CTerrainDraw::LastBatches, 2) << "plain quads and the decal numbered above the fog-of-war ones";
    fow[0] = 100.0f; // one corner of quad (0, 0) seen
    DrawOnce(*map.map);
    EXPECT_EQ(CTerrainDraw::LastBatches, 3);
}

// The screenshot scene: red and green tiles, a white overlay in one quarter of quad (1, 1), a
// blue decal in another quarter of quads (1, 1) and (2, 2), and the fog of war leaving the last
// column of vertices never seen, so the quads beside it fade.
class TerrainShotTest : public TerrainDrawTest {
protected:
    void SetUp() override { ObjectTest::SetUp(); }
    void TearDown() override
    {
        CTerrainDraw::pFOW = nullptr;
        RenderResourceTest::TearDown();
    }
    void Start(int passLimit, const std::string& settings = "");
    std::string Shot(const std::string& points);
    bool LitGround = false; // materials that take the light instead of glowing
};

// As the base fixture sets up, with the pass limit in the game folder's settings.
void TerrainShotTest::Start(int passLimit, const std::string& settings)
{
    char cfg[96];
    std::snprintf(cfg, sizeof cfg, "width: 640\nheight: 480\nwindowed:\npasslimit: %d\n", passLimit);
    ObjectTest::SetUp();
    FakeAdapter::Configure(FakeAdapter::Default());
    ResetTransformState();
    Game =
        std::make_unique<ScopedGameFolder>(std::string("terrain_shot_") + std::to_string(passLimit) +
                                               (settings.empty() ? "" : "_" + settings.substr(0, settings.find(':'))),
                                           cfg + settings);
    Renderer = CRenderer::Create();
    ASSERT_NE(Renderer, nullptr);
    ASSERT_EQ(Renderer->Init(nullptr, 0, 0), 0);
    const fRECT full = {0, 0, 1, 1};
    Renderer->ConfigureLayers(8);
    Renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full,
                          CVector4(0, 0, 64, 0), 1.0f);
    LoadTestCamera(CVector(0, -12, 36), CVector(0, 0, 0));
}

std::string TerrainShotTest::Shot(const std::string& points)
{
    IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice();
    const D3DCOLOR red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    const D3DCOLOR green[4] = {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00};
    const D3DCOLOR overlay[4] = {0xFFFFFFFF, 0, 0, 0};
    const D3DCOLOR decal[4] = {0, 0, 0, 0xFF0000FF};
    TestTexture redTile(device, red), greenTile(device, green), overlayTile(device, overlay), decalTile(device, decal);
    TestMap map(5, 5, 4, CVector(-8, -8, 0));
    map.Textures({&redTile, &greenTile, &overlayTile}, {&decalTile});
    if (LitGround)
        for (Material& material : map.materials) {
            material.Emissive = CVector(0, 0, 0);
            material.Ambient = material.Diffuse = CVector(1, 1, 1);
        }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            map.at(c, r).BaseTile = kFullTile | (c >= 2 ? 1 : 0);
    map.at(1, 1).TopTile = kFullTile | 2;
    DecalData decals[1] = {{0, 0, 1, 0, kFullTile}};
    map.map->Map.pDecals = decals;
    map.at(1, 1).DecalIndex = 1;
    map.at(2, 2).DecalIndex = 1;
    std::vector<float> fow(25);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            fow[size_t(r * 5 + c)] = c >= 4 ? -1.0f : 110.0f;
    map.map->SetFOWPtr(fow.data(), 5);
    TestFOW source(1.0f);
    CTerrainDraw::pFOW = &source;
    CVector position(0, 0, 0), rotation(0, 0, 0);
    CRender render;
    render.Attach(&position, &rotation, nullptr, nullptr);
    render.Attach(map.map, 0);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    const std::string out = Frame(points);
    render.Unlink();
    render.DetachResource();
    CTerrainDraw::pFOW = nullptr;
    return out;
}

// Pixel positions of points of the terrain, in cell units of the 4-unit quads.
std::string PointsOf(const std::vector<std::pair<float, float>>& cells)
{
    std::string out;
    for (const auto& p : cells) {
        float invW = 0;
        const CVector s = World2Screen(0, CVector(-8 + 4 * p.first, -8 + 4 * p.second, 0), invW);
        out += std::to_string(int(s.x)) + "," + std::to_string(int(s.y)) + " ";
    }
    return out;
}

std::vector<int> Channels(const std::string& reader)
{
    std::vector<int> out;
    std::istringstream lines(reader);
    std::string line;
    std::getline(lines, line); // size
    while (std::getline(lines, line)) {
        const unsigned long rgb = std::strtoul(line.substr(line.find('=') + 1).c_str(), nullptr, 16);
        out.push_back(int(rgb >> 16 & 0xFF));
        out.push_back(int(rgb >> 8 & 0xFF));
        out.push_back(int(rgb & 0xFF));
    }
    return out;
}

TEST_F(TerrainShotTest, TilesOverlayDecalAndFogUnderEveryPassLimit)
{
    // Quad centres or quarters: red, green (seen), the overlay's and the decal's quarters of
    // quad (1, 1), the decal of quad (2, 2), a never-seen green quad, and off the map.
    const std::vector<std::pair<float, float>> cells = {{0.5f, 0.5f},   {2.5f, 0.5f},   {1.25f, 1.25f}, {1.75f, 1.75f},
                                                        {2.75f, 2.75f}, {3.875f, 1.5f}, {1.25f, 1.75f}};
    std::vector<std::vector<int>> shots;
    std::vector<unsigned> draws;
    for (int limit : {3, 2, 1}) {
        Start(limit);
        IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice();
        const unsigned before = FakeAdapter::DrawCount(device);
        const std::string out = Shot(PointsOf(cells) + "5,5");
        draws.push_back(FakeAdapter::DrawCount(device) - before);
        if (limit == 3) {
            const std::vector<int> c = Channels(out);
            ASSERT_EQ(c.size(), 24u) << out;
            auto near = [&](int point, int r, int g, int b) {
                EXPECT_NEAR(c[size_t(3 * point)], r, 2) << "point " << point << "\n" << out;
                EXPECT_NEAR(c[size_t(3 * point + 1)], g, 2) << "point " << point << "\n" << out;
                EXPECT_NEAR(c[size_t(3 * point + 2)], b, 2) << "point " << point << "\n" << out;
            };
            near(0, 255, 0, 0);
            near(2, 255, 255, 255); // the overlay over red
            near(3, 0, 0, 255);     // the decal over red
            near(4, 0, 0, 255);     // the decal over green
            near(6, 255, 0, 0);     // a transparent quarter of both: the base
            near(7, 0, 0, 64);      // the clear colour
            EXPECT_LT(c[3 * 5 + 1], 100) << "the never-seen quad is darkened\n" << out;
            EXPECT_GT(c[3 * 5 + 1], 40) << out;
            near(1, 0, 255, 0);
        }
        shots.push_back(Channels(out));
        TearDown();
    }
    ASSERT_EQ(shots.size(), 3u);
    // The same picture, in more passes the lower the limit: the batch of base, overlay and
    // decal takes one more pass at limit 2 and two more at limit 1, where the base-and-decal
    // batches take one more too.
    EXPECT_GT(draws[1], draws[0]);
    EXPECT_GT(draws[2] - draws[1], draws[1] - draws[0]);
    for (size_t i = 0; i < shots[0].size(); ++i) {
        EXPECT_NEAR(shots[1][i], shots[0][i], 2) << "pass limit 2, channel " << i;
        EXPECT_NEAR(shots[2][i], shots[0][i], 2) << "pass limit 1, channel " << i;
    }
}

// Under a light the fog of war still tints the ground: the light scales the picture the
// glowing ground gives unlit, seen and never-seen quads alike, and the fixed-function path
// lights it as the shaders do.
TEST_F(TerrainShotTest, LitGroundKeepsTheFogTint)
{
    const std::vector<std::pair<float, float>> cells = {{0.5f, 0.5f}, {2.5f, 0.5f}, {3.875f, 1.5f}, {3.875f, 3.5f}};
    auto shot = [&](const char* settings, bool withLight) {
        Start(3, settings);
        unsigned long sun = 0;
        if (withLight) {
            sun = LightHandleAquire();
            LightHandleSelect(sun);
            LightSetType(LightRecord::TYPE_DIRECTIONAL);
            LightSetCull(false);
            LightSetDirection(CVector(0, 0, 1));
            LightSetDiffuse(CVector(80, 80, 80));
            LightSetAmbient(CVector(40, 40, 40));
            LightEnable(sun, true);
        }
        LitGround = withLight;
        const std::vector<int> out = Channels(Shot(PointsOf(cells)));
        LitGround = false;
        if (sun)
            LightHandleRelease(sun);
        TearDown();
        return out;
    };
    const std::vector<int> unlit = shot("shaders:\n", false), lit = shot("shaders:\n", true),
                           fixedFunction = shot("noshaders:\n", true);
    ASSERT_EQ(unlit.size(), 12u);
    ASSERT_EQ(lit.size(), 12u);
    ASSERT_EQ(fixedFunction.size(), 12u);
    EXPECT_GT(unlit[0], 200) << "the seen red quad";
    EXPECT_LT(unlit[7], 120) << "the never-seen green quad is darkened";
    const float light = (40.0f + 80.0f) / 255.0f; // ambient + diffuse straight down
    for (size_t i = 0; i < lit.size(); ++i) {
        EXPECT_NEAR(lit[i], unlit[i] * light, 3) << "channel " << i;
        EXPECT_NEAR(fixedFunction[i], lit[i], 3) << "channel " << i;
    }
}

} // namespace

namespace {

// The layer's decal-list entries.
std::vector<DecalEntry> Decals()
{
    const RenderBuffer& b = CRenderer::GetDevice().GetRenderBuffers().Decals;
    const DecalEntry* first = reinterpret_cast<const DecalEntry*>(b.pBase);
    return std::vector<DecalEntry>(first, first + b.Count());
}

TEST_F(TerrainDrawTest, MapDecalCoversItsCellsJustAboveTheGround)
{
    LoadTestCamera(CVector(8, -10, 30), CVector(8, 8, 0));
    TestMap map(8, 8, 2, CVector(10, 20, 0));
    map.at(3, 2).Height = 32;
    map.at(2, 2).Flags |= rhu::BACKGROUND_FLIP_SPLIT;
    CMatrix texture;
    texture.SetIdentity();
    texture.m0 = 0.5f;
    texture.m5 = 0.25f;
    texture.m12 = 1.0f;
    const CVector4 red(255, 0, 0, 51);
    BeginTestLayer(0);
    SetMapDecalStyle(3, 1, &red, 9, nullptr);
    BeginMapDecal(map.map, 2, 2, 4, 5, texture);
    EndMapDecal();
    // Refused: 16 cells wide, past the map's last corner, no cells at all.
    const int refusedRects[3][4] = {{0, 0, 16, 2}, {6, 6, 8, 7}, {3, 3, 3, 5}};
    for (const int* refused : refusedRects) {
        BeginMapDecal(map.map, refused[0], refused[1], refused[2], refused[3], texture);
        EndMapDecal();
    }
    const std::vector<DecalEntry> decals = Decals();
    ASSERT_EQ(decals.size(), 1u);
    EXPECT_EQ(decals[0].SortValue, 3.0f);
    EXPECT_EQ(decals[0].SecondKey, 9u);
    const DrawState& s = *decals[0].pState;
    EXPECT_NE(s.RenderFlags & DRAW_ADDITIVE, 0u);
    EXPECT_FLOAT_EQ(s.C(16).x, 1.0f);
    EXPECT_FLOAT_EQ(s.C(16).y, 0.0f);
    EXPECT_FLOAT_EQ(s.C(18).w, 0.2f);
    int cells = 0;
    for (const DecalPiece* p = s.pDecalPieces; p; p = p->pNext)
        cells += p->Cells;
    EXPECT_EQ(cells, 6);
    const DecalPiece& piece = *s.pDecalPieces;
    ASSERT_EQ(piece.Vertices, 12);
    const VertexPNT* v = static_cast<const VertexPNT*>(piece.pVertices);
    // Corner (3, 2): cell coordinates, the height 2 just lifted, and coordinates from the
    // world position (16, 24).
    EXPECT_EQ(v[1].x, 3.0f);
    EXPECT_EQ(v[1].y, 2.0f);
    EXPECT_FLOAT_EQ(v[1].z, 2.00125f);
    EXPECT_FLOAT_EQ(v[1].u, 9.0f);
    EXPECT_FLOAT_EQ(v[1].v, 6.0f);
    // The first cell is split the other way, as its flag says.
    const std::vector<unsigned short> first(piece.pIndices, piece.pIndices + 12);
    EXPECT_EQ(first, (std::vector<unsigned short>{0, 1, 4, 0, 4, 3, 1, 2, 4, 2, 5, 4}));
    EndTestLayer();
}

// A resource that lays one blue decal on the map while the scene is drawn: its material glows
// white, so the style's colour shows without lights.
struct DecalMaker : CRendResource {
    DecalMaker()
    {
        std::memset(&Glow, 0, sizeof Glow);
        Glow.Emissive = CVector(1, 1, 1);
        Glow.Alpha = 1.0f;
    }
    void Render(CRender*) override
    {
        const CVector4 blue(0, 0, 255, 255);
        CMatrix texture;
        texture.SetIdentity();
        SetMapDecalStyle(0, 0, &blue, 0, &Glow);
        BeginMapDecal(pMap, 1, 1, 3, 3, texture);
        EndMapDecal();
    }
    CRendMap* pMap = nullptr;
    Material Glow;
};

// The decal list plays where the draw list's marker sorts: the decal shows over its cells and
// nowhere else.
TEST_F(TerrainDrawTest, MapDecalShowsOverItsCells)
{
    LoadTestCamera(CVector(0, -12, 36), CVector(0, 0, 0));
    const D3DCOLOR red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    TestTexture redTile(CRenderer::GetDevice().GetDevice(), red);
    TestMap map(5, 5, 4, CVector(-8, -8, 0));
    map.Textures({&redTile}, {});
    CVector position(0, 0, 0), rotation(0, 0, 0);
    CRender ground, decal;
    DecalMaker maker;
    maker.pMap = map.map;
    ground.Attach(&position, &rotation, nullptr, nullptr);
    ground.Attach(map.map, 0);
    decal.Attach(&position, &rotation, nullptr, nullptr);
    decal.Attach(&maker, 0);
    ground.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    decal.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    float invW = 0;
    const CVector in = World2Screen(0, CVector(-8 + 4 * 2, -8 + 4 * 2, 0), invW);
    const CVector out = World2Screen(0, CVector(-8 + 4 * 0.5f, -8 + 4 * 0.5f, 0), invW);
    const std::string points = std::to_string(int(in.x)) + "," + std::to_string(int(in.y)) + " " +
                               std::to_string(int(out.x)) + "," + std::to_string(int(out.y));
    ground.Link();
    const std::vector<int> bare = Channels(Frame(points));
    decal.Link();
    const std::vector<int> covered = Channels(Frame(points));
    decal.Unlink();
    ground.Unlink();
    ground.DetachResource();
    decal.DetachResource();
    ASSERT_EQ(bare.size(), 6u);
    ASSERT_EQ(covered.size(), 6u);
    EXPECT_GT(bare[0], 0);
    EXPECT_EQ(bare[2], 0);
    EXPECT_EQ(covered[0], 0) << "the decal's blue over the red ground";
    EXPECT_GT(covered[2], 200);
    EXPECT_EQ(std::vector<int>(covered.begin() + 3, covered.end()), std::vector<int>(bare.begin() + 3, bare.end()));
}

} // namespace

#ifdef MG_WEXLORN
namespace {

// A map file written by the map file fixture, converted by wexlorn and drawn: its quads take
// the fixture's tiles in a checkerboard, red where the tile word names tile 0 and green where it
// names tile 1, each seen at its centre on the hilly ground where World2Screen puts it.
TEST_F(TerrainShotTest, ConvertedMapDrawsItsTilesWhereItsQuadsLie)
{
    Start(3);
    const std::string fixture = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/converter/import2d/orvelfix.py " +
                                std::filesystem::current_path().string() + " 2>&1";
    ASSERT_EQ(mgtest::RunCommand(fixture).exitCode, 0);
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_WEXLORN) + " . 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    CZelFile::LoadChunkCategories(0x11);
    CZelFile file;
    ASSERT_EQ(file.Load("landscape.zel"), 0);
    CRendMap* map = static_cast<CRendMap*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("Landscape")));
    ASSERT_NE(map, nullptr);
    const int quadsX = map->Map.MapWidth - 1, quadsY = map->Map.MapHeight - 1;
    const float tile = float(map->Map.TileWidth);
    const CVector origin = map->Map.Origin;
    const CVector middle = origin + CVector(quadsX * tile / 2, quadsY * tile / 2, 0);
    LoadTestCamera(middle + CVector(0, -4, 24), middle);

    std::string points;
    for (int y = 0; y < quadsY; ++y)
        for (int x = 0; x < quadsX; ++x) {
            CVector centre = origin + CVector((x + 0.5f) * tile, (y + 0.5f) * tile, 0);
            CVector normal;
            centre.z = map->GetHeightData(centre, normal);
            float invW = 0;
            const CVector s = World2Screen(0, centre, invW);
            points += std::to_string(int(s.x)) + "," + std::to_string(int(s.y)) + " ";
        }
    CVector position(0, 0, 0), rotation(0, 0, 0);
    CRender render;
    render.Attach(&position, &rotation, nullptr, nullptr);
    render.Attach(map, 0);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    // The converted materials take the light: a sun from straight above shows their tiles.
    unsigned long sun = LightHandleAquire();
    LightHandleSelect(sun);
    LightSetType(LightRecord::TYPE_DIRECTIONAL);
    LightSetCull(false);
    LightSetDirection(CVector(0, 0, 1));
    LightSetDiffuse(CVector(80, 80, 80));
    LightSetAmbient(CVector(40, 40, 40));
    LightEnable(sun, true);
    const std::string out = Frame(points);
    LightHandleRelease(sun);
    render.Unlink();
    render.DetachResource();

    const std::vector<int> c = Channels(out);
    ASSERT_EQ(c.size(), size_t(3 * quadsX * quadsY)) << out;
    for (int y = 0; y < quadsY; ++y)
        for (int x = 0; x < quadsX; ++x) {
            const size_t at = size_t(3 * (y * quadsX + x));
            const bool red = (x + y) % 2 == 0;
            const int strong = c[at + (red ? 0 : 1)], weak = c[at + (red ? 1 : 0)];
            EXPECT_GT(strong, 60) << "quad " << x << "," << y << "\n" << out;
            EXPECT_LT(weak * 4, strong) << "quad " << x << "," << y << "\n" << out;
            EXPECT_LT(c[at + 2] * 4, strong) << "quad " << x << "," << y << "\n" << out;
        }
}

} // namespace
#endif
