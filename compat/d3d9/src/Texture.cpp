#include "Texture.h"

#include <algorithm>

#include "PixelFormat.h"

namespace d3d9sw {

UINT Texture::FullChainLength(UINT width, UINT height)
{
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size >>= 1)
        ++levels;
    return levels;
}

Texture::Texture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                 D3DPOOL pool)
    : device_(device)
{
    UINT full = FullChainLength(width, height);
    if (levels == 0 || levels > full)
        levels = full;
    for (UINT i = 0; i < levels; ++i) {
        UINT w = std::max(1u, width >> i), h = std::max(1u, height >> i);
        levels_.push_back(new Surface(device, w, h, format, usage, pool, this, i));
        argb_.emplace_back(size_t(w) * h, 0u);
        LevelChanged(i);
    }
}

Texture::~Texture()
{
    // The level surfaces forward their counts to this texture, so they are deleted directly.
    for (Surface* level : levels_)
        delete level;
}

HRESULT Texture::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (!ppDevice || !device_)
        return D3DERR_INVALIDCALL;
    *ppDevice = device_;
    device_->AddRef();
    return D3D_OK;
}

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    if (Level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[Level]->GetDesc(pDesc);
}

HRESULT Texture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel)
{
    if (!ppSurfaceLevel || Level >= levels_.size())
        return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = levels_[Level];
    AddRef();
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (Level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[Level]->LockRect(pLockedRect, pRect, Flags);
}

HRESULT Texture::UnlockRect(UINT Level)
{
    if (Level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[Level]->UnlockRect();
}

void Texture::LevelChanged(UINT level)
{
    const Surface* surface = levels_[level];
    std::vector<uint32_t>& argb = argb_[level];
    for (UINT y = 0; y < surface->Height(); ++y)
        DecodeRow(surface->Format(), surface->Row(y), argb.data() + size_t(y) * surface->Width(), surface->Width());
}

TextureLevel Texture::Level(UINT level) const
{
    const Surface* surface = levels_[level];
    return {surface->Width(), surface->Height(), argb_[level].data()};
}

} // namespace d3d9sw
