#pragma once
// Minimal PC input back end until the device layer is built: the application's activation and
// the module instance and window the shell hands over.
#include "engine/devices/GInputDevice.h"

class GPCXInputDevice : public GInputDevice {
public:
    static void Init(HINSTANCE instance, HWND window);
    // Non-zero marks the application active; becoming inactive releases acquired input.
    static void AppStatusChange(int active);
    static bool IsAppActive() { return bAppActive; }

    static HINSTANCE hInstance;
    static HWND hWnd;

private:
    static bool bAppActive;
};
