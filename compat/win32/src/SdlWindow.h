#pragma once
// The display side of the window layer: one SDL2 window per window record when a display is
// available. Window.cpp keeps the records and the message queue either way.
#include <windows.h>

// Opens SDL's video once; false when there is no display (DISPLAY unset or unusable).
bool SdlVideoAvailable();
// A shown window for the record, or null.
void* SdlCreateWindow(const char* title, int width, int height);
void SdlDestroyWindow(void* window);
void SdlRaiseWindow(void* window);
// What the pump makes of SDL's events, in window-layer terms.
struct SdlEventSink {
    void (*Post)(void* window, UINT message, WPARAM wParam); // to the record of that SDL window
    void (*Focus)(void* window, bool gained);
    void (*ToggleKey)(int virtualKey);
    void (*Raw)(const void* event); // every event, for the input devices
};
// Translates every pending SDL event: closing becomes WM_CLOSE, typed text WM_CHAR (one per
// character, with Enter, Backspace, Tab and Escape as their control characters, as Windows
// sends them), focus changes activation, and Scroll Lock toggles its key state.
void SdlPumpEvents(const SdlEventSink& sink);
// Shuts SDL's video down (tests that reset the window layer).
void SdlQuitVideo();
