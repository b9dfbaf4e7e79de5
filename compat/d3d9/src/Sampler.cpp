#include "Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9sw {

namespace {

struct ByteTable {
    float values[256];
    ByteTable() {
        for (int i = 0; i < 256; ++i) values[i] = float(i) / 255.0f;
    }
};
const ByteTable kTable;

D3DTEXTUREFILTERTYPE Filter(DWORD value) {
    // Anisotropic filtering is served by the linear filter.
    if (value == D3DTEXF_ANISOTROPIC) return D3DTEXF_LINEAR;
    return value <= D3DTEXF_LINEAR ? D3DTEXTUREFILTERTYPE(value) : D3DTEXF_LINEAR;
}

inline void Unpack(uint32_t argb, float out[4]) {
    out[0] = kTable.values[(argb >> 16) & 0xFF];
    out[1] = kTable.values[(argb >> 8) & 0xFF];
    out[2] = kTable.values[argb & 0xFF];
    out[3] = kTable.values[argb >> 24];
}

}  // namespace

Sampler::Sampler(const Texture* texture, const DWORD* states) {
    UINT first = std::min<UINT>(states[D3DSAMP_MAXMIPLEVEL], texture->LevelCount() - 1);
    for (UINT i = first; i < texture->LevelCount(); ++i) {
        TextureLevel l = texture->Level(i);
        levels_.push_back({int(l.width), int(l.height), float(l.width), float(l.height), l.argb});
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

bool Sampler::Address(int& i, int size, DWORD mode) const {
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

void Sampler::SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v, float out[4]) const {
    if (filter == D3DTEXF_POINT) {
        int x = int(std::floor(u * level.fw)), y = int(std::floor(v * level.fh));
        if (Address(x, level.width, addressU_) && Address(y, level.height, addressV_))
            Unpack(level.argb[y * level.width + x], out);
        else
            Unpack(border_, out);
        return;
    }
    float fx = u * level.fw - 0.5f, fy = v * level.fh - 0.5f;
    float bx = std::floor(fx), by = std::floor(fy);
    float ax = fx - bx, ay = fy - by;
    int x0 = int(bx), y0 = int(by);
    float texel[4][4];
    for (int k = 0; k < 4; ++k) {
        int x = x0 + (k & 1), y = y0 + (k >> 1);
        if (Address(x, level.width, addressU_) && Address(y, level.height, addressV_))
            Unpack(level.argb[y * level.width + x], texel[k]);
        else
            Unpack(border_, texel[k]);
    }
    for (int c = 0; c < 4; ++c) {
        float top = texel[0][c] + (texel[1][c] - texel[0][c]) * ax;
        float bottom = texel[2][c] + (texel[3][c] - texel[2][c]) * ax;
        out[c] = top + (bottom - top) * ay;
    }
}

void Sampler::Sample(float u, float v, float lod, float out[4]) const {
    if (!std::isfinite(u) || !std::isfinite(v)) u = v = 0.0f;
    // Keep coordinates where integer texel indices cannot overflow.
    u = std::max(-1.0e6f, std::min(1.0e6f, u));
    v = std::max(-1.0e6f, std::min(1.0e6f, v));
    lod += lodBias_;
    if (!needsLod_ || !(lod > 0.0f)) {
        SampleLevel(levels_[0], needsLod_ ? magFilter_ : minFilter_, u, v, out);
        return;
    }
    int last = int(levels_.size()) - 1;
    if (mipFilter_ == D3DTEXF_NONE || last == 0) {
        SampleLevel(levels_[0], minFilter_, u, v, out);
        return;
    }
    if (mipFilter_ == D3DTEXF_POINT) {
        int level = std::min(last, int(std::floor(lod + 0.5f)));
        SampleLevel(levels_[level], minFilter_, u, v, out);
        return;
    }
    float clamped = std::min(lod, float(last));
    int lower = int(std::floor(clamped));
    int upper = std::min(last, lower + 1);
    float weight = clamped - float(lower);
    float a[4], b[4];
    SampleLevel(levels_[lower], minFilter_, u, v, a);
    SampleLevel(levels_[upper], minFilter_, u, v, b);
    for (int c = 0; c < 4; ++c) out[c] = a[c] + (b[c] - a[c]) * weight;
}

}  // namespace d3d9sw
