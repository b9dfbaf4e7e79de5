// The performance counter over CLOCK_MONOTONIC, or a virtual clock that tests move by hand so
// that anything timed by the counter becomes deterministic.
#include <mg_win32.h>

#include <time.h>

namespace {
bool g_Virtual = false;
LONGLONG g_VirtualTicks = 0;
LONGLONG g_VirtualStep = 0;

LONGLONG MonotonicTicks()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<LONGLONG>(now.tv_sec) * MG_PERF_FREQUENCY + now.tv_nsec / (1000000000LL / MG_PERF_FREQUENCY);
}
} // namespace

void MgUseVirtualClock(LONGLONG startTicks)
{
    g_Virtual = true;
    g_VirtualTicks = startTicks;
    g_VirtualStep = 0;
}

void MgAdvanceVirtualClock(LONGLONG ticks) { g_VirtualTicks += ticks; }

void MgSetVirtualClockStep(LONGLONG ticksPerRead) { g_VirtualStep = ticksPerRead; }

void MgUseRealClock(void) { g_Virtual = false; }

BOOL MgVirtualClockInUse(void) { return g_Virtual ? TRUE : FALSE; }

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (count == nullptr)
        return FALSE;
    if (!g_Virtual) {
        count->QuadPart = MonotonicTicks();
        return TRUE;
    }
    count->QuadPart = g_VirtualTicks;
    g_VirtualTicks += g_VirtualStep;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (frequency == nullptr)
        return FALSE;
    frequency->QuadPart = MG_PERF_FREQUENCY;
    return TRUE;
}
