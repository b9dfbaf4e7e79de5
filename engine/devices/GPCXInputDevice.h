#pragma once
// The PC's input device: a GInputDevice whose operating-system layer is a CDirectInput made
// with the module instance and window the shell hands over.
#include <windows.h>

#include "engine/devices/GInputDevice.h"

class CDirectInput;

class GPCXInputDevice : public GInputDevice {
    DECLARE_GOBJECT(GPCXInputDevice, GInputDevice)

    GPCXInputDevice();
    ~GPCXInputDevice() override;

    // The instance and window the next device is created with.
    static void Init(HINSTANCE instance, HWND window);
    // Non-zero: the application became active and may take the mouse again; zero: it gives the
    // mouse back. Nothing happens while no device exists.
    static void AppStatusChange(int active);

    static HINSTANCE hInstance;
    static HWND hWnd;
    static CDirectInput* pDirectInput;
};
