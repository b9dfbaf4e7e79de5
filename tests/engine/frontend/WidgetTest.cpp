// Widgets: the list box's layout and scrolling, typing into an edit box, the pointer's hover,
// click and rectangle pick over the renderer's selectable rectangles, and the file list.
#include "FrontendSupport.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "engine/devices/COSInput.h"
#include "engine/frontend/CRendBarIndicator.h"
#include "engine/frontend/GMenu.h"
#include "engine/frontend/GMenuBarIndicator.h"
#include "engine/frontend/GMenuButton.h"
#include "engine/frontend/GMenuEditBox.h"
#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GmvPointer.h"
#include "engine/zel/CZelFixupManager.h"

namespace fs = std::filesystem;

namespace {

class WidgetTest : public ObjectTest {
protected:
    void TearDown() override
    {
        CRender::NewSelectableList();
        ObjectTest::TearDown();
    }
    TestFont font;
};

// Ten entries of height 20 in a box 70 high: three fit, the fourth waits just below.
TEST_F(WidgetTest, ListBoxShowsWhatFitsAndScrolls)
{
    FillData arrow = ItemData(0, 0, 10, 10, 0, nullptr, nullptr);
    FillData listData = ItemData(50, 100, 200, 70, 0, nullptr, nullptr);
    GMenuListBox* list = MakeItem<GMenuListBox>(listData);
    GMenuItem* up = MakeItem<GMenuItem>(arrow, list);
    GMenuItem* down = MakeItem<GMenuItem>(arrow, list);
    list->pUp = up;
    list->pDown = down;
    up->SetStateBits(MENUITEM_PERSISTENT, true);
    down->SetStateBits(MENUITEM_PERSISTENT, true);
    static const char* const kNames[] = {"e0", "e1", "e2", "e3", "e4", "e5", "e6", "e7", "e8", "e9"};
    std::vector<FillData> entries(10);
    for (int i = 0; i < 10; ++i) {
        entries[i] = ItemData(0, 0, 200, 20, 0, kNames[i], font.Get());
        list->Add(MakeItem<GMenuItem>(entries[i], list));
    }
    ASSERT_EQ(list->GetSize(), 10);
    list->Display(true);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list->Get(i)->Is(MENUITEM_DISPLAYED), i < 3) << i;
    EXPECT_EQ(list->Get(1)->GetPos().y, 120.0f);
    EXPECT_EQ(list->Get(3)->GetPos().y, 160.0f); // just below the list, for navigation
    EXPECT_FALSE(up->Is(MENUITEM_ENABLED));
    EXPECT_TRUE(down->Is(MENUITEM_ENABLED));

    list->ItemActivated(down);
    EXPECT_EQ(list->FirstShown, 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list->Get(i)->Is(MENUITEM_DISPLAYED), i >= 1 && i <= 3) << i;
    EXPECT_EQ(list->Get(0)->GetPos().y, 99.0f); // just above the list
    EXPECT_TRUE(up->Is(MENUITEM_ENABLED));

    // Selecting an entry below the window scrolls it into view; removing the selected one
    // clears the selection.
    list->SetActive(list->Get(6));
    EXPECT_EQ(list->FirstShown, 4);
    EXPECT_EQ(list->GetSelectedIndex(), 6);
    list->Delete(list->Get(6));
    EXPECT_EQ(list->GetSelectedIndex(), -1);
    EXPECT_EQ(list->GetSize(), 9);
    EXPECT_STREQ(list->Get("e7")->GetText(), "e7");
}

TEST_F(WidgetTest, EditBoxTypingAndBackspace)
{
    FillData data = ItemData(0, 0, 40, 10, 0, nullptr, font.Get());
    GMenuEditBox* box = MakeItem<GMenuEditBox>(data);
    box->Display(true);
    box->Activate(true);
    EXPECT_TRUE(box->Is(MENUITEM_ACTIVE));
    auto type = [&](unsigned long code) {
        CInputData input = {};
        input.Words[0] = code;
        box->Input_Character(&input);
    };
    for (char c : std::string("abc"))
        type(static_cast<unsigned long>(c));
    type(8);
    EXPECT_STREQ(box->GetText(), "ab");
    type(1); // other control codes are ignored
    EXPECT_STREQ(box->GetText(), "ab");
    // 40 wide, the widest glyph 8: the text stops where it would pass 32.
    for (char c : std::string("cdefgh"))
        type(static_cast<unsigned long>(c));
    EXPECT_STREQ(box->GetText(), "abcd");
    EXPECT_TRUE(box->IsFull());
    for (int i = 0; i < 6; ++i)
        type(8);
    EXPECT_STREQ(box->GetText() ? box->GetText() : "", "");
}

// The bar's far corner follows the value clamped into the range; the texture is cut at the same
// fraction. Colour all 0 draws white and opaque.
TEST_F(WidgetTest, BarIndicatorFillsToItsValue)
{
    FillData data = ItemData(100, 50, 200, 16, 0, nullptr, nullptr);
    GMenuBarIndicator* bar = MakeItem<GMenuBarIndicator>(data);
    CRender& render = bar->GetBarRender();
    EXPECT_EQ(render.GetResource(), &CRendBarIndicator::BuiltIn());
    EXPECT_EQ(*render.GetColour(), CVector4(1, 1, 1, 1));
    EXPECT_FALSE(render.IsLinked());
    bar->Display(true);
    EXPECT_TRUE(render.IsLinked());
    bar->SetRange(0, 100);
    const struct {
        float value, cornerX, fraction;
    } cases[] = {{50, 200, 0.5f}, {150, 300, 1.0f}, {-5, 100, 0.0f}, {33.3f, 166, 0.333f}};
    for (const auto& c : cases) {
        bar->SetValue(c.value);
        EXPECT_EQ(render.GetRot()->x, c.cornerX) << c.value;
        EXPECT_EQ(render.GetRot()->y, 66.0f);
        EXPECT_NEAR(render.GetRot()->z, c.fraction, 1e-6) << c.value;
    }
    // Empty and full at one level leave nothing to divide: an empty bar.
    bar->SetRange(10, 10);
    EXPECT_EQ(bar->FillFraction(), 0.0f);
    EXPECT_EQ(render.GetRot()->x, 100.0f);
    bar->SetSortModifier(6);
    EXPECT_EQ(render.GetSortModifier(), bar->GetGraphicSortKey() - 0x8000);
    bar->Display(false);
    EXPECT_FALSE(render.IsLinked());
    // Packed data reaches the built-in resource by its name.
    EXPECT_EQ(CZelFixupManager::GetAddress(CCRC32::GetCRC("CRendBarIndicator")), &CRendBarIndicator::BuiltIn());
}

class PointerTest : public WidgetTest {
protected:
    // A drawn rectangle as the renderer records it for picking.
    static void Drawn(GObject* object, long left, long top, long right, long bottom)
    {
        CRender render;
        render.SetSelectable(object->GetHandle());
        render.AddSelectableRender(RECT{left, top, right, bottom});
    }
    GMenuItem* Item(FillData& data, WORD player) { return MakeItem<GMenuItem>(data, nullptr, HGOBJECT(player)); }
};

TEST_F(PointerTest, RectanglePickSkipsThePlayersTheFlagsName)
{
    CRender::NewSelectableList();
    FillData data = ItemData(0, 0, 10, 10, 0, nullptr, nullptr);
    // Handles exist for players 0 to 9 only, so no object of player 10 can be drawn.
    GMenuItem* objects[4] = {Item(data, 0), Item(data, 1), Item(data, 0), Item(data, 2)};
    for (GMenuItem* object : objects)
        ASSERT_NE(object, nullptr);
    for (int i = 0; i < 4; ++i)
        Drawn(objects[i], 100 + 50 * i, 100, 140 + 50 * i, 140);
    FillData pointerData;
    GmvPointer* pointer = MakeItem<GmvPointer>(pointerData);
    CZArray<HGOBJECT> picked;
    EXPECT_EQ(pointer->Select(CVector(90, 90, 0), CVector(400, 200, 0), GmvPointer::SELECT_NOT_PLAYERS_0_10, 15,
                              &picked, false),
              2);
    std::set<DWORD> handles = {DWORD(picked[0]), DWORD(picked[1])};
    EXPECT_EQ(handles, (std::set<DWORD>{DWORD(objects[1]->GetHandle()), DWORD(objects[3]->GetHandle())}));

    // A click is a point pick: only the rectangle whose centre is nearest.
    EXPECT_EQ(pointer->Select(CVector(165, 118, 0), CVector(168, 121, 0), 0, 15, &picked, false), 1);
    EXPECT_EQ(picked[0], objects[1]->GetHandle());
    // Without an array the pick marks; with add, clicking a marked object takes it off.
    EXPECT_EQ(pointer->Select(CVector(165, 118, 0), CVector(168, 121, 0), 0, 15, nullptr, false), 1);
    EXPECT_TRUE(objects[1]->IsSelected());
    EXPECT_EQ(pointer->Select(CVector(165, 118, 0), CVector(168, 121, 0), 0, 15, nullptr, true), 0);
    EXPECT_FALSE(objects[1]->IsSelected());
}

TEST_F(PointerTest, HoverFocusesAndAClickActivatesTheButtonUnderThePointer)
{
    CRender::NewSelectableList();
    FillData pageData;
    GMenu* page = MakeItem<GMenu>(pageData);
    FillData buttonData[2] = {ItemData(100, 100, 100, 30, MENUITEM_SELECTABLE, "one", font.Get()),
                              ItemData(100, 150, 100, 30, MENUITEM_SELECTABLE, "two", font.Get())};
    buttonData[1].Word("ItemId", CCRC32::GetCRC("QuitGame"));
    GMenuButton* one = MakeItem<GMenuButton>(buttonData[0], page);
    GMenuButton* two = MakeItem<GMenuButton>(buttonData[1], page);
    page->DisplayMenu(nullptr);
    Drawn(one, 100, 100, 200, 130);
    Drawn(two, 100, 150, 200, 180);
    Drawn(page, 0, 0, 640, 480); // the page under both: the deeper item wins

    FillData pointerData;
    GmvPointer* pointer = MakeItem<GmvPointer>(pointerData);
    EXPECT_EQ(GmvPointer::GetCurrent(), pointer);
    EXPECT_EQ(pointer->GetPos().x, 320.0f); // the middle of the screen
    auto move = [&](float dx, float dy) {
        CInputData input = {};
        const float x = dx / 10000.0f, y = dy / 10000.0f;
        memcpy(&input.Words[0], &x, 4);
        memcpy(&input.Words[1], &y, 4);
        pointer->Input_UpdatePosition(&input);
    };
    move(-170, -125); // to 150,115
    EXPECT_TRUE(one->Is(MENUITEM_FOCUSED));
    EXPECT_EQ(page->GetFocusedItem(), one);
    move(0, 50); // to 150,165
    EXPECT_FALSE(one->Is(MENUITEM_FOCUSED));
    EXPECT_TRUE(two->Is(MENUITEM_FOCUSED));
    pointer->Input_Action(nullptr);
    EXPECT_TRUE(two->Is(MENUITEM_ACTIVATED));
    pointer->Input_ActionUp(nullptr);
    EXPECT_FALSE(two->Is(MENUITEM_ACTIVATED));
    move(-10000, 10000); // never off the screen
    EXPECT_EQ(pointer->GetPos().x, 0.0f);
    EXPECT_EQ(pointer->GetPos().y, 480.0f);
    EXPECT_FALSE(two->Is(MENUITEM_FOCUSED));
}

TEST_F(WidgetTest, FileListMatchesTheFolder)
{
    const fs::path folder = fs::temp_directory_path() / ("frontend_files_" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub.sav");
    for (const char* name : {"one.sav", "Two.SAV", "three.txt", ".hidden.sav"})
        std::ofstream(folder / name) << "x";
    FillData data = ItemData(0, 0, 200, 100, 0, nullptr, font.Get());
    GMenuFileList* list = MakeItem<GMenuFileList>(data);
    ASSERT_TRUE(list->FillFileNames(folder.c_str(), "*.sav", "TWO.sav"));
    std::set<std::string> names;
    for (int i = 0; i < list->GetSize(); ++i)
        names.insert(list->Get(i)->GetText());
    EXPECT_EQ(names, (std::set<std::string>{"one.sav", "Two.SAV"}));
    EXPECT_STREQ(list->GetSelected()->GetText(), "Two.SAV");
    // Filling again adds nothing twice.
    ASSERT_TRUE(list->FillFileNames(folder.c_str(), "*.sav", nullptr));
    EXPECT_EQ(list->GetSize(), 2);
    EXPECT_FALSE(list->FillFileNames((folder / "missing").c_str(), "*", nullptr));
    fs::remove_all(folder);
}

} // namespace
