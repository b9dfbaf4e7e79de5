#pragma once
// Reference counting shared by the layer's objects, and helpers for interface pointers.
#include <windows.h>

#include <atomic>

namespace dshowsw {

class RefCounted {
public:
    virtual ~RefCounted() = default;
    ULONG AddRefObject() { return ++References; }
    ULONG ReleaseObject()
    {
        const ULONG left = --References;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> References{1};
};

template <class T> void SafeRelease(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// Hands out an interface of the object with a reference added.
template <class Interface, class Object> HRESULT Give(Object* object, void** out)
{
    Interface* given = static_cast<Interface*>(object);
    given->AddRef();
    *out = given;
    return S_OK;
}

// Wide text from the caller (UTF-16) as bytes: code points below 256 become one byte each, so
// a name converted from the system code page comes back byte for byte; others become UTF-8.
std::string Narrow(LPCWSTR text);

} // namespace dshowsw

#define DSHOW_REFCOUNT                                                                                                 \
    ULONG AddRef() override { return AddRefObject(); }                                                                 \
    ULONG Release() override { return ReleaseObject(); }
