#include "engine/world/CCylinderCollision.h"

#include <cstddef>
#include <initializer_list>

#include "core/math/C2DMath.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/world/CollisionPlacement.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CCylinderCollision) == sizeof(rhu::CCylinderCollision),
              "CCylinderCollision differs from the record header");
static_assert(offsetof(CCylinderCollision, X) == offsetof(rhu::CCylinderCollision, X), "CCylinderCollision.X");
static_assert(offsetof(CCylinderCollision, Top) == offsetof(rhu::CCylinderCollision, Top), "CCylinderCollision.Top");
static_assert(offsetof(CCylinderCollision, Bottom) == offsetof(rhu::CCylinderCollision, Bottom),
              "CCylinderCollision.Bottom");
static_assert(offsetof(CCylinderCollision, Radius) == offsetof(rhu::CCylinderCollision, Radius),
              "CCylinderCollision.Radius");
#pragma GCC diagnostic pop

using namespace CollisionPlacement;

ZEL_REGISTER_RECORD(CCylinderCollision);

CCylinderCollision::CCylinderCollision() { CutDamagedChain(sizeof(CCylinderCollision)); }

void CCylinderCollision::GetAxis(const CVector& pos, float yaw, float& x, float& y) const
{
    Yaw turn(yaw);
    x = pos.x + turn.RotatedX(X, Y);
    y = pos.y + turn.RotatedY(X, Y);
}

float CCylinderCollision::IsCollision(const CVector* a, const CVector* b, const CVector*, CRender* owner)
{
    const CVector& pos = OwnerPos(owner);
    CVector centre(0.0f, 0.0f, 0.0f);
    GetAxis(pos, OwnerRot(owner).z, centre.x, centre.y);
    return SegmentCircleFraction(*a, *b, centre, Radius, true);
}

// The offset turns with the owner as in every other test: the section grid marks the sections
// the cylinder really stands in.
bool CCylinderCollision::IsCollision(const fRECT& rect, const CVector* pos, CRender* owner)
{
    const CVector& where = PosOr(pos, owner);
    float x, y;
    GetAxis(where, OwnerRot(owner).z, x, y);
    return !(x + Radius < rect.left || x - Radius > rect.right || y + Radius < rect.top || y - Radius > rect.bottom);
}

bool CCylinderCollision::IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner)
{
    const CVector& where = PosOr(pos, owner);
    if (where.z + Bottom > point->z + radius || where.z + Top < point->z - radius)
        return false;
    float x, y;
    GetAxis(where, OwnerRot(owner).z, x, y);
    float dx = x - point->x;
    float dy = y - point->y;
    float reach = radius + Radius;
    return dx * dx + dy * dy < reach * reach;
}

bool CCylinderCollision::IsCollision(const CCylinderCollision& other, CRender* owner, CRender* otherOwner) const
{
    const CVector& pos = OwnerPos(owner);
    const CVector& otherPos = OwnerPos(otherOwner);
    if (Bottom + pos.z > other.Top + otherPos.z || pos.z + Top < otherPos.z + other.Bottom)
        return false;
    float x, y, otherX, otherY;
    GetAxis(pos, OwnerRot(owner).z, x, y);
    other.GetAxis(otherPos, OwnerRot(otherOwner).z, otherX, otherY);
    float dx = x - otherX;
    float dy = y - otherY;
    float reach = Radius + other.Radius;
    return dx * dx + dy * dy < reach * reach;
}

void CCylinderCollision::GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot)
{
    out = pos;
    if (X != 0.0f)
        GetAxis(pos, rot.z, out.x, out.y);
}

void CCylinderCollision::GrowBounds(CVector& min, CVector& max, CRender* owner)
{
    for (float height : {Top, Bottom}) {
        CVector face = PlaceByYaw(CVector(X, Y, height), owner);
        Grow(min, max, CVector(face.x - Radius, face.y - Radius, face.z));
        Grow(min, max, CVector(face.x + Radius, face.y + Radius, face.z));
    }
}
