#pragma once
// Controls of the DirectSound substitute that have no DirectSound counterpart: where the mix
// goes and test hooks.
//
// The mix is 44,100 Hz, 16-bit stereo. It runs from the moment the first device is created to
// the moment the last device and buffer are released, one output frame per 1/44,100 s of the
// performance counter, so with the virtual clock of mg_win32.h the output is the same on every
// run. On the real clock it also plays through SDL2 audio when a sound device can be opened.
#include <windows.h>

extern "C" {

// Writes the mix to a WAV file from now on (from device creation when no device exists yet).
// The header's sizes are kept current while it runs, so an interrupted run leaves a readable
// file. FALSE when the file cannot be created. A second call closes the first file.
BOOL MgSoundCaptureToFile(const char* path);
// Renders up to the present instant and completes the file. Nothing when none is open.
void MgSoundCloseCapture(void);
// Renders up to the present instant (buffers are otherwise rendered when they are called) and
// brings the capture file up to date.
void MgSoundRenderNow(void);
// Output frames rendered since the mix started; 0 when no device exists.
ULONGLONG MgSoundFramesRendered(void);
// Frames written to the capture file so far (without rendering first); 0 when none is open.
ULONGLONG MgSoundFramesCaptured(void);
// Marks every buffer lost, as when another program takes the device: Lock fails with
// DSERR_BUFFERLOST and playback stops until Restore.
void MgSoundLoseBuffers(void);
// Makes DirectSoundCreate8 fail with DSERR_NODRIVER (a machine without sound) while set.
void MgSoundSetNoDriver(BOOL noDriver);
}
