// marlgate_host [--frames N] [--frame-time SECONDS] [--camera X,Y,Z] [--look-at X,Y,Z]
//               [--fov DEGREES] [--screenshot-frame N] [--headless] [--audio-out FILE.wav]
//               [--input-script FILE] [--trace FILE] [LEVEL]
// Constructs the shell, sets up what a game's executable gives the renderer (the layers, the
// 3-D camera and its projection), names the first level, runs the main loop and deletes the
// shell. With --frames it quits after N frames; with --frame-time every frame lasts exactly
// that long on a virtual clock, so a run is the same every time; with --screenshot-frame the
// renderer writes that frame as "PCX_Cap_000000.tga" beside the data folder. The game window is
// shown on the display when there is one, unless --headless, and the input devices read its
// keyboard and mouse; --input-script feeds them from a script instead. With --audio-out the
// sound mix of the whole run goes to a WAV file; with --trace every frame's overlay instances
// are written to a text file.
#include <windows.h>

#include <cstdio>

#include <mg_dinput.h>
#include <mg_dsound.h>
#include <mg_win32.h>
#include <mg_window.h>

#include "DemoCursor.h"
#include "HostOptions.h"
#include "HostTrace.h"
#include "core/file/CZFile.h"
#include "core/math/CMatrix.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/shell/CShell.h"

namespace {

struct FrameDriver {
    int FramesLeft;
    LONGLONG TicksPerFrame;
    int Turn;
    int ScreenshotFrame;
};

// Runs once per main-loop turn, while the shell pumps its messages, before that turn's frame:
// the turn after the last wanted frame quits before processing anything, and the screenshot
// request covers exactly the wanted frame.
void OnPumpTurn(void* user)
{
    FrameDriver* driver = static_cast<FrameDriver*>(user);
    if (driver->Turn > 0)
        WriteFrameTrace(driver->Turn);
    ++driver->Turn;
    GDemoCursor::Turn = driver->Turn;
    if (driver->TicksPerFrame > 0)
        MgAdvanceVirtualClock(driver->TicksPerFrame);
    CRenderer::GetDevice().SetScreenshotRequest(driver->Turn == driver->ScreenshotFrame);
    if (driver->FramesLeft > 0 && --driver->FramesLeft == 0)
        PostQuitMessage(0);
}

// Layer 0 shows the 3-D world of viewport 0 over a dark blue clear; layer 7 the 640 by 480
// overlay of viewport 7 (menus, screen text) on top of it.
void SetUpLayers(CRenderer& renderer)
{
    const fRECT full = {0.0f, 0.0f, 1.0f, 1.0f};
    renderer.ConfigureLayers(8);
    renderer.DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full,
                         CVector4(24.0f, 32.0f, 64.0f, 0.0f), 1.0f);
    renderer.DefineLayer(7, RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full, CVector4(0.0f, 0.0f, 0.0f, 0.0f),
                         1.0f);
}

void SetUpCamera(const HostOptions& options)
{
    const CVector eye(options.Camera[0], options.Camera[1], options.Camera[2]);
    const CVector target(options.LookAt[0], options.LookAt[1], options.LookAt[2]);
    LoadEyeCamera(0, eye, target);
    CMatrix projection;
    projection.Perspective(options.Fov * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 1000.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
}

} // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    char error[256];
    if (!ParseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "marlgate_host: %s\n%s", error, HostUsage);
        return 2;
    }
    if (options.Help) {
        std::fputs(HostUsage, stdout);
        return 0;
    }
    char dataFolder[512];
    CZFile::GetPath(dataFolder, CZFile::kInDataFolder);
    if (dataFolder[0] == '\0') {
        std::fprintf(stderr, "marlgate_host: no folder named \"zel\" beside or above this program\n");
        return 1;
    }

    if (options.InputScript && !MgLoadInputScript(options.InputScript)) {
        std::fprintf(stderr, "marlgate_host: cannot read the input script \"%s\"\n", options.InputScript);
        return 2;
    }

    if (options.Trace && !OpenFrameTrace(options.Trace)) {
        std::fprintf(stderr, "marlgate_host: cannot write the trace to \"%s\"\n", options.Trace);
        return 1;
    }

    FrameDriver driver = {options.Frames > 0 ? options.Frames + 1 : 0,
                          LONGLONG(options.FrameTime * double(MG_PERF_FREQUENCY) + 0.5), 0, options.ScreenshotFrame};
    // The virtual clock starts one second in: a counter reading of 0 means "not started" to the
    // game clock.
    if (driver.TicksPerFrame > 0)
        MgUseVirtualClock(MG_PERF_FREQUENCY);
    MgSetMessagePumpHook(OnPumpTurn, &driver);
    MgSetHeadless(options.Headless ? 1 : 0);
    if (options.AudioOut && !MgSoundCaptureToFile(options.AudioOut)) {
        std::fprintf(stderr, "marlgate_host: cannot write the sound to \"%s\"\n", options.AudioOut);
        return 1;
    }

    CShell* shell = new CShell(GetModuleHandleA(nullptr), 0, 0);
    if (CRenderer::pThe)
        SetUpLayers(*CRenderer::pThe);
    SetUpCamera(options);
    CShell::SetNextLevel(options.Level);
    shell->MainLoop();
    delete shell;
    MgSoundCloseCapture();
    CloseFrameTrace();
    MgSetMessagePumpHook(nullptr, nullptr);
    return 0;
}
