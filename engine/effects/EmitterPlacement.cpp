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

void SetRow(CMatrix& m, int row, const CVector& v)
{
    m.m[4 * row] = v.x;
    m.m[4 * row + 1] = v.y;
    m.m[4 * row + 2] = v.z;
}

} // namespace

CVector ToVector(const rhu::CVector& v) { return CVector(v.X, v.Y, v.Z); }

CVector LerpVector(const CVector& a, const CVector& b, float t)
{
    return CVector(LerpFloat(a.x, b.x, t), LerpFloat(a.y, b.y, t), LerpFloat(a.z, b.z, t));
}

CMatrix EmissionFrame(const CVector& vector)
{
    CVector z = vector;
    if (z.Normalize() == 0.0f)
        z = CVector(0, 0, 1);
    // Any axis not along z makes the frame; the cone is round, so which one does not matter.
    CVector x = fabsf(z.x) < 0.9f ? CVector(1, 0, 0) : CVector(0, 1, 0);
    CVector y;
    y.Cross(z, x);
    y.Normalize();
    x.Cross(y, z);
    CMatrix frame;
    frame.SetIdentity();
    SetRow(frame, 0, x);
    SetRow(frame, 1, y);
    SetRow(frame, 2, z);
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
