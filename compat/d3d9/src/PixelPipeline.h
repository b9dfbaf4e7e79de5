#pragma once
// Everything that happens to a covered pixel: depth test, texture stages, specular, alpha
// test, fog, blending and the writes, with the draw's states resolved once per draw.
#include <cstdint>
#include <memory>
#include <vector>

#include <emmintrin.h>

#include "DeviceState.h"
#include "Sampler.h"
#include "Surface.h"
#include "VertexProcessor.h"

namespace d3d9sw {

// Screen-space planes of a primitive, relative to a reference pixel: each value at pixel
// (x, y) is base + dx * (x - refX) + dy * (y - refY). Varyings are stored multiplied by q = 1/w.
struct SpanSetup {
    int refX, refY;
    float z[3];
    float q[3];
    float varying[kVaryings][3];
};

// Pixels x0 <= x < x1 of row y.
struct Span {
    int y, x0, x1;
};

class PixelPipeline {
public:
    // fastPaths: whether the common draws may take the 8-bit four-pixel path and small
    // triangles the 32-bit edge walk; without them every pixel takes the general path.
    PixelPipeline(const DeviceState& state, Surface* target, Surface* depth, FogInput fog, bool depthInW,
                  bool fastPaths);

    // The number of leading varyings the stages read; the rasterizer clips only these, and
    // sets up planes only for those marked in VaryingMask.
    int VaryingCount() const { return varyingCount_; }
    uint32_t VaryingMask() const { return varyingMask_; }
    bool FlatShading() const { return flat_; }
    bool FastPaths() const { return fastPaths_; }

    // Shades the spans of one primitive, all under the same planes. Const: several threads
    // shade through one pipeline at once, each into its own pixels.
    void ShadeSpans(const SpanSetup& setup, const Span* spans, int count) const;

private:
    struct Stage {
        DWORD colourOp, colourArg[3], alphaOp, alphaArg[3], result;
        int texCoordSet;
        std::unique_ptr<Sampler> sampler;
        float constant[4];
    };

    // How a pixel of the common single-stage draws is computed on 8-bit channels.
    enum class FastBlend : uint8_t { None, Alpha, AlphaAdd, Add };

    void SetupStages(const DeviceState& state);
    void ChooseFastPath();
    void ShadeSpan(int y, int x0, int x1, const SpanSetup& setup) const;

    // The fast path: a triangle's constants, a row's, and four pixels of a row.
    struct FastPlanes;
    struct FastRow;
    struct FastGroup;
    void ShadeSpansFast(const SpanSetup& setup, const Span* spans, int count) const;
    // One group or two.
    void ShadeFastGroups(const FastPlanes& planes, const FastGroup* groups, int count) const;
    void StoreGroup(const FastPlanes& planes, const FastGroup& group, __m128i result) const;
    uint32_t BlendFast(uint32_t source, uint32_t old) const;
    float Lod(const Stage& stage, const SpanSetup& setup, const float* v, float w) const;
    void Combine(const float* diffuse, const float* specular, const float (*texel)[4], float* colour) const;
    void Blend(const float* source, uint8_t* pixel) const;
    bool AlphaPasses(float alpha) const;
    float FogFactor(float value, float w, float z) const;

    Surface* target_;
    Surface* depth_;
    std::vector<Stage> stages_;
    int varyingCount_ = kTexCoord;
    uint32_t varyingMask_ = 0;
    bool flat_;
    bool fastPaths_;
    bool depthTest_, depthWrite_;
    DWORD depthFunc_;
    bool alphaTest_;
    DWORD alphaFunc_, alphaRef_;
    bool blend_;
    DWORD sourceBlend_, destBlend_, blendOp_;
    DWORD writeMask_;
    bool directWrite_; // no blending into a 32-bit target: pixels are stored, not read
    bool fast_ = false;
    int16_t sourceMasks_[3][8] = {}; // texture, diffuse, product: the lanes each one feeds
    FastBlend fastBlend_ = FastBlend::None;
    bool fastDiffuseAlpha_ = true; // whether the fast path's result depends on the diffuse alpha
    bool specular_;
    bool fog_;
    FogInput fogInput_;
    bool depthInW_;
    DWORD fogMode_;
    float fogStart_, fogEnd_, fogDensity_;
    float fogColour_[3];
    float textureFactor_[4];
};

} // namespace d3d9sw
