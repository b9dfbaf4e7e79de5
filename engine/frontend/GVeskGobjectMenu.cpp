#include <cstring>

#include "core/names/CCRC32.h"
#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/object/CVeskTemplateFillData.h"

IMPLEMENT_GOBJECT(GVeskGobjectMenu, 0x80008000 | CLASS_NO_LAYOUT)

namespace {

const DWORD kColourBits = 0x30000;
const DWORD kDesignBit = 0x40000;
const CVector4 kClassColours[3] = {CVector4(0.5f, 1.0f, 0.5f, 1.0f), CVector4(1.0f, 1.0f, 0.5f, 1.0f),
                                   CVector4(0.5f, 0.5f, 1.0f, 1.0f)};

// The name chosen last, shown active when the list opens again.
char LastChosen[256];

} // namespace

GVeskGobjectMenu::GVeskGobjectMenu()
{
    if (EditableEvaluation == 0 && GVeskPointer::GetEditor() != nullptr)
        GVeskPointer::GetEditor()->bMenuOpen = 1;
}

GVeskGobjectMenu::~GVeskGobjectMenu()
{
    if (EditableEvaluation == 0 && GVeskPointer::GetEditor() != nullptr)
        GVeskPointer::GetEditor()->bMenuOpen = 0;
}

int GVeskGobjectMenu::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GVeskBaseMenu::SpecifyEditable(cursor);
    AddEditable(cursor, "pList", "GMenuListBox *", pList);
    return count + 1;
}

bool GVeskGobjectMenu::IsListed(DWORD classId, int kind, int& colour)
{
    DWORD colourBits = 0, design = 0;
    for (ClassTypeEntry* entry = FindClassEntry(classId); entry != nullptr; entry = entry->pParent) {
        if (colourBits == 0)
            colourBits = entry->Flags & kColourBits;
        if (design == 0)
            design = entry->Flags & kDesignBit;
    }
    colour = int(colourBits >> 16);
    return (design != 0) == (kind == GVeskMainMenu::LIST_DESIGN);
}

void GVeskGobjectMenu::FillTemplates()
{
    CZArray<CVeskTemplateFillData*> templates;
    CVeskTemplateFillData::GetTemplates(templates);
    for (CVeskTemplateFillData* record : templates)
        if (GMenuItem* entry = pList->Add(record->pName != nullptr ? record->pName : "", false, nullptr))
            entry->pCommand = record;
}

void GVeskGobjectMenu::FillClasses(int kind)
{
    CZArray<const char*> classes, templates;
    GetVeskObjectNames(classes, templates);
    for (const char* name : classes) {
        int colour = 0;
        if (!IsListed(CCRC32::GetCRC(name), kind, colour))
            continue;
        GMenuItem* entry = pList->Add(name, false, nullptr);
        if (entry == nullptr)
            continue;
        entry->pCommand = nullptr;
        if (colour >= 1 && colour <= 3)
            entry->IdleTextColor = kClassColours[colour - 1];
    }
}

void GVeskGobjectMenu::DisplayMenu(GMenu* from)
{
    if (pList == nullptr) {
        GMenu::DisplayMenu(from);
        return;
    }
    pList->ClearList();
    const int kind = from != nullptr && from->IsDerivedFromClassId(GVeskMainMenu::ClassId)
                         ? static_cast<GVeskMainMenu*>(from)->ObjectListKind
                         : GVeskMainMenu::LIST_TEMPLATES;
    if (kind == GVeskMainMenu::LIST_TEMPLATES)
        FillTemplates();
    else
        FillClasses(kind);
    pList->Sort(true, 0);
    GMenuItem* last = pList->Get(LastChosen);
    GMenu::DisplayMenu(from);
    if (last != nullptr)
        pList->SetActive(last);
}

void GVeskGobjectMenu::ItemActivated(GMenuItem* item)
{
    if (item != pList || pList == nullptr) {
        GMenu::ItemActivated(item);
        return;
    }
    GMenuItem* chosen = pList->GetFocused();
    GVeskPointer* editor = GVeskPointer::GetEditor();
    if (chosen != nullptr && chosen->GetText() != nullptr) {
        std::strncpy(LastChosen, chosen->GetText(), sizeof LastChosen - 1);
        if (editor != nullptr) {
            if (chosen->pCommand != nullptr)
                editor->SetCreation(0, static_cast<CEmbeddedFillData*>(chosen->pCommand));
            else
                editor->SetCreation(CCRC32::GetCRC(chosen->GetText()), nullptr);
        }
    }
    Cancel(nullptr);
    Destroy();
}
