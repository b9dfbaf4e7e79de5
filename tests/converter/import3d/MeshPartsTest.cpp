// The pieces of the mesh import on their own: the triangle strip builder against the Part's
// examples and a decoding oracle, the axis conversion, welding, polygon order and normals.
#include "FatalTest.h"

#include "converter/import3d/CAxisFormat.h"
#include "converter/import3d/CTriStripper.h"
#include "converter/import3d/Geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

namespace {

typedef std::vector<int> Ints;

CTriStripper Strip(int vertices, const Ints& triangles, int cache = 25, bool join = true)
{
    CTriStripper stripper(vertices, triangles);
    EXPECT_TRUE(stripper.Build(cache, join, 32768));
    return stripper;
}

// A triangle with its smallest corner first, winding kept.
Ints Oriented(int a, int b, int c)
{
    Ints t = {a, b, c};
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    return t;
}

// Decodes a joined strip into its triangles (in input vertex numbers), skipping the
// degenerate ones that join strips.
std::map<Ints, int> Decode(const CTriStripper& stripper)
{
    std::map<Ints, int> out;
    const Ints& s = stripper.Indices();
    const Ints& old = stripper.NewToOld();
    for (size_t k = 0; k + 2 < s.size(); ++k) {
        int a = old[s[k]], b = old[s[k + 1]], c = old[s[k + 2]];
        if (a == b || b == c || a == c)
            continue;
        if (k % 2)
            std::swap(a, b);
        ++out[Oriented(a, b, c)];
    }
    return out;
}

TEST(TriStripper, PartExamples)
{
    CTriStripper one = Strip(3, {0, 1, 2});
    EXPECT_EQ(one.Indices(), (Ints{0, 1, 2}));
    EXPECT_EQ(Ints(one.NewToOld().begin(), one.NewToOld().begin() + 3), (Ints{0, 1, 2}));

    CTriStripper shared = Strip(4, {0, 1, 2, 2, 1, 3});
    EXPECT_EQ(shared.Indices().size(), 4u);

    CTriStripper apart = Strip(6, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(apart.Indices(), (Ints{0, 1, 2, 2, 2, 3, 3, 4, 5}));

    // Vertex 3 is used by no triangle: it gets no number.
    CTriStripper unused = Strip(5, {0, 1, 2, 4, 2, 1});
    const Ints& order = unused.NewToOld();
    EXPECT_EQ(std::count(order.begin(), order.end(), 3), 0);
    EXPECT_EQ(std::count(order.begin(), order.end(), -1), 2);

    CTriStripper none(3, {});
    EXPECT_FALSE(none.Build(25, true, 32768));
    EXPECT_TRUE(none.Indices().empty());

    CTriStripper unjoined = Strip(6, {0, 1, 2, 3, 4, 5}, 25, false);
    EXPECT_EQ(unjoined.Indices(), (Ints{0, 1, 2, -1, 3, 4, 5}));
}

// Grids with holes and random winding flips, strips decoded for every cache size the writers
// use: each source triangle comes out exactly once, with its winding.
TEST(TriStripper, DecodedStripsGiveBackEveryTriangleWithItsWinding)
{
    std::mt19937 random(122);
    for (int round = 0; round < 12; ++round) {
        const int side = 3 + round * 2;
        Ints triangles;
        std::map<Ints, int> expected;
        for (int j = 0; j < side; ++j) {
            for (int i = 0; i < side; ++i) {
                if (random() % 7 == 0)
                    continue;
                const int a = j * (side + 1) + i, b = a + 1, c = a + side + 1, d = c + 1;
                Ints quad[2] = {{a, c, b}, {b, c, d}};
                for (Ints t : quad) {
                    if (random() % 11 == 0)
                        std::swap(t[1], t[2]);
                    triangles.insert(triangles.end(), t.begin(), t.end());
                    ++expected[Oriented(t[0], t[1], t[2])];
                }
            }
        }
        for (int cache : {25, 13, 0}) {
            SCOPED_TRACE("side " + std::to_string(side) + " cache " + std::to_string(cache));
            const CTriStripper stripper = Strip((side + 1) * (side + 1), triangles, cache);
            EXPECT_EQ(Decode(stripper), expected);
        }
    }
}

TEST(AxisFormat, LightWavePointsConvertToTheDatabaseAxes)
{
    const CAxisFormat database("East,South,Up", 1, "XYZ");
    float v[3] = {1.0f, 2.0f, 3.0f};
    database.Convert(CAxisFormat::LightWave(), v);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], -3.0f);
    EXPECT_EQ(v[2], 2.0f);

    const CAxisFormat lower("east, up, north", 0, "zxy");
    const CAxisFormat& lw = CAxisFormat::LightWave();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lower.WordOfDirection[i], lw.WordOfDirection[i]);
        EXPECT_EQ(lower.Sign[i], lw.Sign[i]);
    }
    EXPECT_EQ(lw.OrderCode, 16);
    EXPECT_FATAL(CAxisFormat("East,South", 0, "XYZ"), "not enough tokens");

    // The same convention on both sides leaves angles as they are, within the core's sine
    // table that the XYZ rotation is built with.
    float angles[3] = {0.1f, 0.2f, 0.3f};
    database.ConvertAngles(database, angles);
    EXPECT_NEAR(angles[0], 0.1f, 3e-3);
    EXPECT_NEAR(angles[1], 0.2f, 3e-3);
    EXPECT_NEAR(angles[2], 0.3f, 3e-3);
}

CVertex* MakeVertex(float x, float y, float z, float nx, float ny, float nz)
{
    CVertex* v = new CVertex();
    v->X = x, v->Y = y, v->Z = z, v->NX = nx, v->NY = ny, v->NZ = nz;
    v->U = v->V = 0.0f;
    v->Red = v->Green = v->Blue = v->Alpha = 1.0f;
    return v;
}

TEST(VertList, WeldsOnNormalsWithinAboutEighteenDegreesOrOnPositionAlone)
{
    const float rad = 3.14159265f / 180.0f;
    for (const auto& c : {std::make_pair(10.0f, 1u), std::make_pair(20.0f, 2u)}) {
        CVertList list;
        list.Verts.push_back(MakeVertex(1, 2, 3, 0, 0, 1));
        list.Verts.push_back(MakeVertex(1, 2, 3, std::sin(c.first * rad), 0, std::cos(c.first * rad)));
        std::vector<int> map;
        list.Reduce(map, false);
        EXPECT_EQ(list.Verts.size(), c.second) << c.first << " degrees";
    }
    CVertList shadow;
    shadow.Verts.push_back(MakeVertex(1, 2, 3, 0, 0, 1));
    shadow.Verts.push_back(MakeVertex(1, 2, 3, 1, 0, 0));
    shadow.Verts.push_back(MakeVertex(4, 2, 3, 1, 0, 0));
    std::vector<int> map;
    shadow.Reduce(map, true);
    EXPECT_EQ(map, (std::vector<int>{0, 0, 1}));
    EXPECT_TRUE(IsUnset(CVertex().U));
    EXPECT_FALSE(IsUnset(0.0f));
}

TEST(Geometry, PostLoadWeldsSortsBySidesAndFlagsDegenerateNormals)
{
    CGeometry geometry(nullptr, "LOD_0");
    const float square[5][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 1.5f}};
    for (int sides : {5, 4, 3}) {
        CPoly* poly = new CPoly();
        for (int c = 0; c < sides; ++c) {
            poly->Verts.push_back(static_cast<int>(geometry.Verts.Verts.size()));
            geometry.Verts.Verts.push_back(MakeVertex(square[c][0], square[c][1], 0, 0, 0, 0));
        }
        geometry.Polys.push_back(poly);
    }
    CPoly* degenerate = new CPoly();
    for (int c = 0; c < 3; ++c) {
        degenerate->Verts.push_back(static_cast<int>(geometry.Verts.Verts.size()));
        geometry.Verts.Verts.push_back(MakeVertex(7, 7, 7, 0, 0, 0));
    }
    geometry.Polys.push_back(degenerate);
    geometry.PostLoad("mesh");
    EXPECT_EQ(geometry.Name, "mesh_LOD_0");
    ASSERT_EQ(geometry.Polys.size(), 4u);
    EXPECT_EQ(geometry.Polys[0]->Verts.size(), 3u);
    EXPECT_EQ(geometry.Polys[1]->Verts.size(), 3u);
    EXPECT_EQ(geometry.Polys[2]->Verts.size(), 4u);
    EXPECT_EQ(geometry.Polys[3]->Verts.size(), 5u);
    // The flat polygons face +Z; the degenerate one gets (1, 1, 1).
    EXPECT_NEAR(geometry.Polys[0]->Normal[2], 1.0f, 1e-6);
    EXPECT_EQ(geometry.Polys[1]->Normal[0], 1.0f);
    EXPECT_EQ(geometry.Polys[1]->Normal[1], 1.0f);
    // Equal corners with equal normals weld: 5 corners of the flat polygons and 1 of the
    // degenerate triangle remain.
    EXPECT_EQ(geometry.Verts.Verts.size(), 6u);
}

} // namespace
