#include "engine/render/CRendBaseMesh.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/include/RhuTypes.h"
#include "engine/render/CMeshWorkspace.h"
#include "engine/render/CRender.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/Camera.h"
#include "engine/world/CCollisionData.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendBaseMesh) == sizeof(rhu::CRendBaseMesh), "CRendBaseMesh differs from the record header");
static_assert(sizeof(CAttachPoint) == sizeof(rhu::CAttachPoint), "CAttachPoint differs from the record header");

CRendBaseMesh::CRendBaseMesh()
{
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return;
    if (NumAttachPoints &&
        (NumAttachPoints > 0x10000 || !CZelFile::IsLoadedData(pAttachPoints, NumAttachPoints * sizeof(CAttachPoint)))) {
        std::printf("Mesh %s: its %lu attach points lie outside its file; none are kept\n", MeshLabel(this),
                    NumAttachPoints);
        NumAttachPoints = 0;
        pAttachPoints = nullptr;
    }
    // Collision blocks are plain bytes in packed data, reached through a fixed-up pointer or an
    // import; a pointer damage left unpatched points anywhere.
    if (pCollisionData && !CZelFile::IsLoadedData(pCollisionData, sizeof(CCollisionData)) &&
        !CZelFile::IsPublishedObject(pCollisionData)) {
        std::printf("Mesh %s: its collision data lies outside its file; none is kept\n", MeshLabel(this));
        pCollisionData = nullptr;
    }
}

const char* MeshLabel(const void* record)
{
    void* value = const_cast<void*>(record);
    if (const char* label = CZelFixupManager::GetLabel(value))
        return label;
    // Files carry no labels of their own: the exported name's key identifies the mesh.
    static char text[24];
    const unsigned long key = static_cast<unsigned long>(CZelFixupManager::GetKey(value));
    if (key == 0)
        return "(unnamed)";
    std::snprintf(text, sizeof text, "0x%08lX", key);
    return text;
}

CRendWorkspace* CRendBaseMesh::OnAttach(CRender* render) { return new (std::nothrow) CMeshWorkspace(render, this); }

void CRendBaseMesh::GetScreenBoundingBox(CMatrix& matrix, RECT& box)
{
    CMeshWorkspace::ScreenBox(matrix, MinSize, MaxSize, box);
}

int CRendBaseMesh::GetSize(CVector& min, CVector& max)
{
    min = MinSize;
    max = MaxSize;
    return 1;
}

unsigned long CRendBaseMesh::GetAttachPointCRC(int index)
{
    return index >= 0 && static_cast<unsigned long>(index) < NumAttachPoints ? pAttachPoints[index].Crc32 : 0;
}

namespace {

CVector AttachResult;

// The render's world matrix, with the point (or, for no point, the translation) placed by it.
const CVector& Place(CRender* render, const CVector* point, CMatrix* matrixOut)
{
    CMatrix identity;
    identity.SetIdentity();
    CMatrix* world = &identity;
    if (CRendWorkspace* workspace = render ? render->GetWorkspace() : nullptr)
        workspace->GetMatrix(&world);
    if (!world)
        world = &identity;
    const CMatrix m = *world;
    if (!point) {
        AttachResult = CVector(m.m12, m.m13, m.m14);
    } else {
        const CVector& p = *point;
        AttachResult =
            CVector(p.x * m.m0 + p.y * m.m4 + p.z * m.m8 + m.m12, p.x * m.m1 + p.y * m.m5 + p.z * m.m9 + m.m13,
                    p.x * m.m2 + p.y * m.m6 + p.z * m.m10 + m.m14);
    }
    if (matrixOut) {
        *matrixOut = m;
        if (point) {
            matrixOut->m12 = AttachResult.x;
            matrixOut->m13 = AttachResult.y;
            matrixOut->m14 = AttachResult.z;
        }
    }
    return AttachResult;
}

const CVector& NotFound(int& found)
{
    found = 0;
    AttachResult = CVector(0.0f, 0.0f, 0.0f);
    return AttachResult;
}

} // namespace

const CVector& CRendBaseMesh::GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix)
{
    if (index >= 0 && static_cast<unsigned long>(index) >= NumAttachPoints)
        return NotFound(found);
    found = 1;
    return Place(render, index < 0 ? nullptr : &pAttachPoints[index], matrix);
}

const CVector& CRendBaseMesh::GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix)
{
    for (unsigned long i = 0; i < NumAttachPoints; ++i)
        if (pAttachPoints[i].Crc32 == static_cast<unsigned long>(point)) {
            found = 1;
            return Place(render, &pAttachPoints[i], matrix);
        }
    return NotFound(found);
}

int CRendBaseMesh::ReturnAttachPoints(CAttachPoint* points)
{
    if (NumAttachPoints == 0 || !pAttachPoints)
        return 0;
    std::memcpy(points, pAttachPoints, NumAttachPoints * sizeof(CAttachPoint));
    return 1;
}
