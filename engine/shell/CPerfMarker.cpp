#include "engine/shell/CPerfMarker.h"

#include "engine/shell/CPerfBar.h"
#include "engine/shell/CPerfTracker.h"

namespace {

__int64 Now()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

} // namespace

void CPerfMarker::StartTiming(int barIndex)
{
    pBar = CPerfBar::GetBar(barIndex);
    Trace = kBarOrCore;
    Core = -1;
    Start = pBar ? Now() : 0;
}

void CPerfMarker::StartHier(unsigned long nameKey)
{
    pBar = nullptr;
    Core = -1;
    Trace = CPerfTracker::pThe->BeginTrace(nameKey);
    Start = Trace >= 0 ? Now() : 0;
}

void CPerfMarker::StartCore(int coreIndex)
{
    pBar = nullptr;
    Trace = kBarOrCore;
    Core = coreIndex >= 0 && coreIndex < CPerfTracker::kCores ? coreIndex : -1;
    Start = Core >= 0 ? Now() : 0;
}

void CPerfMarker::EndTiming()
{
    if (Start == 0)
        return;
    const __int64 ticks = Now() - Start;
    Start = 0;
    if (pBar)
        pBar->SubmitValue(ticks);
    else if (Core >= 0)
        CPerfTracker::pThe->AccumCore(Core, ticks);
    else if (Trace >= 0)
        CPerfTracker::pThe->EndTrace(Trace, ticks);
    pBar = nullptr;
    Core = Trace = -1;
}

void CPerfMarker::EndTiming(float value)
{
    CPerfBar* bar = Start ? pBar : nullptr;
    Start = 0;
    pBar = nullptr;
    if (bar)
        bar->SubmitValue(__int64(value));
}

void CPerfMarker::SubmitValue(int barIndex, float value)
{
    if (CPerfBar* bar = CPerfBar::GetBar(barIndex))
        bar->SubmitValue(__int64(value));
}
