#include "Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "RasterBatch.h"

namespace d3d9sw {

namespace {

constexpr int kSubPixelBits = 8;
constexpr float kSubPixel = float(1 << kSubPixelBits);
constexpr int64_t kSubPixelScale = int64_t(1) << kSubPixelBits;
// Screen positions stay within this many pixels of the origin, so edge products fit in 64 bits.
constexpr float kGuardBandPixels = 8192.0f;
constexpr int kMaxPolygon = 16;
constexpr int kClipPlanes = 7;
// Triangles narrower and shorter than this, in sub-pixel units, cover their rows in 32-bit
// integers.
constexpr int64_t kSmallTriangle = int64_t(64) << kSubPixelBits;

// Whole pixels below and above a position in sub-pixel units; the shift floors negative
// values too, and spares the 64-bit division this 32-bit target does in a library call.
int64_t FloorPixel(int64_t a) { return a >> kSubPixelBits; }
int64_t CeilPixel(int64_t a) { return -(-a >> kSubPixelBits); }

// lround's rounding (halves away from zero) without the library call; |v| stays well below
// 2^31 inside the guard band, and v - trunc(v) is exact.
int64_t RoundHalfAway(float v)
{
    int32_t i = int32_t(v);
    float rest = v - float(i);
    if (rest >= 0.5f)
        ++i;
    else if (rest <= -0.5f)
        --i;
    return i;
}

// The span of columns lo..hi where a * x + k >= bias, narrowed in place. Edge values are
// integers below 2^53, so double arithmetic on them is exact and spares the 64-bit integer
// multiplies and divisions that are slow on this 32-bit target; edge is the crossing
// (bias - k) / a, kept up to date by the caller.
void NarrowSpan(double a, double k, double bias, double edge, int& lo, int& hi)
{
    if (a == 0.0) {
        if (k < bias)
            hi = lo - 1;
        return;
    }
    if (a > 0.0) {
        // Start from the crossing rounded up, which is the answer but for rounding in edge.
        int x = edge <= lo ? lo : (edge > hi ? hi + 1 : int(edge));
        if (x < edge && x <= hi)
            ++x;
        while (x > lo && a * (x - 1) + k >= bias)
            --x;
        while (x <= hi && a * x + k < bias)
            ++x;
        lo = x;
    } else {
        int x = edge >= hi ? hi : (edge < lo - 1 ? lo - 1 : int(edge));
        while (x < hi && a * (x + 1) + k >= bias)
            ++x;
        while (x >= lo && a * x + k < bias)
            --x;
        hi = x;
    }
}

// What every interpolation plane of a triangle shares: the triangle's edges from its first
// vertex, paired the way the gradients use them, its doubled area and the reference pixel's
// offset from the first vertex.
struct Gradients {
    __m128d across; // y2 - y0, x1 - x0
    __m128d along;  // y1 - y0, x2 - x0
    __m128d area;
    double offsetX, offsetY;
};

// The plane through three vertex values: its value at the reference pixel and its steps
// along x and y. Both gradients divide at once.
void Plane(const Gradients& g, float a0, float a1, float a2, float out[3])
{
    double d1 = double(a1) - a0, d2 = double(a2) - a0;
    __m128d numerators =
        _mm_sub_pd(_mm_mul_pd(_mm_setr_pd(d1, d2), g.across), _mm_mul_pd(_mm_setr_pd(d2, d1), g.along));
    __m128d gradient = _mm_div_pd(numerators, g.area);
    double dx = _mm_cvtsd_f64(gradient), dy = _mm_cvtsd_f64(_mm_unpackhi_pd(gradient, gradient));
    out[0] = float(a0 + dx * g.offsetX + dy * g.offsetY);
    out[1] = float(dx);
    out[2] = float(dy);
}

// A triangle's edges: a pixel centre (x, y) is inside when a * x + b * y + c >= bias for all
// three.
struct Edges {
    int64_t a[3], b[3], c[3], bias[3];
};

void CoverSmall(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans);
void CoverLarge(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans);

void Lerp(const ShadedVertex& a, const ShadedVertex& b, float t, int varyings, ShadedVertex& out)
{
    for (int i = 0; i < 4; ++i)
        out.clip[i] = a.clip[i] + (b.clip[i] - a.clip[i]) * t;
    for (int i = 0; i < varyings; ++i)
        out.varying[i] = a.varying[i] + (b.varying[i] - a.varying[i]) * t;
}

} // namespace

Rasterizer::Rasterizer(const PixelPipeline& pixels, const D3DVIEWPORT9& viewport, const RECT& bounds, DWORD cullMode,
                       bool lastPixel, RecordSlice* slice)
    : target_{&pixels, bounds, lastPixel}, viewport_(viewport), cullMode_(cullMode), varyings_(pixels.VaryingCount()),
      flat_(pixels.FlatShading()), slice_(slice)
{
    guardX_ = kGuardBandPixels / std::max(1.0f, float(viewport.Width));
    guardY_ = kGuardBandPixels / std::max(1.0f, float(viewport.Height));
}

float Rasterizer::Distance(const ShadedVertex& v, int plane) const
{
    const float* c = v.clip;
    switch (plane) {
    case 0:
        return c[2];
    case 1:
        return c[3] - c[2];
    case 2:
        return c[3] - 1.0e-6f;
    case 3:
        return guardX_ * c[3] - c[0];
    case 4:
        return guardX_ * c[3] + c[0];
    case 5:
        return guardY_ * c[3] - c[1];
    default:
        return guardY_ * c[3] + c[1];
    }
}

// Sutherland-Hodgman against near and far (0 <= z <= w), w > 0 and the guard band; x and y
// inside the guard band are left to the pixel bounds.
int Rasterizer::Clip(ShadedVertex* polygon, int count, ShadedVertex* scratch) const
{
    ShadedVertex* in = polygon;
    ShadedVertex* out = scratch;
    for (int plane = 0; plane < kClipPlanes && count > 0; ++plane) {
        bool allInside = true;
        for (int i = 0; i < count; ++i)
            allInside &= Distance(in[i], plane) >= 0.0f;
        if (allInside)
            continue;
        int n = 0;
        for (int i = 0; i < count; ++i) {
            const ShadedVertex& a = in[i];
            const ShadedVertex& b = in[(i + 1) % count];
            float da = Distance(a, plane), db = Distance(b, plane);
            if (da >= 0.0f && n < kMaxPolygon)
                out[n++] = a;
            if ((da >= 0.0f) != (db >= 0.0f) && n < kMaxPolygon)
                Lerp(a, b, da / (da - db), varyings_, out[n++]);
        }
        count = n;
        std::swap(in, out);
    }
    if (in != polygon)
        std::memcpy(polygon, in, sizeof(ShadedVertex) * size_t(count));
    return count;
}

bool Rasterizer::ClipSegment(ShadedVertex& a, ShadedVertex& b) const
{
    for (int plane = 0; plane < kClipPlanes; ++plane) {
        float da = Distance(a, plane), db = Distance(b, plane);
        if (da < 0.0f && db < 0.0f)
            return false;
        if (da < 0.0f)
            Lerp(a, b, da / (da - db), varyings_, a);
        else if (db < 0.0f)
            Lerp(b, a, db / (db - da), varyings_, b);
    }
    return true;
}

void Rasterizer::Project(const ShadedVertex& in, ScreenVertex& out) const
{
    float q = 1.0f / in.clip[3];
    out.x = float(viewport_.X) + (1.0f + in.clip[0] * q) * float(viewport_.Width) * 0.5f;
    out.y = float(viewport_.Y) + (1.0f - in.clip[1] * q) * float(viewport_.Height) * 0.5f;
    out.z = viewport_.MinZ + in.clip[2] * q * (viewport_.MaxZ - viewport_.MinZ);
    out.q = q;
    out.fx = RoundHalfAway(out.x * kSubPixel);
    out.fy = RoundHalfAway(out.y * kSubPixel);
    out.x = float(out.fx) / kSubPixel;
    out.y = float(out.fy) / kSubPixel;
    for (int i = 0; i < varyings_; ++i)
        out.varying[i] = in.varying[i] * q;
}

void Rasterizer::Prepare(RasterVertex& v) const
{
    const float* c = v.shaded.clip;
    // The clip distances as Distance gives them; NaN counts as outside.
    const float distance[kClipPlanes] = {c[2],
                                         c[3] - c[2],
                                         c[3] - 1.0e-6f,
                                         guardX_ * c[3] - c[0],
                                         guardX_ * c[3] + c[0],
                                         guardY_ * c[3] - c[1],
                                         guardY_ * c[3] + c[1]};
    v.outside = 0;
    for (int plane = 0; plane < kClipPlanes; ++plane)
        v.outside |= uint32_t(!(distance[plane] >= 0.0f)) << plane;
    if (v.outside == 0)
        Project(v.shaded, v.screen);
}

void Rasterizer::Triangle(const RasterVertex& va, const RasterVertex& vb, const RasterVertex& vc)
{
    // Flat shading gives every vertex the first one's colours, so its vertices are projected
    // per triangle.
    if (!flat_ && (va.outside | vb.outside | vc.outside) == 0) {
        Fill(va.screen, vb.screen, vc.screen);
        return;
    }
    const ShadedVertex& a = va.shaded;
    const ShadedVertex& b = vb.shaded;
    const ShadedVertex& c = vc.shaded;
    ShadedVertex polygon[kMaxPolygon], scratch[kMaxPolygon];
    polygon[0] = a;
    polygon[1] = b;
    polygon[2] = c;
    if (flat_) {
        for (int v = 1; v < 3; ++v)
            std::memcpy(polygon[v].varying, a.varying, sizeof(float) * kFogValue);
    }
    int count = Clip(polygon, 3, scratch);
    if (count < 3)
        return;
    ScreenVertex screen[kMaxPolygon];
    for (int i = 0; i < count; ++i)
        Project(polygon[i], screen[i]);
    for (int i = 1; i + 1 < count; ++i)
        Fill(screen[0], screen[i], screen[i + 1]);
}

void Rasterizer::Fill(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    int64_t area = (b.fx - a.fx) * (c.fy - a.fy) - (c.fx - a.fx) * (b.fy - a.fy);
    if (area == 0)
        return;
    // On a y-down screen a positive area means the vertices run clockwise.
    if ((cullMode_ == D3DCULL_CCW && area < 0) || (cullMode_ == D3DCULL_CW && area > 0))
        return;
    const ScreenVertex& second = area > 0 ? b : c;
    const ScreenVertex& third = area > 0 ? c : b;
    if (slice_)
        slice_->Triangle(a, second, third);
    else
        Cover(target_, a, second, third, target_.bounds);
}

void Rasterizer::Cover(const DrawTarget& target, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                       const RECT& clip)
{
    const RECT& bounds = target.bounds;
    const ScreenVertex* v[3] = {&a, &b, &c};
    int64_t minX = std::min({a.fx, b.fx, c.fx}), maxX = std::max({a.fx, b.fx, c.fx});
    int64_t minY = std::min({a.fy, b.fy, c.fy}), maxY = std::max({a.fy, b.fy, c.fy});
    // The planes refer to the first pixel of the triangle's box within the draw's bounds;
    // clip only narrows the pixels covered.
    int x0 = int(std::max<int64_t>(bounds.left, CeilPixel(minX)));
    int x1 = int(std::min<int64_t>(bounds.right - 1, FloorPixel(maxX)));
    int y0 = int(std::max<int64_t>(bounds.top, CeilPixel(minY)));
    int y1 = int(std::min<int64_t>(bounds.bottom - 1, FloorPixel(maxY)));
    int left = std::max(x0, int(clip.left)), right = std::min(x1, int(clip.right) - 1);
    int top = std::max(y0, int(clip.top)), bottom = std::min(y1, int(clip.bottom) - 1);
    if (left > right || top > bottom)
        return;

    // Edge i runs from v[i] to v[i + 1]; a pixel centre (x, y) is inside when
    // a * x + b * y + c >= bias, with bias 0 on top and left edges and 1 elsewhere.
    Edges e;
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& p = *v[i];
        const ScreenVertex& n = *v[(i + 1) % 3];
        int64_t dx = n.fx - p.fx, dy = n.fy - p.fy;
        e.a[i] = -dy * kSubPixelScale;
        e.b[i] = dx * kSubPixelScale;
        e.c[i] = dy * p.fx - dx * p.fy;
        bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        e.bias[i] = topLeft ? 0 : 1;
    }

    const PixelPipeline& pixels = *target.pixels;
    const int varyings = pixels.VaryingCount();
    const uint32_t planes = pixels.VaryingMask();
    SpanSetup setup;
    setup.refX = x0;
    setup.refY = y0;
    Gradients g;
    double bx = double(b.x) - a.x, by = double(b.y) - a.y, cx = double(c.x) - a.x, cy = double(c.y) - a.y;
    g.across = _mm_setr_pd(cy, bx);
    g.along = _mm_setr_pd(by, cx);
    g.area = _mm_set1_pd(bx * cy - cx * by);
    g.offsetX = x0 - double(a.x);
    g.offsetY = y0 - double(a.y);
    Plane(g, a.z, b.z, c.z, setup.z);
    Plane(g, a.q, b.q, c.q, setup.q);
    for (int i = 0; i < varyings; ++i)
        if (planes & (1u << i))
            Plane(g, a.varying[i], b.varying[i], c.varying[i], setup.varying[i]);

    SpanBatch spans(pixels, setup);
    if (pixels.FastPaths() && maxX - minX < kSmallTriangle && maxY - minY < kSmallTriangle)
        CoverSmall(e, left, right, top, bottom, spans);
    else
        CoverLarge(e, left, right, top, bottom, spans);
    spans.Flush();
}

namespace {

// Within the small bound every edge value at the bounding box's corner, every step of it and
// every column limit below stays under 2^30, so 32-bit integers hold them exactly. Each edge
// keeps its column limit ceil(n / |a|), where n = bias - (edge value at the row's first
// column); n changes by -b from row to row, a fixed quotient and remainder of |a|.
void CoverSmall(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans)
{
    struct Walk {
        int32_t limit, remainder, divisor, quotientStep, remainderStep;
        void Next()
        {
            limit += quotientStep;
            remainder -= remainderStep;
            int32_t borrow = remainder >> 31; // -1 once the remainder went below zero
            remainder += borrow & divisor;
            limit -= borrow;
        }
    };
    // A triangle has at most two edges with a > 0, whose limits are first columns, and at most
    // two with a < 0, minus whose limits are last columns; unused slots hold a walk that never
    // narrows the row, so every row does the same work without branches. An edge with a == 0
    // accepts or refuses whole rows.
    const Walk idle = {-(int32_t(1) << 30), 0, 1, 0, 0};
    Walk firsts[2] = {idle, idle}, lasts[2] = {idle, idle};
    int firstCount = 0, lastCount = 0;
    int32_t level = 0, levelStep = 0;
    for (int i = 0; i < 3; ++i) {
        int32_t corner = int32_t(e.a[i] * x0 + e.b[i] * y0 + e.c[i]) - int32_t(e.bias[i]);
        int32_t b = int32_t(e.b[i]);
        if (e.a[i] == 0) {
            level = corner;
            levelStep = b;
            continue;
        }
        Walk& w = e.a[i] > 0 ? firsts[firstCount++] : lasts[lastCount++];
        w.divisor = int32_t(e.a[i] > 0 ? e.a[i] : -e.a[i]);
        int32_t n = -corner;
        w.limit = n / w.divisor + (n % w.divisor > 0 ? 1 : 0);
        w.remainder = w.limit * w.divisor - n;
        w.quotientStep = -b / w.divisor;
        w.remainderStep = -b % w.divisor;
        if (w.remainderStep < 0) {
            w.remainderStep += w.divisor;
            --w.quotientStep;
        }
    }
    const int width = x1 - x0;
    for (int y = y0; y <= y1; ++y) {
        int lo = std::max(0, std::max(firsts[0].limit, firsts[1].limit));
        int hi = std::min(width, std::min(-lasts[0].limit, -lasts[1].limit));
        if (level < 0)
            hi = -1;
        firsts[0].Next();
        firsts[1].Next();
        lasts[0].Next();
        lasts[1].Next();
        level += levelStep;
        if (lo <= hi)
            spans.Add(y, x0 + lo, x0 + hi + 1);
    }
}

// Any size: each edge's crossing is estimated in double and settled exactly per row.
void CoverLarge(const Edges& e, int x0, int x1, int y0, int y1, SpanBatch& spans)
{
    double slope[3], step[3], k[3], threshold[3], crossing[3], crossingStep[3];
    for (int i = 0; i < 3; ++i) {
        slope[i] = double(e.a[i]);
        step[i] = double(e.b[i]);
        k[i] = double(e.b[i] * y0 + e.c[i]);
        threshold[i] = double(e.bias[i]);
        crossing[i] = e.a[i] != 0 ? (threshold[i] - k[i]) / slope[i] : 0.0;
        crossingStep[i] = e.a[i] != 0 ? -step[i] / slope[i] : 0.0;
    }
    for (int y = y0; y <= y1; ++y) {
        int left = x0, right = x1;
        for (int i = 0; i < 3; ++i) {
            if (left <= right)
                NarrowSpan(slope[i], k[i], threshold[i], crossing[i], left, right);
            k[i] += step[i];
            crossing[i] += crossingStep[i];
        }
        if (left <= right)
            spans.Add(y, left, right + 1);
    }
}

} // namespace

void Rasterizer::Line(const ShadedVertex& a, const ShadedVertex& b)
{
    ShadedVertex first = a, second = b;
    if (flat_)
        std::memcpy(second.varying, a.varying, sizeof(float) * kFogValue);
    if (!ClipSegment(first, second))
        return;
    ScreenVertex from, to;
    Project(first, from);
    Project(second, to);
    if (slice_)
        slice_->Line(from, to);
    else
        CoverLine(target_, from, to, target_.bounds);
}

void Rasterizer::CoverLine(const DrawTarget& target, const ScreenVertex& p, const ScreenVertex& e, const RECT& clip)
{
    const RECT& bounds = target.bounds;
    const int varyings = target.pixels->VaryingCount();
    float dx = e.x - p.x, dy = e.y - p.y;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    float length = xMajor ? dx : dy;
    int start = int(std::lround(xMajor ? p.x : p.y)), end = int(std::lround(xMajor ? e.x : e.y));
    int step = end >= start ? 1 : -1;
    if (!target.lastPixel) {
        if (start == end)
            return;
        end -= step;
    }
    LONG left = std::max(bounds.left, clip.left), right = std::min(bounds.right, clip.right);
    LONG top = std::max(bounds.top, clip.top), bottom = std::min(bounds.bottom, clip.bottom);
    SpanSetup setup;
    std::memset(&setup, 0, sizeof setup);
    for (int major = start;; major += step) {
        float t = length != 0.0f ? (float(major) - (xMajor ? p.x : p.y)) / length : 0.0f;
        t = std::max(0.0f, std::min(1.0f, t));
        float minor = (xMajor ? p.y + dy * t : p.x + dx * t);
        int x = xMajor ? major : int(std::floor(minor + 0.5f));
        int y = xMajor ? int(std::floor(minor + 0.5f)) : major;
        if (x >= left && x < right && y >= top && y < bottom) {
            setup.refX = x;
            setup.refY = y;
            setup.z[0] = p.z + (e.z - p.z) * t;
            setup.q[0] = p.q + (e.q - p.q) * t;
            for (int i = 0; i < varyings; ++i)
                setup.varying[i][0] = p.varying[i] + (e.varying[i] - p.varying[i]) * t;
            Span pixel{y, x, x + 1};
            target.pixels->ShadeSpans(setup, &pixel, 1);
        }
        if (major == end)
            break;
    }
}

} // namespace d3d9sw
