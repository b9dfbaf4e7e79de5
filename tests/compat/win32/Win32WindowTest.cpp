// The headless window layer: classes and windows, the FIFO message queue, the pump hook, and
// what the default window procedure does with closing.
#include <gtest/gtest.h>

#include <vector>

#include <mg_window.h>

namespace {

std::vector<UINT> g_Seen;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_Seen.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        MgResetWindows();
        g_Seen.clear();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = "TEST_CLASS";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        window = CreateWindowExA(0, "TEST_CLASS", "t", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { MgSetMessagePumpHook(nullptr, nullptr); }

    // Dispatches everything queued; returns the messages taken, WM_QUIT included.
    std::vector<UINT> Pump()
    {
        std::vector<UINT> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg.message);
            if (msg.message == WM_QUIT)
                break;
            DispatchMessageA(&msg);
        }
        return taken;
    }

    HWND window = nullptr;
};

TEST_F(Win32Window, ClassNamesAreUniqueAndUnknownClassesMakeNoWindow)
{
    WNDCLASSA again = {};
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "TEST_CLASS";
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(CreateWindowExA(0, "NO_SUCH_CLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Win32Window, MessagesArriveInOrderAndForegroundActivatesOnce)
{
    EXPECT_TRUE(SetForegroundWindow(window));
    EXPECT_TRUE(SetForegroundWindow(window));
    PostMessageA(window, WM_CHAR, 'a', 0);
    PostMessageA(window, WM_CHAR, 'b', 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_ACTIVATEAPP, WM_CHAR, WM_CHAR}));
    EXPECT_EQ(g_Seen, (std::vector<UINT>{WM_ACTIVATEAPP, WM_CHAR, WM_CHAR}));
}

TEST_F(Win32Window, ClosingDestroysTheWindowThroughTheDefaultProcedure)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(g_Seen, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_CHAR, 'x', 0));
}

TEST_F(Win32Window, PumpHookRunsWhenTheQueueRunsDryAndMayPost)
{
    int calls = 0;
    MgSetMessagePumpHook(
        [](void* user) {
            if (++*static_cast<int*>(user) == 2)
                PostQuitMessage(7);
        },
        &calls);
    PostMessageA(window, WM_CHAR, 'a', 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_CHAR}));
    EXPECT_EQ(calls, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(calls, 2);
}

} // namespace
