#pragma once
// The game object that owns drawing. Once per frame its Process animates every render,
// re-plots moved renders into the scene tree and draws the frame layer by layer on the render
// device. It is also the engine's front for the device's settings (layers, clear flags,
// render settings, gamma, fade).
#include <windows.h>

#include "core/math/C2DMath.h"
#include "core/math/CVector.h"
#include "engine/object/GObject.h"
#include "engine/render/COctTree.h"
#include "engine/render/CRecordPage.h"
#include "engine/render/CRenderDevice.h"

struct LocationEntry;

class CAnimation;
class CRender;
class CRendResource;

class CRenderer : public GObject {
    DECLARE_GOBJECT(CRenderer, GObject)

    CRenderer();
    ~CRenderer() override;

    bool Process() override;

    // Device. Init is 1 when Direct3D cannot be made.
    int Init(HWND window, unsigned long engineFlags, int value);
    static void Shutdown();
    HWND GetWindow() const { return hWindow; }
    static CRenderDevice& GetDevice() { return Device; }
    unsigned long GetEngineFlags() const { return Device.GetEngineFlags(); }
    unsigned long ChangeFlags(unsigned long flags);
    unsigned long ChangeDisplayMode(unsigned long flags, int) { return ChangeFlags(flags); }
    void GetScreenPixelScale(float& x, float& y) const { Device.GetScreenPixelScale(x, y); }
    // Restores the first window on activation and minimises it otherwise, in full screen.
    void AppStatusChange(int active);
    // Width, height (16 bits each), bits per pixel and the windowed flag of the active mode.
    void GetDisplayModeInfo(unsigned char* out);
    void Validate() {}
    void ToggleRenderOutlines() { RenderOutlines = !RenderOutlines; }
    void ToggleRenderLightReport() { RenderLightReport = !RenderLightReport; }
    int GetRenderOutlines() const { return RenderOutlines; }
    int GetRenderLightReport() const { return RenderLightReport; }
    void SetFogData(...) {}
    // Windows frames may go to; the main window is the first.
    int AddWindow(HWND window) { return Device.AddWindow(window); }
    RECT GetResolution() const;
    int ResizeWindow() { return 1; }

    // Settings.
    void GetRenderSettings(unsigned long& supported, unsigned long& active) const;
    void SetRenderSettings(unsigned long wanted);
    static unsigned long GetRenderMask() { return RenderMask; }
    unsigned long SetBackgroundColour(unsigned long colour);
    float SetGamma(float gamma);
    float GetGamma() const { return Device.GetAppliedGamma(); }
    void SetFade(const CVector4& colour, int mode);
    const CVector4& GetFade(int& mode) const;
    void SetRGBClear(int on) { RGBClear = on; }
    void SetDepthClear(int on) { DepthClear = on; }
    void SetBufferClear(int on) { BufferClear = on; }
    int GetRGBClear() const { return RGBClear; }
    int GetDepthClear() const { return DepthClear; }
    int GetBufferClear() const { return BufferClear; }
    void SetWindowIndex(int index) { Device.SetWindowIndex(index); }
    void SetDecalRate(float rate) { DecalRate = rate; }
    unsigned long GetRollingCount() const { return RollingCount; }
    void SetViewportMaterialIndex(int viewport, unsigned long value);
    // The material variant meshes draw on a viewport; 0 outside 0..7.
    unsigned long GetViewportMaterialIndex(int viewport) const
    {
        return viewport >= 0 && viewport < 8 ? ViewportMaterial[viewport] : 0;
    }

    // Layers; operations on a layer outside the table do nothing.
    void ConfigureLayers(int count);
    void DefineLayer(int layer, unsigned long flags, const fRECT& rect, const CVector4& colour, float depth);
    void DefineLayerPreEffect(int layer, int type, const CVector4& colour);
    void DefineLayerPostEffect(int layer, int type, const CVector4& colour);
    void DefineLayerResourceAlias(int layer, int alias);
    int GetLayerPreEffect(int layer, int& type, CVector4& colour);
    int GetLayerPostEffect(int layer, int& type, CVector4& colour);
    int GetLayerResourceAlias(int layer);
    void EnableLayer(int layer, int on);
    int LayerIsEnabled(int layer);
    // Layer i's frustum of the last pass; null outside the table.
    const ViewFrustum* GetLayerFrustum(int layer) const;

    // Display modes.
    void AddRenderConfigState(const RenderConfigState& state) { Device.AddMode(state); }
    int CountConfigStates() const { return Device.CountModes(); }
    // The current state when the index is out of range.
    void GetRenderConfigState(int index, RenderConfigState& out);
    void CurrentRenderConfigState(RenderConfigState& out);
    bool FindRenderConfigState(RenderConfigState& out, int width, int height, int bitsPerPixel);
    bool SwitchRenderConfigState(RenderConfigState& state) { return Device.SwitchDisplayMode(state); }

    // Drawing outside the frame.
    void RenderThis(CRender* render, int clear);
    void RenderThisBegin();
    void RenderThisEnd();
    void RenderForced(CRender* render);
    void ClearResource(CRendResource* resource);
    static void SortRenders();

    // A pose animation of the resource's current pose with every weight the given one; null
    // when the resource has no channels or the engine heap no room. The skeleton argument
    // receives the resource's skeleton.
    static CAnimation* CreateAnimation(CRendResource* resource, CRendResource*& skeleton, float weight);

    // Terrain height over the world's locations; 0 where no location holds the point. The
    // forms with a normal give the cell's stored normal (straight up where there is none).
    static float GetHeightData(CVector p);
    static float GetHeightData(CVector p, LocationEntry* location);
    static float GetHeightData(CVector p, CVector& normal);
    static float GetHeightData(CVector p, CVector& normal, LocationEntry* location);
    // The first hit fraction of the segment with any location's terrain, -1 for none.
    static float FindIntersection(const CVector& from, const CVector& to, int* cellOut);

    static CRenderer* pThe;
    // The number of the frame being drawn: the rolling count of its Process.
    static unsigned long FrameNumber;
    // The render viewport the layer being drawn shows; CRender::Display draws only those.
    static short CurrentResViewport;

private:
    void Animate();
    void Replot();
    void DrawLayers();
    void MatchFrustumsToLayers();

    static CRenderDevice Device;
    static unsigned long RenderMask;

    HWND hWindow;
    unsigned char FrameByte;
    unsigned long RollingCount;
    float StartTime;
    float DecalRate;
    int Clearing;
    int RGBClear, DepthClear, BufferClear;
    int InitValue;
    int RenderOutlines, RenderLightReport;
    unsigned long SupportedSettings, ActiveSettings;
    unsigned long BackgroundColour;
    CVector4 FadeColour;
    int FadeMode;
    unsigned long ViewportMaterial[8];
    ViewFrustum* pLayerFrustums;
    int FrustumCount;
};

// Changes the engine flags while it lives and restores them when destroyed.
class GRendererConfigurator : public GObject {
    DECLARE_GOBJECT(GRendererConfigurator, GObject)

    GRendererConfigurator();
    ~GRendererConfigurator() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    DWORD Flags;
    DWORD SavedFlags;
};

// Rebuilds the scene tree from the displayed renders after FrameCount frames, then goes.
class GOctTreeBuilder : public GObject {
    DECLARE_GOBJECT(GOctTreeBuilder, GObject)

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    int FrameCount;
};

// What the video player uses of the renderer: whether videos may play, the Direct3D objects
// its allocator-presenter makes surfaces with, the device reset around a video, and drawing a
// frame's texture over the whole back buffer (from the video's streaming thread).
int GetVideosEnabled();
IDirect3D9* GetDirect3D();
IDirect3DDevice9* GetDirect3DDevice();
void ResetDeviceForVideo(bool starting);
void DrawVideoSurface(IUnknown* surface, float uScale, float vScale);
