#pragma once
// Reference counting shared by every object the software device hands out. Counts are atomic:
// the objects of a multithreaded device are shared between threads.
#include <atomic>

#include <d3d9.h>

namespace d3d9sw {

template <class Interface> class ComObject : public Interface {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || Answers(riid)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

protected:
    // The identities this object answers besides IUnknown.
    virtual bool Answers(REFIID) const { return false; }

private:
    std::atomic<ULONG> references_{1};
};

template <class T> void SafeRelease(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

template <class T> void Assign(T*& slot, T* object)
{
    if (object)
        object->AddRef();
    if (slot)
        slot->Release();
    slot = object;
}

} // namespace d3d9sw
