// The class registry: registration order, parent entries, RttiCode bits, editor lists and
// the creation of objects by class id.
#include <algorithm>
#include <string>

#include "ObjectTestSupport.h"
#include "TestClasses.h"

class TRttiA : public GObject {
    DECLARE_GOBJECT(TRttiA, GObject)
};
class TRttiB : public TRttiA {
    DECLARE_GOBJECT(TRttiB, TRttiA)
};
class TRttiC : public GObject {
    DECLARE_GOBJECT(TRttiC, GObject)
};
class TRttiCChild : public TRttiC {
    DECLARE_GOBJECT(TRttiCChild, TRttiC)
};
class TVeskFirst : public GObject {
    DECLARE_GOBJECT(TVeskFirst, GObject)
};
class TVeskSecond : public GObject {
    DECLARE_GOBJECT(TVeskSecond, GObject)
};
class TVeskBoth : public GObject {
    DECLARE_GOBJECT(TVeskBoth, GObject)
};

IMPLEMENT_GOBJECT(TRttiA, 0x00408000)
IMPLEMENT_GOBJECT(TRttiB, 0x00408000)
IMPLEMENT_GOBJECT(TRttiC, 0x00408000)
IMPLEMENT_GOBJECT(TRttiCChild, 0x00008000)
IMPLEMENT_GOBJECT(TVeskFirst, 0x02008000)
IMPLEMENT_GOBJECT(TVeskSecond, 0x01008000)
IMPLEMENT_GOBJECT(TVeskBoth, 0x03008000)

namespace {

using ClassRegistryTest = ObjectTest;

TEST_F(ClassRegistryTest, ClassIdsAreTheNameKeysOfTheClassNames)
{
    EXPECT_EQ(TProbe::ClassId, CCRC32::GetCRC("TProbe"));
    EXPECT_EQ(GObject::ClassId, CCRC32::GetCRC("GObject"));
    EXPECT_EQ(CGameTimer::ClassId, CCRC32::GetCRC("CGameTimer"));
    EXPECT_EQ(GObject::FindClassEntry(CGameTimer::ClassId)->Flags, 0x0080F000u);
}

// Flagged classes take the running bit in registration order; every class carries the bits of
// its flagged ancestors.
TEST_F(ClassRegistryTest, RttiCodesFollowRegistrationOrderAndIncludeTheAncestorsBits)
{
    const DWORD first = TRttiA::RttiCode;
    ASSERT_NE(first, 0u);
    EXPECT_EQ(first & (first - 1), 0u) << "a single bit";
    EXPECT_EQ(TRttiB::RttiCode, (first << 1) | first);
    EXPECT_EQ(TRttiC::RttiCode, first << 2);
    EXPECT_EQ(TRttiCChild::RttiCode, first << 2);
    EXPECT_EQ(TProbe::RttiCode, 0u);
}

TEST_F(ClassRegistryTest, ParentEntriesComeFromThePrototypesParentClassIds)
{
    EXPECT_EQ(GObject::FindClassEntry(TRttiB::ClassId)->pParent, GObject::FindClassEntry(TRttiA::ClassId));
    EXPECT_EQ(GObject::FindClassEntry(TRttiA::ClassId)->pParent, nullptr);
    GObject* object = TRttiCChild::Create();
    EXPECT_EQ(object->GetPointerOfParentPTypeEntry(), GObject::FindClassEntry(TRttiC::ClassId));
    EXPECT_TRUE(object->IsDerivedFromClassId(TRttiC::ClassId));
    EXPECT_TRUE(object->IsDerivedFromClassId(GObject::ClassId));
    EXPECT_FALSE(object->IsDerivedFromClassId(TRttiA::ClassId));
}

TEST_F(ClassRegistryTest, EditorListsHoldTheFlaggedClassesInRegistrationOrder)
{
    CZArray<const char*> first;
    CZArray<const char*> second;
    GObject::GetVeskObjectNames(first, second);
    auto ours = [](CZArray<const char*>& names) {
        std::vector<std::string> kept;
        for (const char* name : names)
            if (std::string(name).rfind("TVesk", 0) == 0)
                kept.push_back(name);
        return kept;
    };
    EXPECT_EQ(ours(first), (std::vector<std::string>{"TVeskFirst", "TVeskBoth"}));
    EXPECT_EQ(ours(second), (std::vector<std::string>{"TVeskSecond", "TVeskBoth"}));
}

TEST_F(ClassRegistryTest, CreationLinksAtThePriorityOfTheClassRunsPostConstructionAndMarksLive)
{
    TProbe* probe = static_cast<TProbe*>(GObject::Create(TProbe::ClassId, 0, nullptr));
    EXPECT_EQ(probe->GetParent(), GObject::GetRoot());
    EXPECT_EQ(probe->Priority, 0x8000u);
    EXPECT_EQ(probe->Status, STATUS_LIVE);
    EXPECT_EQ(probe->PostConstructed, 1);
    EXPECT_EQ(probe->GetClassEntry(), GObject::FindClassEntry(TProbe::ClassId));

    CGameTimer* timer = CGameTimer::Create();
    EXPECT_EQ(timer->Priority, 0xF000u);
    EXPECT_EQ(GObject::GetRoot()->pChild, timer);
}

} // namespace
