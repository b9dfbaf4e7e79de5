#pragma once
// Makes device textures from texture blocks of packed data and releases them. The playback
// of the draw lists binds them through SetTexture.
#include <d3d9.h>

#include "engine/render/CInternalTexture.h"

namespace rhu {
struct ZelTexture;
}

class CTextureManager {
public:
    // Format by bit depth and the alpha flags: 16 bits give A1R5G5B5 (flag 0x04), A4R4G4B4
    // (flag 0x02) or R5G6B5; 32 bits A8R8G8B8 (either flag) or X8R8G8B8. Any other depth gives
    // R5G6B5 and copies no pixels.
    static D3DFORMAT ChooseFormat(int bitDepth, unsigned long flags);
    // A square texture of 1 to 2048 texels a side with a level count that fits its size;
    // anything else ends the program. A texture the device cannot make has no device texture
    // (draws use the white texture). fromPackedData also checks that every level lies inside
    // the loaded file.
    static CInternalTexture* Create(const rhu::ZelTexture* data, int fromPackedData);
    static void Destroy(CInternalTexture* texture);
    static void SetTexture(CInternalTexture* texture, int stage);
    // Device textures alive now.
    static int GetLiveCount() { return LiveCount; }

    enum { kAlpha = 0x02, kOneBitAlpha = 0x04, kMaxSize = 2048 };

private:
    friend class CDynamicTexture;
    static int LiveCount;
};
