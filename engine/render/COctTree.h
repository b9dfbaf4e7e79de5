#pragma once
// The scene tree: displayed renders of camera viewport 0 (the 3-D world) live in an octree of
// axis-aligned boxes, so that a layer draws only the renders whose nodes meet its view
// frustum. Every other render (other viewports, never-culled renders, renders without a
// position or outside the tree's bounds) sits in its viewport's unsorted list and is always
// drawn.
#include "core/math/CMatrix.h"
#include "core/math/CVector.h"

class CRender;

class COctTreeNode {
public:
    CVector Centre;
    CVector HalfSize;
    CVector Split;
    COctTreeNode* pChildren; // block of 8, null for a leaf; child k is high on x, y, z for bits 0, 1, 2
    CRender* pFirstRender;
};

// Six planes (nx, ny, nz, d) with unit normals, a point p inside a plane when n.p + d >= 0;
// per plane the signs of the normal's components; and the matrix the planes come from.
struct ViewFrustum {
    float Planes[6][4];
    float Signs[6][3];
    CMatrix Matrix;
};

class COctTree {
public:
    // Render viewports 0..31 each have an unsorted list; only viewport 0 has a tree.
    enum { kRenderViewports = 32 };

    // Removes the render from its node and plots it again: its box, then its place.
    static void Plot(CRender* render);
    // Removes the render from its node's list; nothing when it is in none.
    static void Remove(CRender* render);
    // Viewport 0's tree over the box from a to b, subdivided uniformly depth times.
    static void BuildUniform(const CVector& a, const CVector& b, int depth);
    // Viewport 0's tree fitted to the displayed renders of viewport 0.
    static void Rebuild();
    // Unlinks every render from every list and frees the subdivision.
    static void EmptyAll();

    // The frustum of camera viewport `camera` over the rectangle (x0, y0)-(x1, y1) of the
    // 640 by 480 virtual screen.
    static void BuildFrustum(int camera, float x0, float y0, float x1, float y1, ViewFrustum& frustum);
    // Displays viewport v's unsorted renders and the renders of v's tree that the frustum sees.
    static void CullAndDraw(int viewport, const ViewFrustum& frustum);
    // True when the box from min to max reaches inside every plane.
    static bool BoxVisible(const ViewFrustum& frustum, const CVector& min, const CVector& max);

    static const COctTreeNode* GetRoot() { return &Root; }
    static CRender* GetUnsorted(int viewport);

private:
    static void ComputeBox(CRender* render);
    static void Insert(CRender* render);
    static void PushFront(COctTreeNode* node, CRender* render);
    static void UnlinkAll(COctTreeNode* node);
    static void FreeChildren(COctTreeNode* node);
    static void Uniform(COctTreeNode* node, int depth);
    static void SplitNode(COctTreeNode* node, int forced, int remaining);
    static float ChooseSplit(COctTreeNode* node, int axis);
    static void MakeChildren(COctTreeNode* node);
    static void DrawNode(const COctTreeNode* node, const ViewFrustum& frustum);
    static void DrawAll(const COctTreeNode* node);

    static COctTreeNode Root;
    static COctTreeNode Unsorted[kRenderViewports];
};
