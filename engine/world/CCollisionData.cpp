#include "engine/world/CCollisionData.h"

#include <cstddef>

#include "core/math/C2DMath.h"
#include "engine/render/CRender.h"
#include "engine/world/CCylinderCollision.h"
#include "engine/world/CSimpleVolCollision.h"
#include "engine/world/CSphereCollision.h"
#include "engine/world/CollisionPlacement.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CCollisionData) == sizeof(rhu::CCollisionData), "CCollisionData differs from the record header");
static_assert(offsetof(CCollisionData, PlotY) == offsetof(rhu::CCollisionData, PlotY), "CCollisionData.PlotY");
static_assert(offsetof(CCollisionData, Flags) == offsetof(rhu::CCollisionData, Flags), "CCollisionData.Flags");
static_assert(offsetof(CCollisionData, CollArray) == offsetof(rhu::CCollisionData, CollArray),
              "CCollisionData.CollArray");
#pragma GCC diagnostic pop

using namespace CollisionPlacement;

CVector CCollisionData::LastMine(0.0f, 0.0f, 0.0f);
CVector CCollisionData::LastTheirs(0.0f, 0.0f, 0.0f);

namespace {
const float kLargest = 3.4028235e38f;
// Any other pair of kinds tests the first shape against a small sphere at the other owner.
const float kFallbackRadius = 0.5f;
} // namespace

CCollisionData::CCollisionData(const CCollisionData& other) : PlotX(other.PlotX), PlotY(other.PlotY), Flags(other.Flags)
{
}

CCollisionData& CCollisionData::operator=(const CCollisionData& other)
{
    PlotX = other.PlotX;
    PlotY = other.PlotY;
    Flags = other.Flags;
    return *this;
}

bool CCollisionData::IsCollision(CCollisionData* other, CRender* otherOwner, CRender* owner)
{
    for (CBaseCollision* mine = GetFirstShape(); mine; mine = mine->GetNext())
        for (CBaseCollision* theirs = other->GetFirstShape(); theirs; theirs = theirs->GetNext())
            if (IsShapePairCollision(mine, theirs, owner, otherOwner))
                return true;
    return false;
}

// Dispatches on the pair of kinds; a hit of a known pair is recorded with both placements.
bool CCollisionData::IsShapePairCollision(CBaseCollision* mine, CBaseCollision* theirs, CRender* owner,
                                          CRender* otherOwner)
{
    const int volume = CBaseCollision::COLLISION_SIMPLEVOLUME;
    const int cylinder = CBaseCollision::COLLISION_CYLINDER;
    const int sphere = CBaseCollision::COLLISION_SPHERE;
    const CVector& pos = OwnerPos(owner);
    const CVector& otherPos = OwnerPos(otherOwner);
    int myType = mine->GetType();
    int theirType = theirs->GetType();
    bool hit;
    if (myType == volume && theirType == volume)
        hit = static_cast<CSimpleVolCollision*>(mine)->IsCollision(*static_cast<CSimpleVolCollision*>(theirs), owner,
                                                                   otherOwner);
    else if (myType == volume && theirType == cylinder)
        hit = static_cast<CSimpleVolCollision*>(mine)->IsCollision(*static_cast<CCylinderCollision*>(theirs), owner,
                                                                   otherOwner);
    else if (myType == cylinder && theirType == volume)
        hit = static_cast<CSimpleVolCollision*>(theirs)->IsCollision(*static_cast<CCylinderCollision*>(mine),
                                                                     otherOwner, owner);
    else if (myType == cylinder && theirType == cylinder)
        hit = static_cast<CCylinderCollision*>(mine)->IsCollision(*static_cast<CCylinderCollision*>(theirs), owner,
                                                                  otherOwner);
    else if ((myType == volume || myType == cylinder) && theirType == sphere) {
        CSphereCollision* ball = static_cast<CSphereCollision*>(theirs);
        CVector centre = ball->GetCentre(otherOwner);
        hit = mine->IsCollision(&centre, ball->GetRadius(), &pos, owner);
    } else if (myType == sphere && theirType <= sphere) {
        CSphereCollision* ball = static_cast<CSphereCollision*>(mine);
        CVector centre = ball->GetCentre(owner);
        hit = theirs->IsCollision(&centre, ball->GetRadius(), &otherPos, otherOwner);
    } else {
        return mine->IsCollision(&otherPos, kFallbackRadius, &pos, owner);
    }
    if (hit)
        RecordHit(mine, pos, OwnerRot(owner), theirs, otherPos, OwnerRot(otherOwner));
    return hit;
}

// The points are worked out at once: the shapes may belong to a file unloaded before anyone asks.
void CCollisionData::RecordHit(CBaseCollision* mine, const CVector& minePos, const CVector& mineRot,
                               CBaseCollision* theirs, const CVector& theirPos, const CVector& theirRot)
{
    mine->GetCollisionPoint(LastMine, minePos, mineRot);
    theirs->GetCollisionPoint(LastTheirs, theirPos, theirRot);
}

void CCollisionData::RecordPointHit(CBaseCollision* mine, const CVector& pos, const CVector& rot, const CVector& point)
{
    mine->GetCollisionPoint(LastMine, pos, rot);
    LastTheirs = point;
}

void CCollisionData::LastCollisionPoints(CVector& mine, CVector& theirs)
{
    mine = LastMine;
    theirs = LastTheirs;
}

bool CCollisionData::IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner)
{
    for (CBaseCollision* shape = GetFirstShape(); shape; shape = shape->GetNext())
        if (shape->IsCollision(point, radius, pos, owner)) {
            RecordPointHit(shape, PosOr(pos, owner), OwnerRot(owner), *point);
            return true;
        }
    return false;
}

bool CCollisionData::IsCollision(const fRECT& rect, const CVector* pos, CRender* owner)
{
    for (CBaseCollision* shape = GetFirstShape(); shape; shape = shape->GetNext())
        if (shape->IsCollision(rect, pos, owner))
            return true;
    return false;
}

float CCollisionData::IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner)
{
    float nearest = 2.0f;
    for (CBaseCollision* shape = GetFirstShape(); shape; shape = shape->GetNext()) {
        float fraction = shape->IsCollision(a, b, pos, owner);
        if (fraction >= 0.0f && fraction < nearest)
            nearest = fraction;
    }
    return nearest > 1.0f ? -1.0f : nearest;
}

float CCollisionData::GetPlottingRadius(CVector* offset, CRender* owner)
{
    if (offset) {
        const CVector* rot = owner ? owner->GetRot() : nullptr;
        if (PlotX != 0.0f && rot) {
            Yaw yaw(rot->z);
            offset->Set(yaw.RotatedX(PlotX, PlotY), yaw.RotatedY(PlotX, PlotY), 0.0f);
        } else {
            *offset = NullVector;
        }
    }
    return PlotRadius;
}

void CCollisionData::GetBounds(CVector& min, CVector& max, CRender* owner)
{
    min.Set(kLargest, kLargest, kLargest);
    max.Set(-kLargest, -kLargest, -kLargest);
    for (CBaseCollision* shape = GetFirstShape(); shape; shape = shape->GetNext())
        shape->GrowBounds(min, max, owner);
}

bool CCollisionData::IsCollisionSimple() const
{
    const CBaseCollision* shape = GetFirstShape();
    return shape->GetNext() == nullptr && shape->GetType() != CBaseCollision::COLLISION_SIMPLEVOLUME && PlotX == 0.0f;
}

bool CCollisionData::IsCollision(const CVector* min1, const CVector* max1, const CVector* centre, float radius)
{
    return !(centre->x + radius < min1->x || centre->x - radius > max1->x || centre->y + radius < min1->y ||
             centre->y - radius > max1->y || centre->z + radius < min1->z || centre->z - radius > max1->z);
}

bool CCollisionData::IsCollision(const CVector* min1, const CVector* max1, const CVector* min2, const CVector* max2)
{
    return !(min1->x > max2->x || max1->x < min2->x || min1->y > max2->y || max1->y < min2->y || min1->z > max2->z ||
             max1->z < min2->z);
}
