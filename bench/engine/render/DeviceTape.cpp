#include "DeviceTape.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstring>

namespace {

CallTape* g_Recording = nullptr;
bool g_Dry = false;
int g_Unrecorded = 0;
IDirect3DDevice9* g_Last = nullptr;

std::vector<unsigned char> Copy(const void* data, size_t bytes)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return data ? std::vector<unsigned char>(p, p + bytes) : std::vector<unsigned char>();
}

template <class T> const T* Or(const std::vector<unsigned char>& bytes)
{
    return bytes.empty() ? nullptr : static_cast<const T*>(static_cast<const void*>(bytes.data()));
}

UINT VerticesOf(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return 2 * count;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return 3 * count;
    default:
        return count + 2;
    }
}

// Records a call whose arguments are all values or objects that outlive the tape.
#define TAPE(call)                                                                                                     \
    do {                                                                                                               \
        if (g_Recording)                                                                                               \
            g_Recording->Add([=](IDirect3DDevice9* d) { d->call; });                                                   \
        return Real->call;                                                                                             \
    } while (0)

// Records a getter: replayed with a place for its answer, the interface it hands out released.
#define TAPE_GET(Type, call)                                                                                           \
    do {                                                                                                               \
        if (g_Recording)                                                                                               \
            g_Recording->Add([=](IDirect3DDevice9* d) {                                                                \
                Type out{};                                                                                            \
                Type* at = &out;                                                                                       \
                (void)at;                                                                                              \
                d->call;                                                                                               \
                Drop(out);                                                                                             \
            });                                                                                                        \
    } while (0)

template <class T> void Drop(T*& object)
{
    if (object)
        object->Release();
}
template <class T> void Drop(T&) {}

// Calls the tape cannot repeat are forwarded and counted.
#define UNTAPED(call)                                                                                                  \
    do {                                                                                                               \
        if (g_Recording)                                                                                               \
            ++g_Unrecorded;                                                                                            \
        return Real->call;                                                                                             \
    } while (0)

class TapeDevice : public IDirect3DDevice9 {
public:
    explicit TapeDevice(IDirect3DDevice9* real) : Real(real) {}

    HRESULT QueryInterface(REFIID riid, void** out) override { return Real->QueryInterface(riid, out); }
    ULONG AddRef() override { return Real->AddRef(); }
    ULONG Release() override
    {
        const ULONG left = Real->Release();
        if (left == 0) {
            if (g_Last == this)
                g_Last = nullptr;
            delete this;
        }
        return left;
    }

    HRESULT TestCooperativeLevel() override { TAPE(TestCooperativeLevel()); }
    HRESULT GetDirect3D(IDirect3D9** out) override { UNTAPED(GetDirect3D(out)); }
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override
    {
        TAPE_GET(D3DCAPS9, GetDeviceCaps(at));
        return Real->GetDeviceCaps(caps);
    }
    HRESULT GetDisplayMode(UINT chain, D3DDISPLAYMODE* mode) override
    {
        TAPE_GET(D3DDISPLAYMODE, GetDisplayMode(chain, at));
        return Real->GetDisplayMode(chain, mode);
    }
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override { UNTAPED(Reset(params)); }
    HRESULT Present(const RECT* source, const RECT* dest, HWND window, const RGNDATA* region) override
    {
        if (g_Dry)
            return D3D_OK;
        if (region)
            UNTAPED(Present(source, dest, window, region));
        if (g_Recording) {
            const auto s = Copy(source, sizeof(RECT)), t = Copy(dest, sizeof(RECT));
            g_Recording->Add([=](IDirect3DDevice9* d) { d->Present(Or<RECT>(s), Or<RECT>(t), window, nullptr); });
        }
        return Real->Present(source, dest, window, nullptr);
    }
    HRESULT GetBackBuffer(UINT chain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out) override
    {
        TAPE_GET(IDirect3DSurface9*, GetBackBuffer(chain, index, type, at));
        return Real->GetBackBuffer(chain, index, type, out);
    }
    void SetGammaRamp(UINT chain, DWORD flags, const D3DGAMMARAMP* ramp) override
    {
        if (g_Recording) {
            const D3DGAMMARAMP copy = *ramp;
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetGammaRamp(chain, flags, &copy); });
        }
        Real->SetGammaRamp(chain, flags, ramp);
    }
    void GetGammaRamp(UINT chain, D3DGAMMARAMP* ramp) override
    {
        TAPE_GET(D3DGAMMARAMP, GetGammaRamp(chain, at));
        Real->GetGammaRamp(chain, ramp);
    }
    HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** out, HANDLE* shared) override
    {
        UNTAPED(CreateTexture(w, h, levels, usage, format, pool, out, shared));
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** out,
                               HANDLE* shared) override
    {
        UNTAPED(CreateVertexBuffer(length, usage, fvf, pool, out, shared));
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** out,
                              HANDLE* shared) override
    {
        UNTAPED(CreateIndexBuffer(length, usage, format, pool, out, shared));
    }
    HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool, IDirect3DSurface9** out,
                                        HANDLE* shared) override
    {
        UNTAPED(CreateOffscreenPlainSurface(w, h, format, pool, out, shared));
    }
    HRESULT GetFrontBufferData(UINT chain, IDirect3DSurface9* surface) override
    {
        UNTAPED(GetFrontBufferData(chain, surface));
    }
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* target) override { TAPE(SetRenderTarget(index, target)); }
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** out) override
    {
        TAPE_GET(IDirect3DSurface9*, GetRenderTarget(index, at));
        return Real->GetRenderTarget(index, out);
    }
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** out) override
    {
        TAPE_GET(IDirect3DSurface9*, GetDepthStencilSurface(at));
        return Real->GetDepthStencilSurface(out);
    }
    HRESULT BeginScene() override { TAPE(BeginScene()); }
    HRESULT EndScene() override { TAPE(EndScene()); }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override
    {
        if (g_Dry)
            return D3D_OK;
        if (g_Recording) {
            const auto r = Copy(rects, count * sizeof(D3DRECT));
            g_Recording->Add([=](IDirect3DDevice9* d) { d->Clear(count, Or<D3DRECT>(r), flags, colour, z, stencil); });
        }
        return Real->Clear(count, rects, flags, colour, z, stencil);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) override
    {
        if (g_Recording) {
            const D3DMATRIX copy = *m;
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetTransform(state, &copy); });
        }
        return Real->SetTransform(state, m);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* m) override
    {
        TAPE_GET(D3DMATRIX, GetTransform(state, at));
        return Real->GetTransform(state, m);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* v) override
    {
        if (g_Recording) {
            const D3DVIEWPORT9 copy = *v;
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetViewport(&copy); });
        }
        return Real->SetViewport(v);
    }
    HRESULT GetViewport(D3DVIEWPORT9* v) override
    {
        TAPE_GET(D3DVIEWPORT9, GetViewport(at));
        return Real->GetViewport(v);
    }
    HRESULT SetMaterial(const D3DMATERIAL9* m) override
    {
        if (g_Recording) {
            const D3DMATERIAL9 copy = *m;
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetMaterial(&copy); });
        }
        return Real->SetMaterial(m);
    }
    HRESULT GetMaterial(D3DMATERIAL9* m) override
    {
        TAPE_GET(D3DMATERIAL9, GetMaterial(at));
        return Real->GetMaterial(m);
    }
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override
    {
        if (g_Recording) {
            const D3DLIGHT9 copy = *light;
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetLight(index, &copy); });
        }
        return Real->SetLight(index, light);
    }
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override
    {
        TAPE_GET(D3DLIGHT9, GetLight(index, at));
        return Real->GetLight(index, light);
    }
    HRESULT LightEnable(DWORD index, BOOL on) override { TAPE(LightEnable(index, on)); }
    HRESULT GetLightEnable(DWORD index, BOOL* on) override
    {
        TAPE_GET(BOOL, GetLightEnable(index, at));
        return Real->GetLightEnable(index, on);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override { TAPE(SetRenderState(state, value)); }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        TAPE_GET(DWORD, GetRenderState(state, at));
        return Real->GetRenderState(state, value);
    }
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** out) override
    {
        TAPE_GET(IDirect3DBaseTexture9*, GetTexture(stage, at));
        return Real->GetTexture(stage, out);
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override { TAPE(SetTexture(stage, texture)); }
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override
    {
        TAPE_GET(DWORD, GetTextureStageState(stage, type, at));
        return Real->GetTextureStageState(stage, type, value);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        TAPE(SetTextureStageState(stage, type, value));
    }
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override
    {
        TAPE_GET(DWORD, GetSamplerState(sampler, type, at));
        return Real->GetSamplerState(sampler, type, value);
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        TAPE(SetSamplerState(sampler, type, value));
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override
    {
        if (g_Dry)
            return D3D_OK;
        TAPE(DrawPrimitive(type, start, count));
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT vertices, UINT start,
                                 UINT count) override
    {
        if (g_Dry)
            return D3D_OK;
        TAPE(DrawIndexedPrimitive(type, base, minIndex, vertices, start, count));
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride) override
    {
        if (g_Dry)
            return D3D_OK;
        if (g_Recording) {
            const auto v = Copy(data, size_t(VerticesOf(type, count)) * stride);
            g_Recording->Add([=](IDirect3DDevice9* d) { d->DrawPrimitiveUP(type, count, Or<void>(v), stride); });
        }
        return Real->DrawPrimitiveUP(type, count, data, stride);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT count, const void* indices,
                                   D3DFORMAT format, const void* data, UINT stride) override
    {
        if (g_Dry)
            return D3D_OK;
        if (g_Recording) {
            const size_t indexBytes = format == D3DFMT_INDEX32 ? 4 : 2;
            const auto i = Copy(indices, VerticesOf(type, count) * indexBytes);
            const auto v = Copy(data, size_t(minIndex + vertices) * stride);
            g_Recording->Add([=](IDirect3DDevice9* d) {
                d->DrawIndexedPrimitiveUP(type, minIndex, vertices, count, Or<void>(i), format, Or<void>(v), stride);
            });
        }
        return Real->DrawIndexedPrimitiveUP(type, minIndex, vertices, count, indices, format, data, stride);
    }
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** out) override
    {
        UNTAPED(CreateVertexDeclaration(elements, out));
    }
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override
    {
        TAPE(SetVertexDeclaration(declaration));
    }
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** out) override
    {
        TAPE_GET(IDirect3DVertexDeclaration9*, GetVertexDeclaration(at));
        return Real->GetVertexDeclaration(out);
    }
    HRESULT SetFVF(DWORD fvf) override { TAPE(SetFVF(fvf)); }
    HRESULT GetFVF(DWORD* fvf) override
    {
        TAPE_GET(DWORD, GetFVF(at));
        return Real->GetFVF(fvf);
    }
    HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** out) override
    {
        UNTAPED(CreateVertexShader(function, out));
    }
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override { TAPE(SetVertexShader(shader)); }
    HRESULT GetVertexShader(IDirect3DVertexShader9** out) override
    {
        TAPE_GET(IDirect3DVertexShader9*, GetVertexShader(at));
        return Real->GetVertexShader(out);
    }
    HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count) override
    {
        if (g_Recording) {
            const std::vector<float> copy(data, data + 4 * count);
            g_Recording->Add([=](IDirect3DDevice9* d) { d->SetVertexShaderConstantF(start, copy.data(), count); });
        }
        return Real->SetVertexShaderConstantF(start, data, count);
    }
    HRESULT GetVertexShaderConstantF(UINT start, float* data, UINT count) override
    {
        if (g_Recording)
            g_Recording->Add([=](IDirect3DDevice9* d) {
                std::vector<float> out(4 * count);
                d->GetVertexShaderConstantF(start, out.data(), count);
            });
        return Real->GetVertexShaderConstantF(start, data, count);
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override
    {
        TAPE(SetStreamSource(stream, buffer, offset, stride));
    }
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** out, UINT* offset, UINT* stride) override
    {
        if (g_Recording)
            g_Recording->Add([=](IDirect3DDevice9* d) {
                IDirect3DVertexBuffer9* buffer = nullptr;
                UINT o = 0, s = 0;
                d->GetStreamSource(stream, &buffer, &o, &s);
                Drop(buffer);
            });
        return Real->GetStreamSource(stream, out, offset, stride);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override { TAPE(SetIndices(indices)); }
    HRESULT GetIndices(IDirect3DIndexBuffer9** out) override
    {
        TAPE_GET(IDirect3DIndexBuffer9*, GetIndices(at));
        return Real->GetIndices(out);
    }

private:
    IDirect3DDevice9* Real;
};

// The adapter's object, forwarded, handing out wrapped devices.
class TapeDirect3D : public IDirect3D9 {
public:
    explicit TapeDirect3D(IDirect3D9* real) : Real(real) {}
    HRESULT QueryInterface(REFIID riid, void** out) override { return Real->QueryInterface(riid, out); }
    ULONG AddRef() override { return Real->AddRef(); }
    ULONG Release() override
    {
        const ULONG left = Real->Release();
        if (left == 0)
            delete this;
        return left;
    }
    UINT GetAdapterCount() override { return Real->GetAdapterCount(); }
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        return Real->GetAdapterModeCount(adapter, format);
    }
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override
    {
        return Real->EnumAdapterModes(adapter, format, mode, out);
    }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override
    {
        return Real->GetAdapterDisplayMode(adapter, out);
    }
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT back, BOOL windowed) override
    {
        return Real->CheckDeviceType(adapter, type, display, back, windowed);
    }
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, DWORD usage, D3DRESOURCETYPE rtype,
                              D3DFORMAT format) override
    {
        return Real->CheckDeviceFormat(adapter, type, display, usage, rtype, format);
    }
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE samples, DWORD* quality) override
    {
        return Real->CheckDeviceMultiSampleType(adapter, type, format, windowed, samples, quality);
    }
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT target,
                                   D3DFORMAT depth) override
    {
        return Real->CheckDepthStencilMatch(adapter, type, display, target, depth);
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override
    {
        return Real->GetDeviceCaps(adapter, type, caps);
    }
    HMONITOR GetAdapterMonitor(UINT adapter) override { return Real->GetAdapterMonitor(adapter); }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** out) override
    {
        IDirect3DDevice9* real = nullptr;
        const HRESULT result = Real->CreateDevice(adapter, type, window, behaviour, params, &real);
        *out = result == D3D_OK && real ? (g_Last = new TapeDevice(real)) : nullptr;
        return result;
    }

private:
    IDirect3D9* Real;
};

} // namespace

// Takes the place of the Direct3D layer's own entry point for the engine library, which calls
// it through its procedure table; the layer's own is the next definition in load order.
IDirect3D9* WINAPI Direct3DCreate9(UINT version)
{
    using Create = IDirect3D9* (*)(UINT);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "_Z15Direct3DCreate9j"));
    if (!real) {
        printf("the Direct3D layer's entry point was not found: %s\n", dlerror());
        exit(1);
    }
    IDirect3D9* d3d = real(version);
    return d3d ? new TapeDirect3D(d3d) : nullptr;
}

IDirect3DDevice9* TapedDevice() { return g_Last; }

void StartRecording(CallTape& tape)
{
    g_Unrecorded = 0;
    g_Recording = &tape;
}

void StopRecording() { g_Recording = nullptr; }

int UnrecordedCalls() { return g_Unrecorded; }

void SetDry(bool dry) { g_Dry = dry && !g_Recording; }
