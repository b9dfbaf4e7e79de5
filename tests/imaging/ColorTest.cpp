// Integer HSV against colorsys, hue and saturation changes, colour planes and colour spaces.
#include "PxHsv.h"
#include "PxTestSupport.h"

using namespace pxtest;

TEST(PximgColor, HsvAgreesWithColorsys)
{
    // Saturation and value for every colour of a grid; hue on the six hue axes, where one
    // component equals the largest or the smallest.
    std::vector<uint8_t> all, axes;
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15) {
                uint8_t hsv[3];
                pximg::RgbToHsvBytes(uint8_t(r), uint8_t(g), uint8_t(b), hsv);
                const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
                const bool onAxis = r == mx || r == mn ? (g == mx || g == mn || b == mx || b == mn) : false;
                std::vector<uint8_t>& list = onAxis && (r == g || g == b || r == b) ? axes : all;
                list.insert(list.end(), {uint8_t(r), uint8_t(g), uint8_t(b), hsv[0], hsv[1], hsv[2]});
            }
    OracleBatch batch;
    const std::string allPath = batch.NewFile(".npy"), axesPath = batch.NewFile(".npy");
    // Hue of colours off the axes is not compared: this HSV splits hue by component ratios.
    for (size_t i = 0; i < all.size(); i += 6)
        all[i + 3] = 0;
    WriteNpy(axesPath, axes, {axes.size() / 6, 6});
    WriteNpy(allPath, all, {all.size() / 6, 6});
    batch.Add("axes", "hsv", axesPath, "-");
    batch.Add("saturation-value", "hsv-sv", allPath, "-");
    batch.ExpectAllOk();

    uint8_t hsv[3], r, g, b;
    pximg::RgbToHsvBytes(255, 0, 0, hsv);
    EXPECT_EQ((std::vector<int>{hsv[0], hsv[1], hsv[2]}), (std::vector<int>{0, 255, 255}));
    pximg::HsvToRgbBytes(hsv, &r, &g, &b);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{255, 0, 0}));
}

TEST(PximgColor, HueAndSaturationChanges)
{
    Bitmap image(17, 9, 24, PX_ORDER_RGB);
    FillRandom(image.record, 4);
    const std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
    EXPECT_EQ(P_ChangeBitmapHue(image.get(), 360), PX_SUCCESS);
    EXPECT_EQ(P_ChangeBitmapHue(image.get(), -720), PX_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(image.record.Data, image.record.Data + image.record.DataSize), before);

    // Pure red turned by 120 degrees (hue + 85) lands next to green.
    Bitmap red(1, 1, 32);
    SetRaw(red.record, 0, 0, 0xABFF0000u); // blue, green, red bytes 0, 0, 255; fourth byte 0xAB
    EXPECT_EQ(P_ChangeBitmapHue(red.get(), 120), PX_SUCCESS);
    uint8_t bgr[3];
    GetBgr(red.record, 0, 0, bgr);
    EXPECT_LE(bgr[2], 3);
    EXPECT_EQ(bgr[1], 255);
    EXPECT_EQ(bgr[0], 0);
    EXPECT_EQ(GetRaw(red.record, 0, 0) >> 24, 0xABu);

    EXPECT_EQ(P_ChangeBitmapSaturation(image.get(), 1001), PX_INVALID_ARG);
    EXPECT_EQ(P_ChangeBitmapSaturation(nullptr, 1001), PX_INVALID_BITMAP);
    EXPECT_EQ(P_ChangeBitmapSaturation(image.get(), -1000), PX_SUCCESS);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x) {
            const size_t at = size_t(y) * image.record.BytesPerLine + size_t(x) * 3;
            GetBgr(image.record, x, y, bgr);
            // -1000 lowers S by 254 (the change truncates), so the most saturated pixels keep S = 1.
            const int value = std::max({before[at], before[at + 1], before[at + 2]});
            for (int c = 0; c < 3; ++c)
                ASSERT_TRUE(bgr[c] == value || bgr[c] == value - 1) << int(bgr[c]) << " vs " << value;
        }

    // Palette images change only their palette.
    Bitmap indexed(5, 5, 4);
    FillRandom(indexed.record, 8);
    const std::vector<uint8_t> indices(indexed.record.Data, indexed.record.Data + indexed.record.DataSize);
    PxRgbQuad colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = PxRgbQuad{uint8_t(i * 10), uint8_t(200 - i * 5), uint8_t(i * 16), 0};
    ASSERT_EQ(PxSetBitmapPalette(indexed.get(), 16, colours), PX_SUCCESS);
    EXPECT_EQ(P_ChangeBitmapSaturation(indexed.get(), -1000), PX_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(indexed.record.Data, indexed.record.Data + indexed.record.DataSize), indices);
    for (int i = 0; i < 16; ++i) {
        const PxRgbQuad& e = indexed.record.PaletteHandles[0]->Entries[i];
        const int value = std::max({colours[i].Red, colours[i].Green, colours[i].Blue});
        EXPECT_TRUE(e.Red >= value - 1 && e.Green >= value - 1 && e.Blue >= value - 1 && e.Red <= value &&
                    e.Green <= value && e.Blue <= value)
            << i;
    }
}

TEST(PximgColor, SeparateAndMergeRoundTrips)
{
    struct {
        int32_t bits, order, view;
        uint32_t space;
    } cases[] = {{24, PX_ORDER_BGR, PX_VIEW_TOP_DOWN, 0}, {32, PX_ORDER_RGB, PX_VIEW_BOTTOM_UP, 0},
                 {16, PX_ORDER_BGR, PX_VIEW_TOP_DOWN, 0}, {8, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP, 0},
                 {4, PX_ORDER_BGR, PX_VIEW_TOP_DOWN, 0},  {1, PX_ORDER_BGR, PX_VIEW_TOP_DOWN, 0},
                 {24, PX_ORDER_RGB, PX_VIEW_TOP_DOWN, 1}};
    for (const auto& c : cases) {
        Bitmap source(19, 7, c.bits, c.order, c.view);
        FillRandom(source.record, uint32_t(c.bits));
        Bitmap planes[4];
        PxBitmap* records[4] = {planes[0].get(), planes[1].get(), planes[2].get(), planes[3].get()};
        ASSERT_EQ(P_ColorSeparateBitmap(source.get(), records, c.space), PX_SUCCESS) << c.bits;
        EXPECT_EQ(planes[0].record.BitsPerPixel, 8);
        EXPECT_EQ(PxIsValidBitmap(records[3]), c.space == 1 ? 1 : 0);
        Bitmap merged;
        ASSERT_EQ(P_ColorMergeBitmap(merged.get(), records, c.space), PX_SUCCESS) << c.bits;
        ASSERT_EQ(merged.record.BitsPerPixel, 24);
        EXPECT_EQ(merged.record.ViewPerspective, PX_VIEW_BOTTOM_UP);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 19; ++x) {
                uint8_t want[3], got[3];
                GetBgr(source.record, x, y, want);
                GetBgr(merged.record, x, y, got);
                ASSERT_TRUE(std::equal(want, want + 3, got)) << c.bits << " at " << x << "," << y;
            }
    }
}

TEST(PximgColor, PlaneErrors)
{
    Bitmap source(4, 4, 24);
    Bitmap first;
    PxBitmap* withNull[4] = {first.get(), nullptr, nullptr, nullptr};
    EXPECT_EQ(P_ColorSeparateBitmap(source.get(), withNull, 0), PX_INVALID_ARG);
    EXPECT_EQ(PxIsValidBitmap(first.get()), 0);
    EXPECT_EQ(first.record.Data, nullptr);
    EXPECT_EQ(P_ColorSeparateBitmap(source.get(), withNull, 5), PX_INVALID_ARG);
    EXPECT_EQ(P_ColorSeparateBitmap(nullptr, withNull, 0), PX_INVALID_BITMAP);

    Bitmap a(4, 4, 8), b(3, 5, 8), empty;
    PxBitmap* planes[3] = {a.get(), b.get(), empty.get()};
    Bitmap merged;
    EXPECT_EQ(P_ColorMergeBitmap(nullptr, planes, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_ColorMergeBitmap(merged.get(), nullptr, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_ColorMergeBitmap(merged.get(), planes, 0), PX_INVALID_BITMAP);
    EXPECT_EQ(P_ColorMergeBitmap(merged.get(), planes, 7), PX_INVALID_ARG);
    planes[2] = a.get();
    EXPECT_EQ(P_ColorMergeBitmap(a.get(), planes, 0), PX_INVALID_ARG);
    // Planes of different sizes merge to the smallest width and height.
    EXPECT_EQ(P_ColorMergeBitmap(merged.get(), planes, 0), PX_SUCCESS);
    EXPECT_EQ(merged.record.Width, 3);
    EXPECT_EQ(merged.record.Height, 4);
}

TEST(PximgColor, KernelColourSpacesRoundTrip)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 4096; ++i)
        rgb.insert(rgb.end(), {uint8_t(i * 37), uint8_t(i * 101 >> 2), uint8_t(i * 13 >> 3)});
    const int32_t width = 4096;
    for (int32_t space : {PX_SPACE_CMYK, PX_SPACE_HSV, PX_SPACE_HLS, PX_SPACE_YCC}) {
        std::vector<uint8_t> converted(size_t(width) * 4), back(rgb.size());
        ASSERT_EQ(PxConvertColorSpace(width, rgb.data(), converted.data(), PX_SPACE_RGB, space), PX_SUCCESS);
        ASSERT_EQ(PxConvertColorSpace(width, converted.data(), back.data(), space, PX_SPACE_RGB), PX_SUCCESS);
        int worst = 0;
        for (size_t i = 0; i < rgb.size(); ++i)
            worst = std::max(worst, std::abs(int(rgb[i]) - back[i]));
        // CMYK is exact; hue in 256ths of a turn costs a few levels on saturated colours.
        EXPECT_LE(worst, space == PX_SPACE_CMYK ? 0 : space == PX_SPACE_YCC ? 2 : 6) << space;
    }
    uint8_t one[4];
    EXPECT_EQ(PxConvertColorSpace(1, one, one, PX_SPACE_RGB, 5), PX_INVALID_ARG);
}
