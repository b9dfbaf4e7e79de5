// The video player over the DirectShow substitute, headless on the virtual clock: videos made
// with FFmpeg's command-line tool play into the software device, whose screenshots FFmpeg's own
// decoding of the same file checks, and whose sound lands in the mixer's capture file; the
// power-of-two surfaces, cancelling, the "novideos" switch and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <filesystem>
#include <string>
#include <vector>

#include <d3d9_fake_adapter.h>
#include <mg_dshow.h>
#include <mg_dsound.h>
#include <mg_win32.h>

#include "ObjectTestSupport.h"
#include "engine/devices/CVidSurfAlloc.h"
#include "engine/devices/GStartPosition.h"
#include "engine/devices/GVideoPlayer.h"
#include "engine/render/CRenderer.h"
#include "tests/engine/render/RenderTestSupport.h"
#include "tests/support/RunCommand.h"

namespace fs = std::filesystem;

namespace {

const std::string kVideos = MG_BINARY_DIR "/test_videos/";

void CollectDebugOutput(const char* text, void* user) { *static_cast<std::string*>(user) += text; }

std::string Oracle(const std::string& args)
{
    return mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/compat/dshow/video_oracle.py " + args +
                              " 2>&1")
        .output;
}

class VideoPlayerTest : public ObjectTest {
protected:
    void Start(DWORD textureCaps, const std::string& renderCfg = "width: 640\nheight: 480\nwindowed:\n")
    {
        game.reset(new ScopedGameFolder("video_player", renderCfg));
        FakeAdapter::Config adapter = FakeAdapter::Default();
        adapter.Caps.TextureCaps |= textureCaps;
        FakeAdapter::Configure(adapter);
        MgUseVirtualClock(MG_PERF_FREQUENCY);
        MgSetDebugOutputSink(CollectDebugOutput, &debug);
        renderer = CRenderer::Create();
        ASSERT_NE(renderer, nullptr);
        renderer->Init(nullptr, 0, 0);
        presentedBefore = MgVideoFramesPresented();
    }
    void TearDown() override
    {
        ResetWorld();
        CRenderer::Shutdown();
        MgSoundCloseCapture();
        MgSetDebugOutputSink(nullptr, nullptr);
        MgUseRealClock();
        game.reset();
    }
    GVideoPlayer* Play(const std::string& video, int noCancel = 0, int forcePause = 0, void* nextScreen = nullptr)
    {
        name = video;
        const char* text = name.c_str();
        FillData data;
        data.Raw("pVideoName", &text, sizeof text).Int("NoCancel", noCancel).Int("ForcePause", forcePause);
        if (nextScreen)
            data.Raw("pNextScreen", &nextScreen, sizeof nextScreen);
        return static_cast<GVideoPlayer*>(GObject::Create(GVideoPlayer::ClassId, HGOBJECT(0), data.Get()));
    }
    // One game frame at 30 frames a second, the clock kept on whole frame times.
    void Frame(bool screenshot = false)
    {
        ++frames;
        const LONGLONG target = (LONGLONG(frames) * MG_PERF_FREQUENCY + 15) / 30; // rounded as frame times are
        MgAdvanceVirtualClock(target - elapsed);
        elapsed = target;
        CRenderer::GetDevice().SetScreenshotRequest(screenshot ? 1 : 0);
        RunFrame(1.0f / 30.0f);
        CRenderer::GetDevice().SetScreenshotRequest(0);
    }
    // The allocator's surface `index` and the part of it the picture fills.
    static void ExpectSurfaces(DWORD index, UINT width, UINT height, float u, float v)
    {
        EXPECT_FLOAT_EQ(GVideoPlayer::pAllocator->GetUScale(), u);
        EXPECT_FLOAT_EQ(GVideoPlayer::pAllocator->GetVScale(), v);
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(GVideoPlayer::pAllocator->GetSurface(GVideoPlayer::kUserId, index, 0, &surface), S_OK);
        D3DSURFACE_DESC desc = {};
        surface->GetDesc(&desc);
        surface->Release();
        EXPECT_EQ(desc.Width, width);
        EXPECT_EQ(desc.Height, height);
    }
    int Presented() const { return int(MgVideoFramesPresented() - presentedBefore); }
    bool PlayerAlive() const { return GVideoPlayer::pThe != nullptr; }

    std::unique_ptr<ScopedGameFolder> game;
    CRenderer* renderer = nullptr;
    std::string debug;
    std::string name;
    ULONGLONG presentedBefore = 0;
    int frames = 0;
    LONGLONG elapsed = 0;
};

// 640 x 480 on a device that takes only power-of-two textures: 1024 x 512 surfaces of which the
// picture fills 0.625 by 0.9375; one frame is presented per thirtieth of a second from the
// start, each the frame FFmpeg decodes at that place, and the sound track is heard in the mix.
TEST_F(VideoPlayerTest, AClipPlaysItsFramesOnTimeIntoPowerOfTwoSurfacesWithItsSound)
{
    Start(D3DPTEXTURECAPS_POW2);
    const fs::path wav = game->Folder / "video.wav";
    ASSERT_TRUE(MgSoundCaptureToFile(wav.c_str()));
    CRenderer::GetDevice().SetScreenshotRequest(1); // the first frame is presented at the start
    GVideoPlayer* player = Play(kVideos + "clip");
    CRenderer::GetDevice().SetScreenshotRequest(0);
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(GVideoPlayer::bPlaying) << debug;
    ASSERT_NE(GVideoPlayer::pAllocator, nullptr);
    ExpectSurfaces(0, 1024, 512, 0.625f, 0.9375f);
    EXPECT_EQ(GVideoPlayer::pAudioRenderer != nullptr, true) << "the clip has a sound track";

    std::vector<int> presentedAt;
    const std::vector<int> shotFrames = {1, 29, 59};
    presentedAt.push_back(Presented());
    while (PlayerAlive() && frames < 90) {
        const bool shot = std::find(shotFrames.begin(), shotFrames.end(), frames + 1) != shotFrames.end();
        Frame(shot);
        presentedAt.push_back(Presented());
    }
    EXPECT_FALSE(PlayerAlive());
    EXPECT_EQ(frames, 60) << "the player ends in the frame its two seconds are over";
    EXPECT_EQ(Presented(), 60);
    for (int i = 0; i < 60 && i < int(presentedAt.size()); ++i)
        ASSERT_EQ(presentedAt[size_t(i)], i + 1) << "frame " << i << " is presented at its time";
    EXPECT_EQ(debug.find("Video \""), std::string::npos) << debug;

    // Each screenshot is closest to the frame FFmpeg decodes at that place, and close to it.
    std::string shots;
    for (int i = 0; i < 4; ++i)
        shots += " " + game->Shot(i).string();
    const std::string matched = Oracle("match " + kVideos + "clip.avi" + shots);
    const int expected[4] = {0, 1, 29, 59};
    std::istringstream lines(matched);
    for (int i = 0; i < 4; ++i) {
        int best = -1;
        float err = 0, p99 = 0, next = 0;
        std::string line;
        std::getline(lines, line);
        ASSERT_EQ(std::sscanf(line.c_str(), "best=%d err=%f p99=%f next=%f", &best, &err, &p99, &next), 4) << matched;
        EXPECT_EQ(best, expected[i]) << line;
        EXPECT_LT(err, 2.5f) << line;
        EXPECT_LT(p99, 24.0f) << line;
        EXPECT_GT(next, 3 * err) << line;
    }

    // 440 Hz for the first second, 880 Hz for the second, from the moment the video started.
    MgSoundCloseCapture();
    const std::string tones = Oracle("tones " + wav.string());
    EXPECT_EQ(tones.substr(0, 16), "440 440 880 880\n") << tones;
}

// A square-only device gets square surfaces of the larger side.
TEST_F(VideoPlayerTest, SquareOnlyTexturesTakeTheLargerSide)
{
    Start(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY);
    Play(kVideos + "clip");
    ASSERT_TRUE(GVideoPlayer::bPlaying) << debug;
    ExpectSurfaces(1, 1024, 1024, 0.625f, 0.46875f);
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(GVideoPlayer::pAllocator->GetSurface(GVideoPlayer::kUserId, 2, 0, &surface), E_FAIL);
    EXPECT_EQ(GVideoPlayer::pAllocator->GetSurface(GVideoPlayer::kUserId, 0, 0, nullptr), E_POINTER);
}

// The cancel handler stops the video at once; the player ends in the next frame and creates
// the next screen's object. A video without sound plays without an audio renderer.
TEST_F(VideoPlayerTest, CancelStopsAtOnceAndTheNextScreenIsCreated)
{
    Start(0);
    FillData none;
    EmbeddedRecordForTest next = {0, GStartPosition::ClassId, 0x1234, none.Get(), 0};
    GVideoPlayer* player = Play(kVideos + "small", 0, 0, &next);
    ASSERT_TRUE(GVideoPlayer::bPlaying) << debug;
    EXPECT_EQ(GVideoPlayer::pAudioRenderer, nullptr);
    for (int i = 0; i < 9; ++i)
        Frame();
    EXPECT_TRUE(PlayerAlive());
    player->Input_Cancel(nullptr);
    EXPECT_FALSE(GVideoPlayer::bPlaying);
    EXPECT_EQ(GVideoPlayer::pMediaControl, nullptr) << "the graph is released at once";
    const int shown = Presented();
    Frame();
    EXPECT_FALSE(PlayerAlive());
    EXPECT_EQ(Presented(), shown);
    EXPECT_EQ(shown, 4) << "10 fps: frames at 0, 0.1, 0.2 and 0.3 s";
    GObject* created = GObject::Find(0x1234);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsDerivedFromClassId(GStartPosition::ClassId));
    GVideoPlayer::Cancel(); // nothing plays: nothing happens
}

// "novideos" skips the video in the first frame. The player paused nothing, so it resumes
// nothing: a clock paused by someone else stays paused.
TEST_F(VideoPlayerTest, TheNoVideosSwitchSkipsTheVideoAndLeavesTheClockAlone)
{
    Start(0, "width: 640\nheight: 480\nwindowed:\nnovideos:\n");
    CGameTimer::Pause();
    Play(kVideos + "clip", 0, 1);
    EXPECT_NE(debug.find("Skipping Video due to CFG file lockout ('novideos')\n"), std::string::npos) << debug;
    EXPECT_FALSE(GVideoPlayer::bPlaying);
    Frame();
    EXPECT_FALSE(PlayerAlive());
    EXPECT_EQ(Presented(), 0);
    EXPECT_TRUE(CGameTimer::bPaused);
    CGameTimer::Resume();
}

// "ForcePause" pauses the game clock for the video and resumes it afterwards.
TEST_F(VideoPlayerTest, ForcePauseHoldsTheClockForTheVideo)
{
    Start(0);
    Play(kVideos + "small", 1, 1);
    EXPECT_TRUE(CGameTimer::bPaused);
    while (PlayerAlive() && frames < 60)
        Frame();
    EXPECT_FALSE(PlayerAlive());
    EXPECT_EQ(Presented(), 10);
    EXPECT_FALSE(CGameTimer::bPaused);
}

// A missing, unreadable or cut-off file ends the video with a message naming it; nothing
// crashes or waits.
TEST_F(VideoPlayerTest, BadFilesEndTheVideoWithAMessageNamingTheFile)
{
    struct Case {
        const char* video;
        const char* message;
        bool starts;
    };
    const Case cases[] = {
        {"missing", "cannot be opened", false},
        {"garbage", "is not a video file that can be read", false},
        {"truncated", "ends after frame", true},
    };
    Start(0);
    for (const Case& c : cases) {
        debug.clear();
        Play(kVideos + c.video);
        EXPECT_EQ(GVideoPlayer::bPlaying, c.starts) << c.video << ": " << debug;
        while (PlayerAlive() && frames < 200)
            Frame();
        EXPECT_FALSE(PlayerAlive()) << c.video;
        const std::string file = "Video \"" + kVideos + c.video + ".avi\": " + c.message;
        EXPECT_NE(debug.find(file), std::string::npos) << debug;
        if (!c.starts) {
            EXPECT_NE(debug.find("StartGraph Failed\n"), std::string::npos) << debug;
        }
    }
    EXPECT_LT(frames, 60) << "the cut-off clip stops where its data ends";
}

} // namespace
