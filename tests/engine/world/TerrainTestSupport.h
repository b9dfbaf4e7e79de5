#pragma once
// Terrain maps for the world tests, laid out in memory as the packed data holds them and then
// built in place, as the loader builds them, so that they join the live world by themselves.
#include <vector>

#include "engine/render/CRendMap.h"

class TestMap {
public:
    // A width x height grid of vertices tileWidth apart from origin, all heights 0 and every
    // cell's passability 0.
    TestMap(int width, int height, int tileWidth, const CVector& origin);
    ~TestMap();
    TestMap(const TestMap&) = delete;
    TestMap& operator=(const TestMap&) = delete;

    // The record as the packed data holds it, before it is built.
    BackgroundBatch& Record() { return reinterpret_cast<CRendMap*>(m_Record.data())->Map; }
    BasicCell& Cell(int column, int row) { return m_Cells[row * m_Width + column]; }
    void SetPassability(int column, int row, int index);
    // Builds the map in place (it registers itself with the live world).
    CRendMap* Build();
    // Destroys it (it leaves the world).
    void Destroy();
    CRendMap* Get() { return m_pMap; }
    // Gives the built map a border-exclude list (the terminating record is added) and a decal
    // hash table of name keys with their decal indices: in-memory records the loader's checks
    // of packed data would refuse, so they are set after the build.
    void SetBorderExcludes(const std::vector<BorderExclude>& excludes);
    void SetDecals(const std::vector<CRendMap::DecalEntry>& decals);

private:
    int m_Width;
    std::vector<BasicCell> m_Cells;
    std::vector<unsigned char> m_Record;
    CRendMap* m_pMap;
    std::vector<BorderExclude> m_Excludes;
    std::vector<std::vector<CRendMap::DecalEntry>> m_Buckets;
    std::vector<CRendMap::DecalEntry*> m_HashTable;
};
