#pragma once
// The display side of the window layer, the one place that opens SDL's video: one SDL2 window
// per window record when a display is available. Frames are presented into it and its keyboard,
// mouse and window events are read from it. Window.cpp keeps the records and the message queue
// either way.
#include <windows.h>

// Opens SDL's video once; false when there is no display (DISPLAY and WAYLAND_DISPLAY unset, or
// the display unusable).
bool SdlVideoAvailable();
// A shown window for the record at that place on the desktop, or null.
void* SdlCreateWindow(const char* title, int x, int y, int width, int height);
void SdlDestroyWindow(void* window);
void SdlRaiseWindow(void* window);
void SdlMoveWindow(void* window, int x, int y, int width, int height);
// Copies 32-bit XRGB rows into the window's top left and shows them.
void SdlPresentPixels(void* window, const void* pixels, int width, int height, int pitch);
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
