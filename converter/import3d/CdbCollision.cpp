#include "converter/import3d/CdbCollision.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/RecordOut.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

const float UnsetCorner = -1.0e38f;

// A centre within 5% of the radius of the origin is the origin; an X of exactly 0 is written
// as 1.0e-30.
void Snap(CollPoint& c, float radius, bool threeD)
{
    const float length = std::sqrt(c.X * c.X + c.Y * c.Y + (threeD ? c.Z * c.Z : 0.0f));
    if (length == 0.0f || (radius > 0.0f && length / radius < 0.05f)) {
        c.X = c.Y = 0.0f;
        if (threeD)
            c.Z = 0.0f;
    } else if (c.X == 0.0f) {
        c.X = 1.0e-30f;
    }
}

CollPoint Mean(const std::vector<CollPoint>& points)
{
    CollPoint sum = {0.0f, 0.0f, 0.0f};
    for (const CollPoint& p : points)
        sum.X += p.X, sum.Y += p.Y, sum.Z += p.Z;
    const float n = points.empty() ? 1.0f : static_cast<float>(points.size());
    return {sum.X * (1.0f / n), sum.Y * (1.0f / n), sum.Z * (1.0f / n)};
}

bool Same(const CollPoint& a, const CollPoint& b) { return a.X == b.X && a.Y == b.Y && a.Z == b.Z; }

} // namespace

int CCollisionPrim::AccumulatePoints(CollPoint& sum)
{
    for (const CollPoint& p : Points)
        sum.X += p.X, sum.Y += p.Y, sum.Z += p.Z;
    return static_cast<int>(Points.size());
}

float CCollisionPrim::GetPlotRadius(const CollPoint& center)
{
    float radius = 0.0f;
    for (const CollPoint& p : Points) {
        const float dx = p.X - center.X, dy = p.Y - center.Y;
        radius = std::max(radius, std::sqrt(dx * dx + dy * dy));
    }
    return radius;
}

void CrhuCylinderCollision::Dump(CZelWriter& writer, bool last)
{
    CollPoint centre = Mean(Points);
    float top = -1.0e36f, bottom = 1.0e36f, radius = 0.0f;
    for (const CollPoint& p : Points) {
        top = std::max(top, p.Z);
        bottom = std::min(bottom, p.Z);
        const float dx = p.X - centre.X, dy = p.Y - centre.Y;
        radius = std::max(radius, std::sqrt(dx * dx + dy * dy));
    }
    Snap(centre, radius, false);
    VerbosePrintf(4, "Cylindrical Collision: Center = %g,%g, Top=%g,Bottom=%g,Rad=%g\n", centre.X, centre.Y, top,
                  bottom, radius);
    RecordOut record(writer, "CCylinderCollision", nullptr, false);
    record.Unsigned("Type", Constant("COLLISION_CYLINDER"), "unsigned char");
    record.Unsigned("Size", last ? 0 : record.Size(), "unsigned short");
    record.Float("X", centre.X);
    record.Float("Y", centre.Y);
    record.Float("Top", top);
    record.Float("Bottom", bottom);
    record.Float("Radius", radius);
}

void CrhuSphereCollision::Dump(CZelWriter& writer, bool last)
{
    CollPoint centre = Mean(Points);
    float radius = 0.0f;
    for (const CollPoint& p : Points) {
        const float dx = p.X - centre.X, dy = p.Y - centre.Y, dz = p.Z - centre.Z;
        radius = std::max(radius, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    Snap(centre, radius, true);
    VerbosePrintf(4, "Spherical Collision: Center = %g,%g,%g,Rad=%g\n", centre.X, centre.Y, centre.Z, radius);
    RecordOut record(writer, "CSphereCollision", nullptr, false);
    record.Unsigned("Type", Constant("COLLISION_SPHERE"), "unsigned char");
    record.Unsigned("Size", last ? 0 : record.Size(), "unsigned short");
    record.Float("Offset.X", centre.X);
    record.Float("Offset.Y", centre.Y);
    record.Float("Offset.Z", centre.Z);
    record.Float("Radius", radius);
}

void CVolCollision::AddSide(const CollPoint& a, const CollPoint& b)
{
    Sides.push_back({{a.X, a.Y, 0.0f}, {b.X, b.Y, 0.0f}});
}

void CVolCollision::SetPlane(const CollPoint& point, float deltaX, float deltaY)
{
    Plane& slot = Planes[0].Z == -1.0e38f ? Planes[0] : Planes[1];
    slot.X = point.X, slot.Y = point.Y, slot.Z = point.Z;
    slot.DeltaX = deltaX, slot.DeltaY = deltaY;
}

void CVolCollision::BuildLoop()
{
    if (Sides.empty())
        vbail("\nError: No sides on the collision poly");
    std::vector<VectorPair> sides = Sides;
    Points.push_back(sides[0].Start);
    Points.push_back(sides[0].End);
    VerbosePrintf(4, "\t%g,%g\n\t%g,%g\n", sides[0].Start.X, sides[0].Start.Y, sides[0].End.X, sides[0].End.Y);
    CollPoint current = sides[0].End;
    size_t used = 0;
    for (;;) {
        sides.erase(sides.begin() + static_cast<long>(used));
        if (sides.size() <= 1)
            break;
        size_t found = sides.size();
        for (size_t i = 0; i < sides.size(); ++i) {
            if (Same(sides[i].Start, current)) {
                current = sides[i].End;
                found = i;
                break;
            }
            if (Same(sides[i].End, current)) {
                current = sides[i].Start;
                found = i;
                break;
            }
        }
        if (found == sides.size())
            vbail("\nError: Cannot optimize collision polygon sides.");
        Points.push_back(current);
        VerbosePrintf(4, "\t%g,%g\n", current.X, current.Y);
        used = found;
    }
    if (Sides.size() == 1)
        vbail("\nError: Cannot optimize collision polygon sides.");
    if (Points.size() < 3)
        vbail("\nError: Cannot have a collision volume with less than 3 sides...\n(it's gotta be a volume)");
    const CollPoint &p0 = Points[0], &p1 = Points[1], &p2 = Points[2];
    const float c = (p1.X - p0.X) * (p1.Y - p2.Y) - (p1.Y - p0.Y) * (p1.X - p2.X);
    if (!(c < 0.0f))
        std::reverse(Points.begin(), Points.end());
}

int CVolCollision::AccumulatePoints(CollPoint& sum)
{
    if (Points.empty())
        BuildLoop();
    return CCollisionPrim::AccumulatePoints(sum);
}

void CVolCollision::Dump(CZelWriter& writer, bool last)
{
    VerbosePrintf(3, "CVolCollision::Dump()\n");
    if (Points.empty())
        vbail("CVolCollision::Dump - call GetPlotRadius first!");
    const bool firstOnTop = Planes[0].Z >= Planes[1].Z;
    const Plane& top = firstOnTop ? Planes[0] : Planes[1];
    const Plane& bottom = firstOnTop ? Planes[1] : Planes[0];
    CollPoint sum = {0.0f, 0.0f, 0.0f};
    const int n = AccumulatePoints(sum);
    CollPoint centre = {sum.X * (1.0f / n), sum.Y * (1.0f / n), sum.Z * (1.0f / n)};
    const float radius = GetPlotRadius(centre);
    Snap(centre, radius, false);
    const unsigned long endPointSize = TypeSize("EndPoint");
    {
        RecordOut record(writer, "CSimpleVolCollision", nullptr, false);
        record.Unsigned("Type", Constant("COLLISION_SIMPLEVOLUME"), "unsigned char");
        record.Unsigned("Size", last ? 0 : (n + 1) * endPointSize + record.Size(), "unsigned short");
        record.Float("X", centre.X);
        record.Float("Y", centre.Y);
        record.Float("Radius", radius);
        record.Float("Top.Height", top.Z);
        record.Float("Top.DeltaX", top.DeltaX);
        record.Float("Top.DeltaY", top.DeltaY);
        record.Float("Bottom.Height", bottom.Z);
        record.Float("Bottom.DeltaX", bottom.DeltaX);
        record.Float("Bottom.DeltaY", bottom.DeltaY);
        record.Signed("Count", n);
    }
    Points.push_back(Points[0]);
    for (int i = 0; i < n; ++i) {
        const CollPoint &p = Points[i], &q = Points[i + 1];
        float nx = q.Y - p.Y, ny = p.X - q.X;
        const float length = std::sqrt(nx * nx + ny * ny);
        if (length > 0.0f)
            nx /= length, ny /= length;
        RecordOut point(writer, "EndPoint", nullptr, false);
        point.Float("X", p.X);
        point.Float("Y", p.Y);
        point.Float("Nx", nx);
        point.Float("Ny", ny);
    }
    RecordOut closing(writer, "EndPoint", nullptr, false);
    closing.Float("X", Points[0].X);
    closing.Float("Y", Points[0].Y);
    closing.Float("Nx", 0.0f);
    closing.Float("Ny", 0.0f);
}

CdbCollision::CdbCollision(const char* label, CDatabase* database, unsigned long type)
    : CdbElement(label, database), Type(type)
{
}

CdbCollision::~CdbCollision()
{
    for (size_t i = Primitives.size(); i-- > 0;)
        delete Primitives[i];
}

void CdbCollision::Dump(CZelWriter& writer)
{
    CollPoint sum = {0.0f, 0.0f, 0.0f};
    int n = 0;
    for (CCollisionPrim* prim : Primitives)
        n += prim->AccumulatePoints(sum);
    CollPoint centroid = {0.0f, 0.0f, 0.0f};
    if (n > 0)
        centroid = {sum.X * (1.0f / n), sum.Y * (1.0f / n), sum.Z * (1.0f / n)};
    float radius = 0.0f;
    for (CCollisionPrim* prim : Primitives)
        radius = std::max(radius, prim->GetPlotRadius(centroid));
    Snap(centroid, radius, false);
    static const char* const flagNames[5] = {"COLLISIONDATA_PLOT", "COLLISIONDATA_COLLIDE", "COLLISIONDATA_LOCALPATH",
                                             "COLLISIONDATA_GLOBALPATH", "COLLISIONDATA_SPECIAL"};
    unsigned int bits;
    memcpy(&bits, &radius, sizeof bits);
    for (int b = 0; b < 5; ++b) {
        const unsigned int flag = static_cast<unsigned int>(Constant(flagNames[b]));
        bits = Type & (1u << b) ? bits | flag : bits & ~flag;
    }
    float plotRadius;
    memcpy(&plotRadius, &bits, sizeof plotRadius);
    {
        RecordOut record(writer, "CCollisionData", GetLabel(), false);
        record.Float("PlotX", centroid.X);
        record.Float("PlotY", centroid.Y);
        record.Float("PlotRadius", plotRadius);
    }
    for (size_t i = 0; i < Primitives.size(); ++i)
        Primitives[i]->Dump(writer, i + 1 == Primitives.size());
}

void CGeometry::CalculateCollision(unsigned long type)
{
    CdbCollision* collision = new CdbCollision(Name.c_str(), Database, type);
    if (!Mesh)
        return;
    for (const CMaterial* material : Mesh->Materials) {
        std::string upper = material->Name;
        for (char& c : upper)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        VerbosePrintf(4, "CalculateCollision, material:%s\n", upper.c_str());
        CCollisionPrim* prim = nullptr;
        for (size_t p = 0; p < Polys.size(); ++p) {
            const CPoly& poly = *Polys[p];
            if (poly.Surface != material->Name)
                continue;
            if (!prim) {
                if (upper.compare(0, 8, "CYLINDER") == 0)
                    prim = new CrhuCylinderCollision();
                else if (upper.compare(0, 6, "SPHERE") == 0)
                    prim = new CrhuSphereCollision();
                else
                    prim = new CVolCollision();
                collision->Primitives.push_back(prim);
            }
            if (!dynamic_cast<CVolCollision*>(prim)) {
                for (int v : poly.Verts) {
                    const CVertex& vertex = *Verts.Verts[v];
                    const CollPoint point = {vertex.X + Pivot[0], vertex.Y + Pivot[1], vertex.Z + Pivot[2]};
                    prim->AddPoint(point);
                    VerbosePrintf(4, "\tCollpoint: %g, %g, %g\n", point.X, point.Y, point.Z);
                }
                continue;
            }
            const float* n = poly.Normal;
            if (n[2] > -0.05f && n[2] < 0.05f) {
                if (VerboseLevel >= 4) {
                    VerbosePrintf(4, "Found a Sidewall\n");
                    PrintPoly(static_cast<int>(p));
                }
                if (poly.Verts.size() != 4)
                    vbail("\nError: Collision builder found a sidewall that didn't have 4 verts.\n");
                CollPoint a = {UnsetCorner, UnsetCorner, 0.0f}, b = a;
                for (int v : poly.Verts) {
                    const CVertex& vertex = *Verts.Verts[v];
                    if (vertex.X != a.X) {
                        if (a.X == UnsetCorner)
                            a.X = vertex.X;
                        else if (b.X == UnsetCorner && b.X != vertex.X)
                            b.X = vertex.X;
                    }
                    if (vertex.Y != a.Y) {
                        if (a.Y == UnsetCorner)
                            a.Y = vertex.Y;
                        else if (b.Y == UnsetCorner && b.Y != vertex.Y)
                            b.Y = vertex.Y;
                    }
                }
                if (b.X == UnsetCorner)
                    b.X = a.X;
                if (b.Y == UnsetCorner)
                    b.Y = a.Y;
                VerbosePrintf(4, "\tresult: %g,%g || %g,%g\n", a.X, a.Y, b.X, b.Y);
                prim->AddSide(a, b);
                continue;
            }
            if (VerboseLevel >= 4) {
                VerbosePrintf(4, "Found a top/bottomplane\n");
                PrintPoly(static_cast<int>(p));
            }
            const CVertex& first = *Verts.Verts[poly.Verts[0]];
            const float d = -(first.Y * n[1] + first.X * n[0] + first.Z * n[2]);
            const float h = (-1.0f / n[2]) * d;
            const float deltaX = (d - n[0]) * (1.0f / n[2]) + h;
            const float deltaY = (d - n[1]) * (1.0f / n[2]) + h;
            VerbosePrintf(4, "\tresult: %g,%g,%g dx=%g dy=%g\n", 0.0, 0.0, h, deltaX, deltaY);
            prim->SetPlane({0.0f, 0.0f, h}, deltaX, deltaY);
        }
    }
}
