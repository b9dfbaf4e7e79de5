#include "engine/world/CPathSearch.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "core/heap/ZHeap.h"

const PathDirection kPathDirections[8] = {{0, -1, 1},   {0, 1, 2},   {1, 0, 4},    {-1, 0, 8},
                                          {-1, -1, 32}, {1, -1, 16}, {-1, 1, 128}, {1, 1, 64}};

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
    pOpen = static_cast<CPathNode**>(zmalloc(sizeof(CPathNode*) * Capacity));
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

float CPathSearch::Estimate(PathGrid cell) const
{
    return ESTIMATE_WEIGHT * static_cast<float>(abs(cell.x - Goal.x) + abs(cell.y - Goal.y));
}

bool CPathSearch::DiagonalFree(int index, DWORD open)
{
    static const DWORD kNeeds[4] = {1 | 8, 1 | 4, 2 | 8, 2 | 4};
    const DWORD needs = kNeeds[index - 4];
    return (open & needs) == needs;
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

CPathNode* CPathSearch::Claim(PathGrid cell)
{
    CPathNode* node = &pPool[NodeCount++];
    memset(static_cast<void*>(node), 0, sizeof(*node));
    node->Cell = cell;
    node->iOpenSlot = -1;
    return node;
}

void CPathSearch::Reach(CPathNode* node, CPathNode* parent, float g, BYTE code)
{
    node->pParent = parent;
    node->fCost = g;
    node->NodeFlags = static_cast<BYTE>(node->NodeFlags & ~PATHNODE_CLOSED);
    node->fTotal = g + Estimate(node->Cell);
    node->Direction = code;
    if (node->iOpenSlot >= 0)
        RemoveOpen(node);
    PushOpen(node);
}

bool CPathSearch::Before(const CPathNode* a, const CPathNode* b) const
{
    return a->fTotal < b->fTotal || (a->fTotal == b->fTotal && a->Order > b->Order);
}

void CPathSearch::Place(CPathNode* node, int slot)
{
    pOpen[slot] = node;
    node->iOpenSlot = slot;
}

void CPathSearch::SiftUp(int slot)
{
    CPathNode* node = pOpen[slot];
    while (slot > 0) {
        const int parent = (slot - 1) >> 1;
        if (!Before(node, pOpen[parent]))
            break;
        Place(pOpen[parent], slot);
        slot = parent;
    }
    Place(node, slot);
}

void CPathSearch::SiftDown(int slot)
{
    CPathNode* node = pOpen[slot];
    for (;;) {
        int child = 2 * slot + 1;
        if (child >= OpenCount)
            break;
        if (child + 1 < OpenCount && Before(pOpen[child + 1], pOpen[child]))
            ++child;
        if (!Before(pOpen[child], node))
            break;
        Place(pOpen[child], slot);
        slot = child;
    }
    Place(node, slot);
}

void CPathSearch::PushOpen(CPathNode* node)
{
    node->Order = NextOrder++;
    node->NodeFlags |= PATHNODE_OPEN;
    Place(node, OpenCount++);
    SiftUp(node->iOpenSlot);
}

void CPathSearch::RemoveOpen(CPathNode* node)
{
    const int slot = node->iOpenSlot;
    node->iOpenSlot = -1;
    node->NodeFlags = static_cast<BYTE>(node->NodeFlags & ~PATHNODE_OPEN);
    CPathNode* last = pOpen[--OpenCount];
    if (slot == OpenCount)
        return;
    Place(last, slot);
    SiftUp(slot);
    SiftDown(last->iOpenSlot);
}

CPathNode* CPathSearch::PopOpen()
{
    if (OpenCount == 0)
        return nullptr;
    CPathNode* first = pOpen[0];
    RemoveOpen(first);
    return first;
}

CPathNode* CPathSearch::FindBestNode() const
{
    CPathNode* best = nullptr;
    float bestEstimate = 0.0f;
    for (int i = 0; i < OpenCount; ++i) {
        CPathNode* node = pOpen[i];
        const float e = Estimate(node->Cell);
        if (!best || e < bestEstimate || (e == bestEstimate && Before(node, best))) {
            best = node;
            bestEstimate = e;
        }
    }
    return best;
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
