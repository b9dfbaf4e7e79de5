#include "engine/world/GmvWorld.h"

#include "engine/render/CRendMap.h"

GmvWorld* GmvWorld::pThe;
LocationEntry* GmvWorld::LocationArray[GmvWorld::kMaxLocations];

GmvWorld::~GmvWorld()
{
    while (LocationCount > 0)
        Register(LocationArray[0]->map, false);
    if (pThe == this)
        pThe = nullptr;
}

void GmvWorld::RegisterLocation(CRendMap* map, bool add)
{
    if (pThe)
        pThe->Register(map, add);
}

void GmvWorld::Register(CRendMap* map, bool add)
{
    if (add) {
        if (LocationCount >= kMaxLocations)
            return;
        const BackgroundBatch& m = map->Map;
        LocationArray[LocationCount++] =
            new LocationEntry{map,
                              m.Origin.x,
                              m.Origin.y,
                              m.MinZheight,
                              m.Origin.x + float(m.TileWidth) * float(m.MapWidth - 1),
                              m.Origin.y + float(m.TileWidth) * float(m.MapHeight - 1),
                              m.MaxZheight};
        return;
    }
    for (int i = 0; i < LocationCount; ++i) {
        if (LocationArray[i]->map != map)
            continue;
        delete LocationArray[i];
        for (int j = i; j + 1 < LocationCount; ++j)
            LocationArray[j] = LocationArray[j + 1];
        LocationArray[--LocationCount] = nullptr;
        return;
    }
}
