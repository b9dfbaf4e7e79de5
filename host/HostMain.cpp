// marlgate_host [--frames N] [--frame-time SECONDS] [LEVEL]
// Constructs the shell, names the first level, runs the main loop and deletes the shell. With
// --frames it quits after N frames; with --frame-time every frame lasts exactly that long on a
// virtual clock, so a run is the same every time.
#include <windows.h>

#include <cstdio>

#include <mg_win32.h>
#include <mg_window.h>

#include "HostOptions.h"
#include "core/file/CZFile.h"
#include "engine/shell/CShell.h"

namespace {

struct FrameDriver {
    int FramesLeft;
    LONGLONG TicksPerFrame;
};

// Runs once per main-loop turn, while the shell pumps its messages: the turn after the last
// wanted frame quits before processing anything.
void OnPumpTurn(void* user)
{
    FrameDriver* driver = static_cast<FrameDriver*>(user);
    if (driver->TicksPerFrame > 0)
        MgAdvanceVirtualClock(driver->TicksPerFrame);
    if (driver->FramesLeft > 0 && --driver->FramesLeft == 0)
        PostQuitMessage(0);
}

} // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    char error[256];
    if (!ParseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "marlgate_host: %s\nusage: marlgate_host [--frames N] [--frame-time SECONDS] [LEVEL]\n",
                     error);
        return 2;
    }
    char dataFolder[512];
    CZFile::GetPath(dataFolder, CZFile::kInDataFolder);
    if (dataFolder[0] == '\0') {
        std::fprintf(stderr, "marlgate_host: no folder named \"zel\" beside or above this program\n");
        return 1;
    }

    FrameDriver driver = {options.Frames > 0 ? options.Frames + 1 : 0,
                          LONGLONG(options.FrameTime * double(MG_PERF_FREQUENCY) + 0.5)};
    // The virtual clock starts one second in: a counter reading of 0 means "not started" to the
    // game clock.
    if (driver.TicksPerFrame > 0)
        MgUseVirtualClock(MG_PERF_FREQUENCY);
    MgSetMessagePumpHook(OnPumpTurn, &driver);

    CShell* shell = new CShell(GetModuleHandleA(nullptr), 0, 0);
    CShell::SetNextLevel(options.Level);
    shell->MainLoop();
    delete shell;
    MgSetMessagePumpHook(nullptr, nullptr);
    return 0;
}
