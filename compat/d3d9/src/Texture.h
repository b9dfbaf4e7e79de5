#pragma once
// A mip-mapped 2-D texture. Each level keeps its bytes in the texture's format (what LockRect
// hands out) and a 32-bit ARGB copy that the sampler reads, refreshed at every unlock.
#include <cstdint>
#include <vector>

#include "ComObject.h"
#include "Surface.h"

namespace d3d9sw {

struct TextureLevel {
    UINT width, height;
    const uint32_t* argb;
};

class Texture : public ComObject<IDirect3DTexture9> {
public:
    Texture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
            D3DPOOL pool);
    ~Texture() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return DWORD(levels_.size()); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;

    // Called by a level surface when its pixels were written.
    void LevelChanged(UINT level);

    UINT LevelCount() const { return UINT(levels_.size()); }
    TextureLevel Level(UINT level) const;

    // The number of levels a full chain down to 1x1 has.
    static UINT FullChainLength(UINT width, UINT height);

protected:
    bool Answers(REFIID riid) const override
    {
        return riid == IID_IDirect3DTexture9 || riid == IID_IDirect3DBaseTexture9;
    }

private:
    IDirect3DDevice9* device_;
    std::vector<Surface*> levels_;
    std::vector<std::vector<uint32_t>> argb_;
};

} // namespace d3d9sw
