// The Xbox records of a mesh: the PC writer's sub-meshes with a smaller vertex cache and
// 12-byte vertices, positions packed against each frame's extent, which the buffer descriptor
// carries for the vertex shader to scale them back.
#include "converter/core/CZelWriter.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshWriterParts.h"
#include "converter/import3d/RecordOut.h"
#include "engine/include/ZelFormat.h"
#include "core/output/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace {

const int StripCacheSize = 13;
const float XYScale = 32736.0f;
const float ZScale = 32704.0f;

long Clamped(float value, float limit) { return static_cast<long>(std::max(-limit, std::min(limit, value))); }

// Signed 16-bit values kept in their top 11, 11 and 10 bits.
unsigned long Pack(long x, long y, long z)
{
    const unsigned long ux = static_cast<unsigned short>(x), uy = static_cast<unsigned short>(y),
                        uz = static_cast<unsigned short>(z);
    return (uz >> 6) << 22 | (uy >> 5) << 11 | (ux >> 5);
}

// The largest absolute position of each axis over the sub-mesh's vertices in a frame; an axis
// that stays 0 counts as 1, so that packing never divides by 0.
void Extent(const SubMesh& sub, int frame, float extent[3])
{
    std::fill(extent, extent + 3, 0.0f);
    for (int layerIndex : sub.LocalToLayer) {
        const CVertex& vertex = FrameVertex(*sub.Layer->Verts.Verts[layerIndex], frame);
        extent[0] = std::max(extent[0], std::fabs(vertex.X));
        extent[1] = std::max(extent[1], std::fabs(vertex.Y));
        extent[2] = std::max(extent[2], std::fabs(vertex.Z));
    }
    for (int a = 0; a < 3; ++a)
        if (extent[a] == 0.0f)
            extent[a] = 1.0f;
}

void WriteVertices(CZelWriter& writer, const std::string& label, const SubMeshList& subs)
{
    writer.SelectSegment(ZelFormat::kSegPlat);
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        for (int b = 1; b <= sub.Frames; ++b) {
            float e[3];
            Extent(sub, b - 1, e);
            for (int v = 0; v < sub.VertexCount; ++v) {
                // Only a buffer's first record is referred to, by its descriptor.
                const std::string symbol =
                    v == 0 ? FormatText("%s_XBSub_%03d_XBData%03d_%06d", label.c_str(), static_cast<int>(s), b, v) : "";
                RecordOut record(writer, "XBufferV05", symbol.empty() ? nullptr : symbol.c_str(), false);
                const CVertex* p = SlotVertex(sub, v, b - 1);
                if (!p)
                    continue;
                record.Unsigned("XYZ",
                                Pack(Clamped(p->X * XYScale / e[0], XYScale), Clamped(p->Y * XYScale / e[1], XYScale),
                                     Clamped(p->Z * ZScale / e[2], ZScale)));
                record.Unsigned("Normal", Pack(Clamped(p->NX * XYScale, XYScale), Clamped(p->NY * XYScale, XYScale),
                                               Clamped(p->NZ * ZScale, ZScale)));
                record.Signed("U", Clamped(p->U * 2048.0f, 32767.0f));
                record.Signed("V", Clamped((1.0f - p->V) * 2048.0f, 32767.0f));
            }
        }
    }
    writer.SelectSegment(ZelFormat::kSegData);
}

} // namespace

void WriteXboxMesh(CdbMesh& mesh, CZelWriter& writer)
{
    const std::string label = mesh.GetLabel();
    SubMeshList subs = CollectSubMeshes(mesh);
    BuildStrips(subs, StripCacheSize);
    RecordOut meshRecord(writer, "CRendXBMesh", label.c_str(), mesh.PublicFlag != 0);
    WriteMeshHead(meshRecord, mesh, subs.size(), label + "_XBSub_000");
    WriteSubMeshes(writer, mesh, subs, "XSubMesh", "_XBSub_", "_XBDesc_");
    WriteMaterialData(writer, mesh, subs);
    // Each vertex buffer carries its frame's extent, by which the vertex shader scales back.
    WriteBufferDescriptors(writer, label, subs, "XB", "XBufferDesc", Constant("XBUF_STRIPLIST"),
                           Constant("XBUF_BASICVERTS"), 12, [](RecordOut& record, const SubMesh& sub, int frame) {
                               float constants[8] = {};
                               Extent(sub, frame, constants);
                               record.Bytes("Constants", constants, sizeof constants);
                           });
    WriteStripIndices(writer, label, subs, "XB");
    WriteVertices(writer, label, subs);
}
