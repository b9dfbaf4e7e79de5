// The DirectSound substitute on the virtual clock: buffers, cursors and the mix, read back from
// the WAV capture by an independent reader (Python's wave and numpy, sox).
#include <dsound.h>
#include <gtest/gtest.h>
#include <mg_dsound.h>
#include <mg_win32.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RunCommand.h"

namespace {

const LONGLONG kTenMs = MG_PERF_FREQUENCY / 100; // 441 output frames

std::string Oracle(const std::string& args)
{
    mgtest::CommandResult result =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/compat/dsound/wav_oracle.py " + args);
    EXPECT_EQ(result.exitCode, 0) << args;
    return result.output;
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MgUseVirtualClock(MG_PERF_FREQUENCY);
        Capture = std::string(MG_BINARY_DIR) + "/dsound_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
        ASSERT_TRUE(MgSoundCaptureToFile(Capture.c_str()));
        ASSERT_EQ(DirectSoundCreate8(nullptr, &Sound, nullptr), DS_OK);
        ASSERT_EQ(Sound->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
    }
    void TearDown() override
    {
        for (IDirectSoundBuffer* buffer : Buffers)
            buffer->Release();
        MgSoundCloseCapture();
        Sound->Release();
        MgUseRealClock();
    }

    // A buffer holding the 16-bit mono samples, with every control.
    IDirectSoundBuffer* Make(const std::vector<short>& samples, DWORD rate, WORD channels = 1)
    {
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * 2 * channels, WORD(2 * channels), 16, 0};
        DSBUFFERDESC desc = {sizeof desc,
                             DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
                             DWORD(samples.size() * 2),
                             0,
                             &format,
                             {}};
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(Sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        std::memcpy(p1, samples.data(), n1);
        EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
        Buffers.push_back(buffer);
        return buffer;
    }

    std::vector<std::pair<int, int>> Frames(long start, long count)
    {
        std::istringstream in(Oracle("frames " + Capture + " " + std::to_string(start) + " " + std::to_string(count)));
        std::vector<std::pair<int, int>> frames;
        int left, right;
        while (in >> left >> right)
            frames.emplace_back(left, right);
        return frames;
    }

    IDirectSound8* Sound = nullptr;
    std::vector<IDirectSoundBuffer*> Buffers;
    std::string Capture;
};

// Gain 10^(volume/2000); pan attenuates the far channel by the same law; sums saturate.
TEST_F(DirectSoundTest, VolumeAndPanFollowTheDecibelLawWithinOneStep)
{
    struct Case {
        LONG volume, pan;
    };
    const Case cases[] = {{0, 0}, {-600, 0}, {-3333, 0}, {0, -2500}, {0, 10000}, {-1200, 4000}, {-10000, 0}};
    IDirectSoundBuffer* dc = Make(std::vector<short>(441, 20000), 44100);
    ASSERT_EQ(dc->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (const Case& c : cases) {
        ASSERT_EQ(dc->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(dc->SetPan(c.pan), DS_OK);
        MgAdvanceVirtualClock(kTenMs);
    }
    // Two more full-scale buffers on top of it saturate instead of wrapping.
    dc->SetVolume(0);
    dc->SetPan(0);
    Make(std::vector<short>(441, 20000), 44100)->Play(0, 0, DSBPLAY_LOOPING);
    Make(std::vector<short>(441, -30000), 44100, 1);
    MgAdvanceVirtualClock(kTenMs);
    MgSoundRenderNow();

    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        auto frame = Frames(long(i) * 441 + 200, 1).at(0);
        const double gain = c.volume <= -10000 ? 0.0 : std::pow(10.0, c.volume / 2000.0);
        const double left = 20000.0 * gain * (c.pan > 0 ? std::pow(10.0, -c.pan / 2000.0) : 1.0);
        const double right = 20000.0 * gain * (c.pan < 0 ? std::pow(10.0, c.pan / 2000.0) : 1.0);
        EXPECT_NEAR(frame.first, left, 1.0) << c.volume << " " << c.pan;
        EXPECT_NEAR(frame.second, right, 1.0) << c.volume << " " << c.pan;
    }
    auto loud = Frames(long(sizeof cases / sizeof cases[0]) * 441 + 200, 1).at(0);
    EXPECT_EQ(loud, std::make_pair(32767, 32767));
}

// A 22,050 Hz ramp plays at half speed, interpolated between its samples, and a one-shot
// buffer stops after its last frame with silence after it.
TEST_F(DirectSoundTest, FrequencyResamplesAndAOneShotBufferEnds)
{
    std::vector<short> ramp(2205);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = short(4 * i);
    IDirectSoundBuffer* buffer = Make(ramp, 22050);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = 0;
    MgAdvanceVirtualClock(kTenMs * 9);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING));
    MgAdvanceVirtualClock(kTenMs * 2);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u) << "4,410 output frames after it started it has ended";
    MgSoundRenderNow();

    auto frames = Frames(0, 9);
    ASSERT_EQ(frames.size(), 9u);
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(frames[k], std::make_pair(2 * k, 2 * k)) << k;
    EXPECT_EQ(Oracle("peak " + Capture + " 4410 4851"), "0\n");
    EXPECT_NE(Oracle("peak " + Capture + " 4000 4410"), "0\n");

    // Played again at 44,100 Hz it takes half the time.
    ASSERT_EQ(buffer->SetFrequency(44100), DS_OK);
    buffer->SetCurrentPosition(0);
    buffer->Play(0, 0, 0);
    MgAdvanceVirtualClock(kTenMs * 5 + kTenMs / 2);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundTest, CursorsLoopAndLockWrapsAroundTheEnd)
{
    IDirectSoundBuffer* buffer = Make(std::vector<short>(1000, 1), 44100);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    MgAdvanceVirtualClock(kTenMs * 3); // 1,323 frames: one lap and 323 frames
    DWORD play = 0, write = 0, status = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 323u * 2);
    EXPECT_EQ(write, (323u + 441u) * 2);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));

    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(buffer->Lock(1800, 600, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 200u);
    EXPECT_EQ(n2, 400u);
    EXPECT_EQ(buffer->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL) << "already locked";
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(buffer->Lock(2000, 10, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);

    MgSoundLoseBuffers();
    EXPECT_EQ(buffer->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_BUFFERLOST));
    EXPECT_EQ(buffer->Restore(), DS_OK);
    EXPECT_EQ(buffer->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DS_OK);
    buffer->Unlock(p1, n1, p2, n2);
}

TEST_F(DirectSoundTest, ADuplicatePlaysTheSameMemoryOnItsOwn)
{
    IDirectSoundBuffer* original = Make(std::vector<short>(4410, 1000), 44100);
    original->SetVolume(-600);
    IDirectSoundBuffer* copy = nullptr;
    ASSERT_EQ(Sound->DuplicateSoundBuffer(original, &copy), DS_OK);
    Buffers.push_back(copy);
    LONG volume = 0;
    copy->GetVolume(&volume);
    EXPECT_EQ(volume, -600);
    copy->SetVolume(0);
    original->Play(0, 0, 0);
    MgAdvanceVirtualClock(kTenMs);
    copy->Play(0, 0, 0);
    original->Stop();
    MgAdvanceVirtualClock(kTenMs);
    DWORD status = 0;
    copy->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING));
    MgSoundRenderNow();
    EXPECT_NEAR(Frames(100, 1).at(0).first, 1000 * std::pow(10.0, -0.3), 1.0);
    EXPECT_EQ(Frames(541, 1).at(0).first, 1000);
}

TEST_F(DirectSoundTest, DescriptionsAndValuesOutsideTheRangesAreRefused)
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    struct Case {
        const char* what;
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    const Case cases[] = {
        {"float samples", {3, 1, 22050, 88200, 4, 32, 0}, 400, DSERR_BADFORMAT},
        {"three channels", {WAVE_FORMAT_PCM, 3, 22050, 132300, 6, 16, 0}, 600, DSERR_BADFORMAT},
        {"24 bits", {WAVE_FORMAT_PCM, 1, 22050, 66150, 3, 24, 0}, 300, DSERR_BADFORMAT},
        {"block size disagrees", {WAVE_FORMAT_PCM, 2, 22050, 88200, 2, 16, 0}, 400, DSERR_BADFORMAT},
        {"rate below 100 Hz", {WAVE_FORMAT_PCM, 1, 50, 100, 2, 16, 0}, 400, DSERR_BADFORMAT},
        {"no bytes", format, 0, DSERR_INVALIDPARAM},
        {"absurd size", format, 0x7FFFFFFF, DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f = c.format;
        DSBUFFERDESC desc = {sizeof desc, DSBCAPS_CTRLVOLUME, c.bytes, 0, &f, {}};
        IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
        EXPECT_EQ(Sound->CreateSoundBuffer(&desc, &buffer, nullptr), c.expected) << c.what;
        EXPECT_EQ(buffer, nullptr) << c.what;
    }

    DSBUFFERDESC desc = {sizeof desc, DSBCAPS_CTRLVOLUME, 400, 0, &format, {}};
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    Buffers.push_back(buffer);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(buffer->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    IDirectSoundBuffer* full = Make(std::vector<short>(10), 22050);
    EXPECT_EQ(full->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(full->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(full->SetFrequency(200001), DSERR_INVALIDPARAM);
    EXPECT_EQ(full->SetFrequency(200000), DS_OK);

    DSBUFFERDESC primaryDesc = {sizeof primaryDesc, DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(Sound->CreateSoundBuffer(&primaryDesc, &primary, nullptr), DS_OK);
    WAVEFORMATEX mix = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(primary->SetFormat(&mix), DS_OK);
    EXPECT_EQ(full->SetFormat(&mix), DSERR_INVALIDCALL);
    primary->Release();
}

// The capture is 44.1 kHz 16-bit stereo for exactly the time that passed, as sox and Python's
// wave read it; a machine without sound makes no device.
TEST_F(DirectSoundTest, TheCaptureCoversTheTimeThatPassed)
{
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY * 3 / 2);
    MgSoundCloseCapture();
    EXPECT_EQ(Oracle("info " + Capture), "44100 2 2 66150 1.500000\n");

    MgSoundSetNoDriver(TRUE);
    IDirectSound8* none = reinterpret_cast<IDirectSound8*>(1);
    EXPECT_EQ(DirectSoundCreate8(nullptr, &none, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(none, nullptr);
    MgSoundSetNoDriver(FALSE);
}

} // namespace
