#include "engine/render/CRenderDevice.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/file/CZFile.h"
#include "core/math/CMatrix.h"
#include "engine/render/Camera.h"

namespace {

struct FlatVertex {
    float x, y, z;
    D3DCOLOR colour;
};
const DWORD kFlatFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// Both keep rows for row vectors, so the layouts agree.
void SetTransform(IDirect3DDevice9* device, D3DTRANSFORMSTATETYPE type, const CMatrix& m)
{
    D3DMATRIX out;
    std::memcpy(&out, m.m, sizeof out);
    device->SetTransform(type, &out);
}

// The camera's clip space has y down the screen and depth -w..w; the device's has y up and
// depth 0..w.
CMatrix DeviceProjection(const CMatrix& projection)
{
    CMatrix p = projection;
    for (int row = 0; row < 4; ++row) {
        float* e = p.m + 4 * row;
        e[1] = -e[1];
        e[2] = (e[2] + e[3]) / 2;
    }
    return p;
}

void WriteLittle16(unsigned char* at, unsigned value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

} // namespace

CRenderDevice::CRenderDevice()
    : pD3D(nullptr), pDevice(nullptr), pLayers(nullptr), LayerCount(0), CurrentLayer(-1), ScreenshotRequest(0),
      ScreenshotCounter(0)
{
}

CRenderDevice::~CRenderDevice()
{
    Shutdown();
    ConfigureLayers(0);
}

bool CRenderDevice::Init(HWND window)
{
    Shutdown();
    pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!pD3D)
        return false;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kBackBufferWidth;
    p.BackBufferHeight = kBackBufferHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (pD3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &pDevice) != D3D_OK) {
        std::printf("Failed to create the render device\n");
        Shutdown();
        return false;
    }
    return true;
}

void CRenderDevice::Shutdown()
{
    if (pDevice)
        pDevice->Release();
    pDevice = nullptr;
    if (pD3D)
        pD3D->Release();
    pD3D = nullptr;
}

void CRenderDevice::ConfigureLayers(int count)
{
    if (count == LayerCount)
        return;
    delete[] pLayers;
    pLayers = nullptr;
    LayerCount = count > 0 ? count : 0;
    if (LayerCount == 0)
        return;
    pLayers = new RenderLayer[LayerCount];
    for (int i = 0; i < LayerCount; ++i) {
        RenderLayer& layer = pLayers[i];
        layer = RenderLayer{};
        layer.Index = i;
        layer.ResourceAlias = static_cast<short>(i);
        layer.Flags = i == LayerCount - 1 ? RenderLayer::LAST : 0;
        layer.Right = 1.0f;
        layer.Bottom = 1.0f;
        layer.ClearDepth = 1.0f;
        layer.PreEffectType = -1;
        layer.PostEffectType = -1;
    }
}

void CRenderDevice::BeginFrame()
{
    CurrentLayer = -1;
    if (pDevice)
        pDevice->BeginScene();
}

void CRenderDevice::BeginLayer(int index)
{
    RenderLayer* layer = GetLayer(index);
    CurrentLayer = layer ? index : -1;
    if (!layer)
        return;
    const float x = layer->Left * 640.0f, y = layer->Top * 480.0f;
    const float width = (layer->Right - layer->Left) * 640.0f, height = (layer->Bottom - layer->Top) * 480.0f;
    ::SetViewport(index, x, y, width, height, 0.0f, 1.0f);
    if (!pDevice)
        return;
    D3DVIEWPORT9 viewport = {DWORD(x + 0.5f), DWORD(y + 0.5f), DWORD(width + 0.5f), DWORD(height + 0.5f), 0.0f, 1.0f};
    pDevice->SetViewport(&viewport);
    DWORD clear = 0;
    if (layer->Flags & RenderLayer::CLEAR_COLOUR)
        clear |= D3DCLEAR_TARGET;
    if (layer->Flags & RenderLayer::CLEAR_DEPTH)
        clear |= D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if (clear)
        pDevice->Clear(0, nullptr, clear, layer->ClearColour | 0xFF000000, layer->ClearDepth, 0);
}

int CRenderDevice::EndLayer()
{
    CurrentLayer = -1;
    return 0;
}

int CRenderDevice::EndFrame()
{
    if (pDevice)
        pDevice->EndScene();
    return 0;
}

void CRenderDevice::PresentFrame(HWND window)
{
    if (!pDevice || pDevice->TestCooperativeLevel() == D3DERR_DEVICELOST)
        return;
    pDevice->Present(nullptr, nullptr, window, nullptr);
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
        const unsigned width = unsigned(kBackBufferWidth) < desc.Width ? unsigned(kBackBufferWidth) : desc.Width;
        const unsigned height = unsigned(kBackBufferHeight) < desc.Height ? unsigned(kBackBufferHeight) : desc.Height;
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

void CRenderDevice::SetTransforms(bool screen)
{
    const int viewport = GetCurrentViewport();
    const ViewportTransform* v = GetViewportTransform(viewport);
    CMatrix identity;
    identity.SetIdentity();
    if (screen) {
        CMatrix pixels;
        pixels.Ortho(0.0f, v->Right - v->X, v->Bottom - v->Y, 0.0f, 0.0f, 1000.0f);
        SetTransform(pDevice, D3DTS_WORLD, identity);
        SetTransform(pDevice, D3DTS_VIEW, identity);
        SetTransform(pDevice, D3DTS_PROJECTION, DeviceProjection(pixels));
    } else {
        SetTransform(pDevice, D3DTS_WORLD, GetTopMatrix());
        SetTransform(pDevice, D3DTS_VIEW, v->Camera);
        SetTransform(pDevice, D3DTS_PROJECTION, DeviceProjection(v->Projection));
    }
    pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    pDevice->SetRenderState(D3DRS_ZENABLE, screen ? FALSE : TRUE);
    pDevice->SetTexture(0, nullptr);
    pDevice->SetFVF(kFlatFVF);
}

void CRenderDevice::DrawScreenRect(float x0, float y0, float x1, float y1, D3DCOLOR colour)
{
    if (!pDevice || CurrentLayer < 0)
        return;
    SetTransforms(true);
    const FlatVertex v[6] = {{x0, y0, 0, colour}, {x1, y0, 0, colour}, {x0, y1, 0, colour},
                             {x1, y0, 0, colour}, {x1, y1, 0, colour}, {x0, y1, 0, colour}};
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(FlatVertex));
}

void CRenderDevice::DrawWorldQuad(const CVector& c, float half, D3DCOLOR colour)
{
    if (!pDevice || CurrentLayer < 0)
        return;
    SetTransforms(false);
    const float x0 = c.x - half, x1 = c.x + half, y0 = c.y - half, y1 = c.y + half;
    const FlatVertex v[6] = {{x0, y0, c.z, colour}, {x1, y0, c.z, colour}, {x0, y1, c.z, colour},
                             {x1, y0, c.z, colour}, {x1, y1, c.z, colour}, {x0, y1, c.z, colour}};
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(FlatVertex));
}
