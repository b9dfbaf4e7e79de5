#include "core/math/CAngles.h"

#include "core/math/CMatrix.h"
#include "core/math/MathTables.h"

#include <cmath>

float CAngles::GetNormalizedAngle(float angle)
{
    float a = std::fmod(angle, fmTwoPi);
    if (a < 0.0f)
        a += fmTwoPi;
    // A tiny negative remainder plus 2π rounds up to 2π itself, which is not a heading.
    return a >= fmTwoPi ? 0.0f : a;
}

float CAngles::GetSmallestDeflection(float from, float to)
{
    float d = to - from;
    while (d < -fmPi)
        d += fmTwoPi;
    while (d > fmPi)
        d -= fmTwoPi;
    return d;
}

void CAngles::GetSmallestDeflection(CVector& out, const CVector& from, const CVector& to)
{
    out.Set(GetSmallestDeflection(from.x, to.x), GetSmallestDeflection(from.y, to.y),
            GetSmallestDeflection(from.z, to.z));
}

void CAngles::GetArc(float centre, float half, float& start, float& end)
{
    start = GetNormalizedAngle(centre - half);
    end = GetNormalizedAngle(centre + half);
}

void CAngles::GetArc(const CVector& from, const CVector& to, float half, float& start, float& end)
{
    GetArc(GetRayHorzAngle(from, to), half, start, end);
}

bool CAngles::IsWithinArc(float angle, float start, float end)
{
    angle = GetNormalizedAngle(angle);
    start = GetNormalizedAngle(start);
    end = GetNormalizedAngle(end);
    if (start <= end)
        return start <= angle && angle <= end;
    return angle >= start || angle <= end;
}

bool CAngles::AreArcsOverlapping(float start1, float end1, float start2, float end2)
{
    return IsWithinArc(start2, start1, end1) || IsWithinArc(end2, start1, end1) || IsWithinArc(start1, start2, end2) ||
           IsWithinArc(end1, start2, end2);
}

float CAngles::GetRayHorzAngle(const CVector& direction)
{
    return GetNormalizedAngle(
        static_cast<float>(std::atan2(static_cast<double>(direction.x), -static_cast<double>(direction.y))));
}

float CAngles::GetRayHorzAngle(const CVector& from, const CVector& to) { return GetRayHorzAngle(to - from); }

void CAngles::GetRayRot(const CVector& direction, CVector& out)
{
    double flat = std::sqrt(static_cast<double>(direction.GetLengthXYSq()));
    float pitch = GetNormalizedAngle(static_cast<float>(-std::atan2(static_cast<double>(direction.z), flat)));
    out.Set(pitch, 0.0f, GetRayHorzAngle(direction));
}

void CAngles::GetRayRot(const CVector& from, const CVector& to, CVector& out) { GetRayRot(to - from, out); }

void CAngles::GetRay(CVector& out, const CVector& rotation, float length)
{
    double cx = std::cos(static_cast<double>(rotation.x)), sx = std::sin(static_cast<double>(rotation.x));
    double cz = std::cos(static_cast<double>(rotation.z)), sz = std::sin(static_cast<double>(rotation.z));
    out.Set(static_cast<float>(length * cx * sz), static_cast<float>(-length * cx * cz),
            static_cast<float>(-length * sx));
}

void CAngles::GetRay(CVector& out, float heading, float length) { GetRay(out, CVector(0.0f, 0.0f, heading), length); }

void CAngles::Move(CVector& point, float heading, float distance)
{
    CVector step;
    GetRay(step, heading, distance);
    point += step;
}

void CAngles::DeflectRay(CVector& out, const CVector& from, const CVector& to, const CVector& deflection, float length)
{
    CVector rotation;
    GetRayRot(from, to, rotation);
    rotation.x += deflection.x;
    rotation.z += deflection.z;
    CVector ray;
    GetRay(ray, rotation, length);
    out = from + ray;
}

void CAngles::GetAxisAngleRot(CVector& out, const CVector& axis, float angle)
{
    CVector z = axis;
    z.Normalize();
    // Any unit vector square to the axis, then turned about it by angle.
    CVector reference = std::fabs(z.z) < 0.9f ? CVector(0.0f, 0.0f, 1.0f) : CVector(1.0f, 0.0f, 0.0f);
    CVector x0, side;
    x0.Cross(reference, z);
    x0.Normalize();
    side.Cross(z, x0);
    float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    CVector x = x0 * c + side * s;
    CVector y;
    y.Cross(z, x);
    CMatrix rotation;
    rotation.SetIdentity();
    rotation.GetVector(0) = x;
    rotation.GetVector(1) = y;
    rotation.GetVector(2) = z;
    CVector position;
    rotation.GetEuler(0, position, out);
}

void CAngles::GetAxisAngleRot(CVector& out, const CVector& from, const CVector& to, float angle)
{
    GetAxisAngleRot(out, to - from, angle);
}

float CAngles::RotateRate(float current, float target, float maxStep)
{
    float d = GetSmallestDeflection(current, target);
    float step = std::fabs(d) <= maxStep ? d : (d < 0.0f ? -maxStep : maxStep);
    return GetNormalizedAngle(current + step);
}
