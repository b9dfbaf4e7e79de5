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
    SpanBatch(const PixelPipeline& pixels, const SpanSetup& setup) : pixels_(pixels), setup_(setup) {}

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
    const PixelPipeline& pixels_;
    const SpanSetup& setup_;
    Span spans_[kSize];
    int count_ = 0;
};

// What a draw's primitives share once they reach the pixels: the pixel stage, the pixels that
// may be written (the viewport within the render target) and how lines end.
struct DrawTarget {
    const PixelPipeline* pixels;
    RECT bounds;
    bool lastPixel;
};

class RecordSlice;

// The front of the rasterizer: clipping, projection and culling. The pixels of what survives
// are covered at once, or recorded into a slice of a batch that covers them tile by tile later
// (Cover and CoverLine below, which give the same pixels either way).
class Rasterizer {
public:
    // slice: where primitives are recorded, or null to cover them at once.
    Rasterizer(const PixelPipeline& pixels, const D3DVIEWPORT9& viewport, const RECT& bounds, DWORD cullMode,
               bool lastPixel, RecordSlice* slice);

    // Fills in the rest of a vertex once its shaded part is set.
    void Prepare(RasterVertex& v) const;
    void Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
    void Line(const ShadedVertex& a, const ShadedVertex& b);

    // The pixels of a clockwise screen triangle, or of a line, that lie in clip. Each pixel's
    // values depend on the draw's bounds only, never on clip, so covering a primitive in
    // pieces gives the same bytes as covering it whole.
    static void Cover(const DrawTarget& target, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                      const RECT& clip);
    static void CoverLine(const DrawTarget& target, const ScreenVertex& from, const ScreenVertex& to, const RECT& clip);

private:
    float Distance(const ShadedVertex& v, int plane) const;
    int Clip(ShadedVertex* polygon, int count, ShadedVertex* scratch) const;
    bool ClipSegment(ShadedVertex& a, ShadedVertex& b) const;
    void Project(const ShadedVertex& in, ScreenVertex& out) const;
    void Fill(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);

    DrawTarget target_;
    D3DVIEWPORT9 viewport_;
    DWORD cullMode_;
    int varyings_;
    bool flat_;
    RecordSlice* slice_;
    float guardX_, guardY_;
};

} // namespace d3d9sw
