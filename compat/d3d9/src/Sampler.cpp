#include "Sampler.h"

#include <cstring>

namespace d3d9sw {

namespace {

bool PowerOfTwo(int size) { return (size & (size - 1)) == 0; }

D3DTEXTUREFILTERTYPE Filter(DWORD value)
{
    // Anisotropic filtering is served by the linear filter.
    if (value == D3DTEXF_ANISOTROPIC)
        return D3DTEXF_LINEAR;
    return value <= D3DTEXF_LINEAR ? D3DTEXTUREFILTERTYPE(value) : D3DTEXF_LINEAR;
}

} // namespace

Sampler::Sampler(const Texture* texture, const DWORD* states)
{
    UINT first = std::min<UINT>(states[D3DSAMP_MAXMIPLEVEL], texture->LevelCount() - 1);
    for (UINT i = first; i < texture->LevelCount(); ++i) {
        TextureLevel l = texture->Level(i);
        bool wrapU = states[D3DSAMP_ADDRESSU] == D3DTADDRESS_WRAP && PowerOfTwo(int(l.width));
        bool wrapV = states[D3DSAMP_ADDRESSV] == D3DTADDRESS_WRAP && PowerOfTwo(int(l.height));
        int w = int(l.width), h = int(l.height);
        float fw = float(w), fh = float(h);
        levels_.push_back({w, h, fw, fh, l.argb, wrapU, wrapV, {fw, fw, fh, fh}, {w - 1, w - 1, h - 1, h - 1}});
    }
    addressU_ = states[D3DSAMP_ADDRESSU];
    addressV_ = states[D3DSAMP_ADDRESSV];
    magFilter_ = Filter(states[D3DSAMP_MAGFILTER]);
    minFilter_ = Filter(states[D3DSAMP_MINFILTER]);
    mipFilter_ = Filter(states[D3DSAMP_MIPFILTER]);
    std::memcpy(&lodBias_, &states[D3DSAMP_MIPMAPLODBIAS], 4);
    border_ = states[D3DSAMP_BORDERCOLOR];
    if (minFilter_ == D3DTEXF_NONE)
        minFilter_ = D3DTEXF_POINT;
    if (magFilter_ == D3DTEXF_NONE)
        magFilter_ = D3DTEXF_POINT;
    needsLod_ = minFilter_ != magFilter_ || (mipFilter_ != D3DTEXF_NONE && levels_.size() > 1);
    linearWrapped_ = minFilter_ == D3DTEXF_LINEAR && magFilter_ == D3DTEXF_LINEAR && mipFilter_ != D3DTEXF_LINEAR &&
                     std::all_of(levels_.begin(), levels_.end(), [](const Level& l) { return l.wrapU && l.wrapV; });
    mipmapped_ = needsLod_ && mipFilter_ != D3DTEXF_NONE && levels_.size() > 1;
    lastLevel_ = float(levels_.size() - 1);
}

__m128i Sampler::SampleEach4(__m128 u, __m128 v, __m128 lod, int live) const
{
    alignas(16) float us[4], vs[4], lods[4];
    _mm_store_ps(us, u);
    _mm_store_ps(vs, v);
    _mm_store_ps(lods, _mm_shuffle_ps(lod, lod, _MM_SHUFFLE(2, 2, 0, 0)));
    alignas(16) uint32_t out[4] = {};
    for (int l = 0; l < 4; ++l)
        if (live & (1 << l))
            out[l] = Sample(us[l], vs[l], lods[l]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
}

} // namespace d3d9sw
