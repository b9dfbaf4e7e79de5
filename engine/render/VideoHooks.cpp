// The renderer's services to the video player, over the render device's video hooks.
#include "engine/render/CRenderer.h"

int GetVideosEnabled() { return CRenderer::GetDevice().VideosEnabled(); }

IDirect3D9* GetDirect3D() { return CRenderer::GetDevice().GetD3D(); }

IDirect3DDevice9* GetDirect3DDevice() { return CRenderer::GetDevice().GetDevice(); }

// The frame's render buffers are sized for the device's present parameters, so they are made
// again around the reset.
void ResetDeviceForVideo(bool starting)
{
    CRenderDevice& device = CRenderer::GetDevice();
    if (!device.GetDevice())
        return;
    device.FreeRenderBuffers();
    device.ResetForVideo(starting ? 1 : 0);
    device.AllocRenderBuffers();
}

void DrawVideoSurface(IUnknown* surface, float uScale, float vScale)
{
    CRenderer::GetDevice().PresentVideoFrame(surface, uScale, vScale);
}
