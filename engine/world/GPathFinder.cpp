#include "engine/world/GPathFinder.h"

#include <math.h>
#include <string.h>
#include <windows.h>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderer.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GPathFinder, 0x00000100)

GPathFinder* GPathFinder::pThe = nullptr;
CPathData GPathFinder::QueueEnd;
CPathData* GPathFinder::pQueueBack = nullptr;

namespace {

// Where a local step is sampled between the node's position and the neighbour's centre.
const float kLocalSamples[5] = {0.1f, 0.25f, 0.5f, 0.75f, 0.9f};
// The goal is kept this far inside the world, and its ring candidates this far.
const float GOAL_MARGIN = 3.0f;
const float RING_MARGIN = 2.0f;
// The path grid covers no more than the section grid can hold.
const int MAX_CELLS_PER_SIDE = GSectionMgr::MAX_SECTIONS * GSectionMgr::SECTION_SIZE;

float DistanceSq2D(float ax, float ay, float bx, float by) { return (ax - bx) * (ax - bx) + (ay - by) * (ay - by); }

int Smaller(int a, int b) { return a < b ? a : b; }

} // namespace

GPathFinder::GPathFinder()
{
    pQueueFront = &QueueEnd;
    if (EditableEvaluation)
        return;
    pThe = this;
    pQueueBack = nullptr;
    if (MaxPathTime == 0.0f)
        MaxPathTime = DEFAULT_PATH_TIME;
    GSectionMgr* grid = GSectionMgr::pThe;
    const int width = grid ? Smaller(grid->GetExtentX(), MAX_CELLS_PER_SIDE) : 0;
    const int height = grid ? Smaller(grid->GetExtentY(), MAX_CELLS_PER_SIDE) : 0;
    const int cells = width > 0 && height > 0 ? width * height : 0;
    if (MaxNodes <= 0)
        MaxNodes = cells;
    // Never more nodes than cells: a search cannot reach more.
    const int capacity = Smaller(MaxNodes, cells) + 1;
    Search.SetGrid(grid ? grid->GetMinX() : 0.0f, grid ? grid->GetMinY() : 0.0f, width, height, capacity);
    pMarked = static_cast<CPathNode**>(zmalloc(sizeof(CPathNode*) * capacity));
}

// Requests still queued are told they are in no queue: they outlive the finder.
GPathFinder::~GPathFinder()
{
    if (EditableEvaluation)
        return;
    while (!QueueIsEmpty())
        Dequeue(pQueueFront);
    pCurrent = nullptr;
    for (int i = 0; i < STORED_PATHS; ++i)
        CPathData::FreePath(pStored[i]);
    zfree(pMarked);
    pMarked = nullptr;
    if (pThe == this)
        pThe = nullptr;
}

int GPathFinder::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "MaxPathTime", "float", MaxPathTime);
    AddEditable(cursor, "MaxPathControlCount", "int", MaxPathControlCount);
    AddEditable(cursor, "MaxLocalPathControlCount", "int", MaxLocalPathControlCount);
    AddEditable(cursor, "MaxNodes", "int", MaxNodes);
    return count + 4;
}

bool GPathFinder::Process()
{
    FrameTime = 0.0f;
    if (!pCurrent && !QueueIsEmpty()) {
        CPathData* request = pQueueFront;
        if (request->pOwner)
            request->StartPos = request->pOwner->GetPos();
        request->iStatus = PATHSTATUS_STARTING;
        if (!(request->eCommand == PATH_NEW && FindSimilarPath(request))) {
            Dequeue(request);
            pCurrent = request;
            SetPathData(request);
        }
    }
    if (pCurrent)
        RunSearch();
    return false;
}

void GPathFinder::GetPath(CPathData* request)
{
    // A unit asking again while its own search runs wants the new request searched.
    if (request == pCurrent)
        pCurrent = nullptr;
    request->iStatus = PATHSTATUS_STARTING;
    if (request->eCommand == PATH_NEW && FindSimilarPath(request))
        return;
    if (QPath(request, nullptr))
        return;
    pCurrent = request;
    if (SetPathData(request))
        RunSearch();
}

void GPathFinder::ReQPath(CPathData* request)
{
    if (request == pCurrent)
        pCurrent = nullptr;
    request->iStatus = PATHSTATUS_QUEUED;
    request->iSlices = 0;
    if (!request->IsLinked())
        Enqueue(request);
}

void GPathFinder::Stop(CPathData* request)
{
    Dequeue(request);
    request->iSlices = 0;
    if (request == pCurrent)
        pCurrent = nullptr;
}

bool GPathFinder::QPath(CPathData* request, CPathData* other)
{
    if (!request->IsLinked()) {
        if (!pCurrent && QueueIsEmpty() && !other)
            return false;
        Enqueue(request);
    }
    request->iStatus = PATHSTATUS_QUEUED;
    return true;
}

void GPathFinder::Enqueue(CPathData* request)
{
    request->pPrev = pQueueBack;
    request->pNext = &QueueEnd;
    if (pQueueBack)
        pQueueBack->pNext = request;
    else
        pQueueFront = request;
    pQueueBack = request;
}

void GPathFinder::Dequeue(CPathData* request)
{
    if (!request->IsLinked())
        return;
    if (request->pPrev)
        request->pPrev->pNext = request->pNext;
    else
        pQueueFront = request->pNext;
    if (request->pNext != &QueueEnd)
        request->pNext->pPrev = request->pPrev;
    else
        pQueueBack = request->pPrev;
    request->pNext = request->pPrev = nullptr;
}

bool GPathFinder::FindSimilarPath(CPathData* request)
{
    request->ClearGoalPos = request->GoalPos;
    const CVector& start = request->StartPos;
    const CVector& goal = request->GoalPos;
    const float d = DistanceSq2D(start.x, start.y, goal.x, goal.y);
    for (int i = 0; i < STORED_PATHS; ++i) {
        CPath* stored = pStored[i];
        if (!stored || stored->iTop < 0)
            continue;
        const CPathPoint& end = stored->pPoints[0];
        const CPathPoint& begin = stored->pPoints[stored->iTop];
        const float fromStart = DistanceSq2D(begin.x, begin.y, start.x, start.y);
        if (DistanceSq2D(end.x, end.y, goal.x, goal.y) <= REUSE_RANGE_SQ && fromStart <= REUSE_RANGE_SQ &&
            fromStart <= d) {
            BuildSimilarPath(request, stored);
            return true;
        }
    }
    return false;
}

// The request learns of its new path through bRenewed whether or not it was being searched:
// a reused path is as new to its unit as a searched one.
void GPathFinder::BuildSimilarPath(CPathData* request, CPath* stored)
{
    stored->fTime = CGameTimer::GameTime();
    CPath* copy = CopyPath(stored);
    copy->pPoints[copy->iTop].x = request->StartPos.x;
    copy->pPoints[copy->iTop].y = request->StartPos.y;
    copy->pPoints[0].x = request->ClearGoalPos.x;
    copy->pPoints[0].y = request->ClearGoalPos.y;
    CPathData::FreePath(request->pPath);
    request->pPath = copy;
    request->iStatus = PATHSTATUS_REUSED;
    request->iSlices = 0;
    Dequeue(request);
    request->bRenewed = 1;
    if (request == pCurrent)
        pCurrent = nullptr;
}

// A request that cannot be searched (no cells, a start outside them, no free cell near the
// goal) ends as one without a path.
bool GPathFinder::SetPathData(CPathData* request)
{
    request->ClearGoalPos = request->GoalPos;
    const char* why = nullptr;
    if (!Search.HasGrid())
        why = "the level has no path grid";
    else if (!Search.CellOf(request->StartPos, request->StartGrid))
        why = "the start lies outside the path grid";
    else if (!FindClearDestination(request))
        why = "no free cell near the goal";
    if (why) {
        _printf("GPathFinder: no path: %s\n", why);
        request->iStatus = PATHSTATUS_NO_PATH;
        Drop(request);
        return false;
    }
    request->pStartNode = Search.Begin(request->StartGrid, request->GoalGrid, Search.GetCapacity());
    return true;
}

// The goal is clipped into the location nearest it, not the first one: a goal in another
// location would otherwise be dragged into the first.
bool GPathFinder::FindClearDestination(CPathData* request)
{
    CVector goal = request->ClearGoalPos;
    GmvWorld::ClipToWorld(goal, GOAL_MARGIN, nullptr);
    PathGrid cell;
    if (!Search.CellOf(goal, cell))
        return false;
    const CVector centre = GetGridCenter(cell);
    request->ClearGoalPos = centre;
    request->GoalGrid = cell;
    if (!IsBlocked(request, centre))
        return true;
    static const int kRing[8][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
    const int rings = Search.GetWidth() > Search.GetHeight() ? Search.GetWidth() : Search.GetHeight();
    for (int r = 1; r <= rings; ++r) {
        for (int k = 0; k < 8; ++k) {
            CVector candidate(centre.x + kRing[k][0] * r, centre.y + kRing[k][1] * r, centre.z);
            GmvWorld::ClipToWorld(candidate, RING_MARGIN, nullptr);
            if (!Search.CellOf(candidate, cell))
                continue;
            candidate.z = CRenderer::GetHeightData(candidate);
            if (!IsBlocked(request, candidate)) {
                request->ClearGoalPos = candidate;
                request->GoalGrid = cell;
                return true;
            }
        }
    }
    return false;
}

GPhysical* GPathFinder::PhysicalOwner(CPathData* request)
{
    return request->pOwner ? GPhysical::FromObject(request->pOwner) : nullptr;
}

bool GPathFinder::IsBlocked(CPathData* request, const CVector& at)
{
    GSectionMgr* grid = GSectionMgr::pThe;
    return !grid ||
           grid->Blocked(PhysicalOwner(request), at, request->GetHandleFilter(), request->pPositionFilter) != 0;
}

CVector GPathFinder::GetGridCenter(PathGrid cell)
{
    CVector centre = Search.CellCentre(cell);
    centre.z = CRenderer::GetHeightData(centre);
    return centre;
}

bool GPathFinder::GetSuccessor(CPathData* request, const CVector& from, PathGrid to)
{
    const CVector centre = GetGridCenter(to);
    if (request->bLocal) {
        for (float f : kLocalSamples) {
            CVector sample = from + (centre - from) * f;
            sample.z = CRenderer::GetHeightData(sample);
            if (IsBlocked(request, sample))
                return false;
        }
    }
    return !IsBlocked(request, centre);
}

void GPathFinder::RunSearch()
{
    CPathData* request = pCurrent;
    LastTick = CGameTimer::ReadCounter();
    for (;;) {
        if (Search.OpenIsEmpty()) {
            request->iStatus = PATHSTATUS_NO_PATH;
            Drop(request);
            return;
        }
        CPathNode* node = Search.PopOpen();
        if (node->Cell == request->GoalGrid) {
            BuildPath(request, node);
            request->iStatus = PATHSTATUS_FOUND;
            _printf("GoodPath (nodes allocated: %d)\n", Search.GetNodeCount() - 1);
            return;
        }
        const CVector from = node == Search.GetStartNode() ? request->StartPos : GetGridCenter(node->Cell);
        auto accept = [&](int, PathGrid to) { return GetSuccessor(request, from, to); };
        if (Search.Expand(node, !request->bLocal, REPEAT_COST, TURN_COST, accept) == CPathSearch::POOL_USED_UP) {
            _printf("Partial Path (heapndx %d)\n", Search.GetNodeCount());
            EndWithoutGoal(PATHSTATUS_NODES_USED_UP, node);
            return;
        }
        if (OutOfTime()) {
            request->iStatus = PATHSTATUS_OUT_OF_TIME;
            _printf("Timeout (count %d)\n", ++request->iSlices);
            if (request->iSlices < (request->bLocal ? MaxLocalPathControlCount : MaxPathControlCount))
                return;
            _printf("Timeout Reached Max - Relinquish control\n");
            EndWithoutGoal(PATHSTATUS_CUT_OFF, node);
            return;
        }
    }
}

// 0 seconds means no limit: the counter is not even read.
bool GPathFinder::OutOfTime()
{
    if (MaxPathTime == 0.0f)
        return false;
    static const float secondsPerTick = CGameTimer::CounterSecondsPerTick();
    const __int64 now = CGameTimer::ReadCounter();
    FrameTime += static_cast<float>(now - LastTick) * secondsPerTick;
    LastTick = now;
    return FrameTime > MaxPathTime;
}

// A search stopped short of the goal: a path to the open cell nearest the goal when the
// request asks for one (the node just expanded when none is open), else the request ends.
void GPathFinder::EndWithoutGoal(int status, CPathNode* expanded)
{
    CPathData* request = pCurrent;
    if (request->bPartial) {
        CPathNode* best = Search.FindBestNode();
        BuildPath(request, best ? best : expanded);
    } else {
        Drop(request);
    }
    request->iStatus = status;
}

void GPathFinder::Finish(CPathData* request)
{
    Dequeue(request);
    request->iSlices = 0;
    if (request == pCurrent)
        pCurrent = nullptr;
}

void GPathFinder::Drop(CPathData* request)
{
    Finish(request);
    request->bRenewed = 0;
}

CPath* GPathFinder::NewPath(int points)
{
    CPath* path = static_cast<CPath*>(zmalloc(sizeof(CPath)));
    memset(static_cast<void*>(path), 0, sizeof(*path));
    path->pPoints = static_cast<CPathPoint*>(zmalloc(sizeof(CPathPoint) * (points > 0 ? points : 1)));
    path->iTop = -1;
    return path;
}

CPath* GPathFinder::CopyPath(const CPath* path)
{
    CPath* copy = NewPath(path->iTop + 1);
    memcpy(copy->pPoints, path->pPoints, sizeof(CPathPoint) * (path->iTop + 1));
    copy->iTop = path->iTop;
    copy->fLength = path->fLength;
    copy->fTime = CGameTimer::GameTime();
    return copy;
}

void GPathFinder::AddToPathLength(CPath* path, int index)
{
    if (index <= 0)
        return;
    const CPathPoint& a = path->pPoints[index - 1];
    const CPathPoint& b = path->pPoints[index];
    path->fLength += sqrtf(DistanceSq2D(a.x, a.y, b.x, b.y));
}

void GPathFinder::BuildPath(CPathData* request, CPathNode* last)
{
    const int marked = Search.TurningPoints(last, pMarked);
    CPath* old = request->pPath;
    const bool hasOld = old && old->iTop >= 0;
    const bool merge = hasOld && (request->eCommand == PATH_THEN_OLD || request->eCommand == PATH_OLD_FIRST);
    const int oldCount = merge ? old->iTop + 1 : 0;
    CPath* path = NewPath(marked + oldCount);
    path->fTime = CGameTimer::GameTime();
    short sequence = 0;
    if (hasOld)
        sequence = static_cast<short>(old->pPoints[old->iTop].Sequence + (request->eCommand == PATH_THEN_OLD ? -1 : 1));
    auto add = [&](const CPathPoint& point) {
        path->pPoints[++path->iTop] = point;
        AddToPathLength(path, path->iTop);
    };
    if (merge && request->eCommand == PATH_THEN_OLD)
        for (int i = 0; i < oldCount; ++i)
            add(old->pPoints[i]);
    for (int i = 0; i < marked; ++i) {
        const CPathNode* node = pMarked[i];
        CVector at = node == request->pStartNode       ? request->StartPos
                     : node->Cell == request->GoalGrid ? request->ClearGoalPos
                                                       : Search.CellCentre(node->Cell);
        const CPathPoint point = {at.x, at.y, request->bLocal, sequence};
        add(point);
    }
    if (merge && request->eCommand == PATH_OLD_FIRST)
        for (int i = 0; i < oldCount; ++i)
            add(old->pPoints[i]);
    if (!request->bLocal)
        RegisterPath(path);
    CPathData::FreePath(request->pPath);
    request->pPath = path;
    request->bRenewed = 1;
    Finish(request);
}

void GPathFinder::RegisterPath(const CPath* path)
{
    if (path->fLength < STORE_LENGTH)
        return;
    int slot = -1;
    for (int i = 0; i < STORED_PATHS && slot < 0; ++i)
        if (!pStored[i])
            slot = i;
    if (slot < 0) {
        slot = 0;
        for (int i = 1; i < STORED_PATHS; ++i)
            if (pStored[i]->fTime < pStored[slot]->fTime)
                slot = i;
        CPathData::FreePath(pStored[slot]);
    }
    pStored[slot] = CopyPath(path);
}
