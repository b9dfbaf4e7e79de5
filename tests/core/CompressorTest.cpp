#include "KzqTestUtil.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Repetitive(size_t size)
{
    std::string text;
    while (text.size() < size)
        text += "GObject GPosRot GPhysical 0123 " + std::to_string(text.size() % 97);
    return text.substr(0, size & ~size_t(1));
}

const char* const kRealFile = MG_TESTDATA_DIR "/lightwave/lwo2/UglyVertexColors.lwo";

std::string RealFile()
{
    std::string bytes = ReadWholeFile(kRealFile);
    EXPECT_GT(bytes.size(), 60000u);
    return bytes.substr(0, bytes.size() & ~size_t(1));
}

std::vector<unsigned short> Words(const std::string& bytes)
{
    std::vector<unsigned short> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), words.size() * 2);
    return words;
}

TEST(Kzq, RoundTripsAtEveryLevelWhateverTheChunking)
{
    MG_SKIP_WITHOUT_TESTDATA(kRealFile);
    const std::vector<std::pair<const char*, std::string>> inputs = {
        {"empty", ""},
        {"random", SeededBytes(1, 40000)},
        {"repetitive", Repetitive(70000)},
        {"real file", RealFile()},
    };
    for (int level = 0; level <= 3; ++level) {
        for (const auto& input : inputs) {
            SCOPED_TRACE(std::string(input.first) + " at level " + std::to_string(level));
            KzqStream whole = KzqCompress(input.second, level, 1 << 30);
            for (int chunk : {2, 6, 4096, 16384})
                EXPECT_EQ(KzqCompress(input.second, level, chunk).bytes, whole.bytes) << "chunk " << chunk;
            bool ok = false;
            for (int chunk : {2, 6, 4096, 16384, 1 << 20})
                EXPECT_EQ(KzqDecompress(whole.bytes, chunk, ok), input.second) << "chunk " << chunk;
            EXPECT_TRUE(ok);
            EXPECT_EQ(KzqDecompress(whole.bytes, 4096, ok, 3), input.second); // input in dribbles
            EXPECT_TRUE(ok);
        }
    }
    EXPECT_LT(KzqCompress(Repetitive(70000), 3, 4096).bytes.size(), 70000u / 10);
}

TEST(Kzq, IndependentPythonDecoderReadsOurStreams)
{
    MG_SKIP_WITHOUT_TESTDATA(kRealFile);
    std::string data = RealFile() + Repetitive(30000) + SeededBytes(2, 20000);
    for (int level = 0; level <= 3; ++level) {
        std::string stream = KzqCompress(data, level, 4096).bytes;
        std::string decoded = RunPython(MG_TESTS_DIR "/core/kzq_decode.py", stream);
        EXPECT_TRUE(decoded == data) << "level " << level << ": " << decoded.size() << " bytes";
    }
}

TEST(Kzq, EmptyStreamAndLevelHandling)
{
    EXPECT_EQ(KzqCompress("", 3, 2).bytes, std::string("\xFF\x07\x00\x80\x00\x00", 6));
    EXPECT_EQ(KzqCompress("", 9, 2).bytes, KzqCompress("", 3, 2).bytes);
    EXPECT_EQ(KzqCompress("", 0, 2).bytes.substr(0, 2), std::string("\xFF\x00", 2));
    CKzqCompressor compressor;
    EXPECT_TRUE(compressor.Compress([](void*, void*, int n) { return n; }, nullptr, -1));
    EXPECT_EQ(compressor.Write("ab", 2), -1); // never started
}

TEST(Kzq, RunOfOneWordDoublesItsTokens)
{
    std::string run;
    for (int i = 0; i < 200; ++i)
        run += "\x34\x12";
    std::vector<unsigned short> w = Words(KzqCompress(run, 3, 4096).bytes);
    ASSERT_GE(w.size(), 10u);
    EXPECT_EQ(w[0], 0x07FF);
    EXPECT_EQ(w[1], 0x3FF8); // literal, literal, ten tokens, the end token
    EXPECT_EQ(w[2], 0x1234);
    EXPECT_EQ(w[3], 0x1234);
    const unsigned short tokens[] = {2 << 5 | 2, 4 << 5 | 4, 8 << 5 | 8, 16 << 5 | 16, 32 << 5 | 31};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w[4 + i], tokens[i]) << i;
}

TEST(Kzq, TokensStayWithinTheLevelsLimits)
{
    MG_SKIP_WITHOUT_TESTDATA(kRealFile);
    std::string data = RealFile() + Repetitive(20000);
    for (int level = 0; level <= 3; ++level) {
        const int window = (256 << level) - 1;
        const int shift = 8 - level;
        std::vector<unsigned short> w = Words(KzqCompress(data, level, 4096).bytes);
        size_t pos = 1;
        bool ended = false;
        while (!ended && pos < w.size()) {
            unsigned flags = w[pos++];
            for (unsigned bit = 0x8000; bit && !ended; bit >>= 1) {
                unsigned item = w[pos++];
                if (!(flags & bit))
                    continue;
                ended = item == 0;
                int length = item & ((1 << shift) - 1), distance = item >> shift;
                if (!ended) {
                    ASSERT_GE(length, 2);
                    ASSERT_LE(length, distance);
                    ASSERT_LE(distance, window);
                }
            }
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(pos, w.size());
    }
}

TEST(Kzq, OutputReachesTheCallbackIn16KPieces)
{
    // Random words are all literals: 34 bytes a group, so groups straddle the boundaries.
    for (size_t size : {size_t(0), size_t(15420), size_t(200000)}) {
        KzqStream stream = KzqCompress(SeededBytes(3, size), 3, 6000);
        ASSERT_FALSE(stream.pieces.empty());
        for (size_t i = 0; i + 1 < stream.pieces.size(); ++i)
            EXPECT_EQ(stream.pieces[i], 16384);
        EXPECT_LE(stream.pieces.back(), 16384);
        EXPECT_GT(stream.pieces.back(), 0);
        bool ok = false;
        EXPECT_EQ(KzqDecompress(stream.bytes, 512, ok), SeededBytes(3, size));
    }
}

struct Reader {
    std::string stream;
    size_t at = 0;
    static int Supply(void* user, void* buffer, int count)
    {
        Reader* r = static_cast<Reader*>(user);
        int take = static_cast<int>(std::min(r->stream.size() - r->at, static_cast<size_t>(count)));
        std::memcpy(buffer, r->stream.data() + r->at, static_cast<size_t>(take));
        r->at += static_cast<size_t>(take);
        return take;
    }
};

TEST(Kzq, ReadingPastTheEndGivesTheRestThenNothing)
{
    Reader reader{KzqCompress("abcdefgh", 3, 2).bytes};
    CKzqCompressor d;
    d.Decompress(Reader::Supply, &reader);
    char buffer[6];
    EXPECT_EQ(d.Read(buffer, 6), 6);
    EXPECT_EQ(d.Read(buffer, 6), 2);
    EXPECT_EQ(std::string(buffer, 2), "gh");
    EXPECT_EQ(d.Read(buffer, 6), 0);
    EXPECT_FALSE(d.Decompress(nullptr, nullptr));
}

TEST(Kzq, DamagedStreamsAreRefused)
{
    std::string good = KzqCompress(Repetitive(5000), 3, 4096).bytes;
    struct Case {
        const char* what;
        std::string stream;
    };
    std::string badWindow = good;
    badWindow[0] = 0x00;
    badWindow[1] = 0x04;
    // A token reaching back 100 words when only 2 have been decoded.
    std::string farBack("\xFF\x07\x00\x20\x41\x00\x42\x00", 8);
    farBack += static_cast<char>((100 << 5 | 4) & 0xFF);
    farBack += static_cast<char>((100 << 5 | 4) >> 8);
    farBack += std::string(30, '\0');
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() / 2)},
        {"cut before the end token", good.substr(0, good.size() - 2)},
        {"odd length", good.substr(0, 3)},
        {"no header", ""},
        {"bad window", badWindow},
        {"distance beyond the data", farBack},
    };
    // Small reads go through the decoder's window; large ones are decoded in place.
    for (const Case& c : cases)
        for (int chunk : {4096, 1 << 20}) {
            bool ok = true;
            KzqDecompress(c.stream, chunk, ok);
            EXPECT_FALSE(ok) << c.what << ", chunk " << chunk;
        }
    Reader reader{good};
    CKzqCompressor d;
    d.Decompress([](void*, void*, int) { return -1; }, &reader);
    char buffer[2];
    EXPECT_EQ(d.Read(buffer, 2), -1);
    EXPECT_NE(d.GetErrorText(), nullptr);
    EXPECT_TRUE(d.Decompress(nullptr, nullptr));
}

TEST(Kzq, FailingOutputCallbackIsReported)
{
    CKzqCompressor c;
    c.Compress([](void*, void*, int) { return -1; }, nullptr, 3);
    std::string data = SeededBytes(4, 100000);
    int result = 0;
    for (size_t at = 0; at < data.size() && result >= 0; at += 1000)
        result = c.Write(data.data() + at, 1000);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(c.Compress(nullptr, nullptr, 0));
}

TEST(KzqDeathTest, OddCountsAreFatal)
{
    CKzqCompressor c;
    c.Compress([](void*, void*, int n) { return n; }, nullptr, 3);
    EXPECT_EXIT(c.Write("abc", 3), ::testing::ExitedWithCode(3), "Must compress even aligned data.");
    CKzqCompressor d;
    d.Decompress([](void*, void*, int) { return 0; }, nullptr);
    char buffer[3];
    EXPECT_EXIT(d.Read(buffer, 3), ::testing::ExitedWithCode(3), "Must decompress even aligned data.");
}

} // namespace
