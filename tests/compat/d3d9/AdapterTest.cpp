// The fake adapter's answers and the faults it injects, as the renderer's start-up, mode
// switches and lost-device handling meet them.
#include <cstring>

#include "D3D9TestSupport.h"

namespace d3d9test {
namespace {

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override { FakeAdapter::Configure(FakeAdapter::Default()); }
    void TearDown() override
    {
        if (device_)
            device_->Release();
        if (d3d_)
            d3d_->Release();
        FakeAdapter::Configure(FakeAdapter::Default());
    }
    void Open()
    {
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
    }
    static D3DPRESENT_PARAMETERS FullScreen(UINT width, UINT height, D3DFORMAT format)
    {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.BackBufferFormat = format;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D24X8;
        p.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
        return p;
    }
    HRESULT Create(DWORD behaviour, D3DPRESENT_PARAMETERS p)
    {
        return d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, behaviour, &p, &device_);
    }

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

TEST_F(AdapterTest, ReportsTheConfiguredModesFormatsAndCaps)
{
    Open();
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1280u);
    EXPECT_EQ(mode.Height, 1024u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 4u);
    EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_R5G6B5), 4u);
    EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
    ASSERT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_R5G6B5, 1, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_R5G6B5, 4, &mode), D3DERR_INVALIDCALL);

    struct DepthCase {
        D3DFORMAT format;
        HRESULT expected;
    } depths[] = {{D3DFMT_D15S1, D3DERR_NOTAVAILABLE},
                  {D3DFMT_D16, D3D_OK},
                  {D3DFMT_D24X4S4, D3DERR_NOTAVAILABLE},
                  {D3DFMT_D24S8, D3D_OK},
                  {D3DFMT_D24X8, D3D_OK},
                  {D3DFMT_D32, D3DERR_NOTAVAILABLE}};
    for (const DepthCase& c : depths) {
        EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                          c.format),
                  c.expected)
            << c.format;
        EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, c.format),
                  c.expected);
    }
    EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE, nullptr),
              D3D_OK);
    EXPECT_EQ(
        d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_2_SAMPLES, nullptr),
        D3DERR_NOTAVAILABLE);

    D3DCAPS9 caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GE(caps.VertexShaderVersion & 0xFFFF, 0x0101u);
    EXPECT_EQ(caps.MaxSimultaneousTextures, 4u);
    EXPECT_TRUE(caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC);
    EXPECT_TRUE(caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC);
    EXPECT_NE(d3d_->GetAdapterMonitor(0), nullptr);
}

TEST_F(AdapterTest, ScriptedAdapterChangesTheAnswers)
{
    FakeAdapter::Config config = FakeAdapter::Default();
    config.Modes = {{1024, 768, 60, D3DFMT_A8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}};
    config.MultiSampleTypes = {D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES};
    config.Caps.MaxSimultaneousTextures = 2;
    config.Caps.VertexShaderVersion = D3DVS_VERSION(0, 0);
    FakeAdapter::Configure(config);
    Open();
    EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 1u);
    EXPECT_EQ(
        d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_4_SAMPLES, nullptr),
        D3D_OK);
    EXPECT_EQ(
        d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_8_SAMPLES, nullptr),
        D3DERR_NOTAVAILABLE);
    D3DCAPS9 caps;
    d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
    EXPECT_EQ(caps.MaxSimultaneousTextures, 2u);
    EXPECT_LT(caps.VertexShaderVersion & 0xFFFF, 0x0101u);
}

TEST_F(AdapterTest, InjectedCreationFailuresDriveTheFallBacks)
{
    FakeAdapter::Current().FailCreate = true;
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    FakeAdapter::Current().FailCreate = false;
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION + 1), nullptr);
    Open();
    FakeAdapter::Current().FailBehaviourFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    D3DPRESENT_PARAMETERS p = FullScreen(800, 600, D3DFMT_X8R8G8B8);
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, p), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device_, nullptr);
    ASSERT_EQ(Create(D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, p), D3D_OK);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(device_->GetDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.Height, 600u);
    // While the device is full screen the adapter shows its mode, which is the size a
    // screenshot surface must have; afterwards the desktop returns.
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(
        device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &shot, nullptr),
        D3D_OK);
    EXPECT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    shot->Release();
    device_->Release();
    device_ = nullptr;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1280u);
}

TEST_F(AdapterTest, RefusesParametersTheAdapterCannotShow)
{
    Open();
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, FullScreen(800, 601, D3DFMT_X8R8G8B8)), D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, FullScreen(800, 600, D3DFMT_A8R8G8B8)), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS p = FullScreen(800, 600, D3DFMT_X8R8G8B8);
    p.AutoDepthStencilFormat = D3DFMT_D32;
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, p), D3DERR_INVALIDCALL);
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, p), D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                     FullScreen(800, 600, D3DFMT_X8R8G8B8)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_, nullptr);
}

TEST_F(AdapterTest, LostDeviceRecoversThroughReset)
{
    Open();
    D3DPRESENT_PARAMETERS p = FullScreen(640, 480, D3DFMT_X8R8G8B8);
    ASSERT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);

    FakeAdapter::SetDeviceState(device_, FakeAdapter::DeviceState::Lost);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK); // drawing goes on, discarded
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST);

    FakeAdapter::SetDeviceState(device_, FakeAdapter::DeviceState::NotReset);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    FakeAdapter::Current().FailResets = 1;
    EXPECT_NE(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(FakeAdapter::PresentCount(device_), 1u);
}

TEST_F(AdapterTest, ResetSwitchesModeAndRestoresDefaultStates)
{
    Open();
    ASSERT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, FullScreen(640, 480, D3DFMT_X8R8G8B8)), D3D_OK);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DPRESENT_PARAMETERS p = FullScreen(1024, 768, D3DFMT_R5G6B5);
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    back->Release();
    DWORD lighting = 0;
    device_->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, DWORD(TRUE));
    // A 16-bit back buffer keeps 5-6-5 precision, and presents as full-scale colours.
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF8040FF, 1.0f, 0);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(1024, 768, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &shot, nullptr),
              D3D_OK);
    ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(shot->LockRect(&locked, nullptr, 0), D3D_OK);
    uint32_t pixel;
    std::memcpy(&pixel, locked.pBits, 4);
    shot->UnlockRect();
    EXPECT_EQ(pixel & 0xFFFFFF, 0x8441FFu);

    // Drawing into it blends in 5-6-5 too: half of white over black is 0x84 red, 0x82 green.
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    struct {
        float x, y, z;
        D3DCOLOR colour;
    } quad[] = {
        {-1, 1, 0.5f, 0x80FFFFFF}, {1, 1, 0.5f, 0x80FFFFFF}, {-1, -1, 0.5f, 0x80FFFFFF}, {1, -1, 0.5f, 0x80FFFFFF}};
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    ASSERT_EQ(shot->LockRect(&locked, nullptr, 0), D3D_OK);
    std::memcpy(&pixel, static_cast<uint8_t*>(locked.pBits) + 100 * locked.Pitch + 400, 4);
    shot->UnlockRect();
    EXPECT_EQ(pixel & 0xFFFFFF, 0x848284u);
    shot->Release();
}

TEST_F(AdapterTest, InjectedTextureFailureIsReportedOnce)
{
    Open();
    ASSERT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, FullScreen(640, 480, D3DFMT_X8R8G8B8)), D3D_OK);
    FakeAdapter::Current().FailTextures = 1;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture, nullptr);
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    texture->Release();
}

// In a window the front buffer is the desktop, with the back buffer at its top left.
TEST_F(AdapterTest, WindowedFrontBufferIsTheDesktopWithTheFrameAtTopLeft)
{
    Open();
    D3DPRESENT_PARAMETERS p = FullScreen(64, 48, D3DFMT_X8R8G8B8);
    p.Windowed = TRUE;
    ASSERT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, p), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
    HWND window = reinterpret_cast<HWND>(0x1234);
    ASSERT_EQ(device_->Present(nullptr, nullptr, window, nullptr), D3D_OK);
    EXPECT_EQ(FakeAdapter::LastPresentWindow(device_), window);
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(64, 48, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &small, nullptr), D3D_OK);
    EXPECT_EQ(device_->GetFrontBufferData(0, small), D3DERR_INVALIDCALL);
    small->Release();
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(1280, 1024, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &shot, nullptr),
              D3D_OK);
    ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(shot->LockRect(&locked, nullptr, 0), D3D_OK);
    auto at = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(at(0, 0), 0x123456u);
    EXPECT_EQ(at(63, 47), 0x123456u);
    EXPECT_EQ(at(64, 0), 0u);
    EXPECT_EQ(at(0, 48), 0u);
    shot->UnlockRect();
    shot->Release();
}

// The renderer prints its error texts by these values, so they are part of the contract.
TEST(ResultCodes, HaveTheValuesTheRendererDescribes)
{
    struct Code {
        HRESULT value;
        uint32_t expected;
    } codes[] = {
        {D3DERR_CONFLICTINGRENDERSTATE, 0x88760821},
        {D3DERR_CONFLICTINGTEXTUREFILTER, 0x8876081E},
        {D3DERR_CONFLICTINGTEXTUREPALETTE, 0x88760826},
        {D3DERR_DEVICELOST, 0x88760868},
        {D3DERR_DEVICENOTRESET, 0x88760869},
        {D3DERR_DRIVERINTERNALERROR, 0x88760827},
        {D3DERR_INVALIDCALL, 0x8876086C},
        {D3DERR_INVALIDDEVICE, 0x8876086B},
        {D3DERR_MOREDATA, 0x88760867},
        {D3DERR_NOTAVAILABLE, 0x8876086A},
        {D3DERR_NOTFOUND, 0x88760866},
        {D3DERR_OUTOFVIDEOMEMORY, 0x8876017C},
        {D3DERR_TOOMANYOPERATIONS, 0x8876081D},
        {D3DERR_UNSUPPORTEDALPHAARG, 0x8876081C},
        {D3DERR_UNSUPPORTEDALPHAOPERATION, 0x8876081B},
        {D3DERR_UNSUPPORTEDCOLORARG, 0x8876081A},
        {D3DERR_UNSUPPORTEDCOLOROPERATION, 0x88760819},
        {D3DERR_UNSUPPORTEDFACTORVALUE, 0x8876081F},
        {D3DERR_UNSUPPORTEDTEXTUREFILTER, 0x88760822},
        {D3DERR_WRONGTEXTUREFORMAT, 0x88760818},
    };
    for (const Code& c : codes)
        EXPECT_EQ(uint32_t(c.value), c.expected);
}

TEST_F(AdapterTest, GammaRampIsKept)
{
    Open();
    ASSERT_EQ(Create(D3DCREATE_HARDWARE_VERTEXPROCESSING, FullScreen(640, 480, D3DFMT_X8R8G8B8)), D3D_OK);
    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = WORD(255 - i);
    device_->SetGammaRamp(0, D3DSGR_CALIBRATE, &ramp);
    D3DGAMMARAMP back;
    device_->GetGammaRamp(0, &back);
    EXPECT_EQ(std::memcmp(&ramp, &back, sizeof ramp), 0);
}

} // namespace
} // namespace d3d9test
