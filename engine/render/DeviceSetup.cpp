// Making the render device: configuration files, the mode choice, device creation with its
// fall-back, mode switches and window toggles by reset, the windows list and the gamma ramp.
#include <cstdio>
#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/render/PrimBatch.h"
#include "engine/render/CRenderDevice.h"

namespace {

const DWORD kHardwareBehaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
const DWORD kSoftwareBehaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;

void AddModeTo(const RenderConfigState& mode, void* device) { static_cast<CRenderDevice*>(device)->AddMode(mode); }

} // namespace

void CRenderDevice::AddMode(const RenderConfigState& mode)
{
    void* record = ModePool.Alloc();
    if (!record)
        return;
    RenderConfigState** grown = new RenderConfigState*[ModeCount + 1];
    for (int i = 0; i < ModeCount; ++i)
        grown[i] = ppModes[i];
    grown[ModeCount] = new (record) RenderConfigState(mode);
    delete[] ppModes;
    ppModes = grown;
    ++ModeCount;
}

void CRenderDevice::FreeModes()
{
    delete[] ppModes;
    ppModes = nullptr;
    ModeCount = 0;
    ModePool.FreeAll();
}

int CRenderDevice::Init(HWND window, unsigned long flags)
{
    Shutdown();
    hMainWindow = window;
    pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!pD3D)
        return 1;
    EngineFlags = flags;
    Requested = RenderSettings::Defaults();
    Active = RenderSettings::Defaults();
    Switches = RenderSwitches{};
    if (flags & (FLAG_WINDOWED | FLAG_WINDOWED_ONE_PASS))
        Requested.Windowed = 1;
    if (flags & FLAG_WINDOWED_ONE_PASS)
        Requested.PassLimit = 1;
    std::memset(&Desktop, 0, sizeof Desktop);
    pD3D->GetAdapterDisplayMode(0, &Desktop);
    EnumerateDisplayModes(pD3D, Desktop, AddModeTo, this);
    // Later files win: overrides come last.
    ReadConfigFile("..\\render.cfg", Requested, Switches);
    ReadConfigFile("..\\overrides.cfg", Requested, Switches);
    if (!ChooseSettings(pD3D, Desktop, ppModes, ModeCount, Requested, Active))
        vbail("Unable to setup D3D!\n");
    BuildPresentParameters(Active);
    RefreshPixelScale();
    MoveMainWindow(Active);
    CreateDevice();
    pDevice->GetRenderTarget(0, &pBackBuffer);
    if (SoftwareProcessing)
        std::printf("Software Vertex Processing Selected!\n");

    if (pDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &pWhiteTexture, nullptr) == D3D_OK) {
        D3DLOCKED_RECT locked;
        if (pWhiteTexture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
            for (int y = 0; y < 8; ++y)
                std::memset(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch, 0xFF, 16);
            pWhiteTexture->UnlockRect(0);
        }
    } else {
        pWhiteTexture = nullptr;
        std::printf("Failed to create WHITE texture...\n");
    }
    BuildShaders();
    AllocRenderBuffers();

    Windows.clear();
    AddWindow(window);
    Windows[0].Resolution = RECT{0, 0, kBackBufferWidth, kBackBufferHeight};
    WindowIndex = 0;
    RequestedGamma = AppliedGamma = 1.0f;
    RampGamma = RampContrast = RampBrightness = -1.0f;
    SetDefaultRenderStates();
    InitPrimitiveBatch();
    MoveMainWindow(Active);
    BuildPresentParameters(Active);
    ClearAndPresent(3);
    return 0;
}

void CRenderDevice::CreateDevice()
{
    Active.Shaders = 0;
    D3DPRESENT_PARAMETERS p = PresentParams;
    if (Active.HardwareProcessing) {
        if (pD3D->CreateDevice(0, D3DDEVTYPE_HAL, hMainWindow, kHardwareBehaviour, &p, &pDevice) != D3D_OK) {
            pDevice = nullptr;
            std::printf("Unable to Init Hardware Device... attempting Software Device Init\n");
        } else if (Requested.Shaders &&
                   !CheckShaderVersion(
                       "Unable to locate Hardware Shader Support... attempting Software Device Init\n")) {
            pDevice->Release();
            pDevice = nullptr;
        }
    }
    SoftwareProcessing = !pDevice;
    if (!pDevice) {
        p = PresentParams;
        if (pD3D->CreateDevice(0, D3DDEVTYPE_HAL, hMainWindow, kSoftwareBehaviour, &p, &pDevice) != D3D_OK)
            vbail("Unable to create any D3D Rendering Devices!\n");
        if (Requested.Shaders)
            CheckShaderVersion("Requested Shader support unavailable.\n");
    }
}

// Marks shaders in use when the device runs vertex shaders 1.1 or later; otherwise prints
// the failure and returns false.
bool CRenderDevice::CheckShaderVersion(const char* failure)
{
    D3DCAPS9 caps;
    std::memset(&caps, 0, sizeof caps);
    pDevice->GetDeviceCaps(&caps);
    if ((caps.VertexShaderVersion & 0xFFFF) < 0x0101) {
        std::printf("%s", failure);
        return false;
    }
    Active.Shaders = 1;
    return true;
}

void CRenderDevice::BuildPresentParameters(const RenderSettings& s)
{
    std::memset(&PresentParams, 0, sizeof PresentParams);
    PresentParams.BackBufferWidth = UINT(s.Width);
    PresentParams.BackBufferHeight = UINT(s.Height);
    PresentParams.BackBufferFormat = s.BackBufferFormat;
    PresentParams.BackBufferCount = 1;
    PresentParams.MultiSampleType = D3DMULTISAMPLE_TYPE(s.MultiSample);
    PresentParams.MultiSampleQuality = 0;
    PresentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    PresentParams.hDeviceWindow = hMainWindow;
    PresentParams.Windowed = s.Windowed ? TRUE : FALSE;
    PresentParams.EnableAutoDepthStencil = TRUE;
    PresentParams.AutoDepthStencilFormat = s.DepthFormat;
    PresentParams.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
}

void CRenderDevice::MoveMainWindow(const RenderSettings& s)
{
    if (hMainWindow)
        MoveWindow(hMainWindow, 0, 0, s.Width, s.Height, TRUE);
}

void CRenderDevice::RefreshPixelScale()
{
    PixelScaleX = 640.0f / float(Active.Width);
    PixelScaleY = 480.0f / float(Active.Height);
}

void CRenderDevice::ClearAndPresent(int times)
{
    for (int i = 0; i < times; ++i) {
        pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        pDevice->Present(nullptr, nullptr, nullptr, nullptr);
    }
}

void CRenderDevice::Shutdown()
{
    FreeRenderBuffers();
    ReleaseShaders();
    ReleaseTerrainBuffers();
    if (pWhiteTexture)
        pWhiteTexture->Release();
    pWhiteTexture = nullptr;
    if (pBackBuffer)
        pBackBuffer->Release();
    pBackBuffer = nullptr;
    if (pDevice)
        pDevice->Release();
    pDevice = nullptr;
    if (pD3D)
        pD3D->Release();
    pD3D = nullptr;
    FreeModes();
}

int CRenderDevice::SetRenderFlags(unsigned long flags)
{
    ReleaseShaders();
    EngineFlags = flags;
    if (pDevice) {
        BuildShaders();
        SetDefaultRenderStates();
    }
    return 1;
}

// The device state that does not survive a reset, made again.
void CRenderDevice::AfterReset()
{
    if (Requested.Shaders) {
        Active.Shaders = 0;
        CheckShaderVersion("Requested Shader support unavailable.\n");
    }
    if (Active.Windowed)
        pD3D->GetAdapterDisplayMode(0, &Desktop);
    RefreshPixelScale();
    pDevice->GetRenderTarget(0, &pBackBuffer);
    BuildShaders();
    SetDefaultRenderStates();
    BuildPresentParameters(Active);
}

// Resets the device into the settings chosen for `requested`; false, with the device as it
// was, when no mode fits or the reset fails (the device then goes back to the active settings).
bool CRenderDevice::ResetInto(const RenderSettings& requested)
{
    if (!pDevice)
        return false;
    RenderSettings chosen = RenderSettings::Defaults();
    if (!ChooseSettings(pD3D, Desktop, ppModes, ModeCount, requested, chosen))
        return false;
    chosen.Shaders = Active.Shaders;
    BuildPresentParameters(chosen);
    ReleaseShaders();
    if (pBackBuffer)
        pBackBuffer->Release();
    pBackBuffer = nullptr;
    MoveMainWindow(chosen);
    bool switched = pDevice->Reset(&PresentParams) == D3D_OK;
    if (switched) {
        Active = chosen;
    } else {
        BuildPresentParameters(Active);
        MoveMainWindow(Active);
        if (pDevice->Reset(&PresentParams) != D3D_OK)
            vbail("Unable to get back from failed Reset!!!\n");
    }
    AfterReset();
    return switched;
}

bool CRenderDevice::SwitchDisplayMode(const RenderConfigState& mode)
{
    const RenderSettings previous = Requested;
    Requested.Width = mode.Width;
    Requested.Height = mode.Height;
    Requested.BitsPerPixel = mode.BitsPerPixel;
    Requested.Windowed = mode.Windowable ? 1 : 0;
    Requested.MultiSample = mode.Windowable ? mode.MaxSamplesWindowed : mode.MaxSamplesFullScreen;
    std::printf("******** 3D Engine Settings REQUESTED: ********\n");
    std::printf("** Width %d - Height %d\n", Requested.Width, Requested.Height);
    std::printf("** BPP %d - Aliasing %d\n", Requested.BitsPerPixel, Requested.MultiSample);
    if (ResetInto(Requested))
        return true;
    Requested = previous;
    return false;
}

bool CRenderDevice::ToggleWindowed()
{
    Requested.Windowed = !Requested.Windowed;
    if (ResetInto(Requested))
        return true;
    Requested.Windowed = !Requested.Windowed;
    return false;
}

int CRenderDevice::AddWindow(HWND window)
{
    for (size_t i = 0; i < Windows.size(); ++i)
        if (Windows[i].Window == window)
            return int(i);
    Windows.push_back(WindowData{window, RECT{0, 0, -1, -1}, 1});
    return int(Windows.size() - 1);
}

void CRenderDevice::PresentToWindow(int index)
{
    const WindowData* window = GetWindow(index);
    pDevice->Present(nullptr, nullptr, window ? window->Window : nullptr, nullptr);
}

unsigned long CRenderDevice::GetFreeMemory() const { return GetHeapAvailable(); }

void CRenderDevice::UpdateGammaRamp()
{
    const float contrast = 1.0f, brightness = 1.0f;
    if (AppliedGamma == RampGamma && contrast == RampContrast && brightness == RampBrightness)
        return;
    RampGamma = AppliedGamma;
    RampContrast = contrast;
    RampBrightness = brightness;
    BuildGammaRamp(AppliedGamma, contrast, brightness, Ramp.red);
    std::memcpy(Ramp.green, Ramp.red, sizeof Ramp.red);
    std::memcpy(Ramp.blue, Ramp.red, sizeof Ramp.red);
    if (pDevice)
        pDevice->SetGammaRamp(0, D3DSGR_CALIBRATE, &Ramp);
}
