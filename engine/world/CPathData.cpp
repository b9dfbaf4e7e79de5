#include "engine/world/CPathData.h"

#include <string.h>

#include "core/heap/ZHeap.h"

CPathData::CPathData() { memset(static_cast<void*>(this), 0, sizeof(*this)); }

void CPathData::Set(const CVector& start, const CVector& goal, EPathCommand command, BYTE local)
{
    StartPos = start;
    GoalPos = goal;
    eCommand = command;
    bLocal = local;
    bRenewed = 0;
}

void CPathData::SetLocal(const CVector& start, const CVector& goal, EPathCommand command)
{
    Set(start, goal, command, 1);
}

void CPathData::SetGlobal(const CVector& start, const CVector& goal, EPathCommand command)
{
    Set(start, goal, command, 0);
}

void CPathData::FreePath(CPath*& path)
{
    if (!path)
        return;
    zfree(path->pPoints);
    zfree(path);
    path = nullptr;
}

bool CPathData::PopStack(CPath*& path, CVector& point, bool& local)
{
    if (!path)
        return false;
    if (path->iTop >= 0) {
        const CPathPoint& p = path->pPoints[path->iTop--];
        point = CVector(p.x, p.y, static_cast<float>(p.Sequence));
        local = p.bLocal != 0;
    }
    if (path->iTop < 0)
        FreePath(path);
    return true;
}
