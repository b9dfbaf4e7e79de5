#pragma once
// A sphere about an offset from its owner, in the owner's frame.
#include "core/math/CVector.h"
#include "engine/world/CBaseCollision.h"

#pragma pack(push, 1)
class CSphereCollision : public CBaseCollision {
public:
    CSphereCollision();

    float IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner) override;
    bool IsCollision(const fRECT& rect, const CVector* pos, CRender* owner) override;
    bool IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner) override;
    void GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot) override;
    void GrowBounds(CVector& min, CVector& max, CRender* owner) override;

    // The centre the tests use: the owner's position itself when the offset's x is exactly 0.
    CVector GetCentre(const CRender* owner) const;
    float GetRadius() const { return Radius; }

    CVector Offset;
    float Radius;
};
#pragma pack(pop)
static_assert(sizeof(CSphereCollision) == 24, "CSphereCollision: header, Offset at 8, Radius at 20");
