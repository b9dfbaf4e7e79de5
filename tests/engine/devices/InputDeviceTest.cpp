// The input device end to end: hand-built trigger records, the PC device over the DirectInput
// substitute, and per-frame input scripts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <mg_dinput.h>
#include <mg_win32.h>
#include <mg_window.h>

#include "core/names/CCRC32.h"
#include "engine/devices/CDirectInput.h"
#include "engine/devices/GPCXInputDevice.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"

namespace {

struct Fired {
    int Frame;
    std::string Trigger;
    unsigned long Word0;
};
std::vector<Fired> g_Fired;
int g_Frame;

// A recipient whose handlers note the frame they fire in.
class GRecipient : public GObject {
    DECLARE_GOBJECT(GRecipient, GObject)
    void OnS(CInputData* data) { g_Fired.push_back({g_Frame, "S", data->Word(0)}); }
    void OnCtrlS(CInputData* data) { g_Fired.push_back({g_Frame, "CtrlS", data->Word(2)}); }
    void OnText(CInputData* data) { g_Fired.push_back({g_Frame, "Text", data->Word(0)}); }
    void OnJump(CInputData* data) { g_Fired.push_back({g_Frame, "Jump", data->Word(1)}); }
    void OnRight(CInputData* data) { g_Fired.push_back({g_Frame, "Right", data->Word(0)}); }
    void OnUp(CInputData* data) { g_Fired.push_back({g_Frame, "Up", data->Word(0)}); }
    void OnF8(CInputData* data) { g_Fired.push_back({g_Frame, "F8", data->Word(0)}); }
    void OnHeld(CInputData* data) { g_Fired.push_back({g_Frame, "Held", data->Word(0)}); }
    void OnKey(CInputData* data) { g_Fired.push_back({g_Frame, "Key", data->Word(0)}); }
    void OnEarly(CInputData* data) { g_Fired.push_back({g_Frame, "Early", data->Word(0)}); }
    void OnLate(CInputData* data) { g_Fired.push_back({g_Frame, "Late", data->Word(0)}); }
    void OnLong(CInputData* data) { g_Fired.push_back({g_Frame, "Long", data->Word(13)}); }
    void OnSwitch(CInputData* data)
    {
        g_Fired.push_back({g_Frame, "Switch", data->Word(0)});
        GInputDevice::pThe->SetCurrentConfig(GInputDevice::pThe->GetCurrentConfig() + 1);
    }
};
IMPLEMENT_GOBJECT(GRecipient, 0x80000100) // with a handle: bindings name their recipient by it

unsigned long Def(unsigned long code, unsigned char condition) { return (code & 0x00FFFFFF) | condition << 24; }

// A trigger record laid out as the converter writes it, constructed in place.
class Trigger {
public:
    Trigger(const char* name, std::vector<unsigned long> defs, unsigned long value = 0) : words(5 + defs.size())
    {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(words.data());
        unsigned long label = CCRC32::GetCRC(name);
        std::memcpy(bytes + 8, &label, 4);
        std::memcpy(bytes + 12, &value, 4);
        bytes[16] = (unsigned char)defs.size();
        std::memcpy(bytes + 20, defs.data(), 4 * defs.size());
        ZelConstructInPlace<CInputTrigger>(bytes);
    }
    ~Trigger() { Get()->~CInputTrigger(); }
    CInputTrigger* Get() { return reinterpret_cast<CInputTrigger*>(words.data()); }

private:
    std::vector<unsigned long> words;
};

// Builds the editable tables once every class has registered, as the shell's constructor does.
class ObjectModelEnvironment : public ::testing::Environment {
public:
    void SetUp() override { GObject::InitEditableInfo(); }
};
const ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ObjectModelEnvironment);

std::vector<std::string> g_Debug;
void CaptureDebug(const char* text, void*) { g_Debug.push_back(text); }

std::vector<std::string> g_Messages;
bool ScrollLockAllowed() { return true; }
void NoteMessage(const char* text, float) { g_Messages.push_back(text); }

class InputDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Fired.clear();
        g_Frame = 0;
        g_Debug.clear();
        g_Messages.clear();
        MgResetWindows();
        MgResetInput();
        GInputDevice::InputConfig = 0;
        CDirectInput::DebugActions = CInputDebugActions{};
        CDirectInput::DebugActions.ScrollLockEnabled = ScrollLockAllowed;
        CDirectInput::DebugActions.AddRenderMessage = NoteMessage;
        MgSetDebugOutputSink(CaptureDebug, nullptr);
    }
    void TearDown() override
    {
        if (recipient)
            recipient->Destroy();
        if (device)
            device->Destroy();
        MgSetDebugOutputSink(nullptr, nullptr);
        MgResetInput();
    }

    // The device and a recipient; the script is loaded first, so a controller it attaches in
    // frame 0 is there at creation.
    void Start(const char* script)
    {
        ASSERT_TRUE(MgLoadInputScriptText(script, "test.script"));
        device = GPCXInputDevice::Create();
        ASSERT_NE(device, nullptr);
        recipient = GRecipient::Create();
        ASSERT_NE(recipient, nullptr);
    }

    bool Bind(const char* name, void (GRecipient::*handler)(CInputData*))
    {
        return device->Register(recipient->GetHandle(), name, 0xFFFFFFFFul,
                                static_cast<GInputDevice::InputHandler>(handler));
    }

    void RunFrames(int frames)
    {
        for (int i = 0; i < frames; ++i) {
            MgAdvanceInputFrame();
            g_Frame = MgInputFrameNumber();
            device->Process();
        }
    }

    std::vector<int> FramesOf(const std::string& trigger)
    {
        std::vector<int> frames;
        for (const Fired& f : g_Fired)
            if (f.Trigger == trigger)
                frames.push_back(f.Frame);
        return frames;
    }

    GPCXInputDevice* device = nullptr;
    GRecipient* recipient = nullptr;
};

TEST_F(InputDeviceTest, CtrlSWinsOverSAndEachFiresOnlyOnItsFrames)
{
    Trigger s("KeyS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger ctrlS(
        "KeyCtrlS",
        {Def(rhu::INPUT_LCONTROL, rhu::INPUT_CONDITION_ISDOWN), Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)}, 77);
    Start("frame 2 down S\n"
          "frame 3 up S\n"
          "frame 5 down LCONTROL\n"
          "frame 6 down S\n"
          "frame 8 up S LCONTROL\n"
          "frame 9 tap s\n");
    // Registered S first: the longer trigger still goes before it.
    EXPECT_FALSE(Bind("KeyS", &GRecipient::OnS));
    EXPECT_FALSE(Bind("KeyCtrlS", &GRecipient::OnCtrlS));
    EXPECT_TRUE(Bind("KeyCtrlS", &GRecipient::OnCtrlS)); // the same binding again adds nothing
    EXPECT_TRUE(Bind("NoSuchTrigger", &GRecipient::OnS));
    RunFrames(12);
    EXPECT_EQ(FramesOf("S"), (std::vector<int>{2, 9}));
    EXPECT_EQ(FramesOf("CtrlS"), (std::vector<int>{6}));
    ASSERT_FALSE(g_Fired.empty());
    EXPECT_EQ(g_Fired[1].Word0, 77u); // the trigger's value follows its conditions
}

// Two triggers on one key: a press and a hold are different conditions and both fire on the
// press; a second binding of the same press is consumed by the first and stays silent.
TEST_F(InputDeviceTest, TwoConditionsOnOneKeyBothFire)
{
    Trigger press("KeyPressS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger held("KeyHeldS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ISDOWN)});
    Trigger again("KeyPressSAgain", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Start("frame 2 down S\n"
          "frame 4 up S\n");
    EXPECT_FALSE(Bind("KeyPressS", &GRecipient::OnS));
    EXPECT_FALSE(Bind("KeyHeldS", &GRecipient::OnHeld));
    EXPECT_FALSE(Bind("KeyPressSAgain", &GRecipient::OnKey));
    RunFrames(6);
    EXPECT_EQ(FramesOf("S").size() + FramesOf("Key").size(), 1u);
    EXPECT_EQ(FramesOf("Held"), (std::vector<int>{2, 3}));
}

TEST_F(InputDeviceTest, TextTriggerDeliversEachQueuedCharacterOnce)
{
    Trigger text("Typing", {rhu::INPUT_TEXT});
    Start("");
    EXPECT_FALSE(Bind("Typing", &GRecipient::OnText));
    RunFrames(1);
    EXPECT_TRUE(g_Fired.empty());
    device->Character('h');
    device->Character('i');
    RunFrames(1);
    ASSERT_EQ(g_Fired.size(), 2u);
    EXPECT_EQ(g_Fired[0].Word0, unsigned('h'));
    EXPECT_EQ(g_Fired[1].Word0, unsigned('i'));
    EXPECT_EQ(device->CharacterCount(), 0);
    for (int i = 0; i < 200; ++i)
        device->Character('x');
    EXPECT_EQ(device->CharacterCount(), 126);
    device->Mode(2); // a new mode empties the queue
    EXPECT_EQ(device->CharacterCount(), 0);
    EXPECT_EQ(device->Mode(0), 2u);
}

// Characters typed in a script reach the device as the window's character messages.
TEST_F(InputDeviceTest, ScriptedTextArrivesThroughTheWindow)
{
    Start("frame 2 text ok\nframe 3 char 13\n");
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_CHAR && GInputDevice::pThe)
            GInputDevice::pThe->Character(int(wp));
        return DefWindowProcA(w, m, wp, lp);
    };
    windowClass.lpszClassName = "InputTestWindow";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "InputTestWindow", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SetForegroundWindow(window));
    Trigger text("Typing", {rhu::INPUT_TEXT});
    EXPECT_FALSE(Bind("Typing", &GRecipient::OnText));
    MgSetInputHooks(nullptr, nullptr, nullptr); // the turns below advance the script themselves
    for (int turn = 0; turn < 4; ++turn) {
        MgAdvanceInputFrame();
        g_Frame = MgInputFrameNumber();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        device->Process();
    }
    ASSERT_EQ(g_Fired.size(), 3u);
    EXPECT_EQ(g_Fired[0].Word0, unsigned('o'));
    EXPECT_EQ(g_Fired[1].Frame, 2);
    EXPECT_EQ(g_Fired[2].Word0, 13u);
    EXPECT_EQ(g_Fired[2].Frame, 3);
}

TEST_F(InputDeviceTest, ConfigurationGatedTriggerIsBoundOnlyInItsConfiguration)
{
    Trigger first("Jump", {Def(rhu::INPUT_A, rhu::INPUT_CONDITION_ONPRESS), rhu::INPUT_CONFIG_1});
    Trigger second("Jump",
                   {rhu::INPUT_CONFIG_2 | rhu::INPUT_CONFIG_3, Def(rhu::INPUT_B, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger longer("Jump", std::vector<unsigned long>(14, Def(rhu::INPUT_C, rhu::INPUT_CONDITION_ISDOWN)));
    EXPECT_EQ(first.Get()->Active, 1);
    EXPECT_EQ(first.Get()->Size, 1); // the configuration condition is taken out
    EXPECT_EQ(second.Get()->Active, 0);
    EXPECT_EQ(second.Get()->Size, 1);
    EXPECT_EQ(second.Get()->InputDefs[0].Code, Def(rhu::INPUT_B, rhu::INPUT_CONDITION_ONPRESS));
    EXPECT_EQ(longer.Get()->Active, 0); // more conditions than a handler's data holds
    Start("frame 2 tap B\nframe 4 tap A\nframe 6 tap C\n");
    EXPECT_FALSE(Bind("Jump", &GRecipient::OnJump));
    RunFrames(8);
    EXPECT_EQ(FramesOf("Jump"), (std::vector<int>{4}));
}

// A handler that switches the configuration rebinds every binding: the frame ends there rather
// than walking recycled records, and the rebound bindings fire from the next frame on.
TEST_F(InputDeviceTest, HandlerSwitchingTheConfigurationEndsTheFrame)
{
    Trigger sw("Switch", {Def(rhu::INPUT_A, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger s("KeyS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ISDOWN)});
    Start("frame 2 down A S\nframe 4 up S\n");
    EXPECT_FALSE(Bind("Switch", &GRecipient::OnSwitch));
    EXPECT_FALSE(Bind("KeyS", &GRecipient::OnS));
    RunFrames(4);
    EXPECT_EQ(FramesOf("Switch"), (std::vector<int>{2}));
    EXPECT_EQ(FramesOf("S"), (std::vector<int>{3}));
    EXPECT_EQ(GInputDevice::InputConfig, 1);
}

TEST_F(InputDeviceTest, HatAngleSelectsTheDirectionalPadButton)
{
    Trigger right("PadRight", {Def(rhu::INPUT_GAMEPAD_DPAD_RIGHT, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger up("PadUp", {Def(rhu::INPUT_GAMEPAD_DPAD_UP, rhu::INPUT_CONDITION_ONPRESS)});
    Start("frame 1 pad attach Monstar Gamepad\n"
          "frame 3 pad hat 4500\n"
          "frame 4 pad hat centre\n"
          "frame 5 pad hat 31500\n");
    EXPECT_FALSE(Bind("PadRight", &GRecipient::OnRight));
    EXPECT_FALSE(Bind("PadUp", &GRecipient::OnUp));
    RunFrames(3);
    EXPECT_STREQ(device->GetOSInput()->GetName(), "Monstar Gamepad");
    EXPECT_EQ(GInputDevice::GamepadSuffix(GInputDevice::FindGamepadRow("Monstar Gamepad")),
              std::string("DualShock2PC"));
    unsigned long bits = device->GetOSInput()->GetInput(4, 32, 0, 0);
    float angle;
    std::memcpy(&angle, &bits, 4);
    EXPECT_FLOAT_EQ(angle, 4500 * 3.14159265f / 18000);
    EXPECT_EQ(device->GetOSInput()->GetInput(4, 32, 1, 0), 0u); // controller 1 has no gamepad
    RunFrames(3);
    EXPECT_EQ(FramesOf("Right"), (std::vector<int>{3}));
    EXPECT_EQ(FramesOf("Up"), (std::vector<int>{5}));
}

// Result codes by name (codes that share a value answer with the first name), and force
// feedback, which the controllers here do not have.
TEST_F(InputDeviceTest, ResultCodeNamesAndEffectFiles)
{
    const struct {
        HRESULT code;
        const char* name;
    } cases[] = {{DI_OK, "DI_OK"},
                 {DIERR_INPUTLOST, "DIERR_INPUTLOST"},
                 {DIERR_NOTACQUIRED, "DIERR_NOTACQUIRED"},
                 {DIERR_READONLY, "DIERR_OTHERAPPHASPRIO"},
                 {E_PENDING, "E_PENDING"},
                 {E_POINTER, "E_POINTER"},
                 {E_HANDLE, "E_HANDLE"},
                 {HRESULT(0x12345), nullptr}};
    for (const auto& c : cases) {
        const char* name = CDirectInput::DirectInputResultName(c.code);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(CDirectInput::ReportError(c.code, 12, "here.cpp"), c.code);
    }
    Start("frame 2 pad attach AxisPad\n");
    CDirectInput* layer = static_cast<CDirectInput*>(device->GetOSInput());
    EXPECT_FALSE(layer->LoadEffects("rumble.ffe")); // no controller yet
    RunFrames(2);
    EXPECT_NE(layer->GetPresentDevices() & CDirectInput::GAMEPAD, 0u);
    EXPECT_FALSE(layer->LoadEffects("rumble.ffe"));
}

TEST_F(InputDeviceTest, GamepadRowsByLongestCommonPrefix)
{
    const struct {
        const char* name;
        int row;
    } cases[] = {
        {"Xbox Controller S", 0},
        {"ThrustMaster FireStorm(TM) Dual Power Gamepad", 3},
        {"Interact", 5}, // ties go to the first row
        {"INTERACT GAME CONTROLLER", 6},
        {"None", 10},
        {"zzz", -1},
        {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GInputDevice::FindGamepadRow(c.name), c.row) << c.name;
}

TEST_F(InputDeviceTest, DebugKeysActUnderScrollLockAndHideKeysFromTheGame)
{
    Trigger f8("F8", {Def(rhu::INPUT_F8, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger held("Held", {Def(rhu::INPUT_SPACE, rhu::INPUT_CONDITION_ONRELEASE)});
    CGameTimer::SetFrameScale(1.0f);
    Start("frame 2 down SPACE\n"
          "frame 3 scrolllock on\n"
          "frame 4 up SPACE\n"
          "frame 5 tap F8\n"
          "frame 8 scrolllock off\n"
          "frame 10 tap F8\n");
    EXPECT_FALSE(Bind("F8", &GRecipient::OnF8));
    EXPECT_FALSE(Bind("Held", &GRecipient::OnHeld));
    RunFrames(7);
    EXPECT_EQ(CGameTimer::FrameScale(), 0.05f);
    EXPECT_EQ(g_Messages, (std::vector<std::string>{"Game Time 1/20th Scale"}));
    EXPECT_TRUE(g_Fired.empty()); // no key edges while debug keys are on
    RunFrames(5);
    // Space was released in debug mode: the game sees the release when debug mode ends.
    EXPECT_EQ(FramesOf("Held"), (std::vector<int>{8}));
    EXPECT_EQ(FramesOf("F8"), (std::vector<int>{10}));
    CGameTimer::SetFrameScale(1.0f);
}

// Every debug key, each acting once when newly pressed under Scroll Lock; the pairs act when the
// pair becomes complete, and the slip keys only while the game is paused.
std::vector<std::string> g_Actions;
#define MG_ACTION(name) [] { g_Actions.push_back(name); }

TEST_F(InputDeviceTest, EveryDebugKeyActsOnceWhenNewlyPressed)
{
    g_Actions.clear();
    CInputDebugActions& actions = CDirectInput::DebugActions;
    actions.ToggleDebugDisplayMode = MG_ACTION("display");
    actions.ToggleRendererSwitch = MG_ACTION("switch");
    actions.ToggleCameraCycle = MG_ACTION("cycle");
    actions.ToggleRenderOutlines = MG_ACTION("outlines");
    actions.ToggleCameraPlayback = MG_ACTION("playback");
    actions.AddCameraKeyframe = MG_ACTION("add");
    actions.ShortenCameraKeyframe = MG_ACTION("shorten");
    actions.LengthenCameraKeyframe = MG_ACTION("lengthen");
    actions.ClearCameraKeyframes = MG_ACTION("clear");
    const float limit = CGameTimer::BreakLimit(), frameScale = CGameTimer::FrameScale();
    const float pauseScale = CGameTimer::PauseScale(), breakTime = CGameTimer::BreakTime();
    CGameTimer::SetBreakLimit(1.0f);
    CGameTimer::SetPauseScale(1.0f);
    CGameTimer::SetSlipFrames(0);
    CGameTimer::SetSlipTime(0.0f);
    CGameTimer::bReportPaused = false;
    Start("frame 1 scrolllock on\n"
          "frame 2 down RMENU\nframe 3 tap NUMPADENTER\nframe 5 up RMENU\n"  // Alt+Enter once
          "frame 6 tap RETURN\n"                                             // Enter alone: nothing
          "frame 7 down F1\nframe 8 down RCONTROL\nframe 9 up F1 RCONTROL\n" // Ctrl+F1 completed by Ctrl
          "frame 10 tap F5\nframe 12 tap F5\n"
          "frame 14 tap F6 F7\n" // not paused: nothing
          "frame 16 tap F9\nframe 18 tap F10\nframe 20 tap F11\nframe 22 tap O\nframe 24 tap P\n"
          "frame 26 tap LBRACKET\nframe 28 tap RBRACKET\nframe 30 tap BACKSLASH\n"
          "frame 32 down F6 F7\n");
    RunFrames(31);
    EXPECT_EQ(g_Actions, (std::vector<std::string>{"display", "switch", "cycle", "outlines", "playback", "add",
                                                   "shorten", "lengthen", "clear"}));
    EXPECT_EQ(g_Messages, (std::vector<std::string>{"Timer Locked", "Timer Unlocked", "Pause Time 1/20th Scale"}));
    EXPECT_EQ(CGameTimer::BreakLimit(), 1.0f);
    EXPECT_FLOAT_EQ(CGameTimer::BreakTime(), 0.033333f);
    EXPECT_EQ(CGameTimer::PauseScale(), 0.05f);
    EXPECT_EQ(CGameTimer::SlipFrames(), 0);
    CGameTimer::bReportPaused = true;
    RunFrames(2);
    EXPECT_EQ(CGameTimer::SlipFrames(), 1);
    EXPECT_EQ(CGameTimer::SlipTime(), 1.0f);
    EXPECT_TRUE(g_Fired.empty());
    CGameTimer::bReportPaused = false;
    CGameTimer::SetSlipFrames(0);
    CGameTimer::SetSlipTime(0.0f);
    CGameTimer::SetBreakLimit(limit);
    CGameTimer::SetBreakTime(breakTime);
    CGameTimer::SetFrameScale(frameScale);
    CGameTimer::SetPauseScale(pauseScale);
}
#undef MG_ACTION

TEST_F(InputDeviceTest, DamagedScriptLinesAreReportedWithTheirNumbersAndSkipped)
{
    Trigger s("KeyS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Start("# a comment\n"
          "frame 2 down NOSUCHKEY\n"
          "frame x down S\n"
          "frame 3 jump\n"
          "frame 3 mouse 1\n"
          "pad hat 9000\n"
          "frame 4 pad hat 36000\n"
          "frame 5 down S\n");
    EXPECT_EQ(MgInputScriptErrorCount(), 6);
    std::string all;
    for (const std::string& line : g_Debug)
        all += line;
    for (const char* expected :
         {"test.script:2: unknown key \"NOSUCHKEY\"; line skipped", "test.script:3: bad frame number \"x\"",
          "test.script:4: unknown command \"jump\"", "test.script:5: mouse needs 2 to 3 numbers",
          "test.script:6: expected", "test.script:7: pad hat needs"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected;
    EXPECT_FALSE(Bind("KeyS", &GRecipient::OnS));
    RunFrames(6);
    EXPECT_EQ(FramesOf("S"), (std::vector<int>{5}));
    EXPECT_FALSE(MgLoadInputScript("/nonexistent/input.script"));
}

// A lost keyboard is reacquired in the same frame; one that cannot be reacquired drops out of
// the present devices until it can be created again.
TEST_F(InputDeviceTest, LostDevicesAreReacquired)
{
    Trigger held("HeldS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ISDOWN)});
    Start("frame 1 down S\n"
          "frame 3 lose keyboard\n"
          "frame 5 lose keyboard 2\n");
    EXPECT_FALSE(Bind("HeldS", &GRecipient::OnHeld));
    CDirectInput* layer = static_cast<CDirectInput*>(device->GetOSInput());
    std::vector<unsigned long> present;
    for (int i = 0; i < 8; ++i) {
        RunFrames(1);
        present.push_back(layer->GetPresentDevices() & CDirectInput::KEYBOARD);
    }
    EXPECT_EQ(present, (std::vector<unsigned long>{1, 1, 1, 1, 0, 0, 1, 1}));
    // The frame the keyboard is created again it has not been read yet.
    EXPECT_EQ(FramesOf("Held"), (std::vector<int>{1, 2, 3, 4, 8}));
}

TEST_F(InputDeviceTest, BindingsBeyondTheStaticBlockAndUnregistering)
{
    Trigger s("KeyS", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Start("frame 2 tap S\nframe 5 tap S\n");
    std::vector<GRecipient*> more;
    for (int i = 0; i < 40; ++i) {
        more.push_back(GRecipient::Create());
        EXPECT_FALSE(device->Register(more.back()->GetHandle(), "KeyS", 1,
                                      static_cast<GInputDevice::InputHandler>(&GRecipient::OnS)));
    }
    EXPECT_GE(CInputRecordPool::CountInUse(), 40);
    more[0]->Destroy(); // dropped lazily
    device->UnRegister(more[1]->GetHandle());
    EXPECT_FALSE(device->IsRegistered(more[1]->GetHandle()));
    EXPECT_TRUE(device->IsRegistered(more[2]->GetHandle()));
    RunFrames(3);
    // Every binding shares one condition: the first that fires consumes it.
    EXPECT_EQ(FramesOf("S"), (std::vector<int>{2}));
    for (size_t i = 1; i < more.size(); ++i)
        more[i]->Destroy();
    RunFrames(3); // bindings of destroyed recipients go when their trigger is next tried
    EXPECT_EQ(FramesOf("S"), (std::vector<int>{2}));
    EXPECT_EQ(CInputRecordPool::CountInUse(), 0);
}

// The buffers' limits: a trigger of 13 conditions still gets its value behind them; a frame
// that consumes more than 64 conditions notes no more pairs instead of writing past the list;
// controls beyond a device's table read 0.
TEST_F(InputDeviceTest, BufferLimitsAndOutOfRangeControls)
{
    // 68 keys with consecutive scan codes in runs, all pressed in frame 2.
    const struct {
        unsigned char first;
        const char* names;
    } runs[] = {{0x02, "1 2 3 4 5 6 7 8 9 0 MINUS EQUALS"},
                {0x10, "Q W E R T Y U I O P LBRACKET RBRACKET"},
                {0x1E, "A S D F G H J K L SEMICOLON APOSTROPHE"},
                {0x2C, "Z X C V B N M COMMA PERIOD SLASH"},
                {0x3B, "F1 F2 F3 F4 F5 F6 F7 F8 F9 F10"},
                {0x47, "NUMPAD7 NUMPAD8 NUMPAD9 SUBTRACT NUMPAD4 NUMPAD5 NUMPAD6 ADD NUMPAD1 NUMPAD2 NUMPAD3 "
                       "NUMPAD0 DECIMAL"}};
    std::vector<unsigned long> codes;
    std::string keys;
    for (const auto& run : runs) {
        keys += std::string(" ") + run.names;
        int count = 1;
        for (const char* c = run.names; *c; ++c)
            count += *c == ' ';
        for (int i = 0; i < count; ++i)
            codes.push_back(Def(0x00010000ul | (run.first + i), rhu::INPUT_CONDITION_ONPRESS));
    }
    ASSERT_EQ(codes.size(), 68u);
    std::vector<Trigger*> triggers;
    for (size_t i = 0; i < codes.size(); ++i)
        triggers.push_back(new Trigger(("Key" + std::to_string(i)).c_str(), {codes[i]}));
    Trigger early("Early", {codes.front()});
    Trigger late("Late", {codes.back()});
    std::vector<unsigned long> thirteen(13, Def(rhu::INPUT_ESCAPE, rhu::INPUT_CONDITION_ISUP));
    Trigger longest("Long", thirteen, 99);
    Start(("frame 2 down" + keys + "\n").c_str());
    EXPECT_EQ(longest.Get()->Active, 1);
    for (size_t i = 0; i < codes.size(); ++i)
        EXPECT_FALSE(Bind(("Key" + std::to_string(i)).c_str(), &GRecipient::OnKey));
    EXPECT_FALSE(Bind("Early", &GRecipient::OnEarly));
    EXPECT_FALSE(Bind("Late", &GRecipient::OnLate));
    EXPECT_FALSE(Bind("Long", &GRecipient::OnLong));
    RunFrames(2);
    // Every key fires once; the first key was noted as consumed, the last one no longer was.
    EXPECT_EQ(FramesOf("Key").size(), 68u);
    EXPECT_TRUE(FramesOf("Early").empty());
    EXPECT_EQ(FramesOf("Late"), (std::vector<int>{2}));
    ASSERT_EQ(FramesOf("Long"), (std::vector<int>{1, 2}));
    EXPECT_EQ(g_Fired.front().Word0, 99u);
    for (auto* t : triggers)
        delete t;

    COSInput* layer = device->GetOSInput();
    const struct {
        unsigned char device;
        unsigned short control;
    } outside[] = {{1, 256}, {1, 0xFFFF}, {2, 7}, {2, 8}, {2, 0xFFFF}, {4, 33}, {4, 34}, {4, 0xFFFF}, {3, 0}, {128, 1}};
    for (const auto& c : outside)
        for (int previous = 0; previous < 2; ++previous)
            EXPECT_EQ(layer->GetInput(c.device, c.control, 0, previous), 0u) << int(c.device) << ":" << c.control;
}

} // namespace
