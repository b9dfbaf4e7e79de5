#include "engine/render/COctTree.h"

#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"

#include <cmath>

COctTreeNode COctTree::Root;
COctTreeNode COctTree::Unsorted[COctTree::kRenderViewports];

namespace {

float& Axis(CVector& v, int axis) { return (&v.x)[axis]; }
float Axis(const CVector& v, int axis) { return (&v.x)[axis]; }

bool Inside(const COctTreeNode& node, const CVector& min, const CVector& max)
{
    for (int a = 0; a < 3; ++a)
        if (Axis(max, a) > Axis(node.Centre, a) + Axis(node.HalfSize, a) ||
            Axis(min, a) < Axis(node.Centre, a) - Axis(node.HalfSize, a))
            return false;
    return true;
}

// -1 below the split, +1 above, 0 straddling it.
int Side(const CVector& min, const CVector& max, float split, int axis)
{
    if (Axis(max, axis) <= split)
        return -1;
    if (Axis(min, axis) >= split)
        return 1;
    return 0;
}

// The child a box falls in, or -1 when it straddles the split on any axis.
int ChildOf(const COctTreeNode& node, const CVector& min, const CVector& max)
{
    int child = 0;
    for (int a = 0; a < 3; ++a) {
        int side = Side(min, max, Axis(node.Split, a), a);
        if (side == 0)
            return -1;
        if (side > 0)
            child |= 1 << a;
    }
    return child;
}

bool PointInside(const ViewFrustum& f, int plane, const CVector& p)
{
    const float* n = f.Planes[plane];
    return n[0] * p.x + n[1] * p.y + n[2] * p.z + n[3] >= 0.0f;
}

// The corner of a box furthest along each plane's normal (sign +1) or against it (-1).
CVector Corner(const ViewFrustum& f, int plane, const CVector& centre, const CVector& half, float sign)
{
    const float* s = f.Signs[plane];
    return CVector(centre.x + sign * s[0] * half.x, centre.y + sign * s[1] * half.y, centre.z + sign * s[2] * half.z);
}

bool NodeSeen(const ViewFrustum& f, const COctTreeNode& node, float sign)
{
    for (int p = 0; p < 6; ++p)
        if (!PointInside(f, p, Corner(f, p, node.Centre, node.HalfSize, sign)))
            return false;
    return true;
}

struct Tally {
    int Count;
    float Volume;
};

} // namespace

void COctTree::PushFront(COctTreeNode* node, CRender* render)
{
    render->pTreeNode = node;
    render->pTreePrev = nullptr;
    render->pTreeNext = node->pFirstRender;
    if (node->pFirstRender)
        node->pFirstRender->pTreePrev = render;
    node->pFirstRender = render;
}

void COctTree::Remove(CRender* render)
{
    COctTreeNode* node = render->pTreeNode;
    if (!node)
        return;
    if (render->pTreePrev)
        render->pTreePrev->pTreeNext = render->pTreeNext;
    else
        node->pFirstRender = render->pTreeNext;
    if (render->pTreeNext)
        render->pTreeNext->pTreePrev = render->pTreePrev;
    render->pTreePrev = render->pTreeNext = nullptr;
    render->pTreeNode = nullptr;
}

void COctTree::ComputeBox(CRender* r)
{
    r->PlotViewport = r->Viewport;
    r->PlotVolume = 0.0f;
    if (r->Viewport != 0 || (r->Flags & CRender::FLAG_NEVER_CULLED) || !r->pPos)
        return;
    r->pPlotResource = r->pResource;
    r->PlotPos = *r->pPos;
    CMatrix placement;
    if (r->pRot) {
        placement.SetEuler_XYZS(*r->pPos, *r->pRot);
    } else {
        placement.SetIdentity();
        placement.m12 = r->pPos->x;
        placement.m13 = r->pPos->y;
        placement.m14 = r->pPos->z;
    }
    CVector min, max;
    if (r->pResource && r->pResource->GetSize(min, max)) {
        r->PlotMin = CVector(3.4028235e38f, 3.4028235e38f, 3.4028235e38f);
        r->PlotMax = CVector(-3.4028235e38f, -3.4028235e38f, -3.4028235e38f);
        for (int k = 0; k < 8; ++k) {
            CVector c((k & 1) ? max.x : min.x, (k & 2) ? max.y : min.y, (k & 4) ? max.z : min.z);
            const float* m = placement.m;
            CVector t(c.x * m[0] + c.y * m[4] + c.z * m[8] + m[12], c.x * m[1] + c.y * m[5] + c.z * m[9] + m[13],
                      c.x * m[2] + c.y * m[6] + c.z * m[10] + m[14]);
            for (int a = 0; a < 3; ++a) {
                Axis(r->PlotMin, a) = Axis(t, a) < Axis(r->PlotMin, a) ? Axis(t, a) : Axis(r->PlotMin, a);
                Axis(r->PlotMax, a) = Axis(t, a) > Axis(r->PlotMax, a) ? Axis(t, a) : Axis(r->PlotMax, a);
            }
        }
    } else {
        const float radius = r->CullRadius;
        r->PlotMin = CVector(r->pPos->x - radius, r->pPos->y - radius, r->pPos->z - radius);
        r->PlotMax = CVector(r->pPos->x + radius, r->pPos->y + radius, r->pPos->z + radius);
    }
    r->PlotVolume = (r->PlotMax.x - r->PlotMin.x) * (r->PlotMax.y - r->PlotMin.y) * (r->PlotMax.z - r->PlotMin.z);
}

void COctTree::Insert(CRender* r)
{
    if (r->Viewport == 0 && !(r->Flags & CRender::FLAG_NEVER_CULLED) && r->pPos &&
        Inside(Root, r->PlotMin, r->PlotMax)) {
        COctTreeNode* node = &Root;
        while (node->pChildren) {
            int child = ChildOf(*node, r->PlotMin, r->PlotMax);
            if (child < 0)
                break;
            node = &node->pChildren[child];
        }
        PushFront(node, r);
        return;
    }
    PushFront(&Unsorted[r->Viewport & (kRenderViewports - 1)], r);
}

void COctTree::Plot(CRender* render)
{
    Remove(render);
    ComputeBox(render);
    Insert(render);
}

void COctTree::UnlinkAll(COctTreeNode* node)
{
    while (node->pFirstRender)
        Remove(node->pFirstRender);
}

void COctTree::FreeChildren(COctTreeNode* node)
{
    if (!node->pChildren)
        return;
    for (int k = 0; k < 8; ++k) {
        FreeChildren(&node->pChildren[k]);
        UnlinkAll(&node->pChildren[k]);
    }
    delete[] node->pChildren;
    node->pChildren = nullptr;
}

void COctTree::Uniform(COctTreeNode* node, int depth)
{
    node->Split = node->Centre;
    if (depth <= 0)
        return;
    node->pChildren = new COctTreeNode[8]();
    for (int k = 0; k < 8; ++k) {
        COctTreeNode& child = node->pChildren[k];
        child.HalfSize = CVector(node->HalfSize.x / 2, node->HalfSize.y / 2, node->HalfSize.z / 2);
        for (int a = 0; a < 3; ++a)
            Axis(child.Centre, a) = Axis(node->Centre, a) + ((k >> a) & 1 ? 1 : -1) * Axis(child.HalfSize, a);
        Uniform(&child, depth - 1);
    }
}

void COctTree::BuildUniform(const CVector& a, const CVector& b, int depth)
{
    UnlinkAll(&Root);
    FreeChildren(&Root);
    Root.Centre = CVector((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2);
    Root.HalfSize = CVector((b.x - a.x) / 2, (b.y - a.y) / 2, (b.z - a.z) / 2);
    Uniform(&Root, depth);
}

void COctTree::Rebuild()
{
    UnlinkAll(&Root);
    FreeChildren(&Root);
    CVector lo(3.4028235e38f, 3.4028235e38f, 3.4028235e38f), hi(-3.4028235e38f, -3.4028235e38f, -3.4028235e38f);
    for (CRender* r = CRender::FirstRender.pListNext; r; r = r->pListNext) {
        if (r->Viewport != 0)
            continue;
        Remove(r);
        // A never-culled render has no box even when it has a position, so it cannot enter
        // the tree either way.
        if ((r->Flags & CRender::FLAG_NEVER_CULLED) || !r->pPos) {
            PushFront(&Unsorted[0], r);
            continue;
        }
        PushFront(&Root, r);
        ComputeBox(r);
        if (r->PlotVolume > 0.0f)
            for (int a = 0; a < 3; ++a) {
                Axis(lo, a) = Axis(r->PlotMin, a) < Axis(lo, a) ? Axis(r->PlotMin, a) : Axis(lo, a);
                Axis(hi, a) = Axis(r->PlotMax, a) > Axis(hi, a) ? Axis(r->PlotMax, a) : Axis(hi, a);
            }
    }
    Root.Centre = CVector((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    Root.HalfSize = CVector((hi.x - lo.x) / 2, (hi.y - lo.y) / 2, (hi.z - lo.z) / 2);
    // Centre and half size are rounded: widen the half size until the bounds fit again, or
    // the renders that made the bounds would drop out of the tree and be drawn every frame.
    for (int a = 0; a < 3 && Axis(lo, a) <= Axis(hi, a); ++a)
        while (Axis(Root.Centre, a) + Axis(Root.HalfSize, a) < Axis(hi, a) ||
               Axis(Root.Centre, a) - Axis(Root.HalfSize, a) > Axis(lo, a))
            Axis(Root.HalfSize, a) = std::nextafter(Axis(Root.HalfSize, a), 3.4028235e38f);
    Root.Split = Root.Centre;
    for (CRender* r = Root.pFirstRender; r;) {
        CRender* next = r->pTreeNext;
        if (!Inside(Root, r->PlotMin, r->PlotMax)) {
            Remove(r);
            PushFront(&Unsorted[0], r);
        }
        r = next;
    }
    SplitNode(&Root, 3, 6);
}

// The cheapest plane on one axis: balanced counts and volumes on both sides, little
// straddling, and a small preference for planes near the centre.
float COctTree::ChooseSplit(COctTreeNode* node, int axis)
{
    const float centre = Axis(node->Centre, axis);
    const float range = 0.8f * Axis(node->HalfSize, axis);
    float step = 0.2f * Axis(node->HalfSize, axis);
    if (step < 0.25f)
        step = 0.25f;
    float best = 0.0f, bestCost = 0.0f;
    bool haveBest = false;
    for (float o = 0.0f; o < range; o += step) {
        for (float sign : {-1.0f, 1.0f}) {
            const float plane = centre + sign * o;
            Tally below{0, 0.0f}, above{0, 0.0f}, across{0, 0.0f};
            for (CRender* r = node->pFirstRender; r; r = r->pTreeNext) {
                int side = Side(r->PlotMin, r->PlotMax, plane, axis);
                Tally& t = side < 0 ? below : side > 0 ? above : across;
                ++t.Count;
                t.Volume += r->PlotVolume;
            }
            const float n = float(below.Count + above.Count + across.Count);
            const float v = below.Volume + above.Volume + across.Volume;
            float cost = 0.25f * o / range;
            if (n > 0.0f)
                cost += (float(below.Count > above.Count ? below.Count - above.Count : above.Count - below.Count) +
                         float(across.Count)) /
                        n;
            if (v > 0.0f)
                cost += ((below.Volume > above.Volume ? below.Volume - above.Volume : above.Volume - below.Volume) +
                         across.Volume) /
                        v;
            if (!haveBest || cost < bestCost) {
                best = sign * o;
                bestCost = cost;
                haveBest = true;
            }
        }
    }
    return centre + best;
}

void COctTree::MakeChildren(COctTreeNode* node)
{
    node->pChildren = new COctTreeNode[8]();
    for (int k = 0; k < 8; ++k) {
        COctTreeNode& child = node->pChildren[k];
        for (int a = 0; a < 3; ++a) {
            float lo = Axis(node->Centre, a) - Axis(node->HalfSize, a);
            float hi = Axis(node->Centre, a) + Axis(node->HalfSize, a);
            if ((k >> a) & 1)
                lo = Axis(node->Split, a);
            else
                hi = Axis(node->Split, a);
            Axis(child.Centre, a) = (lo + hi) / 2;
            Axis(child.HalfSize, a) = (hi - lo) / 2;
        }
        child.Split = child.Centre;
    }
}

void COctTree::SplitNode(COctTreeNode* node, int forced, int remaining)
{
    if (remaining <= 0)
        return;
    --forced;
    if (!node->pFirstRender || (node->HalfSize.x < 1.0f && node->HalfSize.y < 1.0f && node->HalfSize.z < 1.0f)) {
        node->Split = node->Centre;
        if (forced < 0)
            return;
    } else {
        // An axis far shorter than the node's longest is not divided (its split lies on the
        // node's far edge): in a flat world nearly every render's box crosses any plane
        // across the thin axis, and straddling renders stay in the node and are tested
        // every frame, which would bring culling back towards testing every render.
        const float longest = std::fmax(node->HalfSize.x, std::fmax(node->HalfSize.y, node->HalfSize.z));
        for (int a = 0; a < 3; ++a)
            Axis(node->Split, a) = Axis(node->HalfSize, a) * 4.0f < longest
                                       ? Axis(node->Centre, a) + Axis(node->HalfSize, a)
                                       : ChooseSplit(node, a);
    }
    MakeChildren(node);
    for (CRender* r = node->pFirstRender; r;) {
        CRender* next = r->pTreeNext;
        int child = ChildOf(*node, r->PlotMin, r->PlotMax);
        if (child >= 0) {
            Remove(r);
            PushFront(&node->pChildren[child], r);
        }
        r = next;
    }
    for (int k = 0; k < 8; ++k)
        SplitNode(&node->pChildren[k], forced, remaining - 1);
}

void COctTree::EmptyAll()
{
    for (int v = 0; v < kRenderViewports; ++v)
        UnlinkAll(&Unsorted[v]);
    UnlinkAll(&Root);
    FreeChildren(&Root);
}

CRender* COctTree::GetUnsorted(int viewport)
{
    return viewport >= 0 && viewport < kRenderViewports ? Unsorted[viewport].pFirstRender : nullptr;
}

void COctTree::BuildFrustum(int camera, float x0, float y0, float x1, float y1, ViewFrustum& f)
{
    const ViewportTransform* v = GetViewportTransform(camera);
    if (!v)
        v = GetViewportTransform(0);
    // The device's clip space: y up and depth 0..w.
    CMatrix projection = v->Projection;
    for (int row = 0; row < 4; ++row) {
        float* e = projection.m + 4 * row;
        e[1] = -e[1];
        e[2] = row < 2 ? e[2] / 2 : (e[2] + e[3]) / 2;
    }
    f.Matrix.Multiply(v->Camera, projection);
    // The rectangle in clip units: x from left to right, y (up) from bottom to top.
    const float left = x0 / 320.0f - 1.0f, right = x1 / 320.0f - 1.0f;
    const float top = 1.0f - y0 / 240.0f, bottom = 1.0f - y1 / 240.0f;
    const float* m = f.Matrix.m;
    for (int p = 0; p < 6; ++p) {
        float* plane = f.Planes[p];
        for (int row = 0; row < 4; ++row) {
            const float c0 = m[4 * row], c1 = m[4 * row + 1], c2 = m[4 * row + 2], c3 = m[4 * row + 3];
            const float values[6] = {right * c3 - c0, c0 - left * c3, c1 - bottom * c3,
                                     top * c3 - c1,   c3 - c2,        c3 + c2};
            plane[row] = values[p];
        }
        const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        if (length > 0.0f)
            for (float& e : f.Planes[p])
                e /= length;
        for (int a = 0; a < 3; ++a)
            f.Signs[p][a] = plane[a] >= 0.0f ? 1.0f : -1.0f;
    }
}

bool COctTree::BoxVisible(const ViewFrustum& f, const CVector& min, const CVector& max)
{
    const CVector centre((min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2);
    const CVector half((max.x - min.x) / 2, (max.y - min.y) / 2, (max.z - min.z) / 2);
    for (int p = 0; p < 6; ++p)
        if (!PointInside(f, p, Corner(f, p, centre, half, 1.0f)))
            return false;
    return true;
}

void COctTree::DrawAll(const COctTreeNode* node)
{
    for (CRender* r = node->pFirstRender; r; r = r->pTreeNext)
        r->Display();
    if (node->pChildren)
        for (int k = 0; k < 8; ++k)
            DrawAll(&node->pChildren[k]);
}

// Renders held by a node the frustum only partly covers are tested one by one, so that the
// layer draws exactly the renders the camera sees.
void COctTree::DrawNode(const COctTreeNode* node, const ViewFrustum& f)
{
    if (!node->pFirstRender && !node->pChildren)
        return;
    if (!NodeSeen(f, *node, 1.0f))
        return;
    if (NodeSeen(f, *node, -1.0f)) {
        DrawAll(node);
        return;
    }
    for (CRender* r = node->pFirstRender; r; r = r->pTreeNext)
        if (BoxVisible(f, r->PlotMin, r->PlotMax))
            r->Display();
    if (node->pChildren)
        for (int k = 0; k < 8; ++k)
            DrawNode(&node->pChildren[k], f);
}

void COctTree::CullAndDraw(int viewport, const ViewFrustum& f)
{
    if (viewport < 0 || viewport >= kRenderViewports)
        return;
    for (CRender* r = Unsorted[viewport].pFirstRender; r; r = r->pTreeNext)
        r->Display();
    if (viewport == 0)
        DrawNode(&Root, f);
}
