#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/names/CCRC32.h"
#include "engine/frontend/GMenuEditBox.h"
#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/GPosRot.h"

IMPLEMENT_GOBJECT(GVeskEditMenu, 0x80008000 | CLASS_NO_LAYOUT)

namespace {

// The text position code that starts a row's value 210 units in.
const char kValueCode[] = "\a210";
const int kValueCodeLength = 4;
const float kEditBoxIndent = 240.0f;

} // namespace

GVeskEditMenu::GVeskEditMenu()
{
    if (EditableEvaluation != 0)
        return;
    EditedRow = -1;
    if (GVeskPointer::GetEditor() != nullptr)
        GVeskPointer::GetEditor()->bMenuOpen = 1;
}

GVeskEditMenu::~GVeskEditMenu()
{
    if (EditableEvaluation == 0 && GVeskPointer::GetEditor() != nullptr)
        GVeskPointer::GetEditor()->bMenuOpen = 0;
}

int GVeskEditMenu::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GVeskBaseMenu::SpecifyEditable(cursor);
    AddEditable(cursor, "pList", "GMenuListBox *", pList);
    AddEditable(cursor, "pEdit", "GMenuEditBox *", pEdit);
    return count + 2;
}

GObject* GVeskEditMenu::Edited() { return GetGobject(hEdited); }

void GVeskEditMenu::RowText(GObject* object, int row, char* out, int room)
{
    if (row == 0) {
        snprintf(out, room, "Player %s%d", kValueCode, object->GetHandle().Player());
        return;
    }
    if (row == 1) {
        CVeskExtraData* extra = CVeskExtraData::Find(object->GetLabel());
        if (extra != nullptr && extra->Label() != nullptr)
            snprintf(out, room, "Label %s%s", kValueCode, extra->Label());
        else
            snprintf(out, room, "Label %s%08lX", kValueCode, static_cast<unsigned long>(object->GetLabel()));
        return;
    }
    ZPtrArray<EditableInfo, 64> fields;
    object->GetEditableInfoList(fields);
    EditableInfo* info = row - 2 < fields.GetSize() ? fields[row - 2] : nullptr;
    char value[64];
    if (info != nullptr && object->GetEditDataValue(value, info) != nullptr)
        snprintf(out, room, "%s %s%s", info->Name, kValueCode, value);
    else
        snprintf(out, room, "error");
}

void GVeskEditMenu::Apply(GObject* object, int row, const char* text)
{
    if (row == 0) {
        const WORD player = static_cast<WORD>(std::atoi(text));
        object->ChangePlayer(player);
        GVeskPointer::SetPlayer(player);
    } else if (row == 1) {
        // A label shown as its key is not a name: it stays as it is.
        if (std::strncmp(text, "0x", 2) != 0) {
            object->SetLabel(CCRC32::GetCRC(text));
            if (CVeskExtraData::Find(object->GetLabel()) == nullptr)
                CVeskExtraData::Create(text);
        }
    } else {
        ZPtrArray<EditableInfo, 64> fields;
        object->GetEditableInfoList(fields);
        if (row - 2 < fields.GetSize())
            object->SetEditDataValue(text, fields[row - 2]);
    }
    CVeskUpdateMessage update;
    update.MessageId = CVeskUpdateMessage::CMessageId;
    update.hRecipient = object->GetHandle();
    update.Priority = CMessage::DefaultPriority;
    if (object->OnFilterMessage(&update))
        object->OnReceiveMessage(&update);
}

void GVeskEditMenu::BuildRows(bool rebuild)
{
    GObject* object = Edited();
    if (object == nullptr || pList == nullptr)
        return;
    if (rebuild) {
        pList->ClearList();
        ZPtrArray<EditableInfo, 64> fields;
        object->GetEditableInfoList(fields);
        for (int i = 0; i < 2 + fields.GetSize(); ++i)
            pList->Add("x", false, nullptr);
    }
    char text[512];
    for (int row = 0; row < pList->GetSize(); ++row)
        if (GMenuItem* entry = pList->Get(row)) {
            RowText(object, row, text, sizeof text);
            entry->SetText(text);
        }
}

void GVeskEditMenu::DisplayMenu(GMenu* from)
{
    if (pList != nullptr)
        pList->ClearList();
    GVeskPointer* editor = GVeskPointer::GetEditor();
    GPosRot* single = editor != nullptr && editor->GetSelectedCount() == 1 ? editor->GetSelected(0) : nullptr;
    if (single == nullptr || single->GetHandle().IsNull()) {
        Cancel(nullptr);
        Destroy();
        return;
    }
    hEdited = single->GetHandle();
    single->Status = 1;
    EditedRow = -1;
    SetTextf("Edit GObject: %s", single->GetClassName());
    BuildRows(true);
    GMenu::DisplayMenu(from);
    if (pEdit != nullptr)
        pEdit->Display(false);
}

void GVeskEditMenu::ApplyPending()
{
    GObject* object = Edited();
    if (EditedRow < 0 || object == nullptr || pEdit == nullptr)
        return;
    Apply(object, EditedRow, pEdit->GetText() != nullptr ? pEdit->GetText() : "");
    BuildRows(false);
    pEdit->Display(false);
    EditedRow = -1;
}

void GVeskEditMenu::ItemActivated(GMenuItem* item)
{
    if (item->GetItemId() == CCRC32::GetCRC("VeskEdit_Done")) {
        ApplyPending();
        Cancel(nullptr);
        Destroy();
        return;
    }
    if (item != pList || pList == nullptr || pEdit == nullptr) {
        GMenu::ItemActivated(item);
        return;
    }
    ApplyPending();
    EditedRow = pList->GetSelectedIndex();
    GMenuItem* row = pList->Get(EditedRow);
    if (row == nullptr || row->GetText() == nullptr) {
        EditedRow = -1;
        return;
    }
    CVector at = row->GetPos();
    at.x += kEditBoxIndent;
    pEdit->SetPos(at);
    pEdit->Display(true);
    // The row keeps its name; the value after the position code goes into the edit box.
    char text[512];
    std::strncpy(text, row->GetText(), sizeof text - 1);
    text[sizeof text - 1] = 0;
    char* code = std::strstr(text, kValueCode);
    if (code != nullptr) {
        pEdit->SetText(code + kValueCodeLength);
        *code = 0;
        row->SetText(text);
    } else {
        pEdit->SetText("");
    }
}
