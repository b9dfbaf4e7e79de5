#include "engine/effects/GDynaDecal.h"

#include "engine/effects/EffectModifiers.h"
#include "engine/effects/EffectObjects.h"
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/math/MathTables.h"
#include "engine/effects/EffectRandom.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendMap.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/MapDecal.h"
#include "engine/render/Material.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GDynaDecal, 0x08008000)
IMPLEMENT_GOBJECT(GTeamColorDecal, 0x08008000)
IMPLEMENT_GOBJECT(GUnitTrackDecal, 0x08008000)
IMPLEMENT_GOBJECT(GDecorDecal, 0x8A008000)

bool GDynaDecal::CapOn = false;
unsigned long GDynaDecal::CapFrame = 0;
int GDynaDecal::CapCount = 0;

namespace {

// The fraction of the band start..end that value has passed; a band of no width is passed
// at once rather than divided by zero.
float BandFraction(float value, float start, float end)
{
    return end != start ? (value - start) / (end - start) : 0.0f;
}

} // namespace

GDynaDecal::GDynaDecal()
{
    if (EditableEvaluation != 0)
        return;
    if (DrawRadius <= 0.0f)
        DrawRadius = 5.0f;
    Jitter = EffectRandom() * 0.01f;
}

GDynaDecal::~GDynaDecal()
{
    if (EditableEvaluation != 0)
        return;
    if (GetOwner() == &OwnRender)
        OwnRender.Detach(this);
}

int GDynaDecal::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "DrawRadius", "float", DrawRadius);
    AddEditable(cursor, "Width", "float", Width);
    AddEditable(cursor, "Height", "float", Height);
    AddEditable(cursor, "ZOffset", "float", ZOffset);
    AddEditable(cursor, "DepthBias", "float", DepthBias);
    AddEditable(cursor, "pTexture", "void*", pTexture, kResolvedPointerFlags);
    AddEditable(cursor, "Color.Red", "float", Color.x);
    AddEditable(cursor, "Color.Green", "float", Color.y);
    AddEditable(cursor, "Color.Blue", "float", Color.z);
    AddEditable(cursor, "Color.Alpha", "float", Color.w);
    AddEditable(cursor, "FalloffStart", "float", FalloffStart);
    AddEditable(cursor, "FalloffEnd", "float", FalloffEnd);
    AddEditable(cursor, "FalloffScale", "float", FalloffScale);
    AddEditable(cursor, "UseFalloff", "int", UseFalloff);
    AddEditable(cursor, "UseAlpha", "int", UseAlpha);
    AddEditable(cursor, "UseAdditive", "int", UseAdditive);
    AddEditable(cursor, "UseRotation", "int", UseRotation);
    AddEditable(cursor, "UseZBuffer", "int", UseZBuffer);
    AddEditable(cursor, "UseZWrite", "int", UseZWrite);
    AddEditable(cursor, "TrackParent", "int", TrackParent);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, kResolvedPointerFlags);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return count + 25;
}

GPosRot* GDynaDecal::ParentObject()
{
    GObject* parent = GetParent();
    return parent && parent != GetRoot() ? GPosRot::FromObject(parent) : nullptr;
}

bool GDynaDecal::Process()
{
    if (GetOwner())
        return false;
    if (TrackParent) {
        if (!ParentObject()) {
            Destroy();
            return true;
        }
        if (CRender* render = ParentRender(this))
            render->Attach(this);
        return false;
    }
    OwnRender.Attach(&Position, &Rotation, nullptr, nullptr);
    OwnRender.Index(0);
    OwnRender.SetSelectable(GetHandle());
    OwnRender.Attach(this);
    OwnRender.SetViewport(static_cast<short>(Viewport & 0x1F));
    OwnRender.Link();
    return false;
}

LocationEntry* GDynaDecal::ClipRectToLocation(int index, float& cellSize, float x0, float x1, float y0, float y1,
                                              int range[4])
{
    if (!GmvWorld::pThe || index < 0 || index >= GmvWorld::pThe->GetLocationCount())
        return nullptr;
    LocationEntry* location = GmvWorld::LocationArray[index];
    if (!location || !location->pMap || location->pMap->IsEmpty())
        return nullptr;
    const BackgroundBatch& map = location->pMap->Map;
    cellSize = float(map.TileWidth);
    if (!(cellSize > 0.0f) || !(x1 > x0) || !(y1 > y0))
        return nullptr;
    const float left = (x0 - map.Origin.x) / cellSize, right = (x1 - map.Origin.x) / cellSize;
    const float bottom = (y0 - map.Origin.y) / cellSize, top = (y1 - map.Origin.y) / cellSize;
    const float lastX = float(map.MapWidth - 1), lastY = float(map.MapHeight - 1);
    if (right < 0.0f || top < 0.0f || left >= lastX || bottom >= lastY)
        return nullptr;
    range[0] = static_cast<int>(std::floor(left < 0.0f ? 0.0f : left));
    range[1] = static_cast<int>(std::floor(bottom < 0.0f ? 0.0f : bottom));
    range[2] = static_cast<int>(std::floor(right > lastX - 1.0f ? lastX - 1.0f : right)) + 1;
    range[3] = static_cast<int>(std::floor(top > lastY - 1.0f ? lastY - 1.0f : top)) + 1;
    if (range[2] <= range[0] || range[3] <= range[1])
        return nullptr;
    return location;
}

bool GDynaDecal::ApplyFalloff(float height, CVector4& colour, float& width, float& length) const
{
    if (!UseFalloff)
        return true;
    if (height < 0.0f)
        height = 0.0f;
    if (height < FalloffStart)
        return true;
    const float f = BandFraction(height, FalloffStart, FalloffEnd);
    if (f > 1.0f)
        return false;
    colour.w *= 1.0f - f;
    const float grow = 1.0f + f * (FalloffScale - 1.0f);
    width *= grow;
    length *= grow;
    return true;
}

bool GDynaDecal::DrawRectangle(const CVector& centre, float width, float height, float angle, CVector4 colour,
                               float radius)
{
    if (!IsInFrustrum(Viewport, centre, radius))
        return false;
    if (CapOn) {
        if (CapFrame != CRenderer::FrameNumber) {
            CapFrame = CRenderer::FrameNumber;
            CapCount = 0;
        }
        if (++CapCount > kParticleDecalCap)
            return false;
    }
    if (!(width > 0.0f) || !(height > 0.0f) || !GmvWorld::pThe)
        return false;
    if (GFOWManager::pThe && FOWMode >= 0.0f) {
        CVector4 tint(1, 1, 1, 1);
        CVector at = centre;
        float most = 100.0f;
        if (!GFOWManager::pThe->TintFOW(FOWMode, tint, &at, nullptr, &most))
            return false;
        colour.Set(colour.x * tint.x, colour.y * tint.y, colour.z * tint.z, colour.w * tint.w);
    }
    const float s = angle != 0.0f ? fmsin(angle) : 0.0f, c = angle != 0.0f ? fmcos(angle) : 1.0f;
    const float hx = 0.5f * (std::fabs(c) * width + std::fabs(s) * height);
    const float hy = 0.5f * (std::fabs(s) * width + std::fabs(c) * height);
    // World x, y to texture space: into the decal's turned frame, scaled to its size, centred.
    CMatrix uv;
    uv.SetIdentity();
    uv.m0 = c / width, uv.m4 = s / width, uv.m12 = 0.5f - (centre.x * c + centre.y * s) / width;
    uv.m1 = -s / height, uv.m5 = c / height, uv.m13 = 0.5f - (-centre.x * s + centre.y * c) / height;

    Material material;
    std::memcpy(&material, &DefaultStageRecord(), sizeof material);
    material.pTexture = static_cast<CRendTexture*>(pTexture);
    const int order = static_cast<int>(std::floor(ZOffset * 1000.0f + Jitter));
    SetMapDecalStyle(order, UseAdditive ? 1u : 0u, &colour, static_cast<int>(RendPriority), &material);
    for (int index = GmvWorld::pThe->GetLocationCount() - 1; index >= 0; --index) {
        float cell;
        int range[4];
        LocationEntry* location =
            ClipRectToLocation(index, cell, centre.x - hx, centre.x + hx, centre.y - hy, centre.y + hy, range);
        if (!location)
            continue;
        // The renderer takes pieces of fewer than kMaxDecalSpan cells each way.
        const int step = kMaxDecalSpan - 1;
        for (int y = range[1]; y < range[3]; y += step)
            for (int x = range[0]; x < range[2]; x += step) {
                BeginMapDecal(location->pMap, x, y, std::min(x + step, range[2]), std::min(y + step, range[3]), uv);
                EndMapDecal();
            }
    }
    return true;
}

bool GDynaDecal::Render()
{
    GPosRot* parent = TrackParent ? ParentObject() : nullptr;
    CVector source = parent ? parent->Position : Position;
    const float above = source.z;
    source.z = CRenderer::GetHeightData(source);
    CVector4 colour = Color;
    float width = Width, height = Height;
    // The band measures how far the source stands above the ground under it.
    if (!ApplyFalloff(above - source.z, colour, width, height))
        return false;
    float angle = 0.0f;
    if (UseRotation)
        angle = Rotation.z + (parent ? parent->Rotation.z : 0.0f);
    DrawRectangle(source, width, height, angle, colour, DrawRadius);
    return false;
}

void GTeamColorDecal::PostConstruction()
{
    GDynaDecal::PostConstruction();
    Destroy();
}

bool GUnitTrackDecal::Render()
{
    const CVector4 saved = Color;
    if (CRender* owner = GetOwner())
        Color.w *= owner->GetHackFloat1();
    GDynaDecal::Render();
    Color = saved;
    return false;
}

GDecorDecal::GDecorDecal()
{
    if (EditableEvaluation != 0)
        return;
    TrackParent = 0;
}

bool GDecorDecal::Process()
{
    if (GDynaDecal::Process())
        return true;
    if (GetOwner() != &OwnRender)
        return false;
    if (CGameTimer::bReportPaused && pResource) {
        if (OwnRender.GetResource() != pResource)
            OwnRender.Attach(pResource, 0);
    } else if (OwnRender.GetResource()) {
        OwnRender.DetachResource();
    }
    return false;
}
