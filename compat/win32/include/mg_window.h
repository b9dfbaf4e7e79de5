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

// A window is also a real SDL2 window, shown on the display, when DISPLAY (or WAYLAND_DISPLAY)
// is set and SDL can open it; otherwise it is a record only. Windows made after
// MgSetHeadless(1) stay records even where a display exists.
void MgSetHeadless(int headless);
// Non-zero when the window is shown on a display.
int MgHasRealWindow(HWND window);
// Copies a frame of 32-bit XRGB pixels into the window's top left (a headless window ignores it).
void MgPresentPixels(HWND window, const void* pixels, int width, int height, int pitch);

// The input layer's hooks: `turn` runs once per main-loop turn before the pump hook (a scripted
// input source moves to its next frame), `event` sees every SDL event of a shown window (the
// SDL input source reads the keyboard and mouse of the same window frames are presented in).
// Either may be null.
typedef void (*MG_EVENT_HOOK)(const void* sdlEvent, void* user);
void MgSetInputHooks(MG_PUMP_HOOK turn, MG_EVENT_HOOK event, void* user);

// Sets a key's toggle state as GetKeyState reports it (Scroll Lock from an input script).
void MgSetKeyToggle(int virtualKey, BOOL on);
}
