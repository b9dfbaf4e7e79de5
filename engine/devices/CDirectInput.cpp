#include "engine/devices/CDirectInput.h"

#include <cstddef>
#include <cstring>

#include "core/output/ZOutput.h"
#include "engine/object/CGameTimer.h"

CInputDebugActions CDirectInput::DebugActions;

namespace {

const float kPi = 3.14159265358979f;
const int kDpadUp = 20, kDpadDown = 21, kDpadLeft = 22, kDpadRight = 23;

unsigned long FloatBits(float value)
{
    unsigned long bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void Run(void (*action)())
{
    if (action)
        action();
}

void Message(const char* text)
{
    if (CDirectInput::DebugActions.AddRenderMessage)
        CDirectInput::DebugActions.AddRenderMessage(text, 1.0f);
}

} // namespace

CDirectInput::CDirectInput(HINSTANCE instance, HWND window)
    : hWindow(window), pDirectInput(nullptr), pKeyboard(nullptr), pMouse(nullptr), pGamepad(nullptr), pEffect(nullptr),
      bMouseEnabled(true), PresentDevices(0), Current(0)
{
    std::memset(GameMouse, 0, sizeof GameMouse);
    std::memset(ReadMouse, 0, sizeof ReadMouse);
    std::memset(GameGamepad, 0, sizeof GameGamepad);
    std::memset(ReadGamepad, 0, sizeof ReadGamepad);
    std::memset(GameKeys, 0, sizeof GameKeys);
    std::memset(ReadKeys, 0, sizeof ReadKeys);
    for (int i = 0; i < 4; ++i)
        MouseTable[i] = Control{BUTTON, (unsigned short)(offsetof(DIMOUSESTATE, rgbButtons) + i)};
    MouseTable[4] = Control{AXIS, offsetof(DIMOUSESTATE, lX)};
    MouseTable[5] = Control{AXIS, offsetof(DIMOUSESTATE, lY)};
    MouseTable[6] = Control{AXIS, offsetof(DIMOUSESTATE, lZ)};
    for (int i = 0; i < 24; ++i)
        GamepadTable[i] = Control{BUTTON, (unsigned short)(offsetof(DIJOYSTATE2, rgbButtons) + i)};
    for (int i = 0; i < 8; ++i)
        GamepadTable[24 + i] = Control{AXIS, (unsigned short)(i * 4)};
    GamepadTable[32] = Control{ANGLE, offsetof(DIJOYSTATE2, rgdwPOV)};
    GamepadTable[33] = Control{BUTTON, 0xFFFF}; // reads zero

    void* object = nullptr;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object, nullptr)))
        return;
    pDirectInput = static_cast<LPDIRECTINPUT8A>(object);
    EnumerateControllers();
    pKeyboard = CreateDevice(GUID_SysKeyboard, &c_dfDIKeyboard, false, KEYBOARD);
    pMouse = CreateDevice(GUID_SysMouse, &c_dfDIMouse, true, MOUSE);
}

CDirectInput::~CDirectInput()
{
    ReleaseDevice(pMouse);
    ReleaseDevice(pKeyboard);
    ReleaseDevice(pGamepad);
    if (pEffect) {
        pEffect->Unload();
        pEffect->Release();
        pEffect = nullptr;
    }
    if (pDirectInput)
        pDirectInput->Release();
}

void CDirectInput::ReleaseDevice(LPDIRECTINPUTDEVICE8A& device)
{
    if (!device)
        return;
    device->Unacquire();
    device->Release();
    device = nullptr;
}

LPDIRECTINPUTDEVICE8A CDirectInput::CreateDevice(REFGUID guid, LPCDIDATAFORMAT format, bool exclusive,
                                                 unsigned long bit)
{
    _printf(exclusive ? "Attempting Device Init! - EXCLUSIVE\n" : "Attempting Device Init!\n");
    LPDIRECTINPUTDEVICE8A device = nullptr;
    if (!pDirectInput || FAILED(pDirectInput->CreateDevice(guid, &device, nullptr)))
        return nullptr;
    DWORD level = DISCL_FOREGROUND | (exclusive ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE);
    if (FAILED(device->SetDataFormat(format)) || FAILED(device->SetCooperativeLevel(hWindow, level)))
        return device;
    if (FAILED(device->Acquire())) {
        _printf("Failed device Init!\n");
        device->Release();
        return nullptr;
    }
    _printf("Sucessful device Init!\n");
    PresentDevices |= bit;
    return device;
}

void CDirectInput::EnumerateControllers()
{
    if (pDirectInput)
        pDirectInput->EnumDevices(DI8DEVCLASS_GAMECTRL, OnController, this, DIEDFL_ATTACHEDONLY);
}

BOOL CALLBACK CDirectInput::OnController(LPCDIDEVICEINSTANCEA instance, LPVOID context)
{
    CDirectInput* self = static_cast<CDirectInput*>(context);
    _printf("Controller Enum!\n");
    ReleaseDevice(self->pGamepad);
    self->pGamepad = self->CreateDevice(instance->guidInstance, &c_dfDIJoystick2, true, GAMEPAD);
    if (self->pGamepad) {
        _printf("Controller Enum Sucessfull!\n");
        self->pGamepad->EnumObjects(OnAxis, self->pGamepad, DIDFT_AXIS);
        std::memcpy(self->Name, instance->tszProductName, sizeof self->Name);
        self->Name[NAME_LENGTH - 1] = '\0';
    }
    return DIENUM_STOP;
}

BOOL CALLBACK CDirectInput::OnAxis(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID context)
{
    LPDIRECTINPUTDEVICE8A device = static_cast<LPDIRECTINPUTDEVICE8A>(context);
    DIPROPRANGE range;
    range.diph = DIPROPHEADER{sizeof range, sizeof(DIPROPHEADER), object->dwType, DIPH_BYID};
    range.lMin = -10000;
    range.lMax = 10000;
    device->SetProperty(DIPROP_RANGE, &range.diph);
    DIPROPDWORD value;
    value.diph = DIPROPHEADER{sizeof value, sizeof(DIPROPHEADER), object->dwType, DIPH_BYID};
    value.dwData = 3000;
    device->SetProperty(DIPROP_DEADZONE, &value.diph);
    value.dwData = 9000;
    device->SetProperty(DIPROP_SATURATION, &value.diph);
    return DIENUM_CONTINUE;
}

bool CDirectInput::LoadEffects(const char* file)
{
    if (!pGamepad)
        return false;
    return SUCCEEDED(pGamepad->EnumEffectsInFile(file, OnFileEffect, this, DIFEF_MODIFYIFNEEDED));
}

// One effect interface is kept: a later effect of the file replaces an earlier one.
BOOL CALLBACK CDirectInput::OnFileEffect(LPCDIFILEEFFECT effect, LPVOID context)
{
    CDirectInput* self = static_cast<CDirectInput*>(context);
    LPDIRECTINPUTEFFECT created = nullptr;
    if (FAILED(self->pGamepad->CreateEffect(effect->GuidEffect, effect->lpDiEffect, &created, nullptr)))
        return DIENUM_CONTINUE;
    if (self->pEffect) {
        self->pEffect->Unload();
        self->pEffect->Release();
    }
    self->pEffect = created;
    return DIENUM_CONTINUE;
}

const char* CDirectInput::DirectInputResultName(HRESULT result)
{
#define MG_RESULT(code)                                                                                                \
    {                                                                                                                  \
        code, #code                                                                                                    \
    }
    static const struct {
        HRESULT code;
        const char* name;
    } kNames[] = {
        MG_RESULT(DI_OK),
        MG_RESULT(DI_POLLEDDEVICE),
        MG_RESULT(DI_DOWNLOADSKIPPED),
        MG_RESULT(DI_EFFECTRESTARTED),
        MG_RESULT(DI_TRUNCATED),
        MG_RESULT(DI_SETTINGSNOTSAVED),
        MG_RESULT(DI_TRUNCATEDANDRESTARTED),
        MG_RESULT(DI_WRITEPROTECT),
        MG_RESULT(DI_NOTATTACHED), // S_FALSE: also DI_BUFFEROVERFLOW, DI_PROPNOEFFECT, DI_NOEFFECT
        MG_RESULT(DIERR_OLDDIRECTINPUTVERSION),
        MG_RESULT(DIERR_BETADIRECTINPUTVERSION),
        MG_RESULT(DIERR_BADDRIVERVER),
        MG_RESULT(DIERR_DEVICENOTREG),
        MG_RESULT(DIERR_NOTFOUND), // also DIERR_OBJECTNOTFOUND
        MG_RESULT(DIERR_INVALIDPARAM),
        MG_RESULT(DIERR_NOINTERFACE),
        MG_RESULT(DIERR_GENERIC),
        MG_RESULT(DIERR_OUTOFMEMORY),
        MG_RESULT(DIERR_UNSUPPORTED),
        MG_RESULT(DIERR_NOTINITIALIZED),
        MG_RESULT(DIERR_ALREADYINITIALIZED),
        MG_RESULT(DIERR_NOAGGREGATION),
        MG_RESULT(DIERR_OTHERAPPHASPRIO), // also DIERR_READONLY, DIERR_HANDLEEXISTS
        MG_RESULT(DIERR_INPUTLOST),
        MG_RESULT(DIERR_ACQUIRED),
        MG_RESULT(DIERR_NOTACQUIRED),
        MG_RESULT(DIERR_INSUFFICIENTPRIVS),
        MG_RESULT(DIERR_DEVICEFULL),
        MG_RESULT(DIERR_MOREDATA),
        MG_RESULT(DIERR_NOTDOWNLOADED),
        MG_RESULT(DIERR_HASEFFECTS),
        MG_RESULT(DIERR_NOTEXCLUSIVEACQUIRED),
        MG_RESULT(DIERR_INCOMPLETEEFFECT),
        MG_RESULT(DIERR_NOTBUFFERED),
        MG_RESULT(DIERR_EFFECTPLAYING),
        MG_RESULT(DIERR_UNPLUGGED),
        MG_RESULT(DIERR_REPORTFULL),
        MG_RESULT(DIERR_MAPFILEFAIL),
        {E_PENDING, "E_PENDING"},
        {E_POINTER, "E_POINTER"},
        {E_HANDLE, "E_HANDLE"},
    };
#undef MG_RESULT
    for (const auto& entry : kNames)
        if (entry.code == result)
            return entry.name;
    return nullptr;
}

HRESULT CDirectInput::ReportError(HRESULT result, int line, const char* file)
{
    if (const char* name = DirectInputResultName(result))
        _printf("%s at line %d in file %s\n", name, line, file);
    else
        _printf("Unknown error %d: at line %d in file %s\n", int(result), line, file);
    return result;
}

void CDirectInput::SetMouseEnabled(bool enabled)
{
    bMouseEnabled = enabled;
    if (!enabled) {
        ReleaseDevice(pMouse);
        PresentDevices &= ~(unsigned long)MOUSE;
    }
}

// A device that cannot be read reads as idle: a key held when its device was lost does not
// stay down.
void CDirectInput::ReadDevice(LPDIRECTINPUTDEVICE8A& device, unsigned long bit, void* state, DWORD size)
{
    HRESULT status = device->Poll();
    if (status == DIERR_INPUTLOST || status == DIERR_NOTACQUIRED) {
        PresentDevices &= ~bit;
        if (SUCCEEDED(device->Acquire())) {
            PresentDevices |= bit;
            device->Poll();
        }
    }
    status = device->GetDeviceState(size, state);
    if (status == DIERR_INPUTLOST || status == DIERR_NOTACQUIRED)
        PresentDevices &= ~bit;
    if (FAILED(status))
        ClearState(bit, state, size);
}

// An unread state is idle: nothing pressed, no movement and, on a controller, a centred hat.
void CDirectInput::ClearState(unsigned long bit, void* state, DWORD size)
{
    std::memset(state, 0, size);
    if (bit == GAMEPAD)
        static_cast<DIJOYSTATE2*>(state)->rgdwPOV[0] = 0xFFFFFFFFu;
}

// An absent device is sought again; an old interface that could not be reacquired is
// released first.
void CDirectInput::SeekDevice(int which)
{
    if (which == GAMEPAD) {
        EnumerateControllers();
    } else if (which == MOUSE) {
        if (bMouseEnabled) {
            ReleaseDevice(pMouse);
            pMouse = CreateDevice(GUID_SysMouse, &c_dfDIMouse, true, MOUSE);
        }
    } else {
        ReleaseDevice(pKeyboard);
        pKeyboard = CreateDevice(GUID_SysKeyboard, &c_dfDIKeyboard, false, KEYBOARD);
    }
}

unsigned long CDirectInput::Update()
{
    Current ^= 1;
    struct Reading {
        LPDIRECTINPUTDEVICE8A* Device;
        int Bit;
        void* State;
        DWORD Size;
    } readings[3] = {{&pKeyboard, KEYBOARD, ReadKeys[Current], 256},
                     {&pMouse, MOUSE, &ReadMouse[Current], sizeof(DIMOUSESTATE)},
                     {&pGamepad, GAMEPAD, &ReadGamepad[Current], sizeof(DIJOYSTATE2)}};
    for (Reading& r : readings) {
        if (*r.Device && (PresentDevices & r.Bit)) {
            ReadDevice(*r.Device, r.Bit, r.State, r.Size);
        } else {
            ClearState(r.Bit, r.State, r.Size);
            SeekDevice(r.Bit);
        }
    }

    bool debug = DebugActions.ScrollLockEnabled && DebugActions.ScrollLockEnabled() && (GetKeyState(VK_SCROLL) & 1);
    if (debug) {
        std::memcpy(GameKeys[Current], GameKeys[Current ^ 1], 256);
        GameMouse[Current] = GameMouse[Current ^ 1];
        GameGamepad[Current] = GameGamepad[Current ^ 1];
        DebugKeys();
    } else {
        std::memcpy(GameKeys[Current], ReadKeys[Current], 256);
        GameMouse[Current] = ReadMouse[Current];
        GameGamepad[Current] = ReadGamepad[Current];
    }
    ApplyHat();
    return PresentDevices;
}

void CDirectInput::ApplyHat()
{
    DWORD hat = GameGamepad[Current].rgdwPOV[0];
    if ((hat & 0xFFFF) == 0xFFFF)
        return;
    DWORD degrees = hat / 100 + 45;
    if (degrees >= 360)
        degrees -= 360;
    static const int kSector[4] = {kDpadUp, kDpadRight, kDpadDown, kDpadLeft};
    DWORD sector = degrees / 90;
    if (sector < 4)
        GameGamepad[Current].rgbButtons[kSector[sector]] = 1;
}

bool CDirectInput::NewlyPressed(int key) const { return ReadKeys[Current][key] && !ReadKeys[Current ^ 1][key]; }

void CDirectInput::DebugKeys()
{
    const unsigned char* now = ReadKeys[Current];
    const unsigned char* before = ReadKeys[Current ^ 1];
    auto both = [](const unsigned char* keys, int a1, int a2, int b1, int b2) {
        return (keys[a1] || keys[a2]) && (keys[b1] || keys[b2]);
    };
    if (both(now, DIK_LMENU, DIK_RMENU, DIK_RETURN, DIK_NUMPADENTER) &&
        !both(before, DIK_LMENU, DIK_RMENU, DIK_RETURN, DIK_NUMPADENTER))
        Run(DebugActions.ToggleDebugDisplayMode);
    if (both(now, DIK_LCONTROL, DIK_RCONTROL, DIK_F1, DIK_F1) &&
        !both(before, DIK_LCONTROL, DIK_RCONTROL, DIK_F1, DIK_F1))
        Run(DebugActions.ToggleRendererSwitch);
    if (NewlyPressed(DIK_F5)) {
        if (CGameTimer::BreakLimit() > 0.0f) {
            CGameTimer::SetBreakLimit(0.0f);
            CGameTimer::SetBreakTime(0.066667f);
            Message("Timer Locked");
        } else {
            CGameTimer::SetBreakLimit(1.0f);
            CGameTimer::SetBreakTime(0.033333f);
            Message("Timer Unlocked");
        }
    }
    if (NewlyPressed(DIK_F6) && CGameTimer::IsPaused())
        CGameTimer::SetSlipFrames(1);
    if (NewlyPressed(DIK_F7) && CGameTimer::IsPaused())
        CGameTimer::SetSlipTime(1.0f);
    if (NewlyPressed(DIK_F8)) {
        bool slow = CGameTimer::FrameScale() < 1.0f;
        CGameTimer::SetFrameScale(slow ? 1.0f : 0.05f);
        Message(slow ? "Game Time Normal" : "Game Time 1/20th Scale");
    }
    if (NewlyPressed(DIK_F9)) {
        bool slow = CGameTimer::PauseScale() < 1.0f;
        CGameTimer::SetPauseScale(slow ? 1.0f : 0.05f);
        Message(slow ? "Pause Time Normal" : "Pause Time 1/20th Scale");
    }
    if (NewlyPressed(DIK_F10))
        Run(DebugActions.ToggleCameraCycle);
    if (NewlyPressed(DIK_F11))
        Run(DebugActions.ToggleRenderOutlines);
    if (NewlyPressed(DIK_O))
        Run(DebugActions.ToggleCameraPlayback);
    if (NewlyPressed(DIK_P))
        Run(DebugActions.AddCameraKeyframe);
    if (NewlyPressed(DIK_LBRACKET))
        Run(DebugActions.ShortenCameraKeyframe);
    if (NewlyPressed(DIK_RBRACKET))
        Run(DebugActions.LengthenCameraKeyframe);
    if (NewlyPressed(DIK_BACKSLASH))
        Run(DebugActions.ClearCameraKeyframes);
}

unsigned long CDirectInput::ReadControl(const Control& control, const unsigned char* state)
{
    if (control.Offset == 0xFFFF)
        return 0;
    if (control.Type == BUTTON)
        return state[control.Offset] != 0 ? 1 : 0;
    long raw;
    std::memcpy(&raw, state + control.Offset, sizeof raw);
    if (control.Type == ANGLE)
        return FloatBits(float((unsigned long)raw) * (kPi / 18000.0f));
    return FloatBits(float(raw) * 0.0001f);
}

// Controls beyond a device's table read 0.
unsigned long CDirectInput::GetInput(unsigned char device, unsigned short control, int controller, int previous)
{
    int buffer = previous == 1 ? Current ^ 1 : Current;
    switch (device) {
    case KEYBOARD:
        return control < 256 && GameKeys[buffer][control] ? 1 : 0;
    case MOUSE:
        if (control >= MOUSE_CONTROLS)
            return 0;
        return ReadControl(MouseTable[control], reinterpret_cast<const unsigned char*>(&GameMouse[buffer]));
    case GAMEPAD:
        if (controller > 0 || control >= GAMEPAD_CONTROLS)
            return 0;
        return ReadControl(GamepadTable[control], reinterpret_cast<const unsigned char*>(&GameGamepad[buffer]));
    default:
        return 0;
    }
}

int CDirectInput::GetChangedControls(InputControl* out, int capacity)
{
    int count = 0;
    auto note = [&](unsigned char device, int control) {
        if (count < capacity)
            out[count] = InputControl{device, (unsigned short)control};
        ++count;
    };
    const unsigned char* keys = GameKeys[Current];
    const unsigned char* before = GameKeys[Current ^ 1];
    for (int key = 0; key < 256; key += 4) {
        unsigned long a, b;
        std::memcpy(&a, keys + key, 4);
        std::memcpy(&b, before + key, 4);
        if (a == b)
            continue;
        for (int k = key; k < key + 4; ++k)
            if ((keys[k] != 0) != (before[k] != 0))
                note(KEYBOARD, k);
    }
    const unsigned char* mouse = reinterpret_cast<const unsigned char*>(&GameMouse[Current]);
    const unsigned char* mouseBefore = reinterpret_cast<const unsigned char*>(&GameMouse[Current ^ 1]);
    for (int c = 0; c < MOUSE_CONTROLS; ++c)
        if (ReadControl(MouseTable[c], mouse) != ReadControl(MouseTable[c], mouseBefore))
            note(MOUSE, c);
    const unsigned char* pad = reinterpret_cast<const unsigned char*>(&GameGamepad[Current]);
    const unsigned char* padBefore = reinterpret_cast<const unsigned char*>(&GameGamepad[Current ^ 1]);
    for (int c = 0; c < GAMEPAD_CONTROLS; ++c)
        if (ReadControl(GamepadTable[c], pad) != ReadControl(GamepadTable[c], padBefore))
            note(GAMEPAD, c);
    return count <= capacity ? count : -1;
}
