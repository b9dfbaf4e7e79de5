// The console records of a mesh: the PC writer's sub-meshes drawn as separate short strips,
// which the vector unit takes in packets ("sub-frames") of at most MAX vertex slots. Each
// packet is unpacked in two halves, the second from LERPBreakPos on, and the strips never
// straddle the break: padding keeps both halves aligned to the vertex multiple the unit wants.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/MeshWriterParts.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/TextFormat.h"
#include "core/output/ZOutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const float Huge = 3.4028235e38f;

// Constants a type file may leave out: 0 (with the type database's warning).
unsigned long Optional(const char* name) { return TypeDatabase.GetConstant(name, false); }

// What the mesh's vertex switches decide for all its packets.
struct Settings {
    bool Compressed, Coloured;
    int Max, Lerp, Multiple;
    unsigned long Quadwords, Vectors, Unpack;
    bool DrawBitInverted;
    const char* VertexType;

    // Compressed vertices have no room for colours: a coloured mesh (whose platform defaults
    // also switch compression on) keeps its colours in the full form, so that the packet
    // headers, the unpack code and the records all agree on one vertex form.
    Settings(const CdbMesh& mesh)
        : Compressed(mesh.CompressedVerts != 0 && mesh.ColourVerts == 0), Coloured(mesh.ColourVerts != 0)
    {
        Max = static_cast<int>(Optional("PS2_MESH_MAX_VERTS"));
        Lerp = static_cast<int>(Optional("PS2_MESH_LERP_VERTS"));
        // Coloured vertices take three quadwords, so the unit's buffer holds two thirds as many.
        if (Coloured) {
            Max = Max * 2 / 3;
            Lerp = Lerp * 2 / 3;
        }
        Multiple = std::max(1, static_cast<int>(Optional("PS2_CONTROL_VERT_MULTIPLE")));
        Max -= Max % Multiple;
        Lerp -= Lerp % Multiple;
        Quadwords = Coloured ? 3 : Compressed ? 1 : 2;
        Vectors = Coloured ? 3 : 2;
        Unpack = Optional(Compressed ? "PS2_VIF_TAG_MESH_COMP" : "PS2_VIF_TAG_MESH");
        DrawBitInverted = Optional("PS2_CONTROL_DRAW_BIT_OFF") != 0;
        VertexType = Compressed ? "PS2VertC" : Coloured ? "PS2VertRGBA" : "PS2Vert";
    }
};

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

// One packet's strips: the index range [First, End) of the sub-mesh's strip list, and where its
// second half begins.
struct SubFrame {
    size_t First = 0, End = 0;
    int Count = 0;    // slots with padding, before the tail copies
    int NumVerts = 0; // Count rounded up to the vertex multiple
    int Break = 0;    // LERPBreakPos
    int PadAt = -1;   // real vertices written before the padding, -1 without padding
    int Padding = 0;
};

size_t StripEnd(const std::vector<int>& indices, size_t from)
{
    while (from < indices.size() && indices[from] >= 0)
        ++from;
    return from;
}

// Whole strips per packet: the first half up to LERP slots, then, once a strip crosses LERP,
// the break at that strip's start (rounded up) and a second half of LERP slots behind it.
std::vector<SubFrame> CutSubFrames(const std::vector<int>& indices, const Settings& settings)
{
    std::vector<SubFrame> out;
    size_t at = 0;
    while (at < indices.size()) {
        SubFrame frame;
        frame.First = at;
        int limit = settings.Max;
        bool secondHalf = false;
        while (at < indices.size()) {
            const size_t end = StripEnd(indices, at);
            const int length = static_cast<int>(end - at);
            if (frame.Count + length > limit)
                break;
            const int before = frame.Count;
            frame.Count += length;
            if (!secondHalf && frame.Count > settings.Lerp) {
                frame.Break = RoundUp(before, settings.Multiple);
                frame.Padding = frame.Break - before;
                if (frame.Padding)
                    frame.PadAt = before;
                frame.Count += frame.Padding;
                limit = frame.Break + settings.Lerp;
                secondHalf = true;
            }
            at = end < indices.size() ? end + 1 : end;
        }
        if (frame.Count == 0)
            break;
        frame.End = at;
        frame.NumVerts = RoundUp(frame.Count, settings.Multiple);
        if (!secondHalf)
            frame.Break = frame.Count;
        out.push_back(frame);
    }
    return out;
}

// A vertex of one frame as the packet holds it.
struct Baked {
    float Pos[3], U, Normal[3], V, Colour[4];
    short Packed[8]; // X, Y, Z, U, NX, NY, NZ, V
};

struct FrameBake {
    float Scale[3] = {1.0f, 1.0f, 1.0f};
    float Min[3] = {Huge, Huge, Huge};
    float Max[3] = {-Huge, -Huge, -Huge};
    std::vector<Baked> Vertices; // by sub-mesh vertex
};

short Clamped16(float value)
{
    return static_cast<short>(static_cast<long>(std::max(-32767.0f, std::min(32767.0f, value))));
}

// Unset channels (no colour map reached the vertex) count as full, as on the PC.
float Channel(float value) { return IsUnset(value) ? 127.0f : std::max(0.0f, std::min(127.0f, value * 127.0f)); }

FrameBake BakeFrame(const SubMesh& sub, int frame, bool compressed)
{
    FrameBake out;
    std::vector<const CVertex*> vertices;
    for (int layerIndex : sub.LocalToLayer)
        vertices.push_back(&FrameVertex(*sub.Layer->Verts.Verts[layerIndex], frame));
    for (const CVertex* v : vertices) {
        const float p[3] = {v->X, v->Y, v->Z};
        for (int a = 0; a < 3; ++a) {
            out.Min[a] = std::min(out.Min[a], p[a]);
            out.Max[a] = std::max(out.Max[a], p[a]);
        }
    }
    if (compressed)
        for (int a = 0; a < 3; ++a) {
            const float extent = std::max(std::fabs(out.Min[a]), std::fabs(out.Max[a]));
            // Also an axis of no vertices at all: the bounds stay at their starting extremes.
            out.Scale[a] = extent == 0.0f || vertices.empty() ? 1.0f : extent;
        }
    for (const CVertex* v : vertices) {
        Baked b;
        const float p[3] = {v->X, v->Y, v->Z}, n[3] = {v->NX, v->NY, v->NZ};
        for (int a = 0; a < 3; ++a) {
            b.Pos[a] = p[a];
            b.Normal[a] = n[a];
            b.Packed[a] = Clamped16(32767.0f / out.Scale[a] * p[a]);
            b.Packed[4 + a] = Clamped16(n[a] * 32767.0f);
        }
        b.U = v->U;
        b.V = 1.0f - v->V;
        b.Packed[3] = Clamped16(v->U * 4096.0f);
        b.Packed[7] = Clamped16((1.0f - v->V) * 4096.0f);
        const float colour[4] = {v->Red, v->Green, v->Blue, v->Alpha};
        for (int c = 0; c < 4; ++c)
            b.Colour[c] = Channel(colour[c]);
        out.Vertices.push_back(b);
    }
    return out;
}

float WithDrawBit(float value, bool set)
{
    unsigned int bits;
    std::memcpy(&bits, &value, 4);
    bits = set ? bits | 1u : bits & ~1u;
    std::memcpy(&value, &bits, 4);
    return value;
}

void WriteVertex(CZelWriter& writer, const Settings& settings, const Baked& b, bool draw, const std::string& symbol)
{
    const bool bit = draw != settings.DrawBitInverted;
    RecordOut record(writer, settings.VertexType, symbol.empty() ? nullptr : symbol.c_str(), false);
    if (settings.Compressed) {
        static const char* const names[8] = {"X", "Y", "Z", "U", "NX", "NY", "NZ", "V"};
        for (int m = 0; m < 8; ++m) {
            const long value = m == 3 ? (bit ? b.Packed[3] | 1 : b.Packed[3] & ~1) : b.Packed[m];
            record.Signed(names[m], value);
        }
        return;
    }
    record.Float("Pos.X", b.Pos[0]);
    record.Float("Pos.Y", b.Pos[1]);
    record.Float("Pos.Z", b.Pos[2]);
    record.Float("U", WithDrawBit(b.U, bit));
    record.Float("NormalX", b.Normal[0]);
    record.Float("NormalY", b.Normal[1]);
    record.Float("NormalZ", b.Normal[2]);
    record.Float("V", b.V);
    if (!settings.Coloured)
        return;
    static const char* const channels[4] = {"R", "G", "B", "A"};
    for (int c = 0; c < 4; ++c)
        record.Float(channels[c], b.Colour[c]);
}

class PS2MeshWriter {
public:
    PS2MeshWriter(CdbMesh& mesh, CZelWriter& writer)
        : m_Mesh(mesh), m_Writer(writer), m_Label(mesh.GetLabel()), m_Settings(mesh)
    {
    }

    void Write();

private:
    std::string Name(const char* format, int s, int f = 0, int n = 0) const
    {
        return FormatText(format, m_Label.c_str(), s, f, n);
    }
    void WriteHead();
    void WriteSubMeshRecords();
    void WriteFrameRecords();
    void WritePacket(const SubMesh& sub, const FrameBake& bake, const SubFrame& frame, int s, int f, int n);

    CdbMesh& m_Mesh;
    CZelWriter& m_Writer;
    const std::string m_Label;
    const Settings m_Settings;
    SubMeshList m_Subs;
    std::vector<std::vector<SubFrame>> m_Cuts;   // per sub-mesh
    std::vector<std::vector<FrameBake>> m_Bakes; // per sub-mesh and frame
};

void PS2MeshWriter::Write()
{
    if (m_Settings.Lerp < 3 || m_Settings.Max < m_Settings.Lerp)
        vbail("Mesh %s: the type file's packet sizes (%d vertex slots, %d per half) cannot hold a strip\n",
              m_Label.c_str(), m_Settings.Max, m_Settings.Lerp);
    m_Subs = CollectSubMeshes(m_Mesh);
    BuildStrips(m_Subs, 0, false, m_Settings.Lerp);
    for (const std::unique_ptr<SubMesh>& sub : m_Subs) {
        m_Cuts.push_back(CutSubFrames(sub->Indices, m_Settings));
        m_Bakes.emplace_back();
        for (int f = 0; f < sub->Frames; ++f)
            m_Bakes.back().push_back(BakeFrame(*sub, f, m_Settings.Compressed));
    }
    WriteHead();
    WriteSubMeshRecords();
    WriteMaterialData(m_Writer, m_Mesh, m_Subs);
    WriteFrameRecords();
    for (size_t s = 0; s < m_Subs.size(); ++s) {
        const SubMesh& sub = *m_Subs[s];
        for (int f = 0; f < sub.Frames; ++f)
            for (size_t n = 0; n < m_Cuts[s].size(); ++n)
                WritePacket(sub, m_Bakes[s][f], m_Cuts[s][n], static_cast<int>(s), f, static_cast<int>(n));
    }
}

void PS2MeshWriter::WriteHead()
{
    RecordOut record(m_Writer, "CRendPS2Mesh", m_Label.c_str(), m_Mesh.PublicFlag != 0);
    WriteMeshHead(record, m_Mesh, m_Subs.size(), m_Label + "_PS2Sub_000");
    unsigned long format = 0;
    if (m_Settings.Compressed)
        format |= Optional("PS2_MESH_FORMAT_COMPRESSED");
    if (m_Settings.Coloured)
        format |= Optional("PS2_MESH_FORMAT_COLORED");
    record.Unsigned("Format", format, "unsigned short");
    record.Unsigned("Compressed", m_Settings.Compressed ? 1 : 0);
    record.Unsigned("Colored", m_Settings.Coloured ? 1 : 0);
}

void PS2MeshWriter::WriteSubMeshRecords()
{
    for (size_t s = 0; s < m_Subs.size(); ++s) {
        const SubMesh& sub = *m_Subs[s];
        const int si = static_cast<int>(s);
        const CMaterial* material = m_Mesh.FindMaterial(sub.Material.c_str());
        RecordOut record(m_Writer, "PS2SubMesh", Name("%s_PS2Sub_%03d", si).c_str(), false);
        record.Unsigned("Flags", SubMeshFlags(m_Mesh, sub, material));
        record.Float("LODDepth", sub.LodDistance);
        record.Unsigned("NumMaterials", material ? material->ChainLength() : 1);
        record.Signed("NumFrames", sub.Frames);
        record.Pointer("pMaterialData", Name("%s_MatData_%03d", si));
        record.Pointer("pFrames", Name("%s_PS2Sub_%03d_PS2Frame_%03d", si));
    }
}

void PS2MeshWriter::WriteFrameRecords()
{
    for (size_t s = 0; s < m_Subs.size(); ++s) {
        const SubMesh& sub = *m_Subs[s];
        const int si = static_cast<int>(s);
        for (int f = 0; f < sub.Frames; ++f) {
            const FrameBake& bake = m_Bakes[s][f];
            RecordOut record(m_Writer, "PS2MeshFrame", Name("%s_PS2Sub_%03d_PS2Frame_%03d", si, f).c_str(), false);
            // A sub-mesh without triangles has no packets: its frames point nowhere rather
            // than at a symbol no file defines.
            record.Pointer("pData", m_Cuts[s].empty() ? "" : Name("%s_PS2Sub_%03d_PS2Frame_%03d_SF000", si, f));
            static const char* const bounds[6] = {"BoundMinX", "BoundMinY", "BoundMinZ",
                                                  "BoundMaxX", "BoundMaxY", "BoundMaxZ"};
            for (int a = 0; a < 3; ++a) {
                record.Float(bounds[a], bake.Min[a]);
                record.Float(bounds[3 + a], bake.Max[a]);
            }
        }
    }
}

void PS2MeshWriter::WritePacket(const SubMesh& sub, const FrameBake& bake, const SubFrame& frame, int s, int f, int n)
{
    const Settings& c = m_Settings;
    const std::string vertsSymbol = Name("%s_PS2Sub_%03d_PS2Frame_%03d_SFV%03d", s, f, n);
    {
        RecordOut record(m_Writer, "PS2MeshSubFrame", Name("%s_PS2Sub_%03d_PS2Frame_%03d_SF%03d", s, f, n).c_str(),
                         false);
        record.Unsigned("NumVerts", static_cast<unsigned long>(frame.NumVerts));
        record.Unsigned("LERPBreakPos", static_cast<unsigned long>(frame.Break));
        // The last packet's next names a symbol never defined: the offset comes out 0.
        record.Pointer("pNext", Name("%s_PS2Sub_%03d_PS2Frame_%03d_SF%03d", s, f, n + 1));
        record.Pointer("pVerts", vertsSymbol);
        record.Float("ScaleX", bake.Scale[0]);
        record.Float("ScaleY", bake.Scale[1]);
        record.Float("ScaleZ", bake.Scale[2]);
    }
    {
        RecordOut header(m_Writer, "PS2_DMA_Header", vertsSymbol.c_str(), false, 16);
        const unsigned long verts = static_cast<unsigned long>(frame.NumVerts);
        header.Unsigned("DMATag", verts * c.Quadwords | Optional("PS2_DMA_TAG_MESH"));
        header.Unsigned("DMAAddress", 0);
        header.Unsigned("VIFTag", Optional("PS2_VIF_TAG_RHU_NOP"));
        header.Unsigned("Data", (verts * c.Vectors) << Optional("PS2_VIF_NUM_SHIFT") | c.Unpack);
    }
    std::string symbol = vertsSymbol + "_V000";
    auto emit = [&](const Baked& vertex, bool draw) {
        WriteVertex(m_Writer, c, vertex, draw, symbol);
        symbol.clear();
    };
    int written = 0;
    const Baked* last = nullptr;
    size_t inStrip = 0;
    for (size_t i = frame.First; i < frame.End; ++i) {
        if (sub.Indices[i] < 0) {
            inStrip = 0;
            continue;
        }
        const Baked& vertex = bake.Vertices[sub.NewToOld[sub.Indices[i]]];
        if (written == frame.PadAt)
            for (int p = 0; p < frame.Padding; ++p)
                emit(vertex, false);
        emit(vertex, inStrip++ >= 2);
        ++written;
        last = &vertex;
    }
    for (int k = frame.Count; k < frame.NumVerts; ++k)
        emit(*last, false);
}

} // namespace

void WritePS2Mesh(CdbMesh& mesh, CZelWriter& writer) { PS2MeshWriter(mesh, writer).Write(); }
