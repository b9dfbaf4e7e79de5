// The PC records of a mesh: every LOD layer becomes one sub-mesh per material, each drawn as
// one triangle strip over its own vertex buffer, one buffer per vertex frame.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshWriterParts.h"
#include "converter/import3d/RecordOut.h"
#include "engine/include/ZelFormat.h"
#include "core/output/TextFormat.h"

#include <cmath>
#include <cstring>

namespace {

const int StripCacheSize = 25;

struct BakedVertex {
    float X, Y, Z;
    float NX, NY, NZ;
    unsigned long Colour;
    float U, V;
};

// A channel of 1.0 is full; an unset channel counts as full, so that vertices no colour map
// reaches stay white and opaque.
unsigned long PackChannel(float value)
{
    if (IsUnset(value))
        return 255;
    double scaled = static_cast<double>(value) * 255.0;
    scaled = scaled < 0.0 ? 0.0 : (scaled > 255.0 ? 255.0 : scaled);
    return static_cast<unsigned long>(std::lrint(scaled - 0.4999999));
}

BakedVertex Bake(const CVertex& v)
{
    BakedVertex b;
    b.X = v.X, b.Y = v.Y, b.Z = v.Z;
    b.NX = v.NX, b.NY = v.NY, b.NZ = v.NZ;
    b.Colour = PackChannel(v.Alpha) << 24 | PackChannel(v.Red) << 16 | PackChannel(v.Green) << 8 | PackChannel(v.Blue);
    b.U = v.U;
    b.V = 1.0f - v.V;
    return b;
}

// The offsets of a vertex record's members, found once.
struct VertexLayout {
    unsigned long Size = 0;
    long Offsets[9];
};

VertexLayout LayoutOf(const char* typeName)
{
    static const char* const members[9] = {"X", "Y", "Z", "NX", "NY", "NZ", "U", "V", "RGBA"};
    CType* type = TypeDatabase.FindType(typeName, true);
    VertexLayout layout;
    layout.Size = type->Size;
    for (int m = 0; m < 9; ++m) {
        unsigned long offset = 0;
        CMember* member = nullptr;
        CType* found = type->FindMemberPath(members[m], offset, &member);
        layout.Offsets[m] = found && found->Size == 4 ? static_cast<long>(offset) : -1;
        if (layout.Offsets[m] < 0)
            VerbosePrintf(2, "WARNING: Requested %s for output,\nbut doesn't exist in %s\n", members[m], typeName);
    }
    return layout;
}

// Only a buffer's first record is referred to (by its descriptor); the others are named in the
// listing alone, which leaves the output the same and the symbol table small.
void WriteVertex(CZelWriter& writer, const VertexLayout& layout, const BakedVertex* baked, const std::string& symbol,
                 bool referred)
{
    std::vector<unsigned char> image(layout.Size, 0);
    if (baked) {
        const float floats[8] = {baked->X, baked->Y, baked->Z, baked->NX, baked->NY, baked->NZ, baked->U, baked->V};
        for (int m = 0; m < 8; ++m)
            if (layout.Offsets[m] >= 0)
                memcpy(&image[layout.Offsets[m]], &floats[m], 4);
        if (layout.Offsets[8] >= 0) {
            const unsigned int colour = static_cast<unsigned int>(baked->Colour);
            memcpy(&image[layout.Offsets[8]], &colour, 4);
        }
    }
    if (referred)
        writer.DefineSymbol(symbol.c_str(), nullptr, false, 0);
    else
        writer.Align(4);
    writer.WriteData(image.data(), 1, static_cast<unsigned long>(image.size()), symbol.c_str());
}

} // namespace

void WritePCXMesh(CdbMesh& mesh, CZelWriter& writer)
{
    const std::string label = mesh.GetLabel();
    SubMeshList subs = CollectSubMeshes(mesh);
    BuildStrips(subs, StripCacheSize);
    RecordOut meshRecord(writer, "CRendPCXMesh", label.c_str(), mesh.PublicFlag != 0);
    WriteMeshHead(meshRecord, mesh, subs.size(), label + "_PCXSub_000");
    WriteSubMeshes(writer, mesh, subs, "PCXSubMesh", "_PCXSub_", "_PCXDesc_");
    WriteMaterialData(writer, mesh, subs);

    const bool colour = mesh.ColourVerts != 0;
    WriteBufferDescriptors(writer, label, subs, "PCX", "PCXBufferDesc", Constant("PCXBUF_STRIPLIST"),
                           Constant(colour ? "PCXBUF_COLORVERTS" : "PCXBUF_BASICVERTS"), colour ? 36 : 32);
    WriteStripIndices(writer, label, subs, "PCX");
    const VertexLayout layout = LayoutOf(colour ? "PCXBufferV05" : "PCXBufferV01");
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        for (int b = 1; b <= sub.Frames; ++b) {
            for (int v = 0; v < sub.VertexCount; ++v) {
                const std::string symbol =
                    FormatText("%s_PCXSub_%03d_PCXData%03d_%06d", label.c_str(), static_cast<int>(s), b, v);
                const CVertex* vertex = SlotVertex(sub, v, b - 1);
                if (!vertex) {
                    WriteVertex(writer, layout, nullptr, symbol, v == 0);
                    continue;
                }
                const BakedVertex baked = Bake(*vertex);
                WriteVertex(writer, layout, &baked, symbol, v == 0);
            }
        }
    }
    writer.SelectSegment(ZelFormat::kSegData);
}
