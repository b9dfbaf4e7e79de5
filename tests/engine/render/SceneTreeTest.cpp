// The scene tree and view culling: where renders are plotted, what a layer draws for a known
// frustum against an independent clip-space test of every render, and the adaptive rebuild.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "engine/render/COctTree.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

namespace {

// Records which renders it was asked to draw.
class CountingResource : public CRendResource {
public:
    void Render(CRender* render) override { Drawn.insert(render); }
    std::set<CRender*> Drawn;
};

// A resource with a local box of +-1 on each axis.
class BoxResource : public CountingResource {
public:
    int GetSize(CVector& min, CVector& max) override
    {
        min = CVector(-1, -1, -1);
        max = CVector(1, 1, 1);
        return 1;
    }
};

struct Thing {
    CVector Pos;
    CRender Render;
};

// The camera at (50, -40, 30) looking at (50, 60, 0) along +y, z up; 40 degrees vertically.
void LoadWorldCamera()
{
    CMatrix camera;
    camera.LookAt(CVector(50, -40, 30), CVector(50, 60, 0), CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(40.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 300.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
}

// Independent of the tree: the point in homogeneous clip coordinates of the camera, with the
// frustum's depth range (the device's depth z' = (z + w) / 2 from 0 to w, and the near side
// where z' >= -w). The margin keeps points that sit on a plane out of both answers.
void ClipMargins(const CVector& p, float* margins)
{
    const CVector4& h = World2View(0, p);
    const float zd = (h.z + h.w) / 2;
    const float m[6] = {h.w - h.x, h.w + h.x, h.w - h.y, h.w + h.y, h.w - zd, h.w + zd};
    for (int i = 0; i < 6; ++i)
        margins[i] = m[i];
}

enum Seen { SEEN_OUT, SEEN_IN, SEEN_EDGE };
Seen ClipTest(const CVector& p)
{
    float margins[6];
    ClipMargins(p, margins);
    Seen seen = SEEN_IN;
    for (float m : margins) {
        if (m < -1e-3f)
            return SEEN_OUT;
        if (m < 1e-3f)
            seen = SEEN_EDGE;
    }
    return seen;
}

class SceneTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTransformState();
        COctTree::EmptyAll();
        COctTree::BuildUniform(CVector(-1, -2, -50), CVector(105, 155, 225), 4);
        LoadWorldCamera();
        CRenderer::CurrentResViewport = 0;
    }
    void TearDown() override
    {
        for (Thing& t : things)
            t.Render.Unlink();
        COctTree::EmptyAll();
        CRenderer::CurrentResViewport = -1;
    }

    void Scatter(int count, CRendResource* resource)
    {
        things = std::vector<Thing>(count);
        std::srand(7);
        for (Thing& t : things) {
            t.Pos = CVector(float(std::rand() % 10000) / 100.0f, float(std::rand() % 15000) / 100.0f,
                            float(std::rand() % 6000) / 100.0f - 20.0f);
            t.Render.Attach(&t.Pos, nullptr, nullptr, nullptr);
            t.Render.Attach(resource, 0);
            t.Render.Link();
        }
    }

    // Every render the clip test sees is drawn, and none it rules out.
    void ExpectDrawnExactlySeen(const CountingResource& resource)
    {
        int seen = 0;
        for (Thing& t : things) {
            Seen s = ClipTest(t.Pos);
            if (s == SEEN_EDGE)
                continue;
            seen += s == SEEN_IN;
            EXPECT_EQ(resource.Drawn.count(&t.Render), s == SEEN_IN ? 1u : 0u)
                << t.Pos.x << "," << t.Pos.y << "," << t.Pos.z;
        }
        EXPECT_GT(seen, 10);
        EXPECT_LT(seen, int(things.size()) - 10);
    }

    void Draw()
    {
        ViewFrustum frustum;
        COctTree::BuildFrustum(0, 0, 0, 640, 480, frustum);
        COctTree::CullAndDraw(0, frustum);
    }

    std::vector<Thing> things;
};

TEST_F(SceneTreeTest, DrawsExactlyTheRendersTheCameraSees)
{
    CountingResource points;
    Scatter(400, &points);
    Draw();
    ExpectDrawnExactlySeen(points);
}

TEST_F(SceneTreeTest, RebuiltTreeAfterMovesAgreesWithTheClipTest)
{
    BoxResource boxes;
    Scatter(300, &boxes);
    for (size_t i = 0; i < things.size(); ++i) {
        things[i].Pos.x = 100.0f - things[i].Pos.x;
        things[i].Pos.z += float(i % 7);
    }
    COctTree::Rebuild();
    EXPECT_NE(COctTree::GetRoot()->pChildren, nullptr);
    Draw();
    // A box wholly inside is drawn; a box wholly outside one plane is not.
    int inside = 0, outside = 0;
    for (Thing& t : things) {
        bool allIn = true;
        bool allOut[6] = {true, true, true, true, true, true};
        for (int k = 0; k < 8; ++k) {
            CVector c(t.Pos.x + ((k & 1) ? 1 : -1), t.Pos.y + ((k & 2) ? 1 : -1), t.Pos.z + ((k & 4) ? 1 : -1));
            float margins[6];
            ClipMargins(c, margins);
            for (int p = 0; p < 6; ++p) {
                allIn &= margins[p] > 1e-3f;
                allOut[p] &= margins[p] < -1e-3f;
            }
        }
        bool out = false;
        for (bool o : allOut)
            out |= o;
        if (allIn) {
            ++inside;
            EXPECT_EQ(boxes.Drawn.count(&t.Render), 1u) << t.Pos.x << "," << t.Pos.y << "," << t.Pos.z;
        }
        if (out) {
            ++outside;
            EXPECT_EQ(boxes.Drawn.count(&t.Render), 0u) << t.Pos.x << "," << t.Pos.y << "," << t.Pos.z;
        }
    }
    EXPECT_GT(inside, 10);
    EXPECT_GT(outside, 10);
}

TEST_F(SceneTreeTest, PlacesRendersByTheirBoxes)
{
    CountingResource resource;
    things = std::vector<Thing>(4);
    // The root's split is its centre (52, 76.5, 87.5); a point box on it goes to the low side.
    things[0].Pos = CVector(52, 76.5f, 87.5f);
    // A box larger than the root goes to the unsorted list.
    things[1].Pos = CVector(50, 50, 50);
    things[1].Render.SetCullRadius(500);
    // A never-culled render with a position is unsorted too.
    things[2].Pos = CVector(10, 10, 10);
    things[2].Render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    // Another viewport's render never enters the tree.
    things[3].Pos = CVector(10, 10, 10);
    things[3].Render.SetViewport(3);
    for (Thing& t : things) {
        t.Render.Attach(&t.Pos, nullptr, nullptr, nullptr);
        t.Render.Attach(&resource, 0);
        t.Render.Link();
    }
    const COctTreeNode* node = things[0].Render.GetTreeNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Centre + node->HalfSize, things[0].Pos);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(things[i].Render.GetTreeNode()->pChildren, nullptr);
    EXPECT_EQ(things[1].Render.GetTreeNode(), things[2].Render.GetTreeNode()); // viewport 0's unsorted list
    // Render viewports reach 31, beyond the eight cameras: each has an unsorted list of its own.
    CVector far(1, 1, 1);
    CRender high;
    high.Attach(&far, nullptr, nullptr, nullptr);
    high.SetViewport(20);
    high.Link();
    EXPECT_EQ(COctTree::GetUnsorted(20), &high);
    high.Unlink();
    EXPECT_EQ(COctTree::GetUnsorted(20), nullptr);
    // Never-culled and oversized renders are drawn whatever the camera looks at.
    CMatrix away;
    away.LookAt(CVector(0, 0, 0), CVector(-10, -10, 0), CVector(0, 0, 1));
    LoadCamera(0, away);
    Draw();
    EXPECT_EQ(resource.Drawn.count(&things[1].Render), 1u);
    EXPECT_EQ(resource.Drawn.count(&things[2].Render), 1u);
    EXPECT_EQ(resource.Drawn.count(&things[3].Render), 0u); // not the layer's viewport
    CRenderer::CurrentResViewport = 3;
    resource.Drawn.clear();
    ViewFrustum frustum;
    COctTree::BuildFrustum(0, 0, 0, 640, 480, frustum);
    COctTree::CullAndDraw(3, frustum);
    EXPECT_EQ(resource.Drawn, std::set<CRender*>{&things[3].Render});
}

// With no box of positive volume the bounds stay empty, nothing fits the root, and every
// render of viewport 0 is drawn from the unsorted list.
TEST_F(SceneTreeTest, RebuildWithoutVolumesLeavesEverythingUnsorted)
{
    CountingResource points;
    Scatter(50, &points);
    COctTree::Rebuild();
    size_t unsorted = 0;
    for (CRender* r = COctTree::GetUnsorted(0); r; r = r->GetTreeNext())
        ++unsorted;
    CMatrix away;
    away.LookAt(CVector(0, 0, 0), CVector(-10, -10, 0), CVector(0, 0, 1));
    LoadCamera(0, away);
    Draw();
    EXPECT_EQ(points.Drawn.size(), things.size());
    EXPECT_EQ(unsorted, things.size());
}

} // namespace
