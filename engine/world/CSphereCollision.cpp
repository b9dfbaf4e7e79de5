#include "engine/world/CSphereCollision.h"

#include <cstddef>

#include "core/math/C2DMath.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/world/CollisionPlacement.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CSphereCollision) == sizeof(rhu::CSphereCollision),
              "CSphereCollision differs from the record header");
static_assert(offsetof(CSphereCollision, Offset) == offsetof(rhu::CSphereCollision, Offset), "CSphereCollision.Offset");
static_assert(offsetof(CSphereCollision, Radius) == offsetof(rhu::CSphereCollision, Radius), "CSphereCollision.Radius");
#pragma GCC diagnostic pop

using namespace CollisionPlacement;

ZEL_REGISTER_RECORD(CSphereCollision);

CSphereCollision::CSphereCollision() { CutDamagedChain(sizeof(CSphereCollision)); }

CVector CSphereCollision::GetCentre(const CRender* owner) const
{
    if (Offset.x == 0.0f)
        return OwnerPos(owner);
    return PlaceFully(Offset, owner);
}

float CSphereCollision::IsCollision(const CVector* a, const CVector* b, const CVector*, CRender* owner)
{
    return SegmentCircleFraction(*a, *b, GetCentre(owner), Radius, false);
}

bool CSphereCollision::IsCollision(const fRECT& rect, const CVector*, CRender* owner)
{
    CVector centre = GetCentre(owner);
    return !(centre.x + Radius < rect.left || centre.x - Radius > rect.right || centre.y + Radius < rect.top ||
             centre.y - Radius > rect.bottom);
}

bool CSphereCollision::IsCollision(const CVector* point, float radius, const CVector*, CRender* owner)
{
    float reach = radius + Radius;
    return (GetCentre(owner) - *point).GetLengthSq() < reach * reach;
}

void CSphereCollision::GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot)
{
    out = pos;
    if (Offset.x != 0.0f) {
        Yaw yaw(rot.z);
        out.x = pos.x + yaw.RotatedX(Offset.x, Offset.y);
        out.y = pos.y + yaw.RotatedY(Offset.x, Offset.y);
    }
}

// The bounds always take the full placement, even for a zero x offset.
void CSphereCollision::GrowBounds(CVector& min, CVector& max, CRender* owner)
{
    CVector centre = PlaceFully(Offset, owner);
    CVector reach(Radius, Radius, Radius);
    Grow(min, max, centre - reach);
    Grow(min, max, centre + reach);
}
