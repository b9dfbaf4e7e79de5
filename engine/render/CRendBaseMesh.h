#pragma once
// The common base of mesh resources in packed data: bounds, attach points and collision data,
// the per-render workspace and the screen box of the mesh.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
class CAttachPoint : public CVector {
public:
    unsigned long Crc32; // name key
};

class CRendBaseMesh : public CRendResource {
public:
    // A record read from a file keeps its attach points only when they lie inside the file.
    CRendBaseMesh();

    CRendWorkspace* OnAttach(CRender* render) override;
    // The box of the 8 corners of the bounds under the matrix on the current viewport's screen;
    // corners behind the camera are left out.
    void GetScreenBoundingBox(CMatrix& matrix, RECT& box) override;
    const CVector* GetCentroid(int) override { return &Centroid; }
    const CVector* GetCenter(int) override { return &Center; }
    int GetSize(CVector& min, CVector& max) override;
    float GetMaxRadius() override { return MaxRadius; }
    float GetMaxRadiusXY() override { return MaxRadiusXY; }
    CCollisionData* GetCollisionData() override { return pCollisionData; }
    int GetAttachPointCount() override { return static_cast<int>(NumAttachPoints); }
    unsigned long GetAttachPointCRC(int index) override;
    const CVector& GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix) override;
    const CVector& GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix) override;
    int ReturnAttachPoints(CAttachPoint* points) override;

    CVector Centroid;
    CVector Center;
    CVector MaxSize;
    CVector MinSize;
    float MaxRadius;
    float MaxRadiusXY;
    unsigned long NumAttachPoints;
    CAttachPoint* pAttachPoints;
    CCollisionData* pCollisionData;
};
#pragma pack(pop)
static_assert(sizeof(CAttachPoint) == 16, "CAttachPoint: position and name key");
static_assert(sizeof(CRendBaseMesh) == 72, "CRendBaseMesh is a 72-byte record");

// A mesh record's label for messages, else its exported name's key in hex, else "(unnamed)".
const char* MeshLabel(const void* record);
