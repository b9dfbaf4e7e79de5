// Ending a frame on the screen: presenting with lost-device recovery, screenshots, the video
// player's reset and frame hooks, and the texts of Direct3D results.
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/file/CZFile.h"
#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/render/CRenderDevice.h"

namespace {

void WriteLittle16(unsigned char* at, unsigned value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

} // namespace

void CRenderDevice::PresentFrame()
{
    if (!pDevice)
        return;
    const HRESULT level = pDevice->TestCooperativeLevel();
    if (level == D3DERR_DEVICELOST)
        return;
    if (level == D3DERR_DEVICENOTRESET) {
        ReleaseShaders();
        if (pBackBuffer)
            pBackBuffer->Release();
        pBackBuffer = nullptr;
        if (pDevice->Reset(&PresentParams) != D3D_OK)
            vbail("WTF?  Failed to restore after Reset!\n");
        pDevice->GetRenderTarget(0, &pBackBuffer);
        BuildShaders();
        SetDefaultRenderStates();
    }
    const WindowData* window = GetWindow(WindowIndex);
    pDevice->Present(nullptr, nullptr, window ? window->Window : nullptr, nullptr);
    if (ScreenshotRequest)
        Capture();
}

// Any failing step skips the capture; the counter moves on whether or not the file opened,
// so numbers are never reused within a run.
void CRenderDevice::Capture()
{
    D3DDISPLAYMODE mode;
    if (pD3D->GetAdapterDisplayMode(0, &mode) != D3D_OK)
        return;
    IDirect3DSurface9* surface = nullptr;
    if (pDevice->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &surface,
                                             nullptr) != D3D_OK)
        return;
    D3DLOCKED_RECT locked;
    D3DSURFACE_DESC desc;
    if (pDevice->GetFrontBufferData(0, surface) == D3D_OK && surface->GetDesc(&desc) == D3D_OK &&
        (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) &&
        surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
        const unsigned width = unsigned(Active.Width) < desc.Width ? unsigned(Active.Width) : desc.Width;
        const unsigned height = unsigned(Active.Height) < desc.Height ? unsigned(Active.Height) : desc.Height;
        std::vector<unsigned char> file(18 + size_t(width) * height * 4);
        file[2] = 2;
        WriteLittle16(&file[12], width);
        WriteLittle16(&file[14], height);
        file[16] = 32;
        file[17] = 32;
        for (unsigned y = 0; y < height; ++y) {
            const unsigned char* row = static_cast<const unsigned char*>(locked.pBits) + size_t(y) * locked.Pitch;
            unsigned char* out = &file[18 + size_t(y) * width * 4];
            std::memcpy(out, row, size_t(width) * 4);
            for (unsigned x = 0; x < width; ++x)
                out[4 * x + 3] = 0;
        }
        surface->UnlockRect();
        char name[32];
        std::snprintf(name, sizeof name, "..\\PCX_Cap_%06d.tga", ScreenshotCounter);
        CZFile out;
        if (out.Open(name, CZFile::kWrite | CZFile::kInDataFolder) == 0) {
            out.Write(file.data(), static_cast<unsigned long>(file.size()));
            out.Close();
        }
        ++ScreenshotCounter;
    }
    surface->Release();
}

void CRenderDevice::ResetForVideo(int videoMode)
{
    if (!pDevice)
        return;
    BuildPresentParameters(Active);
    if (videoMode) {
        PresentParams.EnableAutoDepthStencil = FALSE;
        PresentParams.Flags = 0;
    }
    ReleaseShaders();
    if (pBackBuffer)
        pBackBuffer->Release();
    pBackBuffer = nullptr;
    pDevice->Reset(&PresentParams);
    pDevice->GetRenderTarget(0, &pBackBuffer);
    BuildShaders();
    SetDefaultRenderStates();
    ClearAndPresent(3);
}

void CRenderDevice::PresentVideoFrame(IUnknown* surface, float uScale, float vScale)
{
    IDirect3DTexture9* texture = nullptr;
    if (!pDevice || !surface ||
        surface->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(&texture)) != S_OK || !texture)
        return;
    struct VideoVertex {
        float x, y, z, u, v;
    };
    const VideoVertex strip[4] = {
        {-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, uScale, 0}, {-1, -1, 0.5f, 0, vScale}, {1, -1, 0.5f, uScale, vScale}};
    pDevice->SetRenderTarget(0, pBackBuffer);
    pDevice->SetTexture(0, texture);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    pDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    pDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    pDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    pDevice->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    pDevice->SetVertexShader(nullptr);
    pDevice->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    pDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATRIX identity;
    std::memset(&identity, 0, sizeof identity);
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    for (D3DTRANSFORMSTATETYPE t : {D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_WORLD})
        pDevice->SetTransform(t, &identity);
    D3DVIEWPORT9 viewport = {0, 0, DWORD(Active.Width), DWORD(Active.Height), 0.0f, 1.0f};
    pDevice->SetViewport(&viewport);
    pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    pDevice->BeginScene();
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(VideoVertex));
    pDevice->EndScene();
    pDevice->Present(nullptr, nullptr, nullptr, nullptr);
    pDevice->SetTexture(0, nullptr);
    pDevice->SetVertexShader(nullptr);
    texture->Release();
    ClearStateCaches();
}

unsigned long DescribeD3DError(HRESULT code)
{
    struct Text {
        HRESULT code;
        const char* text;
    };
    static const Text kTexts[] = {
        {HRESULT(0x00000000), "No error occurred. \n"},
        {HRESULT(0x88760821), "The currently set render states cannot be used together. \n"},
        {HRESULT(0x8876081E), "The current texture filters cannot be used together. \n"},
        {HRESULT(0x88760826),
         "The current textures cannot be used simultaneously. This generally occurs when a multitexture device "
         "requires that all palletized textures simultaneously enabled also share the same palette. \n"},
        {HRESULT(0x88760868),
         "The device is lost and cannot be restored at the current time, so rendering is not possible. \n"},
        {HRESULT(0x88760869), "The device cannot be reset. \n"},
        {HRESULT(0x88760827), "Internal driver error. \n"},
        {HRESULT(0x8876086C),
         "The method call is invalid. For example, a method's parameter may have an invalid value. \n"},
        {HRESULT(0x8876086B), "The requested device type is not valid. \n"},
        {HRESULT(0x88760867), "There is more data available than the specified buffer size can hold. \n"},
        {HRESULT(0x8876086A), "This device does not support the queried technique. \n"},
        {HRESULT(0x88760866), "The requested item was not found.\n"},
        {HRESULT(0x8876017C), "Direct3D does not have enough display memory to perform the operation. \n"},
        {HRESULT(0x8876081D),
         "The application is requesting more texture-filtering operations than the device supports. \n"},
        {HRESULT(0x8876081C),
         "The device does not support a specified texture-blending argument for the alpha channel. \n"},
        {HRESULT(0x8876081B),
         "The device does not support a specified texture-blending operation for the alpha channel. \n"},
        {HRESULT(0x8876081A), "The device does not support a specified texture-blending argument for color values. \n"},
        {HRESULT(0x88760819),
         "The device does not support a specified texture-blending operation for color values. \n"},
        {HRESULT(0x8876081F), "The device does not support the specified texture factor value. \n"},
        {HRESULT(0x88760822), "The device does not support the specified texture filter. \n"},
        {HRESULT(0x88760818), "The pixel format of the texture surface is not valid. \n"},
        {HRESULT(0x80004005), "An undetermined error occurred inside the Direct3D subsystem. \n"},
        {HRESULT(0x80070057), "An invalid parameter was passed to the returning function \n"},
        {HRESULT(0x8007000E), "Direct3D could not allocate sufficient memory to complete the call. \n"},
    };
    for (const Text& t : kTexts)
        if (t.code == code)
            std::printf("%s", t.text);
    return GetHeapAvailable();
}
