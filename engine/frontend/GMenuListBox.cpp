#include "engine/frontend/GMenuListBox.h"

#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/frontend/GMenuThumbButton.h"
#include "engine/object/CFillData.h"

IMPLEMENT_GOBJECT(GMenuListBox, 0x80008000)
IMPLEMENT_GOBJECT(GMenuFileList, 0x80008000)

namespace {
// Where entries that are neither shown nor next to the list wait: off every screen.
const CVector kNowhere(-100000.0f, -100000.0f, 0.0f);
} // namespace

GMenuListBox::GMenuListBox()
{
    if (EditableEvaluation != 0)
        return;
    GMenuItem* controls[] = {pUp, pDown, pThumb, pSelectUp, pSelectDown};
    for (GMenuItem* control : controls)
        if (control)
            control->SetStateBits(MENUITEM_PERSISTENT, true);
    if (pDown && pDown->Position.x == 0.0f && pDown->Position.y == 0.0f && pDown->Position.z == 0.0f)
        pDown->Position = CVector(Size.x, Size.y - pDown->GetHeight(), 0.0f);
    if (pUp && pUp->Position.x == 0.0f && pUp->Position.y == 0.0f && pUp->Position.z == 0.0f)
        pUp->Position = CVector(Size.x, 0.0f, 0.0f);
    if (pThumb) {
        // The thumb runs between the arrows, to the right of the list.
        const float top = pUp ? pUp->Position.y + pUp->GetHeight() : 0.0f;
        const float bottom = pDown ? pDown->Position.y : Size.y;
        pThumb->BottomLimit = bottom - pThumb->GetHeight() + pThumb->Position.y;
        pThumb->Position = CVector(pThumb->Position.x + Size.x, top + pThumb->Position.y, pThumb->Position.z);
        pThumb->TopLimit = pThumb->Position.y;
    }
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetPos(ItemPos);
}

int GMenuListBox::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GMenuItem::SpecifyEditable(cursor);
    AddEditable(cursor, "pDefaultItemData", "CEmbeddedFillData *", pDefaultItemData);
    AddEditable(cursor, "pUp", "GMenuItem *", pUp);
    AddEditable(cursor, "pDown", "GMenuItem *", pDown);
    AddEditable(cursor, "pThumb", "GMenuThumbButton *", pThumb);
    AddEditable(cursor, "pSelectUp", "GMenuItem *", pSelectUp);
    AddEditable(cursor, "pSelectDown", "GMenuItem *", pSelectDown);
    AddEditable(cursor, "Horizontal", "int", Horizontal);
    AddEditable(cursor, "FocusOnActive", "int", FocusOnActive);
    return count + 8;
}

bool GMenuListBox::IsEntry(GObject* object)
{
    GMenuItem* item = FromObject(object);
    return item && !item->Is(MENUITEM_PERSISTENT);
}

GMenuItem* GMenuListBox::Iterate(GMenuItem* from, bool forward)
{
    GObject* o = from ? (forward ? from->pNext : from->pPrev) : pChild;
    while (o && !IsEntry(o))
        o = forward || !from ? o->pNext : o->pPrev;
    return static_cast<GMenuItem*>(o);
}

int GMenuListBox::GetSize()
{
    int n = 0;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true))
        ++n;
    return n;
}

GMenuItem* GMenuListBox::Get(int index)
{
    int i = 0;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true), ++i)
        if (i == index)
            return e;
    return nullptr;
}

GMenuItem* GMenuListBox::Get(const char* text)
{
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true))
        if (e->GetText() && text && std::strcmp(e->GetText(), text) == 0)
            return e;
    return nullptr;
}

int GMenuListBox::IndexOf(GMenuItem* entry)
{
    int i = 0;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true), ++i)
        if (e == entry)
            return i;
    return -1;
}

int GMenuListBox::GetSelectedIndex()
{
    GMenuItem* selected = GetSelected();
    return selected ? IndexOf(selected) : -1;
}

GMenuItem* GMenuListBox::CreateEntry(CEmbeddedFillData* fillData)
{
    GObject* object = fillData ? Create(fillData) : Create(GMenuItem::ClassId, nullptr);
    if (object && fillData)
        object->SetLabel(fillData->LabelId);
    return FromObject(object);
}

void GMenuListBox::Adopt(GMenuItem* entry)
{
    if (entry->GetParent() != this)
        entry->SetParent(this);
    entry->SetSortModifier(GetGraphicSortKey() - 0x8000 + 4);
    entry->SetPos(ItemPos);
}

GMenuItem* GMenuListBox::Add(GMenuItem* entry)
{
    if (entry == nullptr && (entry = CreateEntry(pDefaultItemData)) == nullptr)
        return nullptr;
    Adopt(entry);
    OnModify();
    return entry;
}

GMenuItem* GMenuListBox::Add(const char* text, bool unique, CEmbeddedFillData* fillData)
{
    if (unique)
        if (GMenuItem* existing = Get(text)) {
            existing->SetStateBits(MENUITEM_EXPIRED, false);
            return existing;
        }
    GMenuItem* entry = CreateEntry(fillData ? fillData : pDefaultItemData);
    if (entry == nullptr)
        return nullptr;
    entry->SetText(text);
    Adopt(entry);
    OnModify();
    return entry;
}

std::vector<GMenuItem*> GMenuListBox::Entries()
{
    std::vector<GMenuItem*> entries;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true))
        entries.push_back(e);
    return entries;
}

void GMenuListBox::Reorder(const std::vector<GMenuItem*>& entries)
{
    DWORD priority = kTopPriority;
    for (GMenuItem* e : entries)
        e->ChangePriority(priority--);
}

GMenuItem* GMenuListBox::Insert(GMenuItem* entry, int index, bool replace)
{
    std::vector<GMenuItem*> entries = Entries();
    Reorder(entries);
    bool wasSelected = false;
    if (replace && index >= 0 && index < int(entries.size())) {
        GMenuItem* old = entries[size_t(index)];
        wasSelected = old->GetHandle() == hSelected && GetSelected() == old;
        entries.erase(entries.begin() + index);
        old->SetStateBits(MENUITEM_EXPIRED, true);
        ClearExpired(false);
    }
    if (entry == nullptr && (entry = CreateEntry(pDefaultItemData)) == nullptr)
        return nullptr;
    entries.erase(std::remove(entries.begin(), entries.end(), entry), entries.end());
    index = std::max(0, std::min(index, int(entries.size())));
    entries.insert(entries.begin() + index, entry);
    if (entry->GetParent() != this)
        entry->SetParent(this);
    Reorder(entries);
    Adopt(entry);
    if (wasSelected)
        SetActive(entry);
    OnModify();
    return entry;
}

void GMenuListBox::Sort(bool ascending, unsigned long key)
{
    struct Row {
        const char* text;
        GMenuItem* entry;
    };
    std::vector<Row> table;
    for (GMenuItem* e : Entries()) {
        GMenuItem* source = key != 0 ? e->GetChild(key) : e;
        const char* text = source ? source->GetText() : nullptr;
        table.push_back(Row{text ? text : "", e});
    }
    // A stable sort swaps only entries out of order, as adjacent swaps would.
    std::vector<Row> sorted = table;
    std::stable_sort(sorted.begin(), sorted.end(), [ascending](const Row& a, const Row& b) {
        const int order = std::strcmp(a.text, b.text);
        return ascending ? order < 0 : order > 0;
    });
    bool moved = false;
    for (size_t i = 0; i < table.size(); ++i)
        moved |= table[i].entry != sorted[i].entry;
    if (moved) {
        std::vector<GMenuItem*> order;
        for (const Row& row : sorted)
            order.push_back(row.entry);
        Reorder(order);
    }
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}

void GMenuListBox::Delete(GMenuItem* entry)
{
    entry->SetStateBits(MENUITEM_EXPIRED, true);
    ClearExpired(false);
}

void GMenuListBox::ClearList()
{
    hSelected = HGOBJECT(0);
    FirstShown = 0;
    if (GMenuItem* first = Children())
        first->SetExpired(true);
    ClearExpired(false);
}

void GMenuListBox::ClearExpired(bool)
{
    for (;;) {
        int index = 0;
        GMenuItem* expired = Iterate(nullptr, true);
        for (; expired && !expired->Is(MENUITEM_EXPIRED); expired = Iterate(expired, true))
            ++index;
        if (expired == nullptr)
            break;
        if (index < FirstShown)
            --FirstShown;
        if (expired->GetHandle() == hSelected)
            hSelected = HGOBJECT(0);
        expired->Destroy();
    }
    OnModify();
    Display(true);
}

void GMenuListBox::SetActive(GMenuItem* entry)
{
    if (entry == nullptr)
        return;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true))
        if (e != entry && e->Is(MENUITEM_ACTIVE))
            e->Active(false);
    hSelected = entry->GetHandle();
    const int index = IndexOf(entry);
    if (index < FirstShown)
        FirstShown = index;
    else if (index > LastShown)
        FirstShown += index - LastShown;
    entry->Active(true);
    if (FocusOnActive)
        entry->Focus(true);
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}

void GMenuListBox::Scroll(int n)
{
    FirstShown += n;
    Display(true);
}

void GMenuListBox::ThumbScroll(int index)
{
    if (index == FirstShown)
        return;
    FirstShown = index;
    Display(true);
}

void GMenuListBox::PlaceThumb(int shown)
{
    pThumb->HighestIndex = GetSize() - shown;
    // Every entry showing leaves nothing to scroll: the thumb rests at the top.
    pThumb->Step =
        pThumb->HighestIndex > 0 ? (pThumb->BottomLimit - pThumb->TopLimit) / float(pThumb->HighestIndex) : 0.0f;
    pThumb->Position.y = float(FirstShown) * pThumb->Step + pThumb->TopLimit;
    pThumb->SetPos(ItemPos);
    pThumb->Display(true);
}

void GMenuListBox::Display(bool show)
{
    if (!show) {
        State &= ~(MENUITEM_DISPLAYED | MENUITEM_FOCUSED);
        Redraw();
        ForEachChild(&GMenuItem::Display, false);
        return;
    }
    float room = Horizontal ? Size.x : Size.y;
    CVector cursor = ItemPos;
    if (GMenuItem* selected = GetSelected())
        selected->Active(true);
    GMenuItem* lastAbove = nullptr;
    bool anyShown = false, anyBelow = false;
    int index = 0, shown = 0;
    for (GMenuItem* e = Iterate(nullptr, true); e; e = Iterate(e, true), ++index) {
        const float extent = Horizontal ? e->GetWidth() : e->GetHeight();
        if (index < FirstShown) {
            e->Display(false);
            e->SetPos(kNowhere - e->Position);
            lastAbove = e;
        } else if (!anyBelow && (extent <= room || !anyShown)) {
            e->SetPos(cursor - e->Position);
            e->Display(true);
            (Horizontal ? cursor.x : cursor.y) += extent;
            room -= extent;
            LastShown = index;
            anyShown = true;
            ++shown;
        } else {
            e->Display(false);
            e->SetPos((anyBelow ? kNowhere : cursor) - e->Position);
            anyBelow = true;
        }
    }
    // Navigation finds the entry above just outside the list.
    if (lastAbove) {
        CVector above = ItemPos;
        (Horizontal ? above.x : above.y) -= 1.0f;
        lastAbove->SetPos(above - lastAbove->Position);
    }
    if (pUp && pDown) {
        pUp->Enable(lastAbove != nullptr);
        pDown->Enable(anyBelow);
        pUp->Display(true);
        pDown->Display(true);
    }
    if (pThumb)
        PlaceThumb(shown);
    State |= MENUITEM_DISPLAYED;
    Redraw();
}

void GMenuListBox::ItemActivated(GMenuItem* item)
{
    if (item == nullptr) {
        hSelected = HGOBJECT(0);
        return;
    }
    if (item == pUp)
        --FirstShown;
    else if (item == pDown)
        ++FirstShown;
    else if (item == pSelectUp) {
        GMenuItem* previous = GetSelected() ? Iterate(GetSelected(), false) : nullptr;
        SetActive(previous ? previous : Iterate(nullptr, true));
    } else if (item == pSelectDown) {
        if (GMenuItem* selected = GetSelected())
            SetActive(Iterate(selected, true));
    }
    if (!item->Is(MENUITEM_ENABLED))
        return;
    if (item->Is(MENUITEM_PERSISTENT)) {
        Display(true);
        return;
    }
    SetActive(item);
    Display(true);
    if (GMenuItem* parent = Parent())
        parent->ItemActivated(this);
}

void GMenuListBox::ItemFocusChanged(GMenuItem* item)
{
    GMenuItem::ItemFocusChanged(item);
    hFocused = IsEntry(item) && item->Is(MENUITEM_FOCUSED) ? item->GetHandle() : HGOBJECT(0);
}

bool GMenuFileList::FillFileNames(const char* folder, const char* pattern, const char* activeName)
{
    DIR* dir = opendir(folder && folder[0] ? folder : ".");
    if (dir == nullptr)
        return false;
    while (dirent* found = readdir(dir)) {
        const char* name = found->d_name;
        if (name[0] == '.' || fnmatch(pattern, name, FNM_CASEFOLD) != 0)
            continue;
        const std::string path = std::string(folder && folder[0] ? folder : ".") + "/" + name;
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        GMenuItem* entry = nullptr;
        for (GMenuItem* e = Iterate(nullptr, true); e && !entry; e = Iterate(e, true))
            if (e->GetText() && strcasecmp(e->GetText(), name) == 0)
                entry = e;
        if (entry)
            entry->SetStateBits(MENUITEM_EXPIRED, false);
        else
            entry = Add(name, false, nullptr);
        if (entry && activeName && strcasecmp(name, activeName) == 0)
            SetActive(entry);
    }
    closedir(dir);
    return true;
}
