#pragma once
// The editor's menu pages: the main menu, the list of objects to create and the field editor of
// one object. Their templates live in packed data; only items inside such pages answer the
// editor's pointer.
#include "core/containers/ZArray.h"
#include "core/containers/ZPtrArray.h"
#include "engine/frontend/GMenu.h"
#include "engine/frontend/GMenuButton.h"

class CVeskTemplateFillData;
class GMenuEditBox;
class GMenuListBox;

// Marks a page as an editor page.
class GVeskBaseMenu : public GMenu {
    DECLARE_GOBJECT(GVeskBaseMenu, GMenu)
};

// An entry of an editor list: selectable from the start.
class GVeskListEntry : public GMenuButton {
    DECLARE_GOBJECT(GVeskListEntry, GMenuButton)

    GVeskListEntry();
};

class GVeskMainMenu : public GVeskBaseMenu {
    DECLARE_GOBJECT(GVeskMainMenu, GVeskBaseMenu)

    enum ObjectListKind { LIST_TEMPLATES = 0, LIST_LAYOUT = 1, LIST_DESIGN = 2 };

    GVeskMainMenu();
    ~GVeskMainMenu() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Process() override;
    void DisplayMenu(GMenu* from) override;
    void ItemActivated(GMenuItem* item) override;

    static bool IsRunning() { return bRunning; }

    int ObjectListKind;
    GMenuItem* pEditObject;
    GMenuItem* pCloneObject;

private:
    void Open(const char* page);

    static bool bRunning;
};

class GVeskGobjectMenu : public GVeskBaseMenu {
    DECLARE_GOBJECT(GVeskGobjectMenu, GVeskBaseMenu)

    GVeskGobjectMenu();
    ~GVeskGobjectMenu() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void DisplayMenu(GMenu* from) override;
    void ItemActivated(GMenuItem* item) override;

    // Whether a class belongs to the list of a kind, and its editor colour index (0: none),
    // from the first of the class and its parents that sets each bit.
    static bool IsListed(DWORD classId, int kind, int& colour);

    GMenuListBox* pList;

private:
    void FillTemplates();
    void FillClasses(int kind);
};

class GVeskEditMenu : public GVeskBaseMenu {
    DECLARE_GOBJECT(GVeskEditMenu, GVeskBaseMenu)

    GVeskEditMenu();
    ~GVeskEditMenu() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void DisplayMenu(GMenu* from) override;
    void ItemActivated(GMenuItem* item) override;

    // Row 0 the player, row 1 the label, row 2 + i field i; the object hears of the change by an
    // update message.
    static void Apply(GObject* object, int row, const char* text);
    // The text of a row, as the list shows it.
    static void RowText(GObject* object, int row, char* out, int room);

    GMenuListBox* pList;
    GMenuEditBox* pEdit;
    int EditedRow; // -1: none

private:
    GObject* Edited();
    void BuildRows(bool rebuild);
    void ApplyPending();

    HGOBJECT hEdited;
};
