#include "engine/zel/CZelFixupManager.h"

#include <cstdlib>
#include <cstring>

#include "core/names/CCRC32.h"
#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"

CHashTable* CZelFixupManager::pSymbolTable = nullptr;
CZelFixupManager::RecordType CZelFixupManager::RecordTypes[kMaxRecordTypes];
int CZelFixupManager::RecordTypeCount = 0;

CHashTableElement::CHashTableElement() : pBlocks(nullptr), lastIndex(-1), capacity(0) {}

CHashTableElement::~CHashTableElement()
{
    for (int b = 0; b < capacity / kBlockEntries; ++b)
        delete[] pBlocks[b];
    delete[] pBlocks;
}

HashEntry& CHashTableElement::operator[](int index) { return pBlocks[index / kBlockEntries][index % kBlockEntries]; }

HashEntry* CHashTableElement::Find(int key)
{
    for (int i = 0; i <= lastIndex; ++i) {
        HashEntry& entry = (*this)[i];
        if (entry.key == (unsigned long)key)
            return &entry;
    }
    return nullptr;
}

HashEntry& CHashTableElement::Get(int key)
{
    if (HashEntry* found = Find(key))
        return *found;
    if (lastIndex + 1 >= capacity)
        Resize(capacity + kBlockEntries);
    HashEntry& entry = (*this)[++lastIndex];
    entry.value = nullptr;
    entry.key = (unsigned long)key;
    entry.label = nullptr;
    return entry;
}

// Grows by whole blocks and never moves an existing block; shrinking only cuts the entries in
// use, because outstanding handles may still point into the blocks.
void CHashTableElement::Resize(int newCapacity)
{
    int blocksHeld = capacity / kBlockEntries;
    int blocksWanted = (newCapacity + kBlockEntries - 1) / kBlockEntries;
    if (blocksWanted > blocksHeld) {
        HashEntry** grown = new HashEntry*[blocksWanted];
        for (int b = 0; b < blocksHeld; ++b)
            grown[b] = pBlocks[b];
        for (int b = blocksHeld; b < blocksWanted; ++b)
            grown[b] = new HashEntry[kBlockEntries]();
        delete[] pBlocks;
        pBlocks = grown;
        capacity = blocksWanted * kBlockEntries;
    }
    if (lastIndex >= newCapacity)
        lastIndex = newCapacity - 1;
}

unsigned long CHashTableElement::GetKey(void* value)
{
    for (int i = 0; i <= lastIndex; ++i)
        if ((*this)[i].value == value)
            return (*this)[i].key;
    return 0;
}

const char* CHashTableElement::GetLabel(void* value)
{
    for (int i = 0; i <= lastIndex; ++i)
        if ((*this)[i].value == value)
            return (*this)[i].label;
    return nullptr;
}

static void FreeSymbolTable()
{
    delete CZelFixupManager::pSymbolTable;
    CZelFixupManager::pSymbolTable = nullptr;
}

// Types register from static initialisers in any order; whichever comes first builds the table.
void CZelFixupManager::BuildTable()
{
    if (pSymbolTable)
        return;
    pSymbolTable = new CHashTable;
    std::atexit(FreeSymbolTable);
}

CZelFixupManager::CZelFixupManager() : pEntry(nullptr) { BuildTable(); }

CZelFixupManager::CZelFixupManager(const char* className, ZelInPlaceConstructor constructor, unsigned long recordSize)
    : CZelFixupManager()
{
    unsigned long key = CCRC32::GetCRC(className);
    pEntry = &pSymbolTable->Get(key);
    pEntry->label = className;
    pEntry->value = reinterpret_cast<void*>(constructor);
    if (RecordTypeCount >= kMaxRecordTypes)
        vbail("Too many packed record types registered (%s)", className);
    RecordTypes[RecordTypeCount++] = RecordType{key, recordSize, constructor};
}

// Files hold long runs of records of one type, so the last type found is tried first.
const CZelFixupManager::RecordType* CZelFixupManager::FindRecordType(unsigned long key)
{
    static const RecordType* last = nullptr;
    if (last && last->key == key)
        return last;
    for (int i = 0; i < RecordTypeCount; ++i)
        if (RecordTypes[i].key == key)
            return last = &RecordTypes[i];
    return nullptr;
}

bool CZelFixupManager::GetRecordType(unsigned long classKey, ZelInPlaceConstructor& constructor, unsigned long& size)
{
    const RecordType* type = FindRecordType(classKey);
    if (!type)
        return false;
    constructor = type->constructor;
    size = type->size;
    return true;
}

bool CZelFixupManager::IsRecordType(unsigned long key) { return FindRecordType(key) != nullptr; }

void* CZelFixupManager::GetAddress(unsigned long key)
{
    BuildTable();
    return pSymbolTable->Get(key).value;
}

void CZelFixupManager::SetAddress(unsigned long key, void* value)
{
    BuildTable();
    pSymbolTable->Get(key).value = value;
}

const HashEntry* CZelFixupManager::GetHashEntry(unsigned long key)
{
    return pSymbolTable ? pSymbolTable->Find(key) : nullptr;
}

void CZelFixupManager::SetLabel(unsigned long key, const char* label)
{
    HashEntry* entry = pSymbolTable ? pSymbolTable->Find(key) : nullptr;
    if (!entry)
        vbail("Attempted to set the label on a non-existant symbol table entry");
    entry->label = label;
}

void CZelFixupManager::ClearLabel(unsigned long key, const char* label)
{
    HashEntry* entry = pSymbolTable ? pSymbolTable->Find(key) : nullptr;
    if (entry && entry->label == label)
        entry->label = nullptr;
}

int CZelFixupManager::GetKey(void* value)
{
    if (!pSymbolTable)
        return 0;
    for (int b = 0; b < pSymbolTable->BucketCount(); ++b)
        if (unsigned long key = pSymbolTable->BucketAt(b).GetKey(value))
            return int(key);
    return 0;
}

const char* CZelFixupManager::GetLabel(void* value)
{
    if (!value || !pSymbolTable)
        return nullptr;
    for (int b = 0; b < pSymbolTable->BucketCount(); ++b)
        if (const char* label = pSymbolTable->BucketAt(b).GetLabel(value))
            return label;
    return nullptr;
}
