#pragma once
// A request to the time-sliced path finder and the path it gets back. The caller owns the
// request and the path in it; the finder only queues, searches and fills them.
#include "core/math/CVector.h"
#include "engine/world/CPathSearch.h"
#include "engine/world/CZFilter.h"

class GPosRot;

struct CPathPoint {
    float x, y;
    BYTE bLocal;    // built for a local request
    short Sequence; // which search made it, counted along merged paths
};

// A finished path: points 0..iTop, point 0 at the goal end. Handed out from iTop down.
struct CPath {
    CPathPoint* pPoints;
    int iTop;
    float fTime;   // game time when built or last handed out
    float fLength; // 2-D length through the points
};

enum EPathCommand {
    PATH_NEW = 0,       // stored paths may be reused
    PATH_REPLACE = 1,   // searched afresh, the existing path replaced
    PATH_THEN_OLD = 2,  // the existing path is followed after the new points
    PATH_OLD_FIRST = 3, // the existing path is followed before the new points
};

enum EPathStatus {
    PATHSTATUS_STARTING = 0,
    PATHSTATUS_QUEUED = 1,
    PATHSTATUS_OUT_OF_TIME = 2,
    PATHSTATUS_CUT_OFF = 3,
    PATHSTATUS_NO_PATH = 4,
    PATHSTATUS_NODES_USED_UP = 5,
    PATHSTATUS_REUSED = 6,
    PATHSTATUS_FOUND = 7,
};

class CPathData {
public:
    CPathData();

    void SetLocal(const CVector& start, const CVector& goal, EPathCommand command);
    void SetGlobal(const CVector& start, const CVector& goal, EPathCommand command);
    void ResetRenewedFlag() { bRenewed = 0; }
    float PathLength() const { return pPath ? pPath->fLength : 0.0f; }
    CZFilter<HandleOffset>* GetHandleFilter() const { return bLocal ? pLocalFilter : pGlobalFilter; }
    // In the finder's queue: the last queued request points at the queue's end marker.
    bool IsLinked() const { return pNext != nullptr; }

    static void FreePath(CPath*& path);
    // The next point from the start end (z = its sequence number); false without a path. The
    // path is freed once its last point has been handed out.
    static bool PopStack(CPath*& path, CVector& point, bool& local);

    GPosRot* pOwner;
    CPath* pPath;
    int iStatus;
    int eCommand;
    BYTE bPartial;
    BYTE bRenewed;
    BYTE bLocal;
    CZFilter<HandleOffset>* pLocalFilter;
    CZFilter<HandleOffset>* pGlobalFilter;
    CZFilter<CVector>* pPositionFilter;
    CVector StartPos;
    PathGrid StartGrid;
    CPathNode* pStartNode;
    CVector GoalPos;
    CVector ClearGoalPos;
    PathGrid GoalGrid;
    int iSlices;
    CPathData* pNext;
    CPathData* pPrev;

private:
    void Set(const CVector& start, const CVector& goal, EPathCommand command, BYTE local);
};
