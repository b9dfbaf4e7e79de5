#pragma once
// Vertex and index buffers: plain memory that Lock hands out and the draw calls read. Draws
// read their vertices and indices before they return, so a lock needs no flush of the batch.
#include <cstdint>
#include <mutex>
#include <vector>

#include "ComObject.h"
#include "DeviceSync.h"

namespace d3d9sw {

template <class Interface, D3DRESOURCETYPE kType> class MemoryBuffer : public ComObject<Interface> {
public:
    MemoryBuffer(IDirect3DDevice9* device, UINT length) : device_(device), bytes_(length, 0) {}

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override
    {
        if (!ppDevice || !device_)
            return D3DERR_INVALIDCALL;
        *ppDevice = device_;
        device_->AddRef();
        return D3D_OK;
    }
    D3DRESOURCETYPE GetType() override { return kType; }

    // A size of 0 locks everything from the offset on.
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD) override
    {
        auto guard = GuardDevice(device_);
        if (!ppbData || locked_ || OffsetToLock > bytes_.size() || SizeToLock > bytes_.size() - OffsetToLock)
            return D3DERR_INVALIDCALL;
        locked_ = true;
        held_ = std::move(guard);
        *ppbData = bytes_.data() + OffsetToLock;
        return D3D_OK;
    }
    HRESULT Unlock() override
    {
        auto guard = GuardDevice(device_);
        if (!locked_)
            return D3DERR_INVALIDCALL;
        locked_ = false;
        auto released = std::move(held_);
        return D3D_OK;
    }

    const uint8_t* Data() const { return bytes_.data(); }
    size_t Size() const { return bytes_.size(); }

private:
    IDirect3DDevice9* device_;
    std::vector<uint8_t> bytes_;
    bool locked_ = false;
    // A multithreaded device stays held from lock to unlock, so no draw on another thread
    // reads the bytes while the locking thread writes them.
    std::unique_lock<std::recursive_mutex> held_;
};

class VertexBuffer : public MemoryBuffer<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER> {
public:
    using MemoryBuffer::MemoryBuffer;

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DVertexBuffer9; }
};

class IndexBuffer : public MemoryBuffer<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER> {
public:
    IndexBuffer(IDirect3DDevice9* device, UINT length, D3DFORMAT format) : MemoryBuffer(device, length), format_(format)
    {
    }
    D3DFORMAT Format() const { return format_; }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DIndexBuffer9; }

private:
    D3DFORMAT format_;
};

} // namespace d3d9sw
