// Two collision blocks against each other: one row of the kind-pair table each, the recorded
// collision points, and the block-level queries a render instance forwards.
#include <gtest/gtest.h>

#include "CollisionTestSupport.h"

namespace {

const CVector kOrigin(0.0f, 0.0f, 0.0f);

TEST(CollisionPairs, EveryPairOfKindsHasItsTest)
{
    // Box: the square -1..1 from z 0 to z 2 + 0.5 x. Post: radius 1 from z 0 to 2. Ball: radius 1.
    struct Case {
        const char* mine;
        const char* theirs;
        CVector theirPos;
        bool hit;
    };
    const Case cases[] = {
        {"Box", "Box", {1.9f, 0, 0}, true},
        {"Box", "Box", {2.1f, 0, 0}, false},
        {"Box", "Post", {1.8f, 0, 0}, true},
        {"Box", "Post", {2.1f, 0, 0}, false},
        {"Box", "Post", {1.5f, 0, 3}, false},
        {"Post", "Box", {1.8f, 0, 0}, true},
        {"Post", "Box", {-2.1f, 0, 0}, false},
        {"Box", "Ball", {1.5f, 0, 1}, true},
        {"Box", "Ball", {2.5f, 0, 1}, false},
        {"Post", "Post", {1.9f, 0, 0}, true},
        {"Post", "Post", {2.0f, 0, 0}, false},
        {"Post", "Post", {0, 0, 2.5f}, false},
        {"Post", "Ball", {1.9f, 0, 1}, true},
        {"Post", "Ball", {0, 0, 3.5f}, false},
        {"Ball", "Box", {-1.9f, 0, 0.5f}, true},
        {"Ball", "Box", {-2.1f, 0, 0.5f}, false},
        {"Ball", "Post", {0, 1.9f, 0}, true},
        {"Ball", "Ball", {1.9f, 0, 0}, true},
        {"Ball", "Ball", {2.0f, 0, 0}, false},
        // An unknown kind tests the first shape against a sphere of 0.5 at the other owner.
        {"OddShape", "Ball", {1.4f, 0, 0}, true},
        {"OddShape", "Ball", {1.5f, 0, 0}, false},
        {"Ball", "OddShape", {1.4f, 0, 0}, true},
    };
    for (const Case& c : cases) {
        Owner mine(kOrigin);
        Owner theirs(c.theirPos);
        EXPECT_EQ(Block(c.mine)->IsCollision(Block(c.theirs), &theirs.render, &mine.render), c.hit)
            << c.mine << " against " << c.theirs << " at " << c.theirPos.x << ", " << c.theirPos.y << ", "
            << c.theirPos.z;
    }
}

TEST(CollisionPairs, PrismPairTriesOnlyTheOtherSidesAndNoHeights)
{
    // A diamond off the square's corner: only the diamond's facing side separates them, and only
    // the other block's sides are tried, so the answer depends on the order. Heights are not
    // compared at all.
    Owner square(kOrigin);
    Owner diamond(CVector(1.8f, 1.8f, 10), kEighthTurn);
    EXPECT_FALSE(Block("Box")->IsCollision(Block("Box"), &diamond.render, &square.render));
    EXPECT_TRUE(Block("Box")->IsCollision(Block("Box"), &square.render, &diamond.render));
    Owner overlapping(CVector(1.5f, 1.5f, 10), kEighthTurn);
    EXPECT_TRUE(Block("Box")->IsCollision(Block("Box"), &overlapping.render, &square.render));
}

TEST(CollisionPairs, TheFirstHitRecordsBothCollisionPoints)
{
    // The offset (2, 0) of the ball turns with its owner: a quarter turn puts it at (10, 2).
    Owner mine(CVector(10, 0, 1), kQuarterTurn);
    Owner theirs(CVector(10, 2.5f, 2));
    ASSERT_TRUE(Block("OffsetBall")->IsCollision(Block("Ball"), &theirs.render, &mine.render));
    CVector myPoint, theirPoint;
    CCollisionData::LastCollisionPoints(myPoint, theirPoint);
    EXPECT_NEAR(myPoint.x, 10.0f, 1e-5f);
    EXPECT_NEAR(myPoint.y, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(myPoint.z, 1.0f);
    EXPECT_EQ(theirPoint, theirs.pos);

    // A point test records the hitting shape at its own owner and the point itself.
    Owner other(CVector(-10, 0, 0), kQuarterTurn);
    CVector point(-10, 2, 1);
    ASSERT_TRUE(Block("OffsetBall")->IsCollision(&point, 0.1f, nullptr, &other.render));
    CCollisionData::LastCollisionPoints(myPoint, theirPoint);
    EXPECT_NEAR(myPoint.x, -10.0f, 1e-5f);
    EXPECT_NEAR(myPoint.y, 2.0f, 1e-5f);
    EXPECT_EQ(theirPoint, point);
}

TEST(CollisionData, SimpleBlocksAreOneCentredShapeThatIsNotAVolume)
{
    struct Case {
        const char* block;
        bool simple;
    };
    const Case cases[] = {{"Ball", true}, {"Post", true},        {"RaisedBall", true},
                          {"Box", false}, {"OffsetBall", false}, {"Mixed", false}};
    for (const Case& c : cases)
        EXPECT_EQ(Block(c.block)->IsCollisionSimple(), c.simple) << c.block;
}

TEST(CollisionData, PlottingRadiusAndCentreTurnWithTheOwner)
{
    CCollisionData* ball = Block("OffsetBall");
    CVector centre(9, 9, 9);
    Owner turned(kOrigin, kQuarterTurn);
    EXPECT_NEAR(ball->GetPlottingRadius(&centre, &turned.render), 2.5f, 1e-5f);
    EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
    EXPECT_NEAR(centre.y, 2.0f, 1e-5f);
    EXPECT_EQ(centre.z, 0.0f);

    // Without a rotation, and for a centred block, the centre is the owner's position.
    CRender unturned;
    ball->GetPlottingRadius(&centre, &unturned);
    EXPECT_EQ(centre, kOrigin);
    centre.Set(9, 9, 9);
    Block("Ball")->GetPlottingRadius(&centre, &turned.render);
    EXPECT_EQ(centre, kOrigin);
}

TEST(CollisionData, FlagsAreTheLowBitsOfTheStoredRadius)
{
    // 1.0 is 0x3F800000; the converter puts the categories into its low five bits.
    EXPECT_EQ(Block("Ball")->GetFlags(), 0x3F800003ul);
    EXPECT_EQ(Block("Box")->GetFlags() & 0x1F, 7ul);
    EXPECT_EQ(Block("RaisedBall")->GetFlags() & 0x1F, static_cast<unsigned long>(COLLISIONDATA_SPECIAL));
}

} // namespace
