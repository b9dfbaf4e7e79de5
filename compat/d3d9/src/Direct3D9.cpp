#include "Direct3D9.h"

#include <algorithm>

#include "Device.h"

namespace d3d9sw {

namespace {

bool IsHal(UINT adapter, D3DDEVTYPE type) { return adapter == 0 && type == D3DDEVTYPE_HAL; }

// The adapter's one monitor, an opaque handle compared but never dereferenced.
struct HMONITOR__ kMonitor;

} // namespace

bool Direct3D9::IsDisplayFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A2R10G10B10:
        return true;
    default:
        return false;
    }
}

bool Direct3D9::IsTextureFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8:
        return true;
    default:
        return false;
    }
}

bool Direct3D9::AcceptsDepth(D3DFORMAT format) const
{
    const auto& formats = FakeAdapter::Current().DepthFormats;
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

bool Direct3D9::AcceptsMultiSample(D3DMULTISAMPLE_TYPE type) const
{
    if (type == D3DMULTISAMPLE_NONE)
        return true;
    const auto& types = FakeAdapter::Current().MultiSampleTypes;
    return std::find(types.begin(), types.end(), type) != types.end();
}

UINT Direct3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format)
{
    if (Adapter != 0)
        return 0;
    const auto& modes = FakeAdapter::Current().Modes;
    return UINT(std::count_if(modes.begin(), modes.end(), [&](const D3DDISPLAYMODE& m) { return m.Format == Format; }));
}

HRESULT Direct3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode)
{
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    for (const D3DDISPLAYMODE& m : FakeAdapter::Current().Modes) {
        if (m.Format != Format)
            continue;
        if (Mode-- == 0) {
            *pMode = m;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode)
{
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    *pMode = fullScreen_ ? fullScreenMode_ : FakeAdapter::Current().Desktop;
    return D3D_OK;
}

void Direct3D9::SetFullScreenMode(const D3DDISPLAYMODE* mode)
{
    fullScreen_ = mode != nullptr;
    if (mode)
        fullScreenMode_ = *mode;
}

HRESULT Direct3D9::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                   D3DFORMAT BackBufferFormat, BOOL)
{
    if (!IsHal(Adapter, DevType))
        return D3DERR_INVALIDCALL;
    if (GetAdapterModeCount(0, AdapterFormat) == 0)
        return D3DERR_NOTAVAILABLE;
    return IsDisplayFormat(BackBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, DWORD Usage, D3DRESOURCETYPE RType,
                                     D3DFORMAT CheckFormat)
{
    if (!IsHal(Adapter, DeviceType))
        return D3DERR_INVALIDCALL;
    if (Usage & D3DUSAGE_DEPTHSTENCIL)
        return AcceptsDepth(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (RType == D3DRTYPE_TEXTURE || RType == D3DRTYPE_SURFACE)
        return IsTextureFormat(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    return D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL,
                                              D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels)
{
    if (!IsHal(Adapter, DeviceType))
        return D3DERR_INVALIDCALL;
    bool accepted =
        (IsDisplayFormat(SurfaceFormat) || AcceptsDepth(SurfaceFormat)) && AcceptsMultiSample(MultiSampleType);
    if (pQualityLevels)
        *pQualityLevels = accepted ? 1 : 0;
    return accepted ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, D3DFORMAT RenderTargetFormat,
                                          D3DFORMAT DepthStencilFormat)
{
    if (!IsHal(Adapter, DeviceType))
        return D3DERR_INVALIDCALL;
    return IsDisplayFormat(RenderTargetFormat) && AcceptsDepth(DepthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps)
{
    if (!IsHal(Adapter, DeviceType) || !pCaps)
        return D3DERR_INVALIDCALL;
    *pCaps = FakeAdapter::Current().Caps;
    return D3D_OK;
}

HMONITOR Direct3D9::GetAdapterMonitor(UINT Adapter) { return Adapter == 0 ? &kMonitor : nullptr; }

HRESULT Direct3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                D3DPRESENT_PARAMETERS* pPresentationParameters,
                                IDirect3DDevice9** ppReturnedDeviceInterface)
{
    if (!ppReturnedDeviceInterface || !pPresentationParameters || !IsHal(Adapter, DeviceType))
        return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    const DWORD processing =
        D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING;
    DWORD chosen = BehaviorFlags & processing;
    if (chosen == 0 || (chosen & (chosen - 1)) != 0)
        return D3DERR_INVALIDCALL;
    if (BehaviorFlags & FakeAdapter::Current().FailBehaviourFlags)
        return D3DERR_NOTAVAILABLE;
    Device* device = Device::Create(this, hFocusWindow, BehaviorFlags, *pPresentationParameters);
    if (!device)
        return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = device;
    return D3D_OK;
}

} // namespace d3d9sw
