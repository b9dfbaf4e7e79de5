#pragma once
// The Direct3D object: answers adapter questions from the fake adapter's configuration and
// creates software devices.
#include <d3d9_fake_adapter.h>

#include "ComObject.h"

namespace d3d9sw {

class Direct3D9 : public ComObject<IDirect3D9> {
public:
    UINT GetAdapterCount() override { return 1; }
    UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
    HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override;
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                            BOOL bWindowed) override;
    HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                              D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL Windowed,
                                       D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels) override;
    HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                   D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HMONITOR GetAdapterMonitor(UINT Adapter) override;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                         D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;

    // Formats the adapter can display or render into.
    static bool IsDisplayFormat(D3DFORMAT format);
    static bool IsTextureFormat(D3DFORMAT format);
    bool AcceptsDepth(D3DFORMAT format) const;
    bool AcceptsMultiSample(D3DMULTISAMPLE_TYPE type) const;

    // The mode the display shows: a full-screen device's own mode while it lasts, else the
    // desktop.
    void SetFullScreenMode(const D3DDISPLAYMODE* mode);

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3D9; }

private:
    bool fullScreen_ = false;
    D3DDISPLAYMODE fullScreenMode_{};
};

} // namespace d3d9sw
