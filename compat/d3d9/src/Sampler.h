#pragma once
// Texture sampling with the device's address modes, point and linear filters and mip maps.
// Texel centres lie at (i + 0.5) / size, as on the hardware the renderer was written for.
// Sampling runs once per pixel, so its body lives here where the pixel loops can inline it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

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
    // Four samples at once, as 16-bit channel lanes (b, g, r, a): pixels 0 and 1 in low, 2 and
    // 3 in high. Texture units share the level of detail between neighbouring pixels: lod lane
    // 0 serves pixels 0 and 1, lod lane 2 pixels 2 and 3. Pixels not set in live may hold
    // anything afterwards.
    inline void Sample4(__m128 u, __m128 v, __m128 lod, int live, __m128i& low, __m128i& high) const;

private:
    struct Level {
        int width, height;
        float fw, fh;
        const uint32_t* argb;
        bool wrapU, wrapV; // wrap addressing on a power-of-two size: a mask does it
        // The size and the wrap masks laid out for the four-lane path: each value twice.
        float sizes[4]; // fw, fw, fh, fh
        int masks[4];   // width - 1, width - 1, height - 1, height - 1
    };

    inline uint32_t SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const;
    inline bool Address(int& i, int size, bool maskable, DWORD mode) const;
    inline uint32_t Texel(const Level& level, int x, int y) const;

    // Coordinates are limited to +-1e6 texels before this, so the conversion cannot overflow.
    static int Floor(float value)
    {
        int i = int(value);
        return value < float(i) ? i - 1 : i;
    }
    // Blends two packed ARGB values, weight 0..256 towards the second, rounding each channel.
    static uint32_t Lerp(uint32_t a, uint32_t b, uint32_t weight)
    {
        uint32_t keep = 256 - weight;
        uint32_t redBlue = ((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
        uint32_t alphaGreen = (((a >> 8) & 0x00FF00FFu) * keep + ((b >> 8) & 0x00FF00FFu) * weight + 0x00800080u) >> 8;
        return (redBlue & 0x00FF00FFu) | ((alphaGreen & 0x00FF00FFu) << 8);
    }
    static uint32_t Weight(float fraction) { return uint32_t(int(fraction * 256.0f + 0.5f)); }

    inline void SampleLinearWrapped4(__m128 u, __m128 v, __m128 lod, __m128i& low, __m128i& high) const;
    __m128i SampleEach4(__m128 u, __m128 v, __m128 lod, int live) const;

    std::vector<Level> levels_;
    bool linearWrapped_; // linear filtering, at most point mips, wrapped power-of-two levels
    DWORD addressU_, addressV_;
    D3DTEXTUREFILTERTYPE magFilter_, minFilter_, mipFilter_;
    float lodBias_;
    uint32_t border_;
    bool needsLod_;
    bool mipmapped_; // the level of detail picks among several levels
    float lastLevel_;
};

bool Sampler::Address(int& i, int size, bool maskable, DWORD mode) const
{
    if (maskable) {
        i &= size - 1;
        return true;
    }
    switch (mode) {
    case D3DTADDRESS_CLAMP:
        i = i < 0 ? 0 : (i >= size ? size - 1 : i);
        return true;
    case D3DTADDRESS_BORDER:
        return i >= 0 && i < size;
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE: {
        int period = 2 * size;
        int m = ((i % period) + period) % period;
        i = m < size ? m : period - 1 - m;
        return true;
    }
    default:
        i = ((i % size) + size) % size;
        return true;
    }
}

uint32_t Sampler::Texel(const Level& level, int x, int y) const
{
    if (Address(x, level.width, level.wrapU, addressU_) && Address(y, level.height, level.wrapV, addressV_))
        return level.argb[y * level.width + x];
    return border_;
}

uint32_t Sampler::SampleLevel(const Level& level, D3DTEXTUREFILTERTYPE filter, float u, float v) const
{
    if (filter == D3DTEXF_POINT)
        return Texel(level, Floor(u * level.fw), Floor(v * level.fh));
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

uint32_t Sampler::Sample(float u, float v, float lod) const
{
    if (!(u >= -1.0e6f && u <= 1.0e6f))
        u = u > 0.0f ? 1.0e6f : (u < 0.0f ? -1.0e6f : 0.0f);
    if (!(v >= -1.0e6f && v <= 1.0e6f))
        v = v > 0.0f ? 1.0e6f : (v < 0.0f ? -1.0e6f : 0.0f);
    lod += lodBias_;
    if (!needsLod_ || !(lod > 0.0f))
        return SampleLevel(levels_[0], needsLod_ ? magFilter_ : minFilter_, u, v);
    int last = int(levels_.size()) - 1;
    if (mipFilter_ == D3DTEXF_NONE || last == 0)
        return SampleLevel(levels_[0], minFilter_, u, v);
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

namespace sampling {

// floor for four lanes whose values lie within +-1e6.
inline __m128i Floor4(__m128 value)
{
    __m128i truncated = _mm_cvttps_epi32(value);
    __m128 back = _mm_cvtepi32_ps(truncated);
    return _mm_add_epi32(truncated, _mm_castps_si128(_mm_cmpgt_ps(back, value))); // -1 where truncation rounded up
}

// Per-pixel weights 0..256 repeated over each pixel's four 16-bit channel lanes: pixels 0, 1
// in the low register, 2, 3 in the high one.
inline void SpreadWeights(__m128i weights, __m128i& low, __m128i& high)
{
    __m128i packed = _mm_packs_epi32(weights, weights); // w0 w1 w2 w3 w0 w1 w2 w3
    __m128i pairs = _mm_unpacklo_epi16(packed, packed); // w0 w0 w1 w1 w2 w2 w3 w3
    low = _mm_unpacklo_epi32(pairs, pairs);             // w0 x4, w1 x4
    high = _mm_unpackhi_epi32(pairs, pairs);            // w2 x4, w3 x4
}

inline __m128i LerpLanes(__m128i a, __m128i b, __m128i weight)
{
    __m128i keep = _mm_sub_epi16(_mm_set1_epi16(256), weight);
    __m128i sum =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, weight)), _mm_set1_epi16(128));
    return _mm_srli_epi16(sum, 8);
}

} // namespace sampling

void Sampler::Sample4(__m128 u, __m128 v, __m128 lod, int live, __m128i& low, __m128i& high) const
{
    if (linearWrapped_) {
        SampleLinearWrapped4(u, v, lod, low, high);
        return;
    }
    __m128i texels = SampleEach4(u, v, lod, live), zero = _mm_setzero_si128();
    low = _mm_unpacklo_epi8(texels, zero);
    high = _mm_unpackhi_epi8(texels, zero);
}

// The common case of the fast pixel path: four bilinear samples computed side by side, each
// pixel pair on its own mip level, with the same arithmetic as Sample. Blends stay on 16-bit
// lanes throughout: each lies in 0..255, so no packing in between changes it.
void Sampler::SampleLinearWrapped4(__m128 u, __m128 v, __m128 lod, __m128i& low, __m128i& high) const
{
    using namespace sampling;
    const __m128 half = _mm_set1_ps(0.5f);
    int first = 0, second = 0;
    if (mipmapped_) {
        // Level min(last, int(lod + bias + 0.5)) where lod + bias > 0, else the base level; the
        // clamp comes before the conversion so that no lane can overflow it.
        __m128 bias = _mm_add_ps(lod, _mm_set1_ps(lodBias_));
        __m128 rounded = _mm_min_ps(_mm_add_ps(bias, half), _mm_set1_ps(lastLevel_));
        __m128i level =
            _mm_and_si128(_mm_cvttps_epi32(rounded), _mm_castps_si128(_mm_cmpgt_ps(bias, _mm_setzero_ps())));
        first = _mm_cvtsi128_si32(level);
        second = _mm_cvtsi128_si32(_mm_shuffle_epi32(level, _MM_SHUFFLE(2, 2, 2, 2)));
    }
    const Level& a = levels_[size_t(first)];
    const Level& b = levels_[size_t(second)];
    const __m128 limit = _mm_set1_ps(1.0e6f), scale = _mm_set1_ps(256.0f);
    // Level a's values in lanes 0 and 1, level b's in lanes 2 and 3.
    const __m128 sizesA = _mm_loadu_ps(a.sizes), sizesB = _mm_loadu_ps(b.sizes);
    const __m128i masksA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.masks));
    const __m128i masksB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.masks));
    __m128 width = _mm_movelh_ps(sizesA, sizesB), height = _mm_movehl_ps(sizesB, sizesA);
    // NaN lanes take the limit through the min.
    __m128 us = _mm_max_ps(_mm_min_ps(u, limit), _mm_sub_ps(_mm_setzero_ps(), limit));
    __m128 vs = _mm_max_ps(_mm_min_ps(v, limit), _mm_sub_ps(_mm_setzero_ps(), limit));
    __m128 fx = _mm_sub_ps(_mm_mul_ps(us, width), half);
    __m128 fy = _mm_sub_ps(_mm_mul_ps(vs, height), half);
    __m128i x0 = Floor4(fx), y0 = Floor4(fy);
    __m128i wx = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(fx, _mm_cvtepi32_ps(x0)), scale), half));
    __m128i wy = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(fy, _mm_cvtepi32_ps(y0)), scale), half));
    const __m128i one = _mm_set1_epi32(1);
    __m128i maskX = _mm_unpacklo_epi64(masksA, masksB), maskY = _mm_unpackhi_epi64(masksA, masksB);
    // Row starts as texel offsets: products below 2^24, so exact in float.
    auto rowStart = [&](__m128i row) { return _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(row), width)); };
    __m128i top = rowStart(_mm_and_si128(y0, maskY)), bottom = rowStart(_mm_and_si128(_mm_add_epi32(y0, one), maskY));
    __m128i left = _mm_and_si128(x0, maskX), right = _mm_and_si128(_mm_add_epi32(x0, one), maskX);
    const uint32_t* p = a.argb;
    const uint32_t* q = b.argb;
    // Texels as 16-bit channel lanes: left and right column of the upper and lower row, for
    // pixels 0, 1 (low) and 2, 3 (high).
    const __m128i zero = _mm_setzero_si128();
    __m128i upperLeft[2], upperRight[2], lowerLeft[2], lowerRight[2];
    if (!_mm_movemask_epi8(_mm_cmpeq_epi32(left, maskX))) {
        // No pixel's pair of columns wraps around, so each pair is one 8-byte load.
        alignas(16) int i0[4], i1[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(i0), _mm_add_epi32(top, left));
        _mm_store_si128(reinterpret_cast<__m128i*>(i1), _mm_add_epi32(bottom, left));
        auto load = [](const uint32_t* at) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)); };
        auto split = [&](__m128i pairs, __m128i& leftLanes, __m128i& rightLanes) { // l0 l1 r0 r1
            leftLanes = _mm_unpacklo_epi8(pairs, zero);
            rightLanes = _mm_unpackhi_epi8(pairs, zero);
        };
        split(_mm_unpacklo_epi32(load(p + i0[0]), load(p + i0[1])), upperLeft[0], upperRight[0]);
        split(_mm_unpacklo_epi32(load(q + i0[2]), load(q + i0[3])), upperLeft[1], upperRight[1]);
        split(_mm_unpacklo_epi32(load(p + i1[0]), load(p + i1[1])), lowerLeft[0], lowerRight[0]);
        split(_mm_unpacklo_epi32(load(q + i1[2]), load(q + i1[3])), lowerLeft[1], lowerRight[1]);
    } else {
        alignas(16) int i00[4], i10[4], i01[4], i11[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(i00), _mm_add_epi32(top, left));
        _mm_store_si128(reinterpret_cast<__m128i*>(i10), _mm_add_epi32(top, right));
        _mm_store_si128(reinterpret_cast<__m128i*>(i01), _mm_add_epi32(bottom, left));
        _mm_store_si128(reinterpret_cast<__m128i*>(i11), _mm_add_epi32(bottom, right));
        auto gather = [&](const int* i, __m128i* lanes) {
            __m128i texels = _mm_setr_epi32(int(p[i[0]]), int(p[i[1]]), int(q[i[2]]), int(q[i[3]]));
            lanes[0] = _mm_unpacklo_epi8(texels, zero);
            lanes[1] = _mm_unpackhi_epi8(texels, zero);
        };
        gather(i00, upperLeft);
        gather(i10, upperRight);
        gather(i01, lowerLeft);
        gather(i11, lowerRight);
    }
    __m128i across[2], down[2];
    SpreadWeights(wx, across[0], across[1]);
    SpreadWeights(wy, down[0], down[1]);
    __m128i* out[2] = {&low, &high};
    for (int h = 0; h < 2; ++h) {
        __m128i upper = LerpLanes(upperLeft[h], upperRight[h], across[h]);
        __m128i lower = LerpLanes(lowerLeft[h], lowerRight[h], across[h]);
        *out[h] = LerpLanes(upper, lower, down[h]);
    }
}

} // namespace d3d9sw
