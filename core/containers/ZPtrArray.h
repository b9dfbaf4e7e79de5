#pragma once
// Growable arrays of pointers the array does not own: ZPtrArray<T> holds T*. Out-of-range
// indices give null.
#include "core/containers/ZArray.h"

template <class T, int nGrow = 32> class ZPtrArray : public ZArray<T*, nGrow> {
public:
    // Removes the first occurrence of item; false when it is not held.
    bool Remove(T* item)
    {
        int index = this->Find(item);
        if (index < 0)
            return false;
        this->RemoveAt(index);
        return true;
    }
};

template <class T, int nGrow = 32> using CZPtrArray = ZPtrArray<T, nGrow>;
