// Parameter blocks through both deliverables: wexlorn converts wexlorn/params.rhu at build time
// and the engine loads the file, creating the layout blocks' objects with their field values,
// class defaults, embedded children, editor templates and extra data included.
#include <gtest/gtest.h>

#include <string>

#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/object/CFillData.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/object/CVeskTemplateFillData.h"
#include "engine/zel/CZelFile.h"

// The class the script's blocks create.
class GParamsCrate : public GObject {
    DECLARE_GOBJECT(GParamsCrate, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GObject::SpecifyEditable(cursor);
        AddEditable(cursor, "Count", "int", Count);
        AddEditable(cursor, "Speed", "float", Speed);
        AddEditable(cursor, "Slots", "int", Slots);
        AddEditable(cursor, "Kind", "CCRC32", Kind);
        AddEditable(cursor, "Tag", "CCRC32", Tag);
        AddEditable(cursor, "pLid", "GParamsCrate *", pLid);
        AddEditable(cursor, "pText", "char *", pText);
        return count + 7;
    }

    int Count;
    float Speed;
    int Slots[3];
    DWORD Kind;
    DWORD Tag;
    GParamsCrate* pLid;
    const char* pText;
};
IMPLEMENT_GOBJECT(GParamsCrate, 0x80008000)

namespace {

class ParamsLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        CZelFile::LoadChunkCategories(0x11);
        GObject::InitEditableInfo();
        ASSERT_EQ(file.Load("wex/params.zel"), 0);
    }
    void TearDown() override { GObject::DestroyObjects(); }

    static GParamsCrate* Crate(const char* label)
    {
        return static_cast<GParamsCrate*>(GObject::Find(CCRC32::GetCRC(label)));
    }

    CZelFile file;
};

TEST_F(ParamsLoad, LayoutBlockCreatesItsObjectOverTheClassDefaults)
{
    GParamsCrate* crate = Crate("Crate");
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->Count, 7);
    EXPECT_FLOAT_EQ(crate->Speed, 1.5f); // from the DefaultParams block
    EXPECT_EQ(crate->Slots[2], 9);
    EXPECT_EQ(crate->Slots[0], 0);
    EXPECT_EQ(crate->Kind, CCRC32::GetCRC("Wooden"));
    EXPECT_EQ(crate->Tag, CCRC32::GetCRC("Crate"));
    EXPECT_STREQ(crate->pText, "inside");
    EXPECT_EQ(crate->GetHandle().Player(), 2);

    ASSERT_NE(crate->pLid, nullptr);
    EXPECT_EQ(crate->pLid->GetLabel(), CCRC32::GetCRC("Lid"));
    EXPECT_EQ(crate->pLid->Count, 11);
    EXPECT_EQ(crate->pLid->Tag, CCRC32::GetCRC("Lid"));
    EXPECT_FLOAT_EQ(crate->pLid->Speed, 1.5f);
}

// The unlabelled block derives everything but Speed, the player included; its label field
// carries its own made-up label, and it gets an embedded child of its own.
TEST_F(ParamsLoad, DerivedUnlabelledBlockInheritsAndKeepsItsOwnLabel)
{
    GParamsCrate* derived = Crate("_GParamsCrate_LayoutParams_001");
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(derived->Count, 7);
    EXPECT_FLOAT_EQ(derived->Speed, 3.25f);
    EXPECT_EQ(derived->Kind, CCRC32::GetCRC("Wooden"));
    EXPECT_EQ(derived->Tag, CCRC32::GetCRC("_GParamsCrate_LayoutParams_001"));
    EXPECT_EQ(derived->GetHandle().Player(), 2);
    ASSERT_NE(derived->pLid, nullptr);
    EXPECT_NE(derived->pLid, Crate("Crate")->pLid);
    EXPECT_EQ(CountObjects(GParamsCrate::ClassId), 4); // two crates, two lids; no template object
}

TEST_F(ParamsLoad, TemplateJoinsTheEditorsListWithItsDerivedValues)
{
    CZArray<CVeskTemplateFillData*> templates;
    CVeskTemplateFillData::GetTemplates(templates);
    CVeskTemplateFillData* big = nullptr;
    for (int i = 0; i < templates.GetSize(); ++i)
        if (std::string(templates[i]->pName) == "BigCrate")
            big = templates[i];
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->ClassId, GParamsCrate::ClassId);
    EXPECT_EQ(big->Player, 2);

    GParamsCrate* made = static_cast<GParamsCrate*>(Crate("Crate")->Create(big));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Count, 99);
    EXPECT_EQ(made->Kind, CCRC32::GetCRC("Wooden"));
    EXPECT_EQ(made->Tag, CCRC32::GetCRC("BigCrate"));
}

TEST_F(ParamsLoad, ExtraDataNamesTheLayoutFileAndTheBlock)
{
    CVeskExtraData* extra = CVeskExtraData::Find(CCRC32::GetCRC("Crate"));
    ASSERT_NE(extra, nullptr);
    EXPECT_STREQ(extra->Label(), "Crate");
    const std::string file = extra->FileName();
    EXPECT_EQ(file.substr(file.size() - 10), "params.rhu") << file;
    ASSERT_NE(extra->pReference, nullptr);
    EXPECT_EQ(extra->pReference->LabelId, CCRC32::GetCRC("Crate"));
    EXPECT_EQ(CVeskExtraData::Find(CCRC32::GetCRC("BigCrate")), nullptr); // templates have none
}

} // namespace
