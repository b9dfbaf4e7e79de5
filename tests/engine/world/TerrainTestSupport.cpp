#include "TerrainTestSupport.h"

#include <string.h>

#include <new>

#include "engine/include/RhuTypes.h"

TestMap::TestMap(int width, int height, int tileWidth, const CVector& origin)
    : m_Width(width), m_Cells(width * height), m_Record(sizeof(CRendMap)), m_pMap(nullptr)
{
    memset(m_Cells.data(), 0, m_Cells.size() * sizeof(BasicCell));
    for (BasicCell& cell : m_Cells) {
        cell.BaseTile = 1;
        cell.VertNormal = 127u << 16; // straight up
    }
    CRendMap* map = reinterpret_cast<CRendMap*>(m_Record.data());
    BackgroundBatch& m = map->Map;
    m.Origin = origin;
    m.MapWidth = static_cast<unsigned short>(width);
    m.MapHeight = static_cast<unsigned short>(height);
    m.CellSize = sizeof(BasicCell);
    m.TileWidth = static_cast<unsigned short>(tileWidth);
    m.ooTileWidth = 1.0f / tileWidth;
    m.MapRowSize = width * sizeof(BasicCell);
    m.pMapCells = m_Cells.data();
    m.ViewportData = 1;
}

TestMap::~TestMap() { Destroy(); }

void TestMap::SetPassability(int column, int row, int index)
{
    BasicCell& cell = Cell(column, row);
    cell.Flags = static_cast<unsigned char>((cell.Flags & 0x0F) | index << 4);
}

CRendMap* TestMap::Build()
{
    int lowest = 0x7FFF, highest = -0x8000;
    for (const BasicCell& cell : m_Cells) {
        lowest = cell.Height < lowest ? cell.Height : lowest;
        highest = cell.Height > highest ? cell.Height : highest;
    }
    CRendMap* map = reinterpret_cast<CRendMap*>(m_Record.data());
    map->Map.MinZheight = lowest / 16.0f;
    map->Map.MaxZheight = highest / 16.0f;
    m_pMap = new (m_Record.data()) CRendMap();
    return m_pMap;
}

void TestMap::Destroy()
{
    if (m_pMap)
        m_pMap->~CRendMap();
    m_pMap = nullptr;
}

void TestMap::SetBorderExcludes(const std::vector<BorderExclude>& excludes)
{
    m_Excludes = excludes;
    m_Excludes.push_back(BorderExclude{0, 0, 0});
    m_pMap->Map.pBorderExcludeList = m_Excludes.data();
}

void TestMap::SetDecals(const std::vector<CRendMap::DecalEntry>& decals)
{
    m_Buckets.assign(rhu::DECAL_HASH_MASK + 1, std::vector<CRendMap::DecalEntry>());
    for (const CRendMap::DecalEntry& d : decals)
        m_Buckets[d.Crc & rhu::DECAL_HASH_MASK].push_back(d);
    m_HashTable.clear();
    for (std::vector<CRendMap::DecalEntry>& bucket : m_Buckets) {
        bucket.push_back(CRendMap::DecalEntry{0, 0});
        m_HashTable.push_back(bucket.data());
    }
    m_pMap->ppDecalHashTable = m_HashTable.data();
}
