#pragma once
// Bitmaps for the imaging tests: made at any depth, order and view from top-down pixels, read
// back the same way, and handed to Python checkers as .npy files.
#include "PXIMG60N.h"
#include "PxKernel.h"
#include "PxPixels.h"
#include "../support/RunCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace pxtest {

struct Bitmap {
    PxBitmap record{};
    Bitmap() = default;
    Bitmap(int32_t width, int32_t height, int32_t bits, int32_t order = PX_ORDER_BGR, int32_t view = PX_VIEW_TOP_DOWN)
    {
        EXPECT_EQ(PxAllocateBitmap(&record, width, height, bits, order, view), PX_SUCCESS);
    }
    Bitmap(const Bitmap&) = delete;
    ~Bitmap() { PxFreeBitmap(&record); }
    PxBitmap* get() { return &record; }
};

// Raw stored value of image pixel (x, y): a palette index, a 16-bit word or the pixel's bytes
// packed little-endian.
inline uint32_t GetRaw(const PxBitmap& b, int32_t x, int32_t y)
{
    const uint8_t* row = b.Data + size_t(PxStorageRow(b, y)) * b.BytesPerLine;
    if (b.BitsPerPixel <= 8)
        return pximg::PackedIndex(row, x, b.BitsPerPixel);
    uint32_t v = 0;
    for (int32_t i = 0; i < b.BitsPerPixel / 8; ++i)
        v |= uint32_t(row[size_t(x) * (b.BitsPerPixel / 8) + i]) << (8 * i);
    return v;
}

inline void SetRaw(PxBitmap& b, int32_t x, int32_t y, uint32_t v)
{
    uint8_t* row = b.Data + size_t(PxStorageRow(b, y)) * b.BytesPerLine;
    if (b.BitsPerPixel <= 8) {
        pximg::SetPackedIndex(row, x, b.BitsPerPixel, uint8_t(v));
        return;
    }
    for (int32_t i = 0; i < b.BitsPerPixel / 8; ++i)
        row[size_t(x) * (b.BitsPerPixel / 8) + i] = uint8_t(v >> (8 * i));
}

inline void FillRandom(PxBitmap& b, uint32_t seed)
{
    std::mt19937 random(seed);
    for (uint32_t i = 0; i < b.DataSize; ++i)
        b.Data[i] = uint8_t(random());
}

// Blue, green, red of pixel (x, y) whatever the depth.
inline void GetBgr(const PxBitmap& b, int32_t x, int32_t y, uint8_t* bgr)
{
    const uint8_t* row = b.Data + size_t(PxStorageRow(b, y)) * b.BytesPerLine;
    std::vector<uint8_t> working(size_t(b.Width) * 3);
    PxConvertRowToWorking(row, working.data(), b.Width, b.BitsPerPixel, b.Order, b.Palette, 24);
    std::copy(working.begin() + 3 * x, working.begin() + 3 * x + 3, bgr);
}

// A temporary file removed at the end of the test.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& suffix)
    {
        static int counter = 0;
        path = "/tmp/pximg_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + suffix;
    }
    ~TempFile() { std::remove(path.c_str()); }
};

// Writes uint8 data of the given shape as a .npy file.
inline void WriteNpy(const std::string& path, const std::vector<uint8_t>& data, const std::vector<size_t>& shape)
{
    std::string dict = "{'descr': '|u1', 'fortran_order': False, 'shape': (";
    for (size_t s : shape)
        dict += std::to_string(s) + ", ";
    dict += "), }";
    while ((10 + dict.size() + 1) % 64)
        dict += ' ';
    dict += '\n';
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    const uint16_t length = uint16_t(dict.size());
    std::fwrite("\x93NUMPY\x01\x00", 1, 8, file);
    std::fwrite(&length, 2, 1, file);
    std::fwrite(dict.data(), 1, dict.size(), file);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
}

// The image as top-down rows of red, green, blue (or grey) bytes, written as .npy (h, w, c).
inline void WriteImageNpy(const std::string& path, const PxBitmap& b, bool grey)
{
    std::vector<uint8_t> data;
    for (int32_t y = 0; y < b.Height; ++y)
        for (int32_t x = 0; x < b.Width; ++x) {
            uint8_t bgr[3];
            GetBgr(b, x, y, bgr);
            if (grey) {
                data.push_back(bgr[0]);
            } else {
                data.push_back(bgr[2]);
                data.push_back(bgr[1]);
                data.push_back(bgr[0]);
            }
        }
    WriteNpy(path, data, {size_t(b.Height), size_t(b.Width), size_t(grey ? 1 : 3)});
}

// Cases for tests/imaging/pximg_oracle.py, checked in one run of Debian's Python (numpy and
// scipy load once): add each case's files and arguments, then Run() gives each name's verdict.
class OracleBatch {
public:
    // Writes the image before the operation; Output() after it.
    std::string Input(const PxBitmap& b, bool grey) { return Write(b, grey); }
    std::string Write(const PxBitmap& b, bool grey)
    {
        files_.emplace_back(new TempFile(".npy"));
        WriteImageNpy(files_.back()->path, b, grey);
        return files_.back()->path;
    }
    std::string NewFile(const std::string& suffix)
    {
        files_.emplace_back(new TempFile(suffix));
        return files_.back()->path;
    }
    void Add(const std::string& name, const std::string& op, const std::string& in, const std::string& out,
             const std::string& arguments = "")
    {
        lines_ += name + " " + op + " " + in + " " + out + " " + arguments + "\n";
        names_.push_back(name);
    }
    // Each case's verdict ("ok" or what differs), by name.
    std::map<std::string, std::string> Run()
    {
        const std::string batch = NewFile(".txt");
        FILE* file = std::fopen(batch.c_str(), "w");
        std::fputs(lines_.c_str(), file);
        std::fclose(file);
        const mgtest::CommandResult run =
            mgtest::RunCommand("/usr/bin/python3 " MG_TESTS_DIR "/imaging/pximg_oracle.py " + batch + " 2>&1");
        std::map<std::string, std::string> verdicts;
        for (const std::string& name : names_)
            verdicts[name] = "no verdict (exit " + std::to_string(run.exitCode) + "): " + run.output;
        size_t start = 0;
        while (start < run.output.size()) {
            const size_t end = run.output.find('\n', start);
            const std::string line = run.output.substr(start, end - start);
            const size_t space = line.find(' ');
            if (space != std::string::npos && verdicts.count(line.substr(0, space)))
                verdicts[line.substr(0, space)] = line.substr(space + 1);
            start = end == std::string::npos ? run.output.size() : end + 1;
        }
        return verdicts;
    }
    // Runs the batch and expects every case to be "ok".
    void ExpectAllOk()
    {
        for (const auto& [name, verdict] : Run())
            EXPECT_EQ(verdict, "ok") << name;
    }

private:
    std::vector<std::unique_ptr<TempFile>> files_;
    std::vector<std::string> names_;
    std::string lines_;
};

} // namespace pxtest
