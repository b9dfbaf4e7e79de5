#pragma once
// The one input state every device reads, and the sources that write it.
#include <dinput.h>

enum MgDevice { MG_KEYBOARD = 0, MG_MOUSE = 1, MG_PAD = 2, MG_DEVICE_COUNT = 3 };

struct MgInputState {
    BYTE Keys[256];
    // Keys pressed since the keyboard was last read: a press and release between two reads
    // still shows as one frame down.
    BYTE KeyLatch[256];
    DIMOUSESTATE Mouse; // movement accumulates until the mouse is read
    BYTE ButtonLatch[4];
    DIJOYSTATE2 Pad;
    bool PadAttached;
    char PadName[MAX_PATH];
    // A lost device reports DIERR_INPUTLOST until reacquired; reacquiring fails while
    // RefuseAcquire frames remain.
    bool Lost[MG_DEVICE_COUNT];
    int RefuseAcquire[MG_DEVICE_COUNT];
    // Bumped whenever a controller is attached, so a device made for an earlier one is lost.
    DWORD PadGeneration;
};

MgInputState& MgState();
void MgClearState();
// A centred, idle controller.
void MgClearPad();
// The source's per-turn work: the script's next frame. Installed as the window's input hook.
void MgInputPumpTurn(void* user);
// The SDL source: one event of the game window.
void MgSdlInputEvent(const void* event, void* user);
// True while a script feeds the devices: the SDL source then stays quiet.
bool MgScriptActive();
// Makes sure the window layer feeds this layer (idempotent).
void MgConnectToWindow();
