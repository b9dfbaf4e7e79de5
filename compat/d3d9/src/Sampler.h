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

    // lod is log2 of texels per pixel at the base level. Filtering works on 8-bit channels
    // with 8-bit weights, as texture units do; the result is packed ARGB.
    uint32_t Sample(float u, float v, float lod) const;

private:
    struct Level {
        int width, height;
        float fw, fh;
        const uint32_t* argb;
        bool wrapU, wrapV;  // wrap addressing on a power-of-two size: a mask does it
    };

    uint32_t SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const;
    bool Address(int& i, int size, bool maskable, DWORD mode) const;
    uint32_t Texel(const Level& level, int x, int y) const;

    std::vector<Level> levels_;
    DWORD addressU_, addressV_;
    D3DTEXTUREFILTERTYPE magFilter_, minFilter_, mipFilter_;
    float lodBias_;
    uint32_t border_;
    bool needsLod_;
};

}  // namespace d3d9sw
