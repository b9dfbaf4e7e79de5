// The console writers against their worked examples. The icon: the Shift-JIS table, the
// 964-byte description, and a cube's model (36 corners, coordinates scaled so the largest is
// 10 x 1024, the y and z swap, V flipped, a texture-less first material giving kind 3 and no
// texels). The Xbox mesh: packed positions against each frame's extent, clamped coordinates.
#include "ZelFiles.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/PS2Icon.h"
#include "engine/include/ZelFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

using namespace zelfiles;

namespace {

// Dumps the mesh of one layer "<label>_LOD_0" for a target machine; returns the file's bytes.
Bytes DumpMesh(unsigned long target, bool icon, const std::vector<CVertex>& vertices,
               const std::vector<std::vector<int>>& polygons)
{
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    const std::string path = ScratchFolder() + "/mesh.zel";
    {
        CDatabase database;
        database.TargetMachine = target;
        CdbMesh* mesh = new CdbMesh("Mesh", &database);
        mesh->IconFlag = icon ? 1 : 0;
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
        CZelWriter writer;
        writer.SetCompression(false);
        writer.Open(path.c_str());
        writer.BeginList(ZelFormat::kBlockPcx);
        mesh->Dump(writer);
        writer.EndList();
        writer.Finish();
    }
    TypeDatabase.Reset();
    return ReadAll(path);
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

} // namespace
