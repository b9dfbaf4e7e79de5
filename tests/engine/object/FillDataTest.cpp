// Fill-data records loaded from the independent writer's files: presets and start positions,
// editor templates and extra data, and their lists across loads and unloads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/devices/GStartPosition.h"
#include "engine/object/CFillData.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/object/CVeskTemplateFillData.h"
#include "engine/zel/CZelFile.h"

namespace {

using FillData = ZelLoadTest;

std::vector<std::string> TemplateNames()
{
    CZArray<CVeskTemplateFillData*> templates;
    CVeskTemplateFillData::GetTemplates(templates);
    std::vector<std::string> names;
    for (int i = 0; i < templates.GetSize(); ++i)
        names.push_back(templates[i]->pName);
    return names;
}

TEST_F(FillData, PresetOfAnUnregisteredClassKeepsItsStoredHandle)
{
    CZelFile master;
    master.Load("master.zel");
    CZelFile level;
    level.Load("level.zel");
    const CPresetFillData* preset =
        static_cast<const CPresetFillData*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("NobodyPreset")));
    ASSERT_NE(preset, nullptr);
    EXPECT_EQ(DWORD(preset->hgobject), 0x12345u);
}

TEST_F(FillData, PresetLoadedUnderAStartPositionTakesItsPlayer)
{
    alignas(GStartPosition) unsigned char storage[sizeof(GStartPosition)] = {};
    GStartPosition* start = reinterpret_cast<GStartPosition*>(storage);
    start->iStartPosition = 5;
    GStartPosition::pCurrent = start;
    CZelFile master;
    master.Load("master.zel");
    CZelFile level;
    level.Load("level.zel");
    GStartPosition::pCurrent = nullptr;
    GObject* object = GObject::Find(CCRC32::GetCRC("Probe1"));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetHandle().Player(), 5);
}

// Objects of equal priority keep the order of their records: newer siblings go after.
TEST_F(FillData, PresetsOfEqualPriorityKeepTheirFileOrder)
{
    CZelFile order;
    order.Load("order.zel");
    std::vector<DWORD> labels;
    GObject::Search(nullptr, false, 0xFFFFFFFF, GZelProbeObject::ClassId);
    while (GObject* object = GObject::SearchNext())
        labels.push_back(object->GetLabel());
    EXPECT_EQ(labels, (std::vector<DWORD>{CCRC32::GetCRC("First"), CCRC32::GetCRC("Second"), CCRC32::GetCRC("Third")}));
}

TEST_F(FillData, TemplatesJoinAndLeaveTheListWithTheirFiles)
{
    CZelFile* first = new CZelFile;
    first->Load("vesk1.zel");
    CZelFile second;
    second.Load("vesk2.zel");
    EXPECT_EQ(TemplateNames(), (std::vector<std::string>{"First", "Second", "Third"}));
    delete first;
    EXPECT_EQ(TemplateNames(), (std::vector<std::string>{"Third"}));
}

TEST_F(FillData, ExtraDataListsEachLayoutFileOnce)
{
    CZelFile vesk;
    vesk.Load("vesk1.zel");
    CZArray<const char*> files;
    CVeskExtraData::GetFiles(files);
    ASSERT_EQ(files.GetSize(), 2);
    EXPECT_STREQ(files[0], "a.rhu");
    EXPECT_STREQ(files[1], "b.rhu");
    CVeskExtraData* three = CVeskExtraData::Find(CCRC32::GetCRC("Three"));
    ASSERT_NE(three, nullptr);
    EXPECT_STREQ(three->Label(), "Three");
    EXPECT_STREQ(three->FileName(), "a.rhu");
}

TEST(VeskExtraData, DumpedAsksWithTheMagicValueAndSetsOtherwise)
{
    CVeskExtraData* record = CVeskExtraData::Create("Placed");
    EXPECT_EQ(CVeskExtraData::Find(CCRC32::GetCRC("Placed")), record);
    EXPECT_STREQ(record->Label(), "Placed");
    EXPECT_EQ(record->FileName(), nullptr);
    EXPECT_TRUE(record->Dumped(1));
    EXPECT_TRUE(record->Dumped(CVeskExtraData::kAskDumped));
    EXPECT_FALSE(record->Dumped(0));
    EXPECT_FALSE(record->Dumped(CVeskExtraData::kAskDumped));
    record->Dumped(7);
    CVeskExtraData::ClearDumped();
    EXPECT_FALSE(record->Dumped(CVeskExtraData::kAskDumped));
}

} // namespace
