#pragma once
// Headings and arcs in radians. Headings live in [0, 2π), differences in [-π, π]. Heading 0
// points along -y and π/2 along +x; pitch is the x angle, heading the z angle.
#include "core/math/CVector.h"

class CAngles {
public:
    static float GetNormalizedAngle(float angle);
    static float GetSmallestDeflection(float from, float to);
    static void GetSmallestDeflection(CVector& out, const CVector& from, const CVector& to);
    static void GetArc(float centre, float half, float& start, float& end);
    static void GetArc(const CVector& from, const CVector& to, float half, float& start, float& end);
    // With all three normalized; an arc whose start lies above its end wraps through 0.
    static bool IsWithinArc(float angle, float start, float end);
    static bool AreArcsOverlapping(float start1, float end1, float start2, float end2);
    static float GetRayHorzAngle(const CVector& direction);
    static float GetRayHorzAngle(const CVector& from, const CVector& to);
    // out = (pitch, 0, heading).
    static void GetRayRot(const CVector& direction, CVector& out);
    static void GetRayRot(const CVector& from, const CVector& to, CVector& out);
    static void GetRay(CVector& out, const CVector& rotation, float length);
    static void GetRay(CVector& out, float heading, float length);
    static void Move(CVector& point, float heading, float distance);
    // out = from + a ray of length along the direction from -> to, turned by deflection.x on the
    // pitch and deflection.z on the heading.
    static void DeflectRay(CVector& out, const CVector& from, const CVector& to, const CVector& deflection,
                           float length);
    // Euler angles (order 0) of a rotation whose third row is the axis and whose first row is
    // turned about it by angle.
    static void GetAxisAngleRot(CVector& out, const CVector& axis, float angle);
    static void GetAxisAngleRot(CVector& out, const CVector& from, const CVector& to, float angle);
    // current moved towards target the short way round by at most maxStep, normalized.
    static float RotateRate(float current, float target, float maxStep);
};
