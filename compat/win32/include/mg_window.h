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
}
