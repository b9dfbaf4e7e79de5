#include "engine/render/LightHandles.h"
#include "engine/render/PrimBatch.h"

#include <cmath>
#include <cstring>

#include "engine/render/Camera.h"

template <class T> CLightPool<T>::CLightPool(int startPages) : First{}
{
    First.FreeMask = 0xFFFFFFFFu;
    Page* last = &First;
    for (int i = 1; i < startPages; ++i) {
        last->pNext = new Page{};
        last = last->pNext;
        last->FreeMask = 0xFFFFFFFFu;
    }
}

template <class T> CLightPool<T>::~CLightPool()
{
    for (Page* p = First.pNext; p;) {
        Page* next = p->pNext;
        delete p;
        p = next;
    }
}

template <class T> T* CLightPool<T>::Reserve()
{
    Page* last = nullptr;
    for (Page* p = &First; p; p = p->pNext) {
        last = p;
        if (p->Full)
            continue;
        if (p->FreeMask == 0) {
            p->Full = 1;
            continue;
        }
        int bit = 0;
        while (!(p->FreeMask & (1u << bit)))
            ++bit;
        p->FreeMask &= ~(1u << bit);
        return &p->Records[bit];
    }
    Page* page = new Page{};
    page->FreeMask = 0xFFFFFFFEu;
    last->pNext = page;
    return &page->Records[0];
}

template <class T> void CLightPool<T>::Release(T* record)
{
    for (Page* p = &First; p; p = p->pNext)
        if (record >= p->Records && record < p->Records + 32) {
            p->FreeMask |= 1u << (record - p->Records);
            p->Full = 0;
            return;
        }
}

template <class T> void CLightPool<T>::ReleaseAll()
{
    for (Page* p = &First; p; p = p->pNext) {
        p->FreeMask = 0xFFFFFFFFu;
        p->Full = 0;
    }
}

template <class T> int CLightPool<T>::CountPages() const
{
    int n = 0;
    for (const Page* p = &First; p; p = p->pNext)
        ++n;
    return n;
}

namespace {

CLightPool<LightRecord>& Records()
{
    static CLightPool<LightRecord> pool(9);
    return pool;
}
CLightPool<DeviceLightRecord>& DeviceRecords()
{
    static CLightPool<DeviceLightRecord> pool(9);
    return pool;
}

LightRecord* g_Selected;
LightRecord* g_FrameLights[kMaxFrameLights];
int g_FrameLightCount;

LightRecord* FromHandle(unsigned long handle) { return reinterpret_cast<LightRecord*>(handle); }

// The light's values as the device and the shaders take them.
void RefreshDeviceRecord(LightRecord& light, bool shadersInUse)
{
    DeviceLightRecord& d = *light.pDevice;
    d.Diffuse = light.ScaledDiffuse * (1.0f / 255.0f);
    d.Ambient = light.ScaledAmbient * (1.0f / 255.0f);
    d.FogColour = 0;
    if (light.Type == LightRecord::TYPE_FOG) {
        auto channel = [](float v) { return DWORD(v <= 0 ? 0 : v >= 255 ? 255 : std::lround(v)); };
        d.FogColour = 0xFF000000u | channel(light.ScaledDiffuse.x) << 16 | channel(light.ScaledDiffuse.y) << 8 |
                      channel(light.ScaledDiffuse.z);
    }
    d.InverseAperture = light.Aperture > 0.0f ? 1.0f / light.Aperture : 0.0f;
    if (shadersInUse)
        return;
    D3DLIGHT9& l = d.Light;
    std::memset(&l, 0, sizeof l);
    l.Type = light.Type == LightRecord::TYPE_SPOT    ? D3DLIGHT_SPOT
             : light.Type == LightRecord::TYPE_POINT ? D3DLIGHT_POINT
                                                     : D3DLIGHT_DIRECTIONAL;
    l.Diffuse = {d.Diffuse.x, d.Diffuse.y, d.Diffuse.z, 0.0f};
    l.Ambient = {d.Ambient.x, d.Ambient.y, d.Ambient.z, 0.0f};
    l.Position = {light.Position.x, light.Position.y, light.Position.z};
    const float sign = light.Type == LightRecord::TYPE_SPOT ? 1.0f : -1.0f;
    l.Direction = {sign * light.Direction.x, sign * light.Direction.y, sign * light.Direction.z};
    l.Range = light.Radius;
    l.Falloff = 1.0f;
    l.Attenuation0 = light.Attenuation.x > 0 ? light.Attenuation.x : 0.0f;
    l.Attenuation1 = light.Attenuation.y > 0 ? light.Attenuation.y : 0.0f;
    l.Attenuation2 = light.Attenuation.z > 0 ? light.Attenuation.z : 0.0f;
    const float aperture = light.Aperture < -1.0f ? -1.0f : light.Aperture > 1.0f ? 1.0f : light.Aperture;
    l.Phi = std::acos(aperture);
}

} // namespace

unsigned long LightHandleAquire()
{
    TracePrimitiveCall("LightHandleAquire");
    LightRecord* light = Records().Reserve();
    std::memset(static_cast<void*>(light), 0, sizeof *light);
    light->Flags = LightRecord::FLAG_CHANGED;
    light->Intensity = 1.0f;
    light->ScaledDiffuse = light->Diffuse = CVector(255, 255, 255);
    light->Direction = CVector(0, 0, 1);
    light->Attenuation = CVector(1.0f, 0.1f, 0.01f);
    light->Aperture = 0.25f;
    light->Radius = 10.0f;
    light->pDevice = DeviceRecords().Reserve();
    std::memset(static_cast<void*>(light->pDevice), 0, sizeof *light->pDevice);
    return reinterpret_cast<unsigned long>(light);
}

void LightHandleRelease(unsigned long& handle)
{
    TracePrimitiveCall("LightHandleRelease");
    LightRecord* light = FromHandle(handle);
    if (!light)
        return;
    DeviceRecords().Release(light->pDevice);
    light->pDevice = nullptr;
    light->Aperture = 0.12345f;
    light->Radius = 12.345f;
    if (g_Selected == light)
        g_Selected = nullptr;
    // A released light must not stay in this frame's table.
    for (int i = 0; i < g_FrameLightCount; ++i)
        if (g_FrameLights[i] == light) {
            g_FrameLights[i] = g_FrameLights[--g_FrameLightCount];
            break;
        }
    Records().Release(light);
    handle = 0;
}

bool LightIsEnabled(unsigned long& handle) { return handle && (FromHandle(handle)->Flags & LightRecord::FLAG_ENABLED); }

void LightEnable(unsigned long& handle, bool on)
{
    TracePrimitiveCall("LightEnable %d", on ? 1 : 0);
    if (LightRecord* light = FromHandle(handle))
        light->Flags = on ? light->Flags | LightRecord::FLAG_ENABLED : light->Flags & ~LightRecord::FLAG_ENABLED;
}

void LightHandleSelect(unsigned long& handle)
{
    g_Selected = FromHandle(handle);
    if (g_Selected)
        g_Selected->Flags |= LightRecord::FLAG_CHANGED;
}

void LightSetName(unsigned long name)
{
    if (g_Selected)
        g_Selected->Name = name;
}
void LightSetPriority(int priority)
{
    if (g_Selected)
        g_Selected->Priority = priority;
}
void LightSetType(int type)
{
    TracePrimitiveCall("LightSetType %d", type);
    if (!g_Selected)
        return;
    g_Selected->Type = type;
    if (type == LightRecord::TYPE_POINT || type == LightRecord::TYPE_SPOT)
        g_Selected->Flags |= LightRecord::FLAG_CULL;
    else if (type >= LightRecord::TYPE_NONE && type <= LightRecord::TYPE_FOG)
        g_Selected->Flags &= ~LightRecord::FLAG_CULL;
}
void LightSetIntensity(float intensity)
{
    if (g_Selected)
        g_Selected->Intensity = intensity;
}
void LightSetAmbient(const CVector& colour)
{
    if (g_Selected)
        g_Selected->Ambient = colour;
}
void LightSetDiffuse(const CVector& colour)
{
    TracePrimitiveCall("LightSetDiffuse %.3f %.3f %.3f", double(colour.x), double(colour.y), double(colour.z));
    if (g_Selected)
        g_Selected->Diffuse = colour;
}
void LightSetSpecular(const CVector& colour)
{
    if (g_Selected)
        g_Selected->Specular = colour;
}
void LightSetDirection(const CVector& direction)
{
    if (g_Selected)
        g_Selected->Direction = direction;
}
void LightSetPosition(const CVector& position)
{
    TracePrimitiveCall("LightSetPosition %.3f %.3f %.3f", double(position.x), double(position.y), double(position.z));
    if (g_Selected)
        g_Selected->Position = position;
}
void LightSetAttenuation(const CVector& terms)
{
    if (g_Selected)
        g_Selected->Attenuation = terms;
}
void LightSetViewport(int viewport)
{
    if (g_Selected)
        g_Selected->Viewport = viewport;
}
void LightSetRadius(float radius)
{
    TracePrimitiveCall("LightSetRadius %.3f", double(radius));
    if (g_Selected)
        g_Selected->Radius = radius;
}
void LightSetArpeture(float aperture)
{
    if (g_Selected)
        g_Selected->Aperture = aperture;
}
void LightSetExtents(float minX, float maxX, float minY, float maxY, int left, int top, int right, int bottom)
{
    if (!g_Selected)
        return;
    g_Selected->MinX = minX;
    g_Selected->MaxX = maxX;
    g_Selected->MinY = minY;
    g_Selected->MaxY = maxY;
    unsigned long& f = g_Selected->Flags;
    f &= ~(LightRecord::FLAG_LEFT | LightRecord::FLAG_TOP | LightRecord::FLAG_RIGHT | LightRecord::FLAG_BOTTOM);
    f |= (left ? LightRecord::FLAG_LEFT : 0UL) | (top ? LightRecord::FLAG_TOP : 0UL) |
         (right ? LightRecord::FLAG_RIGHT : 0UL) | (bottom ? LightRecord::FLAG_BOTTOM : 0UL);
}
void LightSetCull(bool cull)
{
    if (g_Selected)
        g_Selected->Flags =
            cull ? g_Selected->Flags & ~LightRecord::FLAG_NEVER_CULL : g_Selected->Flags | LightRecord::FLAG_NEVER_CULL;
}

void RebuildFrameLightTable(unsigned long engineFlags, bool shadersInUse)
{
    g_FrameLightCount = 0;
    Records().ForEach([&](LightRecord& light) {
        if (g_FrameLightCount >= kMaxFrameLights || !(light.Flags & LightRecord::FLAG_ENABLED) ||
            light.Type == LightRecord::TYPE_NONE)
            return;
        if ((light.Flags & LightRecord::FLAG_CULL) && !(light.Flags & LightRecord::FLAG_NEVER_CULL) &&
            !IsInFrustrum(light.Viewport, light.Position, light.Radius))
            return;
        const bool pointOrSpot = light.Type == LightRecord::TYPE_POINT || light.Type == LightRecord::TYPE_SPOT;
        if ((pointOrSpot && !(engineFlags & 0x08)) || (light.Type == LightRecord::TYPE_FOG && !(engineFlags & 0x04)))
            return;
        g_FrameLights[g_FrameLightCount++] = &light;
        if (light.Flags & LightRecord::FLAG_CHANGED) {
            light.Flags &= ~LightRecord::FLAG_CHANGED;
            light.ScaledAmbient = light.Ambient * light.Intensity;
            light.ScaledDiffuse = light.Diffuse * light.Intensity;
            light.ScaledSpecular = light.Specular * light.Intensity;
            RefreshDeviceRecord(light, shadersInUse);
        }
    });
}

int GetFrameLightCount() { return g_FrameLightCount; }
LightRecord* GetFrameLight(int index)
{
    return index >= 0 && index < g_FrameLightCount ? g_FrameLights[index] : nullptr;
}
int CountLightPages() { return Records().CountPages(); }

template class CLightPool<LightRecord>;
template class CLightPool<DeviceLightRecord>;
