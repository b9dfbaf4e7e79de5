// The game clock under a virtual performance counter: break limits, pausing, slips, scales.
#include <mg_win32.h>

#include "ObjectTestSupport.h"
#include "TestClasses.h"
#include "engine/devices/GSoundSystem.h"

namespace {

class GameTimerTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        CGameTimer::Create();
        MgUseVirtualClock(CGameTimer::SysTicks);
        CGameTimer::bPaused = false;
        CGameTimer::bReportPaused = false;
        CGameTimer::SetBreakLimit(60.0f);
        CGameTimer::SetBreakTime(60.0f);
        CGameTimer::SetFrameScale(1.0f);
        CGameTimer::SetPauseScale(1.0f);
        CGameTimer::SetSlipFrames(0);
        CGameTimer::SetSlipTime(0);
        CGameTimer::SetSeconds(0);
    }
    // Lets real time pass and runs one traversal, which processes the timer.
    static void Frame(double seconds)
    {
        MgAdvanceVirtualClock(static_cast<LONGLONG>(seconds * MG_PERF_FREQUENCY + 0.5));
        GObject::ProcessObjects();
    }
};

TEST_F(GameTimerTest, AFrameAtOrAboveTheBreakLimitCountsAsTheBreakTime)
{
    struct Case {
        double real;
        float frame;
    };
    const Case cases[] = {{75.0, 60.0f}, {60.0, 60.0f}, {59.9, 59.9f}, {0.02, 0.02f}};
    for (const Case& c : cases) {
        SetUp();
        Frame(c.real);
        EXPECT_NEAR(CGameTimer::FrameTime(), c.frame, 1e-4) << c.real;
        EXPECT_NEAR(CGameTimer::PauseFrameTime(), c.frame, 1e-4) << c.real;
        EXPECT_NEAR(CGameTimer::GameTime(), c.frame, 1e-4) << c.real;
    }
}

TEST_F(GameTimerTest, PausingStopsGameTimeButNotThePauseFrameTimeAndPausesTheSound)
{
    GSoundSystem* sound = GSoundSystem::Create();
    Frame(0.5);
    CGameTimer::Pause();
    // The sound system heard of it: every voice has its values to send again.
    EXPECT_TRUE(GSoundSystem::Voices[0].Status & SOUND_STATUS_UPDATE);
    Frame(0.25);
    EXPECT_EQ(CGameTimer::FrameTime(), 0.0f);
    EXPECT_NEAR(CGameTimer::GameTime(), 0.5f, 1e-5);
    EXPECT_NEAR(CGameTimer::PauseFrameTime(), 0.25f, 1e-5);
    EXPECT_TRUE(CGameTimer::IsPaused());
    sound->Destroy();
}

TEST_F(GameTimerTest, ResumeAfterALongPauseStartsWithANormalFrame)
{
    CGameTimer::Pause();
    Frame(0.02);
    MgAdvanceVirtualClock(300LL * MG_PERF_FREQUENCY);
    CGameTimer::Resume();
    EXPECT_FALSE(CGameTimer::IsPaused());
    Frame(0.02);
    EXPECT_NEAR(CGameTimer::FrameTime(), 0.02f, 1e-4);
}

TEST_F(GameTimerTest, SlipFramesLetWholeFramesThroughWhilePaused)
{
    CGameTimer::Pause();
    CGameTimer::SetSlipFrames(2);
    std::vector<float> frames;
    std::vector<bool> paused;
    for (int i = 0; i < 3; ++i) {
        Frame(0.05);
        frames.push_back(CGameTimer::FrameTime());
        paused.push_back(CGameTimer::IsPaused());
    }
    EXPECT_NEAR(frames[0], 0.05f, 1e-4);
    EXPECT_NEAR(frames[1], 0.05f, 1e-4);
    EXPECT_EQ(frames[2], 0.0f);
    EXPECT_EQ(paused, (std::vector<bool>{false, false, true}));
}

TEST_F(GameTimerTest, SlipTimeLetsASpanOfTimeThroughWhilePaused)
{
    CGameTimer::Pause();
    CGameTimer::SetSlipTime(0.1f);
    const float expected[] = {0.04f, 0.04f, 0.02f, 0.0f};
    for (float frame : expected) {
        Frame(0.04);
        EXPECT_NEAR(CGameTimer::FrameTime(), frame, 1e-4);
    }
    EXPECT_TRUE(CGameTimer::IsPaused());
}

TEST_F(GameTimerTest, TheFrameScaleSlowsGameTimeOnly)
{
    CGameTimer::SetFrameScale(0.5f);
    for (int i = 0; i < 4; ++i)
        Frame(0.1);
    EXPECT_NEAR(CGameTimer::GameTime(), 0.2f, 1e-4);
    EXPECT_NEAR(CGameTimer::PauseFrameTime(), 0.1f, 1e-4);
}

TEST_F(GameTimerTest, SleepingObjectsCountDownWithThePauseFrameTimeEvenWhilePaused)
{
    TProbe::ProcessLog.clear();
    TProbe* sleeper = MakeProbe(1);
    sleeper->Sleep(0.15f);
    CGameTimer::Pause();
    Frame(0.1);
    EXPECT_TRUE(TProbe::ProcessLog.empty());
    Frame(0.1);
    EXPECT_EQ(TProbe::ProcessLog, (std::vector<int>{1}));
}

TEST_F(GameTimerTest, SetSecondsRestartsRealTimeAndNowTimeCarriesTheGameTimeForward)
{
    Frame(1.0);
    CGameTimer::SetSeconds(10.0f);
    EXPECT_NEAR(CGameTimer::Seconds(), 0.0f, 1e-5);
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 4);
    EXPECT_NEAR(CGameTimer::NowTime(), 10.25f, 1e-4);
    Frame(0.25);
    EXPECT_NEAR(CGameTimer::GameTime(), 10.5f, 1e-4);
}

} // namespace
