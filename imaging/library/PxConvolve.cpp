// Convolution with square integer kernels, the sharpen and emboss kernels built on it, and the
// running-sum box mean.
#include "PXIMG60N.h"
#include "PxPixels.h"
#include "PxWindow.h"

#include <cstdlib>
#include <numeric>
#include <type_traits>
#include <cstring>
#include <vector>

namespace pximg {
namespace {

struct BuiltInKernel {
    int32_t bias;
    int8_t matrix[9];
};

const BuiltInKernel kBuiltInKernels[33] = {
    {128, {0, 1, 0, 0, 0, 0, 0, -1, 0}},    {128, {0, 0, 1, 0, 0, 0, -1, 0, 0}},
    {128, {0, 0, 0, -1, 0, 1, 0, 0, 0}},    {128, {-1, 0, 0, 0, 0, 0, 0, 0, 1}},
    {128, {0, -1, 0, 0, 0, 0, 0, 1, 0}},    {128, {0, 0, -1, 0, 0, 0, 1, 0, 0}},
    {128, {0, 0, 0, 1, 0, -1, 0, 0, 0}},    {128, {1, 0, 0, 0, 0, 0, 0, 0, -1}},
    {0, {1, 1, 1, 1, -2, 1, -1, -1, -1}},   {0, {1, 1, 1, -1, -2, 1, -1, -1, 1}},
    {0, {-1, 1, 1, -1, -2, 1, -1, 1, 1}},   {0, {-1, -1, 1, -1, -2, 1, 1, 1, 1}},
    {0, {-1, -1, -1, 1, -2, 1, 1, 1, 1}},   {0, {1, -1, -1, 1, -2, -1, 1, 1, 1}},
    {0, {1, 1, -1, 1, -2, -1, 1, 1, -1}},   {0, {1, 1, 1, 1, -2, -1, 1, -1, -1}},
    {0, {0, -1, 0, -1, 4, -1, 0, -1, 0}},   {0, {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
    {0, {1, -2, 1, -2, 4, -2, 1, -2, 1}},   {0, {-1, 0, -1, 0, 4, 0, -1, 0, -1}},
    {0, {0, -1, 0, 0, 2, 0, 0, -1, 0}},     {0, {0, 0, 0, -1, 2, -1, 0, 0, 0}},
    {0, {1, 2, 1, 0, 0, 0, -1, -2, -1}},    {0, {1, 0, -1, 2, 0, -2, 1, 0, -1}},
    {0, {-1, -1, -1, 0, 0, 0, 1, 1, 1}},    {0, {1, 0, -1, 1, 0, -1, 1, 0, -1}},
    {0, {-1, 0, 0, 0, 1, 0, 0, 0, 0}},      {0, {0, -1, 0, 0, 1, 0, 0, 0, 0}},
    {0, {0, 0, 0, -1, 1, 0, 0, 0, 0}},      {0, {-1, -1, -1, 2, 2, 2, -1, -1, -1}},
    {0, {-1, 2, -1, -1, 2, -1, -1, 2, -1}}, {0, {-1, -1, 2, -1, 2, -1, 2, -1, -1}},
    {0, {2, -1, -1, -1, 2, -1, -1, -1, 2}},
};

// A kernel in the form the engine runs: divisor, bias, N and the coefficients.
struct Kernel {
    int32_t divisor;
    int32_t bias;
    int32_t size;
    std::vector<int32_t> matrix;
};

int32_t ResolveKernel(const PxSpatialKernel* argument, Kernel& kernel)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(argument);
    if (value < 0x10000) {
        if (value > 32)
            return PX_INVALID_ARG;
        const BuiltInKernel& k = kBuiltInKernels[value];
        kernel = Kernel{1, k.bias, 3, std::vector<int32_t>(k.matrix, k.matrix + 9)};
        return PX_SUCCESS;
    }
    if (argument->Divisor == 0 || argument->Dimension <= 0 || uint32_t(argument->Dimension) > kMaxWindow)
        return PX_INVALID_ARG;
    const size_t n = size_t(argument->Dimension) * size_t(argument->Dimension);
    kernel = Kernel{argument->Divisor, argument->Bias, argument->Dimension,
                    std::vector<int32_t>(argument->Matrix, argument->Matrix + n)};
    return PX_SUCCESS;
}

// Turns window sums into output bytes: clamp(s + bias) for divisor 1, clamp(s / divisor + bias)
// otherwise, the division truncating toward zero. Sums of a small range go through a table.
class Finisher {
public:
    Finisher(const Kernel& k, int64_t low, int64_t high) : kernel_(k), low_(low)
    {
        if (high - low < (int64_t(1) << 20)) {
            table_.resize(size_t(high - low + 1));
            for (int64_t s = low; s <= high; ++s)
                table_[size_t(s - low)] = Finish(s);
        }
    }
    bool HasTable() const { return !table_.empty(); }
    const uint8_t* Table() const { return table_.data(); }
    int64_t Low() const { return low_; }
    uint8_t Finish(int64_t s) const
    {
        const int64_t v = (kernel_.divisor == 1 ? s : s / kernel_.divisor) + kernel_.bias;
        return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }

private:
    const Kernel& kernel_;
    int64_t low_;
    std::vector<uint8_t> table_;
};

// acc[i] += coefficient x src[i]. Coefficients that fit 16 bits multiply as 16-bit values,
// which SSE2 widens to 32 bits without emulating 32-bit multiplies.
template <typename Sum> void MultiplyAdd(Sum* acc, const uint8_t* src, int32_t coefficient, ptrdiff_t count)
{
    if (std::is_same<Sum, int32_t>::value && coefficient >= INT16_MIN && coefficient <= INT16_MAX) {
        const int16_t c = int16_t(coefficient);
        for (ptrdiff_t i = 0; i < count; ++i)
            acc[i] += Sum(int16_t(src[i]) * c);
    } else {
        for (ptrdiff_t i = 0; i < count; ++i)
            acc[i] += Sum(coefficient) * Sum(src[i]);
    }
}

// A kernel that is the product of a column and a row (a binomial or box kernel, say) sums
// exactly the same in two passes of N instead of N x N products per value.
struct Separable {
    std::vector<int32_t> column, row;
};

bool Separate(const Kernel& k, Separable& out)
{
    const int32_t n = k.size;
    auto at = [&](int32_t r, int32_t c) { return int64_t(k.matrix[size_t(r) * n + c]); };
    int32_t r0 = -1, c0 = -1;
    for (int32_t i = 0; i < n * n && r0 < 0; ++i)
        if (k.matrix[size_t(i)] != 0)
            r0 = i / n, c0 = i % n;
    if (r0 < 0 || n < 3)
        return false;
    for (int32_t r = 0; r < n; ++r)
        for (int32_t c = 0; c < n; ++c)
            if (at(r, c) * at(r0, c0) != at(r, c0) * at(r0, c))
                return false;
    // The pivot row divided by its common factor is primitive, so every row is a whole multiple of it.
    int64_t common = 0;
    for (int32_t c = 0; c < n; ++c)
        common = std::gcd(common, at(r0, c));
    out.row.clear();
    out.column.clear();
    for (int32_t c = 0; c < n; ++c)
        out.row.push_back(int32_t(at(r0, c) / common));
    for (int32_t r = 0; r < n; ++r)
        out.column.push_back(int32_t(at(r, c0) / out.row[size_t(c0)]));
    int64_t columnSum = 0, rowSum = 0;
    for (int32_t v : out.column)
        columnSum += std::abs(int64_t(v));
    for (int32_t v : out.row)
        rowSum += std::abs(int64_t(v));
    // Only when the vertical sums fit 16 bits, so the horizontal pass stays a 16-bit multiply.
    return columnSum * 255 <= INT16_MAX && columnSum * 255 * rowSum <= INT32_MAX;
}

template <typename Sum> void Finish(const WindowRows& w, const Finisher& finisher, const Sum* acc)
{
    if (finisher.HasTable()) {
        const uint8_t* table = finisher.Table();
        const Sum low = Sum(finisher.Low());
        for (size_t i = 0; i < w.bytes; ++i)
            w.out[i] = table[acc[i] - low];
    } else {
        for (size_t i = 0; i < w.bytes; ++i)
            w.out[i] = finisher.Finish(acc[i]);
    }
}

template <typename Sum>
void ConvolveRow(const WindowRows& w, const Kernel& k, const Finisher& finisher, std::vector<Sum>& sums)
{
    const int32_t n = k.size, above = (n - 1) / 2;
    sums.assign(w.bytes, 0);
    Sum* acc = sums.data();
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            const int32_t coefficient = k.matrix[size_t(r) * n + c];
            if (coefficient != 0)
                MultiplyAdd(acc, w.rows[r] + ptrdiff_t(c - above) * w.pixelBytes, coefficient, ptrdiff_t(w.bytes));
        }
    }
    Finish(w, finisher, acc);
}

// Vertical then horizontal pass. Vertical is the vertical-sum type, Sum the total's: kernels of
// non-negative coefficients whose totals stay below 65536 run entirely in unsigned 16 bits.
template <typename Vertical, typename Sum>
void ConvolveSeparableRow(const WindowRows& w, const Separable& s, const Finisher& finisher,
                          std::vector<Vertical>& vertical, std::vector<Sum>& sums)
{
    const int32_t n = int32_t(s.row.size()), above = (n - 1) / 2;
    // Vertical sums over the padded row, so the horizontal pass can reach past both ends.
    const ptrdiff_t pad = ptrdiff_t(n / 2) * w.pixelBytes, length = ptrdiff_t(w.bytes) + 2 * pad;
    vertical.assign(size_t(length), 0);
    for (int32_t r = 0; r < n; ++r) {
        const Vertical c = Vertical(s.column[size_t(r)]);
        const uint8_t* src = w.rows[r] - pad;
        Vertical* v = vertical.data();
        if (c != 0)
            for (ptrdiff_t i = 0; i < length; ++i)
                v[i] = Vertical(v[i] + Vertical(src[i]) * c);
    }
    sums.assign(w.bytes, 0);
    Sum* acc = sums.data();
    for (int32_t c = 0; c < n; ++c) {
        const Vertical coefficient = Vertical(s.row[size_t(c)]);
        const Vertical* v = vertical.data() + pad + ptrdiff_t(c - above) * w.pixelBytes;
        if (coefficient != 0)
            for (size_t i = 0; i < w.bytes; ++i)
                acc[i] = Sum(acc[i] + Sum(v[i] * coefficient));
    }
    Finish(w, finisher, acc);
}

int32_t Convolve(PxBitmap* bitmap, const Kernel& kernel)
{
    RowPipeline pipeline;
    int32_t result = pipeline.Open(bitmap, false);
    if (result != PX_SUCCESS)
        return result;
    int64_t low = 0, high = 0;
    for (int32_t c : kernel.matrix)
        (c < 0 ? low : high) += int64_t(c) * 255;
    const Finisher finisher(kernel, low, high);
    // The 3 x 3 kernels run over storage rows; larger ones map window rows through the view.
    const bool storageOrder = kernel.size == 3;
    Separable separable;
    if (Separate(kernel, separable)) {
        if (low == 0 && high <= UINT16_MAX) {
            std::vector<uint16_t> vertical, sums;
            return RunWindow(pipeline, kernel.size, storageOrder, [&](const WindowRows& w) {
                ConvolveSeparableRow(w, separable, finisher, vertical, sums);
            });
        }
        std::vector<int16_t> vertical;
        std::vector<int32_t> sums;
        return RunWindow(pipeline, kernel.size, storageOrder,
                         [&](const WindowRows& w) { ConvolveSeparableRow(w, separable, finisher, vertical, sums); });
    }
    if (low >= INT32_MIN && high <= INT32_MAX) {
        std::vector<int32_t> sums;
        return RunWindow(pipeline, kernel.size, storageOrder,
                         [&](const WindowRows& w) { ConvolveRow(w, kernel, finisher, sums); });
    }
    std::vector<int64_t> sums;
    return RunWindow(pipeline, kernel.size, storageOrder,
                     [&](const WindowRows& w) { ConvolveRow(w, kernel, finisher, sums); });
}

} // namespace
} // namespace pximg

using namespace pximg;

int32_t P_SpatialFilterBitmap(PxBitmap* bitmap, const PxSpatialKernel* kernel)
{
    Kernel resolved;
    const int32_t result = ResolveKernel(kernel, resolved);
    return result == PX_SUCCESS ? Convolve(bitmap, resolved) : result;
}

int32_t P_SharpenBitmap(PxBitmap* bitmap, int32_t amount)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (amount == 0)
        return PX_SUCCESS;
    if (amount < -1000 || amount > 1000)
        return PX_INVALID_ARG;
    Kernel kernel{0, 0, 3, {}};
    if (amount > 0) {
        const int32_t b = (71000 - 71 * amount) / 999;
        kernel.matrix.assign(9, -1);
        kernel.matrix[4] = b + 9;
        kernel.divisor = b + 1;
    } else {
        const int32_t b = (71 * amount + 71000) / 999;
        kernel.matrix.assign(9, 1);
        kernel.matrix[4] = b + 1;
        kernel.divisor = b + 9;
    }
    return Convolve(bitmap, kernel);
}

int32_t P_EmbossBitmap(PxBitmap* bitmap, uint32_t direction, uint32_t depth)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (direction > 7 || depth > 1000)
        return PX_INVALID_ARG;
    const int32_t d = int32_t(depth);
    Kernel kernel{1, 128, 3, std::vector<int32_t>(9, 0)};
    int32_t b = 1;
    if (d > 500)
        b = (16 * d - 7750) / 500 + 1;
    else
        kernel.divisor = (8250 - 16 * d) / 500 + 1;
    // Window positions (row x 3 + column) of +b and -b for each direction.
    static const int kPlus[8] = {1, 2, 5, 8, 7, 6, 3, 0}, kMinus[8] = {7, 6, 3, 0, 1, 2, 5, 8};
    kernel.matrix[size_t(kPlus[direction])] = b;
    kernel.matrix[size_t(kMinus[direction])] = -b;
    return Convolve(bitmap, kernel);
}

int32_t P_AverageFilterBitmap(PxBitmap* bitmap, uint32_t size)
{
    if (size == 0 || size > kMaxWindow)
        return PX_INVALID_ARG;
    RowPipeline pipeline;
    int32_t result = pipeline.Open(bitmap, false);
    if (result != PX_SUCCESS)
        return result;
    const int32_t n = int32_t(size), width = pipeline.Width(), height = pipeline.Height();
    const int32_t pb = pipeline.PixelBytes(), above = (n - 1) / 2, below = n / 2;
    const size_t bytes = pipeline.WorkingRowBytes();
    // Horizontal window sums of every input row still inside some window, by storage row.
    const int32_t ringRows = std::min(n, height) + 1;
    std::vector<uint32_t> rowSums;
    std::vector<uint64_t> total;
    std::vector<uint8_t> in, out;
    try {
        rowSums.resize(bytes * size_t(ringRows));
        total.assign(bytes, 0);
        in.resize(bytes);
        out.resize(bytes);
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    auto sumsOf = [&](int32_t row) { return rowSums.data() + size_t(row % ringRows) * bytes; };
    auto load = [&](int32_t row) {
        int32_t r = pipeline.ReadRow(in.data(), row);
        uint32_t* sums = sumsOf(row);
        for (int32_t c = 0; c < pb; ++c) {
            auto at = [&](int32_t x) { return uint32_t(in[size_t(std::clamp(x, 0, width - 1)) * pb + c]); };
            uint32_t s = 0;
            for (int32_t x = -above; x <= below; ++x)
                s += at(x);
            for (int32_t x = 0; x < width; ++x) {
                sums[size_t(x) * pb + c] = s;
                s += at(x + below + 1) - at(x - above);
            }
        }
        return r;
    };
    auto addRow = [&](int32_t row, int32_t sign) {
        const uint32_t* sums = sumsOf(row);
        for (size_t i = 0; i < bytes; ++i)
            total[i] = sign > 0 ? total[i] + sums[i] : total[i] - sums[i];
    };
    result = pipeline.BeginProgress(0, 100, uint32_t(height));
    int32_t next = 0;
    auto ensure = [&](int32_t row) {
        for (; result == PX_SUCCESS && next <= row; ++next)
            result = load(next);
    };
    ensure(std::min(below, height - 1));
    for (int32_t k = -above; k <= below && result == PX_SUCCESS; ++k)
        addRow(std::clamp(k, 0, height - 1), 1);
    const uint64_t area = uint64_t(n) * uint64_t(n);
    for (int32_t y = 0; y < height && result == PX_SUCCESS; ++y) {
        for (size_t i = 0; i < bytes; ++i) {
            const uint64_t mean = total[i] / area;
            out[i] = uint8_t(mean > 255 ? 255 : mean);
        }
        if ((result = pipeline.WriteRow(out.data(), y)) != PX_SUCCESS)
            break;
        const int32_t entering = std::min(y + below + 1, height - 1);
        ensure(entering);
        addRow(std::clamp(y - above, 0, height - 1), -1);
        addRow(entering, 1);
    }
    return result;
}
