#pragma once
// The level's world as far as terrain maps need it: the location table that every map joins
// when it is built and leaves when it is destroyed. Without a live world nothing registers.
class CRendMap;

struct LocationEntry {
    CRendMap* map;
    float minX, minY, minZ;
    float maxX, maxY, maxZ;
};

class GmvWorld {
public:
    enum { kMaxLocations = 16 };

    virtual ~GmvWorld();
    // Adds (add true) or removes the location of a map; a seventeenth map or an unknown one
    // on removal changes nothing.
    virtual void Register(CRendMap* map, bool add);
    // The live world's Register, nothing when there is none.
    static void RegisterLocation(CRendMap* map, bool add);

    static GmvWorld* pThe;
    static LocationEntry* LocationArray[kMaxLocations];
    int LocationCount = 0;
};
