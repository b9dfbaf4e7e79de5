#include "engine/render/CRenderer.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/heap/ZHeap.h"
#include "engine/devices/CDirectInput.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CAnimator.h"
#include "engine/render/CRendStaticSkeleton.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/CameraKeyframes.h"
#include "engine/render/GPCXRenderMessage.h"

IMPLEMENT_GOBJECT(CRenderer, 0x20800001)
IMPLEMENT_GOBJECT(GRendererConfigurator, 0x8000)
IMPLEMENT_GOBJECT(GOctTreeBuilder, 0x6008000)

CRenderer* CRenderer::pThe = nullptr;
unsigned long CRenderer::FrameNumber = 0;
short CRenderer::CurrentResViewport = -1;
CRenderDevice CRenderer::Device;
unsigned long CRenderer::RenderMask = ~0x1C0UL;

namespace {

const unsigned long kSupportedSettings = 1021;

// Moved renders are re-plotted only when they left a box of one unit around the plotted place.
bool MovedFar(const CVector& a, const CVector& b)
{
    return std::fabs(a.x - b.x) > 1.0f || std::fabs(a.y - b.y) > 1.0f || std::fabs(a.z - b.z) > 1.0f;
}

DWORD Channel(float value)
{
    const long v = std::lround(value);
    return DWORD(v < 0 ? 0 : v > 255 ? 255 : v);
}

// The debug keys behind Scroll Lock reach the renderer's switches, the display mode and the
// camera recorder; the renderer's own switch (Ctrl+F1) is the light report, which shows how
// the frame's lights were divided among the places they reach.
void ConnectDebugKeys()
{
    CInputDebugActions& a = CDirectInput::DebugActions;
    a.ScrollLockEnabled = [] { return CRenderer::GetDevice().GetSwitches().ScrollLock != 0; };
    a.ToggleDebugDisplayMode = [] { CRenderer::GetDevice().ToggleWindowed(); };
    a.ToggleRendererSwitch = [] {
        if (CRenderer::pThe)
            CRenderer::pThe->ToggleRenderLightReport();
    };
    a.ToggleRenderOutlines = [] {
        if (CRenderer::pThe)
            CRenderer::pThe->ToggleRenderOutlines();
    };
    a.ToggleCameraCycle = ToggleCameraCycle;
    a.ToggleCameraPlayback = ToggleCameraPlayback;
    a.AddCameraKeyframe = AddCameraKeyframe;
    a.ShortenCameraKeyframe = ShortenCameraKeyframe;
    a.LengthenCameraKeyframe = LengthenCameraKeyframe;
    a.ClearCameraKeyframes = ClearCameraKeyframes;
    a.AddRenderMessage = AddRenderMessage;
}

} // namespace

CRenderer::CRenderer()
{
    if (EditableEvaluation)
        return;
    pThe = this;
    RGBClear = DepthClear = BufferClear = 1;
    DecalRate = 1.0f;
    StartTime = CGameTimer::GameTime() + 1.0f;
    SupportedSettings = kSupportedSettings;
    SetRenderSettings(kSupportedSettings);
    COctTree::BuildUniform(CVector(-1.0f, -2.0f, -50.0f), CVector(105.0f, 155.0f, 225.0f), 4);
}

CRenderer::~CRenderer()
{
    if (EditableEvaluation)
        return;
    for (CRender* head : {&CRender::FirstAnimatedRender, &CRender::FirstRender})
        while (CRender* render = head->pListNext) {
            COctTree::Remove(render);
            render->RemoveFromList();
            if (render->pResource)
                render->pResource->OnUnLink(render);
        }
    delete[] pLayerFrustums;
    if (pThe == this)
        pThe = nullptr;
}

int CRenderer::Init(HWND window, unsigned long engineFlags, int value)
{
    hWindow = window;
    InitValue = value;
    const int result = Device.Init(window, engineFlags);
    if (result == 0) {
        // The outline switch starts as the settings ask; every frame takes it from here.
        RenderOutlines = Device.GetActiveSettings().Outlines;
        Device.SetGamma(1.0f);
        SupportedSettings = kSupportedSettings;
        SetRenderSettings(kSupportedSettings);
        ConnectDebugKeys();
    }
    return result;
}

void CRenderer::Shutdown()
{
    Device.Shutdown();
    Device.ConfigureLayers(0);
}

unsigned long CRenderer::ChangeFlags(unsigned long flags) { return Device.SetRenderFlags(flags); }

void CRenderer::AppStatusChange(int active)
{
    const WindowData* first = Device.GetWindow(0);
    if (!Device.GetDevice() || Device.GetActiveSettings().Windowed || !first)
        return;
    ShowWindow(first->Window, active ? SW_RESTORE : SW_MINIMIZE);
}

void CRenderer::GetDisplayModeInfo(unsigned char* out)
{
    const RenderSettings& s = Device.GetActiveSettings();
    out[0] = static_cast<unsigned char>(s.Width);
    out[1] = static_cast<unsigned char>(s.Width >> 8);
    out[2] = static_cast<unsigned char>(s.Height);
    out[3] = static_cast<unsigned char>(s.Height >> 8);
    out[4] = static_cast<unsigned char>(s.BitsPerPixel);
    out[5] = static_cast<unsigned char>(s.Windowed ? 1 : 0);
}

RECT CRenderer::GetResolution() const
{
    // Without a window there is no resolution to report: an empty rectangle.
    const WindowData* first = Device.GetWindow(0);
    return first ? first->Resolution : RECT{0, 0, 0, 0};
}

void CRenderer::GetRenderSettings(unsigned long& supported, unsigned long& active) const
{
    supported = SupportedSettings;
    active = ActiveSettings;
}

void CRenderer::SetRenderSettings(unsigned long wanted)
{
    unsigned long active = SupportedSettings & ((wanted & 0x3E0) | 3);
    for (unsigned long bit : {0x10UL, 0x08UL, 0x04UL})
        if (wanted & SupportedSettings & bit) {
            active |= bit;
            break;
        }
    ActiveSettings = active;
    RenderMask = active | ~0x1C0UL;
}

unsigned long CRenderer::SetBackgroundColour(unsigned long colour)
{
    BackgroundColour = colour | 0xFF000000;
    return BackgroundColour;
}

float CRenderer::SetGamma(float gamma)
{
    Device.SetGamma(gamma);
    return Device.GetAppliedGamma();
}

void CRenderer::SetFade(const CVector4& colour, int mode)
{
    FadeColour = colour;
    FadeMode = mode;
}

const CVector4& CRenderer::GetFade(int& mode) const
{
    mode = FadeMode;
    return FadeColour;
}

void CRenderer::SetViewportMaterialIndex(int viewport, unsigned long value)
{
    if (viewport >= 0 && viewport < 8)
        ViewportMaterial[viewport] = value;
}

void CRenderer::ConfigureLayers(int count)
{
    if (count == Device.GetLayerCount())
        return;
    Device.ConfigureLayers(count);
    MatchFrustumsToLayers();
}

// One frustum per layer, whoever changed the device's layer table.
void CRenderer::MatchFrustumsToLayers()
{
    if (FrustumCount == Device.GetLayerCount())
        return;
    delete[] pLayerFrustums;
    FrustumCount = Device.GetLayerCount();
    pLayerFrustums = FrustumCount ? new ViewFrustum[FrustumCount]() : nullptr;
}

void CRenderer::DefineLayer(int index, unsigned long flags, const fRECT& rect, const CVector4& colour, float depth)
{
    RenderLayer* layer = Device.GetLayer(index);
    if (!layer)
        return;
    layer->Flags = flags;
    if (index == Device.GetLayerCount() - 1)
        layer->Flags |= RenderLayer::LAST;
    layer->Left = rect.left;
    layer->Right = rect.right;
    layer->Top = rect.top;
    layer->Bottom = rect.bottom;
    layer->ClearColour = Channel(colour.x) << 16 | Channel(colour.y) << 8 | Channel(colour.z);
    layer->ClearDepth = depth;
}

void CRenderer::DefineLayerPreEffect(int index, int type, const CVector4& colour)
{
    if (RenderLayer* layer = Device.GetLayer(index)) {
        layer->PreEffectType = type;
        layer->PreEffectColour = colour;
    }
}

void CRenderer::DefineLayerPostEffect(int index, int type, const CVector4& colour)
{
    if (RenderLayer* layer = Device.GetLayer(index)) {
        layer->PostEffectType = type;
        layer->PostEffectColour = colour;
    }
}

void CRenderer::DefineLayerResourceAlias(int index, int alias)
{
    RenderLayer* layer = Device.GetLayer(index);
    if (layer && Device.GetLayer(alias))
        layer->ResourceAlias = static_cast<short>(alias);
}

int CRenderer::GetLayerPreEffect(int index, int& type, CVector4& colour)
{
    RenderLayer* layer = Device.GetLayer(index);
    if (!layer)
        return 0;
    type = layer->PreEffectType;
    colour = layer->PreEffectColour;
    return 1;
}

int CRenderer::GetLayerPostEffect(int index, int& type, CVector4& colour)
{
    RenderLayer* layer = Device.GetLayer(index);
    if (!layer)
        return 0;
    type = layer->PostEffectType;
    colour = layer->PostEffectColour;
    return 1;
}

int CRenderer::GetLayerResourceAlias(int index)
{
    RenderLayer* layer = Device.GetLayer(index);
    return layer ? layer->ResourceAlias : index;
}

void CRenderer::EnableLayer(int index, int on)
{
    if (RenderLayer* layer = Device.GetLayer(index))
        layer->Flags = on ? layer->Flags | RenderLayer::ENABLED : layer->Flags & ~DWORD(RenderLayer::ENABLED);
}

int CRenderer::LayerIsEnabled(int index)
{
    RenderLayer* layer = Device.GetLayer(index);
    return layer && (layer->Flags & RenderLayer::ENABLED) ? 1 : 0;
}

const ViewFrustum* CRenderer::GetLayerFrustum(int layer) const
{
    return layer >= 0 && layer < FrustumCount ? &pLayerFrustums[layer] : nullptr;
}

void CRenderer::GetRenderConfigState(int index, RenderConfigState& out)
{
    if (const RenderConfigState* mode = Device.GetMode(index))
        out = *mode;
    else
        CurrentRenderConfigState(out);
}

void CRenderer::CurrentRenderConfigState(RenderConfigState& out)
{
    const RenderSettings& s = Device.GetActiveSettings();
    out = RenderConfigState{};
    out.Width = s.Width;
    out.Height = s.Height;
    out.BitsPerPixel = s.BitsPerPixel;
    out.Windowable = s.Windowed;
    out.MaxSamplesFullScreen = out.MaxSamplesWindowed = s.MultiSample;
    out.Format = s.BackBufferFormat;
    out.DepthFormat = s.DepthFormat;
    int bits;
    DescribeFormat(s.BackBufferFormat, bits, out.FormatRank);
}

bool CRenderer::FindRenderConfigState(RenderConfigState& out, int width, int height, int bitsPerPixel)
{
    const RenderConfigState* best = nullptr;
    for (int i = 0; i < Device.CountModes(); ++i) {
        const RenderConfigState* s = Device.GetMode(i);
        if (s->Width != width || s->Height != height || s->BitsPerPixel != bitsPerPixel || s->FormatRank == 0)
            continue;
        if (!best || unsigned(s->FormatRank) > unsigned(best->FormatRank))
            best = s;
    }
    if (!best)
        return false;
    out = *best;
    return true;
}

// Displayed renders first, then those only animated (renders hung on others).
void CRenderer::Animate()
{
    for (CRender* head : {&CRender::FirstRender, &CRender::FirstAnimatedRender})
        for (CRender* r = head->pListNext; r; r = r->pListNext)
            if (r->pAnimator)
                r->pAnimator->Animate(r, 0);
}

CAnimation* CRenderer::CreateAnimation(CRendResource* resource, CRendResource*& skeleton, float weight)
{
    CVector position;
    CVector rotations[CHierarchyAnimation::kMaxChannels];
    unsigned long mask = 0;
    int channels = 0;
    CRendStaticSkeleton* own = nullptr;
    if (!resource)
        return nullptr;
    resource->GetAnimationData(position, rotations, mask, channels, own);
    skeleton = own;
    if (channels <= 0)
        return nullptr;
    if (channels > CHierarchyAnimation::kMaxChannels)
        channels = CHierarchyAnimation::kMaxChannels;
    void* block = zmalloc(64 + 8 * channels);
    if (!block)
        return nullptr;
    unsigned char* bytes = static_cast<unsigned char*>(block);
    std::memset(bytes, 0, 64 + 8 * channels);
    CHierarchyAnimation* animation = reinterpret_cast<CHierarchyAnimation*>(bytes);
    animation->pTriggers = nullptr;
    animation->EndTime = 0.01f;
    animation->FadeIn = 0.0f;
    animation->FadeOut = 1.0f;
    animation->NumChannels = static_cast<unsigned short>(channels);
    animation->KeySize = static_cast<unsigned short>(16 + 4 * channels);
    animation->ActiveChannels = mask;
    animation->pSkeleton = own;
    animation->NoKeys = 1;
    animation->pKeys = reinterpret_cast<HierarchyKey*>(bytes + CHierarchyAnimation::HeaderSize(channels));
    animation->pMovementKeys = nullptr;
    animation->RootWeight = weight;
    for (int i = 0; i < channels; ++i)
        animation->Weights[i] = weight;
    HierarchyKey* key = animation->pKeys;
    key->Time = 0.0f;
    key->Position = position;
    // 512 / pi packed units to the radian, cut to ten bits per angle.
    for (int i = 0; i < channels; ++i) {
        const float angles[3] = {rotations[i].x, rotations[i].y, rotations[i].z};
        unsigned long packed = 0;
        for (int axis = 0; axis < 3; ++axis)
            packed |= ((unsigned long)(long)(angles[axis] * 162.97466f) & 1023UL) << (10 * axis);
        key->Rots[i] = packed;
    }
    // Built in place last: the constructor leaves a record that is not packed data alone.
    return new (block) CHierarchyAnimation;
}

void CRenderer::Replot()
{
    for (CRender* r = CRender::FirstRender.pListNext; r; r = r->pListNext) {
        if (!r->pPos)
            continue;
        if (r->Viewport == r->PlotViewport && r->pResource == r->pPlotResource && !MovedFar(*r->pPos, r->PlotPos))
            continue;
        COctTree::Plot(r);
    }
}

void CRenderer::DrawLayers()
{
    MatchFrustumsToLayers();
    for (;;) {
        CRender::NewSelectableList();
        Device.BeginFrame();
        int restart = 0;
        for (int i = 0; i < Device.GetLayerCount() && !restart; ++i) {
            RenderLayer* layer = Device.GetLayer(i);
            if (!(layer->Flags & RenderLayer::ENABLED))
                continue;
            SelectViewport(i);
            CurrentResViewport = layer->ResourceAlias;
            COctTree::BuildFrustum(i, 0.0f, 0.0f, 640.0f, 480.0f, pLayerFrustums[i]);
            Device.BeginLayer(i);
            COctTree::CullAndDraw(CurrentResViewport, pLayerFrustums[i]);
            restart = Device.EndLayer();
        }
        if (!restart && Device.EndFrame() == 0)
            break;
    }
    Device.PresentFrame();
}

bool CRenderer::Process()
{
    FrameByte = 0;
    FrameNumber = ++RollingCount;
    Animate();
    BufferClear = 1;
    Replot();
    DrawLayers();
    return false;
}

void CRenderer::RenderThis(CRender* render, int clear)
{
    BufferClear = clear;
    FrameByte = 0;
    if (render) {
        Device.BeginFrame();
        const int viewport = render->GetViewport();
        SelectViewport(viewport);
        Device.BeginLayer(viewport);
        CurrentResViewport = static_cast<short>(GetLayerResourceAlias(viewport));
        render->Display();
        if (Device.EndLayer() == 0)
            Device.EndFrame();
    }
    if (clear)
        Device.PresentFrame();
}

void CRenderer::RenderThisBegin()
{
    FrameByte = 0;
    Device.BeginFrame();
}

void CRenderer::RenderThisEnd() { Device.EndFrame(); }

void CRenderer::RenderForced(CRender* render)
{
    if (render && render->pResource)
        render->pResource->Render(render);
}

void CRenderer::ClearResource(CRendResource* resource)
{
    if (Clearing)
        return;
    Clearing = 1;
    for (CRender* head : {&CRender::FirstAnimatedRender, &CRender::FirstRender}) {
        CRender* render = head->pListNext;
        while (render) {
            CRender* next = render->pListNext;
            if (render->GetResource() == resource)
                render->Attach(nullptr, 0);
            render = next;
        }
    }
    Clearing = 0;
}

// A stable bubble sort: neighbours swap only when the later one is strictly smaller.
void CRenderer::SortRenders()
{
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (CRender* r = CRender::FirstRender.pListNext; r && r->pListNext; r = r->pListNext) {
            CRender* next = r->pListNext;
            if (next->MergedPriority >= r->MergedPriority)
                continue;
            // Take next out and put it before r.
            r->pListNext = next->pListNext;
            if (next->pListNext)
                next->pListNext->pListPrev = r;
            next->pListPrev = r->pListPrev;
            r->pListPrev->pListNext = next;
            next->pListNext = r;
            r->pListPrev = next;
            r = next;
            swapped = true;
        }
    }
}

GRendererConfigurator::GRendererConfigurator()
{
    if (EditableEvaluation || !CRenderer::pThe)
        return;
    SavedFlags = CRenderer::pThe->GetEngineFlags();
    CRenderer::pThe->ChangeFlags(Flags);
    Sleep(SLEEP_FOREVER);
}

GRendererConfigurator::~GRendererConfigurator()
{
    if (EditableEvaluation || !CRenderer::pThe)
        return;
    if (CRenderer::pThe->GetEngineFlags() == Flags)
        CRenderer::pThe->ChangeFlags(SavedFlags);
}

int GRendererConfigurator::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Flags", "DWORD", Flags);
    return count + 1;
}

bool GOctTreeBuilder::Process()
{
    if (--FrameCount < 0) {
        COctTree::Rebuild();
        Destroy();
    }
    return true;
}

int GOctTreeBuilder::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "FrameCount", "int", FrameCount);
    return count + 1;
}
