// The renderer's terrain height queries, answered by the terrain maps of the world's locations.
#include "engine/render/CRendMap.h"
#include "engine/render/CRenderer.h"
#include "engine/world/GmvWorld.h"

namespace {

const CVector Up(0.0f, 0.0f, 1.0f);

// A location's map height at p; "up" for a map without cells.
float MapHeight(CRendMap* map, const CVector& p, CVector& normal)
{
    if (!map || map->IsEmpty() || !map->Map.pMapCells) {
        normal = Up;
        return 0.0f;
    }
    return map->GetHeightData(p, normal);
}

} // namespace

// Where locations overlap, a higher surface wins only while it stays below the point's own
// height plus 2: an object under a bridge stands on the ground, not on the deck above it.
float CRenderer::GetHeightData(CVector p)
{
    bool found = false;
    float height = 0.0f;
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        LocationEntry* location = GmvWorld::LocationArray[i];
        if (!GmvWorld::ValidLocationPosition(location, p))
            continue;
        CVector normal;
        const float h = MapHeight(location->pMap, p, normal);
        if (!found || (h < p.z + 2.0f && h > height))
            height = h;
        found = true;
    }
    return height;
}

float CRenderer::GetHeightData(CVector p, LocationEntry* location)
{
    CVector normal;
    return GetHeightData(p, normal, location);
}

float CRenderer::GetHeightData(CVector p, CVector& normal)
{
    CRender* render = GmvWorld::GetLocationRender(p);
    return MapHeight(render ? static_cast<CRendMap*>(render->GetResource()) : nullptr, p, normal);
}

float CRenderer::GetHeightData(CVector p, CVector& normal, LocationEntry* location)
{
    return MapHeight(location ? location->pMap : nullptr, p, normal);
}

float CRenderer::FindIntersection(const CVector& from, const CVector& to, int* cellOut)
{
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        const float t = GmvWorld::LocationArray[i]->pMap->FindIntersection(from, to, cellOut);
        if (t >= 0.0f)
            return t;
    }
    return -1.0f;
}
