#pragma once
// Growable arrays that own their elements: ZxArray<T> holds T* made with new and deletes them
// when they are removed and when the array goes. Detach hands one back without deleting it.
#include "core/containers/ZPtrArray.h"

template <class T, int nGrow = 32> class ZxArray {
public:
    constexpr ZxArray() = default;
    ZxArray(const ZxArray&) = delete;
    ZxArray& operator=(const ZxArray&) = delete;
    ~ZxArray() { RemoveAll(); }

    int GetSize() const { return m_Items.GetSize(); }
    bool IsEmpty() const { return m_Items.IsEmpty(); }
    T* operator[](int index) const { return m_Items[index]; }
    T* GetAt(int index) const { return m_Items[index]; }
    int Find(const T* item) const { return m_Items.Find(const_cast<T*>(item)); }

    // Takes ownership; returns the new index.
    int Add(T* item) { return m_Items.Add(item); }
    int InsertAt(int index, T* item) { return m_Items.InsertAt(index, item); }
    void RemoveAt(int index)
    {
        T* item = Detach(index);
        delete item;
    }
    // Removes the element from the array and gives up ownership of it; null when out of range.
    T* Detach(int index)
    {
        T* item = m_Items[index];
        m_Items.RemoveAt(index);
        return item;
    }
    // Deletes from last to first.
    void RemoveAll()
    {
        for (int i = m_Items.GetSize() - 1; i >= 0; --i)
            delete m_Items[i];
        m_Items.RemoveAll();
    }

    T* const* begin() const { return m_Items.begin(); }
    T* const* end() const { return m_Items.end(); }

private:
    ZPtrArray<T, nGrow> m_Items;
};

template <class T, int nGrow = 32> using CxArray = ZxArray<T, nGrow>;
