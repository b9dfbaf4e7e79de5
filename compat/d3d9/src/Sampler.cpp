#include "Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9sw {

namespace {

// Coordinates are limited to +-1e6 texels before this, so the conversion cannot overflow.
inline int Floor(float value) {
    int i = int(value);
    return value < float(i) ? i - 1 : i;
}

bool PowerOfTwo(int size) { return (size & (size - 1)) == 0; }

D3DTEXTUREFILTERTYPE Filter(DWORD value) {
    // Anisotropic filtering is served by the linear filter.
    if (value == D3DTEXF_ANISOTROPIC) return D3DTEXF_LINEAR;
    return value <= D3DTEXF_LINEAR ? D3DTEXTUREFILTERTYPE(value) : D3DTEXF_LINEAR;
}

// Blends two packed ARGB values, weight 0..256 towards the second, rounding each channel.
inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t weight) {
    uint32_t keep = 256 - weight;
    uint32_t redBlue = ((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
    uint32_t alphaGreen = (((a >> 8) & 0x00FF00FFu) * keep + ((b >> 8) & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
    return (redBlue & 0x00FF00FFu) | ((alphaGreen & 0x00FF00FFu) << 8);
}

inline uint32_t Weight(float fraction) { return uint32_t(fraction * 256.0f + 0.5f); }

}  // namespace

Sampler::Sampler(const Texture* texture, const DWORD* states) {
    UINT first = std::min<UINT>(states[D3DSAMP_MAXMIPLEVEL], texture->LevelCount() - 1);
    for (UINT i = first; i < texture->LevelCount(); ++i) {
        TextureLevel l = texture->Level(i);
        bool wrapU = states[D3DSAMP_ADDRESSU] == D3DTADDRESS_WRAP && PowerOfTwo(int(l.width));
        bool wrapV = states[D3DSAMP_ADDRESSV] == D3DTADDRESS_WRAP && PowerOfTwo(int(l.height));
        levels_.push_back({int(l.width), int(l.height), float(l.width), float(l.height), l.argb, wrapU, wrapV});
    }
    addressU_ = states[D3DSAMP_ADDRESSU];
    addressV_ = states[D3DSAMP_ADDRESSV];
    magFilter_ = Filter(states[D3DSAMP_MAGFILTER]);
    minFilter_ = Filter(states[D3DSAMP_MINFILTER]);
    mipFilter_ = Filter(states[D3DSAMP_MIPFILTER]);
    std::memcpy(&lodBias_, &states[D3DSAMP_MIPMAPLODBIAS], 4);
    border_ = states[D3DSAMP_BORDERCOLOR];
    if (minFilter_ == D3DTEXF_NONE) minFilter_ = D3DTEXF_POINT;
    if (magFilter_ == D3DTEXF_NONE) magFilter_ = D3DTEXF_POINT;
    needsLod_ = minFilter_ != magFilter_ || (mipFilter_ != D3DTEXF_NONE && levels_.size() > 1);
}

inline bool Sampler::Address(int& i, int size, bool maskable, DWORD mode) const {
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

inline uint32_t Sampler::Texel(const Level& level, int x, int y) const {
    if (Address(x, level.width, level.wrapU, addressU_) && Address(y, level.height, level.wrapV, addressV_))
        return level.argb[y * level.width + x];
    return border_;
}

uint32_t Sampler::SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const {
    if (filter == D3DTEXF_POINT) return Texel(level, Floor(u * level.fw), Floor(v * level.fh));
    float fx = u * level.fw - 0.5f, fy = v * level.fh - 0.5f;
    int x0 = Floor(fx), y0 = Floor(fy);
    uint32_t wx = Weight(fx - float(x0)), wy = Weight(fy - float(y0));
    uint32_t top = Lerp(Texel(level, x0, y0), Texel(level, x0 + 1, y0), wx);
    uint32_t bottom = Lerp(Texel(level, x0, y0 + 1), Texel(level, x0 + 1, y0 + 1), wx);
    return Lerp(top, bottom, wy);
}

uint32_t Sampler::Sample(float u, float v, float lod) const {
    if (!std::isfinite(u) || !std::isfinite(v)) u = v = 0.0f;
    // Keep coordinates where integer texel indices cannot overflow.
    u = std::max(-1.0e6f, std::min(1.0e6f, u));
    v = std::max(-1.0e6f, std::min(1.0e6f, v));
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
