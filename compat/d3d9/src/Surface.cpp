#include "Surface.h"

#include "DeviceSync.h"
#include "PixelFormat.h"
#include "Texture.h"

namespace d3d9sw {

Surface::Surface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                 Texture* container, UINT level)
    : device_(device), width_(width), height_(height), format_(format), usage_(usage), pool_(pool),
      container_(container), level_(level)
{
    if (IsDepthFormat(format)) {
        depth_.assign(size_t(width) * height, 1.0f);
        if (HasStencil(format))
            stencil_.assign(size_t(width) * height, 0);
    } else {
        pitch_ = width * ColourBytes(format);
        bits_.assign(size_t(pitch_) * height, 0);
    }
}

ULONG Surface::AddRef() { return container_ ? container_->AddRef() : ComObject::AddRef(); }
ULONG Surface::Release() { return container_ ? container_->Release() : ComObject::Release(); }

HRESULT Surface::QueryInterface(REFIID riid, void** ppv)
{
    if (container_ && ppv && (riid == IID_IDirect3DTexture9 || riid == IID_IDirect3DBaseTexture9))
        return container_->QueryInterface(riid, ppv);
    return ComObject::QueryInterface(riid, ppv);
}

HRESULT Surface::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    *ppDevice = device_;
    if (device_)
        device_->AddRef();
    return device_ ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Surface::GetContainer(REFIID riid, void** ppContainer)
{
    if (!ppContainer)
        return D3DERR_INVALIDCALL;
    *ppContainer = nullptr;
    if (!container_)
        return E_NOINTERFACE;
    return container_->QueryInterface(riid, ppContainer);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = format_;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = usage_;
    pDesc->Pool = pool_;
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->MultiSampleQuality = 0;
    pDesc->Width = width_;
    pDesc->Height = height_;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD)
{
    auto guard = GuardDevice(device_);
    FlushDevice(device_);
    if (!pLockedRect || locked_ || bits_.empty())
        return D3DERR_INVALIDCALL;
    LONG left = 0, top = 0;
    if (pRect) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->right > LONG(width_) || pRect->bottom > LONG(height_) ||
            pRect->left >= pRect->right || pRect->top >= pRect->bottom)
            return D3DERR_INVALIDCALL;
        left = pRect->left;
        top = pRect->top;
    }
    locked_ = true;
    held_ = std::move(guard);
    pLockedRect->Pitch = INT(pitch_);
    pLockedRect->pBits = Row(UINT(top)) + size_t(left) * ColourBytes(format_);
    return D3D_OK;
}

HRESULT Surface::UnlockRect()
{
    // Draws recorded while the surface was locked read the texture as it was.
    auto guard = GuardDevice(device_);
    FlushDevice(device_);
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    auto released = std::move(held_);
    if (container_)
        container_->LevelChanged(level_);
    return D3D_OK;
}

} // namespace d3d9sw
