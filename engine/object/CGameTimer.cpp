#include "engine/object/CGameTimer.h"

#include "engine/devices/GSoundSystem.h"

IMPLEMENT_GOBJECT(CGameTimer, 0x0080F000)

__int64 CGameTimer::SysTicks;
float CGameTimer::SecsPerTick;
float CGameTimer::tBaseTime;
float CGameTimer::tPrevTime;
float CGameTimer::tGameTime;
float CGameTimer::tFrameTime;
float CGameTimer::tPauseFrameTime;
float CGameTimer::tFrameScale = 1.0f;
float CGameTimer::tPauseScale = 1.0f;
float CGameTimer::tBreakLimit = 60.0f;
float CGameTimer::tBreakTime = 60.0f;
int CGameTimer::tSlipFrames;
float CGameTimer::tSlipTime;
bool CGameTimer::bPaused;
bool CGameTimer::bReportPaused;

__int64 CGameTimer::ReadCounter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

float CGameTimer::CounterSecondsPerTick()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1.0f / static_cast<float>(frequency.QuadPart);
}

CGameTimer::CGameTimer()
{
    if (EditableEvaluation != 0)
        return;
    bPaused = false;
    bReportPaused = false;
    if (SysTicks == 0) {
        SecsPerTick = CounterSecondsPerTick();
        SysTicks = ReadCounter();
        tBaseTime = SysSeconds();
    }
    tGameTime = Seconds();
}

float CGameTimer::SysSeconds() { return static_cast<float>(ReadCounter() - SysTicks) * SecsPerTick; }

float CGameTimer::Seconds() { return SysSeconds() - tBaseTime; }

void CGameTimer::SetSeconds(float seconds)
{
    tPrevTime = 0;
    tGameTime = seconds;
    tFrameTime = 0;
    tPauseFrameTime = 0;
    tBaseTime = SysSeconds();
}

float CGameTimer::NowTime() { return (Seconds() - tPrevTime) * tPauseScale + tGameTime; }

void CGameTimer::Stall(float seconds)
{
    const float until = SysSeconds() + seconds;
    while (SysSeconds() < until) {
    }
}

void CGameTimer::Pause()
{
    bPaused = true;
    if (GSoundSystem::pThe != nullptr)
        GSoundSystem::pThe->Pause(true);
}

void CGameTimer::Resume()
{
    if (!bPaused)
        return;
    bPaused = false;
    bReportPaused = false;
    // The paused span is not counted as a frame.
    tPrevTime = Seconds();
    if (GSoundSystem::pThe != nullptr)
        GSoundSystem::pThe->Pause(false);
}

bool CGameTimer::Process()
{
    float now = Seconds();
    if (now < 0)
        now = 0;
    float dt = now - tPrevTime;
    tPrevTime = now;
    if (dt >= tBreakLimit)
        dt = tBreakTime;

    tPauseFrameTime = dt * tPauseScale;
    bReportPaused = bPaused;
    if (bPaused) {
        if (tSlipFrames > 0) {
            --tSlipFrames;
            bReportPaused = false;
        } else {
            if (tSlipTime != 0)
                bReportPaused = false;
            if (tSlipTime < dt)
                dt = tSlipTime;
            tSlipTime -= dt;
        }
    }

    tFrameTime = dt * tFrameScale;
    tGameTime += tFrameTime;
    return false;
}
