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
#include "engine/frontend/GMarkSelect.h"
#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GmvPointer.h"
#include "engine/include/RhuTypes.h"
#include "engine/world/GmvCamera.h"
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

// The pointer holds marks: each lives under its object, goes with it and leaves the selection
// then; taking marks off unselects their objects; a pointer that goes takes its marks along.
TEST_F(PointerTest, MarksLiveUnderTheirObjectsAndLeaveTheSelectionWithThem)
{
    CRender::NewSelectableList();
    FillData data = ItemData(0, 0, 10, 10, 0, nullptr, nullptr);
    GMenuItem* a = Item(data, 1);
    GMenuItem* b = Item(data, 1);
    Drawn(a, 100, 100, 140, 140);
    Drawn(b, 200, 100, 240, 140);
    FillData pointerData;
    GmvPointer* pointer = MakeItem<GmvPointer>(pointerData);
    EXPECT_EQ(pointer->Select(CVector(90, 90, 0), CVector(300, 200, 0), 0, 15, nullptr, false), 2);
    ASSERT_EQ(pointer->GetSelectedCount(), 2);
    EXPECT_EQ(pointer->GetSelected(0), a);
    EXPECT_EQ(pointer->GetSelected(1), b);
    EXPECT_EQ(pointer->GetSelected(2), nullptr);
    EXPECT_EQ(pointer->GetSelected(-1), nullptr);
    GMarkSelect* mark = pointer->Selection[0];
    EXPECT_EQ(mark->GetClassId(), GMarkSelect::ClassId);
    EXPECT_EQ(mark->GetParent(), a);
    EXPECT_EQ(mark->GetAttached(), a);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(pointer->CreateSelect(a), nullptr); // one mark an object

    const HGOBJECT aHandle = a->GetHandle();
    a->Destroy();
    EXPECT_EQ(pointer->GetSelectedCount(), 1);
    EXPECT_FALSE(pointer->IsSelect(aHandle));
    EXPECT_EQ(pointer->GetSelected(0), b);

    pointer->DeSelect();
    EXPECT_EQ(pointer->GetSelectedCount(), 0);
    EXPECT_FALSE(b->IsSelected());

    pointer->Select(b->GetHandle());
    ASSERT_TRUE(pointer->IsSelect(b->GetHandle()));
    pointer->Destroy();
    EXPECT_FALSE(b->IsSelected());
    b->Destroy(); // no mark is left to call back into the pointer
}

// The mark draws the near, middle or far resource by the camera's distance to its object, or
// the frame AnimPercent picks from the band's animation table; at the object's place when no
// world gives a ground height; nothing without an object.
TEST_F(PointerTest, MarkChoosesItsResourceByCameraDistanceAndAnimation)
{
    CRender::NewSelectableList();
    FillData data = ItemData(100, 100, 10, 10, 0, nullptr, nullptr);
    GMenuItem* object = Item(data, 1);
    FillData pointerData;
    GmvPointer* pointer = MakeItem<GmvPointer>(pointerData);
    GMarkSelect* mark = pointer->CreateSelect(object);
    ASSERT_NE(mark, nullptr);
    CRendResource resources[3], frames[3];
    for (int i = 0; i < 3; ++i)
        mark->pResources[i] = &resources[i];
    mark->MidDistance = 10.0f;
    mark->FarDistance = 20.0f;
    // No camera: the near resource.
    EXPECT_FALSE(mark->Render());
    EXPECT_EQ(mark->GetResourceInUse(), &resources[0]);
    EXPECT_EQ(mark->GetMarkPos(), object->GetPos());

    GmvCamera* camera = GmvCamera::Create();
    ASSERT_NE(camera, nullptr);
    struct Case {
        float height, mid, far;
        int band;
    } cases[] = {{5, 10, 20, 0}, {10, 10, 20, 1}, {19, 10, 20, 1}, {20, 10, 20, 2},
                 {25, 0, 20, 2}, {25, 10, 0, 1},  {25, 0, 0, 0},   {0, 0, 0, 0}};
    for (const Case& c : cases) {
        camera->SetPos(object->GetPos() + CVector(0, 0, c.height));
        mark->MidDistance = c.mid;
        mark->FarDistance = c.far;
        mark->Render();
        EXPECT_EQ(mark->GetResourceInUse(), &resources[c.band]) << "height " << c.height;
    }

    // A table whose entry 0 lists three frames.
    alignas(8) unsigned char frameTable[sizeof(rhu::CAnimTable) + 2 * sizeof(void*)];
    rhu::CAnimTable* list = reinterpret_cast<rhu::CAnimTable*>(frameTable);
    list->Count = 3;
    list->HasResources = 1;
    for (int i = 0; i < 3; ++i)
        list->Data[i] = &frames[i];
    rhu::CAnimTable table = {1, 0, {list}};
    camera->SetPos(object->GetPos() + CVector(0, 0, 5));
    mark->pAnimTables[0] = reinterpret_cast<CAnimTable*>(&table);
    const struct {
        float percent;
        int table;
        CRendResource* shown;
    } anims[] = {{0.0f, 0, &frames[0]}, {0.5f, 0, &frames[1]},  {0.99f, 0, &frames[2]},
                 {1.0f, 0, &frames[2]}, {-1.0f, 0, &frames[0]}, {0.5f, 1, &resources[0]}};
    for (const auto& c : anims) {
        mark->AnimPercent = c.percent;
        mark->TableIndex = c.table;
        mark->Render();
        EXPECT_EQ(mark->GetResourceInUse(), c.shown) << c.percent << " " << c.table;
    }
    camera->Destroy();

    for (int i = 0; i < 3; ++i)
        mark->pResources[i] = nullptr;
    mark->pAnimTables[0] = nullptr;
    EXPECT_TRUE(mark->Render()); // nothing to draw: the instance stays empty
    mark->pAttachedTo = nullptr;
    EXPECT_TRUE(mark->Render());
    pointer->DeSelect();
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
