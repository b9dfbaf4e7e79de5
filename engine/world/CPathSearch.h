#pragma once
// The search core both path finders share: the level's extent cut into one-unit cells, a pool
// of search nodes found through a per-cell lookup, the open list, the eight step directions
// and the turning points of a finished search. The finders decide which steps are allowed,
// what a step costs and when to stop; the core never allocates during a search.
#include <stdlib.h>
#include <string.h>

#include "core/math/CVector.h"
#include "engine/object/GObject.h"

// A cell. Compared as one word with y in the high half.
struct PathGrid {
    WORD x;
    WORD y;
    DWORD Word() const { return static_cast<DWORD>(y) << 16 | x; }
    bool operator==(const PathGrid& other) const { return Word() == other.Word(); }
    bool operator!=(const PathGrid& other) const { return Word() != other.Word(); }
};

enum EPathNodeFlags { PATHNODE_CLOSED = 1, PATHNODE_OPEN = 2, PATHNODE_POINT = 4 };

struct CPathNode {
    float fCost;    // from the start
    float fTotal;   // cost plus the estimate: the open list's order
    BYTE Direction; // code of the step that entered the cell, 0 for the start
    BYTE NodeFlags; // EPathNodeFlags
    PathGrid Cell;
    CPathNode* pParent;
    int iOpenSlot; // place in the open list's heap, -1 when not open
};

// The eight steps in the order they are tried: the four orthogonal ones, then the diagonals.
struct PathDirection {
    int dx, dy;
    BYTE Bit;
};
inline constexpr PathDirection kPathDirections[8] = {{0, -1, 1},   {0, 1, 2},   {1, 0, 4},    {-1, 0, 8},
                                                     {-1, -1, 32}, {1, -1, 16}, {-1, 1, 128}, {1, 1, 64}};
// The code of each of the eight steps: (dy x 16 + dx) mod 256.
inline constexpr BYTE kDirectionCodes[8] = {0xF0, 0x10, 0x01, 0xFF, 0xEF, 0xF1, 0x0F, 0x11};

class CPathSearch {
public:
    // The estimate is this many times the Manhattan distance in cells.
    static constexpr float ESTIMATE_WEIGHT = 3.0f;
    // A node already reached is re-parented only when the new cost is lower by this much.
    static constexpr float IMPROVEMENT = 3.0f;

    enum EExpand { EXPANDED, POOL_USED_UP };

    CPathSearch();
    ~CPathSearch();
    CPathSearch(const CPathSearch&) = delete;
    CPathSearch& operator=(const CPathSearch&) = delete;

    // Cells over minX.. minX + width by minY.. minY + height and a pool of `capacity` nodes.
    // Without cells (a level without locations) every search finds nothing.
    void SetGrid(float minX, float minY, int width, int height, int capacity);
    int GetWidth() const { return Width; }
    int GetHeight() const { return Height; }
    int GetCellCount() const { return Width * Height; }
    int GetCapacity() const { return Capacity; }
    bool HasGrid() const { return Width > 0 && Height > 0; }

    // The cell holding p: false when p lies outside the cells. A point on the far edge of the
    // extent belongs to the last cell.
    bool CellOf(const CVector& p, PathGrid& cell) const;
    // The cell holding p, p first moved onto the nearest cell.
    PathGrid ClampedCellOf(const CVector& p) const;
    CVector CellCentre(PathGrid cell) const;
    float Estimate(PathGrid cell) const;

    // Forgets the previous search (its cells only) and opens the start node.
    CPathNode* Begin(PathGrid start, PathGrid goal, int budget);
    PathGrid GetGoal() const { return Goal; }
    CPathNode* GetStartNode() { return pPool; }
    int GetNodeCount() const { return NodeCount; }
    bool OpenIsEmpty() const { return OpenCount == 0; }
    CPathNode* PopOpen();
    // The open node nearest the goal by the estimate; the first in open-list order on ties.
    CPathNode* FindBestNode() const;

    // The cells a step from `cell` may reach, in direction order: accept(index, to) is asked
    // for each neighbour inside the cells; with noCornerCut a diagonal also needs both
    // orthogonal steps beside it accepted. visit(index, to) gets each accepted one and may
    // stop the walk by returning false; the result is false when it did.
    template <class Accept, class Visit>
    bool Successors(PathGrid cell, bool noCornerCut, Accept& accept, Visit visit) const
    {
        DWORD open = 0;
        // Most cells lie inside the edge: their steps need no bounds test.
        const bool inner = cell.x > 0 && cell.y > 0 && cell.x + 1 < Width && cell.y + 1 < Height;
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i) {
            const PathDirection& d = kPathDirections[i];
            const int x = cell.x + d.dx, y = cell.y + d.dy;
            if (!inner && (x < 0 || y < 0 || x >= Width || y >= Height))
                continue;
            if (noCornerCut && i >= 4 && !DiagonalFree(i, open))
                continue;
            const PathGrid to = {static_cast<WORD>(x), static_cast<WORD>(y)};
            if (!accept(i, to))
                continue;
            open |= d.Bit;
            if (!visit(i, to))
                return false;
        }
        return true;
    }

    // Closes node and reaches its accepted neighbours: a step repeating the node's entering
    // direction costs `repeat`, any other `turn`. POOL_USED_UP when a new cell found the pool
    // at the budget (the expansion stops there).
    template <class Accept> EExpand Expand(CPathNode* node, bool noCornerCut, float repeat, float turn, Accept accept)
    {
        node->NodeFlags = static_cast<BYTE>((node->NodeFlags & ~PATHNODE_OPEN) | PATHNODE_CLOSED);
        const float g0 = node->fCost;
        const BYTE entered = node->Direction;
        const bool room = Successors(node->Cell, noCornerCut, accept, [&](int index, PathGrid to) {
            const BYTE code = kDirectionCodes[index];
            const float g = g0 + (code == entered ? repeat : turn);
            CPathNode*& slot = pLookup[to.y * Width + to.x];
            if (!slot) {
                if (NodeCount >= Budget)
                    return false;
                slot = Claim(to);
            } else if (!(g + IMPROVEMENT <= slot->fCost)) {
                return true;
            }
            Reach(slot, node, g, code);
            return true;
        });
        return room ? EXPANDED : POOL_USED_UP;
    }

    // Walks from last back to the start and marks the turning points: last, the start and
    // every node entered in another direction than the node walked just before it. Returns
    // the marked nodes, last first, in `out` (room for GetNodeCount() entries).
    int TurningPoints(CPathNode* last, CPathNode** out) const;

private:
    // The open list is a 4-ary heap that pops in the order of a list sorted by total in which
    // a node goes before every node of an equal total: the newest of equal totals comes out
    // first. The key packs both: totals are never negative, so their bit patterns order as
    // the numbers do, and the low half counts insertions down.
    typedef unsigned long long OpenKey;
    struct OpenEntry {
        OpenKey Key;
        CPathNode* Node;
    };
    static const int HEAP_ARITY = 4;

    // A diagonal step needs both orthogonal steps beside it: index 4 needs the bits of 0 and
    // 3, 5 those of 0 and 2, 6 those of 1 and 3, 7 those of 1 and 2.
    static bool DiagonalFree(int index, DWORD open)
    {
        constexpr DWORD kNeeds[4] = {1 | 8, 1 | 4, 2 | 8, 2 | 4};
        return (open & kNeeds[index - 4]) == kNeeds[index - 4];
    }
    CPathNode* Claim(PathGrid cell);
    void Reach(CPathNode* node, CPathNode* parent, float g, BYTE code);
    OpenKey NextKey(float total);
    void SiftUp(int slot, OpenEntry entry);
    void SiftDown(int slot, OpenEntry entry);
    void Place(const OpenEntry& entry, int slot);
    void RemoveOpen(CPathNode* node);
    void PushOpen(CPathNode* node);
    void FreeAll();

    float MinX, MinY;
    int Width, Height;
    int Capacity;
    int Budget;
    CPathNode* pPool;
    CPathNode** pLookup;
    OpenEntry* pOpen;
    int OpenCount;
    int NodeCount;
    DWORD NextOrder;
    PathGrid Goal;
};

// The steps of the search loop are inline: the finders' loops compile into one function each.
inline float CPathSearch::Estimate(PathGrid cell) const
{
    return ESTIMATE_WEIGHT * static_cast<float>(abs(cell.x - Goal.x) + abs(cell.y - Goal.y));
}

inline CPathNode* CPathSearch::Claim(PathGrid cell)
{
    CPathNode* node = &pPool[NodeCount++];
    node->fCost = node->fTotal = 0.0f;
    node->Direction = node->NodeFlags = 0;
    node->Cell = cell;
    node->pParent = nullptr;
    node->iOpenSlot = -1;
    return node;
}

// An improved node already open only moves up: its total fell and it is the newest.
inline void CPathSearch::Reach(CPathNode* node, CPathNode* parent, float g, BYTE code)
{
    node->pParent = parent;
    node->fCost = g;
    node->NodeFlags = static_cast<BYTE>(node->NodeFlags & ~PATHNODE_CLOSED);
    node->fTotal = g + Estimate(node->Cell);
    node->Direction = code;
    if (node->iOpenSlot < 0) {
        PushOpen(node);
        return;
    }
    const OpenEntry entry = {NextKey(node->fTotal), node};
    SiftUp(node->iOpenSlot, entry);
}

inline CPathSearch::OpenKey CPathSearch::NextKey(float total)
{
    DWORD bits;
    memcpy(&bits, &total, sizeof bits);
    return static_cast<OpenKey>(bits) << 32 | (0xFFFFFFFFu - NextOrder++);
}

inline void CPathSearch::Place(const OpenEntry& entry, int slot)
{
    pOpen[slot] = entry;
    entry.Node->iOpenSlot = slot;
}

inline void CPathSearch::SiftUp(int slot, OpenEntry entry)
{
    while (slot > 0) {
        const int parent = (slot - 1) / HEAP_ARITY;
        if (pOpen[parent].Key <= entry.Key)
            break;
        Place(pOpen[parent], slot);
        slot = parent;
    }
    Place(entry, slot);
}

inline void CPathSearch::SiftDown(int slot, OpenEntry entry)
{
    for (;;) {
        const int first = slot * HEAP_ARITY + 1;
        if (first >= OpenCount)
            break;
        const int end = first + HEAP_ARITY < OpenCount ? first + HEAP_ARITY : OpenCount;
        int best = first;
        for (int child = first + 1; child < end; ++child)
            if (pOpen[child].Key < pOpen[best].Key)
                best = child;
        if (entry.Key <= pOpen[best].Key)
            break;
        Place(pOpen[best], slot);
        slot = best;
    }
    Place(entry, slot);
}

inline void CPathSearch::PushOpen(CPathNode* node)
{
    node->NodeFlags |= PATHNODE_OPEN;
    const OpenEntry entry = {NextKey(node->fTotal), node};
    SiftUp(OpenCount++, entry);
}

inline void CPathSearch::RemoveOpen(CPathNode* node)
{
    const int slot = node->iOpenSlot;
    node->iOpenSlot = -1;
    node->NodeFlags = static_cast<BYTE>(node->NodeFlags & ~PATHNODE_OPEN);
    const OpenEntry last = pOpen[--OpenCount];
    if (slot == OpenCount)
        return;
    if (slot > 0 && last.Key < pOpen[(slot - 1) / HEAP_ARITY].Key)
        SiftUp(slot, last);
    else
        SiftDown(slot, last);
}

inline CPathNode* CPathSearch::PopOpen()
{
    if (OpenCount == 0)
        return nullptr;
    CPathNode* first = pOpen[0].Node;
    RemoveOpen(first);
    return first;
}
