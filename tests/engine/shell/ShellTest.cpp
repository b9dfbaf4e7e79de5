// The shell's main loop run headless over the fixture data: requests and window messages
// injected from the message pump, as a host or the window system would send them.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <mg_window.h>

#include "ShellLoopTest.h"
#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/devices/CDirectInput.h"
#include "engine/devices/GPCXInputDevice.h"
#include "engine/shell/CShell.h"
#include "engine/zel/CZelFile.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

// Stands in for the game's error menu: a class the host registers, surviving level loads.
class GLevelLoadErrorMenu : public GObject {
    DECLARE_GOBJECT(GLevelLoadErrorMenu, GObject)
};
IMPLEMENT_GOBJECT(GLevelLoadErrorMenu, 0x20008000)

namespace {

class ShellRun : public ShellLoopTest {
protected:
    // Runs the loop until it returns (at most 100 turns) and gives what it printed.
    std::string Run(std::function<void(int)> perTurn)
    {
        testing::internal::CaptureStdout();
        RunLoop(101, std::move(perTurn));
        return testing::internal::GetCapturedStdout();
    }

    static HWND Window() { return CRenderer::pThe->GetWindow(); }
    static bool Exists(const char* label) { return GObject::Find(CCRC32::GetCRC(label)) != nullptr; }
    static int Count(const std::string& text, const std::string& what)
    {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

TEST_F(ShellRun, InjectedQuitEndsTheLoopAtThatTurn)
{
    CShell::SetNextLevel("mainmenu.zel");
    std::string out = Run([](int t) {
        if (t == 5)
            PostQuitMessage(0);
    });
    EXPECT_EQ(turn, 5);
    EXPECT_EQ(CShell::GetFrameNum(), 4); // frames count from the level load
    EXPECT_EQ(Count(out, "Load complete\n"), 1);
    EXPECT_TRUE(Exists("MenuProbe"));
    EXPECT_NE(ExportedProbe("MasterThing"), nullptr);
    // The level load leaves viewport 7 as the 640 by 480 overlay.
    const ViewportTransform* overlay = GetViewportTransform(7);
    EXPECT_EQ(overlay->Right - overlay->X, 640.0f);
    EXPECT_EQ(overlay->Bottom - overlay->Y, 480.0f);
    EXPECT_EQ(overlay->DepthRange, 1000.0f);
    EXPECT_FLOAT_EQ(overlay->Projection.m0, 2.0f / 640.0f);
    EXPECT_FLOAT_EQ(overlay->Projection.m5, 2.0f / 480.0f);
}

// The window becomes the foreground window at construction; the first pump tells the input
// device that the application is active, as Windows would.
TEST_F(ShellRun, ActivationReachesTheInputDevice)
{
    GPCXInputDevice* device = GPCXInputDevice::Create();
    ASSERT_NE(GPCXInputDevice::pDirectInput, nullptr);
    GPCXInputDevice::pDirectInput->SetMouseEnabled(false);
    Run([](int) { PostQuitMessage(0); });
    EXPECT_TRUE(GPCXInputDevice::pDirectInput->IsMouseEnabled());
    device->Destroy();
}

TEST_F(ShellRun, WindowCloseQuits)
{
    CShell::SetNextLevel("mainmenu.zel");
    Run([](int t) {
        if (t == 3)
            PostMessageA(Window(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(turn, 3);
    EXPECT_FALSE(IsWindow(Window()));
}

TEST_F(ShellRun, LevelRequestDuringTheRunReplacesTheLevel)
{
    CShell::SetNextLevel("mainmenu.zel");
    std::string out = Run([](int t) {
        if (t == 3)
            CShell::SetNextLevel("second.zel");
        if (t == 6)
            PostQuitMessage(0);
    });
    EXPECT_EQ(Count(out, "Load complete\n"), 2);
    EXPECT_STREQ(CShell::GetCurrentLevel(), "second.zel");
    EXPECT_TRUE(Exists("SecondProbe"));
    EXPECT_FALSE(Exists("MenuProbe"));
    EXPECT_EQ(ExportedProbe("MenuThing"), nullptr);
}

// The level of the same turn loads first; the failed game load then falls back to the menu.
TEST_F(ShellRun, FailedGameLoadInTheSameTurnAsALevelFallsBackToTheMainMenu)
{
    CShell::SetNextLevel("mainmenu.zel");
    std::string out = Run([this](int t) {
        if (t == 3) {
            CShell::SetNextLevel("second.zel");
            EXPECT_FALSE(shell->LoadGame(2));
        }
        if (t == 5)
            PostQuitMessage(0);
    });
    EXPECT_EQ(Count(out, "Load complete\n"), 3);
    EXPECT_STREQ(CShell::GetCurrentLevel(), "mainmenu.zel");
    EXPECT_TRUE(Exists("MenuProbe"));
    EXPECT_FALSE(Exists("SecondProbe"));
    EXPECT_EQ(CountObjects(GLevelLoadErrorMenu::ClassId), 1);
}

TEST_F(ShellRun, QuitWithALevelRequestPendingLoadsNothing)
{
    CShell::SetNextLevel("mainmenu.zel");
    std::string out = Run([this](int t) {
        if (t == 3) {
            CShell::SetNextLevel("second.zel");
            shell->Quit();
        }
    });
    EXPECT_EQ(turn, 3);
    EXPECT_EQ(Count(out, "Load complete\n"), 1);
    EXPECT_FALSE(Exists("SecondProbe"));
}

TEST_F(ShellRun, SplashShowsOnLaterLoadsOnly)
{
    CShell::SetSplashScreen("splash.zel");
    CShell::SetNextLevel("mainmenu.zel");
    size_t splashBefore = 0;
    Run([&splashBefore](int t) {
        if (t == 2) {
            splashBefore = std::count(CZelProbe::Constructed().begin(), CZelProbe::Constructed().end(), 82u);
            CShell::SetNextLevel("second.zel");
        }
        if (t == 4)
            PostQuitMessage(0);
    });
    EXPECT_EQ(splashBefore, 0u);
    EXPECT_EQ(std::count(CZelProbe::Constructed().begin(), CZelProbe::Constructed().end(), 82u), 1);
    EXPECT_EQ(std::count(CZelProbe::Destroyed().begin(), CZelProbe::Destroyed().end(), 82u), 1);
}

TEST_F(ShellRun, WindowProcedureSwallowsOnlyTheListedSystemCommands)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        LRESULT result;
    };
    const Case cases[] = {
        {WM_SYSCOMMAND, SC_SIZE, 1},
        {WM_SYSCOMMAND, SC_MOVE, 1},
        {WM_SYSCOMMAND, SC_MAXIMIZE, 1},
        {WM_SYSCOMMAND, SC_KEYMENU, 1},
        {WM_SYSCOMMAND, SC_MONITORPOWER, 1},
        {WM_SYSCOMMAND, SC_MOVE | 2, 0},
        {WM_SETCURSOR, 0, 1},
        {WM_NCHITTEST, 0, 0},
        {WM_SYSKEYDOWN, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessageA(Window(), c.message, c.wParam, 0), c.result) << std::hex << c.message << " " << c.wParam;
    EXPECT_TRUE(IsWindow(Window()));
}

// A host that never runs a level shuts the shell down without any packed data at all.
TEST(ShellLifetime, DeletingAShellThatLoadedNothingNeedsNoMasterFile)
{
    MgResetWindows();
    delete new CShell(nullptr, 0, 0);
    EXPECT_EQ(CShell::pThe, nullptr);
    EXPECT_EQ(ExportedProbe("MasterThing"), nullptr);
}

} // namespace
