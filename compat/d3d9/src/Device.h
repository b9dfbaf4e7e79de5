#pragma once
// The software device: state setters, resource creation, presentation and the draw calls,
// which run the vertex stage, clip and rasterize into the current render target. Draws are
// recorded into a raster batch that the drawing thread and MG_RASTER_THREADS worker threads
// cover tile by tile (one thread per core in all when unset, 0 to cover every primitive at once
// on the drawing thread);
// whatever reads or replaces what the draws write flushes the batch first. A device created
// with D3DCREATE_MULTITHREADED serialises its calls, and its resources' locks, on one mutex.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <d3d9_fake_adapter.h>

#include "ComObject.h"
#include "DeviceState.h"
#include "RasterBatch.h"
#include "Rasterizer.h"
#include "Surface.h"
#include "VertexProcessor.h"

namespace d3d9sw {

class Direct3D9;

class Device : public ComObject<IDirect3DDevice9> {
public:
    // Null when the presentation parameters cannot be honoured.
    static Device* Create(Direct3D9* parent, HWND window, DWORD behaviour, D3DPRESENT_PARAMETERS& parameters);
    ~Device() override;

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const RGNDATA* pDirtyRegion) override;
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer) override;
    void SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override;
    void GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override;

    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
    HRESULT GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) override;
    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                 UINT NumVertices, UINT startIndex, UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                   UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                   const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                    IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetFVF(DWORD FVF) override;
    HRESULT GetFVF(DWORD* pFVF) override;
    HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
    HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override;
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

    // Covers every recorded draw, so that their pixels can be read or their resources changed.
    void Flush();
    // Holds the device's mutex while it lives when the device was created multithreaded.
    std::unique_lock<std::recursive_mutex> Guard();
    // The raster workers MG_RASTER_THREADS asks for beside the drawing thread; when unset, one
    // thread per core in all.
    static int RasterWorkers();

    void SetCooperativeState(FakeAdapter::DeviceState state) { cooperative_ = state; }
    unsigned PresentCount() const { return presents_; }
    unsigned DrawCount() const { return draws_; }
    HWND LastPresentWindow() const { return lastPresentWindow_; }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DDevice9; }

private:
    // One draw call, whichever entry point it came through.
    struct DrawCall {
        D3DPRIMITIVETYPE type;
        UINT primitives;
        StreamView streams[kStreams];
        const uint8_t* indices = nullptr; // null for non-indexed draws
        size_t indexBytes = 0;
        bool index32 = false;
        UINT firstIndex = 0;
        INT baseVertex = 0;
        UINT startVertex = 0;
    };

    Device(Direct3D9* parent, HWND window, DWORD behaviour);
    HRESULT Configure(D3DPRESENT_PARAMETERS& parameters);
    HRESULT ConfigureChecked(D3DPRESENT_PARAMETERS& parameters);
    void ReleaseBindings();
    void FullViewport();
    RECT TargetBounds() const;
    HRESULT Draw(DrawCall& call);
    HRESULT DrawChecked(DrawCall& call);
    bool Layout(std::vector<D3DVERTEXELEMENT9>& layout) const;
    std::vector<IUnknown*> DrawResources() const;
    void StreamViews(StreamView* views) const;

    Direct3D9* parent_;
    HWND window_;
    DWORD behaviour_;
    std::recursive_mutex mutex_;
    bool multithreaded_;
    std::unique_ptr<RasterBatch> batch_; // null: primitives are covered as they are drawn
    D3DPRESENT_PARAMETERS parameters_{};
    D3DDISPLAYMODE displayMode_{};
    bool ownsDisplay_ = false; // full screen: the adapter shows this device's mode
    Surface* backBuffer_ = nullptr;
    Surface* depthStencil_ = nullptr;
    Surface* renderTarget_ = nullptr;
    std::vector<uint32_t> frontBuffer_; // the display, ARGB, display-mode sized
    DeviceState state_;
    D3DGAMMARAMP gamma_{};
    FakeAdapter::DeviceState cooperative_ = FakeAdapter::DeviceState::Operational;
    unsigned presents_ = 0;
    unsigned draws_ = 0;
    HWND lastPresentWindow_ = nullptr;
    bool inScene_ = false;
    // The draw calls' vertex cache and index order, reused from draw to draw.
    std::vector<RasterVertex> shadedVertices_;
    std::vector<uint8_t> vertexStatus_;
    std::vector<int64_t> drawOrder_;
};

} // namespace d3d9sw
