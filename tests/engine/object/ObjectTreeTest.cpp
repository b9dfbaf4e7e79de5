// The object tree: sibling order, traversal order, destruction requested during processing,
// sleeping, the level-wide sweep and the tree search.
#include "ObjectTestSupport.h"
#include "TestClasses.h"

namespace {

class ObjectTreeTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        TProbe::ProcessLog.clear();
        TProbe::DestroyLog.clear();
    }
    static std::vector<int> ChildTags(GObject* parent)
    {
        std::vector<int> tags;
        for (GObject* child = parent->pChild; child != nullptr; child = child->pNext)
            tags.push_back(static_cast<TProbe*>(child)->Tag);
        return tags;
    }
};

TEST_F(ObjectTreeTest, EqualPrioritiesGoNewestFirstUnlessTheClassAsksToGoAfterItsEquals)
{
    TProbe* parent = MakeProbe(0);
    for (int tag = 1; tag <= 3; ++tag)
        MakeProbe(tag, parent);
    EXPECT_EQ(ChildTags(parent), (std::vector<int>{3, 2, 1}));

    TProbe* other = MakeProbe(10);
    for (int tag = 11; tag <= 13; ++tag)
        MakeProbe(tag, other, TProbeAfterEquals::ClassId);
    EXPECT_EQ(ChildTags(other), (std::vector<int>{11, 12, 13}));
}

TEST_F(ObjectTreeTest, SiblingsStayInDescendingPriorityWhenPrioritiesChange)
{
    TProbe* parent = MakeProbe(0);
    TProbe* low = MakeProbe(1, parent);
    TProbe* high = MakeProbe(2, parent);
    TProbe* middle = MakeProbe(3, parent);
    low->ChangePriority(0x10);
    high->ChangePriority(0xFFFF0000); // compared unsigned
    middle->ChangePriority(0x9000);
    EXPECT_EQ(ChildTags(parent), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(low->GetParent(), parent);
}

TEST_F(ObjectTreeTest, TraversalRunsChildrenBeforeParentAndSiblingsInListOrder)
{
    TProbe* a = MakeProbe(1);
    MakeProbe(11, a);
    MakeProbe(12, a); // newest first: 12 runs before 11
    TProbe* b = MakeProbe(2);
    MakeProbe(21, b);

    RunFrame();
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{21, 2, 12, 11, 1}));
    EXPECT_EQ(b->GetIndex(), 2);
    EXPECT_EQ(a->GetIndex(), 5);
    EXPECT_EQ(GObject::pCurrentProcess, nullptr);
}

TEST_F(ObjectTreeTest, SelfDestructionWaitsForProcessToReturnAndTheNextSiblingStillRuns)
{
    TProbe* parent = MakeProbe(0);
    MakeProbe(3, parent);
    TProbe* dying = MakeProbe(2, parent);
    MakeProbe(1, parent);
    dying->Act = TProbe::DESTROY_SELF;

    RunFrame();
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{2}));
    EXPECT_EQ(ChildTags(parent), (std::vector<int>{1, 3}));
}

TEST_F(ObjectTreeTest, DestroyingAGrandparentSkipsTheRestOfItsSubtreeAndGoesOnWithItsNextSibling)
{
    TProbe* later = MakeProbe(9);
    TProbe* grandparent = MakeProbe(1);
    TProbe* parent = MakeProbe(2, grandparent);
    MakeProbe(4, parent);
    TProbe* actor = MakeProbe(3, parent);
    MakeProbe(5, grandparent); // processed before parent's subtree: newest first
    actor->Act = TProbe::DESTROY_TARGET;
    actor->pTarget = grandparent;

    TProbe::ProcessLog.clear();
    RunFrame();
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{5, 3, 9}));
    EXPECT_EQ(TProbe::DestroyLog.size(), 5u);
    EXPECT_EQ(ChildTags(GObject::GetRoot()), (std::vector<int>{9}));
    EXPECT_EQ(later->Status, STATUS_LIVE);
}

TEST_F(ObjectTreeTest, DestroyingAnUnrelatedNextSiblingTakesEffectAtOnce)
{
    TProbe* parent = MakeProbe(0);
    MakeProbe(3, parent);
    TProbe* victim = MakeProbe(2, parent);
    TProbe* actor = MakeProbe(1, parent);
    actor->Act = TProbe::DESTROY_TARGET;
    actor->pTarget = victim;

    RunFrame();
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1, 3, 0}));
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{2}));
}

// The deferred destruction remembers the next sibling; destroying that sibling at once must
// move the traversal on to the one after it instead of into freed memory.
TEST_F(ObjectTreeTest, APendingSelfDestructionSurvivesTheDestructionOfTheRememberedSibling)
{
    TProbe* parent = MakeProbe(0);
    MakeProbe(3, parent);
    TProbe* victim = MakeProbe(2, parent);
    TProbe* actor = MakeProbe(1, parent);
    actor->Act = TProbe::DESTROY_SELF_THEN_TARGET;
    actor->pTarget = victim;

    RunFrame();
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1, 3, 0}));
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{2, 1}));
    EXPECT_EQ(ChildTags(parent), (std::vector<int>{3}));
}

// Two requests in one Process for the object and an ancestor merge into the highest one.
TEST_F(ObjectTreeTest, SecondRequestsForTheCurrentLineOfAncestorsMergeIntoTheHighest)
{
    for (int order = 0; order < 2; ++order) {
        TProbe::ProcessLog.clear();
        TProbe::DestroyLog.clear();
        TProbe* after = MakeProbe(100);
        TProbe* parent = MakeProbe(10);
        TProbe* actor = MakeProbe(11, parent);
        actor->Act = order == 0 ? TProbe::DESTROY_SELF_THEN_TARGET : TProbe::DESTROY_TARGET_THEN_SELF;
        actor->pTarget = parent;

        RunFrame();
        EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{11, 100})) << order;
        EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{11, 10})) << order;
        EXPECT_EQ(ChildTags(GObject::GetRoot()), (std::vector<int>{100})) << order;
        after->Destroy();
    }
}

TEST_F(ObjectTreeTest, ASleepingObjectAndItsSubtreeWakeWhenTheSummedFrameTimesPassTheSleep)
{
    TProbe* sleeper = MakeProbe(1);
    MakeProbe(2, sleeper);
    sleeper->Sleep(0.1f);

    const float frames[] = {0.04f, 0.04f, 0.04f};
    std::vector<size_t> logSizes;
    for (float frame : frames) {
        RunFrame(frame);
        logSizes.push_back(TProbe::ProcessLog.size());
    }
    EXPECT_EQ(logSizes, (std::vector<size_t>{0, 0, 2}));
    EXPECT_EQ(sleeper->SleepTime, 0.0f);
}

TEST_F(ObjectTreeTest, ATimerLandingExactlyOnZeroSkipsThatFrameAndRunsInTheNext)
{
    TProbe* sleeper = MakeProbe(1);
    sleeper->Sleep(0.5f);
    RunFrame(0.25f);
    RunFrame(0.25f);
    EXPECT_TRUE(TProbe::ProcessLog.empty());
    RunFrame(0.25f);
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1}));
}

TEST_F(ObjectTreeTest, SleepingForeverLastsUntilWakeup)
{
    TProbe* sleeper = MakeProbe(1);
    sleeper->Sleep(SLEEP_FOREVER);
    EXPECT_TRUE(sleeper->Asleep());
    for (int frame = 0; frame < 3; ++frame)
        RunFrame(1000.0f);
    EXPECT_TRUE(TProbe::ProcessLog.empty());

    sleeper->Wakeup();
    EXPECT_EQ(sleeper->Status, STATUS_WOKEN);
    RunFrame(0.02f);
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1}));
}

// Sweeps remember each next sibling before destroying; an override that destroys that sibling
// must not send the sweep into freed memory.
TEST_F(ObjectTreeTest, SweepsSurviveADestroyOverrideThatDestroysTheNextSibling)
{
    MakeProbe(3);
    TProbe* next = MakeProbe(2);
    TProbe* owner = MakeProbe(1, nullptr, TProbeTakesTargetAlong::ClassId);
    owner->pTarget = next;

    GObject::DestroyObjects();
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(CountRootChildren(), 0);
}

TEST_F(ObjectTreeTest, AChildThatTakesItsParentAlongDoesNotDestroyItTwice)
{
    TProbe* parent = MakeProbe(1);
    TProbe* child = MakeProbe(2, parent, TProbeTakesTargetAlong::ClassId);
    child->pTarget = parent;

    parent->Destroy();
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{2, 1}));
    EXPECT_EQ(CountRootChildren(), 0);
}

TEST_F(ObjectTreeTest, TheLevelSweepDestroysInTwoPassesAndLeavesOnlySurvivors)
{
    TProbe* late = MakeProbe(1, nullptr, TProbeSecondPass::ClassId);
    MakeProbe(2);
    TProbe* survivor = MakeProbe(3, nullptr, TProbeSurvivor::ClassId);
    TProbe* handled = MakeProbe(4, nullptr, TProbeHandled::ClassId);
    const HGOBJECT handle = handled->GetHandle();
    ASSERT_EQ(GObject::GetGobject(handle), handled);
    (void)late;

    GObject::DestroyObjects();
    EXPECT_EQ(TProbe::DestroyLog, (std::vector<int>{4, 2, 1}));
    EXPECT_EQ(ChildTags(GObject::GetRoot()), (std::vector<int>{3}));
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
    EXPECT_EQ(GObject::DestroyInhibit, 0u);
    EXPECT_EQ(survivor->Status, STATUS_LIVE);
}

// A survivor hanging below a destroyed object would be left with a freed parent; it moves to
// the root instead.
TEST_F(ObjectTreeTest, ASurvivorBelowASweptObjectMovesToTheRoot)
{
    TProbe* parent = MakeProbe(1);
    MakeProbe(2, parent, TProbeSurvivor::ClassId);

    GObject::DestroyObjects();
    EXPECT_EQ(ChildTags(GObject::GetRoot()), (std::vector<int>{2}));
    EXPECT_EQ(GObject::GetRoot()->pChild->GetParent(), GObject::GetRoot());
}

TEST_F(ObjectTreeTest, SearchWalksTheStartItsLaterSiblingsAndWhenRecursiveTheirDescendants)
{
    TProbe* b = MakeProbe(2);
    TProbe* a = MakeProbe(1); // a before b: newest first
    TProbe* a1 = MakeProbe(11, a, TProbeHandled::ClassId);
    MakeProbe(12, a);
    MakeProbe(21, b, TProbeHandled::ClassId);
    a1->ChangePlayer(3);

    auto collect = [](GObject* start, bool recursive, DWORD player, DWORD classId) {
        std::vector<int> tags;
        GObject::Search(start, recursive, player, classId);
        while (GObject* found = GObject::SearchNext())
            tags.push_back(static_cast<TProbe*>(found)->Tag);
        return tags;
    };
    EXPECT_EQ(collect(nullptr, false, 0xFFFFFFFF, 0xFFFFFFFF), (std::vector<int>{1, 2}));
    EXPECT_EQ(collect(nullptr, true, 0xFFFFFFFF, 0xFFFFFFFF), (std::vector<int>{1, 12, 11, 2, 21}));
    EXPECT_EQ(collect(a->pChild, true, 0xFFFFFFFF, 0xFFFFFFFF), (std::vector<int>{12, 11}));
    EXPECT_EQ(collect(nullptr, true, 0xFFFFFFFF, TProbeHandled::ClassId), (std::vector<int>{11, 21}));
    EXPECT_EQ(collect(nullptr, true, 3, 0xFFFFFFFF), (std::vector<int>{11}));

    b->SetLabel(CCRC32::GetCRC("bee"));
    EXPECT_EQ(GObject::Find(CCRC32::GetCRC("bee")), b);
    EXPECT_EQ(GObject::Find(CCRC32::GetCRC("none")), nullptr);

    GObject::Search(nullptr, true, 0xFFFFFFFF, 0xFFFFFFFF);
    a1->Destroy();
    EXPECT_EQ(GObject::SearchNext(), nullptr);
}

TEST_F(ObjectTreeTest, ClassNamesFallBackForObjectsWithoutAClassAndUnknownIds)
{
    EXPECT_STREQ(GObject::GetRoot()->GetClassName(), "Don't have one!");
    EXPECT_STREQ(GObject::GetClassName(CCRC32::GetCRC("NoSuchClass")), "Not Found!");
    EXPECT_STREQ(GObject::GetClassName(TProbe::ClassId), "TProbe");
    EXPECT_EQ(GObject::Create(CCRC32::GetCRC("NoSuchClass"), 0, nullptr), nullptr);
}

} // namespace
