// The PC records of a mesh: every LOD layer becomes one sub-mesh per material, each drawn as
// one triangle strip over its own vertex buffer, one buffer per vertex frame.
#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CTriStripper.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshTextures.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/TextFormat.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

const int StripCacheSize = 25;
const int MaxStripLength = 32768;
// Strip indices are stored in 16 bits.
const int MaxSubMeshVertices = 65536;

struct BakedVertex {
    float X, Y, Z;
    float NX, NY, NZ;
    unsigned long Colour;
    float U, V;
};

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

const CVertex& FrameVertex(const CVertex& base, int frame)
{
    const CVertex* v = &base;
    for (int f = 0; f < frame && v->pNextFrame; ++f)
        v = v->pNextFrame;
    return *v;
}

// One layer into its sub-meshes: fan triangles, split by material in order of first use.
void SplitLayer(const CdbMesh& mesh, CGeometry& layer, std::vector<std::unique_ptr<SubMesh>>& out)
{
    const std::vector<CVertex*>& verts = layer.Verts.Verts;
    int vertexCount = 0;
    while (vertexCount < static_cast<int>(verts.size()) && verts[vertexCount])
        ++vertexCount;
    const int frames = vertexCount ? verts[0]->FrameCount() : 1;
    std::vector<std::string> names;
    std::unordered_map<std::string, int> slots;
    std::vector<int> triangles; // three corners and the material slot
    for (const CPoly* poly : layer.Polys) {
        const auto found = slots.emplace(poly->Surface, static_cast<int>(names.size()));
        if (found.second)
            names.push_back(poly->Surface);
        const int slot = found.first->second;
        for (size_t k = 2; k < poly->Verts.size(); ++k)
            triangles.insert(triangles.end(), {poly->Verts[0], poly->Verts[k - 1], poly->Verts[k], slot});
    }
    std::vector<std::vector<size_t>> bySlot(names.size());
    for (size_t t = 0; t < triangles.size(); t += 4)
        bySlot[triangles[t + 3]].push_back(t);
    for (size_t slot = 0; slot < names.size(); ++slot) {
        std::unique_ptr<SubMesh> sub(new SubMesh());
        sub->Material = names[slot];
        sub->LodDistance = layer.LodDistance;
        sub->Layer = &layer;
        sub->Frames = frames;
        if (names.size() == 1) {
            sub->VertexCount = vertexCount;
            for (int i = 0; i < vertexCount; ++i)
                sub->LocalToLayer.push_back(i);
            for (size_t t = 0; t < triangles.size(); t += 4)
                sub->Triangles.insert(sub->Triangles.end(), {triangles[t], triangles[t + 1], triangles[t + 2]});
        } else {
            std::vector<int> local(verts.size(), -1);
            for (size_t t : bySlot[slot]) {
                for (int c = 0; c < 3; ++c) {
                    int& number = local[triangles[t + c]];
                    if (number < 0) {
                        number = sub->VertexCount++;
                        sub->LocalToLayer.push_back(triangles[t + c]);
                    }
                    sub->Triangles.push_back(number);
                }
            }
        }
        if (sub->VertexCount > MaxSubMeshVertices)
            vbail("Mesh %s: layer %s has %d vertices of material %s; one sub-mesh holds at most %d\n", mesh.GetLabel(),
                  layer.Name.c_str(), sub->VertexCount, sub->Material.c_str(), MaxSubMeshVertices);
        out.push_back(std::move(sub));
    }
}

unsigned long SubMeshFlags(CdbMesh& mesh, const SubMesh& sub, const CMaterial* material)
{
    unsigned long flags = 0;
    if (material) {
        if (!material->DoubleSided)
            flags |= Constant(mesh.GetDatabase()->AxisFormat.CullFront ? "PRIM_CULL_FRONT" : "PRIM_CULL_BACK");
        if (CFormatSpecifier::Value(material->Format.ZBuffer))
            flags |= Constant("PRIM_ZBUFFER");
        if (CFormatSpecifier::Value(material->Format.ZWrite))
            flags |= Constant("PRIM_ZWRITES");
        if (material->Texture) {
            const CFormatSpecifier& texture = TextureFormat(*material->Texture);
            if (CFormatSpecifier::Value(texture.Bump)) {
                flags |= Constant("PRIM_BUMPMAP");
                CFormatSpecifier::SetModifier(mesh.Format.Bump, true);
            } else if (texture.GetAlphaBits() > 0) {
                flags |= Constant("PRIM_TEX_ALPHA");
            }
        }
    }
    if (CFormatSpecifier::Value(sub.Layer->Format.SortAlpha))
        flags |= Constant("VERT_SORT_ALPHA");
    if (CFormatSpecifier::Value(sub.Layer->Format.SortSolid))
        flags |= Constant("VERT_SORT_SOLID");
    return flags;
}

unsigned long MaterialDataFlags(const CdbMesh& mesh, const CMaterial& material)
{
    unsigned long flags = material.Flags;
    if (CFormatSpecifier::Value(material.Format.Shadow))
        flags |= Constant("MAT_DATA_ALPHA");
    else
        flags |= Constant("MAT_DATA_LIGHT") | Constant("MAT_DATA_WRAP") | Constant("MAT_DATA_BILINEAR");
    if (CFormatSpecifier::Value(material.Format.Additive))
        flags |= Constant("MAT_DATA_ADDITIVE");
    if (CFormatSpecifier::Value(mesh.Format.Bump))
        return flags;
    if (material.Texture) {
        const CFormatSpecifier& texture = TextureFormat(*material.Texture);
        const int alphaBits = texture.GetAlphaBits();
        if (alphaBits == 1 || (texture.AlphaMask == 0 && texture.AlphaKind == CPixelFormat::ALPHA1))
            flags |= Constant("MAT_DATA_ALPHA_CMP");
        else if (alphaBits > 1 || (texture.AlphaMask == 0 && texture.AlphaKind == CPixelFormat::ALPHA))
            flags |= Constant("MAT_DATA_ALPHA");
    } else if (material.Alpha < 1.0f) {
        flags |= Constant("MAT_DATA_ALPHA");
    }
    return flags;
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
    std::vector<std::unique_ptr<SubMesh>> subs;
    for (int n = 0;; ++n) {
        CGeometry* layer = mesh.FindGeometry(FormatText("%s_LOD_%d", label.c_str(), n));
        if (!layer) {
            if (n == 0)
                vbail("Error: Expected to find layer data (LOD_0) for some geometry!\nMESH: %s\n", label.c_str());
            break;
        }
        if (n == 0)
            mesh.ComputeBounds(*layer);
        SplitLayer(mesh, *layer, subs);
    }
    for (std::unique_ptr<SubMesh>& sub : subs) {
        CTriStripper stripper(sub->VertexCount, sub->Triangles);
        if (stripper.Build(StripCacheSize, true, MaxStripLength)) {
            sub->Indices = stripper.Indices();
            sub->NewToOld = stripper.NewToOld();
        }
    }

    RecordOut meshRecord(writer, "CRendPCXMesh", label.c_str(), mesh.PublicFlag != 0);
    const char* const axes[3] = {".X", ".Y", ".Z"};
    const struct {
        const char* Name;
        const float* Values;
    } vectors[] = {
        {"Centroid", mesh.Centroid}, {"Center", mesh.Center}, {"MaxSize", mesh.MaxSize}, {"MinSize", mesh.MinSize}};
    for (const auto& vector : vectors)
        for (int a = 0; a < 3; ++a)
            meshRecord.Float((std::string(vector.Name) + axes[a]).c_str(), vector.Values[a]);
    meshRecord.Float("MaxRadius", mesh.MaxRadius);
    meshRecord.Float("MaxRadiusXY", mesh.MaxRadiusXY);
    meshRecord.Unsigned("NumSubs", subs.size());
    meshRecord.Pointer("pSubs", label + "_PCXSub_000");
    // A mesh without a collision layer points nowhere rather than at a symbol no file defines.
    const std::string collision = label + "_COLLISION";
    meshRecord.Pointer("pCollisionData", mesh.GetDatabase()->FindElement(collision.c_str()) ? collision : "");

    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const CMaterial* material = mesh.FindMaterial(sub.Material.c_str());
        RecordOut record(writer, "PCXSubMesh", FormatText("%s_PCXSub_%03d", label.c_str(), static_cast<int>(s)).c_str(),
                         false);
        record.Unsigned("Flags", SubMeshFlags(mesh, sub, material));
        record.Float("LODDepth", sub.LodDistance);
        record.Unsigned("NumMaterials", material ? material->ChainLength() : 1);
        record.Unsigned("NumBuffers", static_cast<unsigned long>(sub.Frames + 1));
        record.Pointer("pMaterialData", FormatText("%s_MatData_%03d", label.c_str(), static_cast<int>(s)));
        record.Pointer("pBuffers", FormatText("%s_PCXSub_%03d_PCXDesc_000", label.c_str(), static_cast<int>(s)));
    }

    const unsigned long key = mesh.LabelKey();
    for (size_t s = 0; s < subs.size(); ++s) {
        CMaterial* material = mesh.FindMaterial(subs[s]->Material.c_str());
        if (!material)
            continue;
        material->MarkUsed();
        std::string symbol = FormatText("%s_MatData_%03d", label.c_str(), static_cast<int>(s));
        for (const CMaterial* m = material; m; m = m->Next, symbol += "x") {
            RecordOut record(writer, "MaterialData", symbol.c_str(), false);
            record.Pointer("pMaterial", m->GetSymbol(key));
            record.Unsigned("NormalIndex", 0);
            record.Unsigned("TexCoordIndex", 0);
            record.Unsigned("Flags", MaterialDataFlags(mesh, *m));
        }
    }

    const bool colour = mesh.ColourVerts != 0;
    const unsigned long stride = colour ? 36 : 32;
    const unsigned long vertexKind = Constant(colour ? "PCXBUF_COLORVERTS" : "PCXBUF_BASICVERTS");
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const int si = static_cast<int>(s);
        for (int b = 0; b <= sub.Frames; ++b) {
            RecordOut record(writer, "PCXBufferDesc",
                             FormatText("%s_PCXSub_%03d_PCXDesc_%03d", label.c_str(), si, b).c_str(), false);
            const unsigned long elements = b == 0 ? sub.Indices.size() : static_cast<unsigned long>(sub.VertexCount);
            record.Unsigned("Version", b == 0 ? Constant("PCXBUF_STRIPLIST") : vertexKind);
            record.Unsigned("Revision", 0, "unsigned short");
            record.Unsigned("NumElements", elements);
            record.Unsigned("RawSize", elements * (b == 0 ? 2 : stride));
            record.Pointer("pData", FormatText("%s_PCXSub_%03d_PCXData%03d_000000", label.c_str(), si, b));
        }
    }

    writer.SelectSegment(ZelFormat::kSegTemp);
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const std::string symbol =
            FormatText("%s_PCXSub_%03d_PCXData%03d_%06d", label.c_str(), static_cast<int>(s), 0, 0);
        writer.DefineSymbol(symbol.c_str(), nullptr, false, 0);
        std::vector<unsigned short> indices(sub.Indices.begin(), sub.Indices.end());
        writer.WriteData(indices.data(), 2, static_cast<unsigned long>(indices.size()), "strip indices");
    }
    const VertexLayout layout = LayoutOf(colour ? "PCXBufferV05" : "PCXBufferV01");
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const std::vector<CVertex*>& verts = sub.Layer->Verts.Verts;
        for (int b = 1; b <= sub.Frames; ++b) {
            for (int v = 0; v < sub.VertexCount; ++v) {
                const int old = v < static_cast<int>(sub.NewToOld.size()) ? sub.NewToOld[v] : -1;
                const std::string symbol =
                    FormatText("%s_PCXSub_%03d_PCXData%03d_%06d", label.c_str(), static_cast<int>(s), b, v);
                if (old < 0) {
                    WriteVertex(writer, layout, nullptr, symbol, v == 0);
                    continue;
                }
                const BakedVertex baked = Bake(FrameVertex(*verts[sub.LocalToLayer[old]], b - 1));
                WriteVertex(writer, layout, &baked, symbol, v == 0);
            }
        }
    }
    writer.SelectSegment(ZelFormat::kSegData);
}
