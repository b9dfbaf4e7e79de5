#include "core/riff/CZRiffFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

unsigned long FourCC(const char* text) { return CZRiffFile::MakeFourCC(text); }

std::string RiffCheck(const std::string& command, const std::string& path)
{
    return RunPython(MG_TESTS_DIR "/core/riff_check.py", "", command + " '" + path + "'");
}

// Writes the bytes of one chunk file by hand: pieces are appended as given.
std::string Chunk(const char* id, const std::string& data, bool pad = true)
{
    std::string out(id, 4);
    unsigned long size = static_cast<unsigned long>(data.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(size >> (8 * i));
    out += data;
    if (pad && (data.size() & 1))
        out += '\0';
    return out;
}

class RiffFile : public ::testing::Test {
protected:
    void SetUp() override { dir = ScratchDir("riff"); }
    std::string Path(const char* name) const { return dir + "/" + name; }
    std::string dir;
};

TEST_F(RiffFile, WavWrittenHereIsReadByPythonWave)
{
    std::string path = Path("out.wav");
    std::string samples;
    for (int i = 0; i < 1001; ++i)
        samples += static_cast<char>(i * 13);
    {
        CZRiffFile riff;
        ASSERT_NE(riff.Create(path.c_str(), FourCC("WAVE")), nullptr);
        const unsigned char fmt[16] = {1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0};
        ASSERT_NE(riff.Descend(FourCC("fmt "), 0, true), nullptr);
        EXPECT_FALSE(riff.Write(fmt, sizeof fmt));
        riff.Ascend();
        ASSERT_NE(riff.Descend(FourCC("LIST"), FourCC("INFO"), true), nullptr);
        riff.Descend(FourCC("INAM"), 0, true);
        EXPECT_FALSE(riff.WriteString("tone")); // 5 bytes and a pad
        riff.Ascend();
        riff.Ascend();
        ASSERT_NE(riff.Descend(FourCC("data"), 0, true), nullptr);
        EXPECT_FALSE(riff.Write(samples.data(), 1001)); // odd: a pad byte follows
        EXPECT_EQ(riff.Tell(), 1002u);
        // Leaving the rest open: Close patches every size on the way out.
    }
    std::string file = ReadWholeFile(path);
    ASSERT_EQ(file.size(), 12u + 24 + 26 + 8 + 1002);
    EXPECT_EQ(file.substr(file.size() - 2), samples.substr(1000, 1) + '\0');
    EXPECT_EQ(RiffCheck("readwav", path), "1 1 11025 1001\n" + HexOf(samples) + "\n");

    // And back through our reader: the data chunk's size excludes the pad.
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("WAVE")), nullptr);
    ZRIFFCKINFO* data = riff.Descend(FourCC("data"), 0, true);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->size, 1001u);
    EXPECT_STREQ(data->printableId, "data");
    std::string back(1001, '\0');
    EXPECT_FALSE(riff.Read(&back[0], 2000, false));
    EXPECT_EQ(back, samples);
    EXPECT_EQ(riff.Descend(0, 0, true), nullptr); // nothing after it inside the RIFF
}

TEST_F(RiffFile, ReadsPythonWaveOutput)
{
    std::string path = Path("py.wav");
    RiffCheck("writewav", path);
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("WAVE")), nullptr);
    ASSERT_NE(riff.Descend(FourCC("fmt "), 0, true), nullptr);
    unsigned short formatAndChannels[2] = {};
    riff.Read(formatAndChannels, 4, false);
    EXPECT_EQ(formatAndChannels[0], 1);
    EXPECT_EQ(formatAndChannels[1], 2);
    riff.Ascend();
    ZRIFFCKINFO* data = riff.Descend(FourCC("data"), 0, true);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->size, 333u * 4);
    short frame[2];
    riff.Seek(4 * 10);
    riff.Read(frame, 4, false);
    EXPECT_EQ(frame[0], 70);
    EXPECT_EQ(frame[1], -30);
}

TEST_F(RiffFile, RealRecordingMatchesPythonWave)
{
    const std::string path = MG_TESTDATA_DIR "/wav/Front_Center.wav";
    MG_SKIP_WITHOUT_TESTDATA(path);
    std::vector<std::string> python = SplitLines(RiffCheck("readwav", path));
    ASSERT_EQ(python.size(), 2u);
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("WAVE")), nullptr);
    ASSERT_NE(riff.Descend(FourCC("fmt "), 0, true), nullptr);
    unsigned short fmt[8];
    EXPECT_FALSE(riff.Read(fmt, sizeof fmt, false));
    riff.Ascend();
    ZRIFFCKINFO* data = riff.Descend(FourCC("data"), 0, true);
    ASSERT_NE(data, nullptr);
    std::string samples(data->size, '\0');
    EXPECT_FALSE(riff.Read(&samples[0], data->size, false));
    unsigned long rate = fmt[2] | static_cast<unsigned long>(fmt[3]) << 16;
    EXPECT_EQ(python[0], std::to_string(fmt[1]) + " " + std::to_string(fmt[7] / 8) + " " + std::to_string(rate) + " " +
                             std::to_string(data->size / fmt[6]));
    EXPECT_TRUE(python[1] == HexOf(samples));
}

TEST_F(RiffFile, FormFilesReadBigEndianUntilARiffHeader)
{
    std::string path = Path("sound.aiff");
    RiffCheck("writeaiff", path);
    CZRiffFile riff;
    ZRIFFCKINFO* form = riff.Open(path.c_str(), FourCC("AIFF"));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->id, FourCC("FORM"));
    EXPECT_TRUE(riff.IsBigEndian());
    ZRIFFCKINFO* comm = riff.Descend(FourCC("COMM"), 0, true);
    ASSERT_NE(comm, nullptr);
    EXPECT_EQ(comm->size, 18u);
    unsigned short channels = 0;
    unsigned long frames = 0;
    EXPECT_FALSE(riff.Read(&channels, 2, riff.IsBigEndian()));
    EXPECT_FALSE(riff.Read(&frames, 4, riff.IsBigEndian()));
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(frames, 1000u);
    riff.Ascend();
    // The odd-sized chunk and its pad byte are skipped by the search.
    ZRIFFCKINFO* ssnd = riff.Descend(FourCC("SSND"), 0, true);
    ASSERT_NE(ssnd, nullptr);
    EXPECT_EQ(ssnd->size, 12u);
    riff.Ascend();
    riff.Ascend();
    // A RIFF header after the FORM block switches back to little-endian.
    ZRIFFCKINFO* test = riff.Descend(FourCC("RIFF"), FourCC("TEST"), false);
    ASSERT_NE(test, nullptr);
    EXPECT_FALSE(riff.IsBigEndian());
    ZRIFFCKINFO* abcd = riff.Descend(FourCC("abcd"), 0, true);
    ASSERT_NE(abcd, nullptr);
    EXPECT_EQ(abcd->size, 2u);
}

TEST_F(RiffFile, ChunkEdgeCases)
{
    std::string body = "TYPE" + Chunk("odd1", "abc") + Chunk("LIST", "SUBSlist") + Chunk("four", "\x01\x02\x03\x04") +
                       Chunk("tail", "xyz");
    std::string path = Path("edges.riff");
    WriteWholeFile(path, Chunk("RIFF", body));
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);

    // Asking for a list type skips plain chunks.
    ZRIFFCKINFO* list = riff.Descend(0, FourCC("SUBS"), true);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->id, FourCC("LIST"));
    riff.Ascend();
    ZRIFFCKINFO* four = riff.Descend(0, 0, true); // anything: the next chunk
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->id, FourCC("four"));
    unsigned char bytes[4];
    EXPECT_FALSE(riff.Read(bytes, 4, true));
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_FALSE(riff.Seek(4)); // exactly the size is allowed
    EXPECT_TRUE(riff.Seek(5));
    riff.Ascend();
    // A read of 8 with 3 left reads 3 and consumes the pad: the next header follows.
    ASSERT_NE(riff.Descend(FourCC("tail"), 0, true), nullptr);
    char tail[8] = {};
    EXPECT_FALSE(riff.Read(tail, 8, false));
    EXPECT_STREQ(tail, "xyz");
    EXPECT_EQ(riff.Tell(), 4u);
    riff.Ascend();

    // An odd read in mid-chunk keeps the next data byte.
    riff.Close();
    ASSERT_NE(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);
    riff.Descend(FourCC("odd1"), 0, true);
    char one = 0, two = 0;
    riff.Read(&one, 1, false);
    riff.Read(&two, 1, false);
    EXPECT_EQ(one, 'a');
    EXPECT_EQ(two, 'b');

    EXPECT_EQ(CZRiffFile::MakeFourCC("ALL"), FourCC("ALL "));
    EXPECT_STREQ(CZRiffFile::FourCCToString(FourCC("PCX")), "PCX ");
    EXPECT_TRUE(CZRiffFile::IsBadFourCC(0x00414141UL));
    EXPECT_TRUE(CZRiffFile::IsBadFourCC(0x80414141UL));
}

TEST_F(RiffFile, BadHeadersStopTheSearchWhereItBegan)
{
    std::string bad = std::string("ab\x01d", 4) + std::string(4, '\0');
    std::string huge = std::string("huge") + "\xF0\xFF\xFF\xFF";
    // A child claiming more than its parent holds, and a size running past 4 GiB.
    std::string path = Path("bad.riff");
    WriteWholeFile(path, Chunk("RIFF", "TYPE" + Chunk("good", "12") + bad + Chunk("more", "x")));
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);
    riff.Descend(FourCC("good"), 0, true);
    riff.Ascend();
    unsigned long before = riff.Tell();
    EXPECT_EQ(riff.Descend(FourCC("more"), 0, true), nullptr);
    EXPECT_EQ(riff.Tell(), before);

    // Sizes beyond the end of a cut file: the top chunk, then a child in an intact parent.
    WriteWholeFile(path, Chunk("RIFF", "TYPE" + Chunk("kid1", std::string(40, 'k'))).substr(0, 20));
    EXPECT_EQ(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);
    std::string kid = Chunk("kid1", std::string(40, 'k')).substr(0, 20);
    WriteWholeFile(path, Chunk("RIFF", "TYPE" + kid));
    ASSERT_NE(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);
    EXPECT_EQ(riff.Descend(FourCC("kid1"), 0, true), nullptr);

    WriteWholeFile(path, Chunk("RIFF", "TYPE" + huge + "more"));
    ASSERT_NE(riff.Open(path.c_str(), FourCC("TYPE")), nullptr);
    EXPECT_EQ(riff.Descend(FourCC("none"), 0, true), nullptr);
    EXPECT_EQ(riff.Open(Path("missing").c_str(), FourCC("TYPE")), nullptr);
    EXPECT_EQ(riff.Open(path.c_str(), FourCC("WAVE")), nullptr);
}

TEST_F(RiffFile, StringsArePaddedToEvenLengths)
{
    std::string path = Path("strings.riff");
    {
        CZRiffFile riff;
        ASSERT_NE(riff.Create(path.c_str(), FourCC("STRS")), nullptr);
        riff.Descend(FourCC("strs"), 0, true);
        EXPECT_FALSE(riff.WriteString(""));
        EXPECT_FALSE(riff.WriteString("ab"));
        EXPECT_FALSE(riff.WriteString("abc"));
        EXPECT_TRUE(riff.Write("x", 0));
    }
    EXPECT_EQ(ReadWholeFile(path).substr(20), std::string("\0\0ab\0\0abc\0", 10));
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), FourCC("STRS")), nullptr);
    riff.Descend(FourCC("strs"), 0, true);
    std::string text = "unchanged";
    char small[4];
    EXPECT_FALSE(riff.ReadString(text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(riff.ReadString(3, small));
    EXPECT_STREQ(small, "ab");
    EXPECT_TRUE(riff.ReadString(2, small)); // no NUL within 2 bytes of "abc"
    EXPECT_STREQ(small, "ab");
    EXPECT_FALSE(riff.ReadString(text));
    EXPECT_EQ(text, "c");
    EXPECT_TRUE(riff.ReadString(text)); // nothing left in the chunk
}

TEST_F(RiffFile, AttachedReaderGivesTheFileBack)
{
    std::string path = Path("pack.riff");
    WriteWholeFile(path, Chunk("RIFF", "ZEL2" + Chunk("DATA", "1234") + Chunk("MORE", "56")));
    CZRiffFile pack;
    ASSERT_NE(pack.Open(path.c_str(), FourCC("ZEL2")), nullptr);
    auto readMember = [&] {
        unsigned long before = pack.Tell();
        {
            CZRiffFile member;
            ASSERT_NE(member.Attach(&pack, FourCC("ZEL2")), nullptr);
            ASSERT_NE(member.Descend(FourCC("MORE"), 0, true), nullptr);
            char bytes[2];
            EXPECT_FALSE(member.Read(bytes, 2, false));
            EXPECT_EQ(std::string(bytes, 2), "56");
        }
        EXPECT_EQ(pack.Tell(), before);
    };
    readMember(); // right after the header
    ASSERT_NE(pack.Descend(FourCC("DATA"), 0, true), nullptr);
    char two[2];
    pack.Read(two, 2, false);
    readMember(); // in the middle of a chunk
    pack.Read(two, 2, false);
    EXPECT_EQ(std::string(two, 2), "34");

    CZRiffFile failing;
    EXPECT_EQ(failing.Attach(&pack, FourCC("NONE")), nullptr);
    EXPECT_EQ(pack.Tell(), 4u);
    EXPECT_TRUE(pack.IsOpen());
}

} // namespace
