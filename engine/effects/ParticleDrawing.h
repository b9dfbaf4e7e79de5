#pragma once
// What the particle effects share when they step and draw their particles: the stage a record
// is on, the render state and batch a stage's flags give, and camera-facing quads.
#include <d3d9.h>

#include <algorithm>

#include "core/math/CVector.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/PrimBatch.h"

class CRendTexture;

// The particle's stage as the packed record it is.
inline rhu::ParticleDef* DefOf(const ParticleStub* p) { return reinterpret_cast<rhu::ParticleDef*>(p->pDef); }
inline void SetDef(ParticleStub* p, rhu::ParticleDef* def) { p->pDef = reinterpret_cast<decltype(p->pDef)>(def); }

// A lifespan of nothing (or less) ends at the next step.
float Reciprocal(float lifespan);
CVector4 ToVector4(const rhu::CVector4& v);
CVector4 LerpColour(const CVector4& a, const CVector4& b, float t);

// Render states by a stage's flags: bit 1 alpha blending, with bit 2 additive as well.
int ParticleRenderState(unsigned long flags);
// Stages that share a texture and flag bits 1 to 4 share one batch.
bool SameParticleBatch(const rhu::ParticleDef* a, const rhu::ParticleDef* b);
// Components 0..255, clamped; alpha in the top byte.
D3DCOLOR PackColour(const CVector4& colour);
// The sine-table step of a spin angle as the particle data states it.
int SpinIndex(float angle);
// The camera's right and up axes in the world, from the viewport's camera.
void CameraAxes(int viewport, CVector& right, CVector& up);
// The heading of the viewport camera's view direction (from -y towards +x).
float CameraHeading(int viewport);
// One quad in strip order (top left, top right, bottom left, bottom right), turned in the view
// plane by the sine-table step.
void WriteFacingQuad(PrimVertex* v, const CVector& centre, const CVector& right, const CVector& up, float halfWidth,
                     float halfHeight, int spin, D3DCOLOR colour);

// Sorts the particles so that each stage's lie together, then draws them in batches by look:
// one draw state for each run of stages SameParticleBatch groups, and quads of the given kind
// (3: one quad a particle, 4: two) that write(particle, vertices) fills. Stops when the frame's
// arena is full, as nothing more can be drawn.
template <class Write>
void DrawParticleBatches(ParticleStub** particles, int count, int kind, unsigned long priority, Write write)
{
    std::stable_sort(particles, particles + count,
                     [](const ParticleStub* a, const ParticleStub* b) { return DefOf(a) < DefOf(b); });
    const int stride = kind == 4 ? 8 : 4;
    for (int first = 0; first < count;) {
        const rhu::ParticleDef* def = DefOf(particles[first]);
        int end = first + 1;
        while (end < count && SameParticleBatch(DefOf(particles[end]), def))
            ++end;
        BeginPrimitives((def->Flags >> 3) & 3, 1, 1);
        SetPrimitiveStage(0, 0, ParticleRenderState(def->Flags), nullptr);
        SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(def->pTexture));
        SetPrimitivePriority(static_cast<int>(priority));
        while (first < end) {
            int granted = 0;
            PrimVertex* v = ReserveParticleQuads(kind, end - first < 64 ? end - first : 64, &granted);
            if (v == nullptr)
                return;
            for (int i = 0; i < granted; ++i, v += stride)
                write(particles[first + i], v);
            SubmitParticleQuads();
            first += granted;
        }
    }
    EndPrimitives();
}

// Grows the particle array to hold at least total, with a quarter to spare.
void GrowParticleArray(ParticleStub**& particles, int& capacity, int count, int total);
// Every particle's velocity takes the push.
void PushParticles(ParticleStub** particles, int count, const CVector& push);
// Particles within radius of point are pushed away from it, by inner at the point blending to
// outer at the radius, over their distance.
void PushParticlesFrom(ParticleStub** particles, int count, const CVector& point, float radius, float inner,
                       float outer);
