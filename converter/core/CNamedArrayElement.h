#pragma once
// Base of everything the converter keeps in a keyed list (database elements, types,
// constants, writer symbols): a name, its name key, and the index it is entered in.
#include "converter/core/ZSearchTable.h"

#include <string>

class CNamedArrayElement {
public:
    CNamedArrayElement() = default;
    explicit CNamedArrayElement(const char* name);
    CNamedArrayElement(const CNamedArrayElement&) = delete;
    CNamedArrayElement& operator=(const CNamedArrayElement&) = delete;
    // Leaves the owner's index, so that a destroyed element is never found by key.
    virtual ~CNamedArrayElement();

    // Renames and re-keys: the element leaves the owner's index and enters it again under
    // the new key, unless the name is empty or another entry already holds that key.
    void SetName(const char* name);
    void SetNameF(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* GetName() const { return Name.c_str(); }
    unsigned long GetKey() const { return Key; }

    // Called by the owning list when the element is appended.
    void SetOwnerIndex(ZSearchTable* index);

private:
    void LeaveIndex();

    unsigned long Key = 0;
    unsigned long IndexedKey = 0;
    bool Indexed = false;
    ZSearchTable* OwnerIndex = nullptr;
    std::string Name;
};
