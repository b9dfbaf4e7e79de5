// The WAV streamer through the whole path: a streamed definition plays a file through the
// 3-second ring, and the mix holds the file's samples exactly, then silence. Damaged and
// unsupported files are refused with a message and the game plays on. The recordings of the
// third-party data go through a memory sample and come out as sox resamples them.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "SoundTestSupport.h"

namespace {

struct StreamCase {
    const char* name;
    double seconds;
    int bits;
};

class SoundStreamTest : public SoundTest {
protected:
    // Plays the file as a streamed definition from the next frame; returns the output frame it
    // started at and the frames it lasted (the voice's end seen frame by frame).
    std::pair<long, long> PlayStream(const std::string& file, int maxFrames = 1000)
    {
        std::vector<unsigned char> sampleBytes, definitionBytes;
        CSoundSample* sample = BuildStreamedSample(sampleBytes, file.c_str());
        CSoundDefinition* definition =
            BuildDefinition(definitionBytes, {"Stream", SOUND_STREAM, 1.0f, 0.0f, 1.0f}, {sample});
        const long start = Now();
        SoundStatus status = System->Play(definition->Id, static_cast<const CVector*>(nullptr));
        const bool started = (status & SOUND_STATUS_PLAYING) != 0;
        long frames = 0;
        while (System->Status(status) && frames < maxFrames) {
            Frame();
            ++frames;
        }
        Frames(20);
        definition->~CSoundDefinition();
        sample->~CSoundSample();
        return {started ? start : -1, frames};
    }
    std::string Source(const char* name) const { return std::string(MG_BINARY_DIR) + "/stream_" + name + ".wav"; }
};

// Shorter than the ring, exactly one refill past it, and longer than it (several laps), in 16
// and 8 bits: every sample plays once, in order, then silence (8-bit silence is 0x80).
TEST_F(SoundStreamTest, StreamsPlayEverySampleOnceThenSilence)
{
    const StreamCase cases[] = {{"short", 2.5, 16}, {"lap", 4.5, 16}, {"long", 7.25, 16}, {"bytes", 2.0, 8}};
    for (const StreamCase& c : cases) {
        const int frames = int(c.seconds * 44100);
        std::vector<unsigned char> data = NoiseBytes(frames, c.bits, 7);
        WriteWav(Source(c.name), 1, 44100, c.bits, data);
        auto [start, lasted] = PlayStream(Source(c.name));
        ASSERT_GE(start, 0) << c.name;
        EXPECT_NEAR(lasted, c.seconds * 100, 4) << c.name << ": frames of 10 ms until it ended";
        if (c.bits == 16) {
            std::ostringstream expected;
            expected << "matched " << frames << " of " << frames << "; silent-after 0\n";
            EXPECT_EQ(Oracle("stream " + Mix() + " " + Source(c.name) + " " + std::to_string(start)), expected.str())
                << c.name;
        } else {
            EXPECT_EQ(Oracle("peak " + Mix() + " " + std::to_string(start + frames + 1) + " " +
                             std::to_string(start + frames + 300)),
                      "0\n");
            EXPECT_NE(Oracle("peak " + Mix() + " " + std::to_string(start) + " " + std::to_string(start + frames)),
                      "0\n");
        }
    }
    // sox reads the whole mix as 44.1 kHz stereo of the length that passed.
    const std::string mix = Mix();
    const long now = Now();
    std::istringstream info(Oracle("info " + mix));
    long rate, channels, width, frames;
    double seconds;
    info >> rate >> channels >> width >> frames >> seconds;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(frames, now);
    EXPECT_NEAR(seconds, now / 44100.0, 1e-4);
}

TEST_F(SoundStreamTest, ASecondStreamWaitsAndAnExtensiblePcmFilePlays)
{
    const std::string name = Source("first");
    WriteWav(name, 1, 22050, 16, NoiseBytes(22050 * 2, 16, 3));
    std::vector<unsigned char> a, b, c, d;
    CSoundSample* first = BuildStreamedSample(a, name.c_str());
    CSoundSample* second = BuildStreamedSample(b, name.c_str());
    CSoundDefinition* one = BuildDefinition(c, {"StreamOne", SOUND_STREAM, 1.0f, 0.0f, 1.0f}, {first});
    CSoundDefinition* two = BuildDefinition(d, {"StreamTwo", SOUND_STREAM, 1.0f, 0.0f, 1.0f}, {second});
    SoundStatus playing = System->Play(one->Id, static_cast<const CVector*>(nullptr));
    ASSERT_TRUE(playing & SOUND_STATUS_PLAYING);
    Frame();
    EXPECT_FALSE(System->Play(two->Id, static_cast<const CVector*>(nullptr)) & SOUND_STATUS_PLAYING);
    EXPECT_TRUE(System->Status(playing));
    System->Stop();
    two->~CSoundDefinition();
    one->~CSoundDefinition();

    // The extensible format (what sox writes for more than two channels or 16 bits) with a PCM
    // sub-format plays as PCM.
    std::vector<unsigned char> data = NoiseBytes(44100, 16, 5);
    std::string file = "RIFF";
    auto u32 = [&](unsigned long v) {
        for (int i = 0; i < 4; ++i)
            file += char(v >> (8 * i));
    };
    auto u16 = [&](unsigned v) {
        file += char(v);
        file += char(v >> 8);
    };
    u32(4 + 8 + 40 + 8 + data.size());
    file += "WAVEfmt ";
    u32(40);
    u16(0xFFFE);
    u16(1);
    u32(44100);
    u32(88200);
    u16(2);
    u16(16);
    u16(22);
    u16(16);
    u32(4);
    const unsigned char pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    file.append(reinterpret_cast<const char*>(pcm), 16);
    file += "data";
    u32(data.size());
    file.append(data.begin(), data.end());
    const std::string extensible = Source("extensible");
    std::ofstream(extensible, std::ios::binary).write(file.data(), file.size());
    auto [start, lasted] = PlayStream(extensible);
    EXPECT_GE(start, 0);
    EXPECT_NEAR(lasted, 100, 4);
}

TEST_F(SoundStreamTest, DamagedOrUnsupportedFilesAreRefusedWithAMessageAndTheGamePlaysOn)
{
    struct Case {
        const char* name;
        int tag, channels, rate, avg, block, bits;
        long dataSize; // -1: the real size
        const char* message;
    };
    const Case cases[] = {
        {"float", 3, 1, 44100, 176400, 4, 32, -1, "unsupported wave format (tag 3"},
        {"adpcm", 2, 1, 44100, 22050, 512, 4, -1, "unsupported wave format (tag 2"},
        {"absurd", 1, 1, 44100, 2000000000, 2, 16, -1, "unsupported wave format"},
        {"truncated", 1, 1, 44100, 88200, 2, 16, 10000000, "Cannot find data chunk"},
        {"nofmt", 0, 0, 0, 0, 0, 0, -1, "Cannot Cannot find format chunk"},
    };
    for (const Case& c : cases) {
        std::string file = "RIFF";
        auto u32 = [&](unsigned long v) {
            for (int i = 0; i < 4; ++i)
                file += char(v >> (8 * i));
        };
        auto u16 = [&](unsigned v) {
            file += char(v);
            file += char(v >> 8);
        };
        std::vector<unsigned char> data = NoiseBytes(8000, 16, 1);
        u32(0);
        file += "WAVE";
        if (c.tag) {
            file += "fmt ";
            u32(16);
            u16(c.tag);
            u16(c.channels);
            u32(c.rate);
            u32(c.avg);
            u16(c.block);
            u16(c.bits);
        }
        file += "data";
        u32(c.dataSize < 0 ? data.size() : c.dataSize);
        file.append(data.begin(), data.end());
        const unsigned long riff = file.size() - 8;
        for (int i = 0; i < 4; ++i)
            file[4 + i] = char(riff >> (8 * i));
        const std::string path = Source(c.name);
        std::ofstream(path, std::ios::binary).write(file.data(), file.size());
        DebugLog.clear();
        EXPECT_EQ(PlayStream(path).first, -1) << c.name;
        EXPECT_NE(DebugLog.find(c.message), std::string::npos) << c.name << ": " << DebugLog;
        EXPECT_NE(DebugLog.find(path), std::string::npos) << c.name << ": the message names the file";
    }
    EXPECT_EQ(PlayStream(Source("missing-file")).first, -1);
    // And the game carries on: the next good sound plays.
    CSoundDefinition* good = Define({"Good", 0, 1.0f, 0.0f, 1.0f});
    EXPECT_TRUE(System->Play(good->Id, static_cast<const CVector*>(nullptr)) & SOUND_STATUS_PLAYING);
}

// Minimal reader of a canonical recording: its format chunk and data bytes.
bool ReadWav(const std::string& path, WAVEFORMATEX& format, std::vector<short>& samples)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= bytes.size()) {
        unsigned long size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "fmt ") == 0) {
            std::memcpy(&format, bytes.data() + at + 8, 16);
            format.cbSize = 0;
            haveFormat = true;
        } else if (bytes.compare(at, 4, "data") == 0 && haveFormat) {
            size = std::min<unsigned long>(size, bytes.size() - at - 8);
            samples.resize(size / 2);
            std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * 2);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// 48 kHz recordings through definition, memory sample and mixer come out as sox resamples them
// to 44.1 kHz: the linear resampler stays within a few percent of the signal's level.
TEST_F(SoundStreamTest, RealRecordingsComeOutAsSoxResamplesThem)
{
    for (const char* name : {"Front_Center.wav", "Noise.wav"}) {
        const std::string path = std::string(MG_TESTDATA_DIR) + "/wav/" + name;
        WAVEFORMATEX format = {};
        std::vector<short> samples;
        if (!ReadWav(path, format, samples))
            GTEST_SKIP() << "third-party data missing: " << path;
        ASSERT_EQ(format.nChannels, 1);
        std::vector<unsigned char> sampleBytes, definitionBytes;
        CSoundSample* sample =
            BuildMemorySample(sampleBytes, format, samples.data(), samples.size() * 2, format.nSamplesPerSec);
        CSoundDefinition* definition = BuildDefinition(definitionBytes, {name, 0, 1.0f, 0.0f, 1.0f}, {sample});
        const long start = Now();
        SoundStatus status = System->Play(definition->Id, static_cast<const CVector*>(nullptr));
        ASSERT_TRUE(status & SOUND_STATUS_PLAYING);
        while (System->Status(status))
            Frame();
        std::istringstream result(Oracle("resampled " + Mix() + " " + path + " " + std::to_string(start)));
        std::string word;
        double error, signal;
        int lag;
        result >> word >> error >> word >> signal >> word >> lag;
        EXPECT_LT(error, signal * (std::string(name) == "Noise.wav" ? 0.35 : 0.05)) << name;
        EXPECT_LE(std::abs(lag), 1) << name;
        definition->~CSoundDefinition();
        sample->~CSoundSample();
    }
}

} // namespace
