// Editable fields: applying creation data (class defaults, then the object's own), single
// records from saved games, the text forms the editor shows and parses, and named lookups in
// creation data. Every write stays inside its field, whatever length the data claims.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/names/CCRC32.h"
#include "engine/object/CZelFixupManager.h"
#include "engine/object/GObject.h"

namespace {

const WORD MASK_FROM_FILLDATA = 0x01;
const WORD MASK_EMBEDDED = 0x10;
const int TEXT_BUFFER_SIZE = 64;

// Embedded objects may embed others; a chain this deep can only come from damaged data that
// refers to itself.
const int MAX_EMBEDDING_DEPTH = 32;
int EmbeddingDepth;

// The fields of the embedded creation record (a packed-data record after its table pointer)
// that a kind-1 record names.
#pragma pack(push, 1)
struct EmbeddedRecord {
    DWORD TablePointer;
    DWORD ClassId;
    DWORD LabelId;
    EditableFillData* pData;
};
#pragma pack(pop)
static_assert(sizeof(EmbeddedRecord) == 16, "embedded creation record header");

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
    case FILLDATA_ZEL_POINTER:
    case FILLDATA_ZEL_HANDLE:
        ApplySymbolRecord(record, info, oneEditable);
        return;
    default:
        break;
    }
    WriteField(info, record->ArrayIndex * record->Length, record->Data, record->Length);
}

// Symbol keys become the value of their entry (kind 8; key 0 keeps the element) or the
// address of the entry itself, a CZelHandle (kind 16). Keys without an entry give null.
void GObject::ApplySymbolRecord(EditableFillData* record, EditableInfo* info, bool oneEditable)
{
    const DWORD first = oneEditable ? record->ArrayIndex : 0;
    const DWORD words = record->Length / 4;
    for (DWORD i = 0; i < words; ++i) {
        const DWORD key = ReadWord(record, i);
        const HashEntry* entry = key != 0 ? CZelFixupManager::GetHashEntry(key) : nullptr;
        const void* value = entry;
        if (record->Flags == FILLDATA_ZEL_POINTER) {
            if (key == 0)
                continue;
            value = entry != nullptr ? entry->value : nullptr;
        }
        WriteField(info, (first + i) * 4, &value, 4);
    }
}

// Creates the child a kind-1 record describes and stores it in the field's element (or
// nowhere, without a field), destroying the object stored there before.
void GObject::ApplyEmbeddedRecord(EditableFillData* record, EditableInfo* info)
{
    EmbeddedRecord* embedded = nullptr;
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
    GObject* child = Create(embedded->ClassId, embedded->pData);
    --EmbeddingDepth;
    if (child == nullptr) {
        printf("Editable: embedded object of unknown class %08lX in %s, skipped\n", embedded->ClassId,
               GetClassName());
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
        if (ClassTypeEntry* entry = FindClassEntry(word))
            snprintf(buffer, TEXT_BUFFER_SIZE, "%s", entry->Name);
        else
            snprintf(buffer, TEXT_BUFFER_SIZE, "0x%lx", word);
    } else if (strchr(info->TypeName, '*') != nullptr) {
        snprintf(buffer, TEXT_BUFFER_SIZE, "null");
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
