// Menu items and pages: word wrap and position codes against tables, directional navigation,
// commands, and menu data that lacks what its commands need.
#include "FrontendSupport.h"

#include <cstring>
#include <string>

#include "engine/frontend/GMenu.h"
#include "engine/frontend/GMenuButton.h"
#include "engine/frontend/MenuNames.h"
#include "engine/object/CFillData.h"

namespace {

class MenuItemTest : public ObjectTest {
protected:
    TestFont font;
};

struct WrapCase {
    const char* text;
    int width;
    const char* wrapped;
    int lines;
};

// Glyphs advance 8, spaces 4: "aa bb" is 36 wide.
TEST_F(MenuItemTest, WordWrapBreaksAtTheLastSpaceBeforeTheLimit)
{
    const WrapCase cases[] = {
        {"aa bb cc", 40, "aa bb\ncc", 2},
        {"aa bb cc", 100, "aa bb cc", 1},
        {"aaaaaaaaaa", 40, "aaaaaaaaaa", 1},             // no space: never broken
        {"aaaa\naaaa", 40, "aaaa\naaaa", 2},             // a newline resets the width
        {"aa bb cc dd", 20, "aa\nbb\ncc\ndd", 4},        // every word on its own line
        {"\007010aa bb cc", 40, "\007010aa\nbb\ncc", 3}, // +10: the limit becomes 30
        {"\010010aa bb cc", 40, "\010010aa bb\ncc", 2},  // -10: the limit becomes 50
    };
    FillData data = ItemData(0, 0, 100, 100, 0, nullptr, font.Get());
    GMenuItem* item = MakeItem<GMenuItem>(data);
    for (const WrapCase& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(item->WordWrapText(&text[0], c.width), c.lines) << c.text;
        EXPECT_EQ(text, c.wrapped) << c.text;
    }
}

struct LayoutCase {
    int format;
    const char* text;
    float height;
    const char* shown;
    int stopAt; // -1: everything fitted
};

TEST_F(MenuItemTest, LinesAreLedByPositionCodesByFormat)
{
    const LayoutCase cases[] = {
        {0, "\007020ab cd", 100, "\007020ab cd", -1}, // format 0: the text as stored, codes included
        {1, "ab cd", 100, "\010018ab cd", -1},        // centred: minus half of 36
        {4, "ab cd", 100, "\010018ab cd", -1},        // 4 folds into 1
        {2, "ab cd", 100, "\010036ab cd", -1},        // right-aligned: minus the width
        {5, "abc", 100, "\010024abc", -1},
        {3, "\007020ab\ncd", 100, "\007020ab\n\007020cd", -1},     // a leading code holds for later lines
        {3, "ab\007030cd\nef", 100, "\007000abcd\n\007030ef", -1}, // a later code from the next line
        {6, "ab\ncd", 100, "\007000ab\n\007000cd", -1},
        {1, "a\nb\nc", 20, "\010004a\n\010004b", 4}, // two lines of 10 fit in 20
        {1, "aaa bbb ccc", 60, "\010012aaa\n\010012bbb\n\010012ccc", -1},
    };
    for (const LayoutCase& c : cases) {
        FillData data = ItemData(0, 0, 40, c.height, 0, c.text, font.Get());
        data.Int("TextFormat", c.format);
        GMenuItem* item = MakeItem<GMenuItem>(data);
        EXPECT_EQ(ShownText(item), c.shown) << c.text << " format " << c.format;
        const char* stop = item->ReformatText(nullptr);
        EXPECT_EQ(stop ? int(stop - item->GetText()) : -1, c.stopAt) << c.text;
        EXPECT_STREQ(item->GetText(), c.text); // the item keeps its text as given
        item->Destroy();
    }
}

// A tall box with a line per character: each line adds a code, well past 512 bytes.
TEST_F(MenuItemTest, ManyShortLinesAllGetTheirCodes)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "a\n";
    text += "a";
    FillData data = ItemData(0, 0, 40, 100000, 0, text.c_str(), font.Get());
    data.Int("TextFormat", 2);
    GMenuItem* item = MakeItem<GMenuItem>(data);
    int lines = 0;
    EXPECT_EQ(item->ReformatText(&lines), nullptr);
    EXPECT_EQ(lines, 301);
    EXPECT_EQ(ShownText(item).size(), 301u * 5 + 300);
}

TEST_F(MenuItemTest, SizeComesFromTheFontWhenNotGivenAndTextfIsBounded)
{
    FillData data = ItemData(0, 0, 0, 0, 0, nullptr, font.Get());
    GMenuItem* item = MakeItem<GMenuItem>(data);
    EXPECT_EQ(item->GetHeight(), float(TestFont::kLine));
    EXPECT_EQ(item->GetWidth(), 0.0f);
    item->SetTextf("%d lives", 3);
    EXPECT_STREQ(item->GetText(), "3 lives");
}

TEST_F(MenuItemTest, FocusNeedsAShownEnabledItemAndExpiryFollowsTheTree)
{
    FillData childData = ItemData(0, 0, 10, 10, MENUITEM_PERSISTENT, nullptr, nullptr);
    FillData data = ItemData(0, 0, 10, 10, 0, nullptr, nullptr);
    GMenuItem* item = MakeItem<GMenuItem>(data);
    GMenuItem* child = MakeItem<GMenuItem>(childData, item);
    GMenuItem* plain = MakeItem<GMenuItem>(data, item);
    item->Focus(true);
    EXPECT_FALSE(item->Is(MENUITEM_FOCUSED)); // hidden
    item->Display(true);
    item->Focus(true);
    EXPECT_TRUE(item->Is(MENUITEM_FOCUSED));
    item->Enable(false);
    EXPECT_FALSE(item->Is(MENUITEM_FOCUSED));
    EXPECT_FALSE(item->Activate(true));
    item->SetExpired(false);
    EXPECT_TRUE(item->Is(MENUITEM_EXPIRED));
    EXPECT_TRUE(plain->Is(MENUITEM_EXPIRED));
    EXPECT_FALSE(child->Is(MENUITEM_EXPIRED));
}

class MenuTest : public MenuItemTest {
protected:
    // A page of four buttons in a column 40 apart, the second hidden from navigation; the
    // buttons are the page's stored children, built before the page as packed data builds them.
    GMenu* Column(bool wrap, unsigned long thirdId = 0, void* thirdCommand = nullptr)
    {
        FillData page;
        page.Int("bWrapAround", wrap ? 1 : 0);
        for (int i = 0; i < 4; ++i) {
            FillData& data = buttonData[i];
            data = ItemData(100, 100 + 40.0f * i, 100, 30, MENUITEM_SELECTABLE | (i == 1 ? 0x0001ul : 0ul), kTexts[i],
                            font.Get());
            if (i == 2)
                data.Word("ItemId", thirdId)
                    .Word("pCommand", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(thirdCommand)));
            records[i] = EmbeddedRecordForTest{0, GMenuButton::ClassId, 0, data.Get(), 0};
            page.Embedded(FILLDATA_UNSTORED_CHILD, &records[i]);
        }
        GMenu* menu = MakeItem<GMenu>(page);
        GMenuItem* child = menu->Children();
        for (int i = 0; i < 4; ++i, child = child->Next())
            buttons[i] = static_cast<GMenuButton*>(child);
        menu->DisplayMenu(nullptr);
        menu->Input(-1);
        return menu;
    }
    GMenuItem* Focused(GMenu* menu) { return menu->GetFocusedItem(); }
    const char* const kTexts[4] = {"new game", "load", "options", "quit"};
    GMenuButton* buttons[4] = {};
    FillData buttonData[4];
    EmbeddedRecordForTest records[4] = {};
};

TEST_F(MenuTest, NavigationFollowsTheConeAndWrapsAroundWhenAsked)
{
    GMenu* menu = Column(false);
    EXPECT_EQ(Focused(menu), buttons[0]);
    menu->Input(GMenu::INPUT_DOWN);
    EXPECT_EQ(Focused(menu), buttons[2]); // the second item is skipped by navigation
    menu->Input(GMenu::INPUT_DOWN);
    EXPECT_EQ(Focused(menu), buttons[3]);
    menu->Input(GMenu::INPUT_DOWN);
    EXPECT_EQ(Focused(menu), buttons[3]); // no wrap: the focus stays
    menu->Input(GMenu::INPUT_LEFT);
    EXPECT_EQ(Focused(menu), buttons[3]); // nothing in the cone to the left
    EXPECT_TRUE(buttons[3]->Is(MENUITEM_FOCUSED));
    EXPECT_FALSE(buttons[0]->Is(MENUITEM_FOCUSED));

    GMenu* wrapping = Column(true);
    wrapping->Input(GMenu::INPUT_UP);
    EXPECT_EQ(Focused(wrapping), buttons[3]); // from the bottom edge of the screen
}

TEST_F(MenuTest, LoadMenuThenCancelRefocusesTheEarlierItem)
{
    FillData subButton = ItemData(100, 100, 100, 30, MENUITEM_SELECTABLE, "cancel", font.Get());
    subButton.Word("ItemId", MenuCommand::CancelKillMe);
    EmbeddedRecordForTest child = {0, GMenuButton::ClassId, 0, subButton.Get(), 0};
    FillData subPage;
    subPage.Embedded(FILLDATA_UNSTORED_CHILD, &child);
    EmbeddedRecordForTest page = {0, GMenu::ClassId, CCRC32::GetCRC("LoadPage"), subPage.Get(), 0};

    GMenu* menu = Column(false, MenuCommand::LoadMenu, &page);
    menu->Input(GMenu::INPUT_DOWN);
    menu->Input(GMenu::INPUT_ACTIVATE);
    EXPECT_FALSE(menu->Is(MENUITEM_DISPLAYED));
    GObject::Search(nullptr, true, 0xFFFFFFFF, GMenu::ClassId);
    GMenu* sub = nullptr;
    for (GObject* o = GObject::SearchNext(); o; o = GObject::SearchNext())
        if (o->GetLabel() == CCRC32::GetCRC("LoadPage"))
            sub = static_cast<GMenu*>(o);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetReturnMenu(), menu);
    EXPECT_GT(sub->GetGraphicSortKey(), menu->GetGraphicSortKey());
    const HGOBJECT subHandle = sub->GetHandle();
    sub->Input(GMenu::INPUT_ACTIVATE); // focuses "cancel"
    sub->Input(GMenu::INPUT_ACTIVATE); // runs it
    EXPECT_EQ(GObject::GetGobject(subHandle), nullptr);
    EXPECT_TRUE(menu->Is(MENUITEM_DISPLAYED));
    EXPECT_EQ(Focused(menu), buttons[2]); // kept while hidden
    menu->Input(-1);                      // what a page with input does on display
    EXPECT_TRUE(buttons[2]->Is(MENUITEM_FOCUSED));
    EXPECT_FALSE(buttons[0]->Is(MENUITEM_FOCUSED));
}

// A page whose return page is gone goes nowhere on cancel instead of into freed memory.
TEST_F(MenuTest, CancelAfterTheReturnPageWasDestroyedOnlyHides)
{
    GMenu* first = Column(false);
    FillData data;
    GMenu* second = MakeItem<GMenu>(data);
    second->DisplayMenu(first);
    first->Destroy();
    second->Cancel(nullptr);
    EXPECT_FALSE(second->Is(MENUITEM_DISPLAYED));
    EXPECT_EQ(second->GetReturnMenu(), nullptr);
}

TEST_F(MenuTest, CommandsLackingTheirTemplateAreRefusedNamingTheItem)
{
    const char notAMenu[] = "level1.zel";
    std::string said = CaptureStdout([&] { Column(false, MenuCommand::LoadMenu, const_cast<char*>(notAMenu)); });
    EXPECT_NE(said.find("Menu: item \"options\" refused: its command names no menu template"), std::string::npos)
        << said;
    EXPECT_FALSE(buttons[2]->Is(MENUITEM_ENABLED));
    said = CaptureStdout([&] { buttons[2]->Activate(true); });
    EXPECT_FALSE(buttons[2]->Is(MENUITEM_ACTIVATED));

    said = CaptureStdout([&] { Column(false, MenuCommand::LoadLevel, nullptr); });
    EXPECT_NE(said.find("Menu: item \"options\" refused: \"LoadLevel\" names no level"), std::string::npos) << said;

    said = CaptureStdout([&] { EXPECT_EQ(GMenu::Load("NoSuchMenu", true, nullptr), nullptr); });
    EXPECT_NE(said.find("\"NoSuchMenu\" names no loaded menu template"), std::string::npos) << said;
}

} // namespace
