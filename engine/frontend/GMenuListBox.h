#pragma once
// A scrolling list whose entries are its child items: it shows as many as fit, keeps one
// selected and drives its optional controls (arrows, select-previous and select-next). The
// file list fills one with the names of a folder's files.
#include "engine/frontend/GMenuItem.h"

class CEmbeddedFillData;

class GMenuListBox : public GMenuItem {
    DECLARE_GOBJECT(GMenuListBox, GMenuItem)

    enum { kTopPriority = 33768 };

    GMenuListBox();
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Display(bool show) override;
    void ClearExpired(bool withFollowing) override;
    void ItemActivated(GMenuItem* item) override;
    void ItemFocusChanged(GMenuItem* item) override;
    // Called after every change of the entries.
    virtual void OnModify() {}

    int GetSize();
    GMenuItem* Get(int index);
    GMenuItem* Get(const char* text);
    int GetSelectedIndex();
    GMenuItem* GetSelected() { return FromObject(GObject::GetGobject(hSelected)); }
    GMenuItem* GetFocused() { return FromObject(GObject::GetGobject(hFocused)); }
    // The entry after (or before) from; the first when from is null.
    GMenuItem* Iterate(GMenuItem* from, bool forward);
    GMenuItem* Add(GMenuItem* entry);
    GMenuItem* Add(const char* text, bool unique, CEmbeddedFillData* fillData);
    void Delete(GMenuItem* entry);
    void ClearList();
    void SetActive(GMenuItem* entry);
    void Scroll(int n);

    CEmbeddedFillData* pDefaultItemData;
    GMenuItem* pUp;
    GMenuItem* pDown;
    GMenuItem* pSelectUp;
    GMenuItem* pSelectDown;
    int Horizontal;
    int FocusOnActive;
    int FirstShown;
    int LastShown;
    HGOBJECT hSelected;
    HGOBJECT hFocused;

protected:
    static bool IsEntry(GObject* object);
    GMenuItem* CreateEntry(CEmbeddedFillData* fillData);
    void Adopt(GMenuItem* entry);
    int IndexOf(GMenuItem* entry);
};

class GMenuFileList : public GMenuListBox {
    DECLARE_GOBJECT(GMenuFileList, GMenuListBox)

    // Adds every plain file of the folder whose name matches the pattern (names compared
    // without case; hidden files and folders left out); the entry named activeName is
    // selected. Returns false when the folder cannot be read.
    bool FillFileNames(const char* folder, const char* pattern, const char* activeName);
};
