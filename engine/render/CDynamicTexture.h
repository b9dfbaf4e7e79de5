#pragma once
// The fog of war's texture: one 16-bit A4R4G4B4 level in the managed pool that the fog code
// rewrites whenever the fog changes.
#include "engine/render/CInternalTexture.h"

class CDynamicTexture {
public:
    CDynamicTexture() : pTexture(nullptr) {}
    ~CDynamicTexture() { Release(); }

    // Keeps the texture when nothing changed; otherwise makes a new one. Only 16-bit textures
    // with the alpha flag 0x02 and no shadow are made: false, with no texture, for any other.
    bool Update(int width, int height, int bitDepth, int flags, int wantShadow);
    // Level 0's pixels; null without a texture or while locked.
    void* Lock();
    void Unlock();
    // Replaces the shadow words with a copy, only when a shadow buffer exists.
    void SetShadow(const unsigned long* words, int count);
    int GetShadow(unsigned long** words) const;
    void GetInfo(int* width, int* height, int* bitDepth, int* rowBytes) const;
    void Release();
    CInternalTexture* GetTexture() const { return pTexture; }

private:
    CDynamicTexture(const CDynamicTexture&) = delete;
    CDynamicTexture& operator=(const CDynamicTexture&) = delete;

    CInternalTexture* pTexture;
};
