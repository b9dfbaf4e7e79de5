#pragma once
// The one adapter the software device reports: its desktop mode, the display modes per
// format, the depth and multisample formats it accepts, its caps, and faults that tests can
// inject to drive the renderer's fall-back paths. Configure before Direct3DCreate9.
#include <vector>

#include "d3d9.h"

namespace FakeAdapter {

struct Config {
    D3DDISPLAYMODE Desktop;
    std::vector<D3DDISPLAYMODE> Modes;                 // each mode carries its own format
    std::vector<D3DFORMAT> DepthFormats;               // accepted with every adapter format
    std::vector<D3DMULTISAMPLE_TYPE> MultiSampleTypes; // accepted besides NONE, windowed or not
    D3DCAPS9 Caps;

    bool FailCreate = false;      // Direct3DCreate9 returns null
    DWORD FailBehaviourFlags = 0; // CreateDevice fails when its behaviour flags hold any of these bits
    int FailResets = 0;           // the next N Reset calls fail
    int FailTextures = 0;         // the next N CreateTexture calls fail

    // Every pixel takes the rasterizer's general path instead of its fast paths (the 8-bit
    // four-pixel path of the common draws, the 32-bit edge walk of small triangles), so tests
    // can compare the two.
    bool DisableFastPaths = false;
};

// Desktop 1280x1024 X8R8G8B8; 640x480 to 1280x1024 in X8R8G8B8 and R5G6B5; D16, D24S8 and
// D24X8; no multisampling; four simultaneous textures, anisotropic filtering, vs_1_1.
Config Default();

// Replaces the adapter's configuration (and the pending fault counters).
void Configure(const Config& config);
Config& Current();

enum class DeviceState { Operational, Lost, NotReset };

// Puts a device created by this adapter into a cooperative-level state: Lost makes
// TestCooperativeLevel and Present report D3DERR_DEVICELOST, NotReset makes them report
// D3DERR_DEVICENOTRESET until a successful Reset.
void SetDeviceState(IDirect3DDevice9* device, DeviceState state);

// How many times Present has succeeded on the device, and the window of the last present.
unsigned PresentCount(IDirect3DDevice9* device);
HWND LastPresentWindow(IDirect3DDevice9* device);
// How many draw calls (of any of the four kinds) the device has been given.
unsigned DrawCount(IDirect3DDevice9* device);

} // namespace FakeAdapter
