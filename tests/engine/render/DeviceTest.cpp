// The render device on the software adapter: configuration files, the choice of display mode
// against fake adapters, device creation with its fall-backs, resets, the present path with
// lost and not-reset devices, the gamma ramp and the error texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <d3d9_fake_adapter.h>

#include "RenderTestSupport.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/RenderSettings.h"

namespace {

RenderSettings Read(const std::string& text, RenderSwitches* switches = nullptr)
{
    RenderSettings s = RenderSettings::Defaults();
    RenderSwitches ignored{};
    ReadConfigText(text.data(), static_cast<unsigned long>(text.size()), s, switches ? *switches : ignored);
    return s;
}

TEST(RenderConfig, KeysStartInTheFirstColumnAndTakeTheirValueAfterWhiteSpace)
{
    struct Case {
        const char* text;
        int width, multiSample, passLimit;
    };
    const Case cases[] = {
        {"width: 1024\n", 1024, 2, 10},
        {"   width: 1024\n", 800, 2, 10},
        {"width:1024\n", 800, 2, 10},
        {"; width: 1024\n! width: 1\n/ x\n: y\n", 800, 2, 10},
        {"multisample: 1\n", 800, 0, 10},
        {"multisample: 0\n", 800, 0, 10},
        {"multisample: 8\n", 800, 8, 10},
        {"multisample: 17\n", 800, 2, 10},
        {"passlimit: 0\n", 800, 2, 10},
        {"passlimit: 4\n", 800, 2, 4},
        {"passlimit: four\n", 800, 2, 10},
        {"\n\nwidth: 320\r\nheight: 200\r\n", 320, 2, 10},
        {"unknown: 5\nwidth: 900 trailing words\n", 900, 2, 10},
    };
    for (const Case& c : cases) {
        const RenderSettings s = Read(c.text);
        EXPECT_EQ(s.Width, c.width) << c.text;
        EXPECT_EQ(s.MultiSample, c.multiSample) << c.text;
        EXPECT_EQ(s.PassLimit, c.passLimit) << c.text;
    }
    RenderSwitches switches{};
    const RenderSettings s = Read("bpp: 16\nsoftwareprocess:\nnoshaders:\nwindowed:\noutlines:\nanisotropic:\n"
                                  "novideos:\nscrolllock:\npsysresources:\nheight: 768\n",
                                  &switches);
    EXPECT_EQ(s.BitsPerPixel, 16);
    EXPECT_EQ(s.HardwareProcessing, 0);
    EXPECT_EQ(s.Shaders, 0);
    EXPECT_EQ(s.Windowed, 1);
    EXPECT_EQ(s.Outlines, 1);
    EXPECT_EQ(s.Anisotropic, 1);
    EXPECT_EQ(s.Videos, 0);
    EXPECT_EQ(s.Height, 768);
    EXPECT_EQ(switches.ScrollLock, 1);
    EXPECT_EQ(switches.ParticleResources, 1);
    EXPECT_EQ(Read("bpp: 24\n").BitsPerPixel, 32);
}

FakeAdapter::Config AdapterWith(std::vector<D3DDISPLAYMODE> modes)
{
    FakeAdapter::Config config = FakeAdapter::Default();
    config.Modes = std::move(modes);
    return config;
}

// Enumerates the adapter's modes and chooses settings for a request.
struct Choice {
    bool ok;
    RenderSettings active;
};
Choice Choose(const FakeAdapter::Config& adapter, const RenderSettings& requested)
{
    FakeAdapter::Configure(adapter);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    std::vector<RenderConfigState> modes;
    EnumerateDisplayModes(d3d, adapter.Desktop, [&](const RenderConfigState& s) { modes.push_back(s); });
    std::vector<RenderConfigState*> pointers;
    for (RenderConfigState& m : modes)
        pointers.push_back(&m);
    Choice out{false, RenderSettings::Defaults()};
    out.ok = ChooseSettings(d3d, adapter.Desktop, pointers.data(), int(pointers.size()), requested, out.active);
    d3d->Release();
    return out;
}

TEST(RenderModes, EnumerationKeepsUsableModesWithTheirBestDepthAndRank)
{
    FakeAdapter::Config adapter = AdapterWith({{320, 200, 60, D3DFMT_X8R8G8B8},
                                               {319, 240, 60, D3DFMT_X8R8G8B8},
                                               {640, 480, 60, D3DFMT_X8R8G8B8},
                                               {1280, 1024, 60, D3DFMT_X8R8G8B8},
                                               {640, 480, 60, D3DFMT_R5G6B5}});
    adapter.DepthFormats = {D3DFMT_D16, D3DFMT_D24S8};
    adapter.MultiSampleTypes = {D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES};
    FakeAdapter::Configure(adapter);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    std::vector<RenderConfigState> modes;
    EnumerateDisplayModes(d3d, adapter.Desktop, [&](const RenderConfigState& s) { modes.push_back(s); });
    d3d->Release();
    ASSERT_EQ(modes.size(), 4u); // 319 wide is too narrow; 320 by 200 is just large enough
    EXPECT_EQ(modes[0].Width, 320);
    EXPECT_EQ(modes[1].Width, 640);
    EXPECT_EQ(modes[1].DepthFormat, D3DFMT_D24S8);
    EXPECT_EQ(modes[1].FormatRank, 3);
    EXPECT_EQ(modes[1].MaxSamplesFullScreen, 4);
    EXPECT_EQ(modes[1].Windowable, 1);
    EXPECT_EQ(modes[2].Windowable, 0); // the desktop's own size does not fit in a window
    EXPECT_EQ(modes[3].BitsPerPixel, 16);
    EXPECT_EQ(modes[3].FormatRank, 5);
    EXPECT_EQ(modes[3].Windowable, 0); // not the desktop's format
}

TEST(RenderModes, FullScreenChoiceTakesTheExactOrClosestFromBelow)
{
    RenderSettings want = RenderSettings::Defaults();
    want.Width = 1024;
    want.Height = 768;
    struct Case {
        std::vector<D3DDISPLAYMODE> modes;
        int width, height;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {{{800, 600, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}},
         1024,
         768,
         D3DFMT_X8R8G8B8},
        {{{800, 600, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_X8R8G8B8}}, 800, 600, D3DFMT_X8R8G8B8},
        {{{1600, 1200, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_X8R8G8B8}}, 1280, 1024, D3DFMT_X8R8G8B8},
        {{{1024, 768, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_A8R8G8B8}}, 1024, 768, D3DFMT_X8R8G8B8},
        {{{1024, 768, 60, D3DFMT_A8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}}, 1024, 768, D3DFMT_X8R8G8B8},
        {{{1024, 768, 60, D3DFMT_R5G6B5}, {1024, 768, 60, D3DFMT_X8R8G8B8}}, 1024, 768, D3DFMT_X8R8G8B8},
        {{{1024, 768, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_R5G6B5}}, 1024, 768, D3DFMT_X8R8G8B8},
    };
    for (const Case& c : cases) {
        const Choice choice = Choose(AdapterWith(c.modes), want);
        ASSERT_TRUE(choice.ok);
        EXPECT_EQ(choice.active.Width, c.width);
        EXPECT_EQ(choice.active.Height, c.height);
        EXPECT_EQ(choice.active.BackBufferFormat, c.format) << c.modes.size();
        EXPECT_EQ(choice.active.Windowed, 0);
    }
    want.BitsPerPixel = 16;
    const Choice sixteen = Choose(
        AdapterWith(
            {{1024, 768, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_R5G6B5}, {1024, 768, 60, D3DFMT_X1R5G5B5}}),
        want);
    EXPECT_EQ(sixteen.active.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(sixteen.active.BitsPerPixel, 16);
    EXPECT_FALSE(Choose(AdapterWith({}), want).ok);
}

TEST(RenderModes, WindowedChoiceAndTheDerivedSettings)
{
    RenderSettings want = RenderSettings::Defaults();
    want.Windowed = 1;
    want.Width = 1200;
    want.Height = 1000;
    want.Anisotropic = 1;
    want.MultiSample = 16;
    want.PassLimit = 10;
    FakeAdapter::Config adapter = AdapterWith(
        {{640, 480, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8}});
    adapter.MultiSampleTypes = {D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES};
    // Larger than every windowable mode: the largest one's size.
    Choice c = Choose(adapter, want);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.active.Windowed, 1);
    EXPECT_EQ(c.active.Width, 1024);
    EXPECT_EQ(c.active.Height, 768);
    EXPECT_EQ(c.active.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(c.active.MultiSample, 4);
    EXPECT_FLOAT_EQ(c.active.ScreenScale, 1.6f);
    EXPECT_FLOAT_EQ(c.active.OutlineWidth, 0.0033f / 1.6f);
    EXPECT_EQ(c.active.PassLimit, 4); // the adapter combines four textures
    EXPECT_EQ(c.active.MinFilter, D3DTEXF_ANISOTROPIC);
    EXPECT_EQ(c.active.MagFilter, D3DTEXF_ANISOTROPIC);
    EXPECT_EQ(c.active.HasStencil, 0); // D24X8 is the deepest accepted
    // A mode at least as large: exactly the size asked for.
    want.Width = 700;
    want.Height = 500;
    want.MultiSample = 3;
    c = Choose(adapter, want);
    EXPECT_EQ(c.active.Width, 700);
    EXPECT_EQ(c.active.Height, 500);
    EXPECT_EQ(c.active.MultiSample, 2);
    // No windowable mode: full screen.
    adapter.Desktop.Format = D3DFMT_R5G6B5;
    c = Choose(adapter, want);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.active.Windowed, 0);
    EXPECT_EQ(c.active.Width, 640); // the closest from below
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { FakeAdapter::Configure(FakeAdapter::Default()); }
    void TearDown() override
    {
        Device.Shutdown();
        FakeAdapter::Configure(FakeAdapter::Default());
    }
    CRenderDevice Device;
};

TEST_F(DeviceTest, FilesAreReadAfterTheFlagsAndOverridesWin)
{
    ScopedGameFolder game("device_files", "fullscreen:\nwidth: 1024\nheight: 768\npasslimit: 4\n",
                          "windowed:\nwidth: 640\nheight: 480\n");
    ASSERT_EQ(Device.Init(nullptr, CRenderDevice::FLAG_WINDOWED_ONE_PASS), 0);
    const RenderSettings& s = Device.GetActiveSettings();
    EXPECT_EQ(s.Windowed, 1);
    EXPECT_EQ(s.Width, 640);
    EXPECT_EQ(s.PassLimit, 4);
    EXPECT_EQ(s.Shaders, 1);
    float x, y;
    Device.GetScreenPixelScale(x, y);
    EXPECT_FLOAT_EQ(x, 1.0f);
    D3DSURFACE_DESC desc;
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(Device.GetDevice()->GetRenderTarget(0, &back), D3D_OK);
    back->GetDesc(&desc);
    back->Release();
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(FakeAdapter::PresentCount(Device.GetDevice()), 3u); // cleared to black three times
    ASSERT_NE(Device.GetWhiteTexture(), nullptr);
    for (int slot = 0; slot < kShaderSlots; ++slot)
        EXPECT_NE(Device.GetShader(slot), nullptr) << slot;
}

TEST_F(DeviceTest, NoConfigurationFilesGiveTheDefaultFullScreenMode)
{
    ScopedGameFolder game("device_defaults", "");
    ASSERT_EQ(Device.Init(nullptr, 0), 0);
    const RenderSettings& s = Device.GetActiveSettings();
    EXPECT_EQ(s.Windowed, 0);
    EXPECT_EQ(s.Width, 800);
    EXPECT_EQ(s.Height, 600);
    EXPECT_EQ(s.MultiSample, 0); // the adapter has no multisampling
    float x, y;
    Device.GetScreenPixelScale(x, y);
    EXPECT_FLOAT_EQ(x, 0.8f);
    EXPECT_FLOAT_EQ(y, 0.8f);
}

TEST_F(DeviceTest, DeviceCreationFallsBackToSoftwareProcessing)
{
    ScopedGameFolder game("device_fallback");
    struct Case {
        DWORD failBits;
        DWORD shaderVersion;
        const char* printed;
        int shaders;
    };
    const Case cases[] = {
        {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DVS_VERSION(1, 1),
         "Unable to Init Hardware Device... attempting Software Device Init\nSoftware Vertex Processing Selected!\n",
         1},
        {0, D3DVS_VERSION(1, 0),
         "Unable to locate Hardware Shader Support... attempting Software Device Init\nRequested Shader support "
         "unavailable.\nSoftware Vertex Processing Selected!\n",
         0},
        {0, D3DVS_VERSION(2, 0), "", 1},
    };
    for (const Case& c : cases) {
        FakeAdapter::Config adapter = FakeAdapter::Default();
        adapter.FailBehaviourFlags = c.failBits;
        adapter.Caps.VertexShaderVersion = c.shaderVersion;
        FakeAdapter::Configure(adapter);
        testing::internal::CaptureStdout();
        ASSERT_EQ(Device.Init(nullptr, 0), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.printed), std::string::npos) << out;
        if (!*c.printed) {
            EXPECT_EQ(out.find("Software"), std::string::npos) << out;
        }
        EXPECT_EQ(Device.GetActiveSettings().Shaders, c.shaders);
        Device.Shutdown();
    }
    FakeAdapter::Config adapter = FakeAdapter::Default();
    adapter.FailCreate = true;
    FakeAdapter::Configure(adapter);
    EXPECT_EQ(Device.Init(nullptr, 0), 1);
}

TEST_F(DeviceTest, FatalErrorsOfDeviceCreationAndReset)
{
    ScopedGameFolder game("device_fatal");
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    FakeAdapter::Config noModes = AdapterWith({});
    EXPECT_EXIT(
        {
            FakeAdapter::Configure(noModes);
            Device.Init(nullptr, 0);
        },
        testing::ExitedWithCode(3), "Unable to setup D3D!");
    FakeAdapter::Config noDevice = FakeAdapter::Default();
    noDevice.FailBehaviourFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    EXPECT_EXIT(
        {
            FakeAdapter::Configure(noDevice);
            Device.Init(nullptr, 0);
        },
        testing::ExitedWithCode(3), "Unable to create any D3D Rendering Devices!");
    EXPECT_EXIT(
        {
            Device.Init(nullptr, 0);
            FakeAdapter::Current().FailResets = 2;
            Device.ToggleWindowed();
        },
        testing::ExitedWithCode(3), "Unable to get back from failed Reset!!!");
    EXPECT_EXIT(
        {
            Device.Init(nullptr, 0);
            FakeAdapter::SetDeviceState(Device.GetDevice(), FakeAdapter::DeviceState::NotReset);
            FakeAdapter::Current().FailResets = 1;
            Device.PresentFrame();
        },
        testing::ExitedWithCode(3), "WTF\\?  Failed to restore after Reset!");
}

TEST_F(DeviceTest, ModeSwitchesResetTheDeviceOrLeaveItAsItWas)
{
    ScopedGameFolder game("device_switch");
    ASSERT_EQ(Device.Init(nullptr, 0), 0);
    RenderConfigState mode{};
    mode.Width = 1024;
    mode.Height = 768;
    mode.BitsPerPixel = 32;
    mode.Windowable = 0;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Device.SwitchDisplayMode(mode));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("******** 3D Engine Settings REQUESTED: ********\n** Width 1024 - Height 768\n** BPP 32 - "
                       "Aliasing 0\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Device.GetActiveSettings().Width, 1024);
    EXPECT_EQ(Device.GetPresentParameters().BackBufferWidth, 1024u);
    float x, y;
    Device.GetScreenPixelScale(x, y);
    EXPECT_FLOAT_EQ(x, 0.625f);
    for (int slot = 0; slot < kShaderSlots; ++slot)
        EXPECT_NE(Device.GetShader(slot), nullptr) << slot;

    // A failing reset goes back to the active mode and forgets the request.
    FakeAdapter::Current().FailResets = 1;
    mode.Width = 640;
    mode.Height = 480;
    EXPECT_FALSE(Device.SwitchDisplayMode(mode));
    EXPECT_EQ(Device.GetActiveSettings().Width, 1024);
    EXPECT_EQ(Device.GetRequestedSettings().Width, 1024);
    EXPECT_EQ(Device.GetDevice()->TestCooperativeLevel(), D3D_OK);

    EXPECT_TRUE(Device.ToggleWindowed());
    EXPECT_EQ(Device.GetActiveSettings().Windowed, 1);
    EXPECT_EQ(Device.GetPresentParameters().Windowed, TRUE);
}

TEST_F(DeviceTest, PresentSkipsALostDeviceAndResetsOneThatCanBeReset)
{
    ScopedGameFolder game("device_present");
    ASSERT_EQ(Device.Init(nullptr, 0), 0);
    IDirect3DDevice9* d = Device.GetDevice();
    const unsigned before = FakeAdapter::PresentCount(d);
    Device.PresentFrame();
    EXPECT_EQ(FakeAdapter::PresentCount(d), before + 1);
    FakeAdapter::SetDeviceState(d, FakeAdapter::DeviceState::Lost);
    Device.PresentFrame();
    Device.PresentFrame();
    EXPECT_EQ(FakeAdapter::PresentCount(d), before + 1);
    FakeAdapter::SetDeviceState(d, FakeAdapter::DeviceState::NotReset);
    Device.PresentFrame();
    EXPECT_EQ(FakeAdapter::PresentCount(d), before + 2);
    EXPECT_EQ(d->TestCooperativeLevel(), D3D_OK);
    EXPECT_NE(Device.GetShader(0), nullptr);
    // A present goes to the window of the current index; an index outside the list has none.
    HWND second = reinterpret_cast<HWND>(0x4321);
    EXPECT_EQ(Device.AddWindow(second), 1);
    EXPECT_EQ(Device.AddWindow(second), 1);
    Device.SetWindowIndex(1);
    Device.PresentFrame();
    EXPECT_EQ(FakeAdapter::LastPresentWindow(d), second);
}

TEST_F(DeviceTest, ScreenshotsAreNumberedAndHoldTheActiveSize)
{
    ScopedGameFolder game("device_shots", "width: 320\nheight: 240\nwindowed:\n");
    ASSERT_EQ(Device.Init(nullptr, 0), 0);
    Device.ConfigureLayers(1);
    RenderLayer* layer = Device.GetLayer(0);
    layer->Flags |= RenderLayer::ENABLED | RenderLayer::CLEAR_COLOUR;
    layer->ClearColour = 0x123456;
    const int first = Device.GetScreenshotCount();
    Device.SetScreenshotRequest(1);
    for (int frame = 0; frame < 2; ++frame) {
        Device.BeginFrame();
        Device.BeginLayer(0);
        Device.EndLayer();
        Device.EndFrame();
        Device.PresentFrame();
    }
    Device.SetScreenshotRequest(0);
    EXPECT_EQ(Device.GetScreenshotCount(), first + 2);
    EXPECT_EQ(ReadShotPixels(game.Shot(first + 1), "0,0 319,239"), "320 240\n0,0=123456\n319,239=123456\n");
    // A capture whose file cannot be written still uses up its number.
    std::filesystem::create_directories(game.Shot(first + 2)); // a folder in the file's place
    Device.SetScreenshotRequest(1);
    Device.PresentFrame();
    Device.PresentFrame();
    EXPECT_EQ(Device.GetScreenshotCount(), first + 4);
    EXPECT_TRUE(std::filesystem::is_directory(game.Shot(first + 2)));
    EXPECT_TRUE(std::filesystem::is_regular_file(game.Shot(first + 3)));
}

TEST(RenderGamma, RampFollowsThePowerCurveAndSurvivesAGammaOfZero)
{
    WORD ramp[256];
    BuildGammaRamp(1.0f, 1.0f, 1.0f, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[128], 128 * 256);
    EXPECT_EQ(ramp[255], 255 * 256);
    BuildGammaRamp(2.2f, 1.0f, 1.0f, ramp);
    for (int i : {0, 1, 64, 128, 200, 255}) {
        const double expected = std::pow(i / 255.0, 1.0 / 2.2) * 255.0 * 256.0;
        EXPECT_NEAR(ramp[i], expected, 0.51) << i;
    }
    // The smallest gamma kept darkens all but the brightest entries, without a division by zero.
    BuildGammaRamp(0.0f, 1.0f, 1.0f, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[128], 0);
    EXPECT_NEAR(ramp[254], std::pow(254 / 255.0, 100.0) * 255 * 256, 0.51);
    EXPECT_EQ(ramp[255], 255 * 256);
    BuildGammaRamp(1.0f, 1.0f, 2.0f, ramp);
    EXPECT_EQ(ramp[0], 127 * 256);
    EXPECT_EQ(ramp[200], 255 * 256);
}

TEST(RenderErrors, TextsOfDirect3DResults)
{
    struct Case {
        HRESULT code;
        const char* text;
    };
    const Case cases[] = {
        {HRESULT(0x00000000), "No error occurred. \n"},
        {HRESULT(0x88760868),
         "The device is lost and cannot be restored at the current time, so rendering is not possible. \n"},
        {HRESULT(0x88760866), "The requested item was not found.\n"},
        {HRESULT(0x80070057), "An invalid parameter was passed to the returning function \n"},
        {HRESULT(0x8007000E), "Direct3D could not allocate sufficient memory to complete the call. \n"},
        {HRESULT(0x12345678), ""},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        DescribeD3DError(c.code);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.text);
    }
}

} // namespace
