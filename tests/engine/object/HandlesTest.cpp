// Object handles: per-player ranges, explicit and reserved handles, reuse and exhaustion.
#include "ObjectTestSupport.h"
#include "TestClasses.h"

namespace {

using HandleTest = ObjectTest;

GObject* const kReserved = reinterpret_cast<GObject*>(1);

TEST_F(HandleTest, EachPlayerStartsAtTheBeginningOfItsRange)
{
    struct Case {
        WORD player;
        DWORD first;
    };
    const Case cases[] = {{0, 0x00010000}, {3, 0x4CCC0003}, {9, 0xE6620009}};
    for (const Case& c : cases) {
        GObject* object = GObject::Create(TProbeHandled::ClassId, HGOBJECT(c.player), nullptr);
        EXPECT_EQ(static_cast<DWORD>(object->GetHandle()), c.first) << c.player;
        EXPECT_EQ(GObject::GetGobject(object->GetHandle()), object);
    }
}

TEST_F(HandleTest, ChildrenTakeTheirParentsPlayerAndUnhandledObjectsKeepOnlyThePlayer)
{
    GObject* parent = GObject::Create(TProbeHandled::ClassId, HGOBJECT(4), nullptr);
    GObject* child = parent->Create(TProbeHandled::ClassId, nullptr);
    GObject* plain = parent->Create(TProbe::ClassId, nullptr);
    EXPECT_EQ(child->GetHandle().Player(), 4);
    EXPECT_EQ(child->GetHandle().Id(), 0x6666);
    EXPECT_EQ(static_cast<DWORD>(plain->GetHandle()), 4u);
}

TEST_F(HandleTest, TheCursorWrapsToTheStartOfTheRangeAndTakesTheFirstFreeSlot)
{
    GObject* first = GObject::Create(TProbeHandled::ClassId, 0, nullptr);
    GObject::HandleInsertCache[0] = 0x1999; // the range's last index
    GObject* last = GObject::Create(TProbeHandled::ClassId, 0, nullptr);
    EXPECT_EQ(last->GetHandle().Id(), 0x1999);
    GObject* wrapped = GObject::Create(TProbeHandled::ClassId, 0, nullptr);
    EXPECT_EQ(wrapped->GetHandle().Id(), 2); // index 1 is still taken by first
    EXPECT_EQ(first->GetHandle().Id(), 1);
}

TEST_F(HandleTest, AHandleWithIndexZeroIsNullWhateverItsPlayer)
{
    const HGOBJECT handle(0x00000005);
    EXPECT_TRUE(handle.IsNull());
    EXPECT_EQ(handle.GetGobject(), nullptr);
    EXPECT_EQ(handle.Player(), 5);
}

TEST_F(HandleTest, NextHandleOnlyLooksAhead)
{
    const HGOBJECT next = GObject::GetNextHandle(2);
    EXPECT_EQ(GObject::GetNextHandle(2), next);
    GObject* object = GObject::Create(TProbeHandled::ClassId, HGOBJECT(2), nullptr);
    EXPECT_EQ(object->GetHandle(), next);
    EXPECT_NE(GObject::GetNextHandle(2), next);
}

TEST_F(HandleTest, AReservedSlotResolvesToNothingAndGoesToTheObjectWithExactlyThatHandle)
{
    const HGOBJECT reserved(0x00050000);
    GObject::TheHandleArray[reserved.Id()] = kReserved;
    EXPECT_EQ(GObject::GetGobject(reserved), nullptr);

    GObject* searched = GObject::Create(TProbeHandled::ClassId, 0, nullptr);
    EXPECT_EQ(searched->GetHandle().Id(), 1);
    GObject* exact = GObject::Create(TProbeHandled::ClassId, reserved, nullptr);
    EXPECT_EQ(exact->GetHandle(), reserved);
    EXPECT_EQ(GObject::GetGobject(reserved), exact);
}

TEST_F(HandleTest, ReservedSlotsAreSkippedByTheSearchForFreeIndices)
{
    GObject::TheHandleArray[1] = kReserved;
    GObject* object = GObject::Create(TProbeHandled::ClassId, 0, nullptr);
    EXPECT_EQ(object->GetHandle().Id(), 2);
}

// An object displaced from its slot by an explicit handle must not clear the slot of the
// object that took it when it is destroyed later.
TEST_F(HandleTest, DestroyingADisplacedObjectLeavesTheNewOccupantMapped)
{
    const HGOBJECT handle(0x01230001);
    GObject* displaced = GObject::Create(TProbeHandled::ClassId, handle, nullptr);
    GObject* occupant = GObject::Create(TProbeHandled::ClassId, handle, nullptr);
    EXPECT_EQ(GObject::GetGobject(handle), occupant);
    displaced->Destroy();
    EXPECT_EQ(GObject::GetGobject(handle), occupant);
    occupant->Destroy();
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
}

TEST_F(HandleTest, ClearHandleEmptiesTheSlotAndKeepsThePlayer)
{
    GObject* object = GObject::Create(TProbeHandled::ClassId, HGOBJECT(6), nullptr);
    const HGOBJECT handle = object->GetHandle();
    object->ClearHandle();
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
    EXPECT_EQ(static_cast<DWORD>(object->GetHandle()), 6u);
}

TEST_F(HandleTest, AFullRangeRefusesTheCreationWithADiagnosticAndAFreedIndexIsReused)
{
    const int rangeSize = 65534 - 58978; // player 9
    std::vector<GObject*> objects;
    for (int i = 0; i < rangeSize; ++i)
        objects.push_back(GObject::Create(TProbeHandled::ClassId, HGOBJECT(9), nullptr));
    ASSERT_NE(objects.back(), nullptr);
    EXPECT_EQ(objects.back()->GetHandle().Id(), 65533);
    const int before = CountRootChildren();

    GObject* refused = nullptr;
    const std::string printed =
        CaptureStdout([&] { refused = GObject::Create(TProbeHandled::ClassId, HGOBJECT(9), nullptr); });
    EXPECT_EQ(refused, nullptr);
    EXPECT_NE(printed.find("no free handle left for player 9"), std::string::npos) << printed;
    EXPECT_EQ(CountRootChildren(), before);
    EXPECT_TRUE(GObject::GetNextHandle(9).IsNull());

    const HGOBJECT freed = objects[100]->GetHandle();
    objects[100]->Destroy();
    GObject* reused = GObject::Create(TProbeHandled::ClassId, HGOBJECT(9), nullptr);
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->GetHandle(), freed);
}

TEST_F(HandleTest, PrototypesNeverGetHandles)
{
    EXPECT_GT(TPrototypeWitness::PrototypesBuilt, 0);
    EXPECT_EQ(TPrototypeWitness::HandleSeenAsPrototype, 0u);
    GObject* live = GObject::Create(TPrototypeWitness::ClassId, 0, nullptr);
    EXPECT_FALSE(live->GetHandle().IsNull());
}

} // namespace
