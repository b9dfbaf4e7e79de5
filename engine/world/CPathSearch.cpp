#include "engine/world/CPathSearch.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "core/heap/ZHeap.h"

CPathSearch::CPathSearch()
    : MinX(0.0f), MinY(0.0f), Width(0), Height(0), Capacity(0), Budget(0), pPool(nullptr), pLookup(nullptr),
      pOpen(nullptr), OpenCount(0), NodeCount(0), NextOrder(0)
{
    Goal.x = Goal.y = 0;
}

CPathSearch::~CPathSearch() { FreeAll(); }

void CPathSearch::FreeAll()
{
    zfree(pPool);
    zfree(pLookup);
    zfree(pOpen);
    pPool = nullptr;
    pLookup = nullptr;
    pOpen = nullptr;
    Width = Height = Capacity = 0;
    OpenCount = NodeCount = 0;
}

void CPathSearch::SetGrid(float minX, float minY, int width, int height, int capacity)
{
    FreeAll();
    MinX = minX;
    MinY = minY;
    if (width <= 0 || height <= 0 || capacity <= 0)
        return;
    Width = width;
    Height = height;
    Capacity = capacity;
    pLookup = static_cast<CPathNode**>(zmalloc(sizeof(CPathNode*) * Width * Height));
    memset(pLookup, 0, sizeof(CPathNode*) * Width * Height);
    pPool = static_cast<CPathNode*>(zmalloc(sizeof(CPathNode) * Capacity));
    pOpen = static_cast<OpenEntry*>(zmalloc(sizeof(OpenEntry) * Capacity));
}

bool CPathSearch::CellOf(const CVector& p, PathGrid& cell) const
{
    const float fx = p.x - MinX, fy = p.y - MinY;
    if (!(fx >= 0.0f && fy >= 0.0f && fx <= static_cast<float>(Width) && fy <= static_cast<float>(Height)))
        return false;
    cell = ClampedCellOf(p);
    return true;
}

PathGrid CPathSearch::ClampedCellOf(const CVector& p) const
{
    const float fx = p.x - MinX, fy = p.y - MinY;
    // NaN and far-off points end at an edge instead of wrapping through a conversion.
    const float x = fx >= 0.0f ? fminf(fx, static_cast<float>(Width - 1)) : 0.0f;
    const float y = fy >= 0.0f ? fminf(fy, static_cast<float>(Height - 1)) : 0.0f;
    PathGrid cell = {static_cast<WORD>(static_cast<int>(x)), static_cast<WORD>(static_cast<int>(y))};
    return cell;
}

CVector CPathSearch::CellCentre(PathGrid cell) const
{
    return CVector(cell.x + MinX + 0.5f, cell.y + MinY + 0.5f, 0.0f);
}

CPathNode* CPathSearch::Begin(PathGrid start, PathGrid goal, int budget)
{
    for (int i = 0; i < NodeCount; ++i)
        pLookup[pPool[i].Cell.y * Width + pPool[i].Cell.x] = nullptr;
    NodeCount = 0;
    OpenCount = 0;
    NextOrder = 0;
    Goal = goal;
    Budget = budget < Capacity ? budget : Capacity;
    CPathNode* node = Claim(start);
    pLookup[start.y * Width + start.x] = node;
    node->fCost = 0.0f;
    node->fTotal = Estimate(start);
    PushOpen(node);
    return node;
}

CPathNode* CPathSearch::FindBestNode() const
{
    int best = -1;
    float bestEstimate = 0.0f;
    for (int i = 0; i < OpenCount; ++i) {
        const float e = Estimate(pOpen[i].Node->Cell);
        if (best < 0 || e < bestEstimate || (e == bestEstimate && pOpen[i].Key < pOpen[best].Key)) {
            best = i;
            bestEstimate = e;
        }
    }
    return best < 0 ? nullptr : pOpen[best].Node;
}

int CPathSearch::TurningPoints(CPathNode* last, CPathNode** out) const
{
    int count = 0;
    const CPathNode* previous = nullptr;
    for (CPathNode* node = last; node; node = node->pParent) {
        if (!previous || !node->pParent || node->Direction != previous->Direction) {
            node->NodeFlags |= PATHNODE_POINT;
            out[count++] = node;
        }
        previous = node;
    }
    return count;
}
