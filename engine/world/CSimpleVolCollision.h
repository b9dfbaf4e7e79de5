#pragma once
// A convex prism: a polygon in the ground plane, turned by the owner's yaw, with a sloped top
// and bottom plane. The polygon's vertices follow the record, each with the outward normal of
// the boundary line through it.
#include "core/math/CVector.h"
#include "engine/world/CBaseCollision.h"

class CCylinderCollision;

#pragma pack(push, 1)
// z = Height + DeltaX x + DeltaY y, in the volume's local frame.
struct PlaneDef {
    float Height;
    float DeltaX;
    float DeltaY;

    float At(float x, float y) const { return Height + DeltaX * x + DeltaY * y; }
};
static_assert(sizeof(PlaneDef) == 12, "PlaneDef: three floats");

struct EndPoint {
    float X;
    float Y;
    float Nx;
    float Ny;
};
static_assert(sizeof(EndPoint) == 16, "EndPoint: point and normal");

class CSimpleVolCollision : public CBaseCollision {
public:
    // The most vertices any test reads; the pair test copies this many at most.
    static const int kMaxVertices = 24;
    // The bounds take in only the first vertices.
    static const int kBoundsVertices = 9;

    CSimpleVolCollision();

    float IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner) override;
    bool IsCollision(const fRECT& rect, const CVector* pos, CRender* owner) override;
    bool IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner) override;
    void GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot) override;
    void GrowBounds(CVector& min, CVector& max, CRender* owner) override;

    // Only other's boundary lines are tried as separating lines; heights are not compared.
    bool IsCollision(const CSimpleVolCollision& other, CRender* owner, CRender* otherOwner) const;
    bool IsCollision(const CCylinderCollision& cylinder, CRender* owner, CRender* cylinderOwner) const;

    // The stored count, kept within 0 and kMaxVertices so that no test reads past the record.
    int GetVertexCount() const;
    const EndPoint& GetVertex(int i) const { return Points[i]; }

    float X; // centre of the bounding circle
    float Y;
    float Radius;
    PlaneDef Top;
    PlaneDef Bottom;
    signed long Count;
    EndPoint Points[0];

private:
    // Whether the local point lies outside some boundary line by more than margin.
    bool IsOutsideSides(float x, float y, float margin) const;
};
#pragma pack(pop)
static_assert(sizeof(CSimpleVolCollision) == 48, "CSimpleVolCollision: vertices follow at 48");
