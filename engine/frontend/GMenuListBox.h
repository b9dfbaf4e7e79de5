#pragma once
// A scrolling list whose entries are its child items: it shows as many as fit, keeps one
// selected and drives its optional controls (arrows, select-previous and select-next). The
// file list fills one with the names of a folder's files.
#include <vector>

#include "engine/frontend/GMenuItem.h"

class CEmbeddedFillData;
class GMenuThumbButton;

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
    // Places the entry at the index (null: one from the default template); with replace, the
    // entry there goes and the new one takes over its selection.
    GMenuItem* Insert(GMenuItem* entry, int index, bool replace);
    // Orders the entries by their text, or with a key by the text of their child with that
    // item id; equal texts keep their order.
    void Sort(bool ascending, unsigned long key);
    void SetActive(GMenuItem* entry);
    void Scroll(int n);
    void ThumbScroll(int index);

    CEmbeddedFillData* pDefaultItemData;
    GMenuItem* pUp;
    GMenuItem* pDown;
    GMenuThumbButton* pThumb;
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
    // The entries in sibling order.
    std::vector<GMenuItem*> Entries();
    // Fixes the sibling order to the given one (priorities from the top down).
    void Reorder(const std::vector<GMenuItem*>& entries);
    void PlaceThumb(int shown);
};

class GMenuFileList : public GMenuListBox {
    DECLARE_GOBJECT(GMenuFileList, GMenuListBox)

    // Adds every plain file of the folder whose name matches the pattern (names compared
    // without case; hidden files and folders left out); the entry named activeName is
    // selected. Returns false when the folder cannot be read.
    bool FillFileNames(const char* folder, const char* pattern, const char* activeName);
};
