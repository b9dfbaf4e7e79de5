#pragma once
// The render device: the Direct3D 9 device made from the configuration files and the adapter's
// modes, its windows and gamma, the layer table with the frame and layer brackets, presenting
// with lost-device recovery and screenshots, and the video player's hooks.
#include <d3d9.h>
#include <windows.h>

#include <vector>

#include "core/math/CVector.h"
#include "engine/render/CRecordPage.h"
#include "engine/render/RenderSettings.h"
#include "engine/render/RenderShaders.h"

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

struct Material;
class CLightSet;

// A vertex of a three-texture terrain batch: position, normal, colour and three coordinate
// pairs, the layers in order without gaps.
struct TerrainVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR Colour;
    float uv[3][2];
};
static_assert(sizeof(TerrainVertex) == 52, "TerrainVertex is the 52-byte three-texture vertex");

// A frame's block of terrain vertices and indices, locked while it is filled.
struct TerrainBlock {
    unsigned short Triangles;
    unsigned short Vertices;
    unsigned short* pIndexWrite;
    TerrainVertex* pVertexWrite;
    IDirect3DVertexBuffer9* pVertices;
    IDirect3DIndexBuffer9* pIndices;
};

// What a terrain batch draws with: one to three layers (base, then the top layer and the
// decal that the quads have), each a material and a texture.
struct TerrainBatchSetup {
    int Layers;
    const Material* Materials[3];
    IDirect3DTexture9* Textures[3];
    bool Blend;
    const CLightSet* Lights;
};

// One window frames may be presented into.
struct WindowData {
    HWND Window;
    RECT Resolution; // 0, 0, -1, -1 until the device fills it
    int Value;
};

class CRenderDevice {
public:
    // The virtual screen every layer rectangle and camera viewport is measured on.
    enum { kBackBufferWidth = 640, kBackBufferHeight = 480 };
    // Engine flags of Init and ChangeFlags.
    enum : unsigned long {
        FLAG_WINDOWED = 0x01,
        FLAG_WINDOWED_ONE_PASS = 0x02,
        FLAG_FOG = 0x04,
        FLAG_POINT_LIGHTS = 0x08,
        FLAG_ADD_SMOOTH = 0x10,
    };

    CRenderDevice();
    ~CRenderDevice();

    // Reads "..\render.cfg" and "..\overrides.cfg" of the data folder, chooses the settings and
    // creates the device. 1 when Direct3D cannot be made, else 0; no usable mode or device is
    // a fatal error.
    int Init(HWND window, unsigned long flags);
    void Shutdown();
    // Rebuilds the shaders and render states for new engine flags; 1.
    int SetRenderFlags(unsigned long flags);
    unsigned long GetEngineFlags() const { return EngineFlags; }
    // Resets the device into a mode (its Windowable field is the windowed flag); false, with
    // nothing changed, when the mode cannot be used.
    bool SwitchDisplayMode(const RenderConfigState& mode);
    bool ToggleWindowed();
    IDirect3D9* GetD3D() const { return pD3D; }
    IDirect3DDevice9* GetDevice() const { return pDevice; }
    const RenderSettings& GetActiveSettings() const { return Active; }
    const RenderSettings& GetRequestedSettings() const { return Requested; }
    const RenderSwitches& GetSwitches() const { return Switches; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return PresentParams; }
    IDirect3DTexture9* GetWhiteTexture() const { return pWhiteTexture; }
    // 640 over the active width and 480 over the active height.
    void GetScreenPixelScale(float& x, float& y) const
    {
        x = PixelScaleX;
        y = PixelScaleY;
    }
    int VideosEnabled() const { return Active.Videos; }
    unsigned long GetFreeMemory() const;

    // Display modes of the adapter, in the order they were found.
    void AddMode(const RenderConfigState& mode);
    int CountModes() const { return ModeCount; }
    const RenderConfigState* GetMode(int index) const
    {
        return index >= 0 && index < ModeCount ? ppModes[index] : nullptr;
    }
    void FreeModes();

    // Windows frames may be presented into; the main window is the first.
    int AddWindow(HWND window);
    int CountWindows() const { return int(Windows.size()); }
    const WindowData* GetWindow(int index) const
    {
        return index >= 0 && index < CountWindows() ? &Windows[size_t(index)] : nullptr;
    }
    void SetWindowIndex(int index) { WindowIndex = index; }
    void PresentToWindow(int index);

    // Gamma asked for by the renderer; applied at the next frame.
    void SetGamma(float gamma) { RequestedGamma = gamma; }
    float GetAppliedGamma() const { return AppliedGamma; }
    const D3DGAMMARAMP& GetGammaRamp() const { return Ramp; }

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
    // Presents into the current window, recovering a device that needs a reset, and writes a
    // screenshot while one is requested.
    void PresentFrame();
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

    // The video player's hooks: 1 resets the device without a depth buffer, 0 resets it back;
    // a video frame is a texture drawn over the whole back buffer and presented.
    void ResetForVideo(int videoMode);
    void PresentVideoFrame(IUnknown* surface, float uScale, float vScale);

    // The shaders of the current engine flags and the state every draw starts from.
    void BuildShaders();
    void ReleaseShaders();
    void SetDefaultRenderStates();
    IDirect3DVertexShader9* GetShader(int slot) const
    {
        return slot >= 0 && slot < kShaderSlotRoom ? pShaders[slot] : nullptr;
    }
    // Sets a slot's shader and declaration unless it is current; false for an empty slot.
    bool SelectShader(int slot);

    // The frame's render buffers. Each allocation counts what it asked for and returns null
    // when it does not fit; the layer then restarts the frame with larger buffers.
    void AllocRenderBuffers();
    void FreeRenderBuffers();
    void* AllocState(unsigned long bytes);
    DrawEntry* AllocDraw(unsigned long count);
    EffectEntry* AllocEffect(unsigned long count);
    DecalEntry* AllocDecal(unsigned long count);
    const RenderBuffers& GetRenderBuffers() const { return Buffers; }
    // A draw-list entry with a draw state of the defaults; null when a buffer is full.
    DrawState* NewDrawState(unsigned long sortKey);
    // A draw state of the defaults in the state arena, the matrices of the current viewport.
    DrawState* NewState();

    // Terrain: a draw state of a three-texture batch translated to the map's origin, null when
    // the state arena is full; and the frame's next locked block of 128 vertices and 192
    // indices, null when the arena is full or the device has no room.
    DrawState* BeginTerrainBatch(const TerrainBatchSetup& setup, float tileWidth, float originX, float originY);
    TerrainBlock* NextTerrainBlock();
    enum { kTerrainBlockVertices = 128, kTerrainBlockIndices = 192 };

    // Ends an open scene and sets the viewport to a part of the back buffer.
    void SetViewportFraction(float left, float right, float top, float bottom);
    // A full-screen colour blended over the target by one of six modes.
    void DrawLayerEffect(int mode, const CVector4& colour);
    // How many draw entries, effect entries and restarts the last frame played.
    int GetLastDrawCount() const { return DrawsPlayed; }
    int GetRestartCount() const { return Restarts; }

private:
    void Capture();
    void DrawOverlays();
    void SetTransforms(bool screen);
    void BuildPresentParameters(const RenderSettings& settings);
    void MoveMainWindow(const RenderSettings& settings);
    void CreateDevice();
    bool CheckShaderVersion(const char* failure);
    void AfterReset();
    bool ResetInto(const RenderSettings& requested);
    void RefreshPixelScale();
    void ClearAndPresent(int times);
    void UpdateGammaRamp();
    void AssembleShader(int slot, const std::string& text);
    void ClearStateCaches();
    void RewindBuffers();
    bool GrowOverflowedBuffers();
    void PlayLists();
    void ApplyDrawState(const DrawState& state);
    void ApplyBlend(int blend);
    void ApplyCull(int cull);
    void DrawMesh(const DrawState& state);
    void DrawOutline(const DrawState& state);
    void DrawImmediate(const DrawState& state, const void* vertices);
    // Sprite quads, immediate primitives and particle quads from the state arena.
    void DrawUserQuad(const DrawState& state, const void* vertices);
    void DrawPrimitiveBlock(const DrawState& state, const void* block);
    void DrawParticleItem(const DrawState& state, const void* vertices);
    void DrawThreeTexture(const DrawState& state, const void* block);
    // The layer's terrain decals, sorted by their own order, each piece under its light set.
    void PlayDecalList();
    void SetTerrainStages(const DrawState& state, int first, int count);
    void ReleaseTerrainBuffers();
    void DrawUserPointer(const DrawState& state, D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride);
    void SetLayerProjection(int layer);

    IDirect3D9* pD3D;
    IDirect3DDevice9* pDevice;
    IDirect3DSurface9* pBackBuffer;
    IDirect3DTexture9* pWhiteTexture;
    HWND hMainWindow;
    unsigned long EngineFlags;
    bool SoftwareProcessing;
    RenderSettings Requested;
    RenderSettings Active;
    RenderSwitches Switches;
    D3DDISPLAYMODE Desktop;
    D3DPRESENT_PARAMETERS PresentParams;
    float PixelScaleX, PixelScaleY;
    CRecordPage ModePool;
    RenderConfigState** ppModes;
    int ModeCount;
    std::vector<WindowData> Windows;
    int WindowIndex;
    float RequestedGamma, AppliedGamma, RampGamma, RampContrast, RampBrightness;
    D3DGAMMARAMP Ramp;
    IDirect3DVertexShader9* pShaders[kShaderSlotRoom];
    IDirect3DVertexDeclaration9* pDeclarations[kShaderSlotRoom];
    RenderBuffers Buffers;
    // The last value set on the device, so sorted draws change state only at boundaries.
    int CurrentShader;
    int CurrentBlend;
    int CurrentCull;
    IDirect3DTexture9* CurrentTexture;
    // The render flags whose device states are set; kFlagsUnknown after the caches were cleared.
    unsigned long CurrentFlags;
    static const unsigned long kFlagsUnknown = ~0UL;
    int CurrentKind;
    DWORD CurrentAlphaRef;
    const DrawState* pLastState;
    D3DCOLOR FogColour;
    RECT LastViewport;
    CMatrix LayerProjection;
    unsigned long ImmediateOrder;
    int DrawsPlayed;
    int Restarts;
    bool InScene;

    // Terrain vertex and index buffer pairs, reused from the first every frame.
    std::vector<std::pair<IDirect3DVertexBuffer9*, IDirect3DIndexBuffer9*>> TerrainBuffers;
    size_t TerrainBuffersUsed;

    RenderLayer* pLayers;
    int LayerCount;
    int CurrentLayer;
    int ScreenshotRequest;
    int ScreenshotCounter;
};

// Prints the text of a Direct3D result and returns the engine heap's free bytes.
unsigned long DescribeD3DError(HRESULT code);
