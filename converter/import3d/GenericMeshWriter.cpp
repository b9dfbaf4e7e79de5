// The target-independent records of a mesh: the mesh record, one vertex batch per LOD layer
// (and one for the shadow layer) with its vertex records, and per layer one primitive batch per
// material with its polygons and material slots. A shadow layer also gets its edge list and
// face normals, which the shadow volume code walks.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshWriterParts.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/TextFormat.h"
#include "engine/include/ZelFormat.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Where the members of one layer's vertex record lie; -1 for a member the layout lacks.
struct GenericLayout {
    unsigned long Size = 0;
    long Position = -1, Normal = -1, TexCoord = -1, BumpMatrix = -1;
    int Frames = 1;
    int NumNormals = 0, NumTexCoords = 0;
};

// The vertices a layer holds end at its first empty slot, as the other writers count them.
size_t VertexCount(const CGeometry& layer)
{
    size_t count = 0;
    while (count < layer.Verts.Verts.size() && layer.Verts.Verts[count])
        ++count;
    return count;
}

GenericLayout BuildLayout(const CGeometry& layer)
{
    GenericLayout layout;
    layout.Frames = VertexCount(layer) ? layer.Verts.Verts[0]->FrameCount() : 1;
    const unsigned long position = TypeSize("Vertex"), normal = TypeSize("Normal");
    layout.Position = 0;
    layout.Size = position * static_cast<unsigned long>(layout.Frames);
    if (!layer.IsShadow()) {
        const bool lerp = CFormatSpecifier::Value(layer.Format.LerpNormals) && layout.Frames > 1;
        layout.NumNormals = lerp ? layout.Frames : 1;
        layout.Normal = static_cast<long>(layout.Size);
        layout.Size += normal * static_cast<unsigned long>(layout.NumNormals);
        layout.NumTexCoords = 1;
        layout.TexCoord = static_cast<long>(layout.Size);
        layout.Size += TypeSize("TexCoord");
    }
    if (CFormatSpecifier::Value(layer.Format.Bump)) {
        layout.BumpMatrix = static_cast<long>(layout.Size);
        layout.Size += TypeSize("BumpMatrix");
    }
    return layout;
}

void WriteVertexBatch(CZelWriter& writer, const CGeometry& layer, const GenericLayout& layout)
{
    const unsigned long count = static_cast<unsigned long>(VertexCount(layer));
    if (count > Constant("MAX_VERTS_PER_BATCH"))
        vbail("More verts that MAX_VERTS_PER_BATCH.\nThe model is too large, or MAX_VERTs is too small");
    const std::string& name = layer.Name;
    RecordOut batch(writer, "VertexBatch", (name + "_VertBatch").c_str(), false);
    batch.Float("LODDepth", layer.LodDistance);
    batch.Unsigned("NumVerts", count);
    batch.Pointer("pVertexList", name + "_VertList_000");
    batch.Pointer("pPrimitiveList", name + "_PrimList_000");
    unsigned long flags = Constant("VERT_TRANSFORM");
    if (layer.IsShadow()) {
        batch.Pointer("pEdgeList", name + "_EdgeList_000");
        batch.Pointer("pFaceNormals", name + "_FNormalList_000");
        flags |= Constant("VERT_SHADOWS");
    }
    batch.Unsigned("NumPositions", static_cast<unsigned long>(layout.Frames), "unsigned short");
    batch.Unsigned("VertexSize", layout.Size, "unsigned short");
    const struct {
        const char* Member;
        long Offset;
    } offsets[] = {{"PositionOffset", layout.Position},
                   {"NormalOffset", layout.Normal},
                   {"TexCoordOffset", layout.TexCoord},
                   {"BumpMatrixOffset", layout.BumpMatrix}};
    for (const auto& o : offsets)
        if (o.Offset >= 0)
            batch.Unsigned(o.Member, static_cast<unsigned long>(o.Offset), "unsigned short");
    batch.Unsigned("NumNormals", static_cast<unsigned long>(layout.NumNormals), "unsigned short");
    batch.Unsigned("NumTexCoords", static_cast<unsigned long>(layout.NumTexCoords), "unsigned short");
    // The constant's name has no trailing blank: looked up with one, it would not be found.
    if (CFormatSpecifier::Value(layer.Format.LerpNormals))
        flags |= Constant("VERT_INTERPOLATE_NORMALS");
    if (CFormatSpecifier::Value(layer.Format.SortAlpha))
        flags |= Constant("VERT_SORT_ALPHA");
    if (CFormatSpecifier::Value(layer.Format.SortSolid))
        flags |= Constant("VERT_SORT_SOLID");
    if (layout.BumpMatrix >= 0)
        flags |= Constant("VERT_BUMP_COORDS");
    batch.Unsigned("Flags", flags);
}

void PutFloats(std::vector<unsigned char>& image, long at, std::initializer_list<float> values)
{
    for (float v : values) {
        std::memcpy(&image[static_cast<size_t>(at)], &v, 4);
        at += 4;
    }
}

// Position, normal and texture coordinates (V flipped) of every frame the layout holds; the
// bump frames are left to the engine, which works them out from the triangles when it loads.
void WriteVertexList(CZelWriter& writer, const CGeometry& layer, const GenericLayout& layout)
{
    const unsigned long position = TypeSize("Vertex"), normal = TypeSize("Normal");
    for (size_t i = 0; i < VertexCount(layer); ++i) {
        std::vector<unsigned char> image(layout.Size, 0);
        const CVertex& base = *layer.Verts.Verts[i];
        for (int f = 0; f < layout.Frames; ++f) {
            const CVertex& v = FrameVertex(base, f);
            PutFloats(image, layout.Position + static_cast<long>(position) * f, {v.X, v.Y, v.Z});
            if (layout.Normal >= 0 && f < layout.NumNormals)
                PutFloats(image, layout.Normal + static_cast<long>(normal) * f, {v.NX, v.NY, v.NZ});
        }
        if (layout.TexCoord >= 0)
            PutFloats(image, layout.TexCoord, {base.U, 1.0f - base.V});
        // Only the first record is referred to; the others are named in the listing alone.
        const std::string symbol = FormatText("%s_VertList_%03d", layer.Name.c_str(), static_cast<int>(i));
        if (i == 0)
            writer.DefineSymbol(symbol.c_str(), nullptr, false, 0);
        else
            writer.Align(4);
        writer.WriteData(image.data(), 1, static_cast<unsigned long>(image.size()), symbol.c_str());
    }
}

// The polygons of each material of the mesh that the layer uses, in polygon order.
std::vector<std::vector<const CPoly*>> PolygonsByMaterial(const CdbMesh& mesh, const CGeometry& layer)
{
    std::vector<std::vector<const CPoly*>> out(mesh.Materials.size());
    const unsigned long maxSides = Constant("MAX_SIDES_PER_POLY");
    for (size_t m = 0; m < mesh.Materials.size(); ++m)
        for (size_t p = 0; p < layer.Polys.size(); ++p) {
            const CPoly* poly = layer.Polys[p];
            if (poly->Surface != mesh.Materials[m]->Name)
                continue;
            if (poly->Verts.size() > maxSides)
                vbail("Polygon #%d of %s has too many sides\n", static_cast<int>(p), layer.Name.c_str());
            out[m].push_back(poly);
        }
    return out;
}

// The flags of each material's batch; a shadow layer's material must be "Shadow" and is made to
// draw no depth. Run before the layout is built: a bump-mapped texture turns the layer's Bump
// modifier on, which gives its vertices a bump frame.
std::vector<unsigned long> BatchFlags(CdbMesh& mesh, CGeometry& layer,
                                      const std::vector<std::vector<const CPoly*>>& polygons)
{
    std::vector<unsigned long> flags(polygons.size(), 0);
    for (size_t m = 0; m < polygons.size(); ++m) {
        if (polygons[m].empty())
            continue;
        CMaterial* material = mesh.Materials[m];
        if (layer.IsShadow()) {
            if (material->Name != "Shadow")
                vbail("Materials used for shadow layers must be named Shadow!\nGeometry: %s\n", layer.Name.c_str());
            CFormatSpecifier::SetModifier(material->Format.Shadow, true);
            CFormatSpecifier::SetModifier(material->Format.ZWrite, false);
        }
        flags[m] = PrimitiveFlags(mesh, material, layer.Format);
    }
    return flags;
}

// One batch per material with polygons. The engine reads a batch's triangles first (three
// indices each) and its larger polygons after them (a count, then the indices), so the
// triangles are written first whatever order the layer holds them in. The last batch points at
// no next batch.
void WritePrimitiveBatches(CZelWriter& writer, CdbMesh& mesh, CGeometry& layer,
                           const std::vector<std::vector<const CPoly*>>& polygons,
                           const std::vector<unsigned long>& flags)
{
    const std::string& name = layer.Name;
    const unsigned long key = mesh.LabelKey();
    int written = 0, remaining = 0;
    for (const auto& list : polygons)
        remaining += list.empty() ? 0 : 1;
    for (size_t m = 0; m < polygons.size(); ++m) {
        if (polygons[m].empty())
            continue;
        CMaterial* material = mesh.Materials[m];
        material->MarkUsed();
        std::vector<unsigned short> data;
        int triangles = 0;
        for (int pass = 0; pass < 2; ++pass)
            for (const CPoly* poly : polygons[m]) {
                const bool triangle = poly->Verts.size() == 3;
                if (triangle != (pass == 0))
                    continue;
                triangles += triangle ? 1 : 0;
                if (!triangle)
                    data.push_back(static_cast<unsigned short>(poly->Verts.size()));
                for (int corner : poly->Verts)
                    data.push_back(static_cast<unsigned short>(corner));
            }
        const std::string slot = FormatText("%s_MaterialData_%03d", name.c_str(), static_cast<int>(m));
        {
            RecordOut batch(writer, "PrimitiveBatch", FormatText("%s_PrimList_%03d", name.c_str(), written).c_str(),
                            false);
            batch.Unsigned("NumPrimitives", static_cast<unsigned long>(polygons[m].size()), "unsigned short");
            batch.Unsigned("NumTriangles", static_cast<unsigned long>(triangles), "unsigned short");
            batch.Offset("OffsetToNextBatch",
                         --remaining > 0 ? FormatText("%s_PrimList_%03d", name.c_str(), written + 1) : "");
            batch.Offset("OffsetToMaterialData", slot);
            batch.Unsigned("NumMaterials", material->LayerCount, "unsigned short");
            batch.Unsigned("Flags", flags[m], "unsigned short");
        }
        writer.WriteData(data.data(), 2, static_cast<unsigned long>(data.size()), "polygon data");
        std::string symbol = slot;
        for (const CMaterial* chained = material; chained; chained = chained->Next, symbol += "x") {
            RecordOut record(writer, "MaterialData", symbol.c_str(), false);
            record.Pointer("pMaterial", chained->GetSymbol(key));
            record.Unsigned("NormalIndex", 0);
            record.Unsigned("TexCoordIndex", 0);
            record.Unsigned("Flags", MaterialDataFlags(layer.Format, *chained));
        }
        ++written;
    }
}

// Sides a -> b of one polygon and b -> a of a later one, matched by position, make one edge.
void WriteEdgeList(CZelWriter& writer, const CGeometry& layer)
{
    VerbosePrintf(3, "Generating edge list\n");
    const std::vector<CVertex*>& verts = layer.Verts.Verts;
    std::vector<std::vector<bool>> linked(layer.Polys.size());
    for (size_t p = 0; p < layer.Polys.size(); ++p)
        linked[p].assign(layer.Polys[p]->Verts.size(), false);
    auto corner = [&](size_t p, size_t s) { return verts[static_cast<size_t>(layer.Polys[p]->Verts[s])]; };
    writer.DefineSymbol((layer.Name + "_EdgeList_000").c_str(), nullptr, false, 4);
    for (size_t a = 0; a < layer.Polys.size(); ++a) {
        const size_t sidesA = layer.Polys[a]->Verts.size();
        for (size_t s = 0; s < sidesA; ++s) {
            if (linked[a][s])
                continue;
            const CVertex* from = corner(a, s);
            const CVertex* to = corner(a, (s + 1) % sidesA);
            bool found = false;
            for (size_t b = a + 1; b < layer.Polys.size() && !found; ++b) {
                const size_t sidesB = layer.Polys[b]->Verts.size();
                for (size_t t = 0; t < sidesB && !found; ++t) {
                    if (linked[b][t] || !corner(b, t)->SamePosition(*to) ||
                        !corner(b, (t + 1) % sidesB)->SamePosition(*from))
                        continue;
                    linked[a][s] = linked[b][t] = found = true;
                    const unsigned long word = (a & 0xFFF) | (s & 0xF) << 12 | (b & 0xFFF) << 16 | (t & 0xF) << 28;
                    const std::string note =
                        VerboseLevel > 1 ? FormatText("%d,%d <-> %d,%d", static_cast<int>(a), static_cast<int>(s),
                                                      static_cast<int>(b), static_cast<int>(t))
                                         : std::string();
                    writer.WriteData(&word, 4, 1, note.empty() ? nullptr : note.c_str());
                }
            }
            if (!found)
                VerbosePrintf(1, "\nWarning: %s cannot find edge on poly %d, vert %d\n(vertlist indicies are %d,%d)\n",
                              layer.Name.c_str(), static_cast<int>(a), static_cast<int>(s), layer.Polys[a]->Verts[s],
                              layer.Polys[a]->Verts[(s + 1) % sidesA]);
        }
    }
    const unsigned long terminator = 0;
    writer.WriteData(&terminator, 4, 1, "terminator");
}

void WriteFaceNormals(CZelWriter& writer, const CGeometry& layer)
{
    for (size_t p = 0; p < layer.Polys.size(); ++p) {
        const std::string symbol = layer.Name + "_FNormalList_000";
        RecordOut record(writer, "Normal", p == 0 ? symbol.c_str() : nullptr, false);
        record.Float("X", layer.Polys[p]->Normal[0]);
        record.Float("Y", layer.Polys[p]->Normal[1]);
        record.Float("Z", layer.Polys[p]->Normal[2]);
    }
}

} // namespace

void WriteGenericMesh(CdbMesh& mesh, CZelWriter& writer)
{
    const std::string label = mesh.GetLabel();
    std::vector<CGeometry*> layers;
    for (int n = 0;; ++n) {
        CGeometry* layer = mesh.FindGeometry(FormatText("%s_LOD_%d", label.c_str(), n));
        if (!layer)
            break;
        layers.push_back(layer);
    }
    if (layers.empty())
        vbail("Error: Expected to find layer data (LOD_0) for some geometry!\nMESH: %s\n", label.c_str());
    mesh.ComputeBounds(*layers[0]);
    const size_t lodCount = layers.size();
    if (CGeometry* shadow = mesh.FindGeometry(label + "_SHADOW"))
        layers.push_back(shadow);

    RecordOut record(writer, "CRendMesh", label.c_str(), mesh.PublicFlag != 0);
    WriteMeshBounds(record, mesh);
    record.Unsigned("NumMeshes", static_cast<unsigned long>(lodCount), "signed short");
    record.Unsigned("NumShadows", static_cast<unsigned long>(layers.size() - lodCount), "signed short");
    record.Pointer("pBatches", layers[0]->Name + "_VertBatch");

    std::vector<std::vector<std::vector<const CPoly*>>> polygons;
    std::vector<std::vector<unsigned long>> flags;
    std::vector<GenericLayout> layouts;
    for (CGeometry* layer : layers) {
        polygons.push_back(PolygonsByMaterial(mesh, *layer));
        flags.push_back(BatchFlags(mesh, *layer, polygons.back()));
        layouts.push_back(BuildLayout(*layer));
        WriteVertexBatch(writer, *layer, layouts.back());
    }
    for (size_t i = 0; i < layers.size(); ++i) {
        if (i >= lodCount) {
            WriteEdgeList(writer, *layers[i]);
            WriteFaceNormals(writer, *layers[i]);
        }
        WritePrimitiveBatches(writer, mesh, *layers[i], polygons[i], flags[i]);
        WriteVertexList(writer, *layers[i], layouts[i]);
    }
}
