// Editable fields: applying creation data (class defaults, then the object's own), single
// records from saved games, the text forms the editor shows and parses, and named lookups in
// creation data. Every write stays inside its field, whatever length the data claims.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/names/CCRC32.h"
#include "engine/object/CFillData.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/GObject.h"

namespace {

const WORD MASK_FROM_FILLDATA = 0x01;
const WORD MASK_EMBEDDED = 0x10;
const int TEXT_BUFFER_SIZE = 64;

// Embedded objects may embed others; a chain this deep can only come from damaged data that
// refers to itself.
const int MAX_EMBEDDING_DEPTH = 32;
int EmbeddingDepth;

DWORD ReadWord(const EditableFillData* record, DWORD element)
{
    DWORD value = 0;
    memcpy(&value, record->Data + element * 4, 4);
    return value;
}

// The field's first four bytes (fewer for a narrower field), zero-extended.
DWORD ReadFieldWord(GObject* object, const EditableInfo* info)
{
    DWORD value = 0;
    memcpy(&value, reinterpret_cast<BYTE*>(object) + info->Place, info->Size < 4 ? info->Size : 4);
    return value;
}

bool IsTextType(const EditableInfo* info, const char* typeName) { return strcmp(info->TypeName, typeName) == 0; }

void* SymbolValue(DWORD key)
{
    const HashEntry* entry = CZelFixupManager::GetHashEntry(key);
    return entry != nullptr ? entry->value : nullptr;
}

// The most readable name a key has: the editor's label, a symbol's label, a class name, or
// the number itself (written into scratch).
const char* KeyText(DWORD key, char* scratch)
{
    if (CVeskExtraData* extra = CVeskExtraData::Find(static_cast<unsigned long>(key)))
        if (extra->Label() != nullptr)
            return extra->Label();
    if (const HashEntry* entry = CZelFixupManager::GetHashEntry(key))
        if (entry->label != nullptr)
            return entry->label;
    if (ClassTypeEntry* entry = GObject::FindClassEntry(key))
        return entry->Name;
    snprintf(scratch, TEXT_BUFFER_SIZE, "0x%lx", key);
    return scratch;
}

} // namespace

// Copies at most what fits between offset and the end of the field.
bool GObject::WriteField(EditableInfo* info, DWORD offset, const void* bytes, DWORD length)
{
    if (offset >= info->Size)
        return false;
    if (length > info->Size - offset)
        length = info->Size - offset;
    memcpy(reinterpret_cast<BYTE*>(this) + info->Place + offset, bytes, length);
    return true;
}

EditableInfo* GObject::FindEditable(DWORD crc, WORD mask, bool anyWhenMaskZero)
{
    if (pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return nullptr;
    for (EditableInfo* info = pClassEntry->pEditable; info->Crc != 0 || info->Place != 0; ++info) {
        if (info->Crc != crc)
            continue;
        if ((info->Flags & mask) != 0 || (anyWhenMaskZero && mask == 0))
            return info;
    }
    return nullptr;
}

void GObject::SetEditableInfo(EditableFillData* data, ClassTypeEntry* entry, WORD mask, bool defaultObjects)
{
    if (entry != nullptr)
        SetEditableInfo(entry->pDefaultData, entry->pParent, mask, true);
    if (data == nullptr || pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return;

    const bool savedDefaultObjects = bCreatingDefaultObjects;
    bCreatingDefaultObjects = defaultObjects;
    for (EditableFillData* record = data; record->Crc != 0; record = record->Next()) {
        if (record->Flags == FILLDATA_EMBEDDED_GOBJECT) {
            if ((mask & MASK_EMBEDDED) == 0)
                continue;
            if (record->Crc == FILLDATA_UNSTORED_CHILD) {
                ApplyEmbeddedRecord(record, nullptr);
                continue;
            }
        }
        if (EditableInfo* info = FindEditable(record->Crc, mask, false))
            ApplyFillRecord(record, info, false);
    }
    bCreatingDefaultObjects = savedDefaultObjects;
}

void GObject::ResetEditableInfo(WORD mask)
{
    if (pClassEntry != nullptr)
        SetEditableInfo(pClassEntry->pDefaultData, pClassEntry->pParent, mask, true);
}

void GObject::SetOneEditable(EditableFillData* record, WORD mask)
{
    if (record->Flags == FILLDATA_EMBEDDED_GOBJECT) {
        if ((mask & MASK_FROM_FILLDATA) != 0 && (mask & MASK_EMBEDDED) == 0)
            return;
        if (record->Crc == FILLDATA_UNSTORED_CHILD) {
            ApplyEmbeddedRecord(record, nullptr);
            return;
        }
    }
    if (EditableInfo* info = FindEditable(record->Crc, mask, true))
        ApplyFillRecord(record, info, true);
}

// Saved games resolve labels (kind 4) and write every kind at the record's element; creation
// data copies labels as raw bytes and fills symbol references from the first element.
void GObject::ApplyFillRecord(EditableFillData* record, EditableInfo* info, bool oneEditable)
{
    const DWORD words = record->Length / 4;
    switch (record->Flags) {
    case FILLDATA_EMBEDDED_GOBJECT:
        ApplyEmbeddedRecord(record, info);
        return;
    case FILLDATA_ZEL_POINTER:
    case FILLDATA_ZEL_HANDLE: {
        // Creation data fills the field from its first element; a saved record names its element.
        const DWORD first = oneEditable ? record->ArrayIndex : 0;
        const DWORD count = oneEditable && record->Flags == FILLDATA_ZEL_HANDLE && words > 1 ? 1 : words;
        for (DWORD i = 0; i < count; ++i) {
            const DWORD key = ReadWord(record, i);
            const void* value = record->Flags == FILLDATA_ZEL_HANDLE
                                    ? static_cast<const void*>(CZelFixupManager::GetHashEntry(key))
                                    : SymbolValue(key);
            if (record->Flags == FILLDATA_ZEL_POINTER && key == 0)
                continue;
            WriteField(info, (first + i) * 4, &value, 4);
        }
        return;
    }
    case FILLDATA_EMBEDDED_POINTER:
        if (oneEditable) {
            for (DWORD i = 0; i < words; ++i) {
                const DWORD label = ReadWord(record, i);
                if (label == 0)
                    continue;
                GObject* object = Find(label);
                WriteField(info, (record->ArrayIndex + i) * 4, &object, 4);
            }
            return;
        }
        break;
    default:
        break;
    }
    WriteField(info, record->ArrayIndex * record->Length, record->Data, record->Length);
}

// Creates the child a kind-1 record describes and stores it in the field's element (or
// nowhere, without a field), destroying the object stored there before.
void GObject::ApplyEmbeddedRecord(EditableFillData* record, EditableInfo* info)
{
    CEmbeddedFillData* embedded = nullptr;
    if (record->Length < sizeof(embedded))
        return;
    memcpy(&embedded, record->Data, sizeof(embedded));
    const DWORD offset = record->ArrayIndex * 4u;
    if (embedded == nullptr || (info != nullptr && offset + 4 > info->Size))
        return;
    if (EmbeddingDepth >= MAX_EMBEDDING_DEPTH) {
        printf("Editable: embedded objects nested deeper than %d in %s, skipped\n", MAX_EMBEDDING_DEPTH,
               GetClassName());
        return;
    }

    ++EmbeddingDepth;
    GObject* child = Create(embedded);
    --EmbeddingDepth;
    if (child == nullptr) {
        printf("Editable: embedded object of unknown class %08lX in %s, skipped\n", embedded->ClassId, GetClassName());
        return;
    }
    child->Label = embedded->LabelId;
    if (info == nullptr)
        return;

    GObject* previous = nullptr;
    memcpy(&previous, reinterpret_cast<BYTE*>(this) + info->Place + offset, 4);
    WriteField(info, offset, &child, 4);
    if (previous != nullptr)
        previous->Destroy();
}

void GObject::GetEditableInfoList(ZPtrArray<EditableInfo, 64>& list)
{
    list.RemoveAll();
    if (pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return;
    for (EditableInfo* info = pClassEntry->pEditable; info->Crc != 0 || info->Place != 0; ++info)
        list.Add(info);
}

char* GObject::GetEditDataValue(char* buffer, EditableInfo* info)
{
    const DWORD word = ReadFieldWord(this, info);
    if (IsTextType(info, "float")) {
        float value;
        memcpy(&value, &word, 4);
        snprintf(buffer, TEXT_BUFFER_SIZE, "%g", value);
    } else if (IsTextType(info, "int")) {
        snprintf(buffer, TEXT_BUFFER_SIZE, "%d", static_cast<int>(word));
    } else if (IsTextType(info, "DWORD")) {
        snprintf(buffer, TEXT_BUFFER_SIZE, "0x%lx", word);
    } else if (IsTextType(info, "CCRC32")) {
        char number[TEXT_BUFFER_SIZE];
        snprintf(buffer, TEXT_BUFFER_SIZE, "%s", KeyText(word, number));
    } else if (strchr(info->TypeName, '*') != nullptr) {
        const char* label = CZelFixupManager::GetLabel(reinterpret_cast<void*>(word));
        snprintf(buffer, TEXT_BUFFER_SIZE, "%s", label != nullptr ? label : "null");
    } else {
        return nullptr;
    }
    return buffer;
}

void GObject::SetEditDataValue(const char* text, EditableInfo* info)
{
    DWORD word;
    if (IsTextType(info, "float")) {
        const float value = static_cast<float>(atof(text));
        memcpy(&word, &value, 4);
    } else if (IsTextType(info, "int")) {
        word = static_cast<DWORD>(atoi(text));
    } else if (IsTextType(info, "DWORD")) {
        word = strtoul(text, nullptr, 0);
    } else if (IsTextType(info, "CCRC32")) {
        const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        word = hex ? strtoul(text, nullptr, 0) : CCRC32::GetCRC(text);
    } else if (strchr(info->TypeName, '*') != nullptr) {
        word = reinterpret_cast<DWORD>(SymbolValue(CCRC32::GetCRC(text)));
        if (word == 0)
            return;
    } else {
        return;
    }
    WriteField(info, 0, &word, 4);
}

bool GObject::GetDataItem(void* out, int length, const char* name, EditableFillData* data)
{
    const DWORD key = CCRC32::GetCRC(name);
    for (EditableFillData* record = data; record != nullptr && record->Crc != 0; record = record->Next()) {
        if (record->Crc != key)
            continue;
        if (record->Length != length)
            return false;
        memcpy(out, record->Data, length);
        return true;
    }
    return false;
}

bool GObject::GetDataItem(void* out, int length, const char* name, DWORD classId)
{
    for (ClassTypeEntry* entry = FindClassEntry(classId); entry != nullptr; entry = entry->pParent)
        if (GetDataItem(out, length, name, entry->pDefaultData))
            return true;
    return false;
}

bool GObject::GetDataItem(float& out, const char* name, EditableFillData* data)
{
    return GetDataItem(&out, 4, name, data);
}

bool GObject::GetDataItem(int& out, const char* name, EditableFillData* data)
{
    return GetDataItem(&out, 4, name, data);
}

bool GObject::GetDataItem(float& out, const char* name, DWORD classId) { return GetDataItem(&out, 4, name, classId); }

bool GObject::GetDataItem(int& out, const char* name, DWORD classId) { return GetDataItem(&out, 4, name, classId); }
