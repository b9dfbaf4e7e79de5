#include "engine/world/CPathFinder.h"

#include <string.h>
#include <windows.h>

#include "core/heap/ZHeap.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderer.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

CPathFinder* CPathFinder::pThe = nullptr;

namespace {

// Where the first step of a local search is checked on the way from the asker.
const float kFirstStepSamples[4] = {0.1f, 0.25f, 0.3333f, 0.5f};
// Players with a say over the finder: the local player and the spectator.
const WORD HUMAN_PLAYER = 1;
const WORD SPECTATOR_PLAYER = 9;
// Blocked's mask for the goal test: objects that collide.
const DWORD GOAL_MASK = 2;
const int MAX_CELLS_PER_SIDE = GSectionMgr::MAX_SECTIONS * GSectionMgr::SECTION_SIZE;

float DistanceSq2D(const CVector& a, const CVector& b) { return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y); }

int Smaller(int a, int b) { return a < b ? a : b; }

GPhysical* PhysicalOf(HGOBJECT handle) { return GPhysical::FromObject(GObject::GetGobject(handle)); }

} // namespace

int CPathStack::GetClosestPoint(CVector& out, const CVector&, const CVector& to) const
{
    int best = 0;
    for (int i = 1; i <= iTop; ++i)
        if (DistanceSq2D(pPoints[i], to) < DistanceSq2D(pPoints[best], to))
            best = i;
    out.x = pPoints[best].x;
    out.y = pPoints[best].y;
    GPhysical* owner = PhysicalOf(hOwner);
    if (owner && DistanceSq2D(owner->GetPos(), to) < DistanceSq2D(pPoints[best], to))
        return iTop + 1;
    return best;
}

CPathFinder::CPathFinder()
{
    memset(static_cast<void*>(Successors), 0, sizeof(Successors));
    memset(static_cast<void*>(pStored), 0, sizeof(pStored));
    hSuspended = HGOBJECT(0);
    Goal = NullVector;
    StartCell = GoalCell = Successors[0];
    Budget = GLOBAL_BUDGET;
    pAsker = nullptr;
    Mask = 0;
    TimeUsed = 0.0f;
    KeepAlive = 0;
    bGlobal = bFirstStep = LastKind = 0;
    ClosestIndex = -1;
    Requests = 0;
    LastTick = 0;
    TimeBudget = GmvWorld::pThe && GmvWorld::pThe->PathTime != 0.0f ? GmvWorld::pThe->PathTime : DEFAULT_PATH_TIME;
    GSectionMgr* grid = GSectionMgr::pThe;
    const int width = grid ? Smaller(grid->GetExtentX(), MAX_CELLS_PER_SIDE) : 0;
    const int height = grid ? Smaller(grid->GetExtentY(), MAX_CELLS_PER_SIDE) : 0;
    Search.SetGrid(grid ? grid->GetMinX() : 0.0f, grid ? grid->GetMinY() : 0.0f, width, height, POOL_NODES);
    pMarked = static_cast<CPathNode**>(zmalloc(sizeof(CPathNode*) * POOL_NODES));
    pThe = this;
}

// The stored paths belong to their units, which free them; the slots only forget them.
CPathFinder::~CPathFinder()
{
    zfree(pMarked);
    if (pThe == this)
        pThe = nullptr;
}

void CPathFinder::ResetAbilityToPathAgain()
{
    if (KeepAlive == 0)
        hSuspended = HGOBJECT(0);
    if (KeepAlive > 0)
        --KeepAlive;
    TimeUsed = 0.0f;
}

void CPathFinder::ClearPathId(HGOBJECT unit)
{
    if (hSuspended == unit)
        hSuspended = HGOBJECT(0);
}

bool CPathFinder::GotPathToGive(HGOBJECT asker)
{
    ++Requests;
    if (hSuspended.IsNull() || hSuspended == asker)
        return true;
    GObject* suspended = GObject::GetGobject(hSuspended);
    if (!suspended) {
        hSuspended = HGOBJECT(0);
        return true;
    }
    GObject* asking = GObject::GetGobject(asker);
    const WORD p = hSuspended.Player(), q = asker.Player();
    const bool humanFirst = p != HUMAN_PLAYER && q == HUMAN_PLAYER;
    const bool seenFirst =
        p != HUMAN_PLAYER && !suspended->ScreenWoken && asking && asking->ScreenWoken && q != SPECTATOR_PLAYER;
    const bool playerOverSpectator = p == SPECTATOR_PLAYER && q != SPECTATOR_PLAYER;
    if (!humanFirst && !seenFirst && !playerOverSpectator)
        return false;
    hSuspended = HGOBJECT(0);
    return true;
}

CPathStack* CPathFinder::GetLocalPath(CPathStack* old, const CVector& from, const CVector& to, GPhysical* asker,
                                      EPathResult& result)
{
    Budget = LOCAL_BUDGET;
    Mask = COLLISIONDATA_COLLIDE | COLLISIONDATA_LOCALPATH;
    pAsker = asker;
    bGlobal = 0;
    if (!GotPathToGive(asker ? asker->GetHandle() : HGOBJECT(0))) {
        result = PATHRESULT_NOT_NOW;
        return old;
    }
    if (LastKind == 0)
        hSuspended = HGOBJECT(0);
    LastKind = 1;
    return GetPath(old, from, to, result);
}

CPathStack* CPathFinder::GetGlobalPath(CPathStack* old, const CVector& from, const CVector& to, GPhysical* asker,
                                       EPathResult& result)
{
    Budget = GLOBAL_BUDGET;
    Mask = COLLISIONDATA_GLOBALPATH;
    pAsker = asker;
    bGlobal = 1;
    if (!old && asker) {
        if (CPathStack* similar = FindSimilarPath(from, to)) {
            result = similar->bPartial ? PATHRESULT_BUDGET_USED : PATHRESULT_REUSED;
            return ConstructNewPathFromSimilar(similar, from, to);
        }
    }
    if (!GotPathToGive(asker ? asker->GetHandle() : HGOBJECT(0))) {
        result = PATHRESULT_NOT_NOW;
        return old;
    }
    if (LastKind == 1)
        hSuspended = HGOBJECT(0);
    LastKind = 0;
    return GetPath(old, from, to, result);
}

CPathStack* CPathFinder::FindSimilarPath(const CVector& from, const CVector& to)
{
    const float limit = DistanceSq2D(to, from);
    for (int i = 0; i < STORED_PATHS; ++i) {
        CPathStack* path = pStored[i];
        if (!path || path->iTop <= 1 || DistanceSq2D(path->pPoints[0], to) > REUSE_RANGE_SQ)
            continue;
        GPhysical* owner = PhysicalOf(path->hOwner);
        if (!owner)
            continue;
        const float d = DistanceSq2D(owner->GetPos(), from);
        if (d <= REUSE_RANGE_SQ && d <= limit)
            return path;
    }
    return nullptr;
}

// The copy is the asker's alone: it is not stored.
CPathStack* CPathFinder::ConstructNewPathFromSimilar(CPathStack* similar, const CVector& from, const CVector& to)
{
    CPathStack* copy = NewPathStack(similar->iTop + 1);
    memcpy(static_cast<void*>(copy->pPoints), similar->pPoints, sizeof(CVector) * (similar->iTop + 1));
    copy->iTop = similar->iTop;
    copy->bPartial = similar->bPartial;
    copy->fTime = CGameTimer::GameTime();
    copy->hOwner = pAsker ? pAsker->GetHandle() : HGOBJECT(0);
    CVector goal = to;
    PathGrid cell;
    if (pAsker)
        OptimizeGoal(goal, cell);
    copy->pPoints[0] = goal;
    copy->pPoints[copy->iTop] = from;
    return copy;
}

// A search that cannot start (no cells, no asker, an end outside the cells, no free cell
// near the goal) finds no path.
CPathStack* CPathFinder::GetPath(CPathStack* old, const CVector& from, const CVector& to, EPathResult& result)
{
    if (!Search.HasGrid() || !pAsker) {
        hSuspended = HGOBJECT(0);
        result = PATHRESULT_NO_PATH;
        return old;
    }
    if (hSuspended.IsNull()) {
        bool started = true;
        old = Begin(old, from, to, result, started);
        if (!started)
            return old;
    }
    return Resume(old, result);
}

CPathStack* CPathFinder::Begin(CPathStack* old, const CVector& from, const CVector& to, EPathResult& result,
                               bool& started)
{
    ClosestIndex = -1;
    bFirstStep = 0;
    Goal = to;
    started = OptimizeGoal(Goal, GoalCell);
    if (started && !bGlobal) {
        started = Search.CellOf(from, StartCell);
        bFirstStep = 1;
    } else if (started) {
        CVector closest;
        const int index = old && old->iTop >= 0 ? old->GetClosestPoint(closest, from, to) : -1;
        if (index >= 0 && index <= old->iTop) {
            StartCell = Search.ClampedCellOf(closest);
            old->bPartial = 0;
            ClosestIndex = index;
        } else {
            // The old path leads nowhere the unit still has to go: the unit gets null back
            // in its place, never the freed path.
            FreePathStack(old);
            old = nullptr;
            started = Search.CellOf(from, StartCell);
        }
    }
    if (!started) {
        result = PATHRESULT_NO_PATH;
        return old;
    }
    Search.Begin(StartCell, GoalCell, Budget);
    return old;
}

CPathStack* CPathFinder::Resume(CPathStack* old, EPathResult& result)
{
    LastTick = CGameTimer::ReadCounter();
    for (;;) {
        AddTime();
        if (TimeUsed > TimeBudget) {
            hSuspended = pAsker->GetHandle();
            KeepAlive = KEEP_ALIVE;
            result = PATHRESULT_IN_PROGRESS;
            return old;
        }
        CPathNode* node = Search.PopOpen();
        if (!node) {
            hSuspended = HGOBJECT(0);
            result = PATHRESULT_NO_PATH;
            return old;
        }
        if (node->Cell == GoalCell) {
            result = PATHRESULT_FOUND;
            return BuildPath(old, node, true);
        }
        auto accept = [this](int, PathGrid to) { return Accept(to); };
        if (Search.Expand(node, true, REPEAT_COST, TURN_COST, accept) == CPathSearch::POOL_USED_UP) {
            result = PATHRESULT_BUDGET_USED;
            CPathNode* best = Search.FindBestNode();
            return BuildPath(old, best ? best : node, false);
        }
        bFirstStep = 0;
        AddTime();
    }
}

void CPathFinder::AddTime()
{
    static const float secondsPerTick = CGameTimer::CounterSecondsPerTick();
    const __int64 now = CGameTimer::ReadCounter();
    TimeUsed += static_cast<float>(now - LastTick) * secondsPerTick;
    LastTick = now;
}

CVector CPathFinder::GetGridCenter(PathGrid cell)
{
    CVector centre = Search.CellCentre(cell);
    centre.z = CRenderer::GetHeightData(centre);
    return centre;
}

// The goal stays where it was asked for when it is free; else it moves to the first free cell
// centre of the nearest square ring, walked from the ring's low corner along +x, +y, -x, -y.
bool CPathFinder::OptimizeGoal(CVector& goal, PathGrid& cell)
{
    if (!Search.CellOf(goal, cell))
        return false;
    GSectionMgr* grid = GSectionMgr::pThe;
    if (grid && grid->Blocked(pAsker, goal, GOAL_MASK, 0) == 0 &&
        grid->Blocked(pAsker, GetGridCenter(cell), GOAL_MASK, 0) == 0)
        return true;
    static const int kSides[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    const int rings = Search.GetWidth() > Search.GetHeight() ? Search.GetWidth() : Search.GetHeight();
    for (int k = 1; k <= rings; ++k) {
        int x = cell.x - k, y = cell.y - k;
        for (int side = 0; side < 4; ++side) {
            for (int step = 0; step < 2 * k; ++step, x += kSides[side][0], y += kSides[side][1]) {
                if (x < 0 || y < 0 || x >= Search.GetWidth() || y >= Search.GetHeight())
                    continue;
                const PathGrid candidate = {static_cast<WORD>(x), static_cast<WORD>(y)};
                const CVector centre = GetGridCenter(candidate);
                if (CellFree(centre)) {
                    goal = centre;
                    cell = candidate;
                    return true;
                }
            }
        }
    }
    return false;
}

bool CPathFinder::CellFree(const CVector& centre)
{
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        const LocationEntry* location = GmvWorld::LocationArray[i];
        if (GmvWorld::ValidLocationPositionXY(location, centre) &&
            GmvWorld::GetPassibilityIndex(location, centre.x, centre.y) > pAsker->GetPassibilityIndex())
            return false;
    }
    GSectionMgr* grid = GSectionMgr::pThe;
    if (!grid || !grid->HasGrid())
        return true;
    const int column = grid->ColumnOf(centre.x), row = grid->RowOf(centre.y);
    if (column < 0 || row < 0 || column >= grid->GetWidth() || row >= grid->GetHeight())
        return true;
    for (PlotEntry* entry = grid->GetSection(column, row); entry; entry = entry->pNext) {
        GPhysical* other = PhysicalOf(entry->hObject);
        if (!other || other == pAsker)
            continue;
        if (pAsker->CanCollide(other) && other->CanCollide(pAsker) && (other->GetCollisionFlags() & Mask) &&
            pAsker->IsCollision(other, &centre))
            return false;
    }
    return true;
}

bool CPathFinder::DetailedCollisionCheck(const CVector& point)
{
    GSectionMgr* grid = GSectionMgr::pThe;
    if (!grid)
        return false;
    const CVector from = pAsker->GetPos();
    for (float f : kFirstStepSamples)
        if (grid->Blocked(pAsker, from + (point - from) * f, GOAL_MASK, pAsker->GetBlockageFlags()) != 0)
            return true;
    return false;
}

bool CPathFinder::Accept(PathGrid to)
{
    const CVector centre = GetGridCenter(to);
    if (bFirstStep && DetailedCollisionCheck(centre))
        return false;
    return CellFree(centre);
}

int CPathFinder::GetSuccessors(PathGrid cell)
{
    if (!pAsker || !Search.HasGrid() || cell.x >= Search.GetWidth() || cell.y >= Search.GetHeight())
        return 0;
    int count = 0;
    auto accept = [this](int, PathGrid to) { return Accept(to); };
    Search.Successors(cell, true, accept, [&](int, PathGrid to) {
        Successors[count++] = to;
        return true;
    });
    return count;
}

CPathStack* CPathFinder::NewPathStack(int points)
{
    CPathStack* path = static_cast<CPathStack*>(zmalloc(sizeof(CPathStack)));
    memset(static_cast<void*>(path), 0, sizeof(*path));
    path->pPoints = static_cast<CVector*>(zmalloc(sizeof(CVector) * (points > 0 ? points : 1)));
    path->iTop = -1;
    return path;
}

CPathStack* CPathFinder::BuildPath(CPathStack* old, CPathNode* last, bool reachedGoal)
{
    hSuspended = HGOBJECT(0);
    const int marked = Search.TurningPoints(last, pMarked);
    const bool local = !bGlobal;
    const bool keepOld = old && old->iTop >= 0 && (local || ClosestIndex >= 0);
    // A unit may hand back its old path shorter than when the search began.
    const int oldFirst = !keepOld || local ? 0 : (ClosestIndex < old->iTop ? ClosestIndex : old->iTop);
    const int oldCount = keepOld ? old->iTop + 1 - oldFirst : 0;
    CPathStack* path = NewPathStack(marked + 1 + oldCount);
    auto add = [&](const CVector& point) { path->pPoints[++path->iTop] = point; };
    if (keepOld && local)
        for (int i = 0; i < oldCount; ++i)
            add(old->pPoints[i]);
    const int firstNew = path->iTop + 1;
    if (!reachedGoal && !local) {
        add(Goal);
        path->bPartial = 1;
    }
    const CVector askerPos = pAsker->GetPos();
    for (int i = 0; i < marked; ++i) {
        const CPathNode* node = pMarked[i];
        if (i == 0 && reachedGoal)
            add(Goal);
        else if (local && !node->pParent)
            add(askerPos);
        else
            add(GetGridCenter(node->Cell));
    }
    // The unit stands on its start already.
    if (local && path->iTop > firstNew && path->pPoints[path->iTop].x == askerPos.x &&
        path->pPoints[path->iTop].y == askerPos.y)
        --path->iTop;
    if (keepOld && !local)
        for (int i = oldFirst; i <= old->iTop; ++i)
            add(old->pPoints[i]);
    if (old)
        path->bPartial |= old->bPartial;
    FreePathStack(old);
    path->fTime = CGameTimer::GameTime();
    path->hOwner = pAsker->GetHandle();
    RegisterPath(path);
    return path;
}

void CPathFinder::RegisterPath(CPathStack* path)
{
    int slot = -1;
    for (int i = 0; i < STORED_PATHS && slot < 0; ++i)
        if (!pStored[i])
            slot = i;
    if (slot < 0) {
        slot = 0;
        for (int i = 1; i < STORED_PATHS; ++i)
            if (pStored[i]->fTime < pStored[slot]->fTime)
                slot = i;
    }
    pStored[slot] = path;
}

void CPathFinder::UnregisterPath(CPathStack* path)
{
    for (int i = 0; i < STORED_PATHS; ++i)
        if (pStored[i] == path)
            pStored[i] = nullptr;
}

void CPathFinder::FreePathStack(CPathStack* path)
{
    if (!path)
        return;
    if (pThe)
        pThe->UnregisterPath(path);
    zfree(path->pPoints);
    zfree(path);
}
