#include "Device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "Buffers.h"
#include "DeviceSync.h"
#include "Direct3D9.h"
#include "PixelFormat.h"
#include "Texture.h"
#include "VertexDeclaration.h"
#include "VertexShader.h"

extern "C" void MgPresentPixels(HWND window, const void* pixels, int width, int height, int pitch)
    __attribute__((weak));

namespace d3d9sw {

namespace {

// The size a windowed device takes when the parameters leave it to the window.
constexpr UINT kDefaultWindowWidth = 640;
constexpr UINT kDefaultWindowHeight = 480;

template <class T> T* Ours(IUnknown* object) { return object ? dynamic_cast<T*>(object) : nullptr; }

template <class I, class T> HRESULT Hand(T* object, I** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = object;
    if (object)
        object->AddRef();
    return D3D_OK;
}

} // namespace

Device::Device(Direct3D9* parent, HWND window, DWORD behaviour)
    : parent_(parent), window_(window), behaviour_(behaviour), multithreaded_(behaviour & D3DCREATE_MULTITHREADED)
{
    parent_->AddRef();
    // The drawing thread covers tiles beside the workers.
    if (int workers = RasterWorkers())
        batch_ = std::make_unique<RasterBatch>(workers + 1);
    for (int i = 0; i < 256; ++i) {
        WORD level = WORD(i * 257);
        gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = level;
    }
}

Device* Device::Create(Direct3D9* parent, HWND window, DWORD behaviour, D3DPRESENT_PARAMETERS& parameters)
{
    Device* device = new Device(parent, window, behaviour);
    if (FAILED(device->Configure(parameters))) {
        device->Release();
        return nullptr;
    }
    return device;
}

Device::~Device()
{
    Flush();
    if (ownsDisplay_)
        parent_->SetFullScreenMode(nullptr);
    ReleaseBindings();
    SafeRelease(renderTarget_);
    SafeRelease(backBuffer_);
    SafeRelease(depthStencil_);
    parent_->Release();
}

int Device::RasterWorkers()
{
    constexpr long kMostWorkers = 64;
    const char* text = std::getenv("MG_RASTER_THREADS");
    if (text && *text) {
        char* end = nullptr;
        long workers = std::strtol(text, &end, 10);
        if (*end == '\0' && workers >= 0)
            return int(std::min(workers, kMostWorkers));
    }
    // One thread per core, the drawing thread among them.
    return int(std::clamp<long>(long(std::thread::hardware_concurrency()) - 1, 0, kMostWorkers));
}

void Device::Flush()
{
    auto guard = Guard();
    if (batch_ && !batch_->Empty())
        batch_->Flush();
}

std::unique_lock<std::recursive_mutex> Device::Guard()
{
    return multithreaded_ ? std::unique_lock<std::recursive_mutex>(mutex_) : std::unique_lock<std::recursive_mutex>();
}

std::unique_lock<std::recursive_mutex> GuardDevice(IDirect3DDevice9* device)
{
    Device* ours = dynamic_cast<Device*>(device);
    return ours ? ours->Guard() : std::unique_lock<std::recursive_mutex>();
}

void FlushDevice(IDirect3DDevice9* device)
{
    if (Device* ours = dynamic_cast<Device*>(device))
        ours->Flush();
}

void Device::ReleaseBindings()
{
    for (Texture*& t : state_.textures)
        SafeRelease(t);
    for (StreamSource& s : state_.streams) {
        SafeRelease(s.buffer);
        s = StreamSource();
    }
    SafeRelease(state_.indices);
    SafeRelease(state_.declaration);
    SafeRelease(state_.shader);
    state_.fvf = 0;
}

// Builds the swap chain for the parameters; on failure nothing of the old one is lost.
HRESULT Device::Configure(D3DPRESENT_PARAMETERS& p)
{
    Flush();
    try {
        return ConfigureChecked(p);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Device::ConfigureChecked(D3DPRESENT_PARAMETERS& p)
{
    const FakeAdapter::Config& adapter = FakeAdapter::Current();
    if (p.BackBufferCount > 1 || p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (p.Windowed) {
        if (p.BackBufferWidth == 0)
            p.BackBufferWidth = kDefaultWindowWidth;
        if (p.BackBufferHeight == 0)
            p.BackBufferHeight = kDefaultWindowHeight;
        if (p.BackBufferFormat == D3DFMT_UNKNOWN)
            p.BackBufferFormat = adapter.Desktop.Format;
    } else {
        bool listed = std::any_of(adapter.Modes.begin(), adapter.Modes.end(), [&](const D3DDISPLAYMODE& m) {
            return m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight && m.Format == p.BackBufferFormat;
        });
        if (!listed)
            return D3DERR_INVALIDCALL;
    }
    if (!Direct3D9::IsDisplayFormat(p.BackBufferFormat) || p.BackBufferWidth > 8192 || p.BackBufferHeight > 8192 ||
        p.BackBufferWidth == 0 || p.BackBufferHeight == 0)
        return D3DERR_INVALIDCALL;
    if (!parent_->AcceptsMultiSample(p.MultiSampleType))
        return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !parent_->AcceptsDepth(p.AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;

    Surface* back = new Surface(this, p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat, D3DUSAGE_RENDERTARGET,
                                D3DPOOL_DEFAULT);
    Surface* depth = p.EnableAutoDepthStencil
                         ? new Surface(this, p.BackBufferWidth, p.BackBufferHeight, p.AutoDepthStencilFormat,
                                       D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT)
                         : nullptr;
    SafeRelease(renderTarget_);
    SafeRelease(backBuffer_);
    SafeRelease(depthStencil_);
    backBuffer_ = back;
    depthStencil_ = depth;
    Assign(renderTarget_, backBuffer_);
    parameters_ = p;
    displayMode_ =
        p.Windowed ? adapter.Desktop : D3DDISPLAYMODE{p.BackBufferWidth, p.BackBufferHeight, 60, p.BackBufferFormat};
    ownsDisplay_ = !p.Windowed;
    parent_->SetFullScreenMode(ownsDisplay_ ? &displayMode_ : nullptr);
    frontBuffer_.assign(size_t(displayMode_.Width) * displayMode_.Height, 0xFF000000u);

    ReleaseBindings();
    state_.SetDefaults(p.EnableAutoDepthStencil != FALSE);
    FullViewport();
    inScene_ = false;
    cooperative_ = FakeAdapter::DeviceState::Operational;
    return D3D_OK;
}

void Device::FullViewport() { state_.viewport = {0, 0, renderTarget_->Width(), renderTarget_->Height(), 0.0f, 1.0f}; }

HRESULT Device::TestCooperativeLevel()
{
    auto guard = Guard();
    switch (cooperative_) {
    case FakeAdapter::DeviceState::Lost:
        return D3DERR_DEVICELOST;
    case FakeAdapter::DeviceState::NotReset:
        return D3DERR_DEVICENOTRESET;
    default:
        return D3D_OK;
    }
}

HRESULT Device::GetDirect3D(IDirect3D9** ppD3D9) { return Hand(static_cast<IDirect3D9*>(parent_), ppD3D9); }

HRESULT Device::GetDeviceCaps(D3DCAPS9* pCaps) { return parent_->GetDeviceCaps(0, D3DDEVTYPE_HAL, pCaps); }

HRESULT Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode)
{
    auto guard = Guard();
    if (iSwapChain != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    *pMode = displayMode_;
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters)
{
    auto guard = Guard();
    if (!pPresentationParameters)
        return D3DERR_INVALIDCALL;
    FakeAdapter::Config& adapter = FakeAdapter::Current();
    if (adapter.FailResets > 0) {
        --adapter.FailResets;
        cooperative_ = FakeAdapter::DeviceState::NotReset;
        return D3DERR_INVALIDCALL;
    }
    if (cooperative_ == FakeAdapter::DeviceState::Lost)
        return D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS copy = *pPresentationParameters;
    HRESULT result = Configure(copy);
    if (FAILED(result)) {
        cooperative_ = FakeAdapter::DeviceState::NotReset;
        return result;
    }
    *pPresentationParameters = copy;
    return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND hDestWindowOverride, const RGNDATA*)
{
    auto guard = Guard();
    Flush();
    if (cooperative_ != FakeAdapter::DeviceState::Operational)
        return D3DERR_DEVICELOST;
    // The back buffer shows at the top left of the display.
    UINT width = std::min(backBuffer_->Width(), displayMode_.Width);
    UINT height = std::min(backBuffer_->Height(), displayMode_.Height);
    // Bands of rows on the raster threads: a frame's last serial step would otherwise hold
    // back the threads' gain.
    constexpr UINT kBandRows = 16;
    auto band = [&](size_t index) {
        for (UINT y = UINT(index) * kBandRows; y < std::min(height, UINT(index + 1) * kBandRows); ++y)
            DecodeRow(backBuffer_->Format(), backBuffer_->Row(y), &frontBuffer_[size_t(y) * displayMode_.Width], width);
    };
    size_t bands = (height + kBandRows - 1) / kBandRows;
    if (batch_) {
        batch_->ForEach(bands, band);
    } else {
        for (size_t i = 0; i < bands; ++i)
            band(i);
    }
    ++presents_;
    lastPresentWindow_ = hDestWindowOverride ? hDestWindowOverride : parameters_.hDeviceWindow;
    if (!lastPresentWindow_)
        lastPresentWindow_ = window_;
    // A window shown on a display gets the frame too (the window layer may be absent: tests of
    // this layer alone build without it).
    if (MgPresentPixels && lastPresentWindow_)
        MgPresentPixels(lastPresentWindow_, frontBuffer_.data(), int(width), int(height),
                        int(displayMode_.Width * sizeof(uint32_t)));
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE, IDirect3DSurface9** ppBackBuffer)
{
    auto guard = Guard();
    if (iSwapChain != 0 || iBackBuffer != 0)
        return D3DERR_INVALIDCALL;
    return Hand(static_cast<IDirect3DSurface9*>(backBuffer_), ppBackBuffer);
}

void Device::SetGammaRamp(UINT iSwapChain, DWORD, const D3DGAMMARAMP* pRamp)
{
    auto guard = Guard();
    if (iSwapChain == 0 && pRamp)
        gamma_ = *pRamp;
}

void Device::GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp)
{
    auto guard = Guard();
    if (iSwapChain == 0 && pRamp)
        *pRamp = gamma_;
}

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DTexture9** ppTexture, HANDLE*)
{
    auto guard = Guard();
    if (!ppTexture)
        return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    FakeAdapter::Config& adapter = FakeAdapter::Current();
    if (Width == 0 || Height == 0 || Width > adapter.Caps.MaxTextureWidth || Height > adapter.Caps.MaxTextureHeight ||
        !Direct3D9::IsTextureFormat(Format) || Pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if (adapter.FailTextures > 0) {
        --adapter.FailTextures;
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    try {
        *ppTexture = new Texture(this, Width, Height, Levels, Usage, Format, Pool);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD, DWORD, D3DPOOL Pool, IDirect3DVertexBuffer9** ppVertexBuffer,
                                   HANDLE*)
{
    auto guard = Guard();
    if (!ppVertexBuffer || Length == 0 || Pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    try {
        *ppVertexBuffer = new VertexBuffer(this, Length);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE*)
{
    auto guard = Guard();
    if (!ppIndexBuffer || Length == 0 || Pool > D3DPOOL_SCRATCH ||
        (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    try {
        *ppIndexBuffer = new IndexBuffer(this, Length, Format);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DSurface9** ppSurface, HANDLE*)
{
    auto guard = Guard();
    if (!ppSurface || Width == 0 || Height == 0 || Width > 8192 || Height > 8192 || !IsColourFormat(Format) ||
        Pool == D3DPOOL_MANAGED || Pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    try {
        *ppSurface = new Surface(this, Width, Height, Format, 0, Pool);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface)
{
    auto guard = Guard();
    Surface* dest = Ours<Surface>(pDestSurface);
    if (iSwapChain != 0 || !dest || dest->Format() != D3DFMT_A8R8G8B8 || dest->Width() != displayMode_.Width ||
        dest->Height() != displayMode_.Height || dest->IsLocked())
        return D3DERR_INVALIDCALL;
    Flush();
    for (UINT y = 0; y < dest->Height(); ++y)
        std::memcpy(dest->Row(y), &frontBuffer_[size_t(y) * displayMode_.Width], dest->Width() * sizeof(uint32_t));
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget)
{
    auto guard = Guard();
    Surface* target = Ours<Surface>(pRenderTarget);
    if (RenderTargetIndex != 0 || !target || !IsColourFormat(target->Format()))
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    target->GetDesc(&desc);
    if (!(desc.Usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    Assign(renderTarget_, target);
    FullViewport();
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget)
{
    auto guard = Guard();
    if (RenderTargetIndex != 0)
        return D3DERR_INVALIDCALL;
    return Hand(static_cast<IDirect3DSurface9*>(renderTarget_), ppRenderTarget);
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface)
{
    auto guard = Guard();
    if (!depthStencil_) {
        if (ppZStencilSurface)
            *ppZStencilSurface = nullptr;
        return D3DERR_NOTFOUND;
    }
    return Hand(static_cast<IDirect3DSurface9*>(depthStencil_), ppZStencilSurface);
}

HRESULT Device::BeginScene()
{
    auto guard = Guard();
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    auto guard = Guard();
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

RECT Device::TargetBounds() const
{
    const D3DVIEWPORT9& vp = state_.viewport;
    LONG right = LONG(std::min<uint64_t>(uint64_t(vp.X) + vp.Width, renderTarget_->Width()));
    LONG bottom = LONG(std::min<uint64_t>(uint64_t(vp.Y) + vp.Height, renderTarget_->Height()));
    if (depthStencil_) {
        right = std::min<LONG>(right, LONG(depthStencil_->Width()));
        bottom = std::min<LONG>(bottom, LONG(depthStencil_->Height()));
    }
    return RECT{LONG(vp.X), LONG(vp.Y), right, bottom};
}

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil)
{
    auto guard = Guard();
    if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthStencil_)
        return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !HasStencil(depthStencil_->Format()))
        return D3DERR_INVALIDCALL;
    if (Count > 0 && !pRects)
        return D3DERR_INVALIDCALL;
    const RECT bounds = TargetBounds();
    // The fill runs when the batch reaches it, so it holds everything it writes by value.
    Surface* target = renderTarget_;
    Surface* depthStencil = depthStencil_;
    uint8_t encoded[4];
    EncodePixel(target->Format(), Color, encoded);
    const unsigned bytes = ColourBytes(target->Format());
    const float depth = std::max(0.0f, std::min(1.0f, Z));
    auto fill = [=](const RECT& r) {
        for (LONG y = r.top; y < r.bottom; ++y) {
            if (Flags & D3DCLEAR_TARGET) {
                uint8_t* row = target->Row(UINT(y));
                if (bytes == 4) {
                    // Whole words for the usual 32-bit targets: one store per pixel.
                    uint32_t word;
                    std::memcpy(&word, encoded, 4);
                    uint32_t* pixels = reinterpret_cast<uint32_t*>(row);
                    std::fill(pixels + r.left, pixels + r.right, word);
                } else {
                    for (LONG x = r.left; x < r.right; ++x)
                        std::memcpy(row + size_t(x) * bytes, encoded, bytes);
                }
            }
            if (Flags & D3DCLEAR_ZBUFFER)
                std::fill(depthStencil->DepthRow(UINT(y)) + r.left, depthStencil->DepthRow(UINT(y)) + r.right, depth);
            uint8_t* stencil = (Flags & D3DCLEAR_STENCIL) ? depthStencil->StencilRow(UINT(y)) : nullptr;
            if (stencil)
                std::fill(stencil + r.left, stencil + r.right, uint8_t(Stencil));
        }
    };
    std::vector<IUnknown*> keep{target};
    if (depthStencil)
        keep.push_back(depthStencil);
    // Clears take their place among the recorded draws and are shared out by tile like them.
    auto clear = [&](const RECT& area) {
        RECT r{std::max(area.left, bounds.left), std::max(area.top, bounds.top), std::min(area.right, bounds.right),
               std::min(area.bottom, bounds.bottom)};
        // A rectangle reversed or wholly outside the target clears nothing.
        if (r.left >= r.right || r.top >= r.bottom)
            return;
        if (batch_)
            batch_->Fill(fill, r, keep);
        else
            fill(r);
    };
    if (Count == 0) {
        clear(bounds);
    } else {
        for (DWORD i = 0; i < Count; ++i)
            clear(RECT{pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2});
    }
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix)
{
    auto guard = Guard();
    if (!pMatrix)
        return D3DERR_INVALIDCALL;
    switch (DWORD(State)) {
    case D3DTS_VIEW:
        state_.view = *pMatrix;
        return D3D_OK;
    case D3DTS_PROJECTION:
        state_.projection = *pMatrix;
        return D3D_OK;
    case D3DTS_WORLD:
        state_.world = *pMatrix;
        return D3D_OK;
    default:
        return (State >= D3DTS_TEXTURE0 && State <= D3DTS_TEXTURE7) ? D3D_OK : D3DERR_INVALIDCALL;
    }
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix)
{
    auto guard = Guard();
    if (!pMatrix)
        return D3DERR_INVALIDCALL;
    switch (DWORD(State)) {
    case D3DTS_VIEW:
        *pMatrix = state_.view;
        return D3D_OK;
    case D3DTS_PROJECTION:
        *pMatrix = state_.projection;
        return D3D_OK;
    case D3DTS_WORLD:
        *pMatrix = state_.world;
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* pViewport)
{
    auto guard = Guard();
    if (!pViewport || pViewport->Width == 0 || pViewport->Height == 0 ||
        uint64_t(pViewport->X) + pViewport->Width > renderTarget_->Width() ||
        uint64_t(pViewport->Y) + pViewport->Height > renderTarget_->Height() || !(pViewport->MinZ >= 0.0f) ||
        !(pViewport->MaxZ <= 1.0f) || pViewport->MinZ > pViewport->MaxZ)
        return D3DERR_INVALIDCALL;
    state_.viewport = *pViewport;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport)
{
    auto guard = Guard();
    if (!pViewport)
        return D3DERR_INVALIDCALL;
    *pViewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial)
{
    auto guard = Guard();
    if (!pMaterial)
        return D3DERR_INVALIDCALL;
    state_.material = *pMaterial;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial)
{
    auto guard = Guard();
    if (!pMaterial)
        return D3DERR_INVALIDCALL;
    *pMaterial = state_.material;
    return D3D_OK;
}

namespace {

// A light enabled before it was ever set: white, directional, shining along +z.
D3DLIGHT9 DefaultLight()
{
    D3DLIGHT9 light;
    std::memset(&light, 0, sizeof light);
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

} // namespace

HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9* pLight)
{
    auto guard = Guard();
    if (!pLight || Index >= kMaxLights || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (state_.lights.size() <= Index)
        state_.lights.resize(Index + 1, LightSlot{DefaultLight(), false});
    state_.lights[Index].light = *pLight;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight)
{
    auto guard = Guard();
    if (!pLight || Index >= state_.lights.size())
        return D3DERR_INVALIDCALL;
    *pLight = state_.lights[Index].light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable)
{
    auto guard = Guard();
    if (Index >= kMaxLights)
        return D3DERR_INVALIDCALL;
    if (state_.lights.size() <= Index)
        state_.lights.resize(Index + 1, LightSlot{DefaultLight(), false});
    state_.lights[Index].enabled = Enable != FALSE;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD Index, BOOL* pEnable)
{
    auto guard = Guard();
    if (!pEnable || Index >= state_.lights.size())
        return D3DERR_INVALIDCALL;
    *pEnable = state_.lights[Index].enabled;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    auto guard = Guard();
    if (DWORD(State) >= D3DRS_MAX)
        return D3DERR_INVALIDCALL;
    state_.render[State] = Value;
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    auto guard = Guard();
    if (!pValue || DWORD(State) >= D3DRS_MAX)
        return D3DERR_INVALIDCALL;
    *pValue = state_.render[State];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    auto guard = Guard();
    if (Stage >= DWORD(kSamplers))
        return D3DERR_INVALIDCALL;
    return Hand(static_cast<IDirect3DBaseTexture9*>(state_.textures[Stage]), ppTexture);
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    auto guard = Guard();
    Texture* texture = Ours<Texture>(pTexture);
    if (Stage >= DWORD(kSamplers) || (pTexture && !texture))
        return D3DERR_INVALIDCALL;
    Assign(state_.textures[Stage], texture);
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue)
{
    auto guard = Guard();
    if (!pValue || Stage >= DWORD(kStages) || DWORD(Type) >= D3DTSS_MAX)
        return D3DERR_INVALIDCALL;
    *pValue = state_.stage[Stage][Type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value)
{
    auto guard = Guard();
    if (Stage >= DWORD(kStages) || DWORD(Type) >= D3DTSS_MAX)
        return D3DERR_INVALIDCALL;
    state_.stage[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    auto guard = Guard();
    if (!pValue || Sampler >= DWORD(kSamplers) || DWORD(Type) >= D3DSAMP_MAX)
        return D3DERR_INVALIDCALL;
    *pValue = state_.sampler[Sampler][Type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    auto guard = Guard();
    if (Sampler >= DWORD(kSamplers) || DWORD(Type) >= D3DSAMP_MAX)
        return D3DERR_INVALIDCALL;
    state_.sampler[Sampler][Type] = Value;
    return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements, IDirect3DVertexDeclaration9** ppDecl)
{
    auto guard = Guard();
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!pVertexElements || !ppDecl || !VertexDeclaration::Parse(pVertexElements, elements))
        return D3DERR_INVALIDCALL;
    *ppDecl = new VertexDeclaration(this, std::move(elements));
    return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    auto guard = Guard();
    VertexDeclaration* declaration = Ours<VertexDeclaration>(pDecl);
    if (pDecl && !declaration)
        return D3DERR_INVALIDCALL;
    Assign(state_.declaration, declaration);
    state_.fvf = 0;
    return D3D_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    auto guard = Guard();
    return Hand(static_cast<IDirect3DVertexDeclaration9*>(state_.declaration), ppDecl);
}

HRESULT Device::SetFVF(DWORD FVF)
{
    auto guard = Guard();
    SafeRelease(state_.declaration);
    state_.fvf = FVF;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF)
{
    auto guard = Guard();
    if (!pFVF)
        return D3DERR_INVALIDCALL;
    *pFVF = state_.fvf;
    return D3D_OK;
}

HRESULT Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader)
{
    auto guard = Guard();
    if (!ppShader)
        return D3DERR_INVALIDCALL;
    *ppShader = VertexShader::Create(this, pFunction);
    return *ppShader ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    auto guard = Guard();
    VertexShader* shader = Ours<VertexShader>(pShader);
    if (pShader && !shader)
        return D3DERR_INVALIDCALL;
    Assign(state_.shader, shader);
    return D3D_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** ppShader)
{
    auto guard = Guard();
    return Hand(static_cast<IDirect3DVertexShader9*>(state_.shader), ppShader);
}

HRESULT Device::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    auto guard = Guard();
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister)
        return D3DERR_INVALIDCALL;
    std::memcpy(state_.constants[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

HRESULT Device::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    auto guard = Guard();
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister)
        return D3DERR_INVALIDCALL;
    std::memcpy(pConstantData, state_.constants[StartRegister], sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes, UINT Stride)
{
    auto guard = Guard();
    VertexBuffer* buffer = Ours<VertexBuffer>(pStreamData);
    if (StreamNumber >= UINT(kStreams) || (pStreamData && !buffer))
        return D3DERR_INVALIDCALL;
    Assign(state_.streams[StreamNumber].buffer, buffer);
    state_.streams[StreamNumber].offset = OffsetInBytes;
    state_.streams[StreamNumber].stride = Stride;
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                UINT* pStride)
{
    auto guard = Guard();
    if (StreamNumber >= UINT(kStreams) || !pOffsetInBytes || !pStride)
        return D3DERR_INVALIDCALL;
    *pOffsetInBytes = state_.streams[StreamNumber].offset;
    *pStride = state_.streams[StreamNumber].stride;
    return Hand(static_cast<IDirect3DVertexBuffer9*>(state_.streams[StreamNumber].buffer), ppStreamData);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData)
{
    auto guard = Guard();
    IndexBuffer* buffer = Ours<IndexBuffer>(pIndexData);
    if (pIndexData && !buffer)
        return D3DERR_INVALIDCALL;
    Assign(state_.indices, buffer);
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** ppIndexData)
{
    auto guard = Guard();
    return Hand(static_cast<IDirect3DIndexBuffer9*>(state_.indices), ppIndexData);
}

} // namespace d3d9sw
