// Terrain maps: a map written byte by byte by mapfix.py is loaded from packed data and answers
// height and segment queries as the fixture's own computation does; damaged maps are refused
// with a message naming their file; the writers and the reader keep to their runs; decals
// tick; the normals follow the ground.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/names/CCRC32.h"
#include "engine/render/CRendMap.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

CRendMap* Exported(const char* name)
{
    return static_cast<CRendMap*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

class TerrainFile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CZelFile::LoadChunkCategories(0x11);
        file = new CZelFile;
        ASSERT_EQ(file->Load("terrain.zel"), 0);
    }
    static void TearDownTestSuite()
    {
        delete file;
        file = nullptr;
    }
    static CZelFile* file;
};
CZelFile* TerrainFile::file = nullptr;

std::vector<std::vector<double>> Expectations(const char* kind)
{
    std::ifstream in(MG_BINARY_DIR "/tests/engine/render/terrain/zel/terrain_expect.txt");
    std::vector<std::vector<double>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word != kind)
            continue;
        std::vector<double> values;
        double v;
        while (words >> v)
            values.push_back(v);
        rows.push_back(values);
    }
    return rows;
}

TEST_F(TerrainFile, HeightsMatchTheFixturesPlanes)
{
    CRendMap* map = Exported("Terrain");
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->Map.MapWidth, 32);
    const auto rows = Expectations("height");
    ASSERT_EQ(rows.size(), 200u);
    for (const auto& r : rows) {
        CVector normal;
        EXPECT_NEAR(map->GetHeightData(CVector(float(r[0]), float(r[1]), 0), normal), r[2], 2e-3)
            << r[0] << ", " << r[1];
        EXPECT_NEAR(normal.GetLength(), 1.0f, 0.03f);
        EXPECT_GT(normal.z, 0.0f);
    }
}

TEST_F(TerrainFile, SegmentsHitWhereTheFixtureFindsTheGround)
{
    CRendMap* map = Exported("Terrain");
    ASSERT_NE(map, nullptr);
    const auto rows = Expectations("ray");
    ASSERT_GE(rows.size(), 60u);
    int hits = 0;
    for (const auto& r : rows) {
        const CVector from{float(r[0]), float(r[1]), float(r[2])}, to{float(r[3]), float(r[4]), float(r[5])};
        int cell = 7;
        const float fraction = map->FindIntersection(from, to, &cell);
        if (r[6] < 0) {
            EXPECT_EQ(fraction, -1.0f);
            continue;
        }
        ++hits;
        EXPECT_NEAR(fraction, r[6], 1e-3) << r[0] << " " << r[1] << " " << r[2];
        EXPECT_EQ(cell, 0);
    }
    EXPECT_GT(hits, 50);
}

TEST_F(TerrainFile, CellsTileWordsAndBordersComeFromTheFile)
{
    CRendMap* map = Exported("Terrain");
    ASSERT_NE(map, nullptr);
    // The data's split bits stay: the file sets the split flag of the batch.
    BasicCell* cell = map->GetBasicCell(10.0f + 2 * 3 + 0.5f, 20.0f + 2 * 3 + 0.5f);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell, &map->Cell(3, 3));
    EXPECT_EQ(cell->DecalIndex, 1);
    EXPECT_EQ(map->GetBasicCell(9.9f, 25.0f), nullptr) << "just left of the map";
    EXPECT_EQ(map->GetBasicCell(10.0f + 64.0f, 25.0f), nullptr);
    EXPECT_EQ(map->Map.ViewportData, 0xFFFFFFFFu);
    EXPECT_EQ(map->Map.CameraMask, 0xFFFFFFFFu);
    ASSERT_NE(map->GetBorderExcludes(), nullptr);
    EXPECT_EQ(map->GetBorderExcludes()->Side, 1u);
    EXPECT_EQ(map->GetBorderExcludes()[1].Side, 0u);
    CVector min, max;
    map->GetSize(min, max);
    EXPECT_EQ(max.x, 10.0f + 64.0f);
    RECT box;
    map->GetBoundingBox(box, 0);
    EXPECT_EQ(box.right, 62);
    // Decal 1 lasts two ticks, then decal 2 (which never runs out in that time) follows.
    cell->VertNormal = (cell->VertNormal & 0xFFFFFF) | 2u << 24;
    map->UpdateDecals();
    EXPECT_EQ(cell->DecalIndex, 1);
    map->UpdateDecals();
    EXPECT_EQ(cell->DecalIndex, 2);
    EXPECT_EQ(cell->VertNormal >> 24, 2u);
}

TEST(TerrainDamage, DamagedMapsAreRefusedNamingTheirFile)
{
    struct Case {
        const char* file;
        const char* map;
        const char* message;
    } cases[] = {
        {"mapbad_tile.zel", "BadTile", "tile 3 is past its tile set"},
        {"mapbad_rows.zel", "BadRows", "its row size 516 is not 32 cells of 16 bytes"},
        {"mapbad_cells.zel", "BadCells", "its cells reach past the end of its file"},
    };
    CZelFile::LoadChunkCategories(0x11);
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        CZelFile file;
        ASSERT_EQ(file.Load(c.file), 0) << c.file;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_NE(out.find(c.file), std::string::npos) << out;
        CRendMap* map = Exported(c.map);
        ASSERT_NE(map, nullptr);
        EXPECT_TRUE(map->IsEmpty());
        CVector normal;
        EXPECT_EQ(map->GetHeightData(CVector(20, 30, 0), normal), 0.0f);
        EXPECT_EQ(map->FindIntersection(CVector(20, 30, 10), CVector(21, 31, -10), nullptr), -1.0f);
        EXPECT_EQ(map->GetBasicCell(20, 30), nullptr);
    }
}

// A map file written by orvelfix.py and converted by wexlorn: the cells, sizes and materials
// the converter wrote are the ones the fixture works out from the file's bytes.
TEST(TerrainConverted, MapFileConvertsToTheCellsOfItsFile)
{
    std::ifstream expect(MG_BINARY_DIR "/tests/engine/render/terrain/zel/landscape_expect.txt");
    if (!expect)
        GTEST_SKIP() << "the converter was not built, so there is no converted map";
    CZelFile::LoadChunkCategories(0x11);
    testing::internal::CaptureStdout();
    CZelFile file;
    ASSERT_EQ(file.Load("landscape.zel"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("Terrain map"), std::string::npos) << "not refused";
    CRendMap* map = Exported("Landscape");
    ASSERT_NE(map, nullptr);
    std::string word;
    int cells = 0;
    while (expect >> word) {
        if (word == "size") {
            int w, h, tileWidth;
            expect >> w >> h >> tileWidth;
            EXPECT_EQ(map->Map.MapWidth, w);
            EXPECT_EQ(map->Map.MapHeight, h);
            EXPECT_EQ(map->Map.TileWidth, tileWidth);
            EXPECT_EQ(map->Map.ooTileWidth, 1.0f / float(tileWidth));
            EXPECT_EQ(map->Map.CellSize, 16);
            EXPECT_EQ(map->Map.MapRowSize, unsigned(16 * w));
        } else if (word == "cell") {
            int x, y, height;
            unsigned long tile;
            expect >> x >> y >> height >> tile;
            const BasicCell& cell = map->Cell(x, y);
            EXPECT_EQ(cell.Height, height) << x << "," << y;
            EXPECT_EQ(cell.BaseTile, tile) << x << "," << y;
            EXPECT_EQ(cell.TopTile, 0u);
            EXPECT_EQ(cell.DecalIndex, 0);
            EXPECT_EQ(cell.Flags, 0) << "the file has no flips and no split; the data's split bits are kept";
            ++cells;
        } else if (word == "range") {
            float low, high;
            expect >> low >> high;
            EXPECT_FLOAT_EQ(map->Map.MinZheight, low);
            EXPECT_FLOAT_EQ(map->Map.MaxZheight, high);
        }
    }
    EXPECT_EQ(cells, 24);
    EXPECT_EQ(map->Map.Flags, 1u) << "the data's split bits are used";
    EXPECT_EQ(map->Map.ViewportData, 1u);
    EXPECT_EQ(map->Map.CameraMask, 255u);
    ASSERT_NE(map->Map.pMaterialList, nullptr);
    EXPECT_EQ(map->Map.pMaterialList[0].Ambient, CVector(1, 1, 1));
    EXPECT_EQ(map->Map.pMaterialList[15].Ambient, CVector(0, 1, 0));
    EXPECT_NE(map->Map.pTextures, nullptr);
    EXPECT_EQ(map->Map.VBatch.NumVerts, 4u);
    CVector normal;
    EXPECT_FLOAT_EQ(map->GetHeightData(CVector(2.0f * 2, 2.0f * 1, 0), normal), map->Cell(2, 1).Height / 16.0f);
}

// An in-memory map of w by h cells with heights from a function.
struct MemoryMap {
    std::vector<BasicCell> cells;
    alignas(4) unsigned char storage[sizeof(CRendMap)];
    CRendMap* map = nullptr;

    template <class Height> MemoryMap(int w, int h, unsigned long flags, Height height, unsigned tileWidth = 1)
    {
        cells.assign(size_t(w * h), BasicCell{});
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                cells[size_t(r * w + c)].Height = short(height(c, r));
        std::memset(storage, 0, sizeof storage);
        CRendMap& m = *reinterpret_cast<CRendMap*>(storage);
        m.Map.Flags = flags;
        m.Map.MapWidth = (unsigned short)w;
        m.Map.MapHeight = (unsigned short)h;
        m.Map.CellSize = sizeof(BasicCell);
        m.Map.MapRowSize = unsigned(w) * sizeof(BasicCell);
        m.Map.TileWidth = (unsigned short)tileWidth;
        m.Map.ooTileWidth = 1.0f / float(tileWidth);
        m.Map.pMapCells = cells.data();
        map = new (storage) CRendMap;
    }
    ~MemoryMap() { map->~CRendMap(); }
    BasicCell& at(int c, int r) { return map->Cell(c, r); }
};

TEST(TerrainMemory, CheckerboardSplitUnlessTheDataGivesIt)
{
    MemoryMap plain(4, 4, 0, [](int, int) { return 0; });
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ((plain.at(c, r).Flags & 8) != 0, ((r ^ c) & 1) != 0) << c << "," << r;
    MemoryMap given(4, 4, 1, [](int, int) { return 0; });
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(given.at(c, r).Flags & 8, 0);
}

TEST(TerrainMemory, NormalsOfATiltedPlaneAndTheShear)
{
    // Height 0.5 x + 0.25 y in world units: the interior normals point along (-0.5, -0.25, 1).
    MemoryMap tilted(8, 8, 0, [](int c, int r) { return 8 * c + 4 * r; });
    const CVector expected = CVector(-0.5f, -0.25f, 1.0f) * (127.0f / std::sqrt(1.3125f));
    for (int r = 1; r < 7; ++r)
        for (int c = 1; c < 7; ++c) {
            const unsigned long n = tilted.at(c, r).VertNormal;
            EXPECT_NEAR(float(static_cast<signed char>(n & 0xFF)), expected.x, 1.01f);
            EXPECT_NEAR(float(static_cast<signed char>(n >> 8 & 0xFF)), expected.y, 1.01f);
            EXPECT_NEAR(float(static_cast<signed char>(n >> 16 & 0xFF)), expected.z, 1.01f);
        }
    EXPECT_EQ(tilted.at(7, 7).VertNormal, 127u << 16) << "the last row and column keep the upright normal";
    WorldShear = WorldShearValues{1.0f, 2.0f, 0.5f, -1.0f};
    CVector normal;
    EXPECT_NEAR(tilted.map->GetHeightData(CVector(3.0f, 4.0f, 0), normal), 1.5f + 1.0f + 1.0f - 2.0f, 1e-5);
    // Past the right edge the edge quad is taken with fraction 1.
    EXPECT_NEAR(tilted.map->GetHeightData(CVector(20.0f, 4.0f, 0), normal), 3.5f + 1.0f + 9.5f - 2.0f, 1e-5);
    // Just left of the map the edge is taken with fraction 0, not extrapolated past it.
    EXPECT_NEAR(tilted.map->GetHeightData(CVector(-0.5f, 4.0f, 0), normal), 0.0f + 1.0f - 0.75f - 2.0f, 1e-5);
    WorldShear = WorldShearValues{};
}

TEST(TerrainMemory, RunsClipToTheMapAndKeepPerCellSourcesInStep)
{
    MemoryMap m(6, 4, 1, [](int, int) { return 0; });
    const MapWritePos runs[] = {{-3, 0, 5}, {0, 9, 2}, {4, 1, 4}, {0, 0, 0}};
    const unsigned char decals[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    m.map->WriteDecalData(0, 0, runs, decals, 0);
    EXPECT_EQ(m.at(0, 0).DecalIndex, 4);
    EXPECT_EQ(m.at(1, 0).DecalIndex, 5);
    EXPECT_EQ(m.at(2, 0).DecalIndex, 0);
    EXPECT_EQ(m.at(4, 1).DecalIndex, 8) << "the run of an outside row consumed its two entries";
    EXPECT_EQ(m.at(5, 1).DecalIndex, 9);
    const MapWritePos none[] = {{0, 0, 0}, {0, 0, 3}};
    const unsigned char seven = 7;
    m.map->WriteDecalData(2, 2, none, &seven, CRendMap::WRITE_CONSTANT);
    EXPECT_EQ(m.at(2, 2).DecalIndex, 0);

    // Tiles, flags under their mask and heights, read back through the reader.
    const MapWritePos row[] = {{0, 0, 3}, {0, 0, 0}};
    MapWriteCell source[3] = {
        {0x0B, 0x01, 40, 0x11, 0x21}, {0x0B, 0xFF, 48, 0x12, 0x22}, {0x00, 0x08, -32, 0x13, 0x23}};
    m.at(2, 1).Flags = 0x08 | 0x40;
    m.map->WriteTileData(0, 1, 16, row, source, CRendMap::WRITE_BASE | CRendMap::WRITE_TOP | CRendMap::WRITE_HEIGHT);
    EXPECT_EQ(m.at(0, 1).Flags & 0x0F, 0x01);
    EXPECT_EQ(m.at(1, 1).Flags & 0x0F, 0x0B);
    EXPECT_EQ(m.at(2, 1).Flags, 0x40) << "only the masked split bit changed; the user value stays";
    EXPECT_EQ(m.map->Map.MaxZheight, 4.0f);
    EXPECT_EQ(m.map->Map.MinZheight, -1.0f);
    MapWriteCell back[3] = {};
    m.map->ReadTileData(0, 1, row, back, 0x3E);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].BaseTile, source[i].BaseTile);
        EXPECT_EQ(back[i].TopTile, source[i].TopTile);
        EXPECT_EQ(back[i].Height, source[i].Height + 16);
    }
    EXPECT_EQ(back[0].Flags & 0x0F, 0x01);
    // The ring above the written row is recomputed too: it now slopes.
    EXPECT_NE(m.at(1, 2).VertNormal & 0xFFFFFF, 127u << 16);

    m.map->WriteTileHeight(3, 3, 800);
    EXPECT_EQ(m.map->Map.MaxZheight, 50.0f);
    m.map->WriteTileHeight(30, 3, 900); // outside: ignored
    EXPECT_EQ(m.map->Map.MaxZheight, 50.0f);
}

TEST(TerrainMemory, DecalKeysAndTimers)
{
    MemoryMap m(3, 3, 1, [](int, int) { return 0; });
    CRendMap::DecalEntry bucket1[] = {{0x11, 0}, {0x21, 4}, {0, 0}};
    CRendMap::DecalEntry* table[16] = {};
    table[1] = bucket1;
    m.map->ppDecalHashTable = table;
    EXPECT_EQ(m.map->GetDecalIndex(0x11), 1);
    EXPECT_EQ(m.map->GetDecalIndex(0x21), 5);
    EXPECT_EQ(m.map->GetDecalIndex(0x31), 0);
    EXPECT_EQ(m.map->GetDecalIndex(0x12), 0) << "an empty bucket";
    m.map->ppDecalHashTable = nullptr;
    EXPECT_EQ(m.map->GetDecalIndex(0x11), 0);

    DecalData decals[] = {{0, 3, 0, 0, 0x1000}};
    m.map->Map.pDecals = decals;
    m.at(1, 1).DecalIndex = 1;
    m.at(1, 1).VertNormal |= 3u << 24;
    for (int tick = 0; tick < 2; ++tick) {
        m.map->UpdateDecals();
        EXPECT_EQ(m.at(1, 1).DecalIndex, 1);
    }
    m.map->UpdateDecals();
    EXPECT_EQ(m.at(1, 1).DecalIndex, 0);
}

TEST(TerrainMemory, RefusedSizesAndTheWorldsLocations)
{
    struct Case {
        int w, h, cellSize;
        const char* message;
    } cases[] = {{1100, 2, 16, "past the limit"}, {4, 4, 8, "smaller than a cell record"}};
    for (const Case& c : cases) {
        std::vector<BasicCell> cells(64);
        alignas(4) unsigned char storage[sizeof(CRendMap)] = {};
        CRendMap& m = *reinterpret_cast<CRendMap*>(storage);
        m.Map.MapWidth = (unsigned short)c.w;
        m.Map.MapHeight = (unsigned short)c.h;
        m.Map.CellSize = (unsigned short)c.cellSize;
        m.Map.MapRowSize = unsigned(c.w * c.cellSize);
        m.Map.TileWidth = 1;
        m.Map.pMapCells = cells.data();
        testing::internal::CaptureStdout();
        CRendMap* map = new (storage) CRendMap;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_TRUE(map->IsEmpty());
        map->~CRendMap();
    }
    // With a live world a map joins the location table and leaves it when destroyed.
    if (GObject::EditableEvaluation)
        GObject::InitEditableInfo();
    GmvWorld* world = GmvWorld::Create();
    ASSERT_NE(world, nullptr);
    {
        MemoryMap m(
            5, 4, 1, [](int, int) { return 16; }, 2);
        ASSERT_EQ(world->GetLocationCount(), 1);
        EXPECT_EQ(GmvWorld::LocationArray[0]->pMap, m.map);
        EXPECT_EQ(GmvWorld::LocationArray[0]->MaxX, 8.0f);
        EXPECT_EQ(GmvWorld::LocationArray[0]->MaxY, 6.0f);
    }
    EXPECT_EQ(world->GetLocationCount(), 0);
    world->Destroy();
    GObject::DestroyObjects();
    EXPECT_EQ(GmvWorld::pThe, nullptr);
}

} // namespace
