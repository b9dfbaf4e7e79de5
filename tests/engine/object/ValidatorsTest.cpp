// Handle validators and the adapters that give them the shape of query callbacks.
#include "ObjectTestSupport.h"
#include "PhysicalTestSupport.h"
#include "TestClasses.h"
#include "engine/object/GPosRot.h"
#include "engine/object/GTarget.h"
#include "engine/object/Validators.h"
#include "engine/world/CCollisionData.h"

namespace {

using ValidatorTest = ObjectTest;

HGOBJECT MakeHandled(WORD player)
{
    return GObject::Create(TProbeHandled::ClassId, HGOBJECT(player), nullptr)->GetHandle();
}

TEST_F(ValidatorTest, APlayerTestNeedsALiveObjectOfThatPlayer)
{
    const HGOBJECT three = MakeHandled(3);
    const HGOBJECT four = MakeHandled(4);
    VPlayer player(3);
    EXPECT_TRUE(EngineValidator(three, &player));
    EXPECT_FALSE(EngineValidator(four, &player));
    EXPECT_TRUE(EngineValidatorInverse(four, &player));
    VPlayer fromHandle(three);
    EXPECT_TRUE(EngineValidator(three, &fromHandle));

    GObject::GetGobject(three)->Destroy();
    EXPECT_FALSE(EngineValidator(three, &player));
}

TEST_F(ValidatorTest, AFilterListRejectsOnTheFirstValidatorThatGivesItsRejectValue)
{
    const HGOBJECT a = MakeHandled(2);
    const HGOBJECT b = MakeHandled(2);
    const HGOBJECT c = MakeHandled(5);
    VPlayer playerTwo(2);
    VEquality isB(b);
    CEngineFilterList list = {};
    list.Count = 2;
    list.Validators[0] = &playerTwo;
    list.Reject[0] = false;
    list.Validators[1] = &isB;
    list.Reject[1] = true;
    EXPECT_TRUE(EngineFilter(a, &list));
    EXPECT_FALSE(EngineFilter(b, &list));
    EXPECT_FALSE(EngineFilter(c, &list));

    list.Count = 0;
    EXPECT_TRUE(EngineFilter(c, &list));
}

HGOBJECT MakePlaced(WORD player, const CVector& position)
{
    GPosRot* object = static_cast<GPosRot*>(GObject::Create(GTarget::ClassId, HGOBJECT(player), nullptr));
    object->SetPos(position);
    return object->GetHandle();
}

// The range is horizontal and inclusive.
TEST_F(ValidatorTest, ARangeTestMeasuresFlatFromALiveCentre)
{
    const HGOBJECT centre = MakePlaced(1, CVector(10.0f, 20.0f, 0.0f));
    const HGOBJECT onEdgeHigh = MakePlaced(2, CVector(16.0f, 28.0f, 50.0f));
    const HGOBJECT justOut = MakePlaced(2, CVector(16.0f, 28.01f, 0.0f));
    const HGOBJECT probe = MakeHandled(2);
    VRange range(centre, 10.0f);
    EXPECT_FLOAT_EQ(range.RangeSq, 100.0f);
    EXPECT_TRUE(EngineValidator(onEdgeHigh, &range));
    EXPECT_FALSE(EngineValidator(justOut, &range));
    EXPECT_FALSE(EngineValidator(probe, &range)) << "not positioned";
    EXPECT_FALSE(EngineValidator(HGOBJECT(0x7FFF0002), &range)) << "no object";
    range.Set(10.1f);
    EXPECT_TRUE(EngineValidator(justOut, &range));

    // Filtered together with a player test: objects of player 2 within range.
    VPlayer playerTwo(2);
    CEngineFilterList list = {};
    list.Count = 2;
    list.Validators[0] = &range;
    list.Reject[0] = false;
    list.Validators[1] = &playerTwo;
    list.Reject[1] = false;
    EXPECT_TRUE(EngineFilter(onEdgeHigh, &list));
    EXPECT_FALSE(EngineFilter(centre, &list));
    range.Set(1.0f);
    EXPECT_FALSE(EngineFilter(onEdgeHigh, &list));

    GObject::GetGobject(centre)->Destroy();
    range.Set(100.0f);
    EXPECT_FALSE(EngineValidator(onEdgeHigh, &range)) << "the centre vanished";
}

TEST_F(ValidatorTest, HandleOffsetValidatorsLookAtTheRecordsHandle)
{
    HandleOffset record = {HGOBJECT(0x00420007), CVector(1.0f, 2.0f, 3.0f)};
    VHOEquality same(HGOBJECT(0x00420007));
    VHOEquality other(HGOBJECT(0x00420006));
    VHOPlayer seven(7);
    EXPECT_TRUE(same.Test(&record));
    EXPECT_FALSE(other.Test(&record));
    EXPECT_TRUE(seven.Test(&record));
    seven.Set(6);
    EXPECT_FALSE(seven.Test(&record));
}

TEST_F(ValidatorTest, CollidableRecordsAreThoseWhoseCollisionFlagsMeetTheMask)
{
    CollisionBlock block =
        CollisionBlock::Sphere(1.0f, COLLISIONDATA_PLOT | COLLISIONDATA_COLLIDE, CVector(0.0f, 0.0f, 0.0f), 1.0f);
    TCollidingResource resource(block.Get());
    HandleOffset record = {MakePhysical(&resource, CVector(0.0f, 0.0f, 0.0f))->GetHandle(), CVector(0.0f, 0.0f, 0.0f)};
    HandleOffset bare = {MakePhysical(nullptr, CVector(0.0f, 0.0f, 0.0f))->GetHandle(), CVector(0.0f, 0.0f, 0.0f)};
    HandleOffset target = {MakePlaced(1, CVector(0.0f, 0.0f, 0.0f)), CVector(0.0f, 0.0f, 0.0f)};
    HandleOffset gone = {HGOBJECT(0x7FFE0001), CVector(0.0f, 0.0f, 0.0f)};

    VHOCollidable colliding(COLLISIONDATA_COLLIDE | COLLISIONDATA_SPECIAL);
    VHOCollidable pathing(COLLISIONDATA_LOCALPATH);
    EXPECT_TRUE(colliding.Test(&record));
    EXPECT_FALSE(pathing.Test(&record));
    EXPECT_FALSE(colliding.Test(&bare)) << "no collision block";
    EXPECT_FALSE(colliding.Test(&target)) << "not physical";
    EXPECT_FALSE(colliding.Test(&gone));
}

// The stored object is tried at the record's position against the record's object.
TEST_F(ValidatorTest, RenderCollisionTriesTheStoredObjectAtTheRecordsPosition)
{
    CollisionBlock ball = CollisionBlock::Sphere(1.0f, COLLISIONDATA_COLLIDE, CVector(0.0f, 0.0f, 0.0f), 1.0f);
    CollisionBlock post = CollisionBlock::Cylinder(0.5f, COLLISIONDATA_COLLIDE, 0.0f, 0.0f, 2.0f, 0.0f, 0.5f);
    TCollidingResource ballResource(ball.Get());
    TCollidingResource postResource(post.Get());
    GPhysical* mover = MakePhysical(&ballResource, CVector(0.0f, 0.0f, 0.0f));
    const HGOBJECT standing = MakePhysical(&postResource, CVector(5.0f, 0.0f, 0.0f))->GetHandle();

    VHORenderCollision test(mover->GetHandle());
    struct Case {
        CVector place;
        bool hits;
    };
    const Case cases[] = {
        {CVector(0.0f, 0.0f, 0.0f), false}, // where the mover stands now
        {CVector(4.0f, 0.0f, 1.0f), true},  {CVector(5.0f, 1.4f, 1.0f), true},
        {CVector(5.0f, 1.6f, 1.0f), false}, // the radii sum to 1.5
        {CVector(5.0f, 0.0f, 3.5f), false}, // above the post
    };
    for (const Case& c : cases) {
        HandleOffset record = {standing, c.place};
        EXPECT_EQ(test.Test(&record), c.hits) << c.place.x << "," << c.place.y << "," << c.place.z;
    }
    EXPECT_EQ(mover->GetPos(), CVector(0.0f, 0.0f, 0.0f)) << "the mover stays where it was";

    HandleOffset onTarget = {MakePlaced(1, CVector(4.0f, 0.0f, 0.0f)), CVector(4.0f, 0.0f, 0.0f)};
    EXPECT_FALSE(test.Test(&onTarget)) << "not physical";
    mover->Destroy();
    HandleOffset record = {standing, CVector(5.0f, 0.0f, 1.0f)};
    EXPECT_FALSE(test.Test(&record)) << "the stored object vanished";
}

TEST_F(ValidatorTest, CoreFilterParametersCopyMemberByMember)
{
    const CCoreHandleFilterParams params(3, 10, HGOBJECT(0x00050003), 20);
    const CCoreHandleFilterParams copy = params;
    EXPECT_EQ(copy.Player, 3);
    EXPECT_EQ(copy.Value1, 10u);
    EXPECT_EQ(static_cast<DWORD>(copy.Handle), 0x00050003u);
    EXPECT_EQ(copy.Value2, 20u);
    EXPECT_EQ(CCoreHandleFilterParams().Player, 0);
}

} // namespace
