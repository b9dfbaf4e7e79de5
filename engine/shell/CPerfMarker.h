#pragma once
// A scoped timer of the performance overlay: the ticks between its start and its end go to a
// bar, to one of the tracker's core accumulators or to an entry of the frame's hierarchical
// trace. Timing costs one counter read at each end and allocates nothing.
#include <windows.h>

class CPerfBar;

class CPerfMarker {
public:
    enum { kNoTrace = -1, kBarOrCore = -2 };

    CPerfMarker() = default;
    ~CPerfMarker() { EndTiming(); }
    CPerfMarker(const CPerfMarker&) = delete;
    CPerfMarker& operator=(const CPerfMarker&) = delete;

    // No timing when the bar slot is empty.
    void StartTiming(int barIndex);
    // No timing once the frame's trace is full.
    void StartHier(unsigned long nameKey);
    void StartCore(int coreIndex);
    void EndTiming();
    // Ends the timing and adds a value of its own to the bar instead of the ticks.
    void EndTiming(float value);
    static void SubmitValue(int barIndex, float value);

private:
    __int64 Start = 0;
    CPerfBar* pBar = nullptr;
    int Trace = kNoTrace;
    int Core = -1;
};
