// Convolution, median, morphology and despeckle against scipy.ndimage and numpy on random
// images, plus the pinned kernels, 1-bit paths and view-perspective addressing.
#include "PxTestSupport.h"

#include <functional>

using namespace pxtest;

namespace {

struct Case {
    const char* name;
    std::function<int32_t(PxBitmap*)> apply;
    std::string oracle; // oracle operation and arguments
};

std::string Join(const std::vector<int32_t>& values)
{
    std::string text;
    for (int32_t v : values)
        text += " " + std::to_string(v);
    return text;
}

// Applies the case to a random image and adds the check to the batch.
void AddCase(OracleBatch& batch, const Case& c, int32_t bits, int32_t order, int32_t view, int32_t width = 37,
             int32_t height = 29)
{
    Bitmap bitmap(width, height, bits, order, view);
    FillRandom(bitmap.record, uint32_t(width * 131 + bits));
    const bool grey = bits == 8;
    const std::string in = batch.Input(bitmap.record, grey);
    const std::string name = std::string(c.name) + "/" + std::to_string(bits) + "bpp/order" + std::to_string(order) +
                             "/view" + std::to_string(view) + "/" + std::to_string(width);
    ASSERT_EQ(c.apply(bitmap.get()), PX_SUCCESS) << name;
    const std::string out = batch.Write(bitmap.record, grey);
    const size_t space = c.oracle.find(' ');
    batch.Add(name, c.oracle.substr(0, space), in, out, space == std::string::npos ? "" : c.oracle.substr(space));
}

const std::vector<int32_t> kKernel5 = {3, -7, 2, 1, 5, 0, 4, -1, 6, -2, 1, 1, 9, 1, 1, -3, 2, 0, 8, -4, 1, 5, -6, 2, 3};

std::vector<Case> ScipyCases()
{
    static std::vector<int32_t> kernel5 = [] {
        std::vector<int32_t> k = {7, 20, 5};
        k.insert(k.end(), kKernel5.begin(), kKernel5.end());
        return k;
    }();
    // Separable kernels: a binomial of non-negative coefficients and one with negative ones.
    static std::vector<int32_t> binomial = {256, 3,  5,  1, 4, 6,  4,  1,  4, 16, 24, 16, 4, 6,
                                            24,  36, 24, 6, 4, 16, 24, 16, 4, 1,  4,  6,  4, 1};
    static std::vector<int32_t> signedSeparable = {-3, 100, 3, 2, -4, 2, -1, 2, -1, 3, -6, 3};
    static std::vector<int32_t> kernel4 = {1, -40, 4, 1, 2, 3, 4, 0, -1, 0, 1, 2, 2, -2, 2, 1, 0, 0, 1};
    static std::vector<int32_t> element = {0, 3, 256, -20, 256, 5, 0, 30, 256, -100, 256};
    static std::vector<int32_t> element5 = {1, 5,   0, 256, -9, 256, 0,  256, 12, 256, 0,   256, 40, 256,
                                            0, 256, 7, 256, 0,  256, -3, 256, 0,  256, 256, 256, 2};
    return {
        {"builtin17", [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(17)); },
         "correlate 1 0 3 -1 -1 -1 -1 8 -1 -1 -1 -1"},
        {"builtin3", [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(3)); },
         "correlate 1 128 3 -1 0 0 0 0 0 0 0 1"},
        {"kernel5",
         [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(kernel5.data())); },
         "correlate" + Join(kernel5)},
        {"kernel4",
         [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(kernel4.data())); },
         "correlate" + Join(kernel4)},
        {"sharpen1000", [](PxBitmap* b) { return P_SharpenBitmap(b, 1000); },
         "correlate 1 0 3 -1 -1 -1 -1 9 -1 -1 -1 -1"},
        {"sharpenMinus1000", [](PxBitmap* b) { return P_SharpenBitmap(b, -1000); },
         "correlate 9 0 3 1 1 1 1 1 1 1 1 1"},
        {"emboss0", [](PxBitmap* b) { return P_EmbossBitmap(b, 0, 0); }, "correlate 17 128 3 0 1 0 0 0 0 0 -1 0"},
        {"emboss3depth1000", [](PxBitmap* b) { return P_EmbossBitmap(b, 3, 1000); },
         "correlate 1 128 3 -17 0 0 0 0 0 0 0 17"},
        {"binomial",
         [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(binomial.data())); },
         "correlate" + Join(binomial)},
        {"signedSeparable",
         [](PxBitmap* b) {
             return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(signedSeparable.data()));
         },
         "correlate" + Join(signedSeparable)},
        {"average4", [](PxBitmap* b) { return P_AverageFilterBitmap(b, 4); }, "average 4"},
        {"average7", [](PxBitmap* b) { return P_AverageFilterBitmap(b, 7); }, "average 7"},
        {"median3", [](PxBitmap* b) { return P_MedianFilterBitmap(b, 3); }, "median 3"},
        {"median5", [](PxBitmap* b) { return P_MedianFilterBitmap(b, 5); }, "median 5"},
        {"median4", [](PxBitmap* b) { return P_MedianFilterBitmap(b, 4); }, "median 4"},
        {"dilate", [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(0)); },
         "dilate"},
        {"erode", [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(4)); }, "erode"},
        {"builtin6", [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(6)); },
         "additive 0 3 256 0 256 256 0 256 256 0 256"},
        {"additive3",
         [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(element.data())); },
         "additive" + Join(element)},
        {"additive5",
         [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(element5.data())); },
         "additive" + Join(element5)},
    };
}

} // namespace

TEST(PximgFilter, EqualsScipyOnRandomImages)
{
    OracleBatch batch;
    const std::vector<Case> cases = ScipyCases();
    for (const Case& c : cases) {
        AddCase(batch, c, 8, PX_ORDER_BGR, PX_VIEW_TOP_DOWN);
        AddCase(batch, c, 24, PX_ORDER_BGR, PX_VIEW_TOP_DOWN);
    }
    // Other colour layouts and sizes smaller than the window give the same results.
    for (size_t i : {2u, 4u, 10u, 13u, 14u, 18u, 19u}) {
        AddCase(batch, cases[i], 24, PX_ORDER_RGB, PX_VIEW_TOP_DOWN);
        AddCase(batch, cases[i], 32, PX_ORDER_BGR, PX_VIEW_TOP_DOWN);
        AddCase(batch, cases[i], 32, PX_ORDER_RGB, PX_VIEW_TOP_DOWN, 5, 3);
        AddCase(batch, cases[i], 24, PX_ORDER_BGR, PX_VIEW_TOP_DOWN, 1, 1);
    }
    // Rank filters pick one of the input values, so 16-bit fields widen and narrow back exactly.
    for (size_t i : {12u, 13u, 15u, 16u}) {
        AddCase(batch, cases[i], 16, PX_ORDER_BGR, PX_VIEW_TOP_DOWN);
        AddCase(batch, cases[i], 16, PX_ORDER_RGB, PX_VIEW_BOTTOM_UP);
    }
    for (size_t i : {2u, 4u, 13u, 14u, 19u})
        AddCase(batch, cases[i], 32, PX_ORDER_RGB, PX_VIEW_BOTTOM_UP, 5, 3);
    // Windows larger than 3 follow image rows; the 3 x 3 paths walk storage rows, so on a
    // bottom-up bitmap the kernel's first row meets the image row below.
    AddCase(batch, cases[2], 24, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    AddCase(batch, cases[19], 8, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    const Case flipped{"builtin3flipped",
                       [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(3)); },
                       "correlate 1 128 3 0 0 1 0 0 0 -1 0 0"};
    AddCase(batch, flipped, 24, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    batch.ExpectAllOk();
}

TEST(PximgFilter, SizeOneAndOnePixelImagesAreStable)
{
    Bitmap image(9, 7, 24);
    FillRandom(image.record, 5);
    std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
    EXPECT_EQ(P_AverageFilterBitmap(image.get(), 1), PX_SUCCESS);
    EXPECT_EQ(P_MedianFilterBitmap(image.get(), 1), PX_SUCCESS);
    EXPECT_EQ(P_MosaicBitmap(image.get(), 1), PX_SUCCESS);
    EXPECT_EQ(P_SharpenBitmap(image.get(), 0), PX_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(image.record.Data, image.record.Data + image.record.DataSize), before);

    // One pixel: every window position is that pixel, so kernel 16 (sum 0) gives 0.
    Bitmap one(1, 1, 24);
    SetRaw(one.record, 0, 0, 0x805020);
    EXPECT_EQ(P_SpatialFilterBitmap(one.get(), reinterpret_cast<PxSpatialKernel*>(16)), PX_SUCCESS);
    EXPECT_EQ(GetRaw(one.record, 0, 0), 0u);
    // A huge window over a tiny image is the edge-weighted mean, not an overflow.
    Bitmap small(2, 1, 8);
    SetRaw(small.record, 0, 0, 255);
    SetRaw(small.record, 1, 0, 255);
    EXPECT_EQ(P_AverageFilterBitmap(small.get(), 60001), PX_SUCCESS);
    EXPECT_EQ(GetRaw(small.record, 0, 0), 255u);
}

TEST(PximgFilter, DespeckleGreyAndColour)
{
    // The pixel keeps its value when it differs from the median by 128 or less.
    Bitmap image(5, 5, 8);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            SetRaw(image.record, x, y, x < 3 ? 220 : 200);
    SetRaw(image.record, 1, 2, 100);
    SetRaw(image.record, 4, 2, 0);
    EXPECT_EQ(P_DespeckleBitmap(image.get()), PX_SUCCESS);
    EXPECT_EQ(GetRaw(image.record, 1, 2), 100u);
    EXPECT_EQ(GetRaw(image.record, 4, 2), 200u);
}

namespace {

// A 1-bit image from rows of '#' (bit 1) and '.' (bit 0).
void DrawBits(PxBitmap& b, const std::vector<std::string>& rows)
{
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x)
            SetRaw(b, x, y, rows[size_t(y)][size_t(x)] == '#');
}

std::vector<std::string> ReadBits(const PxBitmap& b)
{
    std::vector<std::string> rows;
    for (int y = 0; y < b.Height; ++y) {
        rows.emplace_back();
        for (int x = 0; x < b.Width; ++x)
            rows.back() += GetRaw(b, x, y) ? '#' : '.';
    }
    return rows;
}

} // namespace

TEST(PximgFilter, OneBitDespeckleAndBinaryFilters)
{
    Bitmap speck(10, 5, 1, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    DrawBits(speck.record, {"..........", "..#...###.", "......#.#.", "......###.", ".........."});
    EXPECT_EQ(P_DespeckleBitmap(speck.get()), PX_SUCCESS);
    EXPECT_EQ(ReadBits(speck.record),
              (std::vector<std::string>{"..........", "......###.", "......###.", "......###.", ".........."}));

    // Built-in 0 grows white (bit 1 under a black-to-white palette) by one pixel; 4 shrinks it.
    Bitmap grow(11, 5, 1);
    DrawBits(grow.record, {"...........", "...........", "....#......", "...........", "..........#"});
    EXPECT_EQ(P_BinaryFilterBitmap(grow.get(), reinterpret_cast<PxBinaryElement*>(0)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(grow.record),
              (std::vector<std::string>{"...........", "...###.....", "...###.....", "...###...##", ".........##"}));
    EXPECT_EQ(P_BinaryFilterBitmap(grow.get(), reinterpret_cast<PxBinaryElement*>(4)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(grow.record),
              (std::vector<std::string>{"...........", "...........", "....#......", "...........", "..........#"}));

    // With a white-to-black palette bit 0 is white, so the maximum grows the zero bits instead.
    Bitmap inverse(5, 3, 1);
    const PxRgbQuad whiteToBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    ASSERT_EQ(PxSetBitmapPalette(inverse.get(), 2, whiteToBlack), PX_SUCCESS);
    DrawBits(inverse.record, {"#####", "##.##", "#####"});
    EXPECT_EQ(P_BinaryFilterBitmap(inverse.get(), reinterpret_cast<PxBinaryElement*>(1)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(inverse.record), (std::vector<std::string>{"#####", "#...#", "#####"}));

    // Elements that all stand outside make the image black (maximum) or white (minimum).
    struct {
        int32_t kind, n, m[9];
    } outside{1, 3, {256, 256, 256, 256, 256, 256, 256, 256, 256}};
    EXPECT_EQ(P_BinaryFilterBitmap(grow.get(), reinterpret_cast<PxBinaryElement*>(&outside)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(grow.record), std::vector<std::string>(5, "..........."));
    outside.kind = 0;
    EXPECT_EQ(P_BinaryFilterBitmap(grow.get(), reinterpret_cast<PxBinaryElement*>(&outside)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(grow.record), std::vector<std::string>(5, "###########"));
    // A maximum element of 128 or more makes everything white.
    outside = {1, 3, {256, 256, 256, 256, 200, 256, 256, 256, 256}};
    Bitmap dark(4, 2, 1);
    EXPECT_EQ(P_BinaryFilterBitmap(dark.get(), reinterpret_cast<PxBinaryElement*>(&outside)), PX_SUCCESS);
    EXPECT_EQ(ReadBits(dark.record), std::vector<std::string>(2, "####"));
    // A colour palette has no white bit: the grey test's answer is the result.
    const PxRgbQuad colours[2] = {{0, 0, 255, 0}, {255, 0, 0, 0}};
    ASSERT_EQ(PxSetBitmapPalette(dark.get(), 2, colours), PX_SUCCESS);
    EXPECT_EQ(P_BinaryFilterBitmap(dark.get(), reinterpret_cast<PxBinaryElement*>(0)), 0);
}

TEST(PximgFilter, PaletteImagesKeepTheirPalette)
{
    // A 4-bit grey ramp is filtered on its grey values and reduced back to indices.
    Bitmap ramp(23, 19, 4);
    FillRandom(ramp.record, 9);
    OracleBatch batch;
    const std::string in = batch.Input(ramp.record, true);
    EXPECT_EQ(P_MedianFilterBitmap(ramp.get(), 5), PX_SUCCESS);
    batch.Add("ramp", "median", in, batch.Write(ramp.record, true), "5");
    batch.ExpectAllOk();

    // An 8-bit colour palette: every result is one of its entries and the palette is unchanged.
    Bitmap coloured(16, 16, 8);
    PxRgbQuad entries[3] = {{10, 200, 30, 0}, {250, 5, 5, 0}, {40, 40, 40, 0}};
    ASSERT_EQ(PxSetBitmapPalette(coloured.get(), 3, entries), PX_SUCCESS);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            SetRaw(coloured.record, x, y, uint32_t((x * y + x) % 3));
    EXPECT_EQ(P_AverageFilterBitmap(coloured.get(), 3), PX_SUCCESS);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_LT(GetRaw(coloured.record, x, y), 3u);
    EXPECT_EQ(std::memcmp(coloured.record.Palette, entries, sizeof entries), 0);
}

TEST(PximgFilter, ArgumentErrors)
{
    Bitmap image(4, 4, 24);
    struct {
        int32_t divisor, bias, n, m[1];
    } zeroDivisor{0, 0, 1, {1}}, zeroSize{1, 0, 0, {1}};
    EXPECT_EQ(P_SpatialFilterBitmap(image.get(), reinterpret_cast<PxSpatialKernel*>(33)), PX_INVALID_ARG);
    EXPECT_EQ(P_SpatialFilterBitmap(image.get(), reinterpret_cast<PxSpatialKernel*>(&zeroDivisor)), PX_INVALID_ARG);
    EXPECT_EQ(P_SpatialFilterBitmap(image.get(), reinterpret_cast<PxSpatialKernel*>(&zeroSize)), PX_INVALID_ARG);
    EXPECT_EQ(P_SharpenBitmap(image.get(), 1001), PX_INVALID_ARG);
    EXPECT_EQ(P_SharpenBitmap(nullptr, 1001), PX_INVALID_BITMAP);
    EXPECT_EQ(P_EmbossBitmap(nullptr, 8, 0), PX_INVALID_BITMAP);
    EXPECT_EQ(P_EmbossBitmap(image.get(), 8, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_EmbossBitmap(image.get(), 0, 1001), PX_INVALID_ARG);
    EXPECT_EQ(P_AverageFilterBitmap(image.get(), 0), PX_INVALID_ARG);
    EXPECT_EQ(P_MedianFilterBitmap(image.get(), 0), PX_INVALID_ARG);
    EXPECT_EQ(P_BinaryFilterBitmap(image.get(), reinterpret_cast<PxBinaryElement*>(8)), PX_INVALID_ARG);
    EXPECT_EQ(P_BinaryFilterBitmap(nullptr, reinterpret_cast<PxBinaryElement*>(8)), PX_INVALID_BITMAP);
}
