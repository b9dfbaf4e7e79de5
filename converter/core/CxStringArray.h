#pragma once
// An array of strings it owns: adding copies the text, removing or destroying deletes it.
#include "core/containers/ZArray.h"

#include <afx.h>

class CxStringArray : private ZArray<CString*, 256> {
    using Base = ZArray<CString*, 256>;

public:
    CxStringArray() = default;
    CxStringArray(const CxStringArray&) = delete;
    CxStringArray& operator=(const CxStringArray&) = delete;
    ~CxStringArray() { RemoveAll(); }

    using Base::begin;
    using Base::end;
    using Base::GetSize;
    using Base::IsEmpty;
    // Null outside the array.
    const CString* operator[](int index) const { return Base::operator[](index); }

    // Returns the new entry's index.
    int Add(const char* text) { return Base::Add(new CString(text)); }
    // Deletes the entry's string and moves the later entries down.
    void RemoveAt(int index);
    void RemoveAll();
};
