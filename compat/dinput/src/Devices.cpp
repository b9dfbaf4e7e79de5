// The DirectInput object and its three kinds of device, reading the shared input state.
#include <cstring>
#include <new>

#include "InputState.h"

extern "C" {
const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID DIPROP_RANGE = {4, 0, 0, {0}};
const GUID DIPROP_DEADZONE = {5, 0, 0, {0}};
const GUID DIPROP_SATURATION = {6, 0, 0, {0}};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 2, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 16, 2, sizeof(DIMOUSESTATE), 7, nullptr};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), 16, 1, sizeof(DIJOYSTATE2), 164, nullptr};
}

namespace {

// The attached controller's instance: its data1 carries the attachment generation, so a
// device created for a controller that has since been unplugged stays lost.
const GUID kPadInstance = {0, 0x4D47, 0x5041, {'M', 'G', 'P', 'A', 'D', 0, 0, 0}};

GUID PadInstance()
{
    GUID guid = kPadInstance;
    guid.Data1 = MgState().PadGeneration;
    return guid;
}

// The axes of the extended joystick state the controller reports, in state order.
const char* const kAxisNames[8] = {"X Axis",     "Y Axis",     "Z Axis", "X Rotation",
                                   "Y Rotation", "Z Rotation", "Slider", "Slider"};

// Reference counting for the interfaces below; each answers no other interface.
template <class Interface> class Counted : public Interface {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override
    {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

private:
    ULONG references = 1;
};

class Device : public Counted<IDirectInputDevice8A> {
public:
    Device(MgDevice kind, DWORD generation) : kind(kind), generation(generation) {}

    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context, DWORD flags) override
    {
        if (!callback)
            return DIERR_INVALIDPARAM;
        if (kind != MG_PAD || !(flags == DIDFT_ALL || (flags & DIDFT_AXIS)))
            return DI_OK;
        for (int i = 0; i < 8; ++i) {
            DIDEVICEOBJECTINSTANCEA object;
            std::memset(&object, 0, sizeof object);
            object.dwSize = sizeof object;
            object.dwOfs = DWORD(i) * 4;
            object.dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i);
            std::strcpy(object.tszName, kAxisNames[i]);
            if (callback(&object, context) == DIENUM_STOP)
                break;
        }
        return DI_OK;
    }

    // Axis properties are accepted for the controller's axes; the sources already report the
    // ranges the engine asks for.
    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override
    {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        bool known = property == DIPROP_RANGE || property == DIPROP_DEADZONE || property == DIPROP_SATURATION;
        if (!known || kind != MG_PAD)
            return DIERR_UNSUPPORTED;
        if (header->dwHow == DIPH_BYID && (header->dwObj & DIDFT_AXIS) && (header->dwObj >> 8 & 0xFFFF) < 8)
            return DI_OK;
        return header->dwHow == DIPH_DEVICE ? DI_OK : DIERR_OBJECTNOTFOUND;
    }

    HRESULT Acquire() override
    {
        if (!format)
            return DIERR_INVALIDPARAM;
        if (!Attached())
            return DIERR_UNPLUGGED;
        MgInputState& state = MgState();
        if (state.RefuseAcquire[kind] > 0)
            return DIERR_OTHERAPPHASPRIO;
        state.Lost[kind] = false;
        bool was = acquired;
        acquired = true;
        return was ? S_FALSE : DI_OK;
    }

    HRESULT Unacquire() override
    {
        bool was = acquired;
        acquired = false;
        return was ? DI_OK : DI_NOEFFECT;
    }

    HRESULT Poll() override
    {
        HRESULT status = Readable();
        if (FAILED(status))
            return status;
        return kind == MG_PAD ? DI_OK : DI_NOEFFECT;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override
    {
        if (!data || !format || size != format->dwDataSize)
            return DIERR_INVALIDPARAM;
        HRESULT status = Readable();
        if (FAILED(status))
            return status;
        MgInputState& state = MgState();
        if (kind == MG_KEYBOARD) {
            BYTE* keys = static_cast<BYTE*>(data);
            for (int i = 0; i < 256; ++i)
                keys[i] = (state.Keys[i] | state.KeyLatch[i]) ? 0x80 : 0;
            std::memset(state.KeyLatch, 0, sizeof state.KeyLatch);
        } else if (kind == MG_MOUSE) {
            DIMOUSESTATE* mouse = static_cast<DIMOUSESTATE*>(data);
            *mouse = state.Mouse;
            for (int i = 0; i < 4; ++i)
                mouse->rgbButtons[i] = (state.Mouse.rgbButtons[i] | state.ButtonLatch[i]) ? 0x80 : 0;
            state.Mouse.lX = state.Mouse.lY = state.Mouse.lZ = 0;
            std::memset(state.ButtonLatch, 0, sizeof state.ButtonLatch);
        } else {
            std::memcpy(data, &state.Pad, sizeof state.Pad);
        }
        return DI_OK;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT wanted) override
    {
        const DIDATAFORMAT* expected[MG_DEVICE_COUNT] = {&c_dfDIKeyboard, &c_dfDIMouse, &c_dfDIJoystick2};
        if (acquired)
            return DIERR_ACQUIRED;
        if (wanted != expected[kind])
            return DIERR_INVALIDPARAM;
        format = wanted;
        return DI_OK;
    }

    HRESULT CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* out, LPUNKNOWN) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return DIERR_UNSUPPORTED;
    }

    HRESULT EnumEffectsInFile(LPCSTR file, LPDIENUMEFFECTSINFILECALLBACK callback, LPVOID, DWORD) override
    {
        return !file || !callback ? DIERR_INVALIDPARAM : DIERR_UNSUPPORTED;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override
    {
        bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
        bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        if (exclusive == nonExclusive || foreground == background)
            return DIERR_INVALIDPARAM;
        return DI_OK;
    }

private:
    bool Attached() const { return kind != MG_PAD || (MgState().PadAttached && MgState().PadGeneration == generation); }

    // A lost device gives up its acquisition, as a device does when another program takes it.
    HRESULT Readable()
    {
        if (!format)
            return DIERR_INVALIDPARAM;
        if (!Attached() || MgState().Lost[kind]) {
            acquired = false;
            return DIERR_INPUTLOST;
        }
        return acquired ? DI_OK : DIERR_NOTACQUIRED;
    }

    MgDevice kind;
    DWORD generation;
    const DIDATAFORMAT* format = nullptr;
    bool acquired = false;
};

class DirectInput8 : public Counted<IDirectInput8A> {
public:
    HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8A* device, LPUNKNOWN outer) override
    {
        if (!device)
            return E_POINTER;
        *device = nullptr;
        if (outer)
            return DIERR_NOAGGREGATION;
        MgInputState& state = MgState();
        MgDevice kind;
        if (instance == GUID_SysKeyboard)
            kind = MG_KEYBOARD;
        else if (instance == GUID_SysMouse)
            kind = MG_MOUSE;
        else if (state.PadAttached && instance == PadInstance())
            kind = MG_PAD;
        else
            return DIERR_DEVICENOTREG;
        *device = new (std::nothrow) Device(kind, state.PadGeneration);
        return *device ? DI_OK : DIERR_OUTOFMEMORY;
    }

    HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD) override
    {
        if (!callback)
            return DIERR_INVALIDPARAM;
        MgInputState& state = MgState();
        if ((deviceClass != DI8DEVCLASS_GAMECTRL && deviceClass != DI8DEVCLASS_ALL) || !state.PadAttached)
            return DI_OK;
        DIDEVICEINSTANCEA instance;
        std::memset(&instance, 0, sizeof instance);
        instance.dwSize = sizeof instance;
        instance.guidInstance = PadInstance();
        instance.guidProduct = kPadInstance;
        instance.dwDevType = DI8DEVCLASS_GAMECTRL;
        std::memcpy(instance.tszInstanceName, state.PadName, MAX_PATH);
        std::memcpy(instance.tszProductName, state.PadName, MAX_PATH);
        callback(&instance, context);
        return DI_OK;
    }
};

} // namespace

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return DIERR_NOAGGREGATION;
    if (version < DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION)
        return DIERR_BETADIRECTINPUTVERSION;
    if (iid != IID_IDirectInput8A)
        return DIERR_NOINTERFACE;
    MgConnectToWindow();
    *out = static_cast<IDirectInput8A*>(new (std::nothrow) DirectInput8);
    return *out ? DI_OK : DIERR_OUTOFMEMORY;
}
