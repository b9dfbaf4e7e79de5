// The in-game editor through both deliverables: wexlorn converts a level whose snooper starts
// the editor on the first frame; a scripted editing run selects a crate, moves it with shift
// held and the grid on, edits its label and a field, clones it and saves the layout. The layout
// file equals the golden one, and converting it again and reloading gives the edited level.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "../../support/FileBytes.h"
#include "../../support/RunCommand.h"
#include "ShellLoopTest.h"
#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/devices/COSInput.h"
#include "engine/frontend/GBaseVeskSnooper.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPosRot.h"
#include "engine/shell/CShell.h"

// The edited objects: positioned, with a field of their own.
class GVeskCrate : public GPosRot {
    DECLARE_GOBJECT(GVeskCrate, GPosRot)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GPosRot::SpecifyEditable(cursor);
        AddEditable(cursor, "Count", "int", Count);
        return count + 1;
    }

    int Count;
};
IMPLEMENT_GOBJECT(GVeskCrate, 0x80008000)

namespace {

namespace fs = std::filesystem;

const fs::path Sources = fs::path(MG_TESTS_DIR) / "engine" / "frontend" / "vesk";

GVeskCrate* Crate(const char* label) { return static_cast<GVeskCrate*>(GObject::Find(CCRC32::GetCRC(label))); }

int CountCrates()
{
    int count = 0;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        count += top->IsDerivedFromClassId(GVeskCrate::ClassId) ? 1 : 0;
    return count;
}

int RowOf(GObject* object, const char* field)
{
    ZPtrArray<EditableInfo, 64> fields;
    object->GetEditableInfoList(fields);
    for (int i = 0; i < fields.GetSize(); ++i)
        if (std::strcmp(fields[i]->Name, field) == 0)
            return 2 + i;
    return -1;
}

class VeskEdit : public ShellLoopTest {
protected:
    void SetUp() override
    {
        levelFolder = "vesk_" + std::to_string(getpid());
        folder = fs::path(ZEL_FIXTURE_DIR) / levelFolder;
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(Sources / "vesk.rhu", folder / "vesk.rhu");
        fs::copy_file(Sources / "LAYOUTPARAMS.RHU", folder / "LAYOUTPARAMS.RHU");
        GBaseVeskSnooper::VeskEnable();
        GBaseVeskSnooper::SetVeskMode(true);
        ShellLoopTest::SetUp();
    }
    void TearDown() override
    {
        ShellLoopTest::TearDown();
        fs::remove_all(folder);
    }

    void Convert()
    {
        const mgtest::CommandResult run = mgtest::RunCommand("cd '" + folder.string() + "' && '" + MG_WEXLORN +
                                                             "' '" + folder.string() + "' 2>&1");
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    void Run(int last, std::function<void(int)> perTurn)
    {
        testing::internal::CaptureStdout();
        RunLoop(last, std::move(perTurn));
        const std::string chatter = testing::internal::GetCapturedStdout();
        if (HasFailure())
            std::fputs(chatter.c_str(), stdout);
    }

    std::string Level() const { return levelFolder + "\\vesk.zel"; }

    std::string levelFolder;
    fs::path folder;
};

// The editing run, as the editor's triggers and menus would drive it.
void EditAndSave(GVeskPointer* editor)
{
    GVeskCrate* crate = Crate("Crate");
    ASSERT_NE(crate, nullptr);
    editor->Select(crate->GetHandle());
    editor->ComputeOffsets();
    editor->Input_Grid(nullptr);
    editor->Input_ShiftDown(nullptr);
    editor->WorldPos = CVector(10.4f, 20.6f, 0.0f);
    CInputData still = {};
    editor->Input_UpdatePosition(&still);
    editor->Input_ShiftUp(nullptr);
    EXPECT_FLOAT_EQ(crate->GetPos().x, 10.0f);
    EXPECT_FLOAT_EQ(crate->GetPos().y, 21.0f);

    GVeskEditMenu::Apply(crate, 1, "MovedCrate");
    GVeskEditMenu::Apply(crate, RowOf(crate, "Count"), "17");
    GVeskEditMenu::Apply(crate, 1, "0x1234"); // a key is not a name: the label stays
    EXPECT_EQ(crate->GetLabel(), CCRC32::GetCRC("MovedCrate"));
    char row[128];
    GVeskEditMenu::RowText(crate, 1, row, sizeof row);
    EXPECT_STREQ(row, "Label \a210MovedCrate");

    editor->Clone();
    EXPECT_EQ(CountCrates(), 3);
    ASSERT_EQ(editor->GetSelectedCount(), 1);
    EXPECT_EQ(editor->GetSelected(0), crate);
    GVeskCrate* copy = nullptr;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (top->IsDerivedFromClassId(GVeskCrate::ClassId) && top != crate && top != Crate("Barrel"))
            copy = static_cast<GVeskCrate*>(top);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Count, 17);
    EXPECT_FLOAT_EQ(copy->GetPos().x, 10.0f);
    GVeskEditMenu::Apply(copy, 1, "CopiedCrate");

    // The main menu's save item writes the layout and ends editing.
    GVeskMainMenu* menu = static_cast<GVeskMainMenu*>(GObject::Create(GVeskMainMenu::ClassId, HGOBJECT(0), nullptr));
    GMenuItem* save = static_cast<GMenuItem*>(menu->Create(GMenuItem::ClassId, nullptr));
    save->ItemId = CCRC32::GetCRC("VeskMain_SaveLayout");
    menu->ItemActivated(save);
}

TEST_F(VeskEdit, EditedLayoutMatchesTheGoldenFileAndConvertsBack)
{
    Convert();
    CShell::SetNextLevel(Level().c_str());
    bool edited = false;
    Run(6, [&](int t) {
        GVeskPointer* editor = GVeskPointer::GetEditor();
        if (t == 3 && editor != nullptr) {
            EXPECT_TRUE(CGameTimer::bPaused);
            EditAndSave(editor);
            edited = true;
        } else if (t == 4) {
            EXPECT_EQ(GVeskPointer::GetEditor(), nullptr);
            EXPECT_FALSE(CGameTimer::bPaused);
            Convert();
            CShell::SetNextLevel(Level().c_str());
        }
    });
    ASSERT_TRUE(edited);
    const std::string written = mgtest::ReadFileBytes((folder / "LAYOUTPARAMS.RHU").string());
    EXPECT_EQ(written, mgtest::ReadFileBytes((Sources / "golden" / "LAYOUTPARAMS.RHU").string()));

    GVeskCrate* crate = Crate("MovedCrate");
    ASSERT_NE(crate, nullptr);
    EXPECT_FLOAT_EQ(crate->GetPos().x, 10.0f);
    EXPECT_FLOAT_EQ(crate->GetPos().y, 21.0f);
    EXPECT_EQ(crate->Count, 17);
    EXPECT_EQ(Crate("Crate"), nullptr);
    ASSERT_NE(Crate("Barrel"), nullptr);
    EXPECT_FLOAT_EQ(Crate("Barrel")->GetPos().x, 30.0f);
    ASSERT_NE(Crate("CopiedCrate"), nullptr);
    EXPECT_FLOAT_EQ(Crate("CopiedCrate")->GetPos().y, 21.0f);
    EXPECT_EQ(CountCrates(), 3);
}

} // namespace
