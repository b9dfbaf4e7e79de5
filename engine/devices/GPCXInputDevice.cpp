#include "engine/devices/GPCXInputDevice.h"

#include "core/output/ZOutput.h"
#include "engine/devices/CDirectInput.h"

IMPLEMENT_GOBJECT(GPCXInputDevice, 0x0080F001)

HINSTANCE GPCXInputDevice::hInstance;
HWND GPCXInputDevice::hWnd;
CDirectInput* GPCXInputDevice::pDirectInput;

GPCXInputDevice::GPCXInputDevice()
{
    if (EditableEvaluation != 0)
        return;
    pDirectInput = new CDirectInput(hInstance, hWnd);
    SetOSInput(pDirectInput);
    pThe = this;
}

GPCXInputDevice::~GPCXInputDevice()
{
    if (EditableEvaluation == 0 && pDirectInput == pOSInput)
        pDirectInput = nullptr;
}

void GPCXInputDevice::Init(HINSTANCE instance, HWND window)
{
    hInstance = instance;
    hWnd = window;
}

void GPCXInputDevice::AppStatusChange(int active)
{
    if (!pDirectInput)
        return;
    _printf("Input Handling Status Change!\n");
    pDirectInput->SetMouseEnabled(active != 0);
}
