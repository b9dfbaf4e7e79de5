#pragma once
// The search core both path finders share: the level's extent cut into one-unit cells, a pool
// of search nodes found through a per-cell lookup, the open list, the eight step directions
// and the turning points of a finished search. The finders decide which steps are allowed,
// what a step costs and when to stop; the core never allocates during a search.
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
    // The open list is a heap that pops in the order of a list sorted by total where a node
    // goes before every node of an equal total: the newest of equal totals comes out first.
    int iOpenSlot;
    DWORD Order;
};

// The eight steps in the order they are tried: the four orthogonal ones, then the diagonals.
struct PathDirection {
    int dx, dy;
    BYTE Bit;
};
extern const PathDirection kPathDirections[8];

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
    static BYTE DirectionCode(int dx, int dy) { return static_cast<BYTE>(dy * 16 + dx); }
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
    // orthogonal steps beside it accepted. Fills cells and indices, returns the count.
    template <class Accept>
    int Successors(PathGrid cell, bool noCornerCut, Accept accept, PathGrid* cells, int* indices) const
    {
        DWORD open = 0;
        int count = 0;
        for (int i = 0; i < 8; ++i) {
            const PathDirection& d = kPathDirections[i];
            const int x = cell.x + d.dx, y = cell.y + d.dy;
            if (x < 0 || y < 0 || x >= Width || y >= Height)
                continue;
            if (noCornerCut && i >= 4 && !DiagonalFree(i, open))
                continue;
            const PathGrid to = {static_cast<WORD>(x), static_cast<WORD>(y)};
            if (!accept(i, to))
                continue;
            open |= d.Bit;
            cells[count] = to;
            indices[count++] = i;
        }
        return count;
    }

    // Closes node and reaches its accepted neighbours: a step repeating the node's entering
    // direction costs `repeat`, any other `turn`. POOL_USED_UP when a new cell found the pool
    // at the budget (the expansion stops there).
    template <class Accept> EExpand Expand(CPathNode* node, bool noCornerCut, float repeat, float turn, Accept accept)
    {
        node->NodeFlags = static_cast<BYTE>((node->NodeFlags & ~PATHNODE_OPEN) | PATHNODE_CLOSED);
        PathGrid cells[8];
        int indices[8];
        const int count = Successors(node->Cell, noCornerCut, accept, cells, indices);
        for (int k = 0; k < count; ++k) {
            const PathDirection& d = kPathDirections[indices[k]];
            const BYTE code = DirectionCode(d.dx, d.dy);
            const float g = node->fCost + (code == node->Direction ? repeat : turn);
            CPathNode*& slot = pLookup[cells[k].y * Width + cells[k].x];
            if (!slot) {
                if (NodeCount >= Budget)
                    return POOL_USED_UP;
                slot = Claim(cells[k]);
            } else if (!(g + IMPROVEMENT <= slot->fCost)) {
                continue;
            }
            Reach(slot, node, g, code);
        }
        return EXPANDED;
    }

    // Walks from last back to the start and marks the turning points: last, the start and
    // every node entered in another direction than the node walked just before it. Returns
    // the marked nodes, last first, in `out` (room for GetNodeCount() entries).
    int TurningPoints(CPathNode* last, CPathNode** out) const;

private:
    static bool DiagonalFree(int index, DWORD open);
    CPathNode* Claim(PathGrid cell);
    void Reach(CPathNode* node, CPathNode* parent, float g, BYTE code);
    bool Before(const CPathNode* a, const CPathNode* b) const;
    void SiftUp(int slot);
    void SiftDown(int slot);
    void Place(CPathNode* node, int slot);
    void RemoveOpen(CPathNode* node);
    void PushOpen(CPathNode* node);
    void FreeAll();

    float MinX, MinY;
    int Width, Height;
    int Capacity;
    int Budget;
    CPathNode* pPool;
    CPathNode** pLookup;
    CPathNode** pOpen;
    int OpenCount;
    int NodeCount;
    DWORD NextOrder;
    PathGrid Goal;
};
