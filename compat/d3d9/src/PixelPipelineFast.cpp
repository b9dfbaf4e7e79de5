// The pixel pipeline's fast path: single-stage draws that select or modulate a texture and
// the diffuse colour into a 32-bit target, four pixels at a time on SSE2 lanes.
#include <algorithm>

#include <emmintrin.h>

#include "PixelMath.h"
#include "PixelPipeline.h"

namespace d3d9sw {

using namespace pixel;

namespace {

// Where a fast-path channel comes from; these index the pipeline's source masks.
enum FastSource { kFromTexture, kFromDiffuse, kFromProduct };

// The source a stage operation on texture and diffuse amounts to, or false for other forms.
bool FastSourceOf(DWORD op, DWORD arg1, DWORD arg2, bool colour, uint8_t& out) {
    auto plain = [](DWORD arg) { return arg == D3DTA_TEXTURE || arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
    auto source = [](DWORD arg) { return arg == D3DTA_TEXTURE ? kFromTexture : kFromDiffuse; };
    switch (op) {
    case D3DTOP_SELECTARG1: if (!plain(arg1)) return false; out = uint8_t(source(arg1)); return true;
    case D3DTOP_SELECTARG2: if (!plain(arg2)) return false; out = uint8_t(source(arg2)); return true;
    case D3DTOP_MODULATE:
        if (!plain(arg1) || !plain(arg2) || source(arg1) == source(arg2)) return false;
        out = kFromProduct;
        return true;
    case D3DTOP_DISABLE:
        if (colour) return false;
        out = kFromDiffuse;  // alpha passes the current (diffuse) alpha through
        return true;
    default: return false;
    }
}

}  // namespace

// Single-stage draws that combine a texture and the diffuse colour by selection or
// modulation, without fog or specular, into a 32-bit target: the bulk of what the renderer
// draws. These run on 8-bit channels.
void PixelPipeline::ChooseFastPath() {
    D3DFORMAT format = target_->Format();
    if (stages_.size() != 1 || specular_ || fog_ || writeMask_ != 0xF ||
        (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
        return;
    const Stage& stage = stages_[0];
    uint8_t colour, alpha;
    if (!FastSourceOf(stage.colourOp, stage.colourArg[1], stage.colourArg[2], true, colour) ||
        !FastSourceOf(stage.alphaOp, stage.alphaArg[1], stage.alphaArg[2], false, alpha) ||
        (stage.result & D3DTA_SELECTMASK) == D3DTA_TEMP)
        return;
    if (!blend_) {
        fastBlend_ = FastBlend::None;
    } else if (blendOp_ != D3DBLENDOP_ADD) {
        return;
    } else if (sourceBlend_ == D3DBLEND_SRCALPHA && destBlend_ == D3DBLEND_INVSRCALPHA) {
        fastBlend_ = FastBlend::Alpha;
    } else if (sourceBlend_ == D3DBLEND_SRCALPHA && destBlend_ == D3DBLEND_ONE) {
        fastBlend_ = FastBlend::AlphaAdd;
    } else if (sourceBlend_ == D3DBLEND_ONE && destBlend_ == D3DBLEND_ONE) {
        fastBlend_ = FastBlend::Add;
    } else {
        return;
    }
    // Per source, all bits set in the 16-bit channel lanes (b, g, r, a) of two pixels that take it.
    for (int source = 0; source < 3; ++source)
        for (int lane = 0; lane < 8; ++lane)
            sourceMasks_[source][lane] = int16_t(((lane & 3) == 3 ? alpha : colour) == source ? -1 : 0);
    fast_ = true;
}

namespace {

// round(a * b / 255) per 16-bit lane, for a, b in 0..255.
inline __m128i Mul255Lanes(__m128i a, __m128i b) {
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// All bits set in the 32-bit lanes whose bit is set in mask.
inline __m128i LaneMask(int mask) {
    return _mm_setr_epi32(mask & 1 ? -1 : 0, mask & 2 ? -1 : 0, mask & 4 ? -1 : 0, mask & 8 ? -1 : 0);
}

inline __m128i Load(const int16_t* lanes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes)); }

}  // namespace

// FastLog2 on four lanes.
inline __m128 FastLog2x4(__m128 x) {
    __m128i bits = _mm_castps_si128(x);
    __m128 exponent = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF)),
                                                    _mm_set1_epi32(127)));
    __m128i mantissa = _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000));
    __m128 t = _mm_sub_ps(_mm_castsi128_ps(mantissa), _mm_set1_ps(1.0f));
    __m128 log = _mm_add_ps(exponent,
                            _mm_mul_ps(t, _mm_sub_ps(_mm_set1_ps(1.3465743f), _mm_mul_ps(_mm_set1_ps(0.3465743f), t))));
    __m128 positive = _mm_cmpgt_ps(x, _mm_setzero_ps());
    return _mm_or_ps(_mm_and_ps(positive, log), _mm_andnot_ps(positive, _mm_set1_ps(-128.0f)));
}

// Four pixels side by side: interpolation, perspective, level of detail (one per pixel pair,
// as texture units share it), sampling and the stage on SSE2 lanes; the depth and alpha tests,
// blending and the stores per pixel. What depends only on the triangle is set up once for all
// its rows.
void PixelPipeline::ShadeSpansFast(const SpanSetup& s, const Span* spans, int count) {
    const Stage& stage = stages_[0];
    const Sampler* sampler = stage.sampler.get();
    const int set = kTexCoord + 2 * stage.texCoordSet;
    const float* uPlane = s.varying[set];
    const float* vPlane = s.varying[set + 1];
    const bool lod = sampler && sampler->NeedsLod();
    const float texWidth = sampler ? sampler->Width() : 0.0f, texHeight = sampler ? sampler->Height() : 0.0f;
    const uint32_t opaque = target_->Format() == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
    // Only the alpha test and blending look at the diffuse alpha once the target drops it.
    const int diffuseChannels = (opaque && !alphaTest_ && fastBlend_ == FastBlend::None) ? 3 : 4;
    const bool storeGroups = !alphaTest_ && fastBlend_ == FastBlend::None;
    const bool lessEqual = depthFunc_ == D3DCMP_LESSEQUAL;
    const __m128i fromTexture = Load(sourceMasks_[0]), fromDiffuse = Load(sourceMasks_[1]);
    const __m128i fromProduct = Load(sourceMasks_[2]);
    const __m128 zStep = _mm_set1_ps(s.z[1]), qStep = _mm_set1_ps(s.q[1]);
    const __m128 uStep = _mm_set1_ps(uPlane[1]), vStep = _mm_set1_ps(vPlane[1]);
    __m128 diffuseStep[4];
    for (int c = 0; c < 4; ++c) diffuseStep[c] = _mm_set1_ps(s.varying[kDiffuse + c][1]);
    const __m128 lanes = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
    const __m128i zero = _mm_setzero_si128();
    // Groups that end by this column may read and write four pixels at once.
    const int rowEnd = int(depth_ ? std::min(target_->Width(), depth_->Width()) : target_->Width());

    // A triangle's rows lie in as many cache lines per buffer; asking for them all at once
    // overlaps their fetches instead of waiting for each row in turn.
    for (const Span* span = spans; span != spans + count; ++span) {
        const uint8_t* pixels = target_->Row(UINT(span->y));
        _mm_prefetch(reinterpret_cast<const char*>(pixels + 4 * span->x0), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(pixels + 4 * (span->x1 - 1)), _MM_HINT_T0);
        if (depth_) {
            const float* depths = depth_->DepthRow(UINT(span->y));
            _mm_prefetch(reinterpret_cast<const char*>(depths + span->x0), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(depths + span->x1 - 1), _MM_HINT_T0);
        }
    }
    for (const Span* span = spans; span != spans + count; ++span) {
        const int y = span->y, x0 = span->x0, x1 = span->x1;
        uint32_t* row = reinterpret_cast<uint32_t*>(target_->Row(UINT(y)));
        float* depthRow = depth_ ? depth_->DepthRow(UINT(y)) : nullptr;
        const float dy = float(y - s.refY);
        const __m128 zRow = _mm_set1_ps(s.z[0] + s.z[2] * dy), qRow = _mm_set1_ps(s.q[0] + s.q[2] * dy);
        __m128 diffuseRow[4];
        for (int c = 0; c < 4; ++c)
            diffuseRow[c] = _mm_set1_ps(s.varying[kDiffuse + c][0] + s.varying[kDiffuse + c][2] * dy);
        const __m128 uRow = _mm_set1_ps(uPlane[0] + uPlane[2] * dy), vRow = _mm_set1_ps(vPlane[0] + vPlane[2] * dy);
        // Column offsets are small integers, so stepping them by 4 stays exact.
        __m128 dx = _mm_add_ps(_mm_set1_ps(float(x0 - s.refX)), lanes);

        for (int x = x0; x < x1; x += 4, dx = _mm_add_ps(dx, _mm_set1_ps(4.0f))) {
            int live = (1 << std::min(4, x1 - x)) - 1;
            const bool whole = x + 4 <= rowEnd;
            __m128 depth = _mm_add_ps(zRow, _mm_mul_ps(zStep, dx));
            if (depthTest_) {
                if (whole && lessEqual) {
                    live &= _mm_movemask_ps(_mm_cmple_ps(depth, _mm_loadu_ps(depthRow + x)));
                } else {
                    alignas(16) float z[4];
                    _mm_store_ps(z, depth);
                    for (int l = 0; l < 4; ++l)
                        if ((live & (1 << l)) && !Compare(depthFunc_, z[l], depthRow[x + l])) live &= ~(1 << l);
                }
                if (!live) continue;
            }
            __m128 q = _mm_add_ps(qRow, _mm_mul_ps(qStep, dx));
            __m128 w = _mm_and_ps(_mm_div_ps(_mm_set1_ps(1.0f), q), _mm_cmpneq_ps(q, _mm_setzero_ps()));

            __m128i channel[4] = {};
            for (int c = 0; c < diffuseChannels; ++c) {
                __m128 value = _mm_mul_ps(_mm_add_ps(diffuseRow[c], _mm_mul_ps(diffuseStep[c], dx)), w);
                value = _mm_min_ps(_mm_max_ps(value, _mm_setzero_ps()), _mm_set1_ps(1.0f));
                channel[c] = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(value, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
            }
            __m128i diffuse = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(channel[3], 24), _mm_slli_epi32(channel[0], 16)),
                                           _mm_or_si128(_mm_slli_epi32(channel[1], 8), channel[2]));

            __m128i texels = _mm_set1_epi32(-1);
            if (sampler) {
                __m128 u = _mm_mul_ps(_mm_add_ps(uRow, _mm_mul_ps(uStep, dx)), w);
                __m128 v = _mm_mul_ps(_mm_add_ps(vRow, _mm_mul_ps(vStep, dx)), w);
                __m128 level = _mm_setzero_ps();
                if (lod) {
                    // For u = U / q: du/dx = (dU/dx - u * dq/dx) / q, and likewise along y.
                    __m128 dqx = _mm_set1_ps(s.q[1]), dqy = _mm_set1_ps(s.q[2]);
                    __m128 dudx = _mm_mul_ps(_mm_sub_ps(uStep, _mm_mul_ps(u, dqx)), w);
                    __m128 dvdx = _mm_mul_ps(_mm_sub_ps(vStep, _mm_mul_ps(v, dqx)), w);
                    __m128 dudy = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(uPlane[2]), _mm_mul_ps(u, dqy)), w);
                    __m128 dvdy = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(vPlane[2]), _mm_mul_ps(v, dqy)), w);
                    __m128 sw = _mm_set1_ps(texWidth), sh = _mm_set1_ps(texHeight);
                    __m128 ux = _mm_mul_ps(dudx, sw), vx = _mm_mul_ps(dvdx, sh), uy = _mm_mul_ps(dudy, sw), vy = _mm_mul_ps(dvdy, sh);
                    __m128 rx = _mm_add_ps(_mm_mul_ps(ux, ux), _mm_mul_ps(vx, vx));
                    __m128 ry = _mm_add_ps(_mm_mul_ps(uy, uy), _mm_mul_ps(vy, vy));
                    level = _mm_mul_ps(_mm_set1_ps(0.5f), FastLog2x4(_mm_max_ps(rx, ry)));
                }
                texels = sampler->Sample4(u, v, level, live);
            }
            __m128i combined[2];
            for (int half = 0; half < 2; ++half) {
                __m128i t = half ? _mm_unpackhi_epi8(texels, zero) : _mm_unpacklo_epi8(texels, zero);
                __m128i d = half ? _mm_unpackhi_epi8(diffuse, zero) : _mm_unpacklo_epi8(diffuse, zero);
                combined[half] = _mm_or_si128(_mm_or_si128(_mm_and_si128(t, fromTexture), _mm_and_si128(d, fromDiffuse)),
                                              _mm_and_si128(Mul255Lanes(t, d), fromProduct));
            }
            __m128i result = _mm_packus_epi16(combined[0], combined[1]);
            if (whole && storeGroups) {
                // Whole groups inside the row are written back four at a time, keeping the
                // pixels of lanes that are not drawn.
                __m128i keep = LaneMask(live ^ 0xF);
                __m128i* target = reinterpret_cast<__m128i*>(row + x);
                __m128i drawn = _mm_or_si128(result, _mm_set1_epi32(int(opaque)));
                _mm_storeu_si128(target, _mm_or_si128(_mm_andnot_si128(keep, drawn), _mm_and_si128(keep, _mm_loadu_si128(target))));
                if (depthWrite_) {
                    __m128 old = _mm_loadu_ps(depthRow + x);
                    __m128 keepDepth = _mm_castsi128_ps(keep);
                    _mm_storeu_ps(depthRow + x, _mm_or_ps(_mm_andnot_ps(keepDepth, depth), _mm_and_ps(keepDepth, old)));
                }
                continue;
            }
            alignas(16) uint32_t colour[4];
            alignas(16) float z[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(colour), result);
            _mm_store_ps(z, depth);
            for (int l = 0; l < 4; ++l) {
                if (!(live & (1 << l))) continue;
                if (alphaTest_ && !Compare(alphaFunc_, float(colour[l] >> 24), float(alphaRef_))) continue;
                uint32_t value = fastBlend_ != FastBlend::None ? BlendFast(colour[l], row[x + l]) : colour[l];
                row[x + l] = value | opaque;
                if (depthWrite_) depthRow[x + l] = z[l];
            }
        }
    }
}

uint32_t PixelPipeline::BlendFast(uint32_t source, uint32_t old) const {
    uint32_t a = source >> 24;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        uint32_t c = (source >> shift) & 0xFF, o = (old >> shift) & 0xFF, value;
        switch (fastBlend_) {
        case FastBlend::Alpha: value = Mul255(c, a) + Mul255(o, 255 - a); break;
        case FastBlend::AlphaAdd: value = Mul255(c, a) + o; break;
        default: value = c + o; break;
        }
        out |= std::min(255u, value) << shift;
    }
    uint32_t oldAlpha = old >> 24;
    uint32_t alpha = fastBlend_ == FastBlend::Alpha      ? Mul255(a, a) + Mul255(oldAlpha, 255 - a)
                     : fastBlend_ == FastBlend::AlphaAdd ? std::min(255u, Mul255(a, a) + oldAlpha)
                                                         : std::min(255u, a + oldAlpha);
    return out | (alpha << 24);
}
}  // namespace d3d9sw
