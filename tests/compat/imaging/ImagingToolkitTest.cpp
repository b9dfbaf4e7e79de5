// The imaging layer against Pillow: fixtures Pillow writes must load to the RGBA bytes Pillow
// decodes, and files the layer writes must read back in Pillow as the record held them.
#include "mg_imaging.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kOracle = std::string(MG_TESTS_DIR) + "/compat/imaging/imaging_oracle.py";

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool RunPython(const std::string& arguments)
{
    return std::system((std::string(MG_PYTHON) + " " + kOracle + " " + arguments).c_str()) == 0;
}

// One fixture folder for the whole program.
class Fixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/imaging_toolkit_XXXXXX";
        dir = mkdtemp(pattern);
        ASSERT_TRUE(RunPython("make " + dir));
    }
    static void TearDownTestSuite() { std::system(("rm -rf " + dir).c_str()); }
    static std::string dir;
};
std::string Fixtures::dir;

struct Loaded {
    PxBitmap record{};
    ~Loaded() { PxFreeStorage(&record); }
};

// Compares a 32-bit RGB-order record with Pillow's RGBA bytes; returns the largest difference.
int LargestDifference(const PxBitmap& bitmap, const std::vector<uint8_t>& expected)
{
    int worst = 0;
    for (int y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = PxRowPointer(&bitmap, y);
        for (int i = 0; i < bitmap.width * 4; ++i)
            worst = std::max(worst, std::abs(int(row[i]) - int(expected[size_t(y) * bitmap.width * 4 + i])));
    }
    return worst;
}

TEST_F(Fixtures, EveryFixtureReportsItsStoredDepthAndLoadsAsPillowDecodesIt)
{
    std::ifstream manifest(dir + "/manifest.txt");
    std::string line;
    int files = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name;
        int width, height, depth, tolerance;
        fields >> name >> width >> height >> depth >> tolerance;
        std::string path = dir + "/" + name;
        SCOPED_TRACE(name);
        PxFileInfo info{};
        ASSERT_EQ(PxGetFileInfo(path.c_str(), &info), PX_OK);
        EXPECT_EQ(info.width, width);
        EXPECT_EQ(info.height, height);
        EXPECT_EQ(info.bitsPerPixel, depth);
        ++files;
        if (tolerance < 0)
            continue;
        Loaded loaded;
        ASSERT_EQ(PxLoadFile(path.c_str(), &loaded.record, 32, PX_ORDER_RGB), PX_OK);
        ASSERT_EQ(loaded.record.width, width);
        ASSERT_EQ(loaded.record.height, height);
        EXPECT_EQ(loaded.record.viewPerspective, PX_VIEW_TOP_DOWN);
        EXPECT_TRUE(loaded.record.flags & PX_FLAG_IMAGE);
        EXPECT_LE(LargestDifference(loaded.record, ReadBytes(path + ".rgba")), tolerance);
    }
    EXPECT_EQ(files, 14);
}

TEST_F(Fixtures, TwentyFourBitLoadsInBlueFirstOrderDropAlpha)
{
    Loaded loaded;
    std::string path = dir + "/rgba.png";
    ASSERT_EQ(PxLoadFile(path.c_str(), &loaded.record, 24, PX_ORDER_BGR), PX_OK);
    std::vector<uint8_t> expected = ReadBytes(path + ".rgba");
    EXPECT_EQ(loaded.record.rowBytes, 112u); // 37 x 3 rounded up to whole words
    for (int y = 0; y < loaded.record.height; ++y)
        for (int x = 0; x < loaded.record.width; ++x) {
            const uint8_t* p = PxRowPointer(&loaded.record, y) + x * 3;
            const uint8_t* e = &expected[(size_t(y) * 37 + x) * 4];
            ASSERT_EQ(p[0], e[2]);
            ASSERT_EQ(p[1], e[1]);
            ASSERT_EQ(p[2], e[0]);
        }
}

TEST_F(Fixtures, FailuresCarryTheToolkitCodes)
{
    PxFileInfo info{};
    PxBitmap record{};
    EXPECT_EQ(PxGetFileInfo((dir + "/missing.png").c_str(), &info), PX_ERR_NOT_FOUND);
    EXPECT_EQ(PxGetFileInfo((dir + "/not_an_image.png").c_str(), &info), PX_ERR_FORMAT);
    EXPECT_EQ(PxLoadFile((dir + "/not_an_image.png").c_str(), &record, 32, PX_ORDER_RGB), PX_ERR_FORMAT);
    EXPECT_EQ(PxGetFileInfo(dir.c_str(), &info), PX_ERR_READ); // a folder opens but cannot be read
    EXPECT_EQ(PxGetFileInfo("", &info), PX_ERR_FILENAME);
    EXPECT_EQ(PxLoadFile((dir + "/rgb.png").c_str(), &record, 16, PX_ORDER_RGB), PX_ERR_BITS);
    EXPECT_EQ(record.storage, nullptr);

    // A truncated file is refused, not half-read.
    std::vector<uint8_t> bytes = ReadBytes(dir + "/rgb.png");
    std::string cut = dir + "/cut.png";
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(PxLoadFile(cut.c_str(), &record, 32, PX_ORDER_RGB), PX_ERR_FORMAT);
    EXPECT_EQ(record.storage, nullptr);
}

// A JPEG Huffman table claiming more than 256 codes (16 counts of 255) would be built past the
// decoder's table: the file is refused as damaged, whether the table comes before the frame
// header or after the scan, where only the full decode reaches it.
TEST_F(Fixtures, JpegHuffmanTableWithMoreThan256CodesIsRefused)
{
    std::vector<uint8_t> table = {0xFF, 0xC4, 0x00, 19, 0x00};
    table.insert(table.end(), 16, 255);
    const std::vector<uint8_t> alone = [&] {
        std::vector<uint8_t> b = {0xFF, 0xD8};
        b.insert(b.end(), table.begin(), table.end());
        b.insert(b.end(), {0xFF, 0xD9});
        return b;
    }();
    // A good file from the fixtures with the table slipped in before its end.
    std::vector<uint8_t> scanned = ReadBytes(dir + "/rgb.jpg");
    ASSERT_GT(scanned.size(), 2u);
    scanned.insert(scanned.end() - 2, table.begin(), table.end());
    for (const auto& [name, bytes] : {std::pair{"alone", alone}, std::pair{"after the scan", scanned}}) {
        const std::string path = dir + "/huffman.jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        PxFileInfo info{};
        PxBitmap record{};
        EXPECT_EQ(PxGetFileInfo(path.c_str(), &info), PX_ERR_FORMAT) << name;
        EXPECT_EQ(PxLoadFile(path.c_str(), &record, 32, PX_ORDER_RGB), PX_ERR_FORMAT) << name;
        EXPECT_EQ(record.storage, nullptr) << name;
    }
}

// Big-endian and little-endian words for hand-made headers.
void PutBe(std::vector<uint8_t>& b, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        b.push_back(uint8_t(value >> (8 * i)));
}
void PutLe(std::vector<uint8_t>& b, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(uint8_t(value >> (8 * i)));
}

// A three-channel 8-bit PSD header of the given size, empty sections, then the compression word.
std::vector<uint8_t> PsdHeader(uint32_t width, uint32_t height, uint16_t compression)
{
    std::vector<uint8_t> b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    PutBe(b, 3, 2);
    PutBe(b, height, 4);
    PutBe(b, width, 4);
    PutBe(b, 8, 2);
    PutBe(b, 3, 2); // RGB
    PutBe(b, 0, 4);
    PutBe(b, 0, 4);
    PutBe(b, 0, 4);
    PutBe(b, compression, 2);
    return b;
}

std::vector<uint8_t> BmpHeader(int32_t width, int32_t height, uint16_t depth)
{
    std::vector<uint8_t> b = {'B', 'M'};
    PutLe(b, 0, 4);
    PutLe(b, 0, 4);
    PutLe(b, 54, 4);
    PutLe(b, 40, 4);
    PutLe(b, uint32_t(width), 4);
    PutLe(b, uint32_t(height), 4);
    PutLe(b, 1, 2);
    PutLe(b, depth, 2);
    PutLe(b, 0, 4);
    PutLe(b, 0, 4);
    PutLe(b, 2835, 4);
    PutLe(b, 2835, 4);
    PutLe(b, 0, 4);
    PutLe(b, 0, 4);
    return b;
}

// Files whose header states more pixels than their data could hold: the decoders would pad
// the image with zeros a byte at a time (minutes for millions of pixels, or a black image for
// a cut file), or grow a buffer to a chunk's stated length. Each is refused at once, before
// anything is allocated, while the same headers with their data still load.
TEST_F(Fixtures, FilesStatingMoreThanTheyHoldAreRefused)
{
    std::vector<uint8_t> psd = PsdHeader(3, 2, 0);
    for (int i = 0; i < 3 * 2 * 3; ++i)
        psd.push_back(uint8_t(i * 10));
    std::vector<uint8_t> psdRle = PsdHeader(3, 2, 1);
    for (int row = 0; row < 6; ++row)
        PutBe(psdRle, 2, 2);
    for (int row = 0; row < 6; ++row)
        psdRle.insert(psdRle.end(), {0xFE, uint8_t(row * 40)}); // three copies of one byte
    std::vector<uint8_t> bmp = BmpHeader(2, 2, 24);
    for (int i = 0; i < 2 * 8; ++i)
        bmp.push_back(uint8_t(i));
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE8, 0x03, 0xE8, 0x03, 24, 0};
    tga.resize(tga.size() + 30, 0x80);
    // A PNG whose second chunk states a gigabyte.
    std::vector<uint8_t> png = ReadBytes(dir + "/rgb.png");
    ASSERT_GT(png.size(), 40u);
    const size_t second = 8 + 12 + 13;
    png[second] = 0x3F;

    const std::vector<uint8_t> psdCut(psd.begin(), psd.end() - 1);
    const std::vector<uint8_t> wide = PsdHeader(2359320, 16, 0);
    const std::vector<uint8_t> wideInSections(wide.begin(), wide.begin() + 33);
    const std::vector<uint8_t> bmpCut(bmp.begin(), bmp.end() - 3); // into the last row's pixels
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int info, load;
    } cases[] = {
        {"psd.psd", psd, PX_OK, PX_OK},
        {"psd_rle.psd", psdRle, PX_OK, PX_OK},
        {"bmp.bmp", bmp, PX_OK, PX_OK},
        {"psd_wide.psd", PsdHeader(2359320, 16, 0), PX_ERR_SIZE, PX_ERR_SIZE},
        {"psd_rle_wide.psd", PsdHeader(2359320, 16, 1), PX_ERR_SIZE, PX_ERR_SIZE},
        {"psd_cut.psd", psdCut, PX_ERR_SIZE, PX_ERR_SIZE},
        {"psd_wide_cut.psd", wideInSections, PX_ERR_SIZE, PX_ERR_SIZE},
        {"bmp_tall.bmp", BmpHeader(1, 13434881, 24), PX_ERR_SIZE, PX_ERR_SIZE},
        {"bmp_cut.bmp", bmpCut, PX_ERR_SIZE, PX_ERR_SIZE},
        {"tga_short.tga", tga, PX_ERR_SIZE, PX_ERR_SIZE},
        {"png_chunk.png", png, PX_ERR_FORMAT, PX_ERR_FORMAT},
    };
    for (const auto& c : cases) {
        const std::string path = dir + "/" + c.name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size());
        PxFileInfo info{};
        Loaded loaded;
        EXPECT_EQ(PxGetFileInfo(path.c_str(), &info), c.info) << c.name;
        EXPECT_EQ(PxLoadFile(path.c_str(), &loaded.record, 32, PX_ORDER_RGB), c.load) << c.name;
        EXPECT_EQ(loaded.record.storage != nullptr, c.load == PX_OK) << c.name;
    }
}

// A record stored bottom-up in blue-first order, saved in every format, reads back in Pillow
// as the image the record shows.
TEST_F(Fixtures, SavedFilesReadBackInPillow)
{
    PxBitmap record{};
    ASSERT_EQ(PxCreateBitmap(&record, 5, 3, 32, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP), PX_OK);
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 5; ++x) {
            uint8_t r = uint8_t(x * 50), g = uint8_t(y * 100), b = uint8_t(200 - x * 10), a = uint8_t(255 - y * 60);
            row.insert(row.end(), {b, g, r, a});
            rgba.insert(rgba.end(), {r, g, b, a});
        }
        ASSERT_EQ(PxPutRow(&record, row.data(), y, uint32_t(row.size())), PX_OK);
    }
    for (auto [format, name] :
         {std::pair{PX_FILE_TGA, "out.tga"}, {PX_FILE_PNG, "out.png"}, {PX_FILE_BMP, "out.bmp"}}) {
        SCOPED_TRACE(name);
        std::string path = dir + "/" + name;
        ASSERT_EQ(PxSaveFile(path.c_str(), &record, format), PX_OK);
        ASSERT_TRUE(RunPython("dump " + path + " " + path + ".rgba"));
        EXPECT_EQ(ReadBytes(path + ".rgba"), rgba);
        EXPECT_NE(access((path + ".partial").c_str(), F_OK), 0);
    }
    // A save that cannot be written leaves no file and reports it.
    EXPECT_EQ(PxSaveFile((dir + "/no/such/folder.tga").c_str(), &record, PX_FILE_TGA), PX_ERR_OPEN);
    EXPECT_EQ(PxSaveFile((dir + "/x.gif").c_str(), &record, 99), PX_ERR_NOT_AVAILABLE);
    PxFreeStorage(&record);
    EXPECT_EQ(PxSaveFile((dir + "/empty.tga").c_str(), &record, PX_FILE_TGA), PX_ERR_BITMAP);
}

TEST(ImagingKernel, RecordsRowsAndOrientation)
{
    PxBitmap record{};
    EXPECT_EQ(PxInitRecord(&record, 0, 4, 32), PX_ERR_SIZE);
    EXPECT_EQ(PxInitRecord(&record, 4, 4, 12), PX_ERR_BITS);
    EXPECT_EQ(PxInitRecord(&record, 65536, 65536, 32), PX_ERR_SIZE);
    ASSERT_EQ(PxInitRecord(&record, 3, 2, 8), PX_OK);
    EXPECT_EQ(record.rowBytes, 4u);
    EXPECT_EQ(record.paletteColours, 256u);
    EXPECT_EQ(record.storage, nullptr);
    EXPECT_EQ(PxOpenRows(&record), PX_ERR_BITMAP);
    ASSERT_EQ(PxAllocStorage(&record, 1), PX_OK);
    EXPECT_GE(PxOpenRows(&record), 1);
    const uint8_t rows[2][4] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    EXPECT_EQ(PxPutRow(&record, rows[0], 0, 4), PX_OK);
    EXPECT_EQ(PxPutRow(&record, rows[1], 1, 4), PX_OK);
    EXPECT_EQ(PxPutRow(&record, rows[1], 2, 4), PX_ERR_BITMAP);
    EXPECT_EQ(PxPutRow(&record, rows[1], 0, 5), PX_ERR_PARAMETER);
    PxCloseRows(&record);

    // Bottom-up storage keeps image rows where the image shows them; normalising reorders
    // storage, not the image.
    record.viewPerspective = PX_VIEW_BOTTOM_UP;
    EXPECT_EQ(record.storage[0], 1);
    EXPECT_EQ(PxNormaliseRows(&record), PX_OK);
    EXPECT_EQ(record.storage[0], 4);
    record.mirrored = 1;
    EXPECT_EQ(PxNormaliseColumns(&record), PX_OK);
    uint8_t row[4] = {};
    EXPECT_EQ(PxGetRow(&record, row, 0, 3), PX_OK);
    EXPECT_EQ(row[0], 6);
    EXPECT_EQ(row[2], 4);
    EXPECT_EQ(PxRowBufferBytes(8, 3, 24), 12u);
    PxFreeStorage(&record);
    EXPECT_FALSE(record.flags & PX_FLAG_IMAGE);
}

TEST(ImagingFiles, RealImagesLoadAsPillowDecodesThem)
{
    std::string folder = std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2";
    struct stat status;
    if (stat(folder.c_str(), &status) != 0)
        GTEST_SKIP() << "missing " << folder;
    char pattern[] = "/tmp/imaging_real_XXXXXX";
    std::string dir = mkdtemp(pattern);
    for (const char* name : {"boxuv.png", "uvtest.png", "white.bmp"}) {
        SCOPED_TRACE(name);
        std::string path = folder + "/" + name;
        Loaded loaded;
        ASSERT_EQ(PxLoadFile(path.c_str(), &loaded.record, 32, PX_ORDER_RGB), PX_OK);
        ASSERT_TRUE(RunPython("dump " + path + " " + dir + "/out.rgba"));
        EXPECT_EQ(LargestDifference(loaded.record, ReadBytes(dir + "/out.rgba")), 0);
    }
    std::system(("rm -rf " + dir).c_str());
}

} // namespace
