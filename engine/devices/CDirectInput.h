#pragma once
// The PC's operating-system input layer: the system keyboard, the system mouse and the first
// attached game controller, read through DirectInput 8 once per frame into double buffers.
#include <dinput.h>

#include "engine/devices/COSInput.h"

// What the debug keys behind Scroll Lock do beyond the game clock: the renderer's switches and
// the camera recorder. The renderer fills these in; an empty entry does nothing, and debug keys
// stay off until ScrollLockEnabled says the renderer's configuration allows them.
struct CInputDebugActions {
    bool (*ScrollLockEnabled)();
    void (*ToggleDebugDisplayMode)();
    void (*ToggleRendererSwitch)(); // Ctrl+F1
    void (*ToggleCameraCycle)();
    void (*ToggleRenderOutlines)();
    void (*ToggleCameraPlayback)();
    void (*AddCameraKeyframe)();
    void (*ShortenCameraKeyframe)();
    void (*LengthenCameraKeyframe)();
    void (*ClearCameraKeyframes)();
    void (*AddRenderMessage)(const char* text, float seconds);
};

class CDirectInput : public COSInput {
public:
    enum { KEYBOARD = 1, MOUSE = 2, GAMEPAD = 4 };
    enum { MOUSE_CONTROLS = 7, GAMEPAD_CONTROLS = 34 };
    enum ControlType { BUTTON = 0, ANGLE = 1, AXIS = 2 };

    CDirectInput(HINSTANCE instance, HWND window);
    ~CDirectInput() override;
    unsigned long Update() override;
    unsigned long GetInput(unsigned char device, unsigned short control, int controller, int previous) override;
    int GetChangedControls(InputControl* out, int capacity) override;

    // Activation: an inactive application gives the mouse back.
    void SetMouseEnabled(bool enabled);
    bool IsMouseEnabled() const { return bMouseEnabled; }
    unsigned long GetPresentDevices() const { return PresentDevices; }

    // Force-feedback effects of a file, created on the game controller (the engine plays none);
    // true on success.
    bool LoadEffects(const char* file);
    // Prints the DirectInput name of a result code with the place it came from, and returns the
    // code. Names: DirectInputResultName, null for a code it does not know.
    static HRESULT ReportError(HRESULT result, int line, const char* file);
    static const char* DirectInputResultName(HRESULT result);

    static CInputDebugActions DebugActions;

private:
    struct Control {
        unsigned short Type;
        unsigned short Offset;
    };

    LPDIRECTINPUTDEVICE8A CreateDevice(REFGUID guid, LPCDIDATAFORMAT format, bool exclusive, unsigned long bit);
    void EnumerateControllers();
    static BOOL CALLBACK OnController(LPCDIDEVICEINSTANCEA instance, LPVOID self);
    static BOOL CALLBACK OnAxis(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID device);
    static BOOL CALLBACK OnFileEffect(LPCDIFILEEFFECT effect, LPVOID self);
    void ReadDevice(LPDIRECTINPUTDEVICE8A& device, unsigned long bit, void* state, DWORD size);
    void SeekDevice(int which);
    static void ClearState(unsigned long bit, void* state, DWORD size);
    static void ReleaseDevice(LPDIRECTINPUTDEVICE8A& device);
    void DebugKeys();
    bool NewlyPressed(int key) const;
    void ApplyHat();
    static unsigned long ReadControl(const Control& control, const unsigned char* state);

    HWND hWindow;
    LPDIRECTINPUT8A pDirectInput;
    LPDIRECTINPUTDEVICE8A pKeyboard;
    LPDIRECTINPUTDEVICE8A pMouse;
    LPDIRECTINPUTDEVICE8A pGamepad;
    LPDIRECTINPUTEFFECT pEffect;
    bool bMouseEnabled;
    unsigned long PresentDevices;
    int Current; // 0 or 1: this frame's buffer
    DIMOUSESTATE GameMouse[2], ReadMouse[2];
    DIJOYSTATE2 GameGamepad[2], ReadGamepad[2];
    unsigned char GameKeys[2][256], ReadKeys[2][256];
    Control MouseTable[MOUSE_CONTROLS];
    Control GamepadTable[GAMEPAD_CONTROLS];
};
