#pragma once
// The time-sliced path finder: a game object that serves the path requests of many units
// without stalling a frame. Requests wait in a first-in first-out queue; the current search
// spends at most MaxPathTime seconds of wall-clock time a frame and resumes in the next.
// Long global paths are kept and handed out again to requests that start and end near them.
#include "engine/object/GObject.h"
#include "engine/world/CPathData.h"
#include "engine/world/CPathSearch.h"

class GPhysical;

class GPathFinder : public GObject {
    DECLARE_GOBJECT(GPathFinder, GObject)

    static const int STORED_PATHS = 20;
    static constexpr float DEFAULT_PATH_TIME = 0.006f;
    // A stored path is reused when both its ends lie this close (squared) to the request's.
    static constexpr float REUSE_RANGE_SQ = 64.0f;
    // Global paths at least this long are stored.
    static constexpr float STORE_LENGTH = 150.0f;
    // Step costs: the step repeating the entering direction is the dearer one.
    static constexpr float REPEAT_COST = 1.414f;
    static constexpr float TURN_COST = 1.0f;

    GPathFinder();
    ~GPathFinder() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    void GetPath(CPathData* request);
    void ReQPath(CPathData* request);
    void Stop(CPathData* request);

    CPathData* GetCurrent() const { return pCurrent; }
    bool QueueIsEmpty() const { return pQueueFront == &QueueEnd; }
    const CPath* GetStoredPath(int slot) const { return pStored[slot]; }
    const CPathSearch& GetSearch() const { return Search; }

    static GPathFinder* pThe;

    float MaxPathTime;
    int MaxPathControlCount;
    int MaxLocalPathControlCount;
    int MaxNodes;

private:
    bool QPath(CPathData* request, CPathData* other);
    void Enqueue(CPathData* request);
    void Dequeue(CPathData* request);
    bool FindSimilarPath(CPathData* request);
    void BuildSimilarPath(CPathData* request, CPath* stored);
    bool SetPathData(CPathData* request);
    bool FindClearDestination(CPathData* request);
    bool IsBlocked(CPathData* request, const CVector& at);
    bool GetSuccessor(CPathData* request, const CVector& from, PathGrid to);
    void RunSearch();
    bool OutOfTime();
    void Finish(CPathData* request);
    void Drop(CPathData* request);
    void EndWithoutGoal(int status, CPathNode* expanded);
    void BuildPath(CPathData* request, CPathNode* last);
    void RegisterPath(const CPath* path);
    CVector GetGridCenter(PathGrid cell);
    static CPath* NewPath(int points);
    static CPath* CopyPath(const CPath* path);
    static void AddToPathLength(CPath* path, int index);
    static GPhysical* PhysicalOwner(CPathData* request);

    static CPathData QueueEnd;
    static CPathData* pQueueBack;

    CPathData* pQueueFront;
    CPathData* pCurrent;
    CPathSearch Search;
    CPath* pStored[STORED_PATHS];
    CPathNode** pMarked;
    float FrameTime;
    __int64 LastTick;
};
