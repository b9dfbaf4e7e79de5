#pragma once
// A menu page: a menu item whose child items are the page's buttons and widgets. It registers
// its navigation triggers while shown, moves the focus among its items by screen position,
// keeps the one focused item and runs the commands of the items the player activates.
#include "engine/frontend/GMenuItem.h"

class CEmbeddedFillData;

class GMenu : public GMenuItem {
    DECLARE_GOBJECT(GMenu, GMenuItem)

    enum InputActions { INPUT_INITIAL = -1, INPUT_UP = 0, INPUT_DOWN, INPUT_LEFT, INPUT_RIGHT, INPUT_ACTIVATE };

    GMenu();
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Display(bool show) override;
    void Enable(bool on) override;
    void ItemFocusChanged(GMenuItem* item) override;
    void ItemActivated(GMenuItem* item) override;
    // A shown page takes its triggers once the level's input device exists.
    bool Process() override;

    virtual void DisplayMenu(GMenu* from);
    virtual void Cancel(GMenuItem* item);

    // A page from the template published under the name, or from the template itself; null,
    // with a message naming the name, when there is none.
    static GMenu* Load(const char* name, bool display, GMenu* parent);
    static GMenu* Load(CEmbeddedFillData* fillData, bool display, GMenu* parent);
    void SwitchMenu(CEmbeddedFillData* fillData);
    GMenuItem* GetFocusedItem();
    GMenu* GetReturnMenu();
    void Input(int action);

    void InputUp(CInputData*) { Input(INPUT_UP); }
    void InputDown(CInputData*) { Input(INPUT_DOWN); }
    void InputLeft(CInputData*) { Input(INPUT_LEFT); }
    void InputRight(CInputData*) { Input(INPUT_RIGHT); }
    void InputActivate(CInputData*) { Input(INPUT_ACTIVATE); }
    void InputAnalog(CInputData* input);

    int bKillPointer;
    GMenu* pReturnMenu; // from data only; the page goes back through hReturnMenu
    int AutoDisplay;
    int Up, Down, Left, Right;
    int ActivateTrigger;
    int Analog;
    float RepeatRate;
    GMenuItem* pStartingButton;
    HGOBJECT hFocused;
    bool bHasInput;
    int bWrapAround;
    float NextRepeatTime;
    // The return page by handle: pages are destroyed by commands while others still name them.
    HGOBJECT hReturnMenu;

private:
    void RegisterInput();
    void RemoveInput();
    GMenuItem* FindCandidates(GMenuItem** list, int room, int& count);
    GMenuItem* Nearest(GMenuItem** list, int count, GMenuItem* focused, const CVector& from, float u, float v);
    // The template of an item's command, or null after a message naming the item.
    CEmbeddedFillData* CommandTemplate(GMenuItem* item, const char* command);
    void DestroyPage();
};

// The page a multiplayer level's data places: it restarts the game clock and goes away.
class GMultiplayerSynchronizingMenu : public GMenu {
    DECLARE_GOBJECT(GMultiplayerSynchronizingMenu, GMenu)

    GMultiplayerSynchronizingMenu();
    bool Process() override;
};
