#include "engine/effects/EmitterPlacement.h"

#include <math.h>

#include "core/math/MathTables.h"
#include "engine/effects/EffectRandom.h"

namespace {

CVector Apply(const CMatrix& m, const CVector& p)
{
    return CVector(p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                   p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                   p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]);
}

CVector Rotate(const CMatrix& m, const CVector& p)
{
    return CVector(p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8], p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9],
                   p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10]);
}

} // namespace

CVector ToVector(const rhu::CVector& v) { return CVector(v.X, v.Y, v.Z); }

CVector LerpVector(const CVector& a, const CVector& b, float t)
{
    return CVector(LerpFloat(a.x, b.x, t), LerpFloat(a.y, b.y, t), LerpFloat(a.z, b.z, t));
}

CMatrix EmissionFrame(const CVector& angles)
{
    CMatrix frame;
    frame.SetEuler_XYZS(CVector(0, 0, 0), angles);
    return frame;
}

EmitterPlacement PlaceParticle(const CMatrix& frame, float inner, float outer, const CVector& ellipse,
                               const CMatrix& previous, const CMatrix& current, float previousWeight)
{
    const float elevation = LerpFloat(inner, outer, EffectRandom());
    const float azimuth = EffectRandom() * fmTwoPi;
    const CVector local(sinf(elevation) * cosf(azimuth), sinf(elevation) * sinf(azimuth), cosf(elevation));
    const CVector aperture = Rotate(frame, local);

    CVector offset(EffectSpread(), EffectSpread(), EffectSpread());
    offset.Normalize();
    offset = CVector(offset.x * ellipse.x, offset.y * ellipse.y, offset.z * ellipse.z);

    const float w = previousWeight;
    EmitterPlacement out;
    out.Position = LerpVector(Apply(current, offset), Apply(previous, offset), w);
    out.Direction = LerpVector(Rotate(current, aperture), Rotate(previous, aperture), w);
    out.Direction.Normalize();
    return out;
}

float StageValue(const rhu::RangeData& range, const rhu::RangeData* next, float s)
{
    const float value = RangeValue(range);
    return next ? LerpFloat(value, RangeValue(*next), s) : value;
}

void StageShape(const rhu::EmitterDef& stage, float s, CVector& vector, CVector& ellipse)
{
    vector = ToVector(stage.Vector);
    ellipse = ToVector(stage.Ellipse);
    if (const rhu::EmitterDef* next = stage.pNextDef) {
        vector = LerpVector(vector, ToVector(next->Vector), s);
        ellipse = LerpVector(ellipse, ToVector(next->Ellipse), s);
    }
}
