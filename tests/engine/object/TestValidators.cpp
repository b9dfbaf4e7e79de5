// Handle validators and the adapters that give them the shape of query callbacks.
#include "ObjectTestSupport.h"
#include "TestClasses.h"
#include "engine/object/Validators.h"

namespace {

using ValidatorTest = ObjectTest;

HGOBJECT MakeHandled(WORD player) { return GObject::Create(TProbeHandled::ClassId, HGOBJECT(player), nullptr)->GetHandle(); }

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
