#include "engine/world/CollisionPlacement.h"

#include "core/math/CMatrix.h"
#include "engine/render/CRender.h"

namespace CollisionPlacement {

const CVector& OwnerPos(const CRender* owner)
{
    const CVector* pos = owner ? owner->GetPos() : nullptr;
    return pos ? *pos : NullVector;
}

const CVector& OwnerRot(const CRender* owner)
{
    const CVector* rot = owner ? owner->GetRot() : nullptr;
    return rot ? *rot : NullVector;
}

const CVector& PosOr(const CVector* pos, const CRender* owner) { return pos ? *pos : OwnerPos(owner); }

namespace {
CVector Place(const CVector& offset, const CVector& position, const CVector& angles)
{
    CMatrix placement;
    placement.SetEuler_XYZS(position, angles);
    CVector4 placed;
    placed.Mult(offset, placement);
    return CVector(placed.x, placed.y, placed.z);
}
} // namespace

CVector PlaceFully(const CVector& offset, const CRender* owner)
{
    return Place(offset, OwnerPos(owner), OwnerRot(owner));
}

CVector PlaceByYaw(const CVector& offset, const CRender* owner)
{
    return Place(offset, OwnerPos(owner), CVector(0.0f, 0.0f, OwnerRot(owner).z));
}

void Grow(CVector& min, CVector& max, const CVector& point)
{
    if (point.x < min.x)
        min.x = point.x;
    if (point.y < min.y)
        min.y = point.y;
    if (point.z < min.z)
        min.z = point.z;
    if (point.x > max.x)
        max.x = point.x;
    if (point.y > max.y)
        max.y = point.y;
    if (point.z > max.z)
        max.z = point.z;
}

float SegmentCircleFraction(const CVector& a, const CVector& b, const CVector& centre, float radius, bool flat)
{
    CVector e = a - centre;
    CVector d = b - a;
    if (flat)
        e.z = d.z = 0.0f;
    float qa = d.Dot(d);
    float qb = 2.0f * e.Dot(d);
    float qc = e.Dot(e) - radius * radius;
    float discriminant = qb * qb - 4.0f * qa * qc;
    if (discriminant < 0.0f || qa == 0.0f)
        return -1.0f;
    if (discriminant == 0.0f)
        return -qb / (2.0f * qa);
    float root = std::sqrt(discriminant);
    float t1 = (root - qb) / (2.0f * qa);
    float t2 = (-qb - root) / (2.0f * qa);
    bool t1Inside = t1 >= 0.0f && t1 <= 1.0f;
    bool t2Inside = t2 >= 0.0f && t2 <= 1.0f;
    if (t1Inside && (!t2Inside || t1 < t2))
        return t1;
    if (t2Inside)
        return t2;
    return -1.0f;
}

} // namespace CollisionPlacement
