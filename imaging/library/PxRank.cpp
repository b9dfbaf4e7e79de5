// Rank-style neighbourhood filters: the median, the binary (morphological) filter with an
// additive structuring element, and despeckle; 1-bit images get bitwise paths of their own.
#include "PXIMG60N.h"
#include "PxPixels.h"
#include "PxWindow.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pximg {
namespace {

constexpr int32_t kOutside = 256; // structuring-element value: position not part of the element

// Median of nine values by a fixed compare-and-exchange network.
inline uint8_t Median9(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3, uint8_t p4, uint8_t p5, uint8_t p6, uint8_t p7,
                       uint8_t p8)
{
    auto sort = [](uint8_t& a, uint8_t& b) {
        const uint8_t lo = a < b ? a : b, hi = a < b ? b : a;
        a = lo;
        b = hi;
    };
    sort(p1, p2), sort(p4, p5), sort(p7, p8), sort(p0, p1), sort(p3, p4), sort(p6, p7);
    sort(p1, p2), sort(p4, p5), sort(p7, p8), sort(p0, p3), sort(p5, p8), sort(p4, p7);
    sort(p3, p6), sort(p1, p4), sort(p2, p5), sort(p4, p7), sort(p4, p2), sort(p6, p4);
    sort(p4, p2);
    return p4;
}

void Median3Row(const WindowRows& w, uint8_t* out)
{
    const ptrdiff_t d = w.pixelBytes;
    const uint8_t *a = w.rows[0], *b = w.rows[1], *c = w.rows[2];
    for (size_t i = 0; i < w.bytes; ++i)
        out[i] = Median9(a[i - d], a[i], a[i + d], b[i - d], b[i], b[i + d], c[i - d], c[i], c[i + d]);
}

// N x N median per channel: a 256-entry count per channel slides along the row; the output is
// the smallest value whose cumulative count reaches (N x N + 1) / 2, tracked incrementally.
void MedianRow(const WindowRows& w, std::vector<uint32_t>& counts)
{
    const int32_t n = w.size, pb = w.pixelBytes, above = (n - 1) / 2, below = n / 2;
    const int32_t width = int32_t(w.bytes / size_t(pb));
    const uint32_t target = (uint32_t(n) * uint32_t(n) + 1) / 2;
    counts.resize(256);
    for (int32_t c = 0; c < pb; ++c) {
        std::fill(counts.begin(), counts.end(), 0);
        uint32_t* h = counts.data();
        // lessThan counts the window values below the current median candidate.
        uint32_t median = 0, lessThan = 0;
        auto column = [&](int32_t x, int32_t sign) {
            const size_t at = size_t(std::clamp(x, 0, width - 1)) * pb + c;
            for (int32_t r = 0; r < n; ++r) {
                const uint8_t v = w.rows[r][at];
                h[v] += uint32_t(sign);
                if (v < median)
                    lessThan += uint32_t(sign);
            }
        };
        for (int32_t x = -above; x <= below; ++x)
            column(x, 1);
        for (int32_t x = 0; x < width; ++x) {
            if (x > 0) {
                column(x - above - 1, -1);
                column(x + below, 1);
            }
            while (lessThan + h[median] < target)
                lessThan += h[median++];
            while (lessThan >= target)
                lessThan -= h[--median];
            w.out[size_t(x) * pb + c] = uint8_t(median);
        }
    }
}

void DespeckleRow(const WindowRows& w)
{
    Median3Row(w, w.out);
    const uint8_t* centre = w.rows[1];
    for (size_t i = 0; i < w.bytes; ++i) {
        const int32_t difference = int32_t(w.out[i]) - centre[i];
        if (difference <= 128 && difference >= -128)
            w.out[i] = centre[i];
    }
}

struct Element {
    bool maximum;
    int32_t size;
    std::vector<int32_t> matrix;
};

const int16_t kBuiltInElements[8][9] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kOutside, kOutside, kOutside, 0, 0, 0, kOutside, kOutside, kOutside},
    {kOutside, 0, kOutside, kOutside, 0, kOutside, kOutside, 0, kOutside},
    {kOutside, kOutside, 0, kOutside, 0, kOutside, 0, kOutside, kOutside},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {kOutside, kOutside, kOutside, 0, 0, 0, kOutside, kOutside, kOutside},
    {kOutside, 0, kOutside, kOutside, 0, kOutside, kOutside, 0, kOutside},
    {kOutside, kOutside, 0, kOutside, 0, kOutside, 0, kOutside, kOutside},
};

int32_t ResolveElement(const PxBinaryElement* argument, Element& element)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(argument);
    if (value < 0x10000) {
        if (value > 7)
            return PX_INVALID_ARG;
        element = Element{value < 4, 3, std::vector<int32_t>(kBuiltInElements[value], kBuiltInElements[value] + 9)};
        return PX_SUCCESS;
    }
    if (argument->Dimension <= 0 || uint32_t(argument->Dimension) > kMaxWindow)
        return PX_INVALID_ARG;
    const size_t n = size_t(argument->Dimension) * size_t(argument->Dimension);
    element =
        Element{argument->Kind != 0, argument->Dimension, std::vector<int32_t>(argument->Matrix, argument->Matrix + n)};
    return PX_SUCCESS;
}

// A square element of zeros is the maximum (or minimum) of the column maxima: two passes of N
// instead of N x N comparisons.
void SquareRow(const WindowRows& w, bool maximum, std::vector<uint8_t>& columns)
{
    const int32_t n = w.size, above = (n - 1) / 2;
    const ptrdiff_t pad = ptrdiff_t(n / 2) * w.pixelBytes, length = ptrdiff_t(w.bytes) + 2 * pad;
    columns.assign(w.rows[0] - pad, w.rows[0] - pad + length);
    uint8_t* column = columns.data();
    for (int32_t r = 1; r < n; ++r) {
        const uint8_t* src = w.rows[r] - pad;
        for (ptrdiff_t i = 0; i < length; ++i)
            column[i] = maximum ? std::max(column[i], src[i]) : std::min(column[i], src[i]);
    }
    std::copy(column + pad - ptrdiff_t(above) * w.pixelBytes, column + pad - ptrdiff_t(above) * w.pixelBytes + w.bytes,
              w.out);
    for (int32_t c = 1; c < n; ++c) {
        const uint8_t* src = column + pad + ptrdiff_t(c - above) * w.pixelBytes;
        for (size_t i = 0; i < w.bytes; ++i)
            w.out[i] = maximum ? std::max(w.out[i], src[i]) : std::min(w.out[i], src[i]);
    }
}

// Maximum or minimum over the element's positions of neighbour + element, clamped.
void BinaryRow(const WindowRows& w, const Element& e)
{
    const int32_t n = e.size, above = (n - 1) / 2;
    std::memset(w.out, e.maximum ? 0 : 255, w.bytes);
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            const int32_t value = e.matrix[size_t(r) * n + c];
            if (value == kOutside)
                continue;
            const uint8_t* src = w.rows[r] + ptrdiff_t(c - above) * w.pixelBytes;
            uint8_t* out = w.out;
            if (value == 0) {
                if (e.maximum)
                    for (size_t i = 0; i < w.bytes; ++i)
                        out[i] = out[i] > src[i] ? out[i] : src[i];
                else
                    for (size_t i = 0; i < w.bytes; ++i)
                        out[i] = out[i] < src[i] ? out[i] : src[i];
                continue;
            }
            const int16_t add = int16_t(std::clamp(value, -255, 255));
            for (size_t i = 0; i < w.bytes; ++i) {
                const int16_t v = int16_t(src[i] + add);
                const uint8_t clamped = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
                out[i] = e.maximum ? (out[i] > clamped ? out[i] : clamped) : (out[i] < clamped ? out[i] : clamped);
            }
        }
    }
}

// ---- 1-bit images ----

// Whole packed rows of a 1-bit image, unpacked to one byte (0 or 1) per pixel in image order.
class BitImage {
public:
    int32_t Load(PxBitmap* bitmap)
    {
        bitmap_ = bitmap;
        width_ = bitmap->Width;
        height_ = bitmap->Height;
        try {
            pixels_.resize(size_t(width_) * height_);
            packed_.resize(bitmap->BytesPerLine);
        } catch (const std::bad_alloc&) {
            return PX_NO_MEMORY;
        }
        for (int32_t y = 0; y < height_; ++y) {
            PxGetBitmapRow(bitmap, packed_.data(), PxStorageRow(*bitmap, y), bitmap->BytesPerLine);
            for (int32_t x = 0; x < width_; ++x)
                pixels_[size_t(y) * width_ + x] = PackedIndex(packed_.data(), x, 1);
        }
        return PX_SUCCESS;
    }
    uint8_t At(int32_t x, int32_t y) const
    {
        return pixels_[size_t(std::clamp(y, 0, height_ - 1)) * width_ + size_t(std::clamp(x, 0, width_ - 1))];
    }
    // Stores image row y from one byte per pixel; the row's other stored bits stay as they are.
    void Store(int32_t y, const uint8_t* bits)
    {
        const int32_t row = PxStorageRow(*bitmap_, y);
        PxGetBitmapRow(bitmap_, packed_.data(), row, bitmap_->BytesPerLine);
        for (int32_t x = 0; x < width_; ++x)
            SetPackedIndex(packed_.data(), x, 1, bits[x]);
        PxPutBitmapRow(bitmap_, packed_.data(), row, bitmap_->BytesPerLine);
    }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

private:
    PxBitmap* bitmap_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    std::vector<uint8_t> pixels_, packed_;
};

// Writes every row through `rowBits(y, bits)` with progress over the rows.
template <typename RowBits> int32_t WriteBitRows(PxBitmap* bitmap, BitImage& image, RowBits rowBits)
{
    std::vector<uint8_t> bits(size_t(image.Width()));
    const int32_t token = PxAccessBitmap(bitmap);
    Progress progress;
    int32_t result = progress.Begin(0, 100, uint32_t(image.Height()));
    for (int32_t y = 0; y < image.Height() && result == PX_SUCCESS; ++y) {
        rowBits(y, bits.data());
        image.Store(y, bits.data());
        result = progress.Advance();
    }
    PxReleaseBitmap(bitmap, token);
    return result;
}

int32_t BinaryFilterBits(PxBitmap* bitmap, const Element& e)
{
    const int32_t answer = PxIsGreyScale(bitmap);
    if (answer != 1 && answer != 2)
        return answer;
    const uint8_t white = answer == 1 ? 1 : 0;
    const int32_t n = e.size, above = (n - 1) / 2;
    std::vector<std::pair<int32_t, int32_t>> taps;
    bool fill = false;
    for (int32_t r = 0; r < n && !fill; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            const int32_t value = e.matrix[size_t(r) * n + c];
            if (value == kOutside)
                continue;
            if (e.maximum ? value >= 128 : value < -127) {
                fill = true;
                break;
            }
            if (value >= -127 && value <= 127)
                taps.emplace_back(c - above, r - above);
        }
    }
    BitImage image;
    // Nothing to load when the whole image becomes one colour.
    const bool uniform = fill || taps.empty();
    const uint8_t uniformBit = fill == e.maximum ? white : uint8_t(1 - white);
    if (uniform) {
        std::vector<uint8_t> packed(bitmap->BytesPerLine);
        const int32_t token = PxAccessBitmap(bitmap);
        Progress progress;
        int32_t result = progress.Begin(0, 100, uint32_t(bitmap->Height));
        for (int32_t y = 0; y < bitmap->Height && result == PX_SUCCESS; ++y) {
            PxGetBitmapRow(bitmap, packed.data(), y, bitmap->BytesPerLine);
            for (int32_t x = 0; x < bitmap->Width; ++x)
                SetPackedIndex(packed.data(), x, 1, uniformBit);
            PxPutBitmapRow(bitmap, packed.data(), y, bitmap->BytesPerLine);
            result = progress.Advance();
        }
        PxReleaseBitmap(bitmap, token);
        return result;
    }
    const int32_t loaded = image.Load(bitmap);
    if (loaded != PX_SUCCESS)
        return loaded;
    // White wins a maximum and loses a minimum; in bits that is OR or AND depending on which bit is white.
    const bool anyWins = e.maximum == (white == 1);
    return WriteBitRows(bitmap, image, [&](int32_t y, uint8_t* bits) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            uint8_t v = anyWins ? 0 : 1;
            for (const auto& tap : taps) {
                const uint8_t b = image.At(x + tap.first, y + tap.second);
                v = anyWins ? uint8_t(v | b) : uint8_t(v & b);
            }
            bits[x] = v;
        }
    });
}

int32_t DespeckleBits(PxBitmap* bitmap)
{
    BitImage image;
    const int32_t result = image.Load(bitmap);
    if (result != PX_SUCCESS)
        return result;
    return WriteBitRows(bitmap, image, [&](int32_t y, uint8_t* bits) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            int32_t set = 0;
            for (int32_t dy = -1; dy <= 1; ++dy)
                for (int32_t dx = -1; dx <= 1; ++dx)
                    set += (dx || dy) ? image.At(x + dx, y + dy) : 0;
            const uint8_t bit = image.At(x, y);
            bits[x] = bit ? uint8_t(set > 1) : uint8_t(set >= 7);
        }
    });
}

} // namespace
} // namespace pximg

using namespace pximg;

int32_t P_MedianFilterBitmap(PxBitmap* bitmap, uint32_t size)
{
    if (size == 0 || size > kMaxWindow)
        return PX_INVALID_ARG;
    RowPipeline pipeline;
    const int32_t result = pipeline.Open(bitmap, false);
    if (result != PX_SUCCESS)
        return result;
    if (size == 3)
        return RunWindow(pipeline, 3, true, [](const WindowRows& w) { Median3Row(w, w.out); });
    std::vector<uint32_t> counts;
    return RunWindow(pipeline, int32_t(size), false, [&](const WindowRows& w) { MedianRow(w, counts); });
}

int32_t P_BinaryFilterBitmap(PxBitmap* bitmap, const PxBinaryElement* element)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    Element e;
    int32_t result = ResolveElement(element, e);
    if (result != PX_SUCCESS)
        return result;
    if (bitmap->BitsPerPixel == 1)
        return BinaryFilterBits(bitmap, e);
    RowPipeline pipeline;
    if ((result = pipeline.Open(bitmap, false)) != PX_SUCCESS)
        return result;
    // The 3 x 3 element runs over storage rows; larger ones map window rows through the view.
    if (std::all_of(e.matrix.begin(), e.matrix.end(), [](int32_t v) { return v == 0; })) {
        std::vector<uint8_t> columns;
        return RunWindow(pipeline, e.size, e.size == 3, [&](const WindowRows& w) { SquareRow(w, e.maximum, columns); });
    }
    return RunWindow(pipeline, e.size, e.size == 3, [&](const WindowRows& w) { BinaryRow(w, e); });
}

int32_t P_DespeckleBitmap(PxBitmap* bitmap)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (bitmap->BitsPerPixel == 1)
        return DespeckleBits(bitmap);
    RowPipeline pipeline;
    const int32_t result = pipeline.Open(bitmap, false);
    if (result != PX_SUCCESS)
        return result;
    return RunWindow(pipeline, 3, true, DespeckleRow);
}
