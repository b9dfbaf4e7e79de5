#include "engine/effects/ParticleDrawing.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include "core/heap/ZHeap.h"
#include "core/math/MathTables.h"
#include "engine/effects/EmitterPlacement.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

float Reciprocal(float lifespan) { return lifespan > 0.0f ? 1.0f / lifespan : FLT_MAX; }

CVector4 ToVector4(const rhu::CVector4& v) { return CVector4(v.X, v.Y, v.Z, v.W); }

CVector4 LerpColour(const CVector4& a, const CVector4& b, float t)
{
    return CVector4(LerpFloat(a.x, b.x, t), LerpFloat(a.y, b.y, t), LerpFloat(a.z, b.z, t), LerpFloat(a.w, b.w, t));
}

int ParticleRenderState(unsigned long flags)
{
    if ((flags & 0x6) == 0x6)
        return 0x1812;
    return (flags & 0x2) ? 0x812 : 0x802;
}

bool SameParticleBatch(const rhu::ParticleDef* a, const rhu::ParticleDef* b)
{
    const unsigned long batchFlags = 0x1E;
    return a->pTexture == b->pTexture && (a->Flags & batchFlags) == (b->Flags & batchFlags);
}

D3DCOLOR PackColour(const CVector4& c)
{
    auto byte = [](float v) { return static_cast<unsigned long>(v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v); };
    return (byte(c.w) << 24) | (byte(c.x) << 16) | (byte(c.y) << 8) | byte(c.z);
}

// Spin is converted to degrees and then stepped as if it were radians, so a small spin value
// already turns a particle a long way.
int SpinIndex(float angle) { return static_cast<int>(angle * 57.2958f * fmSinIndexScale) & 0x7FF; }

void CameraAxes(int viewport, CVector& right, CVector& up)
{
    const ViewportTransform* view = GetViewportTransform(viewport & 7);
    right = CVector(view->Camera.m[0], view->Camera.m[4], view->Camera.m[8]);
    up = CVector(view->Camera.m[1], view->Camera.m[5], view->Camera.m[9]);
}

float CameraHeading(int viewport)
{
    const ViewportTransform* view = GetViewportTransform(viewport & 7);
    return atan2f(view->Camera.m[2], -view->Camera.m[6]);
}

void WriteFacingQuad(PrimVertex* v, const CVector& centre, const CVector& right, const CVector& up, float halfWidth,
                     float halfHeight, int spin, D3DCOLOR colour)
{
    const float sine = fmsintable[spin], cosine = fmsintable[(spin + 512) & 2047];
    const CVector x = (right * cosine + up * sine) * halfWidth;
    const CVector y = (up * cosine - right * sine) * halfHeight;
    const CVector corners[4] = {centre - x + y, centre + x + y, centre - x - y, centre + x - y};
    static const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i)
        v[i] = PrimVertex{corners[i].x, corners[i].y, corners[i].z, 0, 0, 1, colour, uv[i][0], uv[i][1]};
}

void GrowParticleArray(ParticleStub**& particles, int& capacity, int count, int total)
{
    if (total <= capacity)
        return;
    const int grownCapacity = total + total / 4;
    ParticleStub** grown = static_cast<ParticleStub**>(zmalloc(grownCapacity * sizeof(ParticleStub*)));
    if (count > 0)
        memcpy(grown, particles, count * sizeof(ParticleStub*));
    zfree(particles);
    particles = grown;
    capacity = grownCapacity;
}

void PushParticles(ParticleStub** particles, int count, const CVector& push)
{
    for (int i = 0; i < count; ++i)
        particles[i]->Velocity += push;
}

void PushParticlesFrom(ParticleStub** particles, int count, const CVector& point, float radius, float inner,
                       float outer)
{
    for (int i = 0; i < count; ++i) {
        ParticleStub* p = particles[i];
        const CVector away = p->Position - point;
        const float distance = away.GetLength();
        // At the point itself there is no direction to push in.
        if (!(distance < radius) || distance == 0.0f)
            continue;
        const float f = distance / radius;
        p->Velocity += away * (((1.0f - f) * inner + f * outer) / distance);
    }
}
