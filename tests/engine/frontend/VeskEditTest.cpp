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
#include "engine/frontend/GVeskSelect.h"
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
        const mgtest::CommandResult run =
            mgtest::RunCommand("cd '" + folder.string() + "' && '" + MG_WEXLORN + "' '" + folder.string() + "' 2>&1");
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
    EXPECT_FALSE(fs::exists(folder / "LAYOUTPARAMS.RHU.NEW")); // written aside, then put in place

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

namespace {

// The editor pointer on its own, with objects made here.
class VeskPointer : public ::testing::Test {
protected:
    void SetUp() override
    {
        GObject::InitEditableInfo();
        editor = GVeskPointer::Create();
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override { GObject::DestroyObjects(); }

    GVeskCrate* MakeCrate(const CVector& at)
    {
        GVeskCrate* crate = static_cast<GVeskCrate*>(GObject::Create(GVeskCrate::ClassId, HGOBJECT(0), nullptr));
        crate->SetPos(at);
        return crate;
    }

    // Relative movement of (dx, dy) as the pointer's trigger reports it.
    void MoveBy(float dx, float dy)
    {
        CInputData input = {};
        memcpy(&input.Words[0], &dx, 4);
        memcpy(&input.Words[1], &dy, 4);
        editor->Input_UpdatePosition(&input);
    }

    GVeskPointer* editor = nullptr;
};

TEST_F(VeskPointer, ModifierCountsGroupMovesAndGridRotation)
{
    GVeskCrate* left = MakeCrate(CVector(0.0f, 0.0f, 0.0f));
    GVeskCrate* right = MakeCrate(CVector(4.0f, 2.0f, 0.0f));
    editor->Select(left->GetHandle());
    editor->Select(right->GetHandle());
    editor->ComputeOffsets();

    // Both shift keys down, one released: still held, the group keeps its shape.
    editor->Input_ShiftDown(nullptr);
    editor->Input_ShiftDown(nullptr);
    editor->Input_ShiftDown(nullptr);
    EXPECT_EQ(editor->ShiftCount, 2);
    editor->Input_ShiftUp(nullptr);
    EXPECT_EQ(editor->ShiftCount, 1);
    editor->WorldPos = CVector(10.0f, 10.0f, 0.0f);
    MoveBy(0.0f, 0.0f);
    EXPECT_FLOAT_EQ(left->GetPos().x, 8.0f);
    EXPECT_FLOAT_EQ(left->GetPos().y, 9.0f);
    EXPECT_FLOAT_EQ(right->GetPos().x, 12.0f);
    EXPECT_FLOAT_EQ(right->GetPos().y, 11.0f);
    editor->Input_ShiftUp(nullptr);
    editor->Input_ShiftUp(nullptr);
    EXPECT_EQ(editor->ShiftCount, 0);
    // The offsets live in the editor's own marks.
    ASSERT_EQ(editor->Selection[1]->GetClassId(), GVeskSelect::ClassId);
    EXPECT_FLOAT_EQ(static_cast<GVeskSelect*>(editor->Selection[1])->Offset.x, 2.0f);

    // With the grid, a ctrl turn snaps to eighths of pi and continues from the unsnapped angle.
    editor->DeSelect();
    editor->Select(left->GetHandle());
    editor->Input_Grid(nullptr);
    editor->Input_CtrlDown(nullptr);
    const float step = 0.3926991f;
    MoveBy(0.0005f, 0.0f); // 0.5 radians
    EXPECT_FLOAT_EQ(left->GetRot().z, step);
    MoveBy(0.0005f, 0.0f); // 1.0 radians from the kept angle
    EXPECT_FLOAT_EQ(left->GetRot().z, 2.0f * step);
}

// Alt turns about x by the sideways movement and about y by the upward one, each kept in
// [0, 2pi), and leaves the heading alone.
TEST_F(VeskPointer, AltTurnsAboutXAndYWrappingTheAngles)
{
    GVeskCrate* crate = MakeCrate(CVector(0.0f, 0.0f, 0.0f));
    crate->SetRot(CVector(0.5f, 6.0f, 1.0f));
    editor->Select(crate->GetHandle());
    editor->Input_AltDown(nullptr);
    MoveBy(0.01f, 0.01f); // one radian each
    EXPECT_NEAR(crate->GetRot().x, 1.5f, 1e-5f);
    EXPECT_NEAR(crate->GetRot().y, 7.0f - 6.2831855f, 1e-5f);
    EXPECT_FLOAT_EQ(crate->GetRot().z, 1.0f);
    MoveBy(-0.02f, 0.0f);
    EXPECT_NEAR(crate->GetRot().x, 1.5f - 2.0f + 6.2831855f, 1e-5f);
    editor->Input_AltUp(nullptr);
    MoveBy(0.01f, 0.01f);
    EXPECT_NEAR(crate->GetRot().x, 1.5f - 2.0f + 6.2831855f, 1e-5f);
}

TEST_F(VeskPointer, DeleteCreateAndWhatTheEditorMayPick)
{
    GVeskCrate* crate = MakeCrate(CVector(1.0f, 1.0f, 0.0f));
    const HGOBJECT handle = crate->GetHandle();
    editor->Select(handle);

    // An open editor page stops object actions.
    editor->bMenuOpen = 1;
    editor->Input_Delete(nullptr);
    EXPECT_NE(GObject::GetGobject(handle), nullptr);
    editor->bMenuOpen = 0;
    editor->Input_Delete(nullptr);
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
    EXPECT_EQ(editor->GetSelectedCount(), 0);

    // A chosen class is created at the pointer's world point on every press, for the editor's
    // player, until the selection is cleared.
    GVeskPointer::SetPlayer(3);
    editor->SetCreation(GVeskCrate::ClassId, nullptr);
    editor->WorldPos = CVector(5.0f, 6.0f, 0.0f);
    editor->Input_ActionDown(nullptr);
    editor->Input_ActionDown(nullptr);
    int made = 0;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (top->IsDerivedFromClassId(GVeskCrate::ClassId)) {
            ++made;
            EXPECT_EQ(top->GetHandle().Player(), 3);
            EXPECT_FLOAT_EQ(static_cast<GVeskCrate*>(top)->GetPos().y, 6.0f);
        }
    EXPECT_EQ(made, 2);
    editor->Input_ClearSelect(nullptr);
    EXPECT_EQ(editor->CreateClass, 0u);

    // Menu items are never picked as objects.
    GObject* item = GObject::Create(GMenuItem::ClassId, HGOBJECT(0), nullptr);
    EXPECT_EQ(editor->FilterSelect(item->GetHandle(), 0, nullptr), nullptr);
    GVeskCrate* other = MakeCrate(CVector(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(editor->FilterSelect(other->GetHandle(), 0, nullptr), other);
}

} // namespace
