// The class registry: every game-object class registers itself while the library loads, and is
// created by the name key of its class name. InitEditableInfo then builds one prototype of
// each class to learn its editable fields and its parent class.
#include <string.h>

#include "core/heap/ZHeap.h"
#include "core/names/CCRC32.h"
#include "core/output/ZOutput.h"
#include "engine/object/CFillData.h"
#include "engine/object/GObject.h"

// Starts at 1: until the prototypes are built, objects get no handles.
DWORD GObject::EditableEvaluation = 1;
bool GObject::bCreatingDefaultObjects;

namespace {

// Constant-initialised, so classes may register from static initialisers in any order.
ZPtrArray<ClassTypeEntry> Registry;

const int MAX_EDITABLES = 512;
EditableInfo ScratchEditables[MAX_EDITABLES];
// Bounds of the table a prototype's SpecifyEditable is filling.
EditableInfo* pScratchEnd;

void ComputeRttiCodes()
{
    DWORD bit = 1;
    for (ClassTypeEntry* entry : Registry) {
        DWORD own = 0;
        if (entry->Flags & CLASS_OWN_RTTI_BIT) {
            own = bit;
            bit <<= 1;
        }
        *entry->pRttiCode = own;
    }
    // A class's code holds the bits of every flagged class in its ancestry.
    for (ClassTypeEntry* entry : Registry)
        for (ClassTypeEntry* up = entry->pParent; up != nullptr; up = up->pParent)
            *entry->pRttiCode |= *up->pRttiCode;
}

} // namespace

DWORD GObject::AddClassId(const char* name, GObjectCreateFunction create, DWORD flags, DWORD* rttiCode)
{
    ClassTypeEntry* entry = static_cast<ClassTypeEntry*>(zmalloc(sizeof(ClassTypeEntry)));
    entry->ClassId = CCRC32::GetCRC(name);
    entry->Name = name;
    entry->pRttiCode = rttiCode;
    entry->pParent = nullptr;
    entry->pCreate = create;
    entry->Flags = flags;
    entry->pDefaultData = nullptr;
    entry->pEditable = nullptr;
    entry->pStateTable = nullptr;
    *rttiCode = 0;
    Registry.Add(entry);
    return entry->ClassId;
}

ClassTypeEntry* GObject::FindClassEntry(DWORD classId)
{
    for (ClassTypeEntry* entry : Registry)
        if (entry->ClassId == classId)
            return entry;
    return nullptr;
}

GObject* GObject::Create(DWORD classId, HGOBJECT handle, EditableFillData* data)
{
    ClassTypeEntry* entry = FindClassEntry(classId);
    if (entry == nullptr)
        return nullptr;
    return entry->pCreate(nullptr, handle, entry, data, nullptr);
}

GObject* GObject::Create(DWORD classId, EditableFillData* data)
{
    ClassTypeEntry* entry = FindClassEntry(classId);
    if (entry == nullptr)
        return nullptr;
    return entry->pCreate(this, HGOBJECT(0), entry, data, nullptr);
}

GObject* GObject::Create(CEmbeddedFillData* record)
{
    return record != nullptr ? Create(record->ClassId, record->pData) : nullptr;
}

void* GObject::operator new(size_t size, GObject* parent, HGOBJECT handle, ClassTypeEntry* entry,
                            EditableFillData* data, CLoadSaveBuffer* stream) noexcept
{
    GObject* object = static_cast<GObject*>(zmalloc(size));
    if (object == nullptr)
        vbail("Failed GObject Creation");
    memset(static_cast<void*>(object), 0, size);

    object->pClassEntry = entry;
    object->Priority = entry->Flags & CLASS_PRIORITY_MASK;
    object->SetParent(parent);

    const WORD player = parent != nullptr ? parent->hObject.Player() : handle.Player();
    if (entry->Flags & CLASS_HAS_HANDLE) {
        const HGOBJECT given = object->AddHandle(player, handle.IsNull() ? HGOBJECT(0) : handle);
        if (given.IsNull() && EditableEvaluation == 0) {
            object->Unlink();
            zfree(object);
            return nullptr;
        }
    } else {
        object->hObject = HGOBJECT(player);
    }

    // A saved object comes back with its saved values alone: its class defaults are not laid
    // under them.
    if (stream != nullptr) {
        object->Load(*stream);
    } else {
        object->SetEditableInfo(entry->pDefaultData, entry->pParent, 0x11, true);
        if (data != nullptr)
            object->SetEditableInfo(data, nullptr, 0x11, bCreatingDefaultObjects);
    }
    object->Status = bCreatingDefaultObjects ? STATUS_DEFAULT_OBJECT : STATUS_LIVE;
    return object;
}

void GObject::operator delete(void* memory, GObject*, HGOBJECT, ClassTypeEntry*, EditableFillData*,
                              CLoadSaveBuffer*) noexcept
{
    zfree(memory);
}

void GObject::operator delete(void* memory) noexcept { zfree(memory); }

GObject* GObject::FinishCreation(GObject* object)
{
    if (object != nullptr && EditableEvaluation == 0)
        object->PostConstruction();
    return object;
}

void GObject::InitEditableInfo()
{
    EditableEvaluation = 1;
    for (ClassTypeEntry* entry : Registry) {
        GObject* prototype = entry->pCreate(nullptr, HGOBJECT(0), entry, nullptr, nullptr);
        if (prototype == nullptr)
            continue;
        entry->pParent = FindClassEntry(prototype->GetParentClassId());
        if (entry->pParent == entry)
            entry->pParent = nullptr;

        EditableInfo* cursor = ScratchEditables;
        pScratchEnd = ScratchEditables + MAX_EDITABLES - 1;
        const int count = prototype->SpecifyEditable(cursor);
        pScratchEnd = nullptr;
        memset(static_cast<void*>(&ScratchEditables[count]), 0, sizeof(EditableInfo));
        prototype->Destroy();

        zfree(entry->pEditable);
        entry->pEditable = static_cast<EditableInfo*>(zmalloc((count + 1) * sizeof(EditableInfo)));
        memcpy(entry->pEditable, ScratchEditables, (count + 1) * sizeof(EditableInfo));
    }
    EditableEvaluation = 0;
    ComputeRttiCodes();
}

void GObject::AddEditableEntry(EditableInfo*& cursor, const char* name, const char* typeName, DWORD size, void* member,
                               BYTE flags)
{
    if (pScratchEnd == nullptr || cursor >= pScratchEnd)
        vbail("Editable: %s %s is one field too many for class %s", typeName, name, GetClassName());
    const DWORD place = static_cast<DWORD>(static_cast<char*>(member) - reinterpret_cast<char*>(this));
    cursor->Set(name, size, flags, place, typeName);
    ++cursor;
}

EditableFillData* GObject::GetDefaultData(DWORD classId)
{
    ClassTypeEntry* entry = FindClassEntry(classId);
    return entry != nullptr ? entry->pDefaultData : nullptr;
}

void GObject::RegisterDefaultData(DWORD classId, EditableFillData* data)
{
    if (ClassTypeEntry* entry = FindClassEntry(classId))
        entry->pDefaultData = data;
}

void GObject::RegisterStateTable(CState* table, DWORD classId)
{
    if (ClassTypeEntry* entry = FindClassEntry(classId))
        entry->pStateTable = table;
}

CState* GObject::GetStateTable(DWORD classId)
{
    ClassTypeEntry* entry = FindClassEntry(classId);
    return entry != nullptr ? entry->pStateTable : nullptr;
}

void GObject::GetVeskObjectNames(CZArray<const char*>& first, CZArray<const char*>& second)
{
    for (ClassTypeEntry* entry : Registry) {
        if (entry->Flags & CLASS_VESK_FIRST_LIST)
            first.Add(entry->Name);
        if (entry->Flags & CLASS_VESK_SECOND_LIST)
            second.Add(entry->Name);
    }
}

DWORD GObject::GetClassId() { return pClassEntry != nullptr ? pClassEntry->ClassId : 0; }

ClassTypeEntry* GObject::GetPointerOfParentPTypeEntry()
{
    return pClassEntry != nullptr ? pClassEntry->pParent : nullptr;
}

const char* GObject::GetClassName() { return pClassEntry != nullptr ? pClassEntry->Name : "Don't have one!"; }

const char* GObject::GetClassName(DWORD classId)
{
    ClassTypeEntry* entry = FindClassEntry(classId);
    return entry != nullptr ? entry->Name : "Not Found!";
}
