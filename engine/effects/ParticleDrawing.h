#pragma once
// What the particle effects share when they step and draw their particles: the stage a record
// is on, the render state and batch a stage's flags give, and camera-facing quads.
#include <d3d9.h>

#include "core/math/CVector.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"

struct PrimVertex;

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
