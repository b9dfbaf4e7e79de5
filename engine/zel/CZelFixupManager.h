#pragma once
// The process-wide symbol table of packed data: exports, imports, handles and the in-place
// constructors of every record type that packed data may hold, all keyed by name key.
#include <cstdint>

#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
// One symbol. Handle fields in packed data point at an entry and read its value at use time,
// so an entry's address never changes once it exists.
struct HashEntry {
    void* value;
    unsigned long key;
    const char* label;
};
static_assert(sizeof(HashEntry) == 12, "HashEntry is referenced from packed data");

// A handle field of a packed record: the address of a symbol entry (null when the key had no
// entry at load time). The value reads 0 once the file exporting it has unloaded.
class CZelHandle {
public:
    const HashEntry* GetEntry() const { return pEntry; }
    void* GetValue() const { return pEntry ? pEntry->value : nullptr; }
    unsigned long GetKey() const { return pEntry ? pEntry->key : 0; }
    bool IsValid() const { return GetValue() != nullptr; }

private:
    const HashEntry* pEntry;
};
static_assert(sizeof(CZelHandle) == 4, "CZelHandle is a 32-bit packed field");
#pragma pack(pop)

// One bucket. Entries live in fixed blocks that are never moved, so growing a bucket past its
// capacity keeps every handle and every registration's entry pointer valid.
class CHashTableElement {
public:
    static const int kBlockEntries = 75;

    CHashTableElement();
    ~CHashTableElement();

    HashEntry& Get(int key);
    HashEntry* Find(int key);
    void Resize(int capacity);
    unsigned long GetKey(void* value);
    const char* GetLabel(void* value);
    HashEntry& operator[](int index);
    int GetLastIndex() const { return lastIndex; }
    int GetCapacity() const { return capacity; }

private:
    CHashTableElement(const CHashTableElement&) = delete;
    CHashTableElement& operator=(const CHashTableElement&) = delete;

    HashEntry** pBlocks;
    int lastIndex;
    int capacity;
};

class CHashTable {
public:
    static const unsigned long kBucketMask = 255;

    HashEntry& Get(unsigned long key) { return Bucket(key).Get(int(key)); }
    HashEntry* Find(unsigned long key) { return Bucket(key).Find(int(key)); }
    CHashTableElement& Bucket(unsigned long key) { return buckets[key & mask]; }
    CHashTableElement& BucketAt(int index) { return buckets[index]; }
    int BucketCount() const { return int(mask) + 1; }

private:
    unsigned long mask = kBucketMask;
    CHashTableElement buckets[kBucketMask + 1];
};

// A record type's in-place constructor: gives the record at the address its table pointer and
// does the type's loading work.
typedef void (*ZelInPlaceConstructor)(void* record);

class CZelFixupManager {
public:
    CZelFixupManager();
    // Registers a record type: the entry keyed by the class name's key gets the class name as
    // its label and the constructor as its value. The loader also learns the record's size, so
    // that it refuses typed records that overlap or run past their segment.
    CZelFixupManager(const char* className, ZelInPlaceConstructor constructor, unsigned long recordSize);

    static void* GetAddress(unsigned long key);
    static void SetAddress(unsigned long key, void* value);
    static const HashEntry* GetHashEntry(unsigned long key);
    static void SetLabel(unsigned long key, const char* label);
    // Takes the label off the entry if it is still that one: a label stored in a file goes with it.
    static void ClearLabel(unsigned long key, const char* label);
    static int GetKey(void* value);
    static const char* GetLabel(void* value);
    // The constructor and size registered for a record type; false for any other key. The
    // loader calls constructors from here, never from an entry's value, which a damaged file's
    // exports could have replaced.
    static bool GetRecordType(unsigned long classKey, ZelInPlaceConstructor& constructor, unsigned long& size);
    static bool IsRecordType(unsigned long key);

    static CHashTable* pSymbolTable;

private:
    static void BuildTable();

    struct RecordType {
        unsigned long key;
        unsigned long size;
        ZelInPlaceConstructor constructor;
    };
    static const RecordType* FindRecordType(unsigned long key);
    static const int kMaxRecordTypes = 512;
    static RecordType RecordTypes[kMaxRecordTypes];
    static int RecordTypeCount;

    HashEntry* pEntry;
};

// Registers a record class for packed data from a static initialiser of its source file.
#define ZEL_REGISTER_RECORD(Class)                                                                                     \
    static CZelFixupManager s_##Class##Registration(#Class, ZelConstructInPlace<Class>, sizeof(Class))
