#pragma once
// A rectangle of pixels: a back buffer, a depth buffer, an off-screen plain surface or one
// level of a texture. Colour surfaces hold bytes in their own format; depth surfaces hold one
// float per pixel (and a stencil byte when the format has stencil bits).
#include <cstdint>
#include <mutex>
#include <vector>

#include "ComObject.h"

namespace d3d9sw {

class Texture;

class Surface : public ComObject<IDirect3DSurface9> {
public:
    Surface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
            Texture* container = nullptr, UINT level = 0);

    // A texture level lives and dies with its texture.
    ULONG AddRef() override;
    ULONG Release() override;
    // A texture level also answers for its texture, which is how the video player finds the
    // texture behind the surface it is handed.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetContainer(REFIID riid, void** ppContainer) override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    UINT Pitch() const { return pitch_; }
    uint8_t* Row(UINT y) { return bits_.data() + size_t(y) * pitch_; }
    const uint8_t* Row(UINT y) const { return bits_.data() + size_t(y) * pitch_; }
    float* DepthRow(UINT y) { return depth_.data() + size_t(y) * width_; }
    uint8_t* StencilRow(UINT y) { return stencil_.empty() ? nullptr : stencil_.data() + size_t(y) * width_; }
    bool IsDepth() const { return !depth_.empty(); }
    bool IsLocked() const { return locked_; }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DSurface9; }

private:
    IDirect3DDevice9* device_;
    UINT width_, height_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    Texture* container_;
    UINT level_;
    UINT pitch_ = 0;
    bool locked_ = false;
    // A multithreaded device stays held from lock to unlock, so no other thread draws from
    // the pixels while the locking thread writes them.
    std::unique_lock<std::recursive_mutex> held_;
    std::vector<uint8_t> bits_;
    std::vector<float> depth_;
    std::vector<uint8_t> stencil_;
};

} // namespace d3d9sw
