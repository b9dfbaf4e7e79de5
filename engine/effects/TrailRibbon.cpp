#include "engine/effects/TrailRibbon.h"

#include <cmath>

#include "core/heap/ZHeap.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/render/PrimBatch.h"

namespace {

void Colour4(const rhu::ColourRGBA& c, float* out) { out[0] = c.X, out[1] = c.Y, out[2] = c.Z, out[3] = c.W; }

// The key of definition d at s seconds into it, blended toward the definition after it.
TrailKey SampleKey(const rhu::ParticleDef& d, float s)
{
    TrailKey key;
    Colour4(d.MinColor, key.ColourA);
    Colour4(d.MaxColor, key.ColourB);
    key.TexA = d.MinDamp.X, key.TexB = d.MaxDamp.X;
    key.WidthA = d.Scale.Min, key.WidthB = d.Scale.Max;
    key.Fade = d.Lifespan.Max;
    if (const rhu::ParticleDef* n = d.pNextDef) {
        // A definition of no length hands over to the next one at once.
        const float f = d.Lifespan.Min > 0.0f ? Clamp01(s / d.Lifespan.Min) : 1.0f;
        float a[4], b[4];
        Colour4(n->MinColor, a);
        Colour4(n->MaxColor, b);
        for (int c = 0; c < 4; ++c) {
            key.ColourA[c] = Lerp(key.ColourA[c], a[c], f);
            key.ColourB[c] = Lerp(key.ColourB[c], b[c], f);
        }
        key.TexA = Lerp(key.TexA, n->MinDamp.X, f), key.TexB = Lerp(key.TexB, n->MaxDamp.X, f);
        key.WidthA = Lerp(key.WidthA, n->Scale.Min, f), key.WidthB = Lerp(key.WidthB, n->Scale.Max, f);
        key.Fade = Lerp(key.Fade, n->Lifespan.Max, f);
    }
    key.InvFade = key.Fade > 0.0f ? 1.0f / key.Fade : 3.4028235e38f;
    key.pDef = const_cast<rhu::ParticleDef*>(&d);
    return key;
}

CVector Cross(const CVector& a, const CVector& b)
{
    return CVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

} // namespace

int TrailPointCount(float span, float period)
{
    if (!(span > 0.0f) || !(period > 0.0f))
        return 0;
    const float steps = span / period;
    if (steps >= float(kMaxTrailPoints - 1))
        return kMaxTrailPoints;
    // Truncated, not rounded after subtracting just under a half: that form loses a step on
    // odd whole quotients (3.0 - 0.4999999 rounds to 2.5, and 2.5 to the even 2).
    return static_cast<int>(steps) + 1;
}

int BuildTrailKeys(const rhu::ParticleDef* first, float span, float period, TrailKey*& keys)
{
    zfree(keys);
    keys = nullptr;
    const int room = TrailPointCount(span, period);
    if (room == 0)
        return 0;
    keys = static_cast<TrailKey*>(zmalloc(static_cast<unsigned long>(room) * sizeof(TrailKey)));
    int count = 0;
    // Sample times are taken as step x period, not summed, so that ten steps of 0.1 reach a
    // span of 1.0 exactly and the last key is not lost to rounding.
    float consumed = 0.0f;
    const rhu::ParticleDef* d = first;
    for (int step = 0; d && count < room; ++step) {
        const float at = float(step) * period;
        if (at > span)
            break;
        float s = at - consumed;
        keys[count++] = SampleKey(*d, s);
        s = float(step + 1) * period - consumed;
        if (s >= d->Lifespan.Min) {
            if (!d->pNextDef)
                break;
            consumed += d->Lifespan.Min;
            d = d->pNextDef;
        }
    }
    return count;
}

void AimTrailPoint(TrailPoint& prev, const TrailPoint& next, const TrailPoint* before)
{
    const CVector d(next.Position.x - prev.Position.x, next.Position.y - prev.Position.y,
                    next.Position.z - prev.Position.z);
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length > 0.0f)
        prev.Direction.Set(d.x / length, d.y / length, d.z / length);
    else if (before)
        prev.Direction = before->Direction;
}

void BeginTrailDrawing(const rhu::ParticleDef& def, unsigned long priority)
{
    int blend = 3074;
    if (def.Flags & rhu::PARDEF_ALPHA)
        blend = (def.Flags & rhu::PARDEF_ADDITIVE) ? 7186 : 3090;
    BeginPrimitives(0, 1, 1);
    SetPrimitiveStage(0, static_cast<int>((def.Flags >> 3) & 3), blend, nullptr);
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(def.pTexture));
    SetPrimitivePriority(static_cast<int>(priority));
}

TrailEdge MakeTrailEdge(const TrailPoint& point, const TrailKey& key, const CVector& view, float now)
{
    const float t = Clamp01((now - point.Time) * key.InvFade);
    const CVector side = Cross(view, point.Direction);
    const float half = (1.0f - t) * key.WidthA + t * key.WidthB;
    const CVector& p = point.Position;
    TrailEdge edge;
    edge.Left.Set(p.x + side.x * half, p.y + side.y * half, p.z + side.z * half);
    edge.Right.Set(p.x - side.x * half, p.y - side.y * half, p.z - side.z * half);
    edge.Colour = CVector4(Lerp(key.ColourA[0], key.ColourB[0], t), Lerp(key.ColourA[1], key.ColourB[1], t),
                           Lerp(key.ColourA[2], key.ColourB[2], t), Lerp(key.ColourA[3], key.ColourB[3], t));
    edge.V = (1.0f - t) * key.TexA + t * key.TexB;
    return edge;
}

void DrawTrailQuad(const TrailEdge& from, const TrailEdge& to)
{
    StartPrimitive(0);
    const TrailEdge* edges[4] = {&from, &to, &to, &from};
    for (int i = 0; i < 4; ++i) {
        const bool left = i < 2;
        const float uv[2] = {left ? 0.0f : 1.0f, edges[i]->V};
        SetPrimitiveColor(edges[i]->Colour);
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(left ? edges[i]->Left : edges[i]->Right);
    }
    EndPrimitive();
}

bool TrailViewDirection(int viewport, CVector& view)
{
    CVector eye, focus;
    if (!GParticleSystem::CameraEye(viewport, eye, focus))
        return false;
    const CVector d(focus.x - eye.x, focus.y - eye.y, focus.z - eye.z);
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length == 0.0f)
        return false;
    view.Set(d.x / length, d.y / length, d.z / length);
    return true;
}
