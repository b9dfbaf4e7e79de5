#pragma once
// The device side of a texture: what the texture manager made from a texture block, or the
// fog of war's dynamic texture.
#include <d3d9.h>

struct CInternalTexture {
    IDirect3DTexture9* pTexture;
    // Level 0's pixels while the texture is locked through the dynamic texture, else null.
    void* pBits;
    int Width;
    int Height;
    int RowBytes; // width × bit depth / 8
    int Levels;
    int BitDepth;
    D3DFORMAT Format;
    unsigned long Flags; // the texture block's flags
    unsigned long* pShadow;
    int ShadowCount;
    unsigned char Locked;
    unsigned char FromPackedData;
};
