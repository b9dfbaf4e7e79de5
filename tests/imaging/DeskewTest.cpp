// Skew detection and deskew on synthetic pages, noise against the generator replayed in
// Python, mosaic against numpy block means.
#include "PxDeskew.h"
#include "PxProgress.h"
#include "PxTestSupport.h"

#include <cmath>
#include <thread>

using namespace pxtest;

namespace {

// A white page with dark lines 53 rows apart that fall `shift` rows per 128 columns.
void DrawPage(PxBitmap& page, int32_t shift)
{
    const bool bits = page.BitsPerPixel == 1;
    for (int y = 0; y < page.Height; ++y)
        for (int x = 0; x < page.Width; ++x) {
            const int offset = int(std::floor(double(x) * shift / 128.0));
            const bool dark = (y - offset + 530) % 53 < 3;
            if (bits)
                SetRaw(page, x, y, dark ? 0 : 1);
            else
                SetRaw(page, x, y, dark ? 0x202020u : 0xF0F0F0u);
        }
}

int32_t Detect(PxBitmap* page)
{
    int32_t angle = -99999;
    EXPECT_EQ(pximg::DetectSkew(page, &angle), PX_SUCCESS);
    return angle;
}

int32_t TableAngle(int k) { return int32_t(std::lround(100 * std::atan(k / 128.0) * 180 / M_PI)); }

} // namespace

TEST(PximgDeskew, DetectsTheSkewOfAPage)
{
    for (int k : {0, 2, 5, 11, 23, -2, -17}) {
        Bitmap page(400, 320, 24);
        DrawPage(page.record, k);
        EXPECT_EQ(Detect(page.get()), k < 0 ? TableAngle(-k) : -TableAngle(k)) << k;
    }
    // Two pixels over 128 columns is 0.90 degrees; bottom-up storage turns the sign.
    Bitmap up(400, 320, 8, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    DrawPage(up.record, 2);
    EXPECT_EQ(Detect(up.get()), -90);
    Bitmap bits(400, 320, 1, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    DrawPage(bits.record, -2);
    EXPECT_EQ(Detect(bits.get()), 90);
    Bitmap storedUp(400, 320, 1);
    DrawPage(storedUp.record, -2);
    EXPECT_EQ(Detect(storedUp.get()), 90);
    // Too small for any pair, or blank: every shift scores the same and the angle is 0.
    Bitmap small(128, 300, 24), low(300, 46, 24), blank(300, 300, 24);
    DrawPage(small.record, 3);
    DrawPage(low.record, 3);
    std::memset(blank.record.Data, 0xEE, blank.record.DataSize);
    EXPECT_EQ(Detect(small.get()), 0);
    EXPECT_EQ(Detect(low.get()), 0);
    EXPECT_EQ(Detect(blank.get()), 0);
    EXPECT_EQ(P_DeskewBitmap(blank.get()), PX_SUCCESS);
    EXPECT_EQ(blank.record.Data[0], 0xEE);
}

TEST(PximgDeskew, DeskewStraightensThePage)
{
    for (int32_t bits : {8, 24, 1}) {
        Bitmap page(500, 300, bits);
        DrawPage(page.record, 4);
        ASSERT_EQ(P_DeskewBitmap(page.get()), PX_SUCCESS) << bits;
        EXPECT_EQ(Detect(page.get()), 0) << bits;
        // The corners the rotation uncovers take the page's most common colour.
        uint8_t bgr[3];
        GetBgr(page.record, 499, 0, bgr);
        EXPECT_EQ(bgr[0], bits == 1 ? 255 : 0xF0) << bits;
    }
    EXPECT_EQ(P_DeskewBitmap(nullptr), PX_INVALID_BITMAP);
}

TEST(PximgDeskew, NoiseFollowsThePerThreadGenerator)
{
    OracleBatch batch;
    struct {
        int32_t bits, order;
        uint32_t level, channel;
    } cases[] = {{24, PX_ORDER_RGB, 300, 2},
                 {24, PX_ORDER_BGR, 1000, 0},
                 {8, PX_ORDER_BGR, 500, 0},
                 {32, PX_ORDER_BGR, 200, 1},
                 {24, PX_ORDER_BGR, 700, 3}};
    for (const auto& c : cases) {
        // A new thread starts its generator at 0, as the Python replay does.
        std::thread([&] {
            Bitmap image(23, 11, c.bits, c.order, PX_VIEW_TOP_DOWN);
            FillRandom(image.record, c.level);
            const bool grey = c.bits == 8;
            const std::string in = batch.Input(image.record, grey);
            ASSERT_EQ(P_AddBitmapNoise(image.get(), c.level, c.channel), PX_SUCCESS);
            batch.Add("noise" + std::to_string(c.bits) + "/" + std::to_string(c.level), "noise", in,
                      batch.Write(image.record, grey), std::to_string(c.level) + " " + std::to_string(c.channel));
        }).join();
    }
    batch.ExpectAllOk();

    std::thread([] {
        Bitmap image(7, 5, 24);
        FillRandom(image.record, 1);
        const std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
        EXPECT_EQ(P_AddBitmapNoise(image.get(), 0, 0), PX_SUCCESS);
        EXPECT_EQ(std::vector<uint8_t>(image.record.Data, image.record.Data + image.record.DataSize), before);
        // Level 0 still draws once per pixel: 35 draws, so the next one is the 36th.
        uint32_t r = 0;
        for (int i = 0; i < 36; ++i)
            r = (r * 1366 + 150889) % 714025;
        EXPECT_EQ(pximg::NextRandom(), r);
    }).join();

    Bitmap image(3, 3, 24);
    EXPECT_EQ(P_AddBitmapNoise(image.get(), 1001, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_AddBitmapNoise(image.get(), 10, 4), PX_INVALID_ARG);
}

TEST(PximgDeskew, MosaicEqualsBlockMeans)
{
    OracleBatch batch;
    struct {
        int32_t bits, view;
        uint32_t size;
    } cases[] = {{24, PX_VIEW_TOP_DOWN, 5},
                 {24, PX_VIEW_BOTTOM_UP, 4},
                 {8, PX_VIEW_TOP_DOWN, 6},
                 {32, PX_VIEW_TOP_DOWN, 100},
                 {24, PX_VIEW_TOP_DOWN, 1}};
    for (const auto& c : cases) {
        Bitmap image(37, 29, c.bits, PX_ORDER_BGR, c.view);
        FillRandom(image.record, c.size);
        const bool grey = c.bits == 8;
        const std::string in = batch.Input(image.record, grey);
        ASSERT_EQ(P_MosaicBitmap(image.get(), c.size), PX_SUCCESS);
        batch.Add("mosaic" + std::to_string(c.bits) + "/" + std::to_string(c.size), "mosaic", in,
                  batch.Write(image.record, grey), std::to_string(c.size));
    }
    batch.ExpectAllOk();
    Bitmap image(3, 3, 24);
    EXPECT_EQ(P_MosaicBitmap(image.get(), 0), PX_INVALID_ARG);
}
