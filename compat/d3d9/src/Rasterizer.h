#pragma once
// Clips primitives in homogeneous space, maps them to the viewport and walks the covered
// pixels. Pixel centres lie at integer coordinates; triangle edges follow the top-left rule,
// so two triangles sharing an edge cover each pixel along it exactly once.
#include <cstdint>

#include "PixelPipeline.h"

namespace d3d9sw {

struct ScreenVertex {
    int64_t fx, fy; // position in 1/256 pixel
    float x, y, z, q;
    float varying[kVaryings]; // multiplied by q
};

// A vertex as the rasterizer takes it: shaded, with the clip planes it lies outside of and,
// when it is inside them all, its screen position; worked out once however many primitives
// share the vertex.
struct RasterVertex {
    ShadedVertex shaded;
    uint32_t outside;
    ScreenVertex screen;
};

// Rows of one primitive on their way to the pixel stage, handed over in batches.
class SpanBatch {
public:
    SpanBatch(PixelPipeline& pixels, const SpanSetup& setup) : pixels_(pixels), setup_(setup) {}

    void Add(int y, int x0, int x1)
    {
        spans_[count_++] = {y, x0, x1};
        if (count_ == kSize)
            Flush();
    }
    void Flush()
    {
        if (count_ > 0)
            pixels_.ShadeSpans(setup_, spans_, count_);
        count_ = 0;
    }

private:
    static constexpr int kSize = 64;
    PixelPipeline& pixels_;
    const SpanSetup& setup_;
    Span spans_[kSize];
    int count_ = 0;
};

class Rasterizer {
public:
    // bounds: the pixels that may be written (the viewport within the render target).
    Rasterizer(PixelPipeline& pixels, const D3DVIEWPORT9& viewport, const RECT& bounds, DWORD cullMode, bool lastPixel);

    // Fills in the rest of a vertex once its shaded part is set.
    void Prepare(RasterVertex& v) const;
    void Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
    void Line(const ShadedVertex& a, const ShadedVertex& b);

private:
    float Distance(const ShadedVertex& v, int plane) const;
    int Clip(ShadedVertex* polygon, int count, ShadedVertex* scratch) const;
    bool ClipSegment(ShadedVertex& a, ShadedVertex& b) const;
    void Project(const ShadedVertex& in, ScreenVertex& out) const;
    // A triangle's edges: a pixel centre (x, y) is inside when a * x + b * y + c >= bias
    // for all three.
    struct Edges {
        int64_t a[3], b[3], c[3], bias[3];
    };

    void Fill(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
    void CoverSmall(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans) const;
    void CoverLarge(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans) const;

    PixelPipeline& pixels_;
    D3DVIEWPORT9 viewport_;
    RECT bounds_;
    DWORD cullMode_;
    bool lastPixel_;
    int varyings_;
    uint32_t planes_;
    float guardX_, guardY_;
};

} // namespace d3d9sw
