#include "engine/shell/CShell.h"

#include <cstdio>
#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/math/CMatrix.h"
#include "core/names/CCRC32.h"
#include "core/names/CRandom.h"
#include "core/output/ZOutput.h"
#include "engine/devices/GInputDevice.h"
#include "engine/devices/GPCXInputDevice.h"
#include "engine/devices/GMultiPlay.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/object/GObject.h"
#include "engine/object/CGameTimer.h"
#include "engine/shell/CPerfTracker.h"
#include "engine/shell/CProfile.h"
#include "engine/zel/CZelFile.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/world/GSectionMgr.h"

CShell* CShell::pThe = nullptr;
float CShell::HeapSampleTimer = 0.0f;

namespace {

const char* const kDefaultTitle = "Great Games Use MORVIK";
const char* const kWindowClass = "MORVIK_WNDCLASS";
const UINT kTitleResource = 128;
const int kTitleLength = 128;
const int kIconResource = 32512;
const LONG kGameWindowStyle = LONG(0x90080000); // WS_POPUP | WS_VISIBLE | WS_SYSMENU
const float kHeapSamplePeriod = 5.0f;

void CopyName(char* out, const char* name) { std::snprintf(out, 260, "%s", name ? name : ""); }

// System commands the game window swallows: sizing, moving, maximising, the key menu and
// monitor power-down would all disturb a full-screen game.
bool IsSwallowedSysCommand(WPARAM command)
{
    return command == SC_SIZE || command == SC_MOVE || command == SC_MAXIMIZE || command == SC_KEYMENU ||
           command == SC_MONITORPOWER;
}

} // namespace

CShell::CShell(HINSTANCE instance, int a, int b)
{
    pThe = this;
    RequestFlags = 0;
    LevelName[0] = '\0';
    SplashName[0] = '\0';
    SaveSlot = 0;
    pLevelFile = nullptr;
    pMasterFile = nullptr;
    FrameNum = 0;
    bDelayMasterLoad = false;
    bLevelsLoaded = false;

    GObject::InitEditableInfo();
    GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
    HWND window = Construct(instance, a, b);
    GObject::Create(CRenderer::ClassId, HGOBJECT(0), nullptr);
    CRenderer::pThe->Init(window, 0, 0);
}

HWND CShell::Construct(HINSTANCE instance, int, int)
{
    CZelFile::LoadChunkCategories(0x11);

    char title[kTitleLength];
    if (LoadStringA(instance, kTitleResource, title, kTitleLength) <= 0)
        std::snprintf(title, sizeof title, "%s", kDefaultTitle);

    WNDCLASSA windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass))
        vbail("Windows initialization failed.");

    HWND window = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, title, WS_VISIBLE | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 160, 120, nullptr, nullptr, instance, nullptr);
    if (!window)
        vbail("Windows initialization failed.");
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetWindowLongA(window, GWL_STYLE, kGameWindowStyle);

    INPUT nothing;
    std::memset(&nothing, 0, sizeof nothing);
    SendInput(1, &nothing, sizeof nothing);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    SetCapture(window);

    GPCXInputDevice::Init(instance, window);
    return window;
}

LRESULT CALLBACK CShell::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_ACTIVATEAPP:
        GPCXInputDevice::AppStatusChange(int(wParam));
        return 0;
    case WM_NCHITTEST:
    case WM_SYSKEYDOWN:
        return 0;
    case WM_SETCURSOR:
        return 1;
    case WM_CHAR:
        if (GInputDevice::pThe)
            GInputDevice::pThe->Character(int(wParam));
        break;
    case WM_SYSCOMMAND:
        if (IsSwallowedSysCommand(wParam))
            return 1;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Leaving the level name empty unloads the level without loading another; the master file is
// then left alone, so a shell that never ran a level shuts down without needing one.
CShell::~CShell()
{
    Destruct();
    LevelName[0] = '\0';
    ShellLoadLevel(LevelName);
    delete pMasterFile;
    pMasterFile = nullptr;
    if (CRenderer::pThe)
        CRenderer::pThe->Destroy();
    CRenderer::Shutdown();
    if (GMultiPlay::pThe)
        GMultiPlay::pThe->Destroy();
    if (GSectionMgr::pThe)
        GSectionMgr::pThe->Destroy();
    pThe = nullptr;
}

void CShell::MainLoop()
{
    for (;;) {
        CPerfTracker::pThe->MarkFrame();
        ++FrameNum;
        ProcessOSUpdates();
        if (RequestFlags & RequestQuit)
            return;
        if (RequestFlags)
            ActOnRequests();
        SampleHeap();
        GObject::ProcessObjects();
    }
}

bool CShell::ProcessOSUpdates()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            Quit();
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// A level request runs before a game load of the same turn, which then replaces the level.
void CShell::ActOnRequests()
{
    if (RequestFlags & RequestLevel)
        ShellLoadLevel(LevelName);
    if (RequestFlags & RequestLoadGame)
        LoadSavedGame();
    RequestFlags = 0;
}

void CShell::LoadSavedGame()
{
    FrameNum = 0;
    GObject::DestroyObjects();
    delete pLevelFile;
    pLevelFile = nullptr;
    ResetHeapAllocation();
    if (CProfile::pThe->LoadGame(SaveSlot) != 0) {
        GObject::Create(CCRC32::GetCRC("GLevelLoadErrorMenu"), HGOBJECT(1), nullptr);
        ShellLoadLevel("mainmenu.zel");
    }
}

void CShell::SampleHeap()
{
    HeapSampleTimer -= CGameTimer::tFrameTime;
    if (HeapSampleTimer > 0.0f)
        return;
    HeapSampleTimer += kHeapSamplePeriod;
    CPerfTracker::pThe->ClearAltData1();
    CPerfTracker::pThe->AccumAltData1(float(GetHeapAvailable() >> 10));
}

bool CShell::ShellLoadLevel(const char* name)
{
    if (name != LevelName)
        CopyName(LevelName, name);
    FrameNum = 0;

    GObject::DestroyObjects();
    delete pLevelFile;
    pLevelFile = nullptr;
    CProfile::pThe->ProfileName(-1);
    CProfile::pThe->GameName(-1);
    ResetHeapAllocation();

    if (!pMasterFile && !bDelayMasterLoad && LevelName[0] != '\0') {
        pMasterFile = new CZelFile;
        pMasterFile->Load("master.zel");
        ResetHeapAllocation();
    }
    bDelayMasterLoad = false;
    if (LevelName[0] == '\0')
        return true;

    GObject::Create(GSoundSystem::ClassId, HGOBJECT(0), nullptr);
    if (bLevelsLoaded && SplashName[0] != '\0')
        LoadSplashScreen(SplashName);
    bLevelsLoaded = true;

    CRandomizer::Seed();
    CGameTimer::SetSeconds(0.0f);
    pLevelFile = new CZelFile;
    pLevelFile->Load(LevelName);
    CGameTimer::SetSeconds(0.0f);

    SetViewport(7, 0.0f, 0.0f, 640.0f, 480.0f, 0.0f, 1000.0f);
    CMatrix overlay;
    overlay.Ortho(0.0f, 640.0f, 480.0f, 0.0f, 0.0f, 1000.0f);
    LoadProjection(7, overlay);

    std::printf("Load complete\n");
    std::fflush(stdout);
    return false;
}

void CShell::Quit() { RequestFlags = RequestQuit; }

void CShell::SetNextLevel(const char* name)
{
    if (!pThe)
        return;
    CopyName(pThe->LevelName, name);
    pThe->RequestFlags |= RequestLevel;
}

bool CShell::SaveGame(const char* profile, const char* description, int slot, int flags)
{
    return CProfile::pThe->SaveGame(profile, description, slot, flags) != 0;
}

bool CShell::LoadGame(int slot)
{
    SaveSlot = slot;
    RequestFlags |= RequestLoadGame;
    return false;
}

void CShell::SetSplashScreen(const char* name)
{
    if (pThe)
        CopyName(pThe->SplashName, name);
}

void CShell::LoadSplashScreen(const char* name)
{
    if (!name || name[0] == '\0')
        return;
    CZelFile splash;
    splash.Load(name);
}

void CShell::DelayMasterLoad(bool delay)
{
    if (pThe)
        pThe->bDelayMasterLoad = delay;
}

int CShell::GetFrameNum() { return pThe ? pThe->FrameNum : 0; }

const char* CShell::GetCurrentLevel() { return pThe ? pThe->LevelName : ""; }
