#pragma once
// The PC form of a mesh: sub-meshes whose strip indices and vertex frames are stored as raw
// buffer images. Built in place, every image becomes a managed device buffer; drawn, every
// sub-mesh gives one draw state per material.
#include <d3d9.h>

#include "engine/render/CRendBaseMesh.h"
#include "engine/render/Material.h"

namespace rhu {
struct PCXBufferDesc;
struct PCXSubMesh;
} // namespace rhu

#pragma pack(push, 1)
class CRendPCXMesh : public CRendBaseMesh {
public:
    CRendPCXMesh();
    ~CRendPCXMesh() override;
    void Render(CRender* render) override;

    // One sub-mesh under a world matrix, with a morph frame, the render's overrides, colour
    // and position; the entries go in under sortKey.
    static void DrawSubMesh(rhu::PCXSubMesh& sub, const CMatrix& world, float frame, const Material* overrides,
                            const CVector4& colour, const CVector& position, unsigned long sortKey);
    // Buffer versions of a sub-mesh's images.
    enum { kVertexData = 1, kIndexData = 2 };
    // Vertex and index buffers alive now.
    static int GetLiveVertexBuffers() { return LiveVertexBuffers; }
    static int GetLiveIndexBuffers() { return LiveIndexBuffers; }

    short NumSubs;
    short NSFiller;
    rhu::PCXSubMesh* pSubs;

private:
    static bool CheckSubMesh(const rhu::PCXSubMesh& sub, const char* label, int index);
    static void CreateBuffers(rhu::PCXSubMesh& sub);
    static void ReleaseBuffers(rhu::PCXSubMesh& sub);

    static int LiveVertexBuffers;
    static int LiveIndexBuffers;
};
#pragma pack(pop)
static_assert(sizeof(CRendPCXMesh) == 80, "CRendPCXMesh is an 80-byte record");
