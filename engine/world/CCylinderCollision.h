#pragma once
// A vertical cylinder: its axis is offset from the owner and turns with the owner's yaw; its
// top and bottom are heights above the owner.
#include "core/math/CVector.h"
#include "engine/world/CBaseCollision.h"

#pragma pack(push, 1)
class CCylinderCollision : public CBaseCollision {
public:
    CCylinderCollision();

    float IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner) override;
    bool IsCollision(const fRECT& rect, const CVector* pos, CRender* owner) override;
    bool IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner) override;
    void GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot) override;
    void GrowBounds(CVector& min, CVector& max, CRender* owner) override;

    // Two cylinders overlap in height and their circles overlap.
    bool IsCollision(const CCylinderCollision& other, CRender* owner, CRender* otherOwner) const;
    // The axis in world x and y for an owner at pos turned by yaw.
    void GetAxis(const CVector& pos, float yaw, float& x, float& y) const;

    float X;
    float Y;
    float Top;
    float Bottom;
    float Radius;
};
#pragma pack(pop)
static_assert(sizeof(CCylinderCollision) == 28, "CCylinderCollision: header, X, Y, Top, Bottom, Radius");
