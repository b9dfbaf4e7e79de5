#pragma once
// What the PC, Xbox and PS2 mesh writers share: the LOD walk that cuts every layer into one sub-mesh
// per material with local vertex numbers, strip building, the mesh record's bounds, the
// sub-mesh records and their MaterialData records.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CdbMesh;
class CGeometry;
class CFormatSpecifier;
class CMaterial;
class CVertex;
class CZelWriter;
class RecordOut;

struct SubMesh {
    std::string Material;
    float LodDistance = 0.0f;
    int VertexCount = 0;
    std::vector<int> LocalToLayer;
    CGeometry* Layer = nullptr;
    int Frames = 1;
    std::vector<int> Triangles; // local indices, three per triangle
    std::vector<int> Indices;   // the joined strip
    std::vector<int> NewToOld;
};

typedef std::vector<std::unique_ptr<SubMesh>> SubMeshList;

// The vertex of a frame (0 the vertex itself) along its chain.
const CVertex& FrameVertex(const CVertex& base, int frame);
// The layer vertex behind output slot v of a sub-mesh, or null for a slot no triangle uses.
const CVertex* SlotVertex(const SubMesh& sub, int v, int frame);

// Every LOD layer's sub-meshes, the mesh bounds taken from layer 0; fatal without LOD_0.
SubMeshList CollectSubMeshes(CdbMesh& mesh);
// The strips of every sub-mesh, built with the writer's vertex cache size: one joined strip,
// or (join off) separate strips of at most maxStripLength vertices ended by -1.
void BuildStrips(SubMeshList& subs, int cacheSize, bool join = true, int maxStripLength = 32768);
// The PRIM_ and VERT_SORT_ flags of a sub-mesh (material may be null); a bump-mapped texture
// switches the mesh's Bump modifier on.
unsigned long SubMeshFlags(CdbMesh& mesh, const SubMesh& sub, const CMaterial* material);
// The PRIM_ flags of a material's primitives (material may be null); a bump-mapped texture
// switches bumpTarget's Bump modifier on.
unsigned long PrimitiveFlags(const CdbMesh& mesh, const CMaterial* material, CFormatSpecifier& bumpTarget);
// The MAT_DATA_ flags of a material, with bumpSource's Bump modifier standing for the mesh's.
unsigned long MaterialDataFlags(const CFormatSpecifier& bumpSource, const CMaterial& material);
// The bounds members and pCollisionData of a mesh record.
void WriteMeshBounds(RecordOut& record, const CdbMesh& mesh);
// The bounds members, NumSubs, pSubs and pCollisionData of the mesh record.
void WriteMeshHead(RecordOut& record, CdbMesh& mesh, size_t subCount, const std::string& firstSub);
// One sub-mesh record per sub-mesh: symbols "<label><subName>%03d", buffers "...<descName>000".
void WriteSubMeshes(CZelWriter& writer, CdbMesh& mesh, const SubMeshList& subs, const char* typeName,
                    const char* subName, const char* descName);
void WriteMaterialData(CZelWriter& writer, CdbMesh& mesh, const SubMeshList& subs);

// The buffer descriptors of every sub-mesh, "<label>_<p>Sub_%03d_<p>Desc_%03d": the strip
// (b = 0, 16-bit indices) and one vertex buffer per frame, each pointing at its data
// "<label>_<p>Sub_%03d_<p>Data%03d_000000" (p the platform prefix). extra adds a vertex
// buffer's own members.
void WriteBufferDescriptors(CZelWriter& writer, const std::string& label, const SubMeshList& subs, const char* prefix,
                            const char* typeName, unsigned long stripKind, unsigned long vertexKind,
                            unsigned long stride,
                            const std::function<void(RecordOut&, const SubMesh&, int frame)>& extra = {});
// Every sub-mesh's strip as 16-bit indices under its data symbol, in the temporary segment,
// which stays selected.
void WriteStripIndices(CZelWriter& writer, const std::string& label, const SubMeshList& subs, const char* prefix);
