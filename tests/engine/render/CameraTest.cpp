// The camera viewports and the matrix stack: result codes, the stack's bounds, projection to
// the screen and back, the frustum test's boundary and the transform cache.
#include <gtest/gtest.h>

#include "engine/render/Camera.h"

namespace {

CMatrix Translation(float x, float y, float z)
{
    CMatrix m;
    m.SetIdentity();
    m.m12 = x;
    m.m13 = y;
    m.m14 = z;
    return m;
}

// A camera at the origin looking along +z with y up, and a 90-degree projection whose y
// column is negated so that up is the top of the y-down screen.
void LoadTestCamera(int viewport)
{
    CMatrix camera;
    camera.SetIdentity();
    LoadCamera(viewport, camera);
    CMatrix projection;
    projection.Perspective(3.14159265f / 2, 640.0f / 480.0f, 1.0f, 100.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(viewport, projection);
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTransformState(); }
    void TearDown() override { ResetTransformState(); }
};

TEST_F(CameraTest, StackBoundsAndResultCodes)
{
    EXPECT_EQ(PopMatrix(), 2);
    EXPECT_EQ(MultMatrix(Translation(1, 0, 0)), 2);
    // An empty stack takes the given matrix unchanged.
    EXPECT_EQ(PushMultMatrix(Translation(1, 2, 3)), 0);
    EXPECT_EQ(GetTopMatrix().m12, 1.0f);
    EXPECT_EQ(PushMultMatrix(Translation(1, 0, 0)), 0);
    EXPECT_EQ(GetTopMatrix().m12, 2.0f);
    ResetMatrixStack();
    for (int i = 0; i < kMatrixStackDepth; ++i)
        ASSERT_EQ(PushLoadMatrix(Translation(float(i), 0, 0)), 0);
    EXPECT_EQ(PushLoadMatrix(Translation(99, 0, 0)), 1);
    EXPECT_EQ(PushMatrix(), 1);
    EXPECT_EQ(PushIdentityMatrix(), 1);
    EXPECT_EQ(GetTopMatrix().m12, 31.0f);
    for (int i = 0; i < kMatrixStackDepth; ++i)
        ASSERT_EQ(PopMatrix(), 0);
    EXPECT_EQ(PopMatrix(), 2);

    CMatrix m;
    struct Case {
        int result;
        int expected;
    } cases[] = {
        {LoadCamera(8, m), 3},
        {LoadProjection(-1, m), 3},
        {SetViewport(8, 0, 0, 1, 1, 0, 1), 3},
        {SelectViewport(8), 3},
        {SelectViewport(0x27), 0},
        {GetCurrentViewport(), 7},
        {GetCurrentViewportFlags(), 0x27},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, c.expected);
    EXPECT_EQ(GetProjection(8), nullptr);
    CVector a, b;
    EXPECT_EQ(Screen2World(9, CVector(0, 0, 0), a, b), 3);
    EXPECT_EQ(IsInFrustrum(9, CVector(0, 0, 5), 1.0f), 0);
}

TEST_F(CameraTest, SelectKeepsViewportOnFailureAndStoresFlagBits)
{
    SelectViewport(3);
    EXPECT_EQ(SelectViewport(8), 3);
    EXPECT_EQ(GetCurrentViewport(), 3);
    EXPECT_EQ(SelectViewport(0x20), 0);
    EXPECT_EQ(GetCurrentViewport(), 0);
    EXPECT_EQ(GetCurrentViewportFlags(), 0x20);
}

TEST_F(CameraTest, ProjectsToTheScreenAndCastsBack)
{
    LoadTestCamera(0);
    float invW = 0;
    // Straight ahead lands on the centre; up (+y) lands above it, right (+x) to its right.
    CVector centre = World2Screen(0, CVector(0, 0, 10), invW);
    EXPECT_NEAR(centre.x, 320.0f, 1e-3);
    EXPECT_NEAR(centre.y, 240.0f, 1e-3);
    EXPECT_FLOAT_EQ(invW, 0.1f);
    CVector up = World2Screen(0, CVector(2, 3, 10), invW);
    EXPECT_GT(up.x, 320.0f);
    EXPECT_LT(up.y, 240.0f);
    // 90 degrees vertically: y = z is the top edge.
    EXPECT_NEAR(World2Screen(0, CVector(0, 10, 10), invW).y, 0.0f, 1e-3);

    CVector nearPoint, farPoint;
    ASSERT_EQ(Screen2World(0, up, nearPoint, farPoint), 0);
    // The cast ray passes through the projected point.
    CVector d = farPoint - nearPoint;
    float t = (10.0f - nearPoint.z) / d.z;
    EXPECT_NEAR(nearPoint.x + t * d.x, 2.0f, 1e-3);
    EXPECT_NEAR(nearPoint.y + t * d.y, 3.0f, 1e-3);

    // A point on the camera plane has w = 0.
    World2Screen(0, CVector(1, 1, 0), invW);
    EXPECT_EQ(invW, 1e38f);
    float sx = 0, sy = 0;
    GetScale(0, CVector(0, 0, 10), sx, sy);
    EXPECT_NEAR(sx, 320.0f * (480.0f / 640.0f) / 10.0f, 1e-3);
}

TEST_F(CameraTest, FrustumBoundaryIsOutside)
{
    CMatrix identity;
    identity.SetIdentity();
    LoadCamera(2, identity);
    LoadProjection(2, identity); // w = 1 everywhere
    struct Case {
        CVector centre;
        float radius;
        int inside;
    } cases[] = {
        {CVector(0.5f, 0, 0), 0.0f, 1}, {CVector(1.0f, 0, 0), 0.0f, 0},  {CVector(0, -1.0f, 0), 0.0f, 0},
        {CVector(0, 0, 1.0f), 0.0f, 0}, {CVector(0, 0, -1.0f), 0.0f, 0}, {CVector(1.4f, 0, 0), 0.5f, 1},
        {CVector(1.5f, 0, 0), 0.5f, 0}, {CVector(0, 0, -1.2f), 0.5f, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInFrustrum(2, c.centre, c.radius), c.inside)
            << c.centre.x << "," << c.centre.y << "," << c.centre.z;
    // A projection that mirrors y (as a screen whose y runs down needs) keeps the same bounds.
    CMatrix mirrored = identity;
    mirrored.m5 = -1.0f;
    LoadProjection(2, mirrored);
    EXPECT_EQ(IsInFrustrum(2, CVector(0, 1.4f, 0), 0.5f), 1);
    EXPECT_EQ(IsInFrustrum(2, CVector(0, -1.4f, 0), 0.5f), 1);
    EXPECT_EQ(IsInFrustrum(2, CVector(0, 1.5f, 0), 0.5f), 0);
}

// Changing the current viewport's rectangle must reach TransformPoint at once, as a new camera
// or projection does.
TEST_F(CameraTest, TransformCacheFollowsEveryChange)
{
    LoadTestCamera(0);
    SelectViewport(0);
    PushIdentityMatrix();
    float invW = 0;
    const CVector p(0, 0, 10);
    EXPECT_NEAR(TransformPoint(0, p, invW).x, 320.0f, 1e-3);
    SetViewport(0, 100, 0, 200, 480, 0, 1);
    EXPECT_NEAR(TransformPoint(0, p, invW).x, 200.0f, 1e-3);
    MultMatrix(Translation(10, 0, 0));
    EXPECT_NEAR(TransformPoint(0, p, invW).x, World2Screen(0, CVector(10, 0, 10), invW).x, 1e-3);
    PushMatrix(); // a copy of the top: the cache stays right
    EXPECT_NEAR(TransformPoint(0, p, invW).x, World2Screen(0, CVector(10, 0, 10), invW).x, 1e-3);
    // Another viewport projects through its own matrices, not the cached product.
    LoadTestCamera(1);
    EXPECT_NEAR(TransformPoint(1, p, invW).x, World2Screen(1, CVector(10, 0, 10), invW).x, 1e-3);
}

} // namespace
