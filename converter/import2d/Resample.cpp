// Separable resampling with a table of reconstruction filters, in 16-bit fixed-point weights.
#include "converter/import2d/CzBitmap.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double Pi = 3.14159265358979323846;
const int One = 16384; // a weight of 1.0

double BoxFilter(double x) { return x >= -0.5 && x < 0.5 ? 1.0 : 0.0; }
double TriangleFilter(double x)
{
    x = std::fabs(x);
    return x < 1.0 ? 1.0 - x : 0.0;
}
double QuadraticFilter(double x)
{
    x = std::fabs(x);
    if (x < 0.5)
        return 0.75 - x * x;
    if (x < 1.5)
        return (x - 1.5) * (x - 1.5) / 2.0;
    return 0.0;
}
double CubicFilter(double x)
{
    x = std::fabs(x);
    if (x < 1.0)
        return (3.0 * x * x * x - 6.0 * x * x + 4.0) / 6.0;
    if (x < 2.0)
        return (2.0 - x) * (2.0 - x) * (2.0 - x) / 6.0;
    return 0.0;
}
double CatromFilter(double x)
{
    x = std::fabs(x);
    if (x < 1.0)
        return (3.0 * x * x * x - 5.0 * x * x + 2.0) / 2.0;
    if (x < 2.0)
        return (-x * x * x + 5.0 * x * x - 8.0 * x + 4.0) / 2.0;
    return 0.0;
}
double GaussianFilter(double x) { return std::exp(-2.0 * x * x) * std::sqrt(2.0 / Pi); }
double SincFilter(double x) { return x == 0.0 ? 1.0 : std::sin(Pi * x) / (Pi * x); }
double BesselFilter(double x) { return x == 0.0 ? Pi / 4.0 : ::j1(Pi * x) / (2.0 * x); }

struct Filter {
    const char* name;
    double support;
    double (*function)(double);
};

const Filter Filters[] = {
    {"Point", 0.0, BoxFilter},           {"Box", 0.5, BoxFilter},     {"Triangle", 1.0, TriangleFilter},
    {"Quadratic", 1.5, QuadraticFilter}, {"Cubic", 2.0, CubicFilter}, {"Catrom", 2.0, CatromFilter},
    {"Gaussian", 1.25, GaussianFilter},  {"Sinc", 4.0, SincFilter},   {"Bessel", 3.2383, BesselFilter},
};
const int FilterCount = sizeof Filters / sizeof Filters[0];

struct Taps {
    int first = 0;
    std::vector<int> weights;
};

// One entry per output position: where its window starts and its fixed-point weights.
std::vector<Taps> WeightTable(int oldSize, int newSize, const Filter& filter)
{
    const double scale = double(newSize) / oldSize;
    const double widen = std::max(1.0, 1.0 / scale);
    const double radius = std::max(0.5, filter.support * widen);
    std::vector<Taps> table(newSize);
    for (int x = 0; x < newSize; ++x) {
        const double centre = (x + 0.5) / scale;
        const int start = std::max(0, static_cast<int>(centre - radius + 0.49));
        const int end = std::min(oldSize, static_cast<int>(centre + radius + 0.49));
        std::vector<double> real;
        double sum = 0;
        for (int i = start; i < end; ++i) {
            real.push_back(filter.function((i + 0.5 - centre) / widen));
            sum += real.back();
        }
        const double normaliser = sum == 0 ? One : One / sum;
        std::vector<int> weights;
        for (double w : real)
            weights.push_back(std::clamp(static_cast<int>(std::floor(w * normaliser + 0.5)), -32768, 32767));
        int first = start, last = end; // taps [first, last)
        while (first < last && weights[first - start] == 0)
            ++first;
        while (last > first && weights[last - 1 - start] == 0)
            --last;
        Taps& taps = table[x];
        if (first == last) {
            taps.first = std::clamp((start + std::max(start, end - 1)) / 2, 0, oldSize - 1);
            taps.weights = {One};
            continue;
        }
        taps.first = first;
        taps.weights.assign(weights.begin() + (first - start), weights.begin() + (last - start));
        int total = 0;
        for (int w : taps.weights)
            total += w;
        const int fix = std::clamp(static_cast<int>(centre + 0.5), first, last - 1);
        taps.weights[fix - first] += One - total;
    }
    return table;
}

// Horizontal pass into values with 6 fractional bits, then the vertical pass rounding from 2^20.
std::vector<CPixel> Scale(const std::vector<CPixel>& source, int oldWidth, int oldHeight, int newWidth, int newHeight,
                          const Filter& filter)
{
    const std::vector<Taps> columns = WeightTable(oldWidth, newWidth, filter);
    const std::vector<Taps> rows = WeightTable(oldHeight, newHeight, filter);
    std::vector<int> across(size_t(oldHeight) * newWidth * 4);
    for (int y = 0; y < oldHeight; ++y) {
        const CPixel* in = &source[size_t(y) * oldWidth];
        int* out = &across[size_t(y) * newWidth * 4];
        for (int x = 0; x < newWidth; ++x, out += 4) {
            const Taps& taps = columns[x];
            int sum[4] = {};
            for (size_t t = 0; t < taps.weights.size(); ++t) {
                const CPixel& p = in[taps.first + t];
                const int w = taps.weights[t];
                sum[0] += p.R * w;
                sum[1] += p.G * w;
                sum[2] += p.B * w;
                sum[3] += p.A * w;
            }
            for (int c = 0; c < 4; ++c)
                out[c] = sum[c] >> 8;
        }
    }
    std::vector<CPixel> result(size_t(newWidth) * newHeight);
    for (int y = 0; y < newHeight; ++y) {
        const Taps& taps = rows[y];
        for (int x = 0; x < newWidth; ++x) {
            long long sum[4] = {};
            for (size_t t = 0; t < taps.weights.size(); ++t) {
                const int* p = &across[(size_t(taps.first + t) * newWidth + x) * 4];
                for (int c = 0; c < 4; ++c)
                    sum[c] += static_cast<long long>(p[c]) * taps.weights[t];
            }
            unsigned char v[4];
            for (int c = 0; c < 4; ++c)
                v[c] = static_cast<unsigned char>(std::clamp<long long>((sum[c] + (1 << 19)) >> 20, 0, 255));
            result[size_t(y) * newWidth + x] = CPixel(v[0], v[1], v[2], v[3]);
        }
    }
    return result;
}

} // namespace

void CzBitmap::Resample(int newWidth, int newHeight, int colourFilter, int alphaFilter)
{
    if (newWidth < 1 || newHeight < 1 || m_Pixels.empty() || m_Width < 1 || m_Height < 1)
        return;
    if (static_cast<unsigned long long>(newWidth) * newHeight > (64ull << 20)) {
        CheckResult("Resample()", -11);
        return;
    }
    colourFilter = std::clamp(colourFilter, 0, FilterCount - 1);
    alphaFilter = std::clamp(alphaFilter, 0, FilterCount - 1);
    std::vector<CPixel> result = Scale(m_Pixels, m_Width, m_Height, newWidth, newHeight, Filters[colourFilter]);
    if (alphaFilter != colourFilter) {
        const std::vector<CPixel> alpha = Scale(m_Pixels, m_Width, m_Height, newWidth, newHeight, Filters[alphaFilter]);
        for (size_t i = 0; i < result.size(); ++i)
            result[i].A = alpha[i].A;
    }
    m_Pixels.swap(result);
    m_Width = newWidth;
    m_Height = newHeight;
    m_IndexImage.clear();
    m_Palette.clear();
}
