#include "qvrn/PtrArray.h"

#include <cstdlib>
#include <cstring>

PtrArray::PtrArray() : data_(nullptr), size_(0), capacity_(0) {}

PtrArray::~PtrArray() { free(data_); }

// Capacity goes 0, 16, 32, 64...; on failure the array keeps its old storage.
bool PtrArray::Grow()
{
    long newCapacity = capacity_ == 0 ? 16 : capacity_ * 2;
    void** grown = static_cast<void**>(realloc(data_, sizeof(void*) * newCapacity));
    if (!grown)
        return false;
    data_ = grown;
    capacity_ = newCapacity;
    return true;
}

long PtrArray::Add(void* p)
{
    if (size_ == capacity_ && !Grow())
        return -1;
    data_[size_] = p;
    return size_++;
}

long PtrArray::InsertAt(long index, void* p)
{
    if (index == -1)
        return Add(p);
    if (index < -1 || index > size_)
        return -1;
    if (size_ == capacity_ && !Grow())
        return -1;
    memmove(data_ + index + 1, data_ + index, sizeof(void*) * (size_ - index));
    data_[index] = p;
    return size_++;
}

void* PtrArray::GetAt(long index) const { return index >= 0 && index < size_ ? data_[index] : nullptr; }

long PtrArray::SetAt(long index, void* p)
{
    if (index < 0 || index >= size_)
        return 0;
    data_[index] = p;
    return index;
}

void PtrArray::RemoveAt(long index)
{
    if (index < 0 || index >= size_)
        return;
    memmove(data_ + index, data_ + index + 1, sizeof(void*) * (size_ - index - 1));
    --size_;
}
