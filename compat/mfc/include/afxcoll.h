#pragma once
// The class library's growable array of strings. Indexes outside the array throw
// std::out_of_range instead of touching memory that is not there.
#include <afx.h>

#include <vector>

class CStringArray {
public:
    CStringArray() = default;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return m_items.empty(); }
    // The growth step only tuned reallocation; the vector grows on its own.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1);
    void FreeExtra() { m_items.shrink_to_fit(); }
    void RemoveAll() { m_items.clear(); }

    const CString& GetAt(INT_PTR index) const;
    void SetAt(INT_PTR index, LPCTSTR text);
    CString& ElementAt(INT_PTR index);
    const CString& operator[](INT_PTR index) const { return GetAt(index); }
    CString& operator[](INT_PTR index) { return ElementAt(index); }
    const CString* GetData() const { return m_items.data(); }
    CString* GetData() { return m_items.data(); }

    void SetAtGrow(INT_PTR index, LPCTSTR text);
    INT_PTR Add(LPCTSTR text);
    INT_PTR Add(const CString& text);
    INT_PTR Append(const CStringArray& other);
    void Copy(const CStringArray& other) { m_items = other.m_items; }

    // Inserting past the end grows the array to the index first.
    void InsertAt(INT_PTR index, LPCTSTR text, INT_PTR count = 1);
    void InsertAt(INT_PTR start, const CStringArray* other);
    void RemoveAt(INT_PTR index, INT_PTR count = 1);

private:
    void CheckIndex(INT_PTR index, const char* operation) const;

    std::vector<CString> m_items;
};
