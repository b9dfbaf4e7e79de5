// Each shape kind on its own, read from a file that the loader built in place: the segment,
// rectangle and sphere tests with their placements, the bounds, and damaged records.
#include <gtest/gtest.h>

#include <cmath>

#include "CollisionTestSupport.h"
#include "core/math/C2DMath.h"
#include "engine/world/CCylinderCollision.h"
#include "engine/world/CSimpleVolCollision.h"
#include "engine/world/CSphereCollision.h"

namespace {

const CVector kOrigin(0.0f, 0.0f, 0.0f);

TEST(CollisionRecords, LoadedShapesAreBuiltAsTheirKinds)
{
    EXPECT_NE(dynamic_cast<CSphereCollision*>(Block("Ball")->GetFirstShape()), nullptr);
    EXPECT_NE(dynamic_cast<CCylinderCollision*>(Block("Post")->GetFirstShape()), nullptr);
    CBaseCollision* volume = Block("Mixed")->GetFirstShape();
    EXPECT_NE(dynamic_cast<CSimpleVolCollision*>(volume), nullptr);
    ASSERT_NE(volume->GetNext(), nullptr);
    EXPECT_NE(dynamic_cast<CSphereCollision*>(volume->GetNext()), nullptr);
    EXPECT_EQ(volume->GetNext()->GetNext(), nullptr);
}

// The sphere's segment test solves the quadratic; the shape itself returns the tangent root
// even outside the segment, the block keeps only fractions within it.
TEST(SphereCollision, SegmentPicksTheRootThatCounts)
{
    struct Case {
        const char* what;
        CVector a, b;
        float shape, block;
    };
    const Case cases[] = {
        {"miss", {-5, 3, 0}, {5, 3, 0}, -1.0f, -1.0f},
        {"two roots: the entry", {-2, 0, 0}, {2, 0, 0}, 0.25f, 0.25f},
        {"two roots the other way", {2, 0, 0}, {-2, 0, 0}, 0.25f, 0.25f},
        {"starting inside: the exit", {0, 0, 0}, {2, 0, 0}, 0.5f, 0.5f},
        {"both roots beyond the end", {-5, 0, 0}, {-3, 0, 0}, -1.0f, -1.0f},
        {"tangent inside", {-2, 1, 0}, {2, 1, 0}, 0.5f, 0.5f},
        {"tangent before the start", {2, 1, 0}, {6, 1, 0}, -0.5f, -1.0f},
        {"tangent past the end", {-6, 1, 0}, {-2, 1, 0}, 1.5f, -1.0f},
        {"no length", {0, 0, 0}, {0, 0, 0}, -1.0f, -1.0f},
    };
    Owner owner(kOrigin);
    CCollisionData* ball = Block("Ball");
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(ball->GetFirstShape()->IsCollision(&c.a, &c.b, nullptr, &owner.render), c.shape) << c.what;
        EXPECT_FLOAT_EQ(ball->IsCollision(&c.a, &c.b, nullptr, &owner.render), c.block) << c.what;
    }
}

TEST(SphereCollision, OffsetTurnsWithTheOwnerUnlessItsXIsZero)
{
    // (2, 0, 1) under a quarter turn about z from (10, 0, 0) is (10, 2, 1).
    Owner turned(CVector(10, 0, 0), kQuarterTurn);
    CVector a(10, 5, 1), b(10, -5, 1);
    EXPECT_NEAR(Block("OffsetBall")->IsCollision(&a, &b, nullptr, &turned.render), 0.25f, 1e-4f);

    // An x offset of exactly 0 centres the sphere on the owner: its z offset is not applied.
    Owner owner(CVector(0, 0, 0));
    CVector atOwner(0, 0, 0.5f), atOffset(0, 0, 5);
    EXPECT_TRUE(Block("RaisedBall")->IsCollision(&atOwner, 0.0f, nullptr, &owner.render));
    EXPECT_FALSE(Block("RaisedBall")->IsCollision(&atOffset, 0.5f, nullptr, &owner.render));
    // The bounds do apply it.
    CVector min, max;
    Block("RaisedBall")->GetBounds(min, max, &owner.render);
    EXPECT_EQ(min, CVector(-1, -1, 4));
    EXPECT_EQ(max, CVector(1, 1, 6));
}

TEST(SphereCollision, SpheresExactlyTouchingDoNotCollide)
{
    Owner owner(kOrigin);
    CVector touching(1.5f, 0, 0), overlapping(1.49f, 0, 0);
    EXPECT_FALSE(Block("Ball")->IsCollision(&touching, 0.5f, nullptr, &owner.render));
    EXPECT_TRUE(Block("Ball")->IsCollision(&overlapping, 0.5f, nullptr, &owner.render));
}

TEST(CylinderCollision, HeightLimitsIncludeTheOtherRadius)
{
    // Top 2 and bottom 0 over an owner at z 10; the probe has radius 0.25.
    struct Case {
        float z;
        bool hit;
    };
    const Case cases[] = {{9.5f, false}, {9.75f, true}, {11.0f, true}, {12.25f, true}, {12.5f, false}};
    Owner owner(CVector(0, 0, 10));
    for (const Case& c : cases) {
        CVector point(0.5f, 0, c.z);
        EXPECT_EQ(Block("Post")->IsCollision(&point, 0.25f, nullptr, &owner.render), c.hit) << c.z;
    }
    // Circles exactly touching do not collide.
    CVector touching(1.25f, 0, 11), overlapping(1.24f, 0, 11);
    EXPECT_FALSE(Block("Post")->IsCollision(&touching, 0.25f, nullptr, &owner.render));
    EXPECT_TRUE(Block("Post")->IsCollision(&overlapping, 0.25f, nullptr, &owner.render));
}

TEST(CylinderCollision, SegmentIsFlatAndRectangleTurnsWithTheYaw)
{
    Owner owner(kOrigin, kQuarterTurn);
    CVector a(-2, 0, 100), b(2, 0, 100);
    EXPECT_FLOAT_EQ(Block("Post")->IsCollision(&a, &b, nullptr, &owner.render), 0.25f);

    // The offset (1, 0) turns a quarter for the rectangle test too: the axis is at (0, 1).
    CCollisionData* post = Block("OffsetPost");
    EXPECT_FALSE(post->IsCollision(fRECT{1.4f, -0.1f, 2.0f, 0.1f}, nullptr, &owner.render));
    EXPECT_TRUE(post->IsCollision(fRECT{-0.1f, 1.4f, 0.1f, 2.0f}, nullptr, &owner.render));
    // The sphere test turns it: the axis is at (0, 1).
    CVector turnedAxis(0, 1, 0), unturnedAxis(1, 0, 0);
    EXPECT_TRUE(post->IsCollision(&turnedAxis, 0.1f, nullptr, &owner.render));
    EXPECT_FALSE(post->IsCollision(&unturnedAxis, 0.1f, nullptr, &owner.render));
}

// The box is the square from -1 to 1, its top the plane z = 2 + 0.5 x, its bottom z = 0.
TEST(SimpleVolCollision, PointTestsFollowTheYawAndThePlanes)
{
    struct Case {
        const char* what;
        float yaw;
        CVector point;
        float radius;
        bool hit;
    };
    const Case cases[] = {
        {"inside", 0, {0.9f, 0.9f, 1}, 0, true},
        {"corner region turned out", kEighthTurn, {0.9f, 0.9f, 1}, 0, false},
        {"beyond a side", 0, {1.2f, 0, 1}, 0, false},
        {"beyond a side, within the radius", 0, {1.2f, 0, 1}, 0.25f, true},
        {"turned in", kEighthTurn, {1.2f, 0, 1}, 0, true},
        {"below the sloped top", 0, {0.8f, 0, 2.3f}, 0, true},
        {"above the sloped top", 0, {0.8f, 0, 2.5f}, 0, false},
        {"under the bottom", 0, {0, 0, -0.1f}, 0, false},
    };
    for (const Case& c : cases) {
        Owner owner(kOrigin, c.yaw);
        EXPECT_EQ(Block("Box")->IsCollision(&c.point, c.radius, nullptr, &owner.render), c.hit) << c.what;
    }
}

TEST(SimpleVolCollision, SegmentEntersThroughTheNearestEdge)
{
    CVector a(-3, 0, 0), b(3, 0, 0);
    Owner square(kOrigin);
    EXPECT_NEAR(Block("Box")->IsCollision(&a, &b, nullptr, &square.render), 1.0f / 3.0f, 1e-6f);
    // Turned an eighth, the box is a diamond reaching sqrt 2 along the axes.
    Owner diamond(kOrigin, kEighthTurn);
    CVector e(-3, 0.2f, 0), f(3, 0.2f, 0);
    EXPECT_NEAR(Block("Box")->IsCollision(&e, &f, nullptr, &diamond.render), (3.2f - std::sqrt(2.0f)) / 6.0f, 1e-5f);
    CVector c(-3, 2, 0), d(3, 2, 0);
    EXPECT_EQ(Block("Box")->IsCollision(&c, &d, nullptr, &square.render), -1.0f);
    // Two shapes on the way: the nearer one, the sphere at x = 4, answers.
    CVector from(10, 0, 0), to(-10, 0, 0);
    EXPECT_FLOAT_EQ(Block("Mixed")->IsCollision(&from, &to, nullptr, &square.render), 0.25f);
}

TEST(SimpleVolCollision, RectangleCornersAgainstTheTurnedSides)
{
    struct Case {
        const char* what;
        float yaw;
        fRECT rect;
        bool hit;
    };
    const Case cases[] = {
        {"touching the corner", 0, {1, 1, 2, 2}, true},
        {"beyond the diagonal side", kEighthTurn, {1, 1, 2, 2}, false},
        {"over the turned tip", kEighthTurn, {1.3f, -0.1f, 2, 0.1f}, true},
        {"far away", 0, {5, 5, 6, 6}, false},
        {"around the whole box", kEighthTurn, {-3, -3, 3, 3}, true},
    };
    for (const Case& c : cases) {
        Owner owner(kOrigin, c.yaw);
        EXPECT_EQ(Block("Box")->IsCollision(c.rect, nullptr, &owner.render), c.hit) << c.what;
    }
}

TEST(SimpleVolCollision, BoundsTakeInTheFirstNineVertices)
{
    // Twelve vertices on a circle of radius 2 from angle 0 in steps of 30 degrees: the ninth is
    // at 240 degrees, so the lowest y taken in is -2 sin 60, not -2.
    Owner owner(CVector(0, 0, 5));
    CVector min, max;
    Block("Dodecagon")->GetBounds(min, max, &owner.render);
    EXPECT_NEAR(min.x, -2.0f, 1e-5f);
    EXPECT_NEAR(max.x, 2.0f, 1e-5f);
    EXPECT_NEAR(max.y, 2.0f, 1e-5f);
    EXPECT_NEAR(min.y, -std::sqrt(3.0f), 1e-5f);
    EXPECT_FLOAT_EQ(min.z, 5.0f);
    EXPECT_FLOAT_EQ(max.z, 6.0f);
}

TEST(CollisionData, BoundsGrowOverTheChainFromAnEmptyBox)
{
    Owner owner(CVector(10, 0, 0));
    CVector min, max;
    Block("Mixed")->GetBounds(min, max, &owner.render);
    EXPECT_EQ(min, CVector(9, -1, -1));
    EXPECT_EQ(max, CVector(15, 1, 2));
    // A cylinder grows x and y by its radius around the turned axis, z to its faces.
    Owner turned(CVector(0, 0, 3), kQuarterTurn);
    Block("OffsetPost")->GetBounds(min, max, &turned.render);
    EXPECT_NEAR(min.x, -0.5f, 1e-5f);
    EXPECT_NEAR(max.y, 1.5f, 1e-5f);
    EXPECT_FLOAT_EQ(min.z, 2.0f);
    EXPECT_FLOAT_EQ(max.z, 4.0f);
}

TEST(CollisionData, StaticBoxTests)
{
    const CVector min(0, 0, 0), max(2, 2, 2);
    struct Case {
        CVector centre;
        float radius;
        bool hit;
    };
    const Case spheres[] = {
        {{1, 1, 1}, 0.1f, true}, {{3, 1, 1}, 1.0f, true}, {{3, 1, 1}, 0.9f, false}, {{1, 1, -0.5f}, 0.4f, false}};
    for (const Case& c : spheres)
        EXPECT_EQ(CCollisionData::IsCollision(&min, &max, &c.centre, c.radius), c.hit) << c.centre.x << c.centre.z;
    const CVector touchMin(2, 0, 0), touchMax(3, 1, 1), apartMin(0, 0, 2.5f), apartMax(1, 1, 3);
    EXPECT_TRUE(CCollisionData::IsCollision(&min, &max, &touchMin, &touchMax));
    EXPECT_FALSE(CCollisionData::IsCollision(&min, &max, &apartMin, &apartMax));
}

// Damaged blocks are cut back when the loader builds them, and nothing reads past the file.
TEST(DamagedCollision, ChainsAndVertexCountsStayInsideTheFile)
{
    Owner owner(kOrigin);
    // The overlapping chain ends after its first shape: the sphere at x = 6 is never tested.
    CVector far(6, 0, 0);
    EXPECT_EQ(Block("Overlap")->GetFirstShape()->GetNext(), nullptr);
    EXPECT_FALSE(Block("Overlap")->IsCollision(&far, 0.5f, nullptr, &owner.render));
    EXPECT_EQ(Block("Runaway")->GetFirstShape()->GetNext(), nullptr);

    auto* negative = static_cast<CSimpleVolCollision*>(Block("Negative")->GetFirstShape());
    EXPECT_EQ(negative->GetVertexCount(), 0);
    CVector a(-3, 0, 0.5f), b(3, 0, 0.5f);
    EXPECT_EQ(Block("Negative")->IsCollision(&a, &b, nullptr, &owner.render), -1.0f);

    // Four vertices and the closing copy are all the file holds of the thousand claimed.
    auto* endless = static_cast<CSimpleVolCollision*>(Block("Endless")->GetFirstShape());
    EXPECT_EQ(endless->Count, 5);
    EXPECT_NEAR(Block("Endless")->IsCollision(&a, &b, nullptr, &owner.render), 1.0f / 3.0f, 1e-6f);
}

} // namespace
