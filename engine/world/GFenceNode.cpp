#include "engine/world/GFenceNode.h"

#include <float.h>

#include <new>

IMPLEMENT_GOBJECT(GFenceNode, 0x8A008002)

GFenceNode* GFenceNode::pRoot;

namespace {

// Render flag that makes the node's post show.
const unsigned long NODE_RENDER_FLAG = 8;

struct Point2 {
    float x, y;
};

Point2 At(GFenceNode* node) { return Point2{node->Position.x, node->Position.y}; }

// The edge from a to b straddles the vertical through p and passes above p.
bool CrossesAbove(const Point2& a, const Point2& b, const Point2& p)
{
    if (!((b.x < p.x && p.x <= a.x) || (a.x < p.x && p.x <= b.x)))
        return false;
    const Point2& left = a.x < b.x ? a : b;
    const Point2& right = a.x < b.x ? b : a;
    return (right.y - left.y) * (p.x - left.x) > (right.x - left.x) * (p.y - left.y);
}

// The point of segment a..b nearest p.
Point2 Nearest(const Point2& a, const Point2& b, const Point2& p)
{
    const float ex = b.x - a.x, ey = b.y - a.y;
    const float t = (p.x - a.x) * ex + (p.y - a.y) * ey;
    if (t <= 0.0f)
        return a;
    const float lengthSq = ex * ex + ey * ey;
    if (lengthSq <= t)
        return b;
    const float s = t / lengthSq;
    return Point2{a.x + s * ex, a.y + s * ey};
}

} // namespace

// A live node shows its resource at its place and sleeps: it is never processed.
GFenceNode::GFenceNode()
{
    if (EditableEvaluation != 0)
        return;
    RenderedIndex = NOT_RENDERED;
    new (&NodeRender) CRender();
    NodeRender.Attach(&Position, &Rotation, nullptr, nullptr);
    NodeRender.Attach(pResource, 0);
    NodeRender.SetSelectable(GetHandle());
    NodeRender.SetParent(this);
    NodeRender.SetViewport(static_cast<short>(Viewport & 0x1F));
    NodeRender.SetFlags(NODE_RENDER_FLAG, NODE_RENDER_FLAG);
    NodeRender.Link();
    SleepTime = SLEEP_FOREVER;
    Register();
}

GFenceNode::~GFenceNode()
{
    if (EditableEvaluation != 0)
        return;
    Unregister();
    NodeRender.~CRender();
}

int GFenceNode::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "Index", "int", Index);
    AddEditable(cursor, "pResource", "CRendResource*", pResource);
    return count + 2;
}

// Among equal indices the newer node goes last.
void GFenceNode::Register()
{
    pNextFenceNode = pPrevFenceNode = nullptr;
    GFenceNode* before = nullptr;
    GFenceNode* after = pRoot;
    while (after && Index >= after->Index) {
        before = after;
        after = after->pNextFenceNode;
    }
    pPrevFenceNode = before;
    pNextFenceNode = after;
    if (before)
        before->pNextFenceNode = this;
    else
        pRoot = this;
    if (after)
        after->pPrevFenceNode = this;
}

void GFenceNode::Unregister()
{
    if (pPrevFenceNode)
        pPrevFenceNode->pNextFenceNode = pNextFenceNode;
    else if (pRoot == this)
        pRoot = pNextFenceNode;
    if (pNextFenceNode)
        pNextFenceNode->pPrevFenceNode = pPrevFenceNode;
    pNextFenceNode = pPrevFenceNode = nullptr;
}

void GFenceNode::Renumber()
{
    int n = 0;
    for (GFenceNode* node = pRoot; node; node = node->pNextFenceNode, ++n)
        node->Index = node->RenderedIndex = n;
}

bool GFenceNode::Render()
{
    if (RenderedIndex == NOT_RENDERED)
        Renumber();
    if (Index != RenderedIndex) {
        RenderedIndex = Index;
        Unregister();
        Register();
        Renumber();
    }
    return false;
}

GFenceNode* GFenceNode::GetNode(GFenceNode* node) { return node ? node->pNextFenceNode : pRoot; }

// The list is walked in place, so a fence may have any number of nodes.
void GFenceNode::FencePoint(CVector& point)
{
    GFenceNode* first = pRoot;
    if (!first || !first->pNextFenceNode || !first->pNextFenceNode->pNextFenceNode)
        return;
    const Point2 p{point.x, point.y};
    GFenceNode* last = first;
    while (last->pNextFenceNode)
        last = last->pNextFenceNode;

    bool inside = false;
    Point2 previous = At(last);
    for (GFenceNode* node = first; node; node = node->pNextFenceNode) {
        const Point2 current = At(node);
        if (CrossesAbove(previous, current, p))
            inside = !inside;
        previous = current;
    }
    if (inside)
        return;

    float best = FLT_MAX;
    Point2 chosen = p;
    for (GFenceNode* node = first; node; node = node->pNextFenceNode) {
        const Point2 a = At(node);
        const Point2 b = At(node->pNextFenceNode ? node->pNextFenceNode : first);
        const Point2 candidate = Nearest(a, b, p);
        const float dx = candidate.x - p.x, dy = candidate.y - p.y;
        const float distanceSq = dx * dx + dy * dy;
        if (distanceSq < best) {
            best = distanceSq;
            chosen = candidate;
        }
    }
    point.x = chosen.x;
    point.y = chosen.y;
}
