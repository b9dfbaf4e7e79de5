#include "engine/render/CDynamicTexture.h"

#include <cstring>

#include "core/heap/ZHeap.h"
#include "engine/render/CRenderer.h"
#include "engine/render/CTextureManager.h"

bool CDynamicTexture::Update(int width, int height, int bitDepth, int flags, int wantShadow)
{
    if (!pTexture) {
        pTexture = static_cast<CInternalTexture*>(zmalloc(sizeof(CInternalTexture)));
        if (!pTexture)
            return false;
        std::memset(pTexture, 0, sizeof *pTexture);
    }
    CInternalTexture& t = *pTexture;
    if (t.pTexture && t.Width == width && t.Height == height && t.BitDepth == bitDepth &&
        t.Flags == static_cast<unsigned long>(flags) && (!wantShadow || t.pShadow))
        return true;
    if (t.pTexture) {
        if (t.Locked)
            t.pTexture->UnlockRect(0);
        if (CRenderer::GetDevice().GetDevice())
            t.pTexture->Release();
        --CTextureManager::LiveCount;
    }
    zfree(t.pShadow);
    std::memset(&t, 0, sizeof t);
    if (wantShadow || !(flags & CTextureManager::kAlpha) || bitDepth != 16)
        return false;
    IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice();
    if (!device || width < 1 || height < 1 ||
        device->CreateTexture(width, height, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &t.pTexture, nullptr) != D3D_OK) {
        t.pTexture = nullptr;
        return false;
    }
    ++CTextureManager::LiveCount;
    t.Format = D3DFMT_A4R4G4B4;
    t.Flags = static_cast<unsigned long>(flags);
    t.BitDepth = 16;
    t.Width = width;
    t.Height = height;
    t.RowBytes = width * 2;
    t.Levels = 1;
    return true;
}

// Locks level 0 each time: the address of an earlier lock is not valid after its unlock.
void* CDynamicTexture::Lock()
{
    if (!pTexture || !pTexture->pTexture || pTexture->Locked)
        return nullptr;
    D3DLOCKED_RECT locked;
    if (pTexture->pTexture->LockRect(0, &locked, nullptr, 0) != D3D_OK)
        return nullptr;
    pTexture->Locked = 1;
    pTexture->pBits = locked.pBits;
    // The fog code writes rows of RowBytes; the device's rows must be those rows.
    pTexture->RowBytes = locked.Pitch;
    return locked.pBits;
}

void CDynamicTexture::Unlock()
{
    if (!pTexture || !pTexture->Locked)
        return;
    pTexture->pTexture->UnlockRect(0);
    pTexture->Locked = 0;
    pTexture->pBits = nullptr;
}

void CDynamicTexture::SetShadow(const unsigned long* words, int count)
{
    if (!pTexture || !pTexture->pShadow || count < 0)
        return;
    unsigned long* copy = static_cast<unsigned long*>(zmalloc(static_cast<unsigned long>(count) * 4 + 4));
    if (!copy)
        return;
    std::memcpy(copy, words, static_cast<size_t>(count) * 4);
    zfree(pTexture->pShadow);
    pTexture->pShadow = copy;
    pTexture->ShadowCount = count;
}

int CDynamicTexture::GetShadow(unsigned long** words) const
{
    *words = pTexture ? pTexture->pShadow : nullptr;
    return pTexture ? pTexture->ShadowCount : 0;
}

void CDynamicTexture::GetInfo(int* width, int* height, int* bitDepth, int* rowBytes) const
{
    const CInternalTexture empty = {};
    const CInternalTexture& t = pTexture ? *pTexture : empty;
    *width = t.Width;
    *height = t.Height;
    *bitDepth = t.BitDepth;
    *rowBytes = t.RowBytes;
}

void CDynamicTexture::Release()
{
    if (!pTexture)
        return;
    Unlock();
    zfree(pTexture->pShadow);
    if (pTexture->pTexture) {
        if (CRenderer::GetDevice().GetDevice())
            pTexture->pTexture->Release();
        --CTextureManager::LiveCount;
    }
    zfree(pTexture);
    pTexture = nullptr;
}
