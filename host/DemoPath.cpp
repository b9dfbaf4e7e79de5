#include "DemoPath.h"

#include <cstdio>

#include "DemoCursor.h"
#include "engine/render/CRenderer.h"
#include "engine/world/GPathFinder.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GDemoPath, 0x00000000)

namespace {
// A viewport no layer shows: the level's own ground object draws the terrain.
const int UNSEEN_VIEWPORT = 31;
} // namespace

BYTE DemoHighGround::Test(const CVector& p) { return CRenderer::GetHeightData(p) > Limit; }

GDemoPath::GDemoPath()
{
    if (EditableEvaluation != 0)
        return;
    HighGround.Limit = HeightLimit;
    Filter.Add(&HighGround, 1);
}

GDemoPath::~GDemoPath()
{
    if (EditableEvaluation != 0)
        return;
    if (GPathFinder::pThe)
        GPathFinder::pThe->Stop(&Request);
    CPathData::FreePath(Request.pPath);
}

int GDemoPath::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "pMap", "CRendResource *", pMap);
    AddEditable(cursor, "pPathFinderData", "CEmbeddedFillData *", pPathFinderData);
    AddEditable(cursor, "StartX", "float", StartX);
    AddEditable(cursor, "StartY", "float", StartY);
    AddEditable(cursor, "GoalX", "float", GoalX);
    AddEditable(cursor, "GoalY", "float", GoalY);
    AddEditable(cursor, "HeightLimit", "float", HeightLimit);
    return count + 7;
}

// The level's path finder comes from its creation data, as a level's fog of war would make it.
bool GDemoPath::SetUp()
{
    if (!pMap || !GSectionMgr::pThe) {
        std::printf("demo: no map or section grid for the path finder\n");
        return false;
    }
    if (!GmvWorld::pThe)
        GmvWorld::Create()->Viewport = UNSEEN_VIEWPORT;
    GmvWorld::RegisterLocation(reinterpret_cast<CRendMap*>(pMap), true);
    GSectionMgr::pThe->New(pPathFinderData);
    if (!GPathFinder::pThe) {
        std::printf("demo: the level's data made no time-sliced path finder\n");
        return false;
    }
    return true;
}

bool GDemoPath::Process()
{
    if (!bAsked) {
        bAsked = true;
        if (!SetUp())
            return false;
        const CVector start(StartX, StartY, 0.0f), goal(GoalX, GoalY, 0.0f);
        Request.pPositionFilter = &Filter;
        Request.SetGlobal(start, goal, PATH_NEW);
        GPathFinder::pThe->GetPath(&Request);
        std::printf("demo: frame %d path asked from %.0f,%.0f to %.0f,%.0f round ground above %.1f\n",
                    GDemoCursor::Turn, StartX, StartY, GoalX, GoalY, HeightLimit);
    }
    if (!bReported && Request.iStatus >= PATHSTATUS_CUT_OFF)
        Report();
    return false;
}

void GDemoPath::Report()
{
    bReported = true;
    const CPath* path = Request.pPath;
    if (!path) {
        std::printf("demo: frame %d no path (status %d)\n", GDemoCursor::Turn, Request.iStatus);
        return;
    }
    std::printf("demo: frame %d path found (status %d): %d points, %.1f units:", GDemoCursor::Turn, Request.iStatus,
                path->iTop + 1, path->fLength);
    for (int i = path->iTop; i >= 0; --i)
        std::printf(" %.1f,%.1f", path->pPoints[i].x, path->pPoints[i].y);
    std::printf("\n");
}
