#pragma once
// Texture sampling with the device's address modes, point and linear filters and mip maps.
// Texel centres lie at (i + 0.5) / size, as on the hardware the renderer was written for.
// Sampling runs once per pixel, so its body lives here where the pixel loops can inline it.
#include <algorithm>
#include <cmath>
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
    inline uint32_t Sample(float u, float v, float lod) const;
    // Four samples at once; lanes not set in live may hold anything afterwards.
    void Sample4(const float* u, const float* v, const float* lod, int live, uint32_t* out) const;

private:
    struct Level {
        int width, height;
        float fw, fh;
        const uint32_t* argb;
        bool wrapU, wrapV;  // wrap addressing on a power-of-two size: a mask does it
    };

    inline uint32_t SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const;
    inline bool Address(int& i, int size, bool maskable, DWORD mode) const;
    inline uint32_t Texel(const Level& level, int x, int y) const;

    // Coordinates are limited to +-1e6 texels before this, so the conversion cannot overflow.
    static int Floor(float value) {
        int i = int(value);
        return value < float(i) ? i - 1 : i;
    }
    // Blends two packed ARGB values, weight 0..256 towards the second, rounding each channel.
    static uint32_t Lerp(uint32_t a, uint32_t b, uint32_t weight) {
        uint32_t keep = 256 - weight;
        uint32_t redBlue = ((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
        uint32_t alphaGreen = (((a >> 8) & 0x00FF00FFu) * keep + ((b >> 8) & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
        return (redBlue & 0x00FF00FFu) | ((alphaGreen & 0x00FF00FFu) << 8);
    }
    static uint32_t Weight(float fraction) { return uint32_t(int(fraction * 256.0f + 0.5f)); }

    void SampleLinearWrapped4(const float* u, const float* v, const float* lod, uint32_t* out) const;

    std::vector<Level> levels_;
    bool linearWrapped_;  // linear filtering, at most point mips, wrapped power-of-two levels
    DWORD addressU_, addressV_;
    D3DTEXTUREFILTERTYPE magFilter_, minFilter_, mipFilter_;
    float lodBias_;
    uint32_t border_;
    bool needsLod_;
};

bool Sampler::Address(int& i, int size, bool maskable, DWORD mode) const {
    if (maskable) {
        i &= size - 1;
        return true;
    }
    switch (mode) {
    case D3DTADDRESS_CLAMP: i = i < 0 ? 0 : (i >= size ? size - 1 : i); return true;
    case D3DTADDRESS_BORDER: return i >= 0 && i < size;
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE: {
        int period = 2 * size;
        int m = ((i % period) + period) % period;
        i = m < size ? m : period - 1 - m;
        return true;
    }
    default: i = ((i % size) + size) % size; return true;
    }
}

uint32_t Sampler::Texel(const Level& level, int x, int y) const {
    if (Address(x, level.width, level.wrapU, addressU_) && Address(y, level.height, level.wrapV, addressV_))
        return level.argb[y * level.width + x];
    return border_;
}

uint32_t Sampler::SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const {
    if (filter == D3DTEXF_POINT) return Texel(level, Floor(u * level.fw), Floor(v * level.fh));
    float fx = u * level.fw - 0.5f, fy = v * level.fh - 0.5f;
    int x0 = Floor(fx), y0 = Floor(fy);
    uint32_t wx = Weight(fx - float(x0)), wy = Weight(fy - float(y0));
    if (level.wrapU && level.wrapV) {
        // Both axes wrap on a power-of-two size: address the four texels with masks once.
        int maskX = level.width - 1, maskY = level.height - 1;
        const uint32_t* row0 = level.argb + (y0 & maskY) * level.width;
        const uint32_t* row1 = level.argb + ((y0 + 1) & maskY) * level.width;
        int xa = x0 & maskX, xb = (x0 + 1) & maskX;
        return Lerp(Lerp(row0[xa], row0[xb], wx), Lerp(row1[xa], row1[xb], wx), wy);
    }
    uint32_t top = Lerp(Texel(level, x0, y0), Texel(level, x0 + 1, y0), wx);
    uint32_t bottom = Lerp(Texel(level, x0, y0 + 1), Texel(level, x0 + 1, y0 + 1), wx);
    return Lerp(top, bottom, wy);
}

uint32_t Sampler::Sample(float u, float v, float lod) const {
    if (!(u >= -1.0e6f && u <= 1.0e6f)) u = u > 0.0f ? 1.0e6f : (u < 0.0f ? -1.0e6f : 0.0f);
    if (!(v >= -1.0e6f && v <= 1.0e6f)) v = v > 0.0f ? 1.0e6f : (v < 0.0f ? -1.0e6f : 0.0f);
    lod += lodBias_;
    if (!needsLod_ || !(lod > 0.0f)) return SampleLevel(levels_[0], needsLod_ ? magFilter_ : minFilter_, u, v);
    int last = int(levels_.size()) - 1;
    if (mipFilter_ == D3DTEXF_NONE || last == 0) return SampleLevel(levels_[0], minFilter_, u, v);
    if (mipFilter_ == D3DTEXF_POINT) {
        int level = std::min(last, int(lod + 0.5f));
        return SampleLevel(levels_[level], minFilter_, u, v);
    }
    float clamped = std::min(lod, float(last));
    int lower = int(clamped);
    int upper = std::min(last, lower + 1);
    return Lerp(SampleLevel(levels_[lower], minFilter_, u, v), SampleLevel(levels_[upper], minFilter_, u, v),
                Weight(clamped - float(lower)));
}

}  // namespace d3d9sw
