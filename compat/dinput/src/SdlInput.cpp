// The SDL2 input source: the game window's keyboard, mouse and game-controller events, mapped
// onto the DirectInput device states.
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "InputState.h"

namespace {

struct KeyMapping {
    SDL_Scancode scancode;
    BYTE key;
};

const KeyMapping kKeyMap[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP},
};

int KeyOf(SDL_Scancode scancode)
{
    for (const KeyMapping& mapping : kKeyMap)
        if (mapping.scancode == scancode)
            return mapping.key;
    return -1;
}

SDL_GameController* g_Controller;
SDL_JoystickID g_ControllerId = -1;

// SDL's -32768..32767 onto the -10000..10000 range the engine sets, with its dead zone (30%)
// and saturation (90%).
LONG ScaleAxis(Sint16 raw)
{
    double v = raw / 32767.0;
    double magnitude = v < 0 ? -v : v;
    if (magnitude <= 0.3)
        return 0;
    double scaled = magnitude >= 0.9 ? 1.0 : (magnitude - 0.3) / 0.6;
    return LONG((v < 0 ? -scaled : scaled) * 10000.0 + (v < 0 ? -0.5 : 0.5));
}

// The directional pad, which SDL reports as buttons, as the point-of-view hat angle.
void UpdateHat()
{
    MgInputState& state = MgState();
    bool up = SDL_GameControllerGetButton(g_Controller, SDL_CONTROLLER_BUTTON_DPAD_UP);
    bool down = SDL_GameControllerGetButton(g_Controller, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    bool left = SDL_GameControllerGetButton(g_Controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    bool right = SDL_GameControllerGetButton(g_Controller, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    int x = int(right) - int(left), y = int(up) - int(down);
    static const DWORD kAngles[3][3] = {{22500, 18000, 13500}, {27000, 0xFFFFFFFFu, 9000}, {31500, 0, 4500}};
    state.Pad.rgdwPOV[0] = kAngles[y + 1][x + 1];
}

void OpenController(int index)
{
    if (g_Controller || !SDL_IsGameController(index))
        return;
    g_Controller = SDL_GameControllerOpen(index);
    if (!g_Controller)
        return;
    g_ControllerId = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(g_Controller));
    MgInputState& state = MgState();
    MgClearPad();
    const char* name = SDL_GameControllerName(g_Controller);
    std::snprintf(state.PadName, sizeof state.PadName, "%s", name ? name : "Game Controller");
    state.PadAttached = true;
    ++state.PadGeneration;
}

void CloseController(SDL_JoystickID id)
{
    if (!g_Controller || id != g_ControllerId)
        return;
    SDL_GameControllerClose(g_Controller);
    g_Controller = nullptr;
    g_ControllerId = -1;
    MgState().PadAttached = false;
    MgClearPad();
}

void ControllerAxis(const SDL_ControllerAxisEvent& axis)
{
    // SDL's axes in the extended joystick state's order: X, Y, Z, X rotation, Y rotation,
    // Z rotation; the triggers stand for Z and Z rotation.
    static const int kSlot[SDL_CONTROLLER_AXIS_MAX] = {0, 1, 3, 4, 2, 5};
    if (axis.which != g_ControllerId || axis.axis >= SDL_CONTROLLER_AXIS_MAX)
        return;
    (&MgState().Pad.lX)[kSlot[axis.axis]] = ScaleAxis(axis.value);
}

void ControllerButton(const SDL_ControllerButtonEvent& button)
{
    if (button.which != g_ControllerId || button.button >= 128)
        return;
    MgState().Pad.rgbButtons[button.button] = button.state == SDL_PRESSED ? 0x80 : 0;
    UpdateHat();
}

void Key(const SDL_KeyboardEvent& event)
{
    int key = KeyOf(event.keysym.scancode);
    if (key < 0)
        return;
    MgInputState& state = MgState();
    state.Keys[key] = event.state == SDL_PRESSED;
    if (event.state == SDL_PRESSED)
        state.KeyLatch[key] = 1;
}

void MouseButton(const SDL_MouseButtonEvent& event)
{
    static const int kButton[6] = {-1, 0, 2, 1, 3, -1}; // left, middle, right, first extra
    int button = event.button < 6 ? kButton[event.button] : -1;
    if (button < 0)
        return;
    MgInputState& state = MgState();
    state.Mouse.rgbButtons[button] = event.state == SDL_PRESSED;
    if (event.state == SDL_PRESSED)
        state.ButtonLatch[button] = 1;
}

} // namespace

void MgSdlInputEvent(const void* raw, void*)
{
    if (MgScriptActive())
        return;
    const SDL_Event& event = *static_cast<const SDL_Event*>(raw);
    MgInputState& state = MgState();
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        Key(event.key);
        break;
    case SDL_MOUSEMOTION:
        state.Mouse.lX += event.motion.xrel;
        state.Mouse.lY += event.motion.yrel;
        break;
    case SDL_MOUSEWHEEL:
        // One notch is 120 units, as the system mouse reports it.
        state.Mouse.lZ += event.wheel.y * 120;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        MouseButton(event.button);
        break;
    case SDL_CONTROLLERDEVICEADDED:
        OpenController(event.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        CloseController(event.cdevice.which);
        break;
    case SDL_CONTROLLERAXISMOTION:
        ControllerAxis(event.caxis);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        ControllerButton(event.cbutton);
        break;
    default:
        break;
    }
}
