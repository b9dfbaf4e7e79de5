#pragma once
// Growable arrays of plain values. Storage comes from the engine heap and grows by a fixed
// step of nGrow elements. An index out of range yields the array's own null slot (cleared on
// every such access) instead of touching memory outside the array.
#include "core/heap/ZHeap.h"

#include <cstring>
#include <type_traits>

template <class T, int nGrow = 32> class ZArray {
    static_assert(std::is_trivially_copyable<T>::value, "ZArray moves its elements as bytes");
    static_assert(nGrow > 0, "the growth step must be positive");

public:
    // All zero: an array in static storage can be filled from static initialisers.
    constexpr ZArray() : m_pData(nullptr), m_nSize(0), m_nAlloc(0), m_Null() {}
    ZArray(const ZArray& other) : ZArray() { Copy(other); }
    ZArray& operator=(const ZArray& other)
    {
        if (this != &other)
            Copy(other);
        return *this;
    }
    ~ZArray() { zfree(m_pData); }

    int GetSize() const { return m_nSize; }
    bool IsEmpty() const { return m_nSize == 0; }
    T* GetData() { return m_pData; }
    const T* GetData() const { return m_pData; }

    T& operator[](int index) { return InRange(index) ? m_pData[index] : NullSlot(); }
    const T& operator[](int index) const
    {
        return InRange(index) ? m_pData[index] : const_cast<ZArray*>(this)->NullSlot();
    }
    T GetAt(int index) const { return (*this)[index]; }
    void SetAt(int index, const T& value)
    {
        if (InRange(index))
            m_pData[index] = value;
    }

    // Returns the new element's index.
    int Add(const T& value)
    {
        // The value may live in this array: copy it before growing moves the storage.
        T copy = value;
        Reserve(m_nSize + 1);
        m_pData[m_nSize] = copy;
        return m_nSize++;
    }
    // Index 0 to GetSize() inclusive; anything else is refused with -1.
    int InsertAt(int index, const T& value)
    {
        if (index < 0 || index > m_nSize)
            return -1;
        T copy = value;
        Reserve(m_nSize + 1);
        std::memmove(m_pData + index + 1, m_pData + index, (m_nSize - index) * sizeof(T));
        m_pData[index] = copy;
        ++m_nSize;
        return index;
    }
    void RemoveAt(int index, int count = 1)
    {
        if (!InRange(index) || count <= 0)
            return;
        if (count > m_nSize - index)
            count = m_nSize - index;
        std::memmove(m_pData + index, m_pData + index + count, (m_nSize - index - count) * sizeof(T));
        m_nSize -= count;
    }
    void RemoveAll()
    {
        zfree(m_pData);
        m_pData = nullptr;
        m_nSize = 0;
        m_nAlloc = 0;
    }
    // New elements are zero-filled.
    void SetSize(int size)
    {
        if (size < 0)
            size = 0;
        Reserve(size);
        if (size > m_nSize)
            std::memset(static_cast<void*>(m_pData + m_nSize), 0, (size - m_nSize) * sizeof(T));
        m_nSize = size;
    }
    // The first index holding value, or -1.
    int Find(const T& value) const
    {
        for (int i = 0; i < m_nSize; ++i)
            if (m_pData[i] == value)
                return i;
        return -1;
    }

    T* begin() { return m_pData; }
    T* end() { return m_pData + m_nSize; }
    const T* begin() const { return m_pData; }
    const T* end() const { return m_pData + m_nSize; }

private:
    bool InRange(int index) const { return index >= 0 && index < m_nSize; }
    T& NullSlot()
    {
        std::memset(static_cast<void*>(&m_Null), 0, sizeof(T));
        return m_Null;
    }
    void Reserve(int needed)
    {
        if (needed <= m_nAlloc)
            return;
        int alloc = m_nAlloc;
        while (alloc < needed)
            alloc += nGrow;
        T* data = static_cast<T*>(zmalloc(static_cast<unsigned long>(alloc) * sizeof(T)));
        if (m_nSize > 0)
            std::memcpy(static_cast<void*>(data), m_pData, m_nSize * sizeof(T));
        zfree(m_pData);
        m_pData = data;
        m_nAlloc = alloc;
    }
    void Copy(const ZArray& other)
    {
        m_nSize = 0;
        Reserve(other.m_nSize);
        if (other.m_nSize > 0)
            std::memcpy(static_cast<void*>(m_pData), other.m_pData, other.m_nSize * sizeof(T));
        m_nSize = other.m_nSize;
    }

    T* m_pData;
    int m_nSize;
    int m_nAlloc;
    T m_Null;
};

// The same array under the name class members use.
template <class T, int nGrow = 32> using CZArray = ZArray<T, nGrow>;
