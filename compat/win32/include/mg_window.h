#pragma once
// Controls of the headless window layer that have no Windows counterpart.
#include <windows.h>

extern "C" {
// Called each time PeekMessageA finds the queue empty, which a main loop sees once per turn:
// hosts and tests drive frames from it (advance a virtual clock, post WM_QUIT after N turns).
// Messages it posts are returned by that same PeekMessageA call. Pass null to remove it.
typedef void (*MG_PUMP_HOOK)(void* user);
void MgSetMessagePumpHook(MG_PUMP_HOOK hook, void* user);

// Forgets every window, class and queued message (tests that construct several shells).
void MgResetWindows(void);

// Windows made from now on stay headless even where a display exists.
void MgSetHeadless(int headless);
// Non-zero when the window is shown on a display.
int MgHasRealWindow(HWND window);
// Copies a frame of 32-bit XRGB pixels into the window's top left (a headless window ignores it).
void MgPresentPixels(HWND window, const void* pixels, int width, int height, int pitch);
}
