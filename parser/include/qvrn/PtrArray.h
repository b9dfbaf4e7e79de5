#pragma once

// Growable array of untyped pointers used for every list of the parser runtime.
// It never owns what it points to; destroying it frees only its own storage.
class PtrArray {
public:
    PtrArray();
    virtual ~PtrArray();

    long Add(void* p);
    long InsertAt(long index, void* p);
    void* GetAt(long index) const;
    long SetAt(long index, void* p);
    long GetUpperBound() const { return size_ - 1; }
    void RemoveAt(long index);
    void RemoveAll() { size_ = 0; }
    long GetSize() const { return size_; }
    long GetCapacity() const { return capacity_; }

private:
    bool Grow();

    void** data_;
    long size_;
    long capacity_;

    PtrArray(const PtrArray&) = delete;
    PtrArray& operator=(const PtrArray&) = delete;
};
