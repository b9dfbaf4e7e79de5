#include "engine/render/CRenderDevice.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/math/CMatrix.h"
#include "engine/render/CLightTree.h"
#include "engine/render/Camera.h"
#include "engine/render/CameraKeyframes.h"
#include "engine/render/CRenderer.h"
#include "engine/shell/CPerfTracker.h"

namespace {

struct FlatVertex {
    float x, y, z;
    D3DCOLOR colour;
};
const DWORD kFlatFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;
const DWORD kMeshFVF = 0x112;

// Both keep rows for row vectors, so the layouts agree.
D3DMATRIX ToD3D(const CMatrix& m)
{
    D3DMATRIX out;
    std::memcpy(&out, m.m, sizeof out);
    return out;
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

CMatrix Product(const CMatrix& a, const CMatrix& b)
{
    CMatrix out;
    out.Multiply(a, b);
    return out;
}

// Vertex constants take the matrices transposed: one register per column.
void PutColumns(CVector4* out, const CMatrix& m, int columns)
{
    for (int c = 0; c < columns; ++c)
        out[c] = CVector4(m.m[c], m.m[4 + c], m.m[8 + c], m.m[12 + c]);
}

enum { kBlendNone, kBlendAlpha, kBlendAdditive };

const unsigned long kStateArenaBytes = 262144;
const unsigned long kDrawEntries = 512;
const unsigned long kEffectEntries = 1024;
const unsigned long kDecalEntries = 256;
const unsigned long kDecalMarkerKey = 0x60008001;

// The draw-list entry that plays the decal list at its place in the sorted list.
DrawState* DecalMarker()
{
    static DrawState marker = [] {
        DrawState s{};
        s.Kind = kDrawDecalList;
        return s;
    }();
    return &marker;
}

} // namespace

CRenderDevice::CRenderDevice()
    : pD3D(nullptr), pDevice(nullptr), pBackBuffer(nullptr), pWhiteTexture(nullptr), hMainWindow(nullptr),
      EngineFlags(0), SoftwareProcessing(false), Requested(RenderSettings::Defaults()),
      Active(RenderSettings::Defaults()), Switches{}, Desktop{}, PresentParams{}, PixelScaleX(1.0f), PixelScaleY(1.0f),
      ppModes(nullptr), ModeCount(0), WindowIndex(0), RequestedGamma(1.0f), AppliedGamma(1.0f), RampGamma(-1.0f),
      RampContrast(-1.0f), RampBrightness(-1.0f), Ramp{}, pShaders{}, pDeclarations{}, Buffers{}, pLastState(nullptr),
      FogColour(0), LastViewport{0, 0, -1, -1}, ImmediateOrder(0), DrawsPlayed(0), Restarts(0), InScene(false),
      TerrainBuffersUsed(0), pLayers(nullptr), LayerCount(0), CurrentLayer(-1), ScreenshotRequest(0),
      ScreenshotCounter(0)
{
    ClearStateCaches();
}

CRenderDevice::~CRenderDevice()
{
    Shutdown();
    ConfigureLayers(0);
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

// ---- render buffers ----

void RenderBuffer::Allocate(unsigned long capacity, unsigned long unitSize)
{
    Free();
    pBase = static_cast<unsigned char*>(::operator new(size_t(capacity) * unitSize));
    Capacity = capacity;
    UnitSize = unitSize;
    Used = 0;
}

void RenderBuffer::Free()
{
    ::operator delete(pBase);
    pBase = nullptr;
    Capacity = Used = 0;
}

void* RenderBuffer::Take(unsigned long units)
{
    const unsigned long at = Used;
    Used += units;
    if (!pBase || Used > Capacity)
        return nullptr;
    return pBase + size_t(at) * UnitSize;
}

void CRenderDevice::AllocRenderBuffers()
{
    Buffers.State.Allocate(kStateArenaBytes, 1);
    Buffers.Draws.Allocate(kDrawEntries, sizeof(DrawEntry));
    Buffers.Effect.Allocate(kEffectEntries, sizeof(EffectEntry));
    Buffers.Decals.Allocate(kDecalEntries, sizeof(DecalEntry));
}

void CRenderDevice::FreeRenderBuffers()
{
    for (RenderBuffer* b : {&Buffers.State, &Buffers.Draws, &Buffers.Effect, &Buffers.Decals})
        b->Free();
}

void CRenderDevice::RewindBuffers()
{
    for (RenderBuffer* b : {&Buffers.State, &Buffers.Draws, &Buffers.Effect, &Buffers.Decals})
        b->Rewind();
    TerrainBuffersUsed = 0;
}

// Each overflowed buffer is replaced by one of the size it was asked for; true when any was.
bool CRenderDevice::GrowOverflowedBuffers()
{
    bool grown = false;
    for (RenderBuffer* b : {&Buffers.State, &Buffers.Draws, &Buffers.Effect, &Buffers.Decals})
        if (b->Overflowed()) {
            b->Allocate(b->Used, b->UnitSize);
            grown = true;
        }
    RewindBuffers();
    return grown;
}

void* CRenderDevice::AllocState(unsigned long bytes)
{
    // Records in the arena keep the alignment of their floats and pointers.
    return Buffers.State.Take((bytes + 7) & ~7UL);
}

DrawEntry* CRenderDevice::AllocDraw(unsigned long count) { return static_cast<DrawEntry*>(Buffers.Draws.Take(count)); }
EffectEntry* CRenderDevice::AllocEffect(unsigned long count)
{
    return static_cast<EffectEntry*>(Buffers.Effect.Take(count));
}
DecalEntry* CRenderDevice::AllocDecal(unsigned long count)
{
    return static_cast<DecalEntry*>(Buffers.Decals.Take(count));
}

DrawState* CRenderDevice::NewState()
{
    void* at = AllocState(sizeof(DrawState));
    if (!at)
        return nullptr;
    DrawState* state = new (at) DrawState{};
    const ViewportTransform* v = GetViewportTransform(GetCurrentViewport());
    state->World = GetTopMatrix();
    state->View = v->Camera;
    state->Projection = v->Projection;
    const CMatrix worldView = Product(state->World, state->View);
    PutColumns(&state->C(4), state->World, 3);
    PutColumns(&state->C(8), worldView, 3);
    PutColumns(&state->C(12), Product(worldView, DeviceProjection(state->Projection)), 4);
    state->C(3) = CVector4(Active.OutlineWidth, Active.OutlineDepthWidth, 1.0f, 1.0f);
    state->C(16) = state->C(17) = CVector4(1, 1, 1, 1);
    state->C(18) = CVector4(0, 0, 0, 1);
    state->MaterialAlpha = 1.0f;
    state->AlphaRef = 127;
    return state;
}

DrawState* CRenderDevice::NewDrawState(unsigned long sortKey)
{
    DrawEntry* entry = AllocDraw(1);
    DrawState* state = NewState();
    if (!entry || !state)
        return nullptr;
    *entry = DrawEntry{sortKey, 0, state, nullptr};
    return state;
}

// ---- frame and layers ----

void CRenderDevice::BeginFrame()
{
    CurrentLayer = -1;
    AppliedGamma = RequestedGamma;
    UpdateGammaRamp();
    PlayCameraKeyframes();
    RewindBuffers();
    ClearStateCaches();
    if (CRenderer::pThe)
        Active.Outlines = CRenderer::pThe->GetRenderOutlines();
    LastViewport = RECT{0, 0, -1, -1};
    ImmediateOrder = 0;
    DrawsPlayed = 0;
    int aliases[CLightTree::kLayers];
    for (int i = 0; i < CLightTree::kLayers; ++i)
        aliases[i] = GetLayer(i) ? GetLayer(i)->ResourceAlias : i;
    RebuildFrameLightTable(EngineFlags, Active.Shaders != 0);
    CLightTree::The().Build(aliases, EngineFlags);
    if (!pDevice)
        return;
    ApplyLightSet(pDevice, &CLightTree::The().GetDefaultSet(), Active.Shaders != 0, FogColour);
    const float constants[4] = {0.0f, 0.25f, 0.5f, 1.0f};
    pDevice->SetVertexShaderConstantF(0, constants, 1);
    pDevice->SetRenderTarget(0, pBackBuffer);
}

void CRenderDevice::SetLayerProjection(int layer)
{
    const ViewportTransform* v = GetViewportTransform(layer);
    LayerProjection = DeviceProjection(v ? v->Projection : CMatrix());
}

void CRenderDevice::BeginLayer(int index)
{
    RenderLayer* layer = GetLayer(index);
    CurrentLayer = layer ? index : -1;
    if (!layer)
        return;
    SetLayerProjection(index);
    const float x = layer->Left * 640.0f, y = layer->Top * 480.0f;
    const float width = (layer->Right - layer->Left) * 640.0f, height = (layer->Bottom - layer->Top) * 480.0f;
    ::SetViewport(index, x, y, width, height, 0.0f, 1.0f);
}

void CRenderDevice::SetViewportFraction(float left, float right, float top, float bottom)
{
    if (!pDevice)
        return;
    if (InScene) {
        pDevice->EndScene();
        InScene = false;
    }
    const float w = float(Active.Width), h = float(Active.Height);
    const RECT r = {LONG(w * left + 0.5f), LONG(h * top + 0.5f), LONG(w * (right - left) + 0.5f),
                    LONG(h * (bottom - top) + 0.5f)};
    D3DVIEWPORT9 viewport = {DWORD(r.left), DWORD(r.top), DWORD(r.right), DWORD(r.bottom), 0.0f, 1.0f};
    pDevice->SetViewport(&viewport);
    LastViewport = r;
}

int CRenderDevice::EndLayer()
{
    RenderLayer* layer = GetLayer(CurrentLayer);
    CurrentLayer = -1;
    if (!layer)
        return 0;
    if (Buffers.Decals.Count() > 0)
        if (DrawEntry* marker = AllocDraw(1))
            *marker = DrawEntry{kDecalMarkerKey, 0, DecalMarker(), nullptr};
    const bool overflowed = Buffers.State.Overflowed() || Buffers.Draws.Overflowed() || Buffers.Effect.Overflowed() ||
                            Buffers.Decals.Overflowed();
    if (overflowed) {
        GrowOverflowedBuffers();
        ++Restarts;
        return 1;
    }
    if (!pDevice) {
        RewindBuffers();
        return 0;
    }
    const bool hasEntries = Buffers.Draws.Count() || Buffers.Effect.Count();
    const bool clears = layer->Flags & (RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH);
    const bool effects = layer->PreEffectType >= 0 || layer->PostEffectType >= 0;
    const float w = float(Active.Width), h = float(Active.Height);
    const RECT wanted = {LONG(w * layer->Left + 0.5f), LONG(h * layer->Top + 0.5f),
                         LONG(w * (layer->Right - layer->Left) + 0.5f), LONG(h * (layer->Bottom - layer->Top) + 0.5f)};
    if (std::memcmp(&wanted, &LastViewport, sizeof wanted) != 0 && (clears || hasEntries || effects))
        SetViewportFraction(layer->Left, layer->Right, layer->Top, layer->Bottom);
    if (!InScene) {
        pDevice->BeginScene();
        InScene = true;
    }
    DWORD clear = 0;
    if (layer->Flags & RenderLayer::CLEAR_COLOUR)
        clear |= D3DCLEAR_TARGET;
    if (layer->Flags & RenderLayer::CLEAR_DEPTH)
        clear |= D3DCLEAR_ZBUFFER | (Active.HasStencil ? D3DCLEAR_STENCIL : 0);
    if (clear)
        pDevice->Clear(0, nullptr, clear, layer->ClearColour | 0xFF000000, layer->ClearDepth, 0);
    if (layer->PreEffectType >= 0)
        DrawLayerEffect(layer->PreEffectType, layer->PreEffectColour);
    if (hasEntries)
        PlayLists();
    RewindBuffers();
    if (layer->PostEffectType >= 0)
        DrawLayerEffect(layer->PostEffectType, layer->PostEffectColour);
    if (layer->Flags & RenderLayer::LAST)
        DrawOverlays();
    return 0;
}

// The developer overlays on top of the last layer, played at once; what does not fit the
// buffers is left out of this frame.
void CRenderDevice::DrawOverlays()
{
    const bool lights = CRenderer::pThe && CRenderer::pThe->GetRenderLightReport();
    if (!lights && !CPerfTracker::pThe->IsShowing())
        return;
    if (lights)
        CLightTree::The().DrawLightReport(0);
    if (CPerfTracker::pThe->IsShowing())
        CPerfTracker::pThe->RenderReport();
    const bool overflowed = Buffers.State.Overflowed() || Buffers.Effect.Overflowed();
    if (!overflowed && (Buffers.Draws.Count() || Buffers.Effect.Count()))
        PlayLists();
    RewindBuffers();
}

int CRenderDevice::EndFrame()
{
    CLightTree::The().Free();
    if (pDevice && InScene)
        pDevice->EndScene();
    InScene = false;
    return 0;
}

// ---- playback ----

void SortDrawList(DrawEntry* entries, unsigned long count)
{
    std::sort(entries, entries + count, [](const DrawEntry& a, const DrawEntry& b) {
        return a.SortKey != b.SortKey ? a.SortKey < b.SortKey : a.SecondKey > b.SecondKey;
    });
}

void SortEffectList(EffectEntry* entries, unsigned long count)
{
    std::sort(entries, entries + count, [](const EffectEntry& a, const EffectEntry& b) {
        return a.Priority != b.Priority ? a.Priority < b.Priority : a.Depth > b.Depth;
    });
}

void SortDecalList(DecalEntry* entries, unsigned long count)
{
    std::sort(entries, entries + count, [](const DecalEntry& a, const DecalEntry& b) {
        return a.SortValue != b.SortValue ? a.SortValue < b.SortValue : a.SecondKey > b.SecondKey;
    });
}

void CRenderDevice::ApplyBlend(int blend)
{
    if (blend == CurrentBlend)
        return;
    CurrentBlend = blend;
    pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, blend != kBlendNone);
    if (blend == kBlendNone)
        return;
    pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    pDevice->SetRenderState(D3DRS_DESTBLEND, blend == kBlendAlpha ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
}

void CRenderDevice::ApplyCull(int cull)
{
    if (cull == CurrentCull)
        return;
    CurrentCull = cull;
    pDevice->SetRenderState(D3DRS_CULLMODE, DWORD(cull));
}

void CRenderDevice::ApplyDrawState(const DrawState& s)
{
    ApplyLightSet(pDevice, s.pLightSet ? s.pLightSet : &CLightTree::The().GetDefaultSet(), Active.Shaders != 0,
                  FogColour);
    if (Active.Shaders) {
        pDevice->SetVertexShaderConstantF(1, &s.C(1).x, 3);
        pDevice->SetVertexShaderConstantF(4, &s.C(4).x, 12);
        pDevice->SetVertexShaderConstantF(16, &s.C(16).x, 3);
        SelectShader(s.ShaderSlot);
    } else {
        CurrentShader = -1;
        pDevice->SetVertexShader(nullptr);
        D3DMATERIAL9 material;
        std::memset(&material, 0, sizeof material);
        std::memcpy(&material.Diffuse, &s.C(16), sizeof material.Diffuse);
        std::memcpy(&material.Ambient, &s.C(17), sizeof material.Ambient);
        std::memcpy(&material.Emissive, &s.C(18), sizeof material.Emissive);
        material.Diffuse.a = s.MaterialAlpha;
        pDevice->SetMaterial(&material);
        const D3DMATRIX world = ToD3D(s.World), view = ToD3D(s.View);
        pDevice->SetTransform(D3DTS_WORLD, &world);
        pDevice->SetTransform(D3DTS_VIEW, &view);
        pDevice->SetRenderState(D3DRS_LIGHTING, (s.FamilyFlags & 1) ? TRUE : FALSE);
    }
    // After the caches were cleared the device's states are unknown (set directly, often to
    // off), so every flag's state is set, whatever its bit.
    const unsigned long changed = CurrentFlags == kFlagsUnknown ? ~0UL : s.RenderFlags ^ CurrentFlags;
    if (changed & DRAW_DEPTH_TEST)
        pDevice->SetRenderState(D3DRS_ZENABLE, (s.RenderFlags & DRAW_DEPTH_TEST) ? TRUE : FALSE);
    if (changed & DRAW_DEPTH_WRITE)
        pDevice->SetRenderState(D3DRS_ZWRITEENABLE, (s.RenderFlags & DRAW_DEPTH_WRITE) ? TRUE : FALSE);
    if (changed & DRAW_ALPHA_TEST)
        pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, (s.RenderFlags & DRAW_ALPHA_TEST) ? TRUE : FALSE);
    if (changed & DRAW_WRAP)
        for (DWORD sampler = 0; sampler < 4; ++sampler)
            for (D3DSAMPLERSTATETYPE t : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV})
                pDevice->SetSamplerState(sampler, t,
                                         (s.RenderFlags & DRAW_WRAP) ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    CurrentFlags = s.RenderFlags;
    ApplyBlend((s.RenderFlags & (DRAW_ADDITIVE | DRAW_ADDITIVE_2)) ? kBlendAdditive
               : (s.RenderFlags & DRAW_ALPHA_BLEND)                ? kBlendAlpha
                                                                   : kBlendNone);
    if (CurrentKind == kDrawThreeTexture && s.Kind != kDrawThreeTexture)
        for (DWORD stage = 1; stage < 4; ++stage)
            pDevice->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    CurrentKind = s.Kind;
    ApplyCull((s.CullFlags & CULL_CLOCKWISE)           ? D3DCULL_CW
              : (s.CullFlags & CULL_COUNTER_CLOCKWISE) ? D3DCULL_CCW
                                                       : D3DCULL_NONE);
    if (s.AlphaRef != CurrentAlphaRef) {
        pDevice->SetRenderState(D3DRS_ALPHAREF, s.AlphaRef);
        CurrentAlphaRef = s.AlphaRef;
    }
}

// One indexed strip of 32-byte vertices, then its outline when outlines are on.
void CRenderDevice::DrawMesh(const DrawState& s)
{
    // A strip needs three indices to make a triangle.
    if (!s.pVertices || !s.pIndices || s.IndexCount < 3)
        return;
    pDevice->SetIndices(s.pIndices);
    pDevice->SetStreamSource(0, s.pVertices, 0, 32);
    if (Active.Shaders)
        pDevice->SetStreamSource(1, s.pSecondStream, 0, s.pSecondStream ? 32 : 0);
    else
        pDevice->SetFVF(kMeshFVF);
    pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, s.VertexCount, s.FirstIndex, s.IndexCount - 2);
    if (Active.Outlines && (s.FamilyFlags & 2))
        DrawOutline(s);
}

// The shell pass: the unlit member of the draw's family, pushed out along the normals, black
// with the draw's alpha and culled the other way.
void CRenderDevice::DrawOutline(const DrawState& s)
{
    if (!Active.Shaders)
        return;
    int slot = s.ShaderSlot;
    if (slot == ShaderSlot(kFamilyShell, true) || slot == ShaderSlot(kFamilyMorphShell, true))
        slot -= 1;
    const float outline[4] = {Active.OutlineWidth, Active.OutlineDepthWidth, s.C(3).z, s.C(3).w};
    const float black[12] = {0, 0, 0, s.MaterialAlpha, 0, 0, 0, s.MaterialAlpha, 0, 0, 0, s.MaterialAlpha};
    pDevice->SetVertexShaderConstantF(3, outline, 1);
    pDevice->SetVertexShaderConstantF(16, black, 3);
    SelectShader(slot);
    const int cull = CurrentCull;
    ApplyCull(cull == D3DCULL_CW ? D3DCULL_CCW : cull == D3DCULL_CCW ? D3DCULL_CW : D3DCULL_NONE);
    if (!(s.RenderFlags & DRAW_ALPHA_TEST))
        pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, s.VertexCount, s.FirstIndex, s.IndexCount - 2);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    ApplyCull(cull);
    pDevice->SetVertexShaderConstantF(3, &s.C(3).x, 1);
    pDevice->SetVertexShaderConstantF(16, &s.C(16).x, 3);
    SelectShader(s.ShaderSlot);
}

// Flat-coloured triangles from the state arena, through the fixed-function path.
void CRenderDevice::DrawImmediate(const DrawState& s, const void* vertices)
{
    CurrentShader = -1;
    pDevice->SetVertexShader(nullptr);
    const D3DMATRIX world = ToD3D(s.World), view = ToD3D(s.View), projection = ToD3D(DeviceProjection(s.Projection));
    pDevice->SetTransform(D3DTS_WORLD, &world);
    pDevice->SetTransform(D3DTS_VIEW, &view);
    pDevice->SetTransform(D3DTS_PROJECTION, &projection);
    pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    pDevice->SetTexture(0, nullptr);
    CurrentTexture = nullptr;
    pDevice->SetFVF(kFlatFVF);
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, s.VertexCount / 3, vertices, sizeof(FlatVertex));
    const D3DMATRIX layer = ToD3D(LayerProjection);
    pDevice->SetTransform(D3DTS_PROJECTION, &layer);
}

void CRenderDevice::PlayLists()
{
    DrawEntry* draws = reinterpret_cast<DrawEntry*>(Buffers.Draws.pBase);
    EffectEntry* effects = reinterpret_cast<EffectEntry*>(Buffers.Effect.pBase);
    const unsigned long drawCount = Buffers.Draws.Count(), effectCount = Buffers.Effect.Count();
    SortDrawList(draws, drawCount);
    SortEffectList(effects, effectCount);
    const D3DMATRIX projection = ToD3D(LayerProjection);
    pDevice->SetTransform(D3DTS_PROJECTION, &projection);
    pLastState = nullptr;
    auto play = [this](const DrawState* s, const void* data) {
        if (!s)
            return;
        if (s->Kind == kDrawDecalList) {
            PlayDecalList();
            return;
        }
        if (s != pLastState)
            ApplyDrawState(*s);
        pLastState = s;
        IDirect3DTexture9* texture = s->pTexture ? s->pTexture : pWhiteTexture;
        if (texture != CurrentTexture) {
            pDevice->SetTexture(0, texture);
            CurrentTexture = texture;
        }
        pDevice->SetRenderState(D3DRS_FOGCOLOR, FogColour);
        if (s->Kind == kDrawMesh)
            DrawMesh(*s);
        // The device's own flat rectangles carry their vertex count; primitive blocks their own.
        else if (s->Kind == kDrawImmediate && s->VertexCount)
            DrawImmediate(*s, data);
        else if (s->Kind == kDrawImmediate)
            DrawPrimitiveBlock(*s, data);
        else if (s->Kind == kDrawUserList)
            DrawUserQuad(*s, data);
        else if (s->Kind == kDrawThreeTexture)
            DrawThreeTexture(*s, data);
        else if (s->Kind == kDrawParticles || s->Kind == kDrawParticles2)
            DrawParticleItem(*s, data);
        ++DrawsPlayed;
    };
    for (unsigned long i = 0; i < drawCount; ++i)
        play(draws[i].pState, draws[i].pBlock);
    for (unsigned long i = 0; i < effectCount; ++i)
        play(effects[i].pState, effects[i].pData);
}

// ---- layer effects and immediate rectangles ----

void CRenderDevice::DrawLayerEffect(int mode, const CVector4& colour)
{
    if (!pDevice || !(colour.w > 0.0f))
        return;
    struct Vertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR colour;
        float u, v;
    };
    auto channel = [](float c) { return DWORD(c < 0.0f ? 0.0f : c > 255.0f ? 255.0f : c + 0.5f); };
    const D3DCOLOR c = channel(colour.w) << 24 | channel(colour.x) << 16 | channel(colour.y) << 8 | channel(colour.z);
    const Vertex strip[4] = {{-2, 2, 0.5f, 0, 0, 1, c, 0.5f, 0.5f},
                             {2, 2, 0.5f, 0, 0, 1, c, 0.5f, 0.5f},
                             {-2, -2, 0.5f, 0, 0, 1, c, 0.5f, 0.5f},
                             {2, -2, 0.5f, 0, 0, 1, c, 0.5f, 0.5f}};
    static const DWORD kBlends[6][2] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},   {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {D3DBLEND_DESTCOLOR, D3DBLEND_SRCALPHA},     {D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHA},
        {D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR}, {D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR},
    };
    D3DMATRIX identity;
    std::memset(&identity, 0, sizeof identity);
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
        pDevice->SetTransform(t, &identity);
    pDevice->SetVertexShader(nullptr);
    pDevice->SetFVF(0x152);
    pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    pDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    // A mode outside the table keeps the blend factors set before.
    if (mode >= 0 && mode < 6) {
        pDevice->SetRenderState(D3DRS_SRCBLEND, kBlends[mode][0]);
        pDevice->SetRenderState(D3DRS_DESTBLEND, kBlends[mode][1]);
    }
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    ClearStateCaches();
}

void CRenderDevice::DrawScreenRect(float x0, float y0, float x1, float y1, D3DCOLOR colour)
{
    if (CurrentLayer < 0)
        return;
    const ViewportTransform* v = GetViewportTransform(GetCurrentViewport());
    EffectEntry* entry = AllocEffect(1);
    DrawState* state = NewState();
    void* at = AllocState(6 * sizeof(FlatVertex));
    if (!entry || !state || !at)
        return;
    state->World.SetIdentity();
    state->View.SetIdentity();
    state->Projection.Ortho(0.0f, v->Right - v->X, v->Bottom - v->Y, 0.0f, 0.0f, 1000.0f);
    state->Kind = kDrawImmediate;
    state->VertexCount = 6;
    const FlatVertex quad[6] = {{x0, y0, 0, colour}, {x1, y0, 0, colour}, {x0, y1, 0, colour},
                                {x1, y0, 0, colour}, {x1, y1, 0, colour}, {x0, y1, 0, colour}};
    std::memcpy(at, quad, sizeof quad);
    *entry = EffectEntry{0xFFFF0000UL + ImmediateOrder++, 0.0f, state, at};
}

void CRenderDevice::DrawWorldQuad(const CVector& c, float half, D3DCOLOR colour)
{
    if (CurrentLayer < 0)
        return;
    EffectEntry* entry = AllocEffect(1);
    DrawState* state = NewState();
    void* at = AllocState(6 * sizeof(FlatVertex));
    if (!entry || !state || !at)
        return;
    state->Kind = kDrawImmediate;
    state->RenderFlags = DRAW_DEPTH_TEST | DRAW_DEPTH_WRITE;
    state->VertexCount = 6;
    const float x0 = c.x - half, x1 = c.x + half, y0 = c.y - half, y1 = c.y + half;
    const FlatVertex quad[6] = {{x0, y0, c.z, colour}, {x1, y0, c.z, colour}, {x0, y1, c.z, colour},
                                {x1, y0, c.z, colour}, {x1, y1, c.z, colour}, {x0, y1, c.z, colour}};
    std::memcpy(at, quad, sizeof quad);
    *entry = EffectEntry{0xFFFF0000UL + ImmediateOrder++, 0.0f, state, at};
}
