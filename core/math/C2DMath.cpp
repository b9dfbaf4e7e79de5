#include "core/math/C2DMath.h"

#include <algorithm>

namespace {
float DistanceSq(float x1, float y1, float x2, float y2)
{
    float dx = x2 - x1, dy = y2 - y1;
    return dx * dx + dy * dy;
}
} // namespace

bool C2DMath::Contains(float left, float top, float right, float bottom, const CVector& point, float radius)
{
    return point.x - radius >= left && point.x + radius <= right && point.y - radius >= top &&
           point.y + radius <= bottom;
}

bool C2DMath::Contains(const fRECT& r, const CVector& point, float radius)
{
    return Contains(r.left, r.top, r.right, r.bottom, point, radius);
}

bool C2DMath::Contains(const CVector& point, float radius, float x, float y)
{
    return DistanceSq(point.x, point.y, x, y) <= radius * radius;
}

bool C2DMath::Contains(const fRECT& r, float x, float y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

bool C2DMath::Contains(const fRECT& r, const CVector& point) { return Contains(r, point.x, point.y); }

bool C2DMath::Contains(const fRECT& outer, const fRECT& inner)
{
    return Contains(outer, inner.left, inner.top) && Contains(outer, inner.right, inner.top) &&
           Contains(outer, inner.left, inner.bottom) && Contains(outer, inner.right, inner.bottom);
}

bool C2DMath::Intersects(const CVector& c, float radius, float left, float top, float right, float bottom)
{
    bool withinX = c.x >= left && c.x <= right;
    bool withinY = c.y >= top && c.y <= bottom;
    if (withinX && withinY)
        return true;
    // The circle's extent crosses an edge between the other two edges.
    if (withinX && c.y + radius > top && c.y - radius < bottom)
        return true;
    if (withinY && c.x + radius > left && c.x - radius < right)
        return true;
    float cornerX = c.x < left ? left : right;
    float cornerY = c.y < top ? top : bottom;
    return DistanceSq(c.x, c.y, cornerX, cornerY) < radius * radius;
}

bool C2DMath::Intersects(const CVector& centre, float radius, const fRECT& r)
{
    return Intersects(centre, radius, r.left, r.top, r.right, r.bottom);
}

bool C2DMath::Intersects(const CVector& centre1, float radius1, const CVector& centre2, float radius2)
{
    float reach = radius1 + radius2;
    return DistanceSq(centre1.x, centre1.y, centre2.x, centre2.y) < reach * reach;
}

bool C2DMath::Intersects(const CVector& centre, float radius, const CVector& a, const CVector& b)
{
    if (Contains(centre, radius, a.x, a.y) || Contains(centre, radius, b.x, b.y))
        return true;
    // The foot of the perpendicular must lie strictly inside the segment. Measured along the
    // segment rather than in x, so that vertical segments are met in their middle too.
    float dx = b.x - a.x, dy = b.y - a.y;
    float lengthSq = dx * dx + dy * dy;
    if (lengthSq == 0.0f)
        return false;
    float t = ((centre.x - a.x) * dx + (centre.y - a.y) * dy) / lengthSq;
    if (t <= 0.0f || t >= 1.0f)
        return false;
    return Contains(centre, radius, a.x + t * dx, a.y + t * dy);
}

bool C2DMath::Intersects(const fRECT& a, const fRECT& b)
{
    return std::min(a.right, b.right) > std::max(a.left, b.left) &&
           std::min(a.bottom, b.bottom) > std::max(a.top, b.top);
}

bool C2DMath::Intersect(const fRECT& a, const fRECT& b, fRECT& out)
{
    if (!Intersects(a, b)) {
        out = fRECT{0.0f, 0.0f, 0.0f, 0.0f};
        return false;
    }
    out = fRECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return true;
}

bool C2DMath::Intersects(const fRECT& r, float x1, float y1, float x2, float y2)
{
    if (x1 == x2)
        return x1 > r.left && x1 < r.right && std::max(y1, y2) > r.top && std::min(y1, y2) < r.bottom;
    return y1 > r.top && y1 < r.bottom && std::max(x1, x2) > r.left && std::min(x1, x2) < r.right;
}

bool C2DMath::AreAdjacent(const fRECT& a, const fRECT& b)
{
    bool overlapY = std::min(a.bottom, b.bottom) > std::max(a.top, b.top);
    bool overlapX = std::min(a.right, b.right) > std::max(a.left, b.left);
    bool shareVertical = a.right == b.left || a.left == b.right;
    bool shareHorizontal = a.bottom == b.top || a.top == b.bottom;
    return (shareVertical && overlapY) || (shareHorizontal && overlapX);
}

void C2DMath::GetPerpendicularIntersection(const CVector& a, const CVector& b, const CVector& p, CVector& out)
{
    if (a.x == b.x) {
        out.Set(a.x, p.y, 0.0f);
        return;
    }
    float dx = b.x - a.x, dy = b.y - a.y;
    float t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
    out.Set(a.x + t * dx, a.y + t * dy, 0.0f);
}

void C2DMath::GetClosestCorner(const CVector& a, const CVector& b, const fRECT& r, CVector& out)
{
    const CVector corners[4] = {CVector(r.left, r.top, 0.0f), CVector(r.right, r.top, 0.0f),
                                CVector(r.right, r.bottom, 0.0f), CVector(r.left, r.bottom, 0.0f)};
    float best = 0.0f;
    for (int i = 0; i < 4; ++i) {
        CVector foot;
        GetPerpendicularIntersection(a, b, corners[i], foot);
        float d = DistanceSq(corners[i].x, corners[i].y, foot.x, foot.y);
        if (i == 0 || d < best) {
            best = d;
            out = corners[i];
        }
    }
}

void C2DMath::ClipToRect(CVector& point, const fRECT& r, float margin)
{
    point.x = std::min(std::max(point.x, r.left + margin), r.right - margin);
    point.y = std::min(std::max(point.y, r.top + margin), r.bottom - margin);
}

void C2DMath::CircleToRect(const CVector& centre, float radius, fRECT& out)
{
    out = fRECT{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius};
}

void C2DMath::InsetRect(fRECT& r, float amount)
{
    r.left += amount;
    r.top += amount;
    r.right -= amount;
    r.bottom -= amount;
}
