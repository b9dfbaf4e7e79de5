#include <d3d9_fake_adapter.h>

#include <cstring>

#include "Device.h"
#include "Direct3D9.h"

namespace FakeAdapter {

Config Default()
{
    Config config;
    config.Desktop = {1280, 1024, 60, D3DFMT_X8R8G8B8};
    static const UINT kSizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
        for (const auto& size : kSizes)
            config.Modes.push_back({size[0], size[1], 60, format});
    config.DepthFormats = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8};

    D3DCAPS9& caps = config.Caps;
    std::memset(&caps, 0, sizeof caps);
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                             D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                             D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    caps.MaxTextureWidth = caps.MaxTextureHeight = 4096;
    caps.MaxAnisotropy = 16;
    caps.MaxTextureBlendStages = 8;
    caps.MaxSimultaneousTextures = 4;
    caps.MaxActiveLights = 8;
    caps.MaxPrimitiveCount = 0xFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = 16;
    caps.MaxStreamStride = 255;
    caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
    caps.MaxVertexShaderConst = 256;
    return config;
}

Config& Current()
{
    static Config config = Default();
    return config;
}

void Configure(const Config& config) { Current() = config; }

namespace {

d3d9sw::Device* Ours(IDirect3DDevice9* device) { return dynamic_cast<d3d9sw::Device*>(device); }

} // namespace

void SetDeviceState(IDirect3DDevice9* device, DeviceState state)
{
    if (d3d9sw::Device* ours = Ours(device))
        ours->SetCooperativeState(state);
}

unsigned PresentCount(IDirect3DDevice9* device)
{
    d3d9sw::Device* ours = Ours(device);
    return ours ? ours->PresentCount() : 0;
}

unsigned DrawCount(IDirect3DDevice9* device)
{
    d3d9sw::Device* ours = Ours(device);
    return ours ? ours->DrawCount() : 0;
}

HWND LastPresentWindow(IDirect3DDevice9* device)
{
    d3d9sw::Device* ours = Ours(device);
    return ours ? ours->LastPresentWindow() : nullptr;
}

} // namespace FakeAdapter

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion)
{
    if (SDKVersion != D3D_SDK_VERSION || FakeAdapter::Current().FailCreate)
        return nullptr;
    return new d3d9sw::Direct3D9();
}
