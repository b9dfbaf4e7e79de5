#pragma once
// The demo game's path finding, built into the host as a game's own classes are: it lays the
// level's terrain map out as the world's ground (unseen: the level shows the same map through
// its own object), sets up the section grid with the level's time-sliced path finder, asks it
// for one path across the hills and logs the path when the finder hands it over.
#include "engine/object/GObject.h"
#include "engine/world/CPathData.h"
#include "engine/world/CZFilter.h"

class CRendMap;
class CRendResource;

// Blocks ground higher than a limit: the hills.
class DemoHighGround : public VVector {
public:
    BYTE Test(const CVector& p) override;
    float Limit;
};

class GDemoPath : public GObject {
    DECLARE_GOBJECT(GDemoPath, GObject)

    GDemoPath();
    ~GDemoPath() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    CRendResource* pMap;
    CEmbeddedFillData* pPathFinderData;
    float StartX, StartY, GoalX, GoalY;
    float HeightLimit;

private:
    bool SetUp();
    void Report();

    bool bAsked;
    bool bReported;
    CPathData Request;
    DemoHighGround HighGround;
    CZFilter<CVector> Filter;
};
