#pragma once
// How collision shapes are placed by their owner: a render instance supplies a position and an
// Euler rotation whose z is the yaw. Shapes rotate by the yaw alone or take the full placement.
#include <cmath>

#include "core/math/CVector.h"

class CRender;

namespace CollisionPlacement {

// The owner's position, or the origin when it has none.
const CVector& OwnerPos(const CRender* owner);
// The owner's rotation, or no rotation when it has none.
const CVector& OwnerRot(const CRender* owner);
// pos when given, else the owner's position.
const CVector& PosOr(const CVector* pos, const CRender* owner);
// The offset under the owner's full placement matrix (rotation and translation).
CVector PlaceFully(const CVector& offset, const CRender* owner);
// The offset under the matrix of the owner's position and yaw alone.
CVector PlaceByYaw(const CVector& offset, const CRender* owner);

// A rotation about z by one angle, with its sine and cosine computed once.
struct Yaw {
    explicit Yaw(float angle) : s(std::sin(angle)), c(std::cos(angle)) {}
    float RotatedX(float x, float y) const { return x * c - y * s; }
    float RotatedY(float x, float y) const { return x * s + y * c; }
    // The inverse rotation, into the shape's local frame.
    float LocalX(float x, float y) const { return x * c + y * s; }
    float LocalY(float x, float y) const { return y * c - x * s; }

    float s, c;
};

inline Yaw OwnerYaw(const CRender* owner) { return Yaw(OwnerRot(owner).z); }

// Grows min and max to take in the point.
void Grow(CVector& min, CVector& max, const CVector& point);

// The first root in [0, 1] of |e + t d|² = r², where d = b - a and e = a - centre; the
// tangent root even outside [0, 1]; -1 when the line misses. Only x and y when flat.
float SegmentCircleFraction(const CVector& a, const CVector& b, const CVector& centre, float radius, bool flat);

} // namespace CollisionPlacement
