#include "PixelPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PixelFormat.h"
#include "PixelMath.h"

namespace d3d9sw {

using namespace pixel;

namespace {

bool UsesTexture(DWORD op, const DWORD* args)
{
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM)
        return true;
    for (int i = 0; i < 3; ++i)
        if ((args[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE)
            return true;
    return false;
}

} // namespace

PixelPipeline::PixelPipeline(const DeviceState& state, Surface* target, Surface* depth, FogInput fog, bool depthInW,
                             bool fastPaths)
    : target_(target), depth_(depth), fastPaths_(fastPaths), fogInput_(fog), depthInW_(depthInW)
{
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
        varyingMask_ = (fastDiffuseAlpha_ ? 0xFu : 0x7u) << kDiffuse;
        if (stages_[0].sampler)
            varyingMask_ |= 3u << (kTexCoord + 2 * stages_[0].texCoordSet);
    }
}

void PixelPipeline::SetupStages(const DeviceState& state)
{
    for (int s = 0; s < kStages; ++s) {
        const DWORD* st = state.stage[s];
        if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
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

bool PixelPipeline::AlphaPasses(float alpha) const
{
    float a = float(ToByte(alpha)), ref = float(alphaRef_);
    return Compare(alphaFunc_, a, ref);
}

float PixelPipeline::FogFactor(float value, float w, float z) const
{
    if (fogInput_ == FogInput::Factor)
        return Clamp01(value);
    float d = fogInput_ == FogInput::Distance ? value : (depthInW_ ? w : z);
    switch (fogMode_) {
    case D3DFOG_LINEAR:
        return fogEnd_ != fogStart_ ? Clamp01((fogEnd_ - d) / (fogEnd_ - fogStart_)) : 1.0f;
    case D3DFOG_EXP:
        return Clamp01(std::exp(-d * fogDensity_));
    case D3DFOG_EXP2:
        return Clamp01(std::exp(-(d * fogDensity_) * (d * fogDensity_)));
    default:
        return 1.0f;
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
const float* Fetch(DWORD arg, const Arguments& in, float* scratch)
{
    const float* from;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        from = in.diffuse;
        break;
    case D3DTA_TEXTURE:
        from = in.texel;
        break;
    case D3DTA_TFACTOR:
        from = in.factor;
        break;
    case D3DTA_SPECULAR:
        from = in.specular;
        break;
    case D3DTA_TEMP:
        from = in.temp;
        break;
    case D3DTA_CONSTANT:
        from = in.constant;
        break;
    default:
        from = in.current;
        break;
    }
    if (!(arg & (D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT)))
        return from;
    for (int c = 0; c < 4; ++c)
        scratch[c] = (arg & D3DTA_ALPHAREPLICATE) ? from[3] : from[c];
    if (arg & D3DTA_COMPLEMENT)
        for (int c = 0; c < 4; ++c)
            scratch[c] = 1.0f - scratch[c];
    return scratch;
}

// One texture-stage operation on channels [first, last).
void Operate(DWORD op, const float* a0, const float* a1, const float* a2, const Arguments& in, int first, int last,
             float* out)
{
    float blend = 0.0f;
    switch (op) {
    case D3DTOP_SELECTARG1:
        for (int c = first; c < last; ++c)
            out[c] = a1[c];
        return;
    case D3DTOP_SELECTARG2:
        for (int c = first; c < last; ++c)
            out[c] = a2[c];
        return;
    case D3DTOP_MODULATE:
        for (int c = first; c < last; ++c)
            out[c] = a1[c] * a2[c];
        return;
    case D3DTOP_MODULATE2X:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] * a2[c] * 2.0f);
        return;
    case D3DTOP_MODULATE4X:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] * a2[c] * 4.0f);
        return;
    case D3DTOP_ADD:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] + a2[c]);
        return;
    case D3DTOP_ADDSIGNED:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] + a2[c] - 0.5f);
        return;
    case D3DTOP_ADDSIGNED2X:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01((a1[c] + a2[c] - 0.5f) * 2.0f);
        return;
    case D3DTOP_SUBTRACT:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] - a2[c]);
        return;
    case D3DTOP_ADDSMOOTH:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] + a2[c] - a1[c] * a2[c]);
        return;
    case D3DTOP_BLENDDIFFUSEALPHA:
        blend = in.diffuse[3];
        break;
    case D3DTOP_BLENDTEXTUREALPHA:
        blend = in.texel[3];
        break;
    case D3DTOP_BLENDFACTORALPHA:
        blend = in.factor[3];
        break;
    case D3DTOP_BLENDCURRENTALPHA:
        blend = in.current[3];
        break;
    case D3DTOP_BLENDTEXTUREALPHAPM:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a1[c] + a2[c] * (1.0f - in.texel[3]));
        return;
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        for (int c = first; c < last; ++c)
            out[c] = c < 3 ? Clamp01(a1[c] + a1[3] * a2[c]) : a1[c];
        return;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        for (int c = first; c < last; ++c)
            out[c] = c < 3 ? Clamp01(a1[c] * a2[c] + a1[3]) : a1[c];
        return;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        for (int c = first; c < last; ++c)
            out[c] = c < 3 ? Clamp01((1.0f - a1[3]) * a2[c] + a1[c]) : a1[c];
        return;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        for (int c = first; c < last; ++c)
            out[c] = c < 3 ? Clamp01((1.0f - a1[c]) * a2[c] + a1[3]) : a1[c];
        return;
    case D3DTOP_DOTPRODUCT3: {
        float d = 0.0f;
        for (int k = 0; k < 3; ++k)
            d += (a1[k] - 0.5f) * (a2[k] - 0.5f);
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(4.0f * d);
        return;
    }
    case D3DTOP_MULTIPLYADD:
        for (int c = first; c < last; ++c)
            out[c] = Clamp01(a0[c] + a1[c] * a2[c]);
        return;
    case D3DTOP_LERP:
        for (int c = first; c < last; ++c)
            out[c] = a0[c] * a1[c] + (1.0f - a0[c]) * a2[c];
        return;
    default:
        for (int c = first; c < last; ++c)
            out[c] = in.current[c];
        return;
    }
    for (int c = first; c < last; ++c)
        out[c] = a1[c] * blend + a2[c] * (1.0f - blend);
}

} // namespace

void PixelPipeline::Combine(const float* diffuse, const float* specular, const float (*texel)[4], float* colour) const
{
    static const float kWhite[4] = {1, 1, 1, 1};
    float current[4], temp[4] = {0, 0, 0, 0};
    std::memcpy(current, diffuse, sizeof current);
    for (size_t s = 0; s < stages_.size(); ++s) {
        const Stage& stage = stages_[s];
        Arguments in{diffuse,        specular, current,       stage.sampler ? texel[s] : kWhite,
                     textureFactor_, temp,     stage.constant};
        float result[4];
        std::memcpy(result, current, sizeof result);
        float s0[4], s1[4], s2[4];
        Operate(stage.colourOp, Fetch(stage.colourArg[0], in, s0), Fetch(stage.colourArg[1], in, s1),
                Fetch(stage.colourArg[2], in, s2), in, 0, 3, result);
        if (stage.alphaOp != D3DTOP_DISABLE)
            Operate(stage.alphaOp, Fetch(stage.alphaArg[0], in, s0), Fetch(stage.alphaArg[1], in, s1),
                    Fetch(stage.alphaArg[2], in, s2), in, 3, 4, result);
        if ((stage.result & D3DTA_SELECTMASK) == D3DTA_TEMP)
            std::memcpy(temp, result, sizeof temp);
        else
            std::memcpy(current, result, sizeof current);
    }
    std::memcpy(colour, current, sizeof current);
}

namespace {

void BlendFactor(DWORD factor, const float* src, const float* dst, float out[4])
{
    switch (factor) {
    case D3DBLEND_ZERO:
        out[0] = out[1] = out[2] = out[3] = 0.0f;
        return;
    case D3DBLEND_ONE:
        out[0] = out[1] = out[2] = out[3] = 1.0f;
        return;
    case D3DBLEND_SRCCOLOR:
        for (int c = 0; c < 4; ++c)
            out[c] = src[c];
        return;
    case D3DBLEND_INVSRCCOLOR:
        for (int c = 0; c < 4; ++c)
            out[c] = 1.0f - src[c];
        return;
    case D3DBLEND_SRCALPHA:
        out[0] = out[1] = out[2] = out[3] = src[3];
        return;
    case D3DBLEND_INVSRCALPHA:
        out[0] = out[1] = out[2] = out[3] = 1.0f - src[3];
        return;
    case D3DBLEND_DESTALPHA:
        out[0] = out[1] = out[2] = out[3] = dst[3];
        return;
    case D3DBLEND_INVDESTALPHA:
        out[0] = out[1] = out[2] = out[3] = 1.0f - dst[3];
        return;
    case D3DBLEND_DESTCOLOR:
        for (int c = 0; c < 4; ++c)
            out[c] = dst[c];
        return;
    case D3DBLEND_INVDESTCOLOR:
        for (int c = 0; c < 4; ++c)
            out[c] = 1.0f - dst[c];
        return;
    case D3DBLEND_SRCALPHASAT: {
        float f = std::min(src[3], 1.0f - dst[3]);
        out[0] = out[1] = out[2] = f;
        out[3] = 1.0f;
        return;
    }
    default:
        out[0] = out[1] = out[2] = out[3] = 1.0f;
        return;
    }
}

} // namespace

void PixelPipeline::Blend(const float* source, uint8_t* pixel) const
{
    D3DFORMAT format = target_->Format();
    if (directWrite_) {
        uint32_t value =
            (ToByte(source[3]) << 24) | (ToByte(source[0]) << 16) | (ToByte(source[1]) << 8) | ToByte(source[2]);
        if (format == D3DFMT_X8R8G8B8)
            value |= 0xFF000000u;
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
            case D3DBLENDOP_SUBTRACT:
                result[c] = s - d;
                break;
            case D3DBLENDOP_REVSUBTRACT:
                result[c] = d - s;
                break;
            case D3DBLENDOP_MIN:
                result[c] = std::min(source[c], dst[c]);
                break;
            case D3DBLENDOP_MAX:
                result[c] = std::max(source[c], dst[c]);
                break;
            default:
                result[c] = s + d;
                break;
            }
        }
    } else {
        std::memcpy(result, source, sizeof result);
    }
    uint32_t value =
        (ToByte(result[3]) << 24) | (ToByte(result[0]) << 16) | (ToByte(result[1]) << 8) | ToByte(result[2]);
    if (writeMask_ != 0xF) {
        uint32_t keep = 0;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_RED))
            keep |= 0x00FF0000;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_GREEN))
            keep |= 0x0000FF00;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_BLUE))
            keep |= 0x000000FF;
        if (!(writeMask_ & D3DCOLORWRITEENABLE_ALPHA))
            keep |= 0xFF000000;
        value = (value & ~keep) | (old & keep);
    }
    EncodePixel(format, value, pixel);
}

// Level of detail needs the texture coordinates' screen derivatives: for u = U / q,
// du/dx = (dU/dx - u * dq/dx) / q.
float PixelPipeline::Lod(const Stage& stage, const SpanSetup& s, const float* v, float w) const
{
    if (!stage.sampler->NeedsLod())
        return 0.0f;
    int set = kTexCoord + 2 * stage.texCoordSet;
    float dudx = (s.varying[set][1] - v[set] * s.q[1]) * w, dvdx = (s.varying[set + 1][1] - v[set + 1] * s.q[1]) * w;
    float dudy = (s.varying[set][2] - v[set] * s.q[2]) * w, dvdy = (s.varying[set + 1][2] - v[set + 1] * s.q[2]) * w;
    float sw = stage.sampler->Width(), sh = stage.sampler->Height();
    float rx = (dudx * sw) * (dudx * sw) + (dvdx * sh) * (dvdx * sh);
    float ry = (dudy * sw) * (dudy * sw) + (dvdy * sh) * (dvdy * sh);
    return 0.5f * FastLog2(std::max(rx, ry));
}

void PixelPipeline::ShadeSpans(const SpanSetup& setup, const Span* spans, int count) const
{
    if (fast_) {
        ShadeSpansFast(setup, spans, count);
        return;
    }
    for (int i = 0; i < count; ++i)
        ShadeSpan(spans[i].y, spans[i].x0, spans[i].x1, setup);
}

void PixelPipeline::ShadeSpan(int y, int x0, int x1, const SpanSetup& s) const
{
    uint8_t* row = target_->Row(UINT(y));
    unsigned bytes = ColourBytes(target_->Format());
    float* depthRow = depth_ ? depth_->DepthRow(UINT(y)) : nullptr;
    float dy = float(y - s.refY);
    float zRow = s.z[0] + s.z[2] * dy, qRow = s.q[0] + s.q[2] * dy;
    float vRow[kVaryings];
    for (int i = 0; i < varyingCount_; ++i)
        vRow[i] = s.varying[i][0] + s.varying[i][2] * dy;

    for (int x = x0; x < x1; ++x) {
        float dx = float(x - s.refX);
        float z = zRow + s.z[1] * dx;
        if (depthTest_) {
            if (!Compare(depthFunc_, z, depthRow[x]))
                continue;
        }
        float q = qRow + s.q[1] * dx;
        float w = q != 0.0f ? 1.0f / q : 0.0f;
        float v[kVaryings];
        for (int i = 0; i < varyingCount_; ++i)
            v[i] = (vRow[i] + s.varying[i][1] * dx) * w;

        float texel[kStages][4];
        for (size_t st = 0; st < stages_.size(); ++st) {
            const Stage& stage = stages_[st];
            if (!stage.sampler)
                continue;
            int set = kTexCoord + 2 * stage.texCoordSet;
            ColourOf(stage.sampler->Sample(v[set], v[set + 1], Lod(stage, s, v, w)), texel[st]);
        }
        float colour[4];
        Combine(v + kDiffuse, v + kSpecular, texel, colour);
        if (specular_)
            for (int c = 0; c < 3; ++c)
                colour[c] = Clamp01(colour[c] + v[kSpecular + c]);
        if (alphaTest_ && !AlphaPasses(colour[3]))
            continue;
        if (fog_) {
            float f = FogFactor(v[kFogValue], w, z);
            for (int c = 0; c < 3; ++c)
                colour[c] = f * colour[c] + (1.0f - f) * fogColour_[c];
        }
        Blend(colour, row + size_t(x) * bytes);
        if (depthWrite_)
            depthRow[x] = z;
    }
}

} // namespace d3d9sw
