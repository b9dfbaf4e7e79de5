#pragma once
// Stand-in for the performance overlay until it is built: it counts frames and keeps the extra
// figures the shell records, and draws nothing.
class CPerfTracker {
public:
    void MarkFrame() { ++FrameCount; }
    void AccumAltData1(float value) { AltData[0] += value; }
    void ClearAltData1() { AltData[0] = -1.0f; }
    float GetAltData1() const { return AltData[0]; }
    int GetFrameCount() const { return FrameCount; }

    static CPerfTracker* pThe;

private:
    int FrameCount = 0;
    float AltData[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
};
