// The SDL2 input source on a real X display: keys and mouse movement sent by xdotool reach the
// engine through the game window and fire the same triggers a script does. CTest runs this
// program under xvfb-run; without a display it skips.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <mg_dinput.h>
#include <mg_window.h>

#include "core/names/CCRC32.h"
#include "engine/devices/CDirectInput.h"
#include "engine/devices/GPCXInputDevice.h"
#include "engine/include/RhuTypes.h"

namespace {

std::vector<std::string> g_Fired;

class GXvfbRecipient : public GObject {
    DECLARE_GOBJECT(GXvfbRecipient, GObject)
    void OnS(CInputData*) { g_Fired.push_back("S"); }
    void OnCtrlS(CInputData*) { g_Fired.push_back("CtrlS"); }
    void OnMouseX(CInputData*) { g_Fired.push_back("MouseX"); }
    void OnText(CInputData* data) { g_Fired.push_back(std::string("Text:") + char(data->Word(0))); }
};
IMPLEMENT_GOBJECT(GXvfbRecipient, 0x80000100)

class ObjectModelEnvironment : public ::testing::Environment {
public:
    void SetUp() override { GObject::InitEditableInfo(); }
};
const ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ObjectModelEnvironment);

unsigned long Def(unsigned long code, unsigned char condition) { return (code & 0x00FFFFFF) | condition << 24; }

class Trigger {
public:
    Trigger(const char* name, std::vector<unsigned long> defs) : words(5 + defs.size())
    {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(words.data());
        unsigned long label = CCRC32::GetCRC(name);
        std::memcpy(bytes + 8, &label, 4);
        bytes[16] = (unsigned char)defs.size();
        std::memcpy(bytes + 20, defs.data(), 4 * defs.size());
        ZelConstructInPlace<CInputTrigger>(bytes);
    }
    ~Trigger() { reinterpret_cast<CInputTrigger*>(words.data())->~CInputTrigger(); }

private:
    std::vector<unsigned long> words;
};

LRESULT CALLBACK GameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && GInputDevice::pThe)
        GInputDevice::pThe->Character(int(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// The triggers, the device and a recipient; `frames` turns of a main loop, each pumping the
// window's messages and processing the device. Returns the triggers fired, in order.
std::vector<std::string> RunGame(int frames, const char* xdotool)
{
    g_Fired.clear();
    Trigger s("S", {Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger ctrlS("CtrlS", {Def(rhu::INPUT_LCONTROL, rhu::INPUT_CONDITION_ISDOWN),
                            Def(rhu::INPUT_S, rhu::INPUT_CONDITION_ONPRESS)});
    Trigger mouseX("MouseX", {Def(rhu::INPUT_MOUSE_AXIS_X, rhu::INPUT_CONDITION_ONCHANGE)});
    Trigger text("Text", {rhu::INPUT_TEXT});
    HWND window = CreateWindowExA(0, "XVFB_GAME", "InputXvfbTest", WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    SetForegroundWindow(window);
    GPCXInputDevice::Init(nullptr, window);
    GPCXInputDevice* device = GPCXInputDevice::Create();
    GXvfbRecipient* recipient = GXvfbRecipient::Create();
    HGOBJECT handle = recipient->GetHandle();
    device->Register(handle, "S", 1, static_cast<GInputDevice::InputHandler>(&GXvfbRecipient::OnS));
    device->Register(handle, "CtrlS", 1, static_cast<GInputDevice::InputHandler>(&GXvfbRecipient::OnCtrlS));
    device->Register(handle, "MouseX", 1, static_cast<GInputDevice::InputHandler>(&GXvfbRecipient::OnMouseX));
    device->Register(handle, "Text", 1, static_cast<GInputDevice::InputHandler>(&GXvfbRecipient::OnText));

    pid_t child = -1;
    if (xdotool) {
        child = fork();
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", xdotool, (char*)nullptr);
            _exit(127);
        }
    }
    for (int frame = 0; frame < frames; ++frame) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        device->Process();
        if (xdotool) {
            usleep(20000);
            int status = 0;
            if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                frames = frame + 20; // a few more frames for the last events
            }
        }
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
    recipient->Destroy();
    device->Destroy();
    DestroyWindow(window);
    return g_Fired;
}

// Repeats of one trigger in a row count once: a mouse move spreads over as many frames as the
// display takes to deliver it.
std::vector<std::string> Collapse(const std::vector<std::string>& fired)
{
    std::vector<std::string> out;
    for (const std::string& f : fired)
        if (out.empty() || out.back() != f)
            out.push_back(f);
    return out;
}

TEST(InputOnDisplay, XdotoolKeysAndMouseFireTheSameTriggersAsAScript)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        GTEST_SKIP() << "no X display (DISPLAY is unset); CTest runs this under xvfb-run";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    MgResetWindows();
    MgResetInput();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = GameProc;
    windowClass.lpszClassName = "XVFB_GAME";
    ASSERT_NE(RegisterClassA(&windowClass), 0);

    // The script: S alone (typing "s"), then Ctrl+S, then the mouse moves right, then "a".
    MgSetHeadless(1);
    ASSERT_TRUE(MgLoadInputScriptText("frame 3 tap S\nframe 3 text s\n"
                                      "frame 6 down LCONTROL\nframe 7 tap S\nframe 9 up LCONTROL\n"
                                      "frame 11 mouse 25 0\n"
                                      "frame 13 text a\n",
                                      "xvfb.script"));
    std::vector<std::string> scripted = Collapse(RunGame(16, nullptr));
    EXPECT_EQ(scripted, (std::vector<std::string>{"S", "Text:s", "CtrlS", "MouseX", "Text:a"}));
    MgResetInput();

    MgSetHeadless(0);
    HWND probe = CreateWindowExA(0, "XVFB_GAME", "probe", WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    bool shown = MgHasRealWindow(probe) != 0;
    DestroyWindow(probe);
    if (!shown)
        GTEST_SKIP() << "SDL2 could not open a window on display " << display;

    std::vector<std::string> fromX =
        RunGame(1500, "xdotool search --sync --name '^InputXvfbTest$' windowfocus --sync sleep 0.5 key s sleep 0.5 "
                      "keydown ctrl sleep 0.2 key s sleep 0.2 keyup ctrl sleep 0.5 mousemove --window %1 100 100 sleep "
                      "0.3 mousemove_relative 25 0 sleep 0.5 "
                      "type a");
    MgSetHeadless(1);
    EXPECT_EQ(Collapse(fromX), scripted);
}

} // namespace
