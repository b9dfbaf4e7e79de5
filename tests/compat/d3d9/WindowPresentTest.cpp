// A presented frame reaches a real window: under a virtual X display the window's pixels, as
// captured by xwd and converted by ImageMagick, equal the device's back buffer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <d3d9.h>
#include <mg_window.h>

namespace {

namespace fs = std::filesystem;
const int kWidth = 160, kHeight = 120;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

bool Have(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null").c_str()) == 0;
}

// Run inside the virtual display by the test below: draws, presents into a window at the
// display's top left, writes the back buffer and a capture of the display.
TEST(WindowProbe, PresentsIntoTheWindow)
{
    const char* out = std::getenv("MG_WINDOW_PROBE_OUT");
    if (!out)
        GTEST_SKIP() << "run by WindowPresent under a virtual display";
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "probe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "probe", "probe", 0, 0, 0, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(MgHasRealWindow(window));
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0);
    const D3DRECT rects[3] = {{10, 10, 70, 50}, {80, 60, 150, 110}, {0, 100, 20, 120}};
    const D3DCOLOR colours[3] = {0xFFFF0000, 0xFF00FF80, 0xFFFFFFFF};
    for (int i = 0; i < 3; ++i)
        device->Clear(1, &rects[i], D3DCLEAR_TARGET, colours[i], 1.0f, 0);
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR colour;
    } triangle[3] = {{100, 5, 0.5f, 1, 0xFFFF00FF}, {155, 40, 0.5f, 1, 0xFF00FFFF}, {90, 45, 0.5f, 1, 0xFFFFFF00}};
    device->BeginScene();
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex));
    device->EndScene();
    // Present a few times while the window maps, as a game's loop does.
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        usleep(20000);
    }
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    D3DLOCKED_RECT locked;
    back->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    std::ofstream raw(fs::path(out) / "back.raw", std::ios::binary);
    for (int y = 0; y < kHeight; ++y)
        raw.write(static_cast<const char*>(locked.pBits) + y * locked.Pitch, kWidth * 4);
    raw.close();
    back->UnlockRect();
    back->Release();
    const std::string capture = "xwd -root -silent -out " + (fs::path(out) / "screen.xwd").string();
    ASSERT_EQ(std::system(capture.c_str()), 0);
    device->Release();
    d3d->Release();
    DestroyWindow(window);
}

TEST(WindowPresent, TheWindowShowsTheBackBuffer)
{
    if (!Have("xvfb-run") || !Have("xwd") || !fs::exists("/usr/bin/convert"))
        GTEST_SKIP() << "needs xvfb-run, xwd and ImageMagick";
    const fs::path out = fs::temp_directory_path() / ("window_present_" + std::to_string(getpid()));
    fs::create_directories(out);
    char self[512] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    // Under user-mode emulation /proc/self/exe names the emulator; the test program is argv[0].
    std::string program = self;
    if (program.find("qemu") != std::string::npos)
        program = fs::absolute(testing::internal::GetArgvs()[0]).string();
    const std::string run = "MG_WINDOW_PROBE_OUT=" + out.string() + " xvfb-run -a -s '-screen 0 320x240x24' " +
                            program + " --gtest_filter=WindowProbe.* > " + (out / "probe.log").string() + " 2>&1";
    const int status = std::system(run.c_str());
    std::ifstream logFile(out / "probe.log");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    ASSERT_EQ(status, 0) << log;
    ASSERT_EQ(std::system(
                  ("/usr/bin/convert " + (out / "screen.xwd").string() + " " + (out / "screen.ppm").string()).c_str()),
              0);
    // A binary PPM: "P6", width, height, maximum (comment lines may come between), then RGB.
    std::ifstream ppm(out / "screen.ppm", std::ios::binary);
    auto word = [&ppm] {
        std::string w;
        while (ppm >> w && w[0] == '#')
            std::getline(ppm, w);
        return w;
    };
    const std::string magic = word();
    const int width = std::atoi(word().c_str()), height = std::atoi(word().c_str());
    const int maximum = std::atoi(word().c_str());
    ppm.get();
    ASSERT_EQ(maximum, 255);
    ASSERT_EQ(magic, "P6");
    ASSERT_GE(width, kWidth);
    ASSERT_GE(height, kHeight);
    std::vector<unsigned char> screen(size_t(width) * height * 3);
    ppm.read(reinterpret_cast<char*>(screen.data()), std::streamsize(screen.size()));
    std::ifstream rawFile(out / "back.raw", std::ios::binary);
    std::vector<unsigned char> back(size_t(kWidth) * kHeight * 4);
    rawFile.read(reinterpret_cast<char*>(back.data()), std::streamsize(back.size()));
    int different = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const unsigned char* s = &screen[(size_t(y) * width + x) * 3];
            const unsigned char* b = &back[(size_t(y) * kWidth + x) * 4];
            different += s[0] != b[2] || s[1] != b[1] || s[2] != b[0];
        }
    EXPECT_EQ(different, 0);
    fs::remove_all(out);
}

} // namespace
