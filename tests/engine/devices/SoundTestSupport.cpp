#include "SoundTestSupport.h"

#include <mg_dsound.h>
#include <mg_win32.h>

#include <cstdio>

#include "tests/support/RunCommand.h"

namespace {
void CollectDebug(const char* text, void* user) { static_cast<std::string*>(user)->append(text); }
} // namespace

void SoundTest::SetUp()
{
    ObjectTest::SetUp();
    MgUseVirtualClock(MG_PERF_FREQUENCY);
    MgSetDebugOutputSink(CollectDebug, &DebugLog);
    Capture = std::string(MG_BINARY_DIR) + "/sound_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
              ".wav";
    ASSERT_TRUE(MgSoundCaptureToFile(Capture.c_str()));
    for (float& volume : GSoundSystem::CurVolume)
        volume = 1.0f;
    System = GSoundSystem::Create();
}

void SoundTest::TearDown()
{
    GObject::DestroyObjects();
    for (CSoundDefinition* definition : Definitions)
        definition->~CSoundDefinition();
    for (CSoundSample* sample : Samples)
        sample->~CSoundSample();
    MgSoundCloseCapture();
    MgSetDebugOutputSink(nullptr, nullptr);
    ObjectTest::TearDown();
}

void SoundTest::Frame(float pauseFrameTime)
{
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 100);
    CGameTimer::tPauseFrameTime = pauseFrameTime;
    if (GSoundSystem::pThe)
        GSoundSystem::pThe->Process();
}

CSoundDefinition* SoundTest::Define(const SoundDefinitionSpec& spec, int samples, const std::vector<short>& data)
{
    static const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    std::vector<CSoundSample*> list;
    for (int i = 0; i < samples; ++i) {
        std::vector<short> bytes = data.empty() ? std::vector<short>(4410, short(1000 * (i + 1))) : data;
        Records.emplace_back();
        list.push_back(BuildMemorySample(Records.back(), format, bytes.data(), bytes.size() * 2, 44100));
        Samples.push_back(list.back());
    }
    Records.emplace_back();
    Definitions.push_back(BuildDefinition(Records.back(), spec, list));
    return Definitions.back();
}

long SoundTest::Now() const { return long(MgSoundFramesCaptured()); }

std::string SoundTest::Oracle(const std::string& args) const
{
    mgtest::CommandResult result =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/compat/dsound/wav_oracle.py " + args);
    EXPECT_EQ(result.exitCode, 0) << args;
    return result.output;
}

const std::string& SoundTest::Mix() const
{
    MgSoundRenderNow();
    return Capture;
}

void WriteWav(const std::string& path, int channels, int rate, int bits, const std::vector<unsigned char>& data)
{
    auto u32 = [](std::string& s, unsigned long v) {
        for (int i = 0; i < 4; ++i)
            s += char(v >> (8 * i));
    };
    auto u16 = [](std::string& s, unsigned v) {
        s += char(v);
        s += char(v >> 8);
    };
    const int block = channels * bits / 8;
    std::string file = "RIFF";
    u32(file, 36 + data.size());
    file += "WAVEfmt ";
    u32(file, 16);
    u16(file, 1);
    u16(file, channels);
    u32(file, rate);
    u32(file, rate * block);
    u16(file, block);
    u16(file, bits);
    file += "data";
    u32(file, data.size());
    file.append(reinterpret_cast<const char*>(data.data()), data.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
}

// Deterministic noise, never silent, so that every played frame is told apart from silence.
std::vector<unsigned char> NoiseBytes(int frames, int bits, unsigned seed)
{
    std::vector<unsigned char> bytes;
    unsigned state = seed;
    for (int i = 0; i < frames; ++i) {
        state = state * 1103515245u + 12345u;
        int value = int((state >> 16) & 0x3FFF) + 100;
        if (bits == 16) {
            short s = short((i & 1) ? value : -value);
            bytes.push_back(static_cast<unsigned char>(s & 0xFF));
            bytes.push_back(static_cast<unsigned char>((s >> 8) & 0xFF));
        } else {
            bytes.push_back(static_cast<unsigned char>(128 + ((i & 1) ? 1 + value % 100 : -1 - value % 100)));
        }
    }
    return bytes;
}
