#pragma once
// The level's own path finder when its data names no path-finder object: a plain object the
// section grid creates with the grid and frees with it. A unit asks for a local path (a short
// hop round nearby obstacles) or a global one and gets the answer in the same call, or "in
// progress" when the frame's search time ran out; the same unit asks again next frame and the
// search resumes. One search at a time can wait like that.
#include "core/math/CVector.h"
#include "engine/object/HGOBJECT.h"
#include "engine/world/CPathSearch.h"

class GPhysical;

// A path: points 0..iTop, point 0 at the goal end. The unit that asked owns it and frees it
// with CPathFinder::FreePathStack; the owner is kept by handle, so a path outliving its unit
// never reaches a destroyed object.
class CPathStack {
public:
    // The point nearest `to` (2-D, the first on ties) into out; returns its index, or the
    // point count when the owner already stands nearer to `to` than that point.
    int GetClosestPoint(CVector& out, const CVector& from, const CVector& to) const;
    int GetCount() const { return iTop + 1; }

    CVector* pPoints;
    int iTop;
    float fTime;
    int bPartial; // a global search that ended short of the goal
    HGOBJECT hOwner;
};

enum EPathResult {
    PATHRESULT_NOT_NOW = 1,     // another unit's search has the finder
    PATHRESULT_IN_PROGRESS = 2, // ask again next frame
    PATHRESULT_NO_PATH = 4,
    PATHRESULT_BUDGET_USED = 5, // the path leads to the best cell reached
    PATHRESULT_REUSED = 6,
    PATHRESULT_FOUND = 7,
};

class CPathFinder {
public:
    static const int POOL_NODES = 16384;
    static const int LOCAL_BUDGET = 4096;
    static const int GLOBAL_BUDGET = 16384;
    static const int STORED_PATHS = 20;
    // Frames a suspended search waits for its unit.
    static const int KEEP_ALIVE = 2;
    static constexpr float DEFAULT_PATH_TIME = 0.006f;
    // Turns cost slightly more than going on, so that of equal routes the straighter wins.
    static constexpr float REPEAT_COST = 3.0f;
    static constexpr float TURN_COST = 3.001f;
    static constexpr float REUSE_RANGE_SQ = 64.0f;

    CPathFinder();
    ~CPathFinder();

    CPathStack* GetLocalPath(CPathStack* old, const CVector& from, const CVector& to, GPhysical* asker,
                             EPathResult& result);
    CPathStack* GetGlobalPath(CPathStack* old, const CVector& from, const CVector& to, GPhysical* asker,
                              EPathResult& result);
    CPathStack* GetPath(CPathStack* old, const CVector& from, const CVector& to, EPathResult& result);

    // Ends the frame's search-time accounting; called once per frame by the section grid.
    void ResetAbilityToPathAgain();
    // Takes the path out of the stored ones (of the live finder, if any) and frees it.
    static void FreePathStack(CPathStack* path);
    void ClearPathId(HGOBJECT unit);
    HGOBJECT GetPreviousPathID() const { return hSuspended; }

    // The accepted neighbours of a cell for the current asker, into GetSuccessorCells().
    int GetSuccessors(PathGrid cell);
    const PathGrid* GetSuccessorCells() const { return Successors; }
    CPathStack* FindSimilarPath(const CVector& from, const CVector& to);
    CPathStack* ConstructNewPathFromSimilar(CPathStack* similar, const CVector& from, const CVector& to);

    int GetKeepAlive() const { return KeepAlive; }
    float GetTimeUsed() const { return TimeUsed; }
    float GetTimeBudget() const { return TimeBudget; }
    const CPathStack* GetStoredPath(int slot) const { return pStored[slot]; }
    const CPathSearch& GetSearch() const { return Search; }

    static CPathFinder* pThe;

private:
    bool GotPathToGive(HGOBJECT asker);
    CPathStack* Begin(CPathStack* old, const CVector& from, const CVector& to, EPathResult& result, bool& started);
    CPathStack* Resume(CPathStack* old, EPathResult& result);
    bool OptimizeGoal(CVector& goal, PathGrid& cell);
    bool CellFree(const CVector& centre);
    bool DetailedCollisionCheck(const CVector& point);
    bool Accept(PathGrid to);
    CPathStack* BuildPath(CPathStack* old, CPathNode* last, bool reachedGoal);
    void RegisterPath(CPathStack* path);
    void UnregisterPath(CPathStack* path);
    void AddTime();
    CVector GetGridCenter(PathGrid cell);
    static CPathStack* NewPathStack(int points);

    HGOBJECT hSuspended;
    CVector Goal;
    PathGrid StartCell;
    PathGrid GoalCell;
    PathGrid Successors[8];
    CPathSearch Search;
    int Budget;
    GPhysical* pAsker;
    DWORD Mask;
    float TimeUsed;
    CPathStack* pStored[STORED_PATHS];
    int KeepAlive;
    BYTE bGlobal;
    BYTE bFirstStep;
    BYTE LastKind; // 1 local, 0 global
    int ClosestIndex;
    float TimeBudget;
    int Requests;
    __int64 LastTick;
    CPathNode** pMarked;
};
