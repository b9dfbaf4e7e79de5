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
bool FastSourceOf(DWORD op, DWORD arg1, DWORD arg2, bool colour, uint8_t& out)
{
    auto plain = [](DWORD arg) { return arg == D3DTA_TEXTURE || arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
    auto source = [](DWORD arg) { return arg == D3DTA_TEXTURE ? kFromTexture : kFromDiffuse; };
    switch (op) {
    case D3DTOP_SELECTARG1:
        if (!plain(arg1))
            return false;
        out = uint8_t(source(arg1));
        return true;
    case D3DTOP_SELECTARG2:
        if (!plain(arg2))
            return false;
        out = uint8_t(source(arg2));
        return true;
    case D3DTOP_MODULATE:
        if (!plain(arg1) || !plain(arg2) || source(arg1) == source(arg2))
            return false;
        out = kFromProduct;
        return true;
    case D3DTOP_DISABLE:
        if (colour)
            return false;
        out = kFromDiffuse; // alpha passes the current (diffuse) alpha through
        return true;
    default:
        return false;
    }
}

} // namespace

// Single-stage draws that combine a texture and the diffuse colour by selection or
// modulation, without fog or specular, into a 32-bit target: the bulk of what the renderer
// draws. These run on 8-bit channels.
void PixelPipeline::ChooseFastPath()
{
    D3DFORMAT format = target_->Format();
    if (!fastPaths_ || stages_.size() != 1 || specular_ || fog_ || writeMask_ != 0xF ||
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
    // Only the alpha test and blending look at the diffuse alpha once the target drops it.
    fastDiffuseAlpha_ = format != D3DFMT_X8R8G8B8 || alphaTest_ || fastBlend_ != FastBlend::None;
    fast_ = true;
}

namespace {

// round(a * b / 255) per 16-bit lane, for a, b in 0..255.
inline __m128i Mul255Lanes(__m128i a, __m128i b)
{
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// All bits set in the 32-bit lanes whose bit is set in mask.
inline __m128i LaneMask(int mask)
{
    return _mm_setr_epi32(mask & 1 ? -1 : 0, mask & 2 ? -1 : 0, mask & 4 ? -1 : 0, mask & 8 ? -1 : 0);
}

inline __m128i Load(const int16_t* lanes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes)); }

} // namespace

// FastLog2 on four lanes.
inline __m128 FastLog2x4(__m128 x)
{
    __m128i bits = _mm_castps_si128(x);
    __m128 exponent = _mm_cvtepi32_ps(
        _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF)), _mm_set1_epi32(127)));
    __m128i mantissa = _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000));
    __m128 t = _mm_sub_ps(_mm_castsi128_ps(mantissa), _mm_set1_ps(1.0f));
    __m128 log = _mm_add_ps(exponent,
                            _mm_mul_ps(t, _mm_sub_ps(_mm_set1_ps(1.3465743f), _mm_mul_ps(_mm_set1_ps(0.3465743f), t))));
    __m128 positive = _mm_cmpgt_ps(x, _mm_setzero_ps());
    return _mm_or_ps(_mm_and_ps(positive, log), _mm_andnot_ps(positive, _mm_set1_ps(-128.0f)));
}

// What the fast path takes from a triangle's planes, set up once for all its rows.
struct PixelPipeline::FastPlanes {
    const Sampler* sampler;
    bool lod;
    int diffuseChannels;
    uint32_t opaque;
    __m128 qStep, uStep, vStep, diffuseStep[4];
    __m128 dqy, duy, dvy, texWidth, texHeight; // steps along y and the base level's size
};

// A row's pixels and the planes' values at its reference column.
struct PixelPipeline::FastRow {
    uint32_t* pixels;
    float* depths;
    float q, u, v, diffuse[4];
};

// Four neighbouring pixels of a row that passed the depth test.
struct PixelPipeline::FastGroup {
    const FastRow* row;
    int x, live;
    bool whole; // all four lie inside the row, so they may be read and written at once
    __m128 dx, depth;
};

// Four pixels side by side: interpolation, perspective, level of detail, sampling and the stage
// on SSE2 lanes; the depth and alpha tests, blending and the stores per pixel. Groups go on in
// pairs, because a level of detail serves a pixel pair, as texture units share it, so one
// computation on four lanes serves two groups.
void PixelPipeline::ShadeSpansFast(const SpanSetup& s, const Span* spans, int count) const
{
    const Stage& stage = stages_[0];
    const int set = kTexCoord + 2 * stage.texCoordSet;
    FastPlanes planes;
    planes.sampler = stage.sampler.get();
    // Without a texture the coordinates' planes are not set up; flat zero planes stand in.
    static const float kNoPlane[3] = {0.0f, 0.0f, 0.0f};
    const float* uPlane = planes.sampler ? s.varying[set] : kNoPlane;
    const float* vPlane = planes.sampler ? s.varying[set + 1] : kNoPlane;
    planes.lod = planes.sampler && planes.sampler->NeedsLod();
    planes.opaque = target_->Format() == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
    planes.diffuseChannels = fastDiffuseAlpha_ ? 4 : 3;
    planes.qStep = _mm_set1_ps(s.q[1]);
    planes.uStep = _mm_set1_ps(uPlane[1]);
    planes.vStep = _mm_set1_ps(vPlane[1]);
    for (int c = 0; c < planes.diffuseChannels; ++c)
        planes.diffuseStep[c] = _mm_set1_ps(s.varying[kDiffuse + c][1]);
    planes.dqy = _mm_set1_ps(s.q[2]);
    planes.duy = _mm_set1_ps(uPlane[2]);
    planes.dvy = _mm_set1_ps(vPlane[2]);
    planes.texWidth = _mm_set1_ps(planes.sampler ? planes.sampler->Width() : 0.0f);
    planes.texHeight = _mm_set1_ps(planes.sampler ? planes.sampler->Height() : 0.0f);
    const bool lessEqual = depthFunc_ == D3DCMP_LESSEQUAL;
    const __m128 zStep = _mm_set1_ps(s.z[1]);
    const __m128 lanes = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
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
    // A waiting group belongs to this row or the one before: a group still waiting from two
    // rows back (the row between lost every pixel to the depth test) is shaded before its
    // row's slot is reused.
    FastRow rows[2];
    FastGroup pending[2];
    int waiting = 0;
    for (int i = 0; i < count; ++i) {
        const int y = spans[i].y, x0 = spans[i].x0, x1 = spans[i].x1;
        FastRow& row = rows[i & 1];
        if (waiting && pending[0].row == &row) {
            ShadeFastGroups(planes, pending, 1);
            waiting = 0;
        }
        row.pixels = reinterpret_cast<uint32_t*>(target_->Row(UINT(y)));
        row.depths = depth_ ? depth_->DepthRow(UINT(y)) : nullptr;
        const float* depthRow = row.depths;
        const float dy = float(y - s.refY);
        const __m128 zRow = _mm_set1_ps(s.z[0] + s.z[2] * dy);
        row.q = s.q[0] + s.q[2] * dy;
        row.u = uPlane[0] + uPlane[2] * dy;
        row.v = vPlane[0] + vPlane[2] * dy;
        for (int c = 0; c < planes.diffuseChannels; ++c)
            row.diffuse[c] = s.varying[kDiffuse + c][0] + s.varying[kDiffuse + c][2] * dy;
        // Groups start at columns that are multiples of four whatever the span, so a pixel's
        // group, and the pair that shares its level of detail, never depend on where a span
        // was cut: a span covered in pieces (tile by tile) gives the same bytes as whole, and
        // a group never straddles two tiles. Column offsets are small integers, so stepping
        // them by 4 stays exact.
        const int first = x0 & ~3;
        __m128 dx = _mm_add_ps(_mm_set1_ps(float(first - s.refX)), lanes);

        for (int x = first; x < x1; x += 4, dx = _mm_add_ps(dx, _mm_set1_ps(4.0f))) {
            int live = ((1 << std::min(4, x1 - x)) - 1) & (0xF << std::max(0, x0 - x));
            const bool whole = x + 4 <= rowEnd;
            __m128 depth = _mm_add_ps(zRow, _mm_mul_ps(zStep, dx));
            if (depthTest_) {
                if (whole && lessEqual) {
                    live &= _mm_movemask_ps(_mm_cmple_ps(depth, _mm_loadu_ps(depthRow + x)));
                } else {
                    alignas(16) float z[4];
                    _mm_store_ps(z, depth);
                    for (int l = 0; l < 4; ++l)
                        if ((live & (1 << l)) && !Compare(depthFunc_, z[l], depthRow[x + l]))
                            live &= ~(1 << l);
                }
                if (!live)
                    continue;
            }
            FastGroup& group = pending[waiting++];
            group.row = &row;
            group.x = x;
            group.live = live;
            group.whole = whole;
            group.dx = dx;
            group.depth = depth;
            if (waiting == 2) {
                ShadeFastGroups(planes, pending, 2);
                waiting = 0;
            }
        }
    }
    if (waiting)
        ShadeFastGroups(planes, pending, waiting);
}

void PixelPipeline::ShadeFastGroups(const FastPlanes& planes, const FastGroup* groups, int count) const
{
    __m128 w[2], u[2], v[2];
    for (int i = 0; i < count; ++i) {
        const FastGroup& g = groups[i];
        __m128 q = _mm_add_ps(_mm_set1_ps(g.row->q), _mm_mul_ps(planes.qStep, g.dx));
        w[i] = _mm_and_ps(_mm_div_ps(_mm_set1_ps(1.0f), q), _mm_cmpneq_ps(q, _mm_setzero_ps()));
        u[i] = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(g.row->u), _mm_mul_ps(planes.uStep, g.dx)), w[i]);
        v[i] = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(g.row->v), _mm_mul_ps(planes.vStep, g.dx)), w[i]);
    }
    // Levels of detail for the first pixel of each pair: lanes 0 and 2 of the first group and
    // of the second (or the first again).
    __m128 level[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
    if (planes.lod) {
        const int last = count - 1;
        __m128 pu = _mm_shuffle_ps(u[0], u[last], _MM_SHUFFLE(2, 0, 2, 0));
        __m128 pv = _mm_shuffle_ps(v[0], v[last], _MM_SHUFFLE(2, 0, 2, 0));
        __m128 pw = _mm_shuffle_ps(w[0], w[last], _MM_SHUFFLE(2, 0, 2, 0));
        // For u = U / q: du/dx = (dU/dx - u * dq/dx) / q, and likewise along y.
        __m128 dudx = _mm_mul_ps(_mm_sub_ps(planes.uStep, _mm_mul_ps(pu, planes.qStep)), pw);
        __m128 dvdx = _mm_mul_ps(_mm_sub_ps(planes.vStep, _mm_mul_ps(pv, planes.qStep)), pw);
        __m128 dudy = _mm_mul_ps(_mm_sub_ps(planes.duy, _mm_mul_ps(pu, planes.dqy)), pw);
        __m128 dvdy = _mm_mul_ps(_mm_sub_ps(planes.dvy, _mm_mul_ps(pv, planes.dqy)), pw);
        __m128 ux = _mm_mul_ps(dudx, planes.texWidth), vx = _mm_mul_ps(dvdx, planes.texHeight);
        __m128 uy = _mm_mul_ps(dudy, planes.texWidth), vy = _mm_mul_ps(dvdy, planes.texHeight);
        __m128 rx = _mm_add_ps(_mm_mul_ps(ux, ux), _mm_mul_ps(vx, vx));
        __m128 ry = _mm_add_ps(_mm_mul_ps(uy, uy), _mm_mul_ps(vy, vy));
        __m128 both = _mm_mul_ps(_mm_set1_ps(0.5f), FastLog2x4(_mm_max_ps(rx, ry)));
        level[0] = _mm_shuffle_ps(both, both, _MM_SHUFFLE(1, 1, 0, 0));
        level[1] = _mm_shuffle_ps(both, both, _MM_SHUFFLE(3, 3, 2, 2));
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i fromTexture = Load(sourceMasks_[0]), fromDiffuse = Load(sourceMasks_[1]);
    const __m128i fromProduct = Load(sourceMasks_[2]);
    for (int i = 0; i < count; ++i) {
        const FastGroup& g = groups[i];
        __m128i channel[4] = {};
        for (int c = 0; c < planes.diffuseChannels; ++c) {
            __m128 value =
                _mm_mul_ps(_mm_add_ps(_mm_set1_ps(g.row->diffuse[c]), _mm_mul_ps(planes.diffuseStep[c], g.dx)), w[i]);
            value = _mm_min_ps(_mm_max_ps(value, _mm_setzero_ps()), _mm_set1_ps(1.0f));
            channel[c] = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(value, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
        }
        __m128i diffuse = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(channel[3], 24), _mm_slli_epi32(channel[0], 16)),
                                       _mm_or_si128(_mm_slli_epi32(channel[1], 8), channel[2]));
        __m128i texels[2] = {_mm_set1_epi16(255), _mm_set1_epi16(255)};
        if (planes.sampler)
            planes.sampler->Sample4(u[i], v[i], level[i], g.live, texels[0], texels[1]);
        __m128i combined[2];
        for (int half = 0; half < 2; ++half) {
            __m128i t = texels[half];
            __m128i d = half ? _mm_unpackhi_epi8(diffuse, zero) : _mm_unpacklo_epi8(diffuse, zero);
            combined[half] = _mm_or_si128(_mm_or_si128(_mm_and_si128(t, fromTexture), _mm_and_si128(d, fromDiffuse)),
                                          _mm_and_si128(Mul255Lanes(t, d), fromProduct));
        }
        StoreGroup(planes, g, _mm_packus_epi16(combined[0], combined[1]));
    }
}

void PixelPipeline::StoreGroup(const FastPlanes& planes, const FastGroup& g, __m128i result) const
{
    if (g.whole && !alphaTest_ && fastBlend_ == FastBlend::None) {
        // Whole groups are written back four at a time, keeping the pixels of lanes that are
        // not drawn.
        __m128i keep = LaneMask(g.live ^ 0xF);
        __m128i* target = reinterpret_cast<__m128i*>(g.row->pixels + g.x);
        __m128i drawn = _mm_or_si128(result, _mm_set1_epi32(int(planes.opaque)));
        _mm_storeu_si128(target,
                         _mm_or_si128(_mm_andnot_si128(keep, drawn), _mm_and_si128(keep, _mm_loadu_si128(target))));
        if (depthWrite_) {
            __m128 old = _mm_loadu_ps(g.row->depths + g.x);
            __m128 keepDepth = _mm_castsi128_ps(keep);
            _mm_storeu_ps(g.row->depths + g.x,
                          _mm_or_ps(_mm_andnot_ps(keepDepth, g.depth), _mm_and_ps(keepDepth, old)));
        }
        return;
    }
    alignas(16) uint32_t colour[4];
    alignas(16) float z[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(colour), result);
    _mm_store_ps(z, g.depth);
    for (int l = 0; l < 4; ++l) {
        if (!(g.live & (1 << l)))
            continue;
        if (alphaTest_ && !Compare(alphaFunc_, float(colour[l] >> 24), float(alphaRef_)))
            continue;
        uint32_t* pixel = g.row->pixels + g.x + l;
        *pixel = (fastBlend_ != FastBlend::None ? BlendFast(colour[l], *pixel) : colour[l]) | planes.opaque;
        if (depthWrite_)
            g.row->depths[g.x + l] = z[l];
    }
}

uint32_t PixelPipeline::BlendFast(uint32_t source, uint32_t old) const
{
    uint32_t a = source >> 24;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        uint32_t c = (source >> shift) & 0xFF, o = (old >> shift) & 0xFF, value;
        switch (fastBlend_) {
        case FastBlend::Alpha:
            value = Mul255(c, a) + Mul255(o, 255 - a);
            break;
        case FastBlend::AlphaAdd:
            value = Mul255(c, a) + o;
            break;
        default:
            value = c + o;
            break;
        }
        out |= std::min(255u, value) << shift;
    }
    uint32_t oldAlpha = old >> 24;
    uint32_t alpha = fastBlend_ == FastBlend::Alpha      ? Mul255(a, a) + Mul255(oldAlpha, 255 - a)
                     : fastBlend_ == FastBlend::AlphaAdd ? std::min(255u, Mul255(a, a) + oldAlpha)
                                                         : std::min(255u, a + oldAlpha);
    return out | (alpha << 24);
}
} // namespace d3d9sw
