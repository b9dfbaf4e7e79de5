// The console writers against their worked examples. The icon: the Shift-JIS table, the
// 964-byte description, and a cube's model (36 corners, coordinates scaled so the largest is
// 10 x 1024, the y and z swap, V flipped, a texture-less first material giving kind 3 and no
// texels). The Xbox mesh: packed positions against each frame's extent, clamped coordinates.
// The PS2 mesh: strips cut into packets at the half-packet break, padding, packet headers and
// the three vertex forms. PS2 sprite frames: one packet of frames with its texture numbers.
// The generic target: the mesh, vertex and primitive batches, and a shadow layer's edges.
#include "FatalTest.h"
#include "ZelFiles.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import2d/CdbSprite.h"
#include "converter/import3d/PS2Icon.h"
#include "engine/include/ZelFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <vector>

using namespace zelfiles;

namespace {

// Dumps the element make creates for a target machine; returns the file's bytes.
Bytes DumpElement(unsigned long target, const std::function<CdbElement*(CDatabase&)>& make)
{
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    const std::string path = ScratchFolder() + "/elements.zel";
    {
        CDatabase database;
        database.TargetMachine = target;
        CdbElement* element = make(database);
        CZelWriter writer;
        writer.SetCompression(false);
        writer.Open(path.c_str());
        writer.BeginList(ZelFormat::kBlockPcx);
        element->Dump(writer);
        writer.EndList();
        writer.Finish();
    }
    TypeDatabase.Reset();
    return ReadAll(path);
}

// Dumps the mesh of one layer "<label>_LOD_0" for a target machine; returns the file's bytes.
// configure runs once the type file is loaded, before the dump.
Bytes DumpMesh(unsigned long target, bool icon, const std::vector<CVertex>& vertices,
               const std::vector<std::vector<int>>& polygons, const std::function<void(CdbMesh&)>& configure = {})
{
    return DumpElement(target, [&](CDatabase& database) {
        CdbMesh* mesh = new CdbMesh("Mesh", &database);
        mesh->IconFlag = icon ? 1 : 0;
        if (configure)
            configure(*mesh);
        CGeometry* layer = new CGeometry(mesh, "Mesh_LOD_0");
        mesh->Geometries.push_back(layer);
        for (const CVertex& v : vertices)
            layer->Verts.Verts.push_back(new CVertex(v));
        for (const std::vector<int>& p : polygons) {
            CPoly* poly = new CPoly();
            poly->Verts = p;
            poly->Surface = "Plain";
            layer->Polys.push_back(poly);
        }
        return mesh;
    });
}

CVertex Vertex(float x, float y, float z, float u = 0.5f, float v = 0.25f)
{
    CVertex out;
    out.X = x, out.Y = y, out.Z = z;
    out.NX = 0.5f, out.NY = 0.25f, out.NZ = 0.0f;
    out.U = u, out.V = v;
    return out;
}

TEST(PS2Icon, ShiftJisCodesFollowTheTable)
{
    EXPECT_EQ(ShiftJisCodes("abc"), (std::vector<unsigned short>{0x8281, 0x8282, 0x8283, 0}));
    EXPECT_EQ(ShiftJisCodes("Z9 <>:"),
              (std::vector<unsigned short>{0x8279, 0x8258, 0x8140, 0x8171, 0x8172, 0x8146, 0}));
    // A two-byte character passes through; a byte with no full-width form shows as a question mark.
    EXPECT_EQ(ShiftJisCodes("\x82\xA0\x01"), (std::vector<unsigned short>{0x82A0, 0x8148, 0}));
}

TEST(PS2Icon, DescriptionBytes)
{
    const std::vector<unsigned char> d = PS2IconDescription();
    ASSERT_EQ(d.size(), 964u);
    EXPECT_EQ(std::memcmp(d.data(), "PS2D", 4), 0);
    const std::vector<unsigned short> first = ShiftJisCodes("Tyx:");
    EXPECT_EQ(d[6] | d[7] << 8, 2 * (first.size() - 1));
    EXPECT_EQ(Word(Bytes(d.begin(), d.end()), 12), 64u);
    EXPECT_EQ(Word(Bytes(d.begin(), d.end()), 16 + 16 + 4), 255u); // second background colour's green
    EXPECT_EQ(Word(Bytes(d.begin(), d.end()), 80), 0x3F13B646u);   // 0.577
    // The title: "Tyx:" then "Kestrafine", each code first byte first, then a 0 code.
    const unsigned char title[] = {0x82, 0x73, 0x82, 0x99, 0x82, 0x98, 0x81, 0x46, 0x82, 0x6A};
    EXPECT_EQ(std::memcmp(&d[192], title, sizeof title), 0);
    EXPECT_EQ(d[192 + 28] | d[193 + 28], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&d[260]), "List.ico");
    EXPECT_STREQ(reinterpret_cast<const char*>(&d[388]), "List.ico");
}

// A cube from -2.5 to 2.5 with one corner moved to (1, 2, 2.5): six quads, one material
// without a texture.
TEST(PS2Icon, CubeModel)
{
    std::vector<CVertex> corners;
    for (int i = 0; i < 7; ++i)
        corners.push_back(
            Vertex(i & 1 ? 2.5f : -2.5f, i & 2 ? 2.5f : -2.5f, i & 4 ? 2.5f : -2.5f, i == 0 ? 8.5f : 0.5f));
    corners.push_back(Vertex(1.0f, 2.0f, 2.5f));
    const Bytes data =
        Chunk(DumpMesh(1, true, corners,
                       {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}}),
              "LIST/DATA");
    ASSERT_GE(data.size(), 964u + 20);
    const size_t model = 964;
    EXPECT_EQ(Word(data, model), 0x00010000u);
    EXPECT_EQ(Word(data, model + 4), 1u);
    EXPECT_EQ(Word(data, model + 8), 3u); // no texture
    EXPECT_EQ(Word(data, model + 12), 0x3F800000u);
    EXPECT_EQ(Word(data, model + 16), 36u);
    const size_t first = model + 20;
    auto i16 = [&](size_t at) { return static_cast<short>(data[at] | data[at + 1] << 8); };
    // Corner 0 is vertex 0 at (-2.5, -2.5, -2.5): placed at (-2.5, 2.5, -2.5), scale 4.
    EXPECT_EQ(i16(first), -10240);
    EXPECT_EQ(i16(first + 2), 10240);
    EXPECT_EQ(i16(first + 4), -10240);
    EXPECT_EQ(i16(first + 8), 2048); // normal x 0.5 x 4096
    EXPECT_EQ(i16(first + 10), 1024);
    EXPECT_EQ(i16(first + 16), 32767); // U 8.5 clamps
    EXPECT_EQ(i16(first + 18), 3072);  // V' 0.75
    EXPECT_EQ(Word(data, first + 20), 0xFFFFFFFFu);
    // Vertex 7, (1, 2, 2.5), is corner 2 of the second quad's first triangle: (1, -2.5, 2) x 4096.
    const size_t seven = first + 24 * (6 + 2);
    EXPECT_EQ(i16(seven), 4096);
    EXPECT_EQ(i16(seven + 2), -10240);
    EXPECT_EQ(i16(seven + 4), 8192);
    // The animation header, its frame and key end the model.
    const size_t tail = first + 36 * 24;
    const unsigned long animation[] = {1, 1, 0x3F800000, 0, 0, 0, 1, 0, 0x3F800000};
    for (size_t k = 0; k < 9; ++k)
        EXPECT_EQ(Word(data, tail + 4 * k), animation[k]) << k;
    // The record follows, pointing at the four places.
    EXPECT_GE(data.size(), tail + 36 + 20);
}

// A quad in the plane x = 0: the x extent is 1 and every X packs to 0; the largest |y| packs to
// the ends of its 11 bits; U 16.5 clamps to 32767.
TEST(XboxMesh, PackedVerticesAndFrameExtents)
{
    const Bytes file = DumpMesh(
        2, false, {Vertex(0, -2, 0, 16.5f, 0.0f), Vertex(0, 2, 0), Vertex(0, 1, 1), Vertex(0, -1, 2)}, {{0, 1, 2, 3}});
    const Bytes plat = Chunk(file, "LIST/PLAT");
    ASSERT_EQ(plat.size(), 4 * 12u);
    std::multiset<std::vector<unsigned long>> got;
    for (size_t at = 0; at < plat.size(); at += 12)
        got.insert({Word(plat, at), Word(plat, at + 4), Word(plat, at + 8)});
    const auto packed = [](unsigned long x, unsigned long y, unsigned long z) { return z << 22 | y << 11 | x; };
    // Every normal is (0.5, 0.25, 0): 16368 and 8184; U 0.5 and V 0.75 are 1024 and 1536.
    const unsigned long n = packed(0x3FF0 >> 5, 0x1FF8 >> 5, 0);
    const std::multiset<std::vector<unsigned long>> want = {
        {packed(0, 0x401, 0), n, 0x08007FFFu},                // (0,-2,0): U clamped, V 1 x 2048
        {packed(0, 0x3FF, 0), n, 0x06000400u},                // (0,2,0)
        {packed(0, 0x1FF, 0x3FE0 >> 6), n, 0x06000400u},      // (0,1,1): Ez 2
        {packed(0, 0xC010 >> 5, 0x7FC0 >> 6), n, 0x06000400u} // (0,-1,2)
    };
    EXPECT_EQ(got, want);
    // The frame's descriptor (after the mesh record and its sub-mesh, and the index descriptor)
    // carries the extent 1, 2, 2.
    const Bytes data = Chunk(file, "LIST/DATA");
    const size_t constants = 80 + 20 + 52 + 20;
    ASSERT_GE(data.size(), constants + 32);
    float extent[3];
    std::memcpy(extent, &data[constants], sizeof extent);
    EXPECT_EQ(extent[0], 1.0f);
    EXPECT_EQ(extent[1], 2.0f);
    EXPECT_EQ(extent[2], 2.0f);
}

// Ribbons of triangles, each drawn as one strip of its own: ribbon r of n vertices has vertex k
// at x = 100 r + k, so a written vertex tells which one it is.
struct Ribbons {
    std::vector<CVertex> Vertices;
    std::vector<std::vector<int>> Triangles;

    void Add(int n)
    {
        const int first = static_cast<int>(Vertices.size()), r = Count++;
        for (int k = 0; k < n; ++k) {
            CVertex v = Vertex(100.0f * r + k, k % 2 ? 1.0f : 0.0f, 0.0f);
            v.Red = 0.5f, v.Green = 1.2f, v.Blue = -0.1f, v.Alpha = 1.0f;
            Vertices.push_back(v);
        }
        for (int k = 0; k + 2 < n; ++k)
            Triangles.push_back(k % 2 ? std::vector<int>{first + k + 1, first + k, first + k + 2}
                                      : std::vector<int>{first + k, first + k + 1, first + k + 2});
    }
    int Count = 0;
};

struct Packet {
    unsigned NumVerts, Break;
    float Scale[3];
    uint32_t Header[4];
    size_t Verts;    // place of the first vertex
    size_t Next = 0; // place of the next packet's record, 0 after the last
};

short Short(const Bytes& b, size_t at) { return static_cast<short>(b[at] | b[at + 1] << 8); }

// The packets of the only frame of the only sub-mesh, followed through their offsets.
std::vector<Packet> Packets(const Bytes& data)
{
    // The mesh record (80 bytes), one sub-mesh (20), no material data, one frame (4).
    size_t at = 80 + 20 + 4;
    std::vector<Packet> out;
    for (int guard = 0; at && guard < 16; ++guard) {
        Packet p;
        p.NumVerts = data[at] | data[at + 1] << 8;
        p.Break = data[at + 2] | data[at + 3] << 8;
        std::memcpy(p.Scale, &data[at + 8], 12);
        const size_t header = at + 4 + Short(data, at + 4);
        for (int w = 0; w < 4; ++w)
            p.Header[w] = Word(data, header + 4 * w);
        p.Verts = header + 16;
        const short next = Short(data, at + 6);
        p.Next = next ? at + 6 + next : 0;
        out.push_back(p);
        at = p.Next;
    }
    return out;
}

float FloatAt(const Bytes& b, size_t at)
{
    float f;
    std::memcpy(&f, &b[at], 4);
    return f;
}

// Four strips of 30 vertices: each packet takes two strips, the break after the first; the
// header counts the quadwords and the vector unit's vectors of each vertex form.
TEST(PS2Mesh, PacketsOfWholeStripsWithTheirHeaders)
{
    const struct {
        bool compressed, coloured;
        size_t vertexSize;
        uint32_t dmaTag, data;
    } cases[] = {
        {false, false, 32, 0x60000078u, 0x6C788025u},
        {true, false, 16, 0x6000003Cu, 0x6D788025u},
        // Three quadwords a vertex; the smaller packet (72, halves of 36) still takes two strips.
        {false, true, 48, 0x600000B4u, 0x6CB48025u},
        // Both switches: the colours keep the full form, headers and records alike.
        {true, true, 48, 0x600000B4u, 0x6CB48025u},
    };
    for (const auto& c : cases) {
        Ribbons ribbons;
        for (int r = 0; r < 4; ++r)
            ribbons.Add(30);
        const Bytes data = Chunk(DumpMesh(1, false, ribbons.Vertices, ribbons.Triangles,
                                          [&](CdbMesh& mesh) {
                                              mesh.CompressedVerts = c.compressed;
                                              mesh.ColourVerts = c.coloured;
                                          }),
                                 "LIST/DATA");
        const std::vector<Packet> packets = Packets(data);
        ASSERT_EQ(packets.size(), 2u) << c.vertexSize;
        for (const Packet& p : packets) {
            EXPECT_EQ(p.NumVerts, 60u);
            EXPECT_EQ(p.Break, 30u);
            EXPECT_EQ(p.Header[0], c.dmaTag);
            EXPECT_EQ(p.Header[1], 0u);
            EXPECT_EQ(p.Header[2], 0u);
            EXPECT_EQ(p.Header[3], c.data);
            EXPECT_EQ(p.Verts % 16, 0u);
        }
        EXPECT_EQ(packets[0].Next, packets[0].Verts + 60 * c.vertexSize);
        // Every strip's first two vertices only start it; the draw bit is U's lowest bit.
        for (size_t v = 0; v < 60; ++v) {
            const size_t at = packets[0].Verts + v * c.vertexSize;
            const unsigned u = c.vertexSize == 16 ? static_cast<unsigned>(Short(data, at + 6)) : Word(data, at + 12);
            EXPECT_EQ(u & 1, v % 30 >= 2 ? 1u : 0u) << v;
        }
        const size_t first = packets[0].Verts;
        if (c.compressed && !c.coloured) {
            // z is 0 everywhere: scale 1 and Z 0; x packs against the largest |x|, 329.
            EXPECT_EQ(packets[0].Scale[2], 1.0f);
            EXPECT_EQ(packets[0].Scale[0], 329.0f);
            std::set<short> xs;
            for (size_t v = 0; v < 60; ++v) {
                EXPECT_EQ(Short(data, first + 16 * v + 4), 0);
                xs.insert(Short(data, first + 16 * v));
            }
            EXPECT_EQ(xs.count(static_cast<short>(32767.0f / 329.0f * 29.0f)), 1u); // 2888
            EXPECT_EQ(Short(data, first + 8), 16383);                               // normal x 0.5
        } else {
            EXPECT_EQ(packets[0].Scale[0], 1.0f);
        }
        if (c.coloured) {
            EXPECT_EQ(FloatAt(data, first + 32), 63.5f);
            EXPECT_EQ(FloatAt(data, first + 36), 127.0f);
            EXPECT_EQ(FloatAt(data, first + 40), 0.0f);
        }
    }
}

// With a vertex multiple of 4 the second half starts at 32: the crossing strip's first vertex
// fills slots 30 and 31 without drawing, and three copies of the last vertex round 61 up to 64.
TEST(PS2Mesh, PaddingToTheVertexMultiple)
{
    Ribbons ribbons;
    ribbons.Add(30);
    ribbons.Add(29);
    const Bytes data = Chunk(DumpMesh(1, false, ribbons.Vertices, ribbons.Triangles,
                                      [](CdbMesh&) {
                                          CConstant* multiple = TypeDatabase.NewConstant();
                                          multiple->SetName("PS2_CONTROL_VERT_MULTIPLE");
                                          multiple->Value.Set("unsigned long", "4");
                                      }),
                             "LIST/DATA");
    const std::vector<Packet> packets = Packets(data);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].NumVerts, 64u);
    EXPECT_EQ(packets[0].Break, 32u);
    auto x = [&](size_t slot) { return FloatAt(data, packets[0].Verts + 32 * slot); };
    auto draws = [&](size_t slot) { return Word(data, packets[0].Verts + 32 * slot + 12) & 1; };
    EXPECT_EQ(x(30), x(32));
    EXPECT_EQ(x(31), x(32));
    EXPECT_GE(x(32), 100.0f); // the second ribbon's
    for (size_t slot : {30u, 31u, 32u, 33u, 61u, 62u, 63u})
        EXPECT_EQ(draws(slot), 0u) << slot;
    EXPECT_EQ(draws(34), 1u);
    EXPECT_EQ(draws(60), 1u);
    for (size_t slot : {61u, 62u, 63u})
        EXPECT_EQ(x(slot), x(60)) << slot;
}

// A layer of two-sided polygons only has no triangles: its frame points nowhere (not at a
// packet no file defines) and no packet follows.
TEST(PS2Mesh, SubMeshWithoutTrianglesHasNoPackets)
{
    const Bytes file = DumpMesh(1, false, {Vertex(0, 0, 0), Vertex(1, 0, 0)}, {{0, 1}});
    const Bytes data = Chunk(file, "LIST/DATA");
    ASSERT_EQ(data.size(), 80u + 20 + 4);
    EXPECT_EQ(Word(data, 100), 0u);
    // Left to other files: only the sub-mesh's material data, which no material of this bare
    // layer writes.
    const Bytes externs = Chunk(file, "LIST/EXTN");
    ASSERT_EQ(Word(externs, 0), 1u);
    EXPECT_EQ(Word(externs, 8), 80u + 4);
}

// Two pieces on two pages, the first continued by the second: one packet header, the frames in
// quadwords with coordinates in 1/4096 plus 8, and the texture number table behind them.
TEST(PS2Sprite, FramesInOnePacket)
{
    const Bytes file = DumpElement(1, [](CDatabase& database) {
        CdbSprite* sprite = new CdbSprite("Spr", &database);
        sprite->ControlPoints.push_back(ControlPoint{});
        SpriteFramePiece a, b;
        a.Page = "PageA", a.RenderNext = 1;
        a.Left = -2, a.Right = 3, a.Top = -1, a.Bottom = 4;
        a.uL = 0.25f, a.uR = 0.5f, a.vT = 0.125f, a.vB = 0.75f;
        b.Page = "PageB";
        b.uL = 0.0f, b.uR = 1.0f;
        sprite->Pieces = {a, b};
        sprite->XScale = 2.0f;
        CFormatSpecifier::SetModifier(sprite->Specifier.Filter, false);
        return sprite;
    });
    const Bytes data = Chunk(file, "LIST/DATA");
    ASSERT_GE(data.size(), 16u * 3 + 4);
    EXPECT_EQ(Word(data, 0), 0x60000002u); // two 16-byte frames
    EXPECT_EQ(Word(data, 8), 0u);
    EXPECT_EQ(Word(data, 12), 0x6D048005u); // four vectors
    const size_t table = Word(data, 4);     // the index table, behind the frames
    EXPECT_EQ(table, 48u);
    EXPECT_EQ(Short(data, table), 0);
    EXPECT_EQ(Short(data, table + 2), 1);
    const short first[8] = {-64, 96, -16, 64, ((8 + 1024) & ~3) | 1, 8 + 2048, 8 + 512, 8 + 3072};
    for (int m = 0; m < 8; ++m)
        EXPECT_EQ(Short(data, 16 + 2 * m), first[m]) << m;
    EXPECT_EQ(Short(data, 32 + 8), 8); // no continuation mark on the last piece
    EXPECT_EQ(Short(data, 32 + 10), 8 + 4096);
}

} // namespace

namespace {

// The generic target's records of a mesh whose one material holds a quad a, b, c, d and a
// triangle e, f, g, in that order: the mesh record, the vertex batch, the primitive batch with
// the triangle first (the engine reads a batch's triangles before its larger polygons), the
// material slot and the vertices with V flipped.
TEST(GenericMesh, QuadAndTriangleOfOneMaterial)
{
    const std::vector<CVertex> vertices = {Vertex(0, 0, 0, 0.0f, 0.0f), Vertex(1, 0, 0, 1.0f, 0.0f),
                                           Vertex(1, 1, 0, 1.0f, 1.0f), Vertex(0, 1, 0, 0.0f, 1.0f),
                                           Vertex(2, 2, 1, 0.5f, 0.25f)};
    const Bytes data = Chunk(DumpMesh(0, false, vertices, {{0, 1, 2, 3}, {3, 2, 4}},
                                      [](CdbMesh& mesh) {
                                          CMaterial* plain = new CMaterial();
                                          plain->Name = "Plain";
                                          plain->Format.ExplicitFormat = 1;
                                          mesh.Materials.push_back(plain);
                                      }),
                             "LIST/DATA");
    // CRendMesh: 72 bytes of the base, NumMeshes, NumShadows, pBatches.
    ASSERT_GE(data.size(), 80u + 52 + 12 + 16 + 16 + 5 * 32);
    EXPECT_EQ(FloatAt(data, 4 + 24), 2.0f); // MaxSize.X
    EXPECT_EQ(FloatAt(data, 4 + 44), 0.0f); // MinSize.Z
    EXPECT_EQ(Word(data, 72), 1u);          // NumMeshes 1, NumShadows 0
    // VertexBatch: 5 vertices of 32 bytes, normal at 12, coordinates at 24, transformed.
    const size_t batch = 80;
    EXPECT_EQ(Word(data, batch + 4), 5u);
    EXPECT_EQ(Word(data, batch + 16), 0u); // no edge list
    EXPECT_EQ(Word(data, batch + 24), 1u); // VERT_TRANSFORM
    EXPECT_EQ(Short(data, batch + 28), 32);
    EXPECT_EQ(Short(data, batch + 30), 0);  // PositionOffset
    EXPECT_EQ(Short(data, batch + 32), 1);  // NumPositions
    EXPECT_EQ(Short(data, batch + 36), 12); // NormalOffset
    EXPECT_EQ(Short(data, batch + 38), 1);  // NumNormals
    EXPECT_EQ(Short(data, batch + 40), 24); // TexCoordOffset
    EXPECT_EQ(Short(data, batch + 42), 1);  // NumTexCoords
    // PrimitiveBatch: two polygons, one triangle, no next batch, the slot behind the indices.
    const size_t prims = batch + 52;
    EXPECT_EQ(Short(data, prims), 2);
    EXPECT_EQ(Short(data, prims + 2), 1);
    EXPECT_EQ(Short(data, prims + 4), 0);
    EXPECT_EQ(Short(data, prims + 6), 6 + 16);
    EXPECT_EQ(Short(data, prims + 8), 1);
    const short indices[8] = {3, 2, 4, 4, 0, 1, 2, 3};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Short(data, prims + 12 + 2 * i), indices[i]) << i;
    const size_t slot = prims + 12 + 16;
    EXPECT_EQ(Short(data, slot + 14), 1 | 1024 | 2048); // lit, wrapped, filtered
    // The vertices, each position, normal and U, 1 - V.
    const size_t list = slot + 16;
    for (size_t v = 0; v < vertices.size(); ++v) {
        const size_t at = list + 32 * v;
        EXPECT_EQ(FloatAt(data, at), vertices[v].X) << v;
        EXPECT_EQ(FloatAt(data, at + 4), vertices[v].Y) << v;
        EXPECT_EQ(FloatAt(data, at + 12), 0.5f) << v;
        EXPECT_EQ(FloatAt(data, at + 24), vertices[v].U) << v;
        EXPECT_EQ(FloatAt(data, at + 28), 1.0f - vertices[v].V) << v;
    }
}

// A shadow layer beside LOD 0: a second vertex batch with positions only, its edge list (the
// two triangles share side 1 -> 2 of the first as side 0 of the second; the other sides have no
// partner) and a face normal per polygon. Its material must be named "Shadow".
TEST(GenericMesh, ShadowLayerEdgesAndFaceNormals)
{
    auto make = [](const char* shadowMaterial) {
        return [shadowMaterial](CDatabase& database) {
            CdbMesh* mesh = new CdbMesh("Mesh", &database);
            for (const char* name : {"Plain", shadowMaterial}) {
                CMaterial* material = new CMaterial();
                material->Name = name;
                material->Format.ExplicitFormat = 1;
                mesh->Materials.push_back(material);
            }
            for (const char* name : {"Mesh_LOD_0", "Mesh_SHADOW"}) {
                CGeometry* layer = new CGeometry(mesh, name);
                mesh->Geometries.push_back(layer);
                for (const CVertex& v : {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0), Vertex(1, 1, 0)})
                    layer->Verts.Verts.push_back(new CVertex(v));
                for (const std::vector<int>& corners : {std::vector<int>{0, 1, 2}, std::vector<int>{2, 1, 3}}) {
                    CPoly* poly = new CPoly();
                    poly->Verts = corners;
                    poly->Surface = layer->Name == "Mesh_SHADOW" ? shadowMaterial : "Plain";
                    poly->Normal[2] = 1.0f;
                    layer->Polys.push_back(poly);
                }
                if (layer->Name == "Mesh_SHADOW")
                    CFormatSpecifier::SetModifier(layer->Format.Shadow, true);
            }
            return mesh;
        };
    };
    const Bytes data = Chunk(DumpElement(0, make("Shadow")), "LIST/DATA");
    EXPECT_EQ(Word(data, 72), 1u | 1u << 16); // one mesh, one shadow
    const size_t shadow = 80 + 52;
    EXPECT_EQ(Word(data, shadow + 4), 4u);
    EXPECT_EQ(Word(data, shadow + 24), 1u | 16u); // VERT_TRANSFORM | VERT_SHADOWS
    EXPECT_EQ(Short(data, shadow + 28), 12);      // positions only
    EXPECT_EQ(Short(data, shadow + 38), 0);       // no normals
    EXPECT_EQ(Short(data, shadow + 42), 0);       // no coordinates
    // The LOD's batch (12 + 12 + 16) and 4 vertices of 32 bytes come first.
    const size_t edges = shadow + 52 + 40 + 4 * 32;
    EXPECT_EQ(Word(data, edges), 0x00011000u); // polygon 0 side 1 <-> polygon 1 side 0
    EXPECT_EQ(Word(data, edges + 4), 0u);
    EXPECT_EQ(FloatAt(data, edges + 8 + 8), 1.0f);
    EXPECT_EQ(FloatAt(data, edges + 20 + 8), 1.0f);

    EXPECT_FATAL(DumpElement(0, make("Dark")),
                 "Materials used for shadow layers must be named Shadow!\nGeometry: Mesh_SHADOW");
}

} // namespace
