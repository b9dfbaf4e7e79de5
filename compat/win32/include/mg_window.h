#pragma once
// Controls of the window layer that have no Windows counterpart.
#include <windows.h>

extern "C" {
// Called once per main-loop turn, when PeekMessageA first finds the queue empty: hosts and
// tests drive frames from it (advance a virtual clock, post WM_QUIT after N turns). Messages it
// posts are returned by that same PeekMessageA call; the turn ends when PeekMessageA next
// returns FALSE. Pass null to remove it.
typedef void (*MG_PUMP_HOOK)(void* user);
void MgSetMessagePumpHook(MG_PUMP_HOOK hook, void* user);

// Forgets every window, class and queued message (tests that construct several shells).
void MgResetWindows(void);

// Windows created after this call with TRUE are also SDL2 windows on the display when DISPLAY
// is set and SDL can open it; otherwise (and by default: tests, CI) they are records only.
void MgUseDisplayWindows(BOOL use);
// True when the window is shown on a display.
BOOL MgWindowHasDisplay(HWND window);

// The input layer's hooks: `turn` runs once per main-loop turn before the pump hook (a scripted
// input source moves to its next frame), `event` sees every SDL event of a displayed window
// (the SDL input source). Either may be null.
typedef void (*MG_EVENT_HOOK)(const void* sdlEvent, void* user);
void MgSetInputHooks(MG_PUMP_HOOK turn, MG_EVENT_HOOK event, void* user);

// Sets a key's toggle state as GetKeyState reports it (Scroll Lock from an input script).
void MgSetKeyToggle(int virtualKey, BOOL on);
}
