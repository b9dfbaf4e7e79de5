#pragma once
// Base of every record that lives in packed data. Records are built and destroyed in place over
// their stored bytes and never freed one by one, so allocation and copying do nothing.
#include <cstddef>

#pragma pack(push, 1)
class CZelStaticResource {
public:
    CZelStaticResource() {}
    virtual ~CZelStaticResource() {}

    void* operator new(size_t, void* where) { return where; }
    void operator delete(void*) {}
    void operator delete(void*, void*) {}

    CZelStaticResource(const CZelStaticResource&) {}
    CZelStaticResource& operator=(const CZelStaticResource&) { return *this; }
};
#pragma pack(pop)
static_assert(sizeof(CZelStaticResource) == 4, "a packed record starts with its table pointer");

// Builds a record of type T over the stored bytes at the address. T's constructor must leave
// the stored fields alone (default-initialisation, not value-initialisation).
template <class T> void ZelConstructInPlace(void* record) { new (record) T; }
