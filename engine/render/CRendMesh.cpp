#include "engine/render/CRendMesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/include/RhuTypes.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/Material.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendMesh) == sizeof(rhu::CRendMesh), "CRendMesh differs from the record header");
static_assert(sizeof(rhu::VertexBatch) == 52 && sizeof(rhu::PrimitiveBatch) == 12 && sizeof(rhu::BumpMatrix) == 12,
              "vertex batch records");

ZEL_REGISTER_RECORD(CRendMesh);

int CRendMesh::LastDrawn = 0;

namespace {

const unsigned short kBumpBatch = 0x40;
// Primitive batches followed before a list is taken to be damaged.
const int kMaxPrimitiveBatches = 1024;

const unsigned char* Follow(const void* field, short offset)
{
    return offset ? static_cast<const unsigned char*>(field) + offset : nullptr;
}

// Calls visit(indices, count) for every primitive of a batch until it returns true.
template <class Visit> bool ForEachPrimitive(const rhu::PrimitiveBatch& batch, Visit visit)
{
    const unsigned short* p = reinterpret_cast<const unsigned short*>(&batch + 1);
    for (int n = 0; n < batch.NumPrimitives; ++n) {
        int count = 3;
        if (n >= batch.NumTriangles)
            count = *p++;
        if (visit(p, count))
            return true;
        p += count;
    }
    return false;
}

CVector Cross(const CVector& a, const CVector& b)
{
    return CVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// Normalised, or false for a vector with no direction (a degenerate coordinate mapping).
bool Normalise(CVector& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 1e-20f) || !std::isfinite(length))
        return false;
    v = CVector(v.x / length, v.y / length, v.z / length);
    return true;
}

short Fixed(float f) { return static_cast<short>(f * 16384.0f); }

// One axis from the two projected edges and their coordinate differences along that axis (a)
// and across it (b).
bool Axis(const CVector& t1, const CVector& t2, float a1, float b1, float a2, float b2, CVector& out)
{
    float sign;
    if (b1 == 0.0f) {
        out = t1;
        sign = a1;
    } else {
        const float k = b2 / b1;
        out = t1 * k - t2;
        sign = k * a1 - a2;
    }
    if (sign < 0.0f)
        out = -out;
    return Normalise(out);
}

// Whether the whole batch lies in the file it was loaded from (records built elsewhere pass).
bool BatchInside(const rhu::VertexBatch& b, bool fromFile)
{
    if (!fromFile)
        return true;
    return b.VertexSize > 0 && CZelFile::IsLoadedData(b.pVertexList, b.NumVerts * b.VertexSize) &&
           b.PositionOffset + 12u <= b.VertexSize &&
           b.NormalOffset + 12u * (b.NumNormals ? b.NumNormals : 1) <= b.VertexSize &&
           b.TexCoordOffset + 8u * (b.BumpCoordIndex + 1u) <= b.VertexSize && b.BumpMatrixOffset + 12u <= b.VertexSize;
}

} // namespace

void CRendMesh::ComputeBumpMatrices(rhu::VertexBatch& b)
{
    const bool fromFile = CZelFile::IsLoadedData(&b, sizeof b);
    if (!b.pPrimitiveList || !b.pVertexList || !BatchInside(b, fromFile))
        return;
    unsigned char* base = b.pVertexList;
    auto position = [&](unsigned j) {
        return *reinterpret_cast<const CVector*>(base + j * b.VertexSize + b.PositionOffset);
    };
    auto coords = [&](unsigned j, float& s, float& t) {
        const float* st =
            reinterpret_cast<const float*>(base + j * b.VertexSize + b.TexCoordOffset + 8 * b.BumpCoordIndex);
        s = st[0];
        t = st[1];
    };
    for (unsigned long j = 0; j < b.NumVerts; ++j) {
        const unsigned short* found = nullptr;
        int foundCount = 0;
        const MaterialData* foundSlot = nullptr;
        const rhu::PrimitiveBatch* batch = b.pPrimitiveList;
        for (int hops = 0; batch && hops < kMaxPrimitiveBatches && !found; ++hops) {
            const MaterialData* slot = reinterpret_cast<const MaterialData*>(
                Follow(&batch->OffsetToMaterialData, batch->OffsetToMaterialData));
            if ((batch->Flags & kBumpBatch) && slot && (!fromFile || CZelFile::IsLoadedData(slot, sizeof *slot)) &&
                slot->TexCoordIndex == static_cast<signed char>(b.BumpCoordIndex))
                ForEachPrimitive(*batch, [&](const unsigned short* idx, int count) {
                    for (int k = 0; k < count; ++k)
                        if (idx[k] == j) {
                            found = idx;
                            foundCount = count;
                            foundSlot = slot;
                            return true;
                        }
                    return false;
                });
            batch = reinterpret_cast<const rhu::PrimitiveBatch*>(
                Follow(&batch->OffsetToNextBatch, batch->OffsetToNextBatch));
            if (batch && fromFile && !CZelFile::IsLoadedData(batch, sizeof *batch))
                batch = nullptr;
        }
        if (!found)
            continue;
        unsigned others[2];
        int n = 0;
        for (int k = 0; k < foundCount && n < 2; ++k)
            if (found[k] != j && found[k] < b.NumVerts)
                others[n++] = found[k];
        if (n < 2)
            continue;
        const int normalSet = foundSlot->NormalIndex >= 0 && foundSlot->NormalIndex < (b.NumNormals ? b.NumNormals : 1)
                                  ? foundSlot->NormalIndex
                                  : 0;
        const CVector normal =
            *reinterpret_cast<const CVector*>(base + j * b.VertexSize + b.NormalOffset + 12 * normalSet);
        const CVector p0 = position(j), p1 = position(others[0]), p2 = position(others[1]);
        const CVector t1 = Cross(Cross(normal, p1 - p0), normal), t2 = Cross(Cross(normal, p2 - p0), normal);
        float s0, r0, s1, r1, s2, r2;
        coords(j, s0, r0);
        coords(others[0], s1, r1);
        coords(others[1], s2, r2);
        const float ds1 = s1 - s0, dt1 = r1 - r0, ds2 = s2 - s0, dt2 = r2 - r0;
        CVector u, v;
        // A mapping with no extent along an axis leaves the stored frame as it was.
        if (!Axis(t1, t2, ds1, dt1, ds2, dt2, u) || !Axis(t1, t2, dt1, ds1, dt2, ds2, v))
            continue;
        rhu::BumpMatrix out = {Fixed(u.x), Fixed(u.y), Fixed(u.z), Fixed(v.x), Fixed(v.y), Fixed(v.z)};
        std::memcpy(base + j * b.VertexSize + b.BumpMatrixOffset, &out, sizeof out);
    }
}

CRendMesh::CRendMesh()
{
    const bool fromFile = CZelFile::IsLoadedData(this, sizeof *this);
    if (fromFile &&
        (NumMeshes < 0 || (NumMeshes && !CZelFile::IsLoadedData(pBatches, NumMeshes * sizeof(rhu::VertexBatch))))) {
        std::printf("Mesh %s: its vertex batches lie outside its file; it is not drawn\n", MeshLabel(this));
        NumMeshes = 0;
        return;
    }
    for (int i = 0; i < NumMeshes; ++i)
        ComputeBumpMatrices(pBatches[i]);
}

void CRendMesh::ChooseLevel(const rhu::VertexBatch* batches, int batchCount, float depth, int& first, int& count)
{
    first = 0;
    count = 0;
    for (int start = 0; start < batchCount;) {
        int end = start + 1;
        while (end < batchCount && batches[end].LODDepth == batches[start].LODDepth)
            ++end;
        first = start;
        count = end - start;
        if (batches[start].LODDepth >= depth)
            return;
        start = end;
    }
}

void CRendMesh::Render(CRender* render)
{
    LastDrawn = 0;
    CRendWorkspace* workspace = render->GetWorkspace();
    CMatrix* world = nullptr;
    CRender* drawn = nullptr;
    if (!workspace || !workspace->Prepare(&world, &drawn) || !world)
        return;
    PushLoadMatrix(*world);
    float invW = 0.0f;
    const CVector& centre = TransformPoint(GetCurrentViewport(), Center, invW);
    int first, count;
    ChooseLevel(pBatches, NumMeshes, centre.z, first, count);
    // The PC has no batch drawer: the chosen batches are only counted.
    LastDrawn = count;
    PopMatrix();
}
