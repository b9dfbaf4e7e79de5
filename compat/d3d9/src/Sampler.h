#pragma once
// Texture sampling with the device's address modes, point and linear filters and mip maps.
// Texel centres lie at (i + 0.5) / size, as on the hardware the renderer was written for.
#include <cstdint>
#include <vector>

#include "DeviceState.h"
#include "Texture.h"

namespace d3d9sw {

class Sampler {
public:
    Sampler(const Texture* texture, const DWORD* states);

    // Whether sampling depends on the level of detail, so callers must supply one.
    bool NeedsLod() const { return needsLod_; }
    float Width() const { return levels_[0].fw; }
    float Height() const { return levels_[0].fh; }

    // lod is log2 of texels per pixel at the base level; colour out as r, g, b, a in 0..1.
    void Sample(float u, float v, float lod, float out[4]) const;

private:
    struct Level {
        int width, height;
        float fw, fh;
        const uint32_t* argb;
    };

    void SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v, float out[4]) const;
    bool Address(int& i, int size, DWORD mode) const;

    std::vector<Level> levels_;
    DWORD addressU_, addressV_;
    D3DTEXTUREFILTERTYPE magFilter_, minFilter_, mipFilter_;
    float lodBias_;
    uint32_t border_;
    bool needsLod_;
};

}  // namespace d3d9sw
