#include "Sampler.h"

#include <cstring>

#include <emmintrin.h>

namespace d3d9sw {

namespace {

bool PowerOfTwo(int size) { return (size & (size - 1)) == 0; }

D3DTEXTUREFILTERTYPE Filter(DWORD value) {
    // Anisotropic filtering is served by the linear filter.
    if (value == D3DTEXF_ANISOTROPIC) return D3DTEXF_LINEAR;
    return value <= D3DTEXF_LINEAR ? D3DTEXTUREFILTERTYPE(value) : D3DTEXF_LINEAR;
}

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
    linearWrapped_ = minFilter_ == D3DTEXF_LINEAR && magFilter_ == D3DTEXF_LINEAR && mipFilter_ != D3DTEXF_LINEAR &&
                     std::all_of(levels_.begin(), levels_.end(), [](const Level& l) { return l.wrapU && l.wrapV; });
}

void Sampler::Sample4(const float* u, const float* v, const float* lod, int live, uint32_t* out) const {
    // Lanes that are not live still sample somewhere inside the texture; their results are
    // simply not used.
    if (linearWrapped_) {
        SampleLinearWrapped4(u, v, lod, out);
        return;
    }
    for (int l = 0; l < 4; ++l)
        if (live & (1 << l)) out[l] = Sample(u[l], v[l], lod[l]);
}

namespace {

// floor for four lanes whose values lie within +-1e6.
inline __m128i Floor4(__m128 value) {
    __m128i truncated = _mm_cvttps_epi32(value);
    __m128 back = _mm_cvtepi32_ps(truncated);
    return _mm_add_epi32(truncated, _mm_castps_si128(_mm_cmpgt_ps(back, value)));  // -1 where truncation rounded up
}

// Per-pixel weights 0..256 repeated over each pixel's four 16-bit channel lanes: pixels 0, 1
// in the low register, 2, 3 in the high one.
inline void SpreadWeights(__m128i weights, __m128i& low, __m128i& high) {
    __m128i packed = _mm_packs_epi32(weights, weights);  // w0 w1 w2 w3 w0 w1 w2 w3
    __m128i pairs = _mm_unpacklo_epi16(packed, packed);  // w0 w0 w1 w1 w2 w2 w3 w3
    low = _mm_unpacklo_epi32(pairs, pairs);              // w0 x4, w1 x4
    high = _mm_unpackhi_epi32(pairs, pairs);             // w2 x4, w3 x4
}

inline __m128i LerpLanes(__m128i a, __m128i b, __m128i weight) {
    __m128i keep = _mm_sub_epi16(_mm_set1_epi16(256), weight);
    __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, weight)), _mm_set1_epi16(128));
    return _mm_srli_epi16(sum, 8);
}

// Blends four packed ARGB pixels towards four others by per-pixel weights.
inline __m128i Lerp4(__m128i a, __m128i b, __m128i weights) {
    __m128i zero = _mm_setzero_si128(), low, high;
    SpreadWeights(weights, low, high);
    __m128i resultLow = LerpLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), low);
    __m128i resultHigh = LerpLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), high);
    return _mm_packus_epi16(resultLow, resultHigh);
}

}  // namespace

// The common case of the fast pixel path: four bilinear samples computed side by side, each
// lane on its own mip level, with the same arithmetic as Sample.
void Sampler::SampleLinearWrapped4(const float* u, const float* v, const float* lod, uint32_t* out) const {
    alignas(16) float width[4], height[4];
    alignas(16) int widthMask[4], heightMask[4];
    const uint32_t* texels[4];
    int last = int(levels_.size()) - 1;
    int previous = -1;
    for (int l = 0; l < 4; ++l) {
        float bias = lod[l] + lodBias_;
        int level = (!needsLod_ || !(bias > 0.0f) || mipFilter_ == D3DTEXF_NONE) ? 0 : std::min(last, int(bias + 0.5f));
        if (level == previous) {  // neighbours mostly share a level
            width[l] = width[l - 1];
            height[l] = height[l - 1];
            widthMask[l] = widthMask[l - 1];
            heightMask[l] = heightMask[l - 1];
            texels[l] = texels[l - 1];
            continue;
        }
        previous = level;
        const Level& chosen = levels_[level];
        width[l] = chosen.fw;
        height[l] = chosen.fh;
        widthMask[l] = chosen.width - 1;
        heightMask[l] = chosen.height - 1;
        texels[l] = chosen.argb;
    }
    const __m128 limit = _mm_set1_ps(1.0e6f), half = _mm_set1_ps(0.5f), scale = _mm_set1_ps(256.0f);
    // NaN lanes become 0 through the min and max below.
    __m128 us = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(u), limit), _mm_sub_ps(_mm_setzero_ps(), limit));
    __m128 vs = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(v), limit), _mm_sub_ps(_mm_setzero_ps(), limit));
    __m128 fx = _mm_sub_ps(_mm_mul_ps(us, _mm_load_ps(width)), half);
    __m128 fy = _mm_sub_ps(_mm_mul_ps(vs, _mm_load_ps(height)), half);
    __m128i x0 = Floor4(fx), y0 = Floor4(fy);
    __m128i wx = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(fx, _mm_cvtepi32_ps(x0)), scale), half));
    __m128i wy = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(fy, _mm_cvtepi32_ps(y0)), scale), half));
    const __m128i one = _mm_set1_epi32(1);
    __m128i maskX = _mm_load_si128(reinterpret_cast<const __m128i*>(widthMask));
    __m128i maskY = _mm_load_si128(reinterpret_cast<const __m128i*>(heightMask));
    alignas(16) int xa[4], xb[4], ya[4], yb[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(xa), _mm_and_si128(x0, maskX));
    _mm_store_si128(reinterpret_cast<__m128i*>(xb), _mm_and_si128(_mm_add_epi32(x0, one), maskX));
    _mm_store_si128(reinterpret_cast<__m128i*>(ya), _mm_and_si128(y0, maskY));
    _mm_store_si128(reinterpret_cast<__m128i*>(yb), _mm_and_si128(_mm_add_epi32(y0, one), maskY));
    alignas(16) uint32_t t00[4], t10[4], t01[4], t11[4];
    for (int l = 0; l < 4; ++l) {
        int rowWidth = widthMask[l] + 1;
        const uint32_t* row0 = texels[l] + ya[l] * rowWidth;
        const uint32_t* row1 = texels[l] + yb[l] * rowWidth;
        t00[l] = row0[xa[l]];
        t10[l] = row0[xb[l]];
        t01[l] = row1[xa[l]];
        t11[l] = row1[xb[l]];
    }
    auto load = [](const uint32_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
    __m128i top = Lerp4(load(t00), load(t10), wx);
    __m128i bottom = Lerp4(load(t01), load(t11), wx);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Lerp4(top, bottom, wy));
}

}  // namespace d3d9sw
