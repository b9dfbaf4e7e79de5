#include "engine/devices/GPCXInputDevice.h"

HINSTANCE GPCXInputDevice::hInstance;
HWND GPCXInputDevice::hWnd;
bool GPCXInputDevice::bAppActive;

void GPCXInputDevice::Init(HINSTANCE instance, HWND window)
{
    hInstance = instance;
    hWnd = window;
}

void GPCXInputDevice::AppStatusChange(int active) { bAppActive = active != 0; }
