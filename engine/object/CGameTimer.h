#pragma once
// The game clock. Its Process advances the clock once per traversal; everything else reads the
// statics. Two frame times are kept: the game frame time, which stops while the game is paused,
// and the pause frame time, which keeps running (sleeping objects, menus and effects that must
// move while the game stands use it). A frame that took too long counts as the break time.
#include "engine/object/GObject.h"

class CGameTimer : public GObject {
    DECLARE_GOBJECT(CGameTimer, GObject)

    CGameTimer();
    bool Process() override;

    static float PrevTime() { return tPrevTime; }
    static float GameTime() { return tGameTime; }
    static float FrameTime() { return tFrameTime; }
    static float PauseFrameTime() { return tPauseFrameTime; }
    static float PauseScale() { return tPauseScale; }
    static float FrameScale() { return tFrameScale; }
    static float BreakLimit() { return tBreakLimit; }
    static float BreakTime() { return tBreakTime; }
    static float SlipTime() { return tSlipTime; }
    static int SlipFrames() { return tSlipFrames; }
    static bool IsPaused() { return bReportPaused; }

    static void SetBreakLimit(float seconds) { tBreakLimit = seconds; }
    static void SetBreakTime(float seconds) { tBreakTime = seconds; }
    static void SetPauseScale(float scale) { tPauseScale = scale; }
    static void SetFrameScale(float scale) { tFrameScale = scale; }
    static void SetSlipFrames(int frames) { tSlipFrames = frames; }
    static void SetSlipTime(float seconds) { tSlipTime = seconds; }

    // Restarts real time at 0 now and sets the game time.
    static void SetSeconds(float seconds);
    // Real time R since the last SetSeconds.
    static float Seconds();
    // Real seconds since the first timer was built.
    static float SysSeconds();
    // The game time carried forward to this instant.
    static float NowTime();
    static void Stall(float seconds);
    static void Pause();
    static void Resume();

    // The performance counter and its seconds per tick, for budgets measured in wall-clock time;
    // they need no timer object.
    static __int64 ReadCounter();
    static float CounterSecondsPerTick();

    static __int64 SysTicks;
    static float SecsPerTick;
    static float tBaseTime;
    static float tPrevTime;
    static float tGameTime;
    static float tFrameTime;
    static float tPauseFrameTime;
    static float tFrameScale;
    static float tPauseScale;
    static float tBreakLimit;
    static float tBreakTime;
    static int tSlipFrames;
    static float tSlipTime;
    static bool bPaused;
    static bool bReportPaused;
};
