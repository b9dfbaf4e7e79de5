// The choice widgets: multi-state buttons step through their states, radio groups keep one
// option chosen, and a text page counts its wrapped lines; the list box's thumb, insertion and
// sorting.
#include "FrontendSupport.h"

#include <deque>
#include <string>

#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GMenuMultiStateButton.h"
#include "engine/frontend/GMenuRadioGroup.h"
#include "engine/frontend/GMenuTextPage.h"
#include "engine/frontend/GMenuThumbButton.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/frontend/GmvPointer.h"

// Classes the editor's object lists offer: one for the layout list in the first colour, one for
// the design list in the third, and one in neither.
class GListGreen : public GObject {
    DECLARE_GOBJECT(GListGreen, GObject)
};
IMPLEMENT_GOBJECT(GListGreen, 0x02018000)
class GListDesign : public GObject {
    DECLARE_GOBJECT(GListDesign, GObject)
};
IMPLEMENT_GOBJECT(GListDesign, 0x02078000)
class GListUnlisted : public GObject {
    DECLARE_GOBJECT(GListUnlisted, GObject)
};
IMPLEMENT_GOBJECT(GListUnlisted, 0x00018000)

namespace {

class ChoiceTest : public ObjectTest {
protected:
    TestFont font;
};

TEST_F(ChoiceTest, MultiStateButtonStepsThroughItsStates)
{
    FillData data = ItemData(0, 0, 100, 20, MENUITEM_SELECTABLE, nullptr, nullptr);
    GMenuMultiStateButton* button = MakeItem<GMenuMultiStateButton>(data);
    FillData stateData = ItemData(0, 0, 100, 20, 0, nullptr, nullptr);
    for (int i = 0; i < 3; ++i)
        MakeItem<GMenuItem>(stateData, button);
    button->pCurrent = button->Children();
    button->Display(true);
    int seen[4];
    for (int& state : seen) {
        state = button->GetState();
        button->Activate(true);
    }
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(seen[1], 1);
    EXPECT_EQ(seen[2], 2);
    EXPECT_EQ(seen[3], 0);
    EXPECT_TRUE(button->Children()->Next()->Is(MENUITEM_DISPLAYED)); // state 1 shows now
    EXPECT_FALSE(button->Children()->Is(MENUITEM_DISPLAYED));
    button->SetState(7);
    EXPECT_EQ(button->GetState(), 0);

    GMenuMultiStateButton* toggle = MakeItem<GMenuMultiStateButton>(data);
    EXPECT_EQ(toggle->GetState(), 0);
    toggle->Activate(true);
    EXPECT_EQ(toggle->GetState(), 1);
    toggle->Activate(true);
    EXPECT_EQ(toggle->GetState(), 0);
}

TEST_F(ChoiceTest, RadioGroupKeepsOneOptionChosen)
{
    FillData data = ItemData(0, 0, 100, 60, MENUITEM_SELECTABLE, nullptr, nullptr);
    GMenuRadioGroup* empty = MakeItem<GMenuRadioGroup>(data);
    EXPECT_EQ(empty->GetState(), -1);

    GMenuRadioGroup* group = MakeItem<GMenuRadioGroup>(data);
    FillData optionData = ItemData(0, 0, 100, 20, MENUITEM_SELECTABLE, nullptr, nullptr);
    GMenuItem* options[3];
    for (GMenuItem*& option : options)
        option = MakeItem<GMenuItem>(optionData, group);
    group->SetState(0);
    group->Display(true);
    options[2]->Activate(true); // the option reports to the group, which chooses it
    EXPECT_EQ(group->GetState(), 2);
    EXPECT_TRUE(options[2]->Is(MENUITEM_ACTIVE));
    EXPECT_FALSE(options[2]->Is(MENUITEM_SELECTABLE));
    EXPECT_FALSE(options[0]->Is(MENUITEM_ACTIVE));
    EXPECT_TRUE(options[0]->Is(MENUITEM_SELECTABLE));
    group->SetState(9);
    EXPECT_EQ(group->GetState(), 0);
}

TEST_F(ChoiceTest, TextPageCountsItsWrappedLines)
{
    FillData data = ItemData(0, 0, 40, 1000, 0, "aa bb cc dd", font.Get());
    GMenuTextPage* page = MakeItem<GMenuTextPage>(data);
    EXPECT_EQ(page->LineCount, 2); // "aa bb" and "cc dd" in 40 pixels
    EXPECT_EQ(page->TextHeight, 2.0f * TestFont::kLine);
    EXPECT_EQ(ShownText(page), "\007000aa bb\n\007000cc dd");
}

// Layouts are kept while nothing changes: a text changed in place, a wider box and a new text
// each give a new layout and new glyphs.
TEST_F(ChoiceTest, KeptLayoutsFollowEveryChange)
{
    FillData data = ItemData(0, 0, 40, 1000, 0, nullptr, font.Get());
    GMenuTextPage* page = MakeItem<GMenuTextPage>(data);
    page->SetText("aa bb cc dd");
    page->pText[2] = 'x'; // as an edit box types into its own buffer
    int lines = 0;
    page->ReformatText(&lines);
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(ShownText(page), "\007000aaxbb\n\007000cc dd");
    const SpriteDrawRecord* glyphs = nullptr;
    EXPECT_EQ(font.Get()->LaidOut(&page->GetTextRender(), glyphs), 9);
    EXPECT_EQ(glyphs[1].x, 8.0f);
    page->Size.x = 100;
    page->ReformatText(&lines);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(ShownText(page), "\007000aaxbb cc dd");
    page->SetText("ab");
    EXPECT_EQ(font.Get()->LaidOut(&page->GetTextRender(), glyphs), 2);
    // A moved text instance lays its glyphs out where it is now.
    CVector offset(5, 0, 0);
    page->GetTextRender().Attach(page->GetTextRender().GetPos(), nullptr, nullptr, &offset);
    font.Get()->LaidOut(&page->GetTextRender(), glyphs);
    EXPECT_EQ(glyphs[1].x, 13.0f);
}

// Entries named by text in a list box, with what the list shows.
class ListTest : public ChoiceTest {
protected:
    GMenuListBox* MakeList(float height)
    {
        listData = ItemData(0, 100, 200, height, 0, nullptr, nullptr);
        return MakeItem<GMenuListBox>(listData);
    }
    GMenuItem* Entry(GMenuListBox* list, const char* text)
    {
        entryData.push_back(ItemData(0, 0, 200, 20, 0, text, font.Get()));
        return MakeItem<GMenuItem>(entryData.back(), list);
    }
    static std::string Texts(GMenuListBox* list)
    {
        std::string texts;
        for (int i = 0; i < list->GetSize(); ++i)
            texts += std::string(i ? " " : "") + list->Get(i)->GetText();
        return texts;
    }
    FillData listData;
    std::deque<FillData> entryData;
};

TEST_F(ListTest, InsertPlacesEntriesAndReplaceKeepsTheSelection)
{
    GMenuListBox* list = MakeList(200);
    for (const char* text : {"a", "b", "c"})
        list->Add(Entry(list, text));
    ASSERT_EQ(Texts(list), "a b c");
    list->Insert(Entry(list, "x"), 1, false);
    EXPECT_EQ(Texts(list), "a x b c");
    list->Insert(Entry(list, "first"), 0, false);
    list->Insert(Entry(list, "last"), 99, false);
    EXPECT_EQ(Texts(list), "first a x b c last");

    list->SetActive(list->Get("b"));
    list->Insert(Entry(list, "B"), 3, true);
    EXPECT_EQ(Texts(list), "first a x B c last");
    EXPECT_EQ(list->GetSelectedIndex(), 3);
    // Replacing an entry that is not selected leaves the selection where it was.
    list->Insert(Entry(list, "A"), 1, true);
    EXPECT_EQ(Texts(list), "first A x B c last");
    EXPECT_EQ(list->GetSelectedIndex(), 3);
    // Without a default template a plain item is made.
    GMenuItem* plain = list->Insert(nullptr, 2, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(list->Get(2), plain);
    EXPECT_EQ(list->GetSelectedIndex(), 4);
}

TEST_F(ListTest, SortOrdersByTextOrByAChildsText)
{
    GMenuListBox* list = MakeList(200);
    for (const char* text : {"pear", "apple", "fig", "apple"})
        list->Add(Entry(list, text));
    GMenuItem* firstApple = list->Get(1);
    list->Sort(true, 0);
    EXPECT_EQ(Texts(list), "apple apple fig pear");
    EXPECT_EQ(list->Get(0), firstApple); // equal texts keep their order
    list->Sort(false, 0);
    EXPECT_EQ(Texts(list), "pear fig apple apple");
    EXPECT_EQ(list->Get(2), firstApple);

    // By the text of each entry's child with the key; an entry without one sorts as empty.
    const unsigned long key = CCRC32::GetCRC("Size");
    const char* const sizes[] = {"2", "3", nullptr, "1"};
    std::deque<FillData> childData;
    for (int i = 0; i < 4; ++i)
        if (sizes[i]) {
            childData.push_back(ItemData(0, 0, 10, 10, 0, sizes[i], font.Get()));
            childData.back().Word("ItemId", key);
            MakeItem<GMenuItem>(childData.back(), list->Get(i));
        }
    list->Sort(true, key);
    EXPECT_EQ(Texts(list), "apple apple pear fig");
}

TEST_F(ListTest, ThumbFollowsTheScrollAndDragsIt)
{
    GMenuListBox* list = MakeList(70);
    FillData thumbData = ItemData(0, 0, 10, 10, MENUITEM_SELECTABLE, nullptr, nullptr);
    GMenuThumbButton* thumb = MakeItem<GMenuThumbButton>(thumbData, list);
    EXPECT_TRUE(thumb->Is(MENUITEM_KEEPACTIVE)); // stays pressed while dragged off
    // Limits as the list box's constructor sets them between a 10-pixel up and down arrow.
    list->pThumb = thumb;
    thumb->SetStateBits(MENUITEM_PERSISTENT, true);
    thumb->TopLimit = 10;
    thumb->BottomLimit = 50;

    // Every entry showing: nothing to scroll, and no division by a highest index of 0.
    list->Add(Entry(list, "e0"));
    list->Display(true);
    EXPECT_EQ(thumb->HighestIndex, 0);
    EXPECT_EQ(thumb->Step, 0.0f);
    EXPECT_EQ(thumb->IndexAt(30), 0);

    for (const char* text : {"e1", "e2", "e3", "e4", "e5"})
        list->Add(Entry(list, text));
    list->Display(true); // three of six show
    EXPECT_EQ(thumb->HighestIndex, 3);
    EXPECT_FLOAT_EQ(thumb->Step, 40.0f / 3);
    list->Scroll(2);
    EXPECT_FLOAT_EQ(thumb->GetPos().y, 100 + 10 + 2 * 40.0f / 3);

    // Dragging: the pointer's height below the top limit picks the first shown entry.
    FillData pointerData;
    GmvPointer* pointer = MakeItem<GmvPointer>(pointerData);
    thumb->Activate(true);
    const struct {
        float y;
        int first;
    } drags[] = {{100, 0}, {110 + 14, 1}, {110 + 27, 2}, {400, 3}};
    for (const auto& drag : drags) {
        pointer->SetPos(CVector(215, drag.y, 0));
        thumb->Process();
        EXPECT_EQ(list->FirstShown, drag.first) << drag.y;
    }
    EXPECT_TRUE(list->Get(3)->Is(MENUITEM_DISPLAYED));
    EXPECT_FALSE(list->Get(2)->Is(MENUITEM_DISPLAYED));
    // Released, the thumb leaves the list alone.
    thumb->Activate(false);
    pointer->SetPos(CVector(215, 100, 0));
    thumb->Process();
    EXPECT_EQ(list->FirstShown, 3);
}

// The editor's object list: opened from the main menu it lists the classes of the kind the menu
// asks for, sorted and in their editor colours; choosing one makes it the editor's creation
// class and closes the list, which had stopped the pointer's object actions while open.
TEST_F(ListTest, EditorObjectListOffersTheKindsClassesAndChoosesOne)
{
    GVeskPointer* editor = GVeskPointer::Create();
    ASSERT_NE(editor, nullptr);
    GVeskMainMenu* main = static_cast<GVeskMainMenu*>(GObject::Create(GVeskMainMenu::ClassId, HGOBJECT(0), nullptr));
    auto open = [&](int kind) {
        main->ObjectListKind = kind;
        GVeskGobjectMenu* menu =
            static_cast<GVeskGobjectMenu*>(GObject::Create(GVeskGobjectMenu::ClassId, HGOBJECT(0), nullptr));
        menu->pList = MakeList(5000); // tall enough to show every class
        menu->DisplayMenu(main);
        return menu;
    };
    auto find = [](GMenuListBox* list, const char* name) -> GMenuItem* {
        for (int i = 0; i < list->GetSize(); ++i)
            if (std::string(list->Get(i)->GetText()) == name)
                return list->Get(i);
        return nullptr;
    };

    GVeskGobjectMenu* layout = open(GVeskMainMenu::LIST_LAYOUT);
    EXPECT_EQ(editor->bMenuOpen, 1);
    GMenuItem* green = find(layout->pList, "GListGreen");
    ASSERT_NE(green, nullptr);
    EXPECT_EQ(green->IdleTextColor.y, 1.0f);
    EXPECT_EQ(green->IdleTextColor.x, 0.5f);
    EXPECT_EQ(find(layout->pList, "GListDesign"), nullptr);
    EXPECT_EQ(find(layout->pList, "GListUnlisted"), nullptr);
    for (int i = 1; i < layout->pList->GetSize(); ++i)
        EXPECT_LE(std::string(layout->pList->Get(i - 1)->GetText()), std::string(layout->pList->Get(i)->GetText()));

    green->Focus(true);
    ASSERT_EQ(layout->pList->GetFocused(), green);
    layout->ItemActivated(layout->pList);
    EXPECT_EQ(editor->CreateClass, GListGreen::ClassId);
    ObjectTest::RunFrame(); // the list goes at the end of the frame
    EXPECT_EQ(editor->bMenuOpen, 0);

    GVeskGobjectMenu* design = open(GVeskMainMenu::LIST_DESIGN);
    GMenuItem* designed = find(design->pList, "GListDesign");
    ASSERT_NE(designed, nullptr);
    EXPECT_EQ(designed->IdleTextColor.z, 1.0f);
    EXPECT_EQ(designed->IdleTextColor.x, 0.5f);
    EXPECT_EQ(find(design->pList, "GListGreen"), nullptr);
}

} // namespace
