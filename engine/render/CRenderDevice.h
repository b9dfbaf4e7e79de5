#pragma once
// The render device as the renderer's frame sees it: the layer table, and the frame and layer
// brackets over a Direct3D 9 device. The device's configuration files, shaders and resource
// drawing are built elsewhere; what is here is what a frame needs to clear its layers, draw
// flat-coloured rectangles in screen or world space, present, and capture a screenshot.
#include <d3d9.h>
#include <windows.h>

#include "core/math/CVector.h"

struct RenderLayer {
    int Index;
    short ResourceAlias;
    DWORD Flags;
    float Left, Right, Top, Bottom; // fractions of the screen
    DWORD ClearColour;              // XRGB
    float ClearDepth;
    CVector4 PreEffectColour;
    int PreEffectType; // -1 none
    CVector4 PostEffectColour;
    int PostEffectType; // -1 none

    enum { CLEAR_COLOUR = 0x04, CLEAR_DEPTH = 0x08, ENABLED = 0x10, LAST = 0x20 };
};

class CRenderDevice {
public:
    enum { kBackBufferWidth = 640, kBackBufferHeight = 480 };

    CRenderDevice();
    ~CRenderDevice();

    // False when Direct3D or the device cannot be created.
    bool Init(HWND window);
    void Shutdown();
    IDirect3DDevice9* GetDevice() const { return pDevice; }

    // Layers: operations on a layer outside the table do nothing.
    void ConfigureLayers(int count);
    int GetLayerCount() const { return LayerCount; }
    RenderLayer* GetLayer(int index) { return index >= 0 && index < LayerCount ? &pLayers[index] : nullptr; }

    void BeginFrame();
    // Selects camera viewport `index`, sets its rectangle from the layer's and clears what the
    // layer asks for; a layer outside the table draws nothing.
    void BeginLayer(int index);
    // 1 when a render buffer overflowed and the frame must begin again.
    int EndLayer();
    int EndFrame();
    void PresentFrame(HWND window);

    // A flat rectangle between two corners of the current viewport in virtual-screen pixels
    // (640 by 480, origin top left), at depth 0.
    void DrawScreenRect(float x0, float y0, float x1, float y1, D3DCOLOR colour);
    // A flat square facing the camera's -z, of half size `half` around a point in model space,
    // through the matrix stack top and the current viewport's camera and projection.
    void DrawWorldQuad(const CVector& centre, float half, D3DCOLOR colour);

    // While set, every presented frame is written as "..\PCX_Cap_%06d.tga" beside the data
    // folder.
    void SetScreenshotRequest(int on) { ScreenshotRequest = on; }
    int GetScreenshotCount() const { return ScreenshotCounter; }

private:
    void Capture();
    void SetTransforms(bool screen);

    IDirect3D9* pD3D;
    IDirect3DDevice9* pDevice;
    RenderLayer* pLayers;
    int LayerCount;
    int CurrentLayer;
    int ScreenshotRequest;
    int ScreenshotCounter;
};
