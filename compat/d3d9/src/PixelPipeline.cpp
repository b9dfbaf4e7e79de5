#include "PixelPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "PixelFormat.h"

namespace d3d9sw {

namespace {

void ColourOf(DWORD argb, float out[4]) {
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = (argb >> 24) / 255.0f;
}

inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Through int: a direct float to unsigned conversion is a slow sequence on this target.
inline uint32_t ToByte(float v) { return uint32_t(int(Clamp01(v) * 255.0f + 0.5f)); }

// log2 to within 0.01, from the float's exponent and a quadratic over its mantissa that is
// exact at powers of two: enough to pick and blend mip levels, and much cheaper than the
// library call in the per-pixel loop.
inline float FastLog2(float x) {
    if (!(x > 0.0f)) return -128.0f;
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    float exponent = float(int((bits >> 23) & 0xFF) - 127);
    bits = (bits & 0x007FFFFFu) | 0x3F800000u;
    float t;
    std::memcpy(&t, &bits, 4);
    t -= 1.0f;
    return exponent + t * (1.3465743f - 0.3465743f * t);
}

bool Compare(DWORD func, float a, float b) {
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return a < b;
    case D3DCMP_EQUAL: return a == b;
    case D3DCMP_LESSEQUAL: return a <= b;
    case D3DCMP_GREATER: return a > b;
    case D3DCMP_NOTEQUAL: return a != b;
    case D3DCMP_GREATEREQUAL: return a >= b;
    default: return true;
    }
}

bool UsesTexture(DWORD op, const DWORD* args) {
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
    for (int i = 0; i < 3; ++i)
        if ((args[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    return false;
}

}  // namespace

PixelPipeline::PixelPipeline(const DeviceState& state, Surface* target, Surface* depth, FogInput fog, bool depthInW)
    : target_(target), depth_(depth), fogInput_(fog), depthInW_(depthInW) {
    const DWORD* rs = state.render;
    flat_ = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    depthTest_ = depth && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    depthWrite_ = depthTest_ && rs[D3DRS_ZWRITEENABLE];
    depthFunc_ = rs[D3DRS_ZFUNC];
    alphaTest_ = rs[D3DRS_ALPHATESTENABLE] != FALSE;
    alphaFunc_ = rs[D3DRS_ALPHAFUNC];
    alphaRef_ = rs[D3DRS_ALPHAREF] & 0xFF;
    blend_ = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    sourceBlend_ = rs[D3DRS_SRCBLEND];
    destBlend_ = rs[D3DRS_DESTBLEND];
    blendOp_ = rs[D3DRS_BLENDOP];
    writeMask_ = rs[D3DRS_COLORWRITEENABLE];
    D3DFORMAT format = target->Format();
    directWrite_ = !blend_ && writeMask_ == 0xF && (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8);
    specular_ = rs[D3DRS_SPECULARENABLE] != FALSE;
    fog_ = rs[D3DRS_FOGENABLE] != FALSE;
    fogMode_ = rs[D3DRS_FOGTABLEMODE];
    fogStart_ = state.RenderFloat(D3DRS_FOGSTART);
    fogEnd_ = state.RenderFloat(D3DRS_FOGEND);
    fogDensity_ = state.RenderFloat(D3DRS_FOGDENSITY);
    float fogColour[4];
    ColourOf(rs[D3DRS_FOGCOLOR], fogColour);
    std::memcpy(fogColour_, fogColour, sizeof fogColour_);
    ColourOf(rs[D3DRS_TEXTUREFACTOR], textureFactor_);
    SetupStages(state);
    ChooseFastPath();
    varyingMask_ = (1u << varyingCount_) - 1;
    if (fast_) {
        // The fast path reads the diffuse colour and the stage's coordinates only.
        varyingMask_ = 0xFu << kDiffuse;
        if (stages_[0].sampler) varyingMask_ |= 3u << (kTexCoord + 2 * stages_[0].texCoordSet);
    }
}

namespace {

// The source a stage operation on texture and diffuse amounts to, or false for other forms.
bool FastSourceOf(DWORD op, DWORD arg1, DWORD arg2, bool colour, uint8_t& out) {
    enum { kTexture, kDiffuse, kModulate };
    auto plain = [](DWORD arg) { return arg == D3DTA_TEXTURE || arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
    auto source = [](DWORD arg) { return arg == D3DTA_TEXTURE ? kTexture : kDiffuse; };
    switch (op) {
    case D3DTOP_SELECTARG1: if (!plain(arg1)) return false; out = uint8_t(source(arg1)); return true;
    case D3DTOP_SELECTARG2: if (!plain(arg2)) return false; out = uint8_t(source(arg2)); return true;
    case D3DTOP_MODULATE:
        if (!plain(arg1) || !plain(arg2) || source(arg1) == source(arg2)) return false;
        out = kModulate;
        return true;
    case D3DTOP_DISABLE:
        if (colour) return false;
        out = kDiffuse;  // alpha passes the current (diffuse) alpha through
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
    fastColour_ = FastSource(colour);
    fastAlpha_ = FastSource(alpha);
    fast_ = true;
}

void PixelPipeline::SetupStages(const DeviceState& state) {
    for (int s = 0; s < kStages; ++s) {
        const DWORD* st = state.stage[s];
        if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        Stage stage;
        stage.colourOp = st[D3DTSS_COLOROP];
        stage.alphaOp = st[D3DTSS_ALPHAOP];
        stage.colourArg[0] = st[D3DTSS_COLORARG0];
        stage.colourArg[1] = st[D3DTSS_COLORARG1];
        stage.colourArg[2] = st[D3DTSS_COLORARG2];
        stage.alphaArg[0] = st[D3DTSS_ALPHAARG0];
        stage.alphaArg[1] = st[D3DTSS_ALPHAARG1];
        stage.alphaArg[2] = st[D3DTSS_ALPHAARG2];
        stage.result = st[D3DTSS_RESULTARG];
        stage.texCoordSet = int(st[D3DTSS_TEXCOORDINDEX] & 0xFFFF) % kTexSets;
        ColourOf(st[D3DTSS_CONSTANT], stage.constant);
        bool reads = UsesTexture(stage.colourOp, stage.colourArg) || UsesTexture(stage.alphaOp, stage.alphaArg);
        if (reads && state.textures[s]) {
            stage.sampler = std::make_unique<Sampler>(state.textures[s], state.sampler[s]);
            varyingCount_ = std::max(varyingCount_, kTexCoord + 2 * stage.texCoordSet + 2);
        }
        stages_.push_back(std::move(stage));
    }
}

bool PixelPipeline::AlphaPasses(float alpha) const {
    float a = float(ToByte(alpha)), ref = float(alphaRef_);
    return Compare(alphaFunc_, a, ref);
}

float PixelPipeline::FogFactor(float value, float w, float z) const {
    if (fogInput_ == FogInput::Factor) return Clamp01(value);
    float d = fogInput_ == FogInput::Distance ? value : (depthInW_ ? w : z);
    switch (fogMode_) {
    case D3DFOG_LINEAR: return fogEnd_ != fogStart_ ? Clamp01((fogEnd_ - d) / (fogEnd_ - fogStart_)) : 1.0f;
    case D3DFOG_EXP: return Clamp01(std::exp(-d * fogDensity_));
    case D3DFOG_EXP2: return Clamp01(std::exp(-(d * fogDensity_) * (d * fogDensity_)));
    default: return 1.0f;
    }
}

namespace {

struct Arguments {
    const float* diffuse;
    const float* specular;
    const float* current;
    const float* texel;
    const float* factor;
    const float* temp;
    const float* constant;
};

// The argument's colour, copied into scratch only when a modifier changes it.
const float* Fetch(DWORD arg, const Arguments& in, float* scratch) {
    const float* from;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: from = in.diffuse; break;
    case D3DTA_TEXTURE: from = in.texel; break;
    case D3DTA_TFACTOR: from = in.factor; break;
    case D3DTA_SPECULAR: from = in.specular; break;
    case D3DTA_TEMP: from = in.temp; break;
    case D3DTA_CONSTANT: from = in.constant; break;
    default: from = in.current; break;
    }
    if (!(arg & (D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT))) return from;
    for (int c = 0; c < 4; ++c) scratch[c] = (arg & D3DTA_ALPHAREPLICATE) ? from[3] : from[c];
    if (arg & D3DTA_COMPLEMENT)
        for (int c = 0; c < 4; ++c) scratch[c] = 1.0f - scratch[c];
    return scratch;
}

// One texture-stage operation on channels [first, last).
void Operate(DWORD op, const float* a0, const float* a1, const float* a2, const Arguments& in, int first, int last,
             float* out) {
    float blend = 0.0f;
    switch (op) {
    case D3DTOP_SELECTARG1: for (int c = first; c < last; ++c) out[c] = a1[c]; return;
    case D3DTOP_SELECTARG2: for (int c = first; c < last; ++c) out[c] = a2[c]; return;
    case D3DTOP_MODULATE: for (int c = first; c < last; ++c) out[c] = a1[c] * a2[c]; return;
    case D3DTOP_MODULATE2X: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] * a2[c] * 2.0f); return;
    case D3DTOP_MODULATE4X: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] * a2[c] * 4.0f); return;
    case D3DTOP_ADD: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] + a2[c]); return;
    case D3DTOP_ADDSIGNED: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] + a2[c] - 0.5f); return;
    case D3DTOP_ADDSIGNED2X:
        for (int c = first; c < last; ++c) out[c] = Clamp01((a1[c] + a2[c] - 0.5f) * 2.0f);
        return;
    case D3DTOP_SUBTRACT: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] - a2[c]); return;
    case D3DTOP_ADDSMOOTH: for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] + a2[c] - a1[c] * a2[c]); return;
    case D3DTOP_BLENDDIFFUSEALPHA: blend = in.diffuse[3]; break;
    case D3DTOP_BLENDTEXTUREALPHA: blend = in.texel[3]; break;
    case D3DTOP_BLENDFACTORALPHA: blend = in.factor[3]; break;
    case D3DTOP_BLENDCURRENTALPHA: blend = in.current[3]; break;
    case D3DTOP_BLENDTEXTUREALPHAPM:
        for (int c = first; c < last; ++c) out[c] = Clamp01(a1[c] + a2[c] * (1.0f - in.texel[3]));
        return;
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        for (int c = first; c < last; ++c) out[c] = c < 3 ? Clamp01(a1[c] + a1[3] * a2[c]) : a1[c];
        return;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        for (int c = first; c < last; ++c) out[c] = c < 3 ? Clamp01(a1[c] * a2[c] + a1[3]) : a1[c];
        return;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        for (int c = first; c < last; ++c) out[c] = c < 3 ? Clamp01((1.0f - a1[3]) * a2[c] + a1[c]) : a1[c];
        return;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        for (int c = first; c < last; ++c) out[c] = c < 3 ? Clamp01((1.0f - a1[c]) * a2[c] + a1[3]) : a1[c];
        return;
    case D3DTOP_DOTPRODUCT3: {
        float d = 0.0f;
        for (int k = 0; k < 3; ++k) d += (a1[k] - 0.5f) * (a2[k] - 0.5f);
        for (int c = first; c < last; ++c) out[c] = Clamp01(4.0f * d);
        return;
    }
    case D3DTOP_MULTIPLYADD: for (int c = first; c < last; ++c) out[c] = Clamp01(a0[c] + a1[c] * a2[c]); return;
    case D3DTOP_LERP: for (int c = first; c < last; ++c) out[c] = a0[c] * a1[c] + (1.0f - a0[c]) * a2[c]; return;
    default: for (int c = first; c < last; ++c) out[c] = in.current[c]; return;
    }
    for (int c = first; c < last; ++c) out[c] = a1[c] * blend + a2[c] * (1.0f - blend);
}

}  // namespace

void PixelPipeline::Combine(const float* diffuse, const float* specular, const float (*texel)[4],
                            float* colour) const {
    static const float kWhite[4] = {1, 1, 1, 1};
    float current[4], temp[4] = {0, 0, 0, 0};
    std::memcpy(current, diffuse, sizeof current);
    for (size_t s = 0; s < stages_.size(); ++s) {
        const Stage& stage = stages_[s];
        Arguments in{diffuse, specular, current, stage.sampler ? texel[s] : kWhite, textureFactor_, temp,
                     stage.constant};
        float result[4];
        std::memcpy(result, current, sizeof result);
        float s0[4], s1[4], s2[4];
        Operate(stage.colourOp, Fetch(stage.colourArg[0], in, s0), Fetch(stage.colourArg[1], in, s1),
                Fetch(stage.colourArg[2], in, s2), in, 0, 3, result);
        if (stage.alphaOp != D3DTOP_DISABLE)
            Operate(stage.alphaOp, Fetch(stage.alphaArg[0], in, s0), Fetch(stage.alphaArg[1], in, s1),
                    Fetch(stage.alphaArg[2], in, s2), in, 3, 4, result);
        if ((stage.result & D3DTA_SELECTMASK) == D3DTA_TEMP) std::memcpy(temp, result, sizeof temp);
        else std::memcpy(current, result, sizeof current);
    }
    std::memcpy(colour, current, sizeof current);
}

namespace {

void BlendFactor(DWORD factor, const float* src, const float* dst, float out[4]) {
    switch (factor) {
    case D3DBLEND_ZERO: out[0] = out[1] = out[2] = out[3] = 0.0f; return;
    case D3DBLEND_ONE: out[0] = out[1] = out[2] = out[3] = 1.0f; return;
    case D3DBLEND_SRCCOLOR: for (int c = 0; c < 4; ++c) out[c] = src[c]; return;
    case D3DBLEND_INVSRCCOLOR: for (int c = 0; c < 4; ++c) out[c] = 1.0f - src[c]; return;
    case D3DBLEND_SRCALPHA: out[0] = out[1] = out[2] = out[3] = src[3]; return;
    case D3DBLEND_INVSRCALPHA: out[0] = out[1] = out[2] = out[3] = 1.0f - src[3]; return;
    case D3DBLEND_DESTALPHA: out[0] = out[1] = out[2] = out[3] = dst[3]; return;
    case D3DBLEND_INVDESTALPHA: out[0] = out[1] = out[2] = out[3] = 1.0f - dst[3]; return;
    case D3DBLEND_DESTCOLOR: for (int c = 0; c < 4; ++c) out[c] = dst[c]; return;
    case D3DBLEND_INVDESTCOLOR: for (int c = 0; c < 4; ++c) out[c] = 1.0f - dst[c]; return;
    case D3DBLEND_SRCALPHASAT: {
        float f = std::min(src[3], 1.0f - dst[3]);
        out[0] = out[1] = out[2] = f;
        out[3] = 1.0f;
        return;
    }
    default: out[0] = out[1] = out[2] = out[3] = 1.0f; return;
    }
}

}  // namespace

void PixelPipeline::Blend(const float* source, uint8_t* pixel) const {
    D3DFORMAT format = target_->Format();
    if (directWrite_) {
        uint32_t value = (ToByte(source[3]) << 24) | (ToByte(source[0]) << 16) | (ToByte(source[1]) << 8) |
                         ToByte(source[2]);
        if (format == D3DFMT_X8R8G8B8) value |= 0xFF000000u;
        std::memcpy(pixel, &value, 4);
        return;
    }
    uint32_t old = DecodePixel(format, pixel);
    float result[4];
    if (blend_) {
        float dst[4], fs[4], fd[4];
        ColourOf(old, dst);
        BlendFactor(sourceBlend_, source, dst, fs);
        BlendFactor(destBlend_, source, dst, fd);
        for (int c = 0; c < 4; ++c) {
            float s = source[c] * fs[c], d = dst[c] * fd[c];
            switch (blendOp_) {
            case D3DBLENDOP_SUBTRACT: result[c] = s - d; break;
            case D3DBLENDOP_REVSUBTRACT: result[c] = d - s; break;
            case D3DBLENDOP_MIN: result[c] = std::min(source[c], dst[c]); break;
            case D3DBLENDOP_MAX: result[c] = std::max(source[c], dst[c]); break;
            default: result[c] = s + d; break;
            }
        }
    } else {
        std::memcpy(result, source, sizeof result);
    }
    uint32_t value = (ToByte(result[3]) << 24) | (ToByte(result[0]) << 16) | (ToByte(result[1]) << 8) | ToByte(result[2]);
    if (writeMask_ != 0xF) {
        uint32_t keep = 0;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_RED)) keep |= 0x00FF0000;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_GREEN)) keep |= 0x0000FF00;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_BLUE)) keep |= 0x000000FF;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_ALPHA)) keep |= 0xFF000000;
        value = (value & ~keep) | (old & keep);
    }
    EncodePixel(format, value, pixel);
}

// Level of detail needs the texture coordinates' screen derivatives: for u = U / q,
// du/dx = (dU/dx - u * dq/dx) / q.
float PixelPipeline::Lod(const Stage& stage, const SpanSetup& s, const float* v, float w) const {
    if (!stage.sampler->NeedsLod()) return 0.0f;
    int set = kTexCoord + 2 * stage.texCoordSet;
    float dudx = (s.varying[set][1] - v[set] * s.q[1]) * w, dvdx = (s.varying[set + 1][1] - v[set + 1] * s.q[1]) * w;
    float dudy = (s.varying[set][2] - v[set] * s.q[2]) * w, dvdy = (s.varying[set + 1][2] - v[set + 1] * s.q[2]) * w;
    float sw = stage.sampler->Width(), sh = stage.sampler->Height();
    float rx = (dudx * sw) * (dudx * sw) + (dvdx * sh) * (dvdx * sh);
    float ry = (dudy * sw) * (dudy * sw) + (dvdy * sh) * (dvdy * sh);
    return 0.5f * FastLog2(std::max(rx, ry));
}

namespace {

inline uint32_t Mul255(uint32_t a, uint32_t b) { return ((a * b + 128) * 257) >> 16; }


}  // namespace

namespace {

// round(a * b / 255) per 16-bit lane, for a, b in 0..255.
inline __m128i Mul255Lanes(__m128i a, __m128i b) {
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// All bits set in the lanes (b, g, r, a) of two pixels whose source is the given one.
__m128i SourceMask(uint8_t colour, uint8_t alpha, uint8_t source) {
    short c = colour == source ? -1 : 0, a = alpha == source ? -1 : 0;
    return _mm_setr_epi16(c, c, c, a, c, c, c, a);
}

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
// blending and the stores per pixel.
void PixelPipeline::ShadeSpanFast(int y, int x0, int x1, const SpanSetup& s) {
    uint32_t* row = reinterpret_cast<uint32_t*>(target_->Row(UINT(y)));
    float* depthRow = depth_ ? depth_->DepthRow(UINT(y)) : nullptr;
    const float dy = float(y - s.refY);
    const __m128 zRow = _mm_set1_ps(s.z[0] + s.z[2] * dy), zStep = _mm_set1_ps(s.z[1]);
    const __m128 qRow = _mm_set1_ps(s.q[0] + s.q[2] * dy), qStep = _mm_set1_ps(s.q[1]);
    __m128 diffuseRow[4], diffuseStep[4];
    for (int c = 0; c < 4; ++c) {
        diffuseRow[c] = _mm_set1_ps(s.varying[kDiffuse + c][0] + s.varying[kDiffuse + c][2] * dy);
        diffuseStep[c] = _mm_set1_ps(s.varying[kDiffuse + c][1]);
    }
    const Stage& stage = stages_[0];
    const Sampler* sampler = stage.sampler.get();
    const int set = kTexCoord + 2 * stage.texCoordSet;
    const float* uPlane = s.varying[set];
    const float* vPlane = s.varying[set + 1];
    const __m128 uRow = _mm_set1_ps(uPlane[0] + uPlane[2] * dy), vRow = _mm_set1_ps(vPlane[0] + vPlane[2] * dy);
    const float texWidth = sampler ? sampler->Width() : 0.0f, texHeight = sampler ? sampler->Height() : 0.0f;
    const uint32_t opaque = target_->Format() == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
    const uint8_t colourSource = uint8_t(fastColour_), alphaSource = uint8_t(fastAlpha_);
    const __m128i fromTexture = SourceMask(colourSource, alphaSource, uint8_t(FastSource::Texture));
    const __m128i fromDiffuse = SourceMask(colourSource, alphaSource, uint8_t(FastSource::Diffuse));
    const __m128i fromProduct = SourceMask(colourSource, alphaSource, uint8_t(FastSource::Modulate));
    const __m128i zero = _mm_setzero_si128();
    const __m128 lanes = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);

    for (int x = x0; x < x1; x += 4) {
        int live = (1 << std::min(4, x1 - x)) - 1;
        __m128 dx = _mm_add_ps(_mm_set1_ps(float(x - s.refX)), lanes);
        alignas(16) float z[4];
        __m128 depth = _mm_add_ps(zRow, _mm_mul_ps(zStep, dx));
        _mm_store_ps(z, depth);
        if (depthTest_) {
            if (live == 0xF && depthFunc_ == D3DCMP_LESSEQUAL) {
                live &= _mm_movemask_ps(_mm_cmple_ps(depth, _mm_loadu_ps(depthRow + x)));
            } else {
                for (int l = 0; l < 4; ++l)
                    if ((live & (1 << l)) && !Compare(depthFunc_, z[l], depthRow[x + l])) live &= ~(1 << l);
            }
            if (!live) continue;
        }
        __m128 q = _mm_add_ps(qRow, _mm_mul_ps(qStep, dx));
        __m128 w = _mm_and_ps(_mm_div_ps(_mm_set1_ps(1.0f), q), _mm_cmpneq_ps(q, _mm_setzero_ps()));

        __m128i channel[4];
        for (int c = 0; c < 4; ++c) {
            __m128 value = _mm_mul_ps(_mm_add_ps(diffuseRow[c], _mm_mul_ps(diffuseStep[c], dx)), w);
            value = _mm_min_ps(_mm_max_ps(value, _mm_setzero_ps()), _mm_set1_ps(1.0f));
            channel[c] = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(value, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
        }
        __m128i diffuse = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(channel[3], 24), _mm_slli_epi32(channel[0], 16)),
                                       _mm_or_si128(_mm_slli_epi32(channel[1], 8), channel[2]));

        alignas(16) uint32_t texel[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
        if (sampler) {
            __m128 u = _mm_mul_ps(_mm_add_ps(uRow, _mm_mul_ps(_mm_set1_ps(uPlane[1]), dx)), w);
            __m128 v = _mm_mul_ps(_mm_add_ps(vRow, _mm_mul_ps(_mm_set1_ps(vPlane[1]), dx)), w);
            alignas(16) float us[4], vs[4], lod[4] = {};
            if (sampler->NeedsLod()) {
                // For u = U / q: du/dx = (dU/dx - u * dq/dx) / q, and likewise along y.
                __m128 dqx = _mm_set1_ps(s.q[1]), dqy = _mm_set1_ps(s.q[2]);
                __m128 dudx = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(uPlane[1]), _mm_mul_ps(u, dqx)), w);
                __m128 dvdx = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(vPlane[1]), _mm_mul_ps(v, dqx)), w);
                __m128 dudy = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(uPlane[2]), _mm_mul_ps(u, dqy)), w);
                __m128 dvdy = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(vPlane[2]), _mm_mul_ps(v, dqy)), w);
                __m128 sw = _mm_set1_ps(texWidth), sh = _mm_set1_ps(texHeight);
                __m128 ux = _mm_mul_ps(dudx, sw), vx = _mm_mul_ps(dvdx, sh), uy = _mm_mul_ps(dudy, sw), vy = _mm_mul_ps(dvdy, sh);
                __m128 rx = _mm_add_ps(_mm_mul_ps(ux, ux), _mm_mul_ps(vx, vx));
                __m128 ry = _mm_add_ps(_mm_mul_ps(uy, uy), _mm_mul_ps(vy, vy));
                __m128 level = _mm_mul_ps(_mm_set1_ps(0.5f), FastLog2x4(_mm_max_ps(rx, ry)));
                _mm_store_ps(lod, _mm_shuffle_ps(level, level, _MM_SHUFFLE(2, 2, 0, 0)));
            }
            _mm_store_ps(us, u);
            _mm_store_ps(vs, v);
            sampler->Sample4(us, vs, lod, live, texel);
        }
        __m128i texels = _mm_load_si128(reinterpret_cast<const __m128i*>(texel));
        __m128i combined[2];
        for (int half = 0; half < 2; ++half) {
            __m128i t = half ? _mm_unpackhi_epi8(texels, zero) : _mm_unpacklo_epi8(texels, zero);
            __m128i d = half ? _mm_unpackhi_epi8(diffuse, zero) : _mm_unpacklo_epi8(diffuse, zero);
            combined[half] = _mm_or_si128(_mm_or_si128(_mm_and_si128(t, fromTexture), _mm_and_si128(d, fromDiffuse)),
                                          _mm_and_si128(Mul255Lanes(t, d), fromProduct));
        }
        __m128i result = _mm_packus_epi16(combined[0], combined[1]);
        if (live == 0xF && !alphaTest_ && fastBlend_ == FastBlend::None) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_or_si128(result, _mm_set1_epi32(int(opaque))));
            if (depthWrite_) _mm_storeu_ps(depthRow + x, depth);
            continue;
        }
        alignas(16) uint32_t colour[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(colour), result);
        for (int l = 0; l < 4; ++l) {
            if (!(live & (1 << l))) continue;
            if (alphaTest_ && !Compare(alphaFunc_, float(colour[l] >> 24), float(alphaRef_))) continue;
            uint32_t value = fastBlend_ != FastBlend::None ? BlendFast(colour[l], row[x + l]) : colour[l];
            row[x + l] = value | opaque;
            if (depthWrite_) depthRow[x + l] = z[l];
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

void PixelPipeline::ShadeSpan(int y, int x0, int x1, const SpanSetup& s) {
    if (fast_) {
        ShadeSpanFast(y, x0, x1, s);
        return;
    }
    uint8_t* row = target_->Row(UINT(y));
    unsigned bytes = ColourBytes(target_->Format());
    float* depthRow = depth_ ? depth_->DepthRow(UINT(y)) : nullptr;
    float dy = float(y - s.refY);
    float zRow = s.z[0] + s.z[2] * dy, qRow = s.q[0] + s.q[2] * dy;
    float vRow[kVaryings];
    for (int i = 0; i < varyingCount_; ++i) vRow[i] = s.varying[i][0] + s.varying[i][2] * dy;

    for (int x = x0; x < x1; ++x) {
        float dx = float(x - s.refX);
        float z = zRow + s.z[1] * dx;
        if (depthTest_) {
            if (!Compare(depthFunc_, z, depthRow[x])) continue;
        }
        float q = qRow + s.q[1] * dx;
        float w = q != 0.0f ? 1.0f / q : 0.0f;
        float v[kVaryings];
        for (int i = 0; i < varyingCount_; ++i) v[i] = (vRow[i] + s.varying[i][1] * dx) * w;

        float texel[kStages][4];
        for (size_t st = 0; st < stages_.size(); ++st) {
            const Stage& stage = stages_[st];
            if (!stage.sampler) continue;
            int set = kTexCoord + 2 * stage.texCoordSet;
            ColourOf(stage.sampler->Sample(v[set], v[set + 1], Lod(stage, s, v, w)), texel[st]);
        }
        float colour[4];
        Combine(v + kDiffuse, v + kSpecular, texel, colour);
        if (specular_)
            for (int c = 0; c < 3; ++c) colour[c] = Clamp01(colour[c] + v[kSpecular + c]);
        if (alphaTest_ && !AlphaPasses(colour[3])) continue;
        if (fog_) {
            float f = FogFactor(v[kFogValue], w, z);
            for (int c = 0; c < 3; ++c) colour[c] = f * colour[c] + (1.0f - f) * fogColour_[c];
        }
        Blend(colour, row + size_t(x) * bytes);
        if (depthWrite_) depthRow[x] = z;
    }
}

}  // namespace d3d9sw
