#include "converter/import2d/Palettizer.h"

#include "core/output/ZOutput.h"

#include <algorithm>
#include <vector>

namespace {

const unsigned long HashBuckets = 40031;
const size_t MaxColours = 0x400000;

unsigned long Bucket(const CPixel& c)
{
    return (c.R * 66029u + c.G * 60013u + c.B * 54011u + c.A * 48017u) % HashBuckets;
}

struct HistogramEntry {
    CPixel colour;
    unsigned long count;
};

// Colours chained per bucket in the order they were first seen.
class ColourHash {
public:
    ColourHash() : m_Buckets(HashBuckets) {}
    // The entry of the colour, added with the value when missing; null when the table is full.
    HistogramEntry* Find(const CPixel& colour)
    {
        for (HistogramEntry& entry : m_Buckets[Bucket(colour)])
            if (entry.colour == colour)
                return &entry;
        return nullptr;
    }
    HistogramEntry& Add(const CPixel& colour, unsigned long value)
    {
        std::vector<HistogramEntry>& chain = m_Buckets[Bucket(colour)];
        chain.push_back({colour, value});
        ++m_Count;
        return chain.back();
    }
    size_t Count() const { return m_Count; }
    std::vector<HistogramEntry> Histogram() const
    {
        std::vector<HistogramEntry> all;
        all.reserve(m_Count);
        for (const auto& chain : m_Buckets)
            all.insert(all.end(), chain.begin(), chain.end());
        return all;
    }

private:
    std::vector<std::vector<HistogramEntry>> m_Buckets;
    size_t m_Count = 0;
};

struct Box {
    size_t first, colours;
    unsigned long long sum;
};

unsigned char Channel(const CPixel& c, int channel)
{
    return channel == 0 ? c.R : channel == 1 ? c.G : channel == 2 ? c.B : c.A;
}

// Splits the box at the median of its widest channel (alpha wins ties, then red, then green).
Box SplitBox(std::vector<HistogramEntry>& histogram, Box& box)
{
    int low[4] = {255, 255, 255, 255}, high[4] = {0, 0, 0, 0};
    for (size_t i = box.first; i < box.first + box.colours; ++i)
        for (int c = 0; c < 4; ++c) {
            low[c] = std::min<int>(low[c], Channel(histogram[i].colour, c));
            high[c] = std::max<int>(high[c], Channel(histogram[i].colour, c));
        }
    const int r = high[0] - low[0], g = high[1] - low[1], b = high[2] - low[2], a = high[3] - low[3];
    const int channel = (a >= r && a >= g && a >= b) ? 3 : (r >= g && r >= b) ? 0 : (g >= b) ? 1 : 2;
    auto begin = histogram.begin() + box.first;
    std::stable_sort(begin, begin + box.colours, [channel](const HistogramEntry& x, const HistogramEntry& y) {
        return Channel(x.colour, channel) < Channel(y.colour, channel);
    });
    unsigned long long accumulated = 0;
    size_t split = box.colours - 1;
    for (size_t i = 0; i < box.colours; ++i) {
        accumulated += histogram[box.first + i].count;
        if (accumulated * 2 >= box.sum) {
            split = std::max<size_t>(i, 1);
            break;
        }
    }
    Box upper{box.first + split, box.colours - split, 0};
    for (size_t i = upper.first; i < upper.first + upper.colours; ++i)
        upper.sum += histogram[i].count;
    box.colours = split;
    box.sum -= upper.sum;
    return upper;
}

CPixel BoxColour(const std::vector<HistogramEntry>& histogram, const Box& box)
{
    unsigned long long sum[4] = {};
    for (size_t i = box.first; i < box.first + box.colours; ++i)
        for (int c = 0; c < 4; ++c)
            sum[c] += static_cast<unsigned long long>(Channel(histogram[i].colour, c)) * histogram[i].count;
    if (box.sum == 0)
        return histogram[box.first].colour;
    return CPixel(static_cast<unsigned char>(sum[0] / box.sum), static_cast<unsigned char>(sum[1] / box.sum),
                  static_cast<unsigned char>(sum[2] / box.sum), static_cast<unsigned char>(sum[3] / box.sum));
}

std::vector<CPixel> MedianCut(std::vector<HistogramEntry>& histogram, int entries)
{
    std::vector<CPixel> colours;
    if (histogram.size() <= size_t(entries)) {
        for (const HistogramEntry& entry : histogram)
            colours.push_back(entry.colour);
        return colours;
    }
    std::vector<Box> boxes{{0, histogram.size(), 0}};
    for (const HistogramEntry& entry : histogram)
        boxes[0].sum += entry.count;
    auto bySum = [](const Box& x, const Box& y) { return x.sum > y.sum; };
    while (boxes.size() < size_t(entries)) {
        auto box = std::find_if(boxes.begin(), boxes.end(), [](const Box& b) { return b.colours >= 2; });
        if (box == boxes.end())
            break;
        Box upper = SplitBox(histogram, *box);
        boxes.push_back(upper);
        std::stable_sort(boxes.begin(), boxes.end(), bySum);
    }
    for (const Box& box : boxes)
        colours.push_back(BoxColour(histogram, box));
    return colours;
}

unsigned char Nearest(const CPixel& pixel, const CPixel* palette, int used, bool transparent)
{
    long best = -1;
    int index = 0;
    for (int i = 0; i < used; ++i) {
        const CPixel& e = palette[i];
        if (transparent && e.A < 128)
            continue;
        const long dr = long(pixel.R) - e.R, dg = long(pixel.G) - e.G, db = long(pixel.B) - e.B;
        const long da = transparent ? 0 : long(pixel.A) - e.A;
        const long distance = dr * dr + dg * dg + db * db + da * da;
        if (best < 0 || distance < best) {
            best = distance;
            index = i;
        }
    }
    return static_cast<unsigned char>(index);
}

} // namespace

void Palettize(unsigned char* indices, CPixel* palette, const CPixel* pixels, int height, int width, int entries,
               bool transparent, const CPixel* reserved)
{
    const size_t count = size_t(height) * size_t(width);
    ColourHash counts;
    bool anyTransparent = false;
    for (size_t i = 0; i < count; ++i) {
        if (transparent && pixels[i].A < 128) {
            anyTransparent = true;
            continue;
        }
        if (HistogramEntry* entry = counts.Find(pixels[i])) {
            ++entry->count;
            continue;
        }
        if (counts.Count() >= MaxColours)
            vbail("Too many colors to palettize.\n%s,%d\n", "palettizer", __LINE__);
        counts.Add(pixels[i], 1);
    }
    std::vector<HistogramEntry> histogram = counts.Histogram();
    // Transparent pixels keep entry 0 for themselves; the opaque colours share the rest.
    const int first = transparent && anyTransparent ? 1 : 0;
    std::vector<CPixel> colours = MedianCut(histogram, entries - first);
    std::fill(palette, palette + entries, CPixel::Zero);
    if (first)
        palette[0] = reserved ? CPixel(reserved->R, reserved->G, reserved->B, 0) : CPixel::Zero;
    std::copy(colours.begin(), colours.end(), palette + first);
    const int used = first + static_cast<int>(colours.size());

    ColourHash cache;
    for (size_t i = 0; i < count; ++i) {
        if (const HistogramEntry* known = cache.Find(pixels[i])) {
            indices[i] = static_cast<unsigned char>(known->count);
            continue;
        }
        const unsigned char index =
            transparent && pixels[i].A < 128 ? 0 : Nearest(pixels[i], palette, used, transparent);
        cache.Add(pixels[i], index);
        indices[i] = index;
    }
}
