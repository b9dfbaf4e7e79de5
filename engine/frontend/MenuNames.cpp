#include "engine/frontend/MenuNames.h"

#include <cstdio>

#include "engine/frontend/GMenu.h"
#include "engine/object/CFillData.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

bool DerivesFrom(DWORD classId, DWORD ancestor)
{
    for (ClassTypeEntry* entry = GObject::FindClassEntry(classId); entry; entry = entry->pParent)
        if (entry->ClassId == ancestor)
            return true;
    return false;
}

// What the command needs, or null when it needs nothing or has it.
const char* MissingPart(GMenuItem* item)
{
    const unsigned long id = item->GetItemId();
    void* command = item->GetCommand();
    if (id == MenuCommand::LoadLevel)
        return command ? nullptr : "\"LoadLevel\" names no level";
    const bool needsMenu =
        id == MenuCommand::LoadMenu || id == MenuCommand::LoadMenuKillMe || id == MenuCommand::SwapMenu;
    if (needsMenu && !IsMenuTemplate(static_cast<CEmbeddedFillData*>(command)))
        return "its command names no menu template";
    return nullptr;
}

void Refuse(GObject* first)
{
    for (GObject* object = first; object; object = object->pNext) {
        if (GMenuItem* item = GMenuItem::FromObject(object))
            if (const char* missing = MissingPart(item)) {
                std::printf("Menu: item %s refused: %s\n", MenuItemName(item), missing);
                item->Enable(false);
            }
        Refuse(object->pChild);
    }
}

} // namespace

// A record that starts in loaded packed data must lie wholly in it; records built by code
// are taken as they are.
bool IsMenuTemplate(const CEmbeddedFillData* fillData)
{
    if (fillData == nullptr)
        return false;
    if (CZelFile::IsLoadedData(fillData, 1) && !CZelFile::IsLoadedData(fillData, sizeof(CEmbeddedFillData)))
        return false;
    return DerivesFrom(fillData->ClassId, GMenu::ClassId);
}

const char* MenuItemName(GMenuItem* item)
{
    static char name[96];
    const HashEntry* entry = item->GetLabel() ? CZelFixupManager::GetHashEntry(item->GetLabel()) : nullptr;
    if (entry && entry->label)
        std::snprintf(name, sizeof name, "\"%s\"", entry->label);
    else if (item->GetText())
        std::snprintf(name, sizeof name, "\"%.80s\"", item->GetText());
    else
        std::snprintf(name, sizeof name, "with label key %08lX", item->GetLabel());
    return name;
}

void RefuseBadCommands(GMenuItem* page) { Refuse(page->pChild); }
