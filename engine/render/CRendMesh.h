#pragma once
// The portable vertex-batch mesh. Built in place, it gives every vertex of a bump-mapped batch
// a tangent frame; drawn, it picks the level of detail for the mesh's depth and hands those
// batches to the platform's batch drawer, which on the PC draws nothing (the PC draws the
// sub-meshes of CRendPCXMesh).
#include "engine/render/CRendBaseMesh.h"

namespace rhu {
struct VertexBatch;
struct PrimitiveBatch;
} // namespace rhu

#pragma pack(push, 1)
class CRendMesh : public CRendBaseMesh {
public:
    CRendMesh();
    ~CRendMesh() override {}
    void Render(CRender* render) override;

    // The batches drawn at a depth: the first level (batches of equal LODDepth, ascending)
    // whose depth is at least `depth`, or the last level. Sets first and count.
    static void ChooseLevel(const rhu::VertexBatch* batches, int batchCount, float depth, int& first, int& count);
    // The tangent frames of one batch's vertices, from its bump-flagged primitives.
    static void ComputeBumpMatrices(rhu::VertexBatch& batch);
    // Batches drawn by the last Render, for the platform drawer.
    static int GetLastDrawnCount() { return LastDrawn; }

    short NumMeshes;
    short NumShadows;
    rhu::VertexBatch* pBatches;

private:
    static int LastDrawn;
};
#pragma pack(pop)
static_assert(sizeof(CRendMesh) == 80, "CRendMesh is an 80-byte record");
