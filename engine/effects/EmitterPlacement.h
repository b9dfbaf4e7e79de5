#pragma once
// Where an emitter puts a new particle and which way it sends it: a random direction inside
// the emitter's aperture cone round its emission direction, a random point of its ellipse, both
// carried into the world by a blend of last frame's and this frame's placement of the emitter,
// so a moving emitter spreads a frame's particles along its path instead of bunching them.
#include "core/math/CMatrix.h"
#include "core/math/CVector.h"
#include "engine/include/RhuTypes.h"

struct EmitterPlacement {
    CVector Position;
    CVector Direction; // unit length
};

CVector ToVector(const rhu::CVector& v);
CVector LerpVector(const CVector& a, const CVector& b, float t);
inline float LerpFloat(float a, float b, float t) { return a + t * (b - a); }
inline float Clamp01(float value) { return value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value; }

// The emitter's orientation from its emission vector (Euler angles, radians); the aperture
// cone opens round the orientation's third axis, straight up for no rotation.
CMatrix EmissionFrame(const CVector& angles);

// inner and outer: the aperture's angles from the emission vector, radians; previousWeight:
// how much of last frame's placement the particle takes.
EmitterPlacement PlaceParticle(const CMatrix& frame, float inner, float outer, const CVector& ellipse,
                               const CMatrix& previous, const CMatrix& current, float previousWeight);

// The value of a range of the stage, blended by s with the same range of the next stage.
float StageValue(const rhu::RangeData& range, const rhu::RangeData* next, float s);

// The stage's emission vector and ellipse, blended by s with the next stage's when there is one.
void StageShape(const rhu::EmitterDef& stage, float s, CVector& vector, CVector& ellipse);
