#include "engine/world/CSimpleVolCollision.h"

#include <cstddef>
#include <cstdio>
#include <initializer_list>

#include "core/math/C2DMath.h"
#include "core/output/ZOutput.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/world/CCylinderCollision.h"
#include "engine/world/CollisionPlacement.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CSimpleVolCollision) == sizeof(rhu::CSimpleVolCollision),
              "CSimpleVolCollision differs from the record header");
static_assert(sizeof(EndPoint) == sizeof(rhu::EndPoint), "EndPoint differs from the record header");
static_assert(sizeof(PlaneDef) == sizeof(rhu::PlaneDef), "PlaneDef differs from the record header");
static_assert(offsetof(CSimpleVolCollision, X) == offsetof(rhu::CSimpleVolCollision, X), "CSimpleVolCollision.X");
static_assert(offsetof(CSimpleVolCollision, Radius) == offsetof(rhu::CSimpleVolCollision, Radius),
              "CSimpleVolCollision.Radius");
static_assert(offsetof(CSimpleVolCollision, Top) == offsetof(rhu::CSimpleVolCollision, Top), "CSimpleVolCollision.Top");
static_assert(offsetof(CSimpleVolCollision, Bottom) == offsetof(rhu::CSimpleVolCollision, Bottom),
              "CSimpleVolCollision.Bottom");
static_assert(offsetof(CSimpleVolCollision, Count) == offsetof(rhu::CSimpleVolCollision, Count),
              "CSimpleVolCollision.Count");
static_assert(offsetof(CSimpleVolCollision, Points) == offsetof(rhu::CSimpleVolCollision, Points),
              "CSimpleVolCollision.Points");
static_assert(offsetof(EndPoint, Nx) == offsetof(rhu::EndPoint, Nx), "EndPoint.Nx");
#pragma GCC diagnostic pop

using namespace CollisionPlacement;

ZEL_REGISTER_RECORD(CSimpleVolCollision);

namespace {

// A vertex and its boundary normal in world x and y.
struct PlacedEdge {
    float x, y, nx, ny;
};

PlacedEdge PlaceEdge(const EndPoint& v, const CVector& pos, const Yaw& yaw)
{
    return PlacedEdge{pos.x + yaw.RotatedX(v.X, v.Y), pos.y + yaw.RotatedY(v.X, v.Y), yaw.RotatedX(v.Nx, v.Ny),
                      yaw.RotatedY(v.Nx, v.Ny)};
}

bool IsOutside(const PlacedEdge& edge, float x, float y)
{
    return (edge.x - x) * edge.nx + (edge.y - y) * edge.ny < 0.0f;
}

} // namespace

// A count that runs past the loaded data or past the most vertices any test reads is cut back,
// so that no test reads beyond the record.
CSimpleVolCollision::CSimpleVolCollision()
{
    unsigned long available = CZelFile::BytesAvailable(this);
    long fit = kMaxVertices;
    if (available != 0) {
        unsigned long room =
            available > sizeof(CSimpleVolCollision) ? (available - sizeof(CSimpleVolCollision)) / sizeof(EndPoint) : 0;
        if (room < (unsigned long)fit)
            fit = long(room);
    }
    if (Count < 0 || Count > fit) {
        char message[128];
        std::snprintf(message, sizeof message, "Collision volume with %ld vertices: kept %ld", long(Count),
                      Count < 0 ? 0L : fit);
        _puts(message);
        Count = Count < 0 ? 0 : fit;
    }
    CutDamagedChain(sizeof(CSimpleVolCollision) + sizeof(EndPoint) * GetVertexCount());
}

int CSimpleVolCollision::GetVertexCount() const
{
    if (Count < 0)
        return 0;
    return Count > kMaxVertices ? kMaxVertices : int(Count);
}

bool CSimpleVolCollision::IsOutsideSides(float x, float y, float margin) const
{
    int count = GetVertexCount();
    for (int i = 0; i < count; ++i) {
        const EndPoint& v = Points[i];
        if ((v.X - x) * v.Nx + (v.Y - y) * v.Ny < -margin)
            return true;
    }
    return false;
}

// Each boundary edge runs from the previous vertex to the current one, the first from the last.
float CSimpleVolCollision::IsCollision(const CVector* a, const CVector* b, const CVector*, CRender* owner)
{
    const CVector& pos = OwnerPos(owner);
    Yaw yaw = OwnerYaw(owner);
    float ax = yaw.LocalX(a->x - pos.x, a->y - pos.y);
    float ay = yaw.LocalY(a->x - pos.x, a->y - pos.y);
    float sx = yaw.LocalX(b->x - pos.x, b->y - pos.y) - ax;
    float sy = yaw.LocalY(b->x - pos.x, b->y - pos.y) - ay;
    int count = GetVertexCount();
    float nearest = -1.0f;
    for (int i = 0; i < count; ++i) {
        const EndPoint& previous = Points[i == 0 ? count - 1 : i - 1];
        const EndPoint& current = Points[i];
        float wx = ax - previous.X, wy = ay - previous.Y;
        float ex = current.X - previous.X, ey = current.Y - previous.Y;
        float den = sx * ey - sy * ex;
        if (den == 0.0f)
            continue;
        float t = (ex * wy - ey * wx) / den;
        float u = (sx * wy - sy * wx) / den;
        if (t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f && (nearest < 0.0f || t < nearest))
            nearest = t;
    }
    return nearest;
}

bool CSimpleVolCollision::IsCollision(const fRECT& rect, const CVector*, CRender* owner)
{
    const CVector& pos = OwnerPos(owner);
    Yaw yaw = OwnerYaw(owner);
    float width = rect.right - rect.left;
    float height = rect.bottom - rect.top;
    float cx = pos.x + yaw.RotatedX(X, Y) - rect.left;
    float cy = pos.y + yaw.RotatedY(X, Y) - rect.top;
    if (cx < -Radius || cx > width + Radius || cy < -Radius || cy > height + Radius)
        return false;
    const CVector corner(rect.left, rect.top, 0.0f);
    const float corners[4][2] = {{0.0f, 0.0f}, {0.0f, height}, {width, 0.0f}, {width, height}};
    int count = GetVertexCount();
    for (int i = 0; i < count; ++i) {
        PlacedEdge edge = PlaceEdge(Points[i], pos - corner, yaw);
        bool allOutside = true;
        for (const auto& c : corners)
            allOutside = allOutside && IsOutside(edge, c[0], c[1]);
        if (allOutside)
            return false;
    }
    return true;
}

bool CSimpleVolCollision::IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner)
{
    const CVector& where = PosOr(pos, owner);
    Yaw yaw = OwnerYaw(owner);
    float lx = yaw.LocalX(point->x - where.x, point->y - where.y);
    float ly = yaw.LocalY(point->x - where.x, point->y - where.y);
    float dx = X - lx, dy = Y - ly;
    float reach = radius + Radius;
    if (dx * dx + dy * dy > reach * reach)
        return false;
    if (IsOutsideSides(lx, ly, radius))
        return false;
    float dz = point->z - where.z;
    return !(dz - radius > Top.At(lx, ly) || dz + radius < Bottom.At(lx, ly));
}

bool CSimpleVolCollision::IsCollision(const CSimpleVolCollision& other, CRender* owner, CRender* otherOwner) const
{
    const CVector& pos = OwnerPos(owner);
    const CVector& otherPos = OwnerPos(otherOwner);
    Yaw yaw = OwnerYaw(owner);
    Yaw otherYaw = OwnerYaw(otherOwner);
    float dx = pos.x + yaw.RotatedX(X, Y) - (otherPos.x + otherYaw.RotatedX(other.X, other.Y));
    float dy = pos.y + yaw.RotatedY(X, Y) - (otherPos.y + otherYaw.RotatedY(other.X, other.Y));
    float reach = Radius + other.Radius;
    if (dx * dx + dy * dy > reach * reach)
        return false;
    PlacedEdge mine[kMaxVertices];
    int count = GetVertexCount();
    for (int i = 0; i < count; ++i)
        mine[i] = PlaceEdge(Points[i], pos, yaw);
    int otherCount = other.GetVertexCount();
    for (int j = 0; j < otherCount; ++j) {
        PlacedEdge line = PlaceEdge(other.Points[j], otherPos, otherYaw);
        bool allOutside = true;
        for (int i = 0; i < count && allOutside; ++i)
            allOutside = IsOutside(line, mine[i].x, mine[i].y);
        if (allOutside)
            return false;
    }
    return true;
}

bool CSimpleVolCollision::IsCollision(const CCylinderCollision& cylinder, CRender* owner, CRender* cylinderOwner) const
{
    const CVector& cylinderPos = OwnerPos(cylinderOwner);
    float cx = cylinderPos.x, cy = cylinderPos.y;
    if (cylinder.X != 0.0f)
        cylinder.GetAxis(cylinderPos, OwnerRot(cylinderOwner).z, cx, cy);
    const CVector& pos = OwnerPos(owner);
    Yaw yaw = OwnerYaw(owner);
    float lx = yaw.LocalX(cx - pos.x, cy - pos.y);
    float ly = yaw.LocalY(cx - pos.x, cy - pos.y);
    if (IsOutsideSides(lx, ly, cylinder.Radius))
        return false;
    float dz = cylinderPos.z - pos.z;
    return !(dz + cylinder.Bottom > Top.At(lx, ly) || dz + cylinder.Top < Bottom.At(lx, ly));
}

void CSimpleVolCollision::GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot)
{
    out = pos;
    if (X != 0.0f) {
        Yaw yaw(rot.z);
        out.x = pos.x + yaw.RotatedX(X, Y);
        out.y = pos.y + yaw.RotatedY(X, Y);
    }
}

void CSimpleVolCollision::GrowBounds(CVector& min, CVector& max, CRender* owner)
{
    int count = GetVertexCount();
    if (count > kBoundsVertices)
        count = kBoundsVertices;
    for (int i = 0; i < count; ++i) {
        const EndPoint& v = Points[i];
        for (const PlaneDef* plane : {&Top, &Bottom})
            Grow(min, max, PlaceByYaw(CVector(v.X, v.Y, plane->At(v.X, v.Y)), owner));
    }
}
