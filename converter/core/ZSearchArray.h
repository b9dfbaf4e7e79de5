#pragma once
// Ordered lists of named elements with a 256-bucket index by name key. The order is the
// order of appending (and of every walk over the list); lookups go through the index, so
// the first element appended under a key is the one found.
#include "converter/core/CNamedArrayElement.h"
#include "converter/core/ZSearchTable.h"

#include <algorithm>
#include <vector>

// Holds pointers only: elements are destroyed by whoever owns them, and leave the index
// themselves when they are.
template <class T> class ZSearchPtrArray {
public:
    explicit ZSearchPtrArray(unsigned growth = 32) { Items.reserve(growth); }
    ZSearchPtrArray(const ZSearchPtrArray&) = delete;
    ZSearchPtrArray& operator=(const ZSearchPtrArray&) = delete;

    void Add(T* element)
    {
        Items.push_back(element);
        element->SetOwnerIndex(&Index);
    }
    // The index holds the elements as their named base.
    T* Find(unsigned long key) const { return static_cast<T*>(static_cast<CNamedArrayElement*>(Index.Find(key))); }
    // Takes the element out of the order without destroying it; its key stays indexed.
    void Detach(T* element) { Items.erase(std::remove(Items.begin(), Items.end(), element), Items.end()); }
    int IndexOf(const T* element) const
    {
        auto found = std::find(Items.begin(), Items.end(), element);
        return found == Items.end() ? -1 : static_cast<int>(found - Items.begin());
    }

    int GetSize() const { return static_cast<int>(Items.size()); }
    // Null outside the list.
    T* operator[](int index) const { return index >= 0 && index < GetSize() ? Items[index] : nullptr; }

protected:
    std::vector<T*> Items;
    ZSearchTable Index{255};
};

// Owns its elements: they are destroyed with the list or by RemoveAll.
template <class T> class ZSearchxArray : public ZSearchPtrArray<T> {
public:
    using ZSearchPtrArray<T>::ZSearchPtrArray;
    ~ZSearchxArray() { RemoveAll(); }

    void RemoveAll()
    {
        std::vector<T*> items;
        items.swap(this->Items);
        for (T* item : items)
            delete item;
    }
};
