#include "converter/import3d/MeshWriterParts.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CTriStripper.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshTextures.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/ZOutput.h"
#include "core/output/TextFormat.h"
#include "engine/include/ZelFormat.h"

#include <cstdarg>
#include <cstdio>
#include <unordered_map>

namespace {

// Strip indices are stored in 16 bits.
const int MaxSubMeshVertices = 65536;

// One layer into its sub-meshes: fan triangles, split by material in order of first use.
void SplitLayer(const CdbMesh& mesh, CGeometry& layer, SubMeshList& out)
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

} // namespace

unsigned long MaterialDataFlags(const CFormatSpecifier& bumpSource, const CMaterial& material)
{
    unsigned long flags = material.Flags;
    if (CFormatSpecifier::Value(material.Format.Shadow))
        flags |= Constant("MAT_DATA_ALPHA");
    else
        flags |= Constant("MAT_DATA_LIGHT") | Constant("MAT_DATA_WRAP") | Constant("MAT_DATA_BILINEAR");
    if (CFormatSpecifier::Value(material.Format.Additive))
        flags |= Constant("MAT_DATA_ADDITIVE");
    if (CFormatSpecifier::Value(bumpSource.Bump))
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

unsigned long SubMeshFlags(CdbMesh& mesh, const SubMesh& sub, const CMaterial* material)
{
    unsigned long flags = PrimitiveFlags(mesh, material, mesh.Format);
    if (CFormatSpecifier::Value(sub.Layer->Format.SortAlpha))
        flags |= Constant("VERT_SORT_ALPHA");
    if (CFormatSpecifier::Value(sub.Layer->Format.SortSolid))
        flags |= Constant("VERT_SORT_SOLID");
    return flags;
}

unsigned long PrimitiveFlags(const CdbMesh& mesh, const CMaterial* material, CFormatSpecifier& bumpTarget)
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
                CFormatSpecifier::SetModifier(bumpTarget.Bump, true);
            } else if (texture.GetAlphaBits() > 0) {
                flags |= Constant("PRIM_TEX_ALPHA");
            }
        }
    }
    return flags;
}

const CVertex& FrameVertex(const CVertex& base, int frame)
{
    const CVertex* v = &base;
    for (int f = 0; f < frame && v->pNextFrame; ++f)
        v = v->pNextFrame;
    return *v;
}

const CVertex* SlotVertex(const SubMesh& sub, int v, int frame)
{
    const int old = v < static_cast<int>(sub.NewToOld.size()) ? sub.NewToOld[v] : -1;
    if (old < 0)
        return nullptr;
    return &FrameVertex(*sub.Layer->Verts.Verts[sub.LocalToLayer[old]], frame);
}

SubMeshList CollectSubMeshes(CdbMesh& mesh)
{
    const std::string label = mesh.GetLabel();
    SubMeshList subs;
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
    return subs;
}

void BuildStrips(SubMeshList& subs, int cacheSize, bool join, int maxStripLength)
{
    for (std::unique_ptr<SubMesh>& sub : subs) {
        CTriStripper stripper(sub->VertexCount, sub->Triangles);
        if (stripper.Build(cacheSize, join, maxStripLength)) {
            sub->Indices = stripper.Indices();
            sub->NewToOld = stripper.NewToOld();
        }
    }
}

void WriteMeshBounds(RecordOut& record, const CdbMesh& mesh)
{
    const char* const axes[3] = {".X", ".Y", ".Z"};
    const struct {
        const char* Name;
        const float* Values;
    } vectors[] = {
        {"Centroid", mesh.Centroid}, {"Center", mesh.Center}, {"MaxSize", mesh.MaxSize}, {"MinSize", mesh.MinSize}};
    for (const auto& vector : vectors)
        for (int a = 0; a < 3; ++a)
            record.Float((std::string(vector.Name) + axes[a]).c_str(), vector.Values[a]);
    record.Float("MaxRadius", mesh.MaxRadius);
    record.Float("MaxRadiusXY", mesh.MaxRadiusXY);
    // A mesh without a collision layer points nowhere rather than at a symbol no file defines.
    const std::string collision = std::string(mesh.GetLabel()) + "_COLLISION";
    record.Pointer("pCollisionData", mesh.GetDatabase()->FindElement(collision.c_str()) ? collision : "");
}

void WriteMeshHead(RecordOut& record, CdbMesh& mesh, size_t subCount, const std::string& firstSub)
{
    WriteMeshBounds(record, mesh);
    record.Unsigned("NumSubs", subCount);
    record.Pointer("pSubs", firstSub);
}

void WriteSubMeshes(CZelWriter& writer, CdbMesh& mesh, const SubMeshList& subs, const char* typeName,
                    const char* subName, const char* descName)
{
    const std::string label = mesh.GetLabel();
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const CMaterial* material = mesh.FindMaterial(sub.Material.c_str());
        const std::string symbol = FormatText("%s%s%03d", label.c_str(), subName, static_cast<int>(s));
        RecordOut record(writer, typeName, symbol.c_str(), false);
        record.Unsigned("Flags", SubMeshFlags(mesh, sub, material));
        record.Float("LODDepth", sub.LodDistance);
        record.Unsigned("NumMaterials", material ? material->ChainLength() : 1);
        record.Unsigned("NumBuffers", static_cast<unsigned long>(sub.Frames + 1));
        record.Pointer("pMaterialData", FormatText("%s_MatData_%03d", label.c_str(), static_cast<int>(s)));
        record.Pointer("pBuffers", symbol + descName + "000");
    }
}

void WriteMaterialData(CZelWriter& writer, CdbMesh& mesh, const SubMeshList& subs)
{
    const std::string label = mesh.GetLabel();
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
            record.Unsigned("Flags", MaterialDataFlags(mesh.Format, *m));
        }
    }
}

void WriteBufferDescriptors(CZelWriter& writer, const std::string& label, const SubMeshList& subs, const char* prefix,
                            const char* typeName, unsigned long stripKind, unsigned long vertexKind,
                            unsigned long stride,
                            const std::function<void(RecordOut&, const SubMesh&, int frame)>& extra)
{
    for (size_t s = 0; s < subs.size(); ++s) {
        const SubMesh& sub = *subs[s];
        const int si = static_cast<int>(s);
        for (int b = 0; b <= sub.Frames; ++b) {
            RecordOut record(writer, typeName,
                             FormatText("%s_%sSub_%03d_%sDesc_%03d", label.c_str(), prefix, si, prefix, b).c_str(),
                             false);
            const unsigned long elements = b == 0 ? sub.Indices.size() : static_cast<unsigned long>(sub.VertexCount);
            record.Unsigned("Version", b == 0 ? stripKind : vertexKind);
            record.Unsigned("Revision", 0, "unsigned short");
            record.Unsigned("NumElements", elements);
            record.Unsigned("RawSize", elements * (b == 0 ? 2 : stride));
            record.Pointer("pData",
                           FormatText("%s_%sSub_%03d_%sData%03d_000000", label.c_str(), prefix, si, prefix, b));
            if (b > 0 && extra)
                extra(record, sub, b - 1);
        }
    }
}

void WriteStripIndices(CZelWriter& writer, const std::string& label, const SubMeshList& subs, const char* prefix)
{
    writer.SelectSegment(ZelFormat::kSegTemp);
    for (size_t s = 0; s < subs.size(); ++s) {
        const std::string symbol =
            FormatText("%s_%sSub_%03d_%sData%03d_%06d", label.c_str(), prefix, static_cast<int>(s), prefix, 0, 0);
        writer.DefineSymbol(symbol.c_str(), nullptr, false, 0);
        std::vector<unsigned short> indices(subs[s]->Indices.begin(), subs[s]->Indices.end());
        writer.WriteData(indices.data(), 2, static_cast<unsigned long>(indices.size()), "strip indices");
    }
}
