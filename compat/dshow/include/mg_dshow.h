#pragma once
// Controls of the DirectShow substitute that have no DirectShow counterpart.
//
// Timing: a running graph presents each frame once the performance counter reaches its time
// after Run, and keeps the sound written ahead of the mixer. On the virtual clock of
// mg_win32.h every IMediaControl::GetState and IMediaSeeking::GetCurrentPosition first lets
// playback catch up with the clock (all frames due are presented, the sound is written), so a
// run gives the same frames and the same sound every time.
#include <windows.h>

extern "C" {
// Threads each video decoder may use; 0 (the default) lets the decoder choose.
void MgVideoSetDecoderThreads(int threads);
// Frames presented and frames decoded since the process started (for tests and benchmarks).
ULONGLONG MgVideoFramesPresented(void);
}
