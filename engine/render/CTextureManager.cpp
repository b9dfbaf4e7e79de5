#include "engine/render/CTextureManager.h"

#include <cstdio>
#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/zel/CZelFile.h"

int CTextureManager::LiveCount = 0;

D3DFORMAT CTextureManager::ChooseFormat(int bitDepth, unsigned long flags)
{
    if (bitDepth == 16)
        return (flags & kOneBitAlpha) ? D3DFMT_A1R5G5B5 : (flags & kAlpha) ? D3DFMT_A4R4G4B4 : D3DFMT_R5G6B5;
    if (bitDepth == 32)
        return (flags & (kAlpha | kOneBitAlpha)) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    return D3DFMT_R5G6B5;
}

namespace {

int LevelsFor(int size)
{
    int levels = 1;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

unsigned long ChainBytes(int size, int levels, int bytesPerTexel)
{
    unsigned long total = 0;
    for (int j = 0; j < levels; ++j, size >>= 1)
        total += static_cast<unsigned long>(size) * static_cast<unsigned long>(size) * bytesPerTexel;
    return total;
}

// Copies one level row by row: the device's rows may be longer than the block's.
bool UploadLevel(IDirect3DTexture9* texture, int level, const unsigned char* from, int size, int bytesPerTexel)
{
    D3DLOCKED_RECT locked;
    if (texture->LockRect(level, &locked, nullptr, 0) != D3D_OK)
        return false;
    const size_t rowBytes = static_cast<size_t>(size) * bytesPerTexel;
    for (int y = 0; y < size; ++y)
        std::memcpy(static_cast<unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    from + y * rowBytes, rowBytes);
    texture->UnlockRect(level);
    return true;
}

} // namespace

CInternalTexture* CTextureManager::Create(const rhu::ZelTexture* data, int fromPackedData)
{
    const int width = data->Width, height = data->Height;
    if (width != height)
        vbail("Tried to submit non square texture");
    if (width < 1 || width > kMaxSize || (width & (width - 1)) != 0)
        vbail("Texture size is not a power of 2 or is greater that 2048");
    // The level count and the pixels come from the file: a count the size cannot hold or
    // levels running past the loaded data would have the upload read beyond the block.
    const int levels = data->NumMips;
    if (levels < 1 || levels > LevelsFor(width))
        vbail("Texture of %d by %d texels has %d mip levels; it can hold 1 to %d", width, height, levels,
              LevelsFor(width));
    const int bytesPerTexel = data->BitDepth == 16 ? 2 : data->BitDepth == 32 ? 4 : 0;
    const unsigned long bytes = ChainBytes(width, levels, bytesPerTexel);
    if (fromPackedData && bytes > 0 && !CZelFile::IsLoadedData(data->Map, bytes))
        vbail("Texture of %d by %d texels with %d mip levels needs %lu bytes of pixels, more than its file holds",
              width, height, levels, bytes);

    CInternalTexture* texture = static_cast<CInternalTexture*>(zmalloc(sizeof(CInternalTexture)));
    if (!texture)
        return nullptr;
    std::memset(texture, 0, sizeof *texture);
    texture->FromPackedData = static_cast<unsigned char>(fromPackedData ? 1 : 0);
    texture->Format = ChooseFormat(data->BitDepth, data->Flags);
    texture->Width = width;
    texture->Height = height;
    texture->Levels = levels;
    texture->BitDepth = data->BitDepth;
    texture->RowBytes = width * data->BitDepth / 8;
    texture->Flags = data->Flags;

    IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice();
    const HRESULT result = device ? device->CreateTexture(width, height, levels, 0, texture->Format, D3DPOOL_MANAGED,
                                                          &texture->pTexture, nullptr)
                                  : D3DERR_INVALIDCALL;
    if (result != D3D_OK) {
        DescribeD3DError(result);
        std::printf("Failed to create texture...\n");
        texture->pTexture = nullptr;
        return texture;
    }
    ++LiveCount;
    if (bytesPerTexel) {
        const unsigned char* from = data->Map;
        for (int j = 0, size = width; j < levels; ++j, size >>= 1) {
            UploadLevel(texture->pTexture, j, from, size, bytesPerTexel);
            from += static_cast<size_t>(size) * size * bytesPerTexel;
        }
    }
    return texture;
}

void CTextureManager::Destroy(CInternalTexture* texture)
{
    if (!texture)
        return;
    zfree(texture->pShadow);
    texture->pShadow = nullptr;
    if (texture->pTexture) {
        // Without a device its textures went with it.
        if (CRenderer::GetDevice().GetDevice())
            texture->pTexture->Release();
        --LiveCount;
    }
    zfree(texture);
}

void CTextureManager::SetTexture(CInternalTexture* texture, int stage)
{
    if (IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice())
        device->SetTexture(stage, texture ? texture->pTexture : nullptr);
}
