#include "DemoWalker.h"

#include <math.h>

#include "engine/world/CPathFinder.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GDemoPathMover, 0x04808000)
IMPLEMENT_GOBJECT(GDemoWalker, 0x80008000)

GDemoPathMover::~GDemoPathMover() { CPathFinder::FreePathStack(pPath); }

void GDemoPathMover::MoveTo(const CVector& target)
{
    TargetVector = target;
    CPathFinder::FreePathStack(pPath);
    pPath = nullptr;
    bArrived = 0;
    AddFlag(FLAG_MOVING);
}

// A search still running is asked again in the next slice.
bool GDemoPathMover::Ask()
{
    CPathFinder* finder = GSectionMgr::pThe ? GSectionMgr::pThe->GetPathFinder() : nullptr;
    if (!finder) {
        Stop();
        return false;
    }
    EPathResult result = PATHRESULT_NOT_NOW;
    pPath = finder->GetGlobalPath(pPath, TimeslicePos, TargetVector, GPhysical::FromObject(GetParent()), result);
    if (result == PATHRESULT_IN_PROGRESS || result == PATHRESULT_NOT_NOW)
        return false;
    if (!pPath || result == PATHRESULT_NO_PATH) {
        Stop();
        return false;
    }
    Next = pPath->iTop;
    return true;
}

int GDemoPathMover::ProcessTimeslice()
{
    if (!pPath && !Ask())
        return 0;
    if (Next < 0) {
        bArrived = 1;
        Stop();
        return 0;
    }
    const CVector& to = pPath->pPoints[Next];
    const float dx = to.x - TimeslicePos.x, dy = to.y - TimeslicePos.y;
    const float length = sqrtf(dx * dx + dy * dy);
    if (length <= Speed) {
        TimeslicePos = CVector(to.x, to.y, TimeslicePos.z);
        --Next;
    } else {
        TimeslicePos += CVector(dx * Speed / length, dy * Speed / length, 0.0f);
        TimesliceRot.z = atan2f(dx, -dy);
    }
    StandOnGround();
    return 0;
}

// The walk follows the hills: the feet stay on the ground under the unit.
void GDemoPathMover::StandOnGround()
{
    if (GmvWorld::pThe)
        TimeslicePos.z = GmvWorld::GetHeight(static_cast<short>(GmvWorld::pThe->Viewport), TimeslicePos);
}

int GDemoWalker::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "Sight", "float", Sight);
    AddEditable(cursor, "Speed", "float", Speed);
    AddEditable(cursor, "Goal.X", "float", Goal.x);
    AddEditable(cursor, "Goal.Y", "float", Goal.y);
    return count + 4;
}

// The mover is made on the first frame, once the level's objects (and its grid) exist.
void GDemoWalker::Start()
{
    Home = Position;
    pWalk = static_cast<GDemoPathMover*>(Create(GDemoPathMover::ClassId, nullptr));
    if (!pWalk)
        return;
    SetMover(pWalk);
    pWalk->SetSpeed(Speed);
    pWalk->MoveTo(Goal);
}

bool GDemoWalker::Process()
{
    if (!pWalk)
        Start();
    else if (pWalk->Arrived())
        pWalk->MoveTo(pWalk->TargetVector == Goal ? Home : Goal);
    CVector at = Position;
    if (GFOWManager* fow = GFOWManager::pThe)
        fow->PlotFOW(Sight, at);
    return GPhysical::Process();
}
