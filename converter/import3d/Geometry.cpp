#include "converter/import3d/Geometry.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

bool g_NormalDiagnostics = false;
bool g_NormalSmoothing = true;

float UnsetValue()
{
    const unsigned int bits = 0x007FFFE1;
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

bool IsUnset(float value)
{
    unsigned int bits;
    memcpy(&bits, &value, sizeof bits);
    return bits == 0x007FFFE1;
}

CVertex::CVertex()
{
    const float unset = UnsetValue();
    X = Y = Z = U = V = Red = Green = Blue = Alpha = NX = NY = NZ = unset;
}

CVertex::CVertex(const CVertex& other)
    : X(other.X), Y(other.Y), Z(other.Z), U(other.U), V(other.V), Red(other.Red), Green(other.Green), Blue(other.Blue),
      Alpha(other.Alpha), NX(other.NX), NY(other.NY), NZ(other.NZ)
{
    if (other.pNextFrame)
        AppendFrames(*other.pNextFrame);
}

CVertex::~CVertex()
{
    // The chain is deleted iteratively: frame chains may be long.
    CVertex* frame = pNextFrame;
    while (frame) {
        CVertex* next = frame->pNextFrame;
        frame->pNextFrame = nullptr;
        delete frame;
        frame = next;
    }
}

void CVertex::AppendFrames(const CVertex& source)
{
    CVertex* tail = this;
    while (tail->pNextFrame)
        tail = tail->pNextFrame;
    for (const CVertex* from = &source; from; from = from->pNextFrame) {
        CVertex* copy = new CVertex();
        copy->X = from->X, copy->Y = from->Y, copy->Z = from->Z, copy->U = from->U, copy->V = from->V;
        copy->Red = from->Red, copy->Green = from->Green, copy->Blue = from->Blue, copy->Alpha = from->Alpha;
        copy->NX = from->NX, copy->NY = from->NY, copy->NZ = from->NZ;
        tail->pNextFrame = copy;
        tail = copy;
    }
}

int CVertex::FrameCount() const
{
    int count = 1;
    for (const CVertex* frame = pNextFrame; frame; frame = frame->pNextFrame)
        ++count;
    return count;
}

bool CVertex::SameVertex(const CVertex& other) const
{
    return SamePosition(other) && U == other.U && V == other.V && Red == other.Red && Green == other.Green &&
           Blue == other.Blue && Alpha == other.Alpha && NX * other.NX + NY * other.NY + NZ * other.NZ > 0.95f;
}

void CVertex::Print() const
{
    VerbosePrintf(3, "  Position: %g,%g,%g\n  Normal: %g,%g,%g\n  UV: %g,%g\n  RGBA: %g,%g,%g,%g\n", X, Y, Z, NX, NY,
                  NZ, U, V, Red, Green, Blue, Alpha);
}

CVertList::~CVertList() { Clear(); }

void CVertList::Clear()
{
    for (CVertex* v : Verts)
        delete v;
    Verts.clear();
}

namespace {

// Exact-position buckets: equal floats (0 and -0 included) share a key.
struct PositionKey {
    float X, Y, Z;
    bool operator==(const PositionKey& o) const { return X == o.X && Y == o.Y && Z == o.Z; }
};
struct PositionHash {
    size_t operator()(const PositionKey& k) const
    {
        auto bits = [](float f) {
            unsigned int b;
            f = f == 0.0f ? 0.0f : f;
            memcpy(&b, &f, sizeof b);
            return static_cast<size_t>(b);
        };
        return bits(k.X) * 73856093u ^ bits(k.Y) * 19349663u ^ bits(k.Z) * 83492791u;
    }
};
typedef std::unordered_map<PositionKey, std::vector<int>, PositionHash> PositionBuckets;

// The vertices at the position of v (v itself included); a position that equals nothing, not
// even itself, has only v.
const std::vector<int>& SamePlace(const PositionBuckets& buckets, const CVertex& v, std::vector<int>& alone, int index)
{
    auto found = buckets.find({v.X, v.Y, v.Z});
    if (found != buckets.end())
        return found->second;
    alone.assign(1, index);
    return alone;
}

PositionBuckets BucketPositions(const std::vector<CVertex*>& verts)
{
    PositionBuckets buckets;
    buckets.reserve(verts.size());
    for (size_t i = 0; i < verts.size(); ++i)
        buckets[{verts[i]->X, verts[i]->Y, verts[i]->Z}].push_back(static_cast<int>(i));
    return buckets;
}

} // namespace

// Only vertices at exactly the same position can match, so each vertex is compared with the
// later vertices of its position's bucket: the same matches as comparing with every later one.
void CVertList::Reduce(std::vector<int>& map, bool positionsOnly)
{
    VerbosePrintf(4, "\n");
    const size_t count = Verts.size();
    map.assign(count, -1);
    const PositionBuckets buckets = BucketPositions(Verts);
    std::vector<CVertex*> kept;
    for (size_t i = 0; i < count; ++i) {
        if (map[i] != -1)
            continue;
        VerbosePrintf(4, "\nReducing vert #%d ->", static_cast<int>(i));
        const int index = static_cast<int>(kept.size());
        kept.push_back(Verts[i]);
        map[i] = index;
        const CVertex& vertex = *Verts[i];
        std::vector<int> alone;
        for (int j : SamePlace(buckets, vertex, alone, static_cast<int>(i))) {
            if (j <= static_cast<int>(i))
                continue;
            if (positionsOnly ? vertex.SamePosition(*Verts[j]) : vertex.SameVertex(*Verts[j])) {
                map[j] = index;
                VerbosePrintf(4, " %d", j);
            }
        }
    }
    // Vertices welded away are deleted; the kept ones move over with their frame chains.
    std::vector<char> isKept(count, 0);
    for (size_t i = 0; i < count; ++i)
        if (map[i] >= 0 && kept[map[i]] == Verts[i])
            isKept[i] = 1;
    for (size_t i = 0; i < count; ++i)
        if (!isKept[i])
            delete Verts[i];
    Verts.swap(kept);
    VerbosePrintf(3, "\nVert reduction: %d to %d\n", static_cast<int>(count), static_cast<int>(Verts.size()));
}

void CPoly::Remap(const std::vector<int>& map)
{
    for (int& index : Verts)
        index = map[index];
}

CGeometry::CGeometry(CdbMesh* mesh, const char* name)
    : Name(name), Mesh(mesh), Database(mesh ? mesh->GetDatabase() : nullptr)
{
    if (Database)
        Format = Database->CurrentFormat;
}

CGeometry::~CGeometry()
{
    for (CPoly* poly : Polys)
        delete poly;
}

void CGeometry::PrintPoly(int index) const
{
    const CPoly& poly = *Polys[index];
    VerbosePrintf(1, "Polygon, face normal is %g,%g,%g:\n", poly.Normal[0], poly.Normal[1], poly.Normal[2]);
    for (int v : poly.Verts)
        VerbosePrintf(1, "\tX = %g  Y = %g  Z = %g\n", Verts.Verts[v]->X, Verts.Verts[v]->Y, Verts.Verts[v]->Z);
}

void CGeometry::PostLoad(const char* baseName)
{
    VerbosePrintf(3, "CGeometry::PostLoad() - %s, basename: %s\n", Name.c_str(), baseName);
    Name = std::string(baseName) + "_" + Name;
    CalcNormals(baseName);
    std::vector<int> map;
    Verts.Reduce(map, IsShadow());
    for (CPoly* poly : Polys)
        poly->Remap(map);
    std::stable_sort(Polys.begin(), Polys.end(),
                     [](const CPoly* a, const CPoly* b) { return a->Verts.size() < b->Verts.size(); });
}

void CGeometry::AddVertexFrame(CGeometry& frame)
{
    if (frame.Verts.Verts.size() != Verts.Verts.size())
        vbail("\nError:\nAdding vertex frame %s and vertlist sizes were different!\n", frame.Name.c_str());
    for (size_t i = 0; i < Verts.Verts.size(); ++i)
        Verts.Verts[i]->AppendFrames(*frame.Verts.Verts[i]);
}

namespace {

struct Vec3 {
    float X, Y, Z;
};
Vec3 Sub(const CVertex& a, const CVertex& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
float Length(const Vec3& v) { return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z); }

void WarnNormal(const CGeometry& geometry, int index)
{
    const CPoly& poly = *geometry.Polys[index];
    VerbosePrintf(1, "\nWarning: How do you expect me to calc the normal on this?\n");
    VerbosePrintf(1, "\t%s\n\tPolygon #%d, %d sides\n", geometry.Name.c_str(), index,
                  static_cast<int>(poly.Verts.size()));
    for (int v : poly.Verts) {
        const CVertex& p = *geometry.Verts.Verts[v];
        VerbosePrintf(1, "\tX = %g  Y = %g  Z = %g\n", p.X, p.Y, p.Z);
    }
}

Vec3 FaceNormal(const CGeometry& geometry, int index)
{
    const CPoly& poly = *geometry.Polys[index];
    const std::vector<CVertex*>& v = geometry.Verts.Verts;
    const size_t sides = poly.Verts.size();
    Vec3 n = {0.0f, 0.0f, 0.0f};
    if (sides == 3) {
        n = Cross(Sub(*v[poly.Verts[0]], *v[poly.Verts[1]]), Sub(*v[poly.Verts[0]], *v[poly.Verts[2]]));
    } else {
        for (size_t c = 0; c < sides; ++c) {
            const CVertex& cur = *v[poly.Verts[c]];
            const CVertex& next = *v[poly.Verts[(c + 1) % sides]];
            const CVertex& prev = *v[poly.Verts[(c + sides - 1) % sides]];
            const Vec3 part = Cross(Sub(cur, next), Sub(cur, prev));
            const float length = Length(part);
            Vec3 add = {1.0f, 1.0f, 1.0f};
            if (length != 0.0f)
                add = {part.X / length, part.Y / length, part.Z / length};
            else
                WarnNormal(geometry, static_cast<int>(index));
            if (g_NormalDiagnostics) {
                VerbosePrintf(2, "Vert Pos: %g,%g,%g <-- %g,%g,%g --> %g,%g,%g\n", prev.X, prev.Y, prev.Z, cur.X, cur.Y,
                              cur.Z, next.X, next.Y, next.Z);
                VerbosePrintf(2, "Partial Face Normal: %g,%g,%g\n", add.X, add.Y, add.Z);
            }
            n = {n.X + add.X, n.Y + add.Y, n.Z + add.Z};
        }
    }
    const float length = Length(n);
    if (length == 0.0f) {
        WarnNormal(geometry, index);
        return {1.0f, 1.0f, 1.0f};
    }
    return {n.X / length, n.Y / length, n.Z / length};
}

} // namespace

void CGeometry::CalcNormals(const char* meshLabel)
{
    std::vector<CVertex*>& verts = Verts.Verts;
    std::vector<int> remembered(verts.size(), -1);
    for (size_t p = 0; p < Polys.size(); ++p) {
        CPoly& poly = *Polys[p];
        if (g_NormalDiagnostics)
            VerbosePrintf(2, "\nPolygon #%d, %d sides:\n", static_cast<int>(p), static_cast<int>(poly.Verts.size()));
        const Vec3 n = FaceNormal(*this, static_cast<int>(p));
        if (g_NormalDiagnostics)
            VerbosePrintf(2, "Resultant Face Normal: %g,%g,%g\n", n.X, n.Y, n.Z);
        poly.Normal[0] = n.X, poly.Normal[1] = n.Y, poly.Normal[2] = n.Z;
        for (int v : poly.Verts) {
            verts[v]->NX = n.X, verts[v]->NY = n.Y, verts[v]->NZ = n.Z;
            remembered[v] = static_cast<int>(p);
        }
    }
    if (!g_NormalSmoothing)
        return;
    const PositionBuckets buckets = BucketPositions(verts);
    std::unordered_map<std::string, float> thresholds;
    for (size_t p = 0; p < Polys.size(); ++p) {
        const CPoly& poly = *Polys[p];
        auto known = thresholds.find(poly.Surface);
        if (known == thresholds.end()) {
            const CMaterial* material = Mesh ? Mesh->FindMaterial(poly.Surface.c_str()) : nullptr;
            known = thresholds.emplace(poly.Surface, material ? material->SmoothingThreshold : 0.0f).first;
        }
        const float threshold = known->second;
        for (size_t c = 0; c < poly.Verts.size(); ++c) {
            const int v = poly.Verts[c];
            CVertex& vertex = *verts[v];
            std::vector<int> alone;
            for (int w : SamePlace(buckets, vertex, alone, v)) {
                if (w == v || remembered[w] < 0)
                    continue;
                const float* other = Polys[remembered[w]]->Normal;
                const float dot = other[0] * poly.Normal[0] + other[1] * poly.Normal[1] + other[2] * poly.Normal[2];
                if (dot >= threshold)
                    vertex.NX += other[0], vertex.NY += other[1], vertex.NZ += other[2];
            }
            const float length = std::sqrt(vertex.NX * vertex.NX + vertex.NY * vertex.NY + vertex.NZ * vertex.NZ);
            if (length == 0.0f) {
                VerbosePrintf(1, "\nBad normal calc during smoothing pass.\n%s %s, Poly #%d Vert #%d\n", meshLabel,
                              Name.c_str(), static_cast<int>(p), static_cast<int>(c));
                continue;
            }
            vertex.NX /= length, vertex.NY /= length, vertex.NZ /= length;
        }
    }
}
