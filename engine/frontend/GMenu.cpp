#include "engine/frontend/GMenu.h"

#include <cmath>
#include <cstdio>

#include "core/names/CCRC32.h"
#include "engine/devices/GInputDevice.h"
#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GmvPointer.h"
#include "engine/frontend/MenuNames.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/shell/CShell.h"
#include "engine/zel/CZelFixupManager.h"

IMPLEMENT_GOBJECT(GMenu, 0x80008000)
IMPLEMENT_GOBJECT(GMultiplayerSynchronizingMenu, 0x8000)

namespace {

const float kDefaultRepeatRate = 10000.0f;
const int kMaxCandidates = 512;

// Direction vectors by action; the screen's y grows downwards.
const float kDirections[4][2] = {{0.0f, 1.0f}, {0.0f, -1.0f}, {1.0f, 0.0f}, {-1.0f, 0.0f}};

bool IsCandidate(GMenuItem* item)
{
    const DWORD state = item->GetState();
    const DWORD needed = MENUITEM_SELECTABLE | MENUITEM_ENABLED;
    if ((state & needed) != needed || (state & MENUITEM_NOJOYPAD))
        return false;
    return (state & MENUITEM_DISPLAYED) || !(state & MENUITEM_NOHIDDENFOCUS);
}

} // namespace

GMenu::GMenu()
{
    if (EditableEvaluation != 0)
        return;
    if (RepeatRate == 0.0f)
        RepeatRate = kDefaultRepeatRate;
    if (SortModifier == 0) {
        SortModifier = -1;
        Render.SetSortModifier(-1);
        TextRender.SetSortModifier(1);
        for (GMenuItem* child = Children(); child; child = child->Next())
            child->SetSortModifier(3);
    }
    hReturnMenu = pReturnMenu ? pReturnMenu->GetHandle() : HGOBJECT(0);
    pReturnMenu = nullptr;
    // The level's input device may be built after the page: the page binds when it can.
    bHasInput = (Up | Down | Left | Right | ActivateTrigger | Analog) != 0;
    RefuseBadCommands(this);
    if (AutoDisplay)
        DisplayMenu(nullptr);
}

int GMenu::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GMenuItem::SpecifyEditable(cursor);
    AddEditable(cursor, "pReturnMenu", "GMenu *", pReturnMenu);
    AddEditable(cursor, "AutoDisplay", "int", AutoDisplay);
    AddEditable(cursor, "Up", "int", Up);
    AddEditable(cursor, "Down", "int", Down);
    AddEditable(cursor, "Left", "int", Left);
    AddEditable(cursor, "Right", "int", Right);
    AddEditable(cursor, "Activate", "int", ActivateTrigger);
    AddEditable(cursor, "Analog", "int", Analog);
    AddEditable(cursor, "RepeatRate", "float", RepeatRate);
    AddEditable(cursor, "bWrapAround", "int", bWrapAround);
    AddEditable(cursor, "bKillPointer", "int", bKillPointer);
    AddEditable(cursor, "pStartingButton", "GMenuItem *", pStartingButton);
    return count + 12;
}

GMenu* GMenu::Load(const char* name, bool display, GMenu* parent)
{
    const unsigned long key = CCRC32::GetCRC(name);
    const HashEntry* entry = CZelFixupManager::GetHashEntry(key);
    CEmbeddedFillData* fillData = entry ? static_cast<CEmbeddedFillData*>(entry->value) : nullptr;
    if (fillData == nullptr || !IsMenuTemplate(fillData)) {
        std::printf("Menu: \"%s\" names no loaded menu template\n", name);
        return nullptr;
    }
    CZelFixupManager::SetLabel(key, name);
    return Load(fillData, display, parent);
}

GMenu* GMenu::Load(CEmbeddedFillData* fillData, bool display, GMenu* parent)
{
    if (fillData == nullptr || !IsMenuTemplate(fillData))
        return nullptr;
    GObject* object = GObject::Create(fillData->ClassId, HGOBJECT(0), fillData->pData);
    if (object == nullptr)
        return nullptr;
    object->SetLabel(fillData->LabelId);
    GMenu* page = static_cast<GMenu*>(object);
    if (display)
        page->DisplayMenu(parent);
    return page;
}

GMenu* GMenu::GetReturnMenu()
{
    GObject* object = GObject::GetGobject(hReturnMenu);
    return object && object->IsDerivedFromClassId(GMenu::ClassId) ? static_cast<GMenu*>(object) : nullptr;
}

GMenuItem* GMenu::GetFocusedItem() { return FromObject(GObject::GetGobject(hFocused)); }

void GMenu::DestroyPage()
{
    RemoveInput();
    Destroy();
}

void GMenu::SwitchMenu(CEmbeddedFillData* fillData)
{
    GMenu* page = Load(fillData, false, nullptr);
    if (page == nullptr)
        return;
    // The page that is destroyed here must not become the new page's way back.
    page->DisplayMenu(GetReturnMenu());
    if (page->bKillPointer != bKillPointer)
        if (GmvPointer* pointer = GmvPointer::GetCurrent()) {
            if (page->bKillPointer)
                pointer->Sleep();
            else
                pointer->Wakeup();
        }
    DestroyPage();
}

bool GMenu::Process()
{
    if (bHasInput && Is(MENUITEM_DISPLAYED) && GInputDevice::pThe && !GInputDevice::pThe->IsRegistered(GetHandle())) {
        RegisterInput();
        Input(INPUT_INITIAL);
    }
    return false;
}

void GMenu::RegisterInput()
{
    if (GInputDevice::pThe == nullptr)
        return;
    GInputDevice& input = *GInputDevice::pThe;
    const unsigned long mode = input.Mode(0);
    struct Binding {
        int key;
        void (GMenu::*handler)(CInputData*);
    };
    const Binding bindings[] = {{Up, &GMenu::InputUp},
                                {Down, &GMenu::InputDown},
                                {Left, &GMenu::InputLeft},
                                {Right, &GMenu::InputRight},
                                {ActivateTrigger, &GMenu::InputActivate},
                                {Analog, &GMenu::InputAnalog}};
    for (const Binding& b : bindings)
        if (b.key != 0)
            input.Register(GetHandle(), static_cast<unsigned long>(b.key), mode,
                           static_cast<GInputDevice::InputHandler>(b.handler));
}

void GMenu::RemoveInput()
{
    if (bHasInput && GInputDevice::pThe)
        GInputDevice::pThe->UnRegister(GetHandle());
}

void GMenu::DisplayMenu(GMenu* from)
{
    if (from != this)
        hReturnMenu = from ? from->GetHandle() : HGOBJECT(0);
    if (GMenu* back = GetReturnMenu()) {
        back->Enable(false);
        // A page draws 50 above the page it came from; a page shown again by the page it
        // opened keeps its place instead of climbing on every return.
        if (from != nullptr && from != this)
            SetSortModifier(from->GetGraphicSortKey() - 0x8000 + 50);
    }
    if (bHasInput && GInputDevice::pThe) {
        GInputDevice::pThe->UnRegister(GetHandle());
        RegisterInput();
    }
    Enable(true);
    AutoDisplay = 0;
    Display(true);
    AutoDisplay = 1;
    if (bHasInput)
        Input(INPUT_INITIAL);
}

void GMenu::Cancel(GMenuItem* item)
{
    Display(false);
    GMenu* back = GetReturnMenu();
    if (back == nullptr)
        return;
    back->DisplayMenu(back);
    if (item != nullptr)
        back->ItemActivated(item);
}

void GMenu::Display(bool show)
{
    if (show && !(State & MENUITEM_DISPLAYED) && AutoDisplay) {
        DisplayMenu(nullptr);
        return;
    }
    if (!show)
        RemoveInput();
    GMenuItem::Display(show);
}

void GMenu::Enable(bool on)
{
    SetStateBits(MENUITEM_INPUTOFF, !on);
    AttachHotkeys();
    ForEachChild(&GMenuItem::ApplySelectable, on);
}

void GMenu::ItemFocusChanged(GMenuItem* item)
{
    const bool focused = item->Is(MENUITEM_FOCUSED);
    if (!focused) {
        if (item->GetHandle() == hFocused)
            hFocused = HGOBJECT(0);
        return;
    }
    if (item->GetHandle() == hFocused)
        return;
    GMenuItem* previous = GetFocusedItem();
    hFocused = item->GetHandle();
    if (previous != nullptr && previous != item)
        previous->Focus(false);
}

CEmbeddedFillData* GMenu::CommandTemplate(GMenuItem* item, const char* command)
{
    CEmbeddedFillData* fillData = static_cast<CEmbeddedFillData*>(item->GetCommand());
    if (fillData == nullptr || !IsMenuTemplate(fillData)) {
        std::printf("Menu: item %s: \"%s\" names no menu template\n", MenuItemName(item), command);
        return nullptr;
    }
    return fillData;
}

void GMenu::ItemActivated(GMenuItem* item)
{
    const unsigned long id = item->GetItemId();
    if (id == MenuCommand::LoadLevel) {
        if (const char* level = static_cast<const char*>(item->GetCommand()))
            CShell::SetNextLevel(level);
        else
            std::printf("Menu: item %s: \"LoadLevel\" names no level\n", MenuItemName(item));
    } else if (id == MenuCommand::LoadMenu) {
        if (CEmbeddedFillData* fillData = CommandTemplate(item, "LoadMenu")) {
            Display(false);
            Load(fillData, true, this);
        }
    } else if (id == MenuCommand::LoadMenuKillMe) {
        if (CEmbeddedFillData* fillData = CommandTemplate(item, "LoadMenuKillMe")) {
            Load(fillData, true, nullptr);
            DestroyPage();
        }
    } else if (id == MenuCommand::SwapMenu) {
        if (CEmbeddedFillData* fillData = CommandTemplate(item, "SwapMenu")) {
            Load(fillData, true, GetReturnMenu());
            DestroyPage();
        }
    } else if (id == MenuCommand::Cancel) {
        Cancel(nullptr);
    } else if (id == MenuCommand::CancelKillMe) {
        Cancel(nullptr);
        DestroyPage();
    } else if (id == MenuCommand::QuitGame) {
        if (CShell::pThe)
            CShell::pThe->Quit();
    } else if (id == MenuCommand::ActivateFocused) {
        Input(INPUT_ACTIVATE);
    } else if (GMenuItem* parent = Parent()) {
        parent->ItemActivated(item);
    }
}

GMenuItem* GMenu::FindCandidates(GMenuItem** list, int room, int& count)
{
    count = 0;
    GMenuItem* first = Children();
    if (first == nullptr)
        return nullptr;
    GObject::Search(first, true, 0xFFFFFFFF, 0xFFFFFFFF);
    for (GObject* o = GObject::SearchNext(); o && count < room; o = GObject::SearchNext())
        if (GMenuItem* item = FromObject(o))
            if (IsCandidate(item))
                list[count++] = item;
    return first;
}

GMenuItem* GMenu::Nearest(GMenuItem** list, int count, GMenuItem* focused, const CVector& from, float u, float v)
{
    GMenuItem* winner = nullptr;
    float best = 1e30f;
    for (int i = 0; i < count; ++i) {
        GMenuItem* candidate = list[i];
        if (candidate == focused)
            continue;
        const CVector& at = candidate->GetPos();
        const float dx = from.x - at.x, dy = from.y - at.y;
        const bool qualifies = dx * u == 0.0f ? dy * v != 0.0f && dy * v >= std::fabs(dx) : dx * u >= std::fabs(dy);
        const float distance = dx * dx + dy * dy;
        if (qualifies && distance < best) {
            best = distance;
            winner = candidate;
        }
    }
    return winner;
}

void GMenu::Input(int action)
{
    GMenuItem* candidates[kMaxCandidates];
    int count = 0;
    if (Children() == nullptr)
        return;
    GMenuItem* focused = GetFocusedItem();
    if (focused && action == INPUT_ACTIVATE) {
        focused->Activate(true);
        return;
    }
    FindCandidates(candidates, kMaxCandidates, count);
    if (focused == nullptr) {
        GMenuItem* start = FromObject(pStartingButton);
        if (start == nullptr && count > 0)
            start = candidates[0];
        if (start)
            start->Focus(true);
        return;
    }
    if (action == INPUT_INITIAL) {
        // Focus(true) on an item that already has it does nothing: the look comes back by a
        // redraw, which a page shown again needs.
        focused->Focus(true);
        focused->Redraw();
        return;
    }
    if (count == 0 || action < INPUT_UP || action > INPUT_RIGHT)
        return;
    NextRepeatTime = CGameTimer::Seconds() + RepeatRate;
    const float u = kDirections[action][0], v = kDirections[action][1];
    GMenuItem* winner = Nearest(candidates, count, focused, focused->GetPos(), u, v);
    if (winner == nullptr && bWrapAround) {
        CVector from = focused->GetPos();
        if (action == INPUT_UP)
            from.y = 480.0f;
        else if (action == INPUT_DOWN)
            from.y = 0.0f;
        else if (action == INPUT_LEFT)
            from.x = 640.0f;
        else
            from.x = 0.0f;
        winner = Nearest(candidates, count, focused, from, u, v);
    }
    if (winner == nullptr)
        return;
    if (!winner->Is(MENUITEM_DISPLAYED))
        if (GObject* parent = winner->GetParent())
            if (parent->IsDerivedFromClassId(GMenuListBox::ClassId)) {
                GMenuListBox* list = static_cast<GMenuListBox*>(parent);
                list->FirstShown -= int(u + v);
                list->Display(true);
            }
    winner->Focus(true);
}

void GMenu::InputAnalog(CInputData* input)
{
    const float x = input->Float(0), y = input->Float(1);
    int action;
    if (x > 0.8f)
        action = INPUT_RIGHT;
    else if (x < -0.8f)
        action = INPUT_LEFT;
    else if (y > 0.8f)
        action = INPUT_DOWN;
    else if (y < -0.8f)
        action = INPUT_UP;
    else {
        NextRepeatTime = 0.0f;
        return;
    }
    if (CGameTimer::Seconds() >= NextRepeatTime)
        Input(action);
}

GMultiplayerSynchronizingMenu::GMultiplayerSynchronizingMenu()
{
    if (EditableEvaluation == 0)
        CGameTimer::SetSeconds(0.0f);
}

bool GMultiplayerSynchronizingMenu::Process()
{
    Destroy();
    return true;
}
