#include <cstdio>

#include "core/names/CCRC32.h"
#include "engine/frontend/GRecorder.h"
#include "engine/frontend/GBaseVeskSnooper.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/object/GPosRot.h"
#include "engine/shell/CShell.h"
#include "engine/world/GmvCamera.h"

// The editor's pages are never part of the level: the layout save, which runs while the main
// menu is open, leaves them out.
IMPLEMENT_GOBJECT(GVeskBaseMenu, 0x80008000 | CLASS_NO_LAYOUT)
IMPLEMENT_GOBJECT(GVeskListEntry, 0x80008000 | CLASS_NO_LAYOUT)
IMPLEMENT_GOBJECT(GVeskMainMenu, 0x80008000 | CLASS_NO_LAYOUT)

bool GVeskMainMenu::bRunning;

GVeskListEntry::GVeskListEntry()
{
    if (EditableEvaluation == 0)
        SetSelectable(true);
}

GVeskMainMenu::GVeskMainMenu()
{
    if (EditableEvaluation == 0)
        bRunning = true;
}

// The main menu's end is the editor's end.
GVeskMainMenu::~GVeskMainMenu()
{
    if (EditableEvaluation != 0)
        return;
    if (GVeskPointer* editor = GVeskPointer::GetEditor())
        editor->Destroy();
    bRunning = false;
}

int GVeskMainMenu::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GVeskBaseMenu::SpecifyEditable(cursor);
    AddEditable(cursor, "pEditObject", "GMenuItem *", pEditObject);
    AddEditable(cursor, "pCloneObject", "GMenuItem *", pCloneObject);
    return count + 2;
}

void GVeskMainMenu::DisplayMenu(GMenu* from)
{
    if (pEditObject != nullptr)
        pEditObject->Enable(false);
    SetTextf("Vesk of Editing, Player %d", GVeskPointer::GetPlayer());
    GMenu::DisplayMenu(from);
}

bool GVeskMainMenu::Process()
{
    GMenu::Process();
    GVeskPointer* editor = GVeskPointer::GetEditor();
    if (editor == nullptr)
        return false;
    const int selected = editor->GetSelectedCount();
    if (pEditObject != nullptr)
        pEditObject->Enable(selected == 1 && editor->GetSelected(0) != nullptr &&
                            !editor->GetSelected(0)->GetHandle().IsNull());
    if (pCloneObject != nullptr)
        pCloneObject->Enable(selected != 0);
    return false;
}

void GVeskMainMenu::Open(const char* page)
{
    if (GMenu::Load(page, true, this) != nullptr)
        Display(false);
}

void GVeskMainMenu::ItemActivated(GMenuItem* item)
{
    item->Focus(false);
    GVeskPointer* editor = GVeskPointer::GetEditor();
    if (item == pEditObject) {
        Open("VeskEditMenu");
        return;
    }
    if (item == pCloneObject) {
        if (editor != nullptr)
            editor->Clone();
        return;
    }
    const unsigned long id = item->GetItemId();
    bool end = false;
    if (id == CCRC32::GetCRC("VeskMain_Resume")) {
        end = true;
    } else if (id == CCRC32::GetCRC("VeskMain_AddTemplateObject")) {
        ObjectListKind = LIST_TEMPLATES;
        Open("VeskGobjectMenu");
    } else if (id == CCRC32::GetCRC("VeskMain_AddLayoutObject")) {
        ObjectListKind = LIST_LAYOUT;
        Open("VeskGobjectMenu");
    } else if (id == CCRC32::GetCRC("VeskMain_AddDesignObject")) {
        ObjectListKind = LIST_DESIGN;
        Open("VeskGobjectMenu");
    } else if (id == CCRC32::GetCRC("VeskMain_SaveLayout")) {
        // Selection marks hang under the objects they mark; they are the editor's, not the
        // level's, and a layout holding them would not convert back.
        if (editor != nullptr)
            editor->DeSelect();
        GObject::VeskTextSave(GBaseVeskSnooper::GetVeskMode(), CShell::GetCurrentLevel());
        end = true;
    } else if (id == CCRC32::GetCRC("VeskMain_StartCineRecord")) {
        GRecorder::Start(true);
        end = true;
    } else if (id == CCRC32::GetCRC("VeskMain_StopCineRecord")) {
        GRecorder::Start(false);
    } else if (id == CCRC32::GetCRC("VeskMain_SelectCineKeyframe")) {
        GPosRot* single = editor != nullptr && editor->GetSelectedCount() == 1 ? editor->GetSelected(0) : nullptr;
        if (single != nullptr && !single->GetHandle().IsNull())
            GRecorder::SetKeyframeTarget(single->GetHandle());
        else
            GRecorder::SetKeyframeTarget(GmvCamera::pThe != nullptr ? GmvCamera::pThe->GetHandle() : HGOBJECT(0));
    } else if (id == CCRC32::GetCRC("VeskMain_RestartLevel")) {
        CShell::SetNextLevel(CShell::GetCurrentLevel());
        end = true;
    }
    if (end)
        Destroy();
}
