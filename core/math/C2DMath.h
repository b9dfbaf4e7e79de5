#pragma once
// Rectangles, circles and segments in the ground plane: every test uses x and y only.
#include "core/math/CVector.h"

struct fRECT {
    float left;   // x minimum
    float top;    // y minimum
    float right;  // x maximum
    float bottom; // y maximum
};

class C2DMath {
public:
    // The circle lies inside the rectangle, edges included.
    static bool Contains(float left, float top, float right, float bottom, const CVector& point, float radius);
    static bool Contains(const fRECT& rect, const CVector& point, float radius);
    // (x, y) lies in the circle, edge included.
    static bool Contains(const CVector& point, float radius, float x, float y);
    static bool Contains(const fRECT& rect, float x, float y);
    static bool Contains(const fRECT& rect, const CVector& point);
    static bool Contains(const fRECT& outer, const fRECT& inner);

    static bool Intersects(const CVector& centre, float radius, float left, float top, float right, float bottom);
    static bool Intersects(const CVector& centre, float radius, const fRECT& rect);
    // Centres closer than the sum of the radii.
    static bool Intersects(const CVector& centre1, float radius1, const CVector& centre2, float radius2);
    // The circle meets the segment a-b.
    static bool Intersects(const CVector& centre, float radius, const CVector& a, const CVector& b);
    // The overlap has positive width and height.
    static bool Intersects(const fRECT& a, const fRECT& b);
    // out = the overlap; false with out all 0 when it is empty.
    static bool Intersect(const fRECT& a, const fRECT& b, fRECT& out);
    // An axis-parallel segment (vertical when x1 = x2) crosses the rectangle's interior.
    static bool Intersects(const fRECT& rect, float x1, float y1, float x2, float y2);
    // The rectangles share an edge line over an overlapping span.
    static bool AreAdjacent(const fRECT& a, const fRECT& b);

    static void GetPerpendicularIntersection(const CVector& a, const CVector& b, const CVector& p, CVector& out);
    static void GetClosestCorner(const CVector& a, const CVector& b, const fRECT& rect, CVector& out);
    static void ClipToRect(CVector& point, const fRECT& rect, float margin);
    static void CircleToRect(const CVector& centre, float radius, fRECT& out);
    static void InsetRect(fRECT& rect, float amount);
};
