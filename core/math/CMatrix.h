#pragma once
// 4 by 4 float matrix, row-major, for row vectors: p' = p × M. Rows 0 to 2 are the rotation's
// axes, row 3 (m12, m13, m14) the translation; transforms have the column m3, m7, m11, m15 at
// (0, 0, 0, 1). Plain data, like the vectors.
#include "core/math/CVector.h"

class CMatrix {
public:
    // Euler orders in the published encoding: bits 3-4 the first axis, bit 2 odd parity,
    // bit 1 a repeated axis, bit 0 a rotating frame. The static-frame orders used by the data:
    enum EulerOrder { XYZ = 0, XZY = 4, YZX = 8, YXZ = 12, ZXY = 16, ZYX = 20 };

    void SetIdentity();
    // this = a × b.
    CMatrix& Multiply(const CMatrix& a, const CMatrix& b);
    CMatrix& operator*=(const CMatrix& m);
    // The rotation part applied as columns: the inverse rotation of an orthonormal matrix.
    void RotateVector(const CVector& in, CVector& out) const;
    CVector4& GetVector(int row) { return *reinterpret_cast<CVector4*>(m + 4 * row); }
    const CVector4& GetVector(int row) const { return *reinterpret_cast<const CVector4*>(m + 4 * row); }

    // Rotation from the sine table (exact for zero angles), translation = position.
    void SetEuler_XYZS(const CVector& position, const CVector& angles);
    // Any Euler order with precise sines; order 0 is SetEuler_XYZS.
    void SetEuler(int order, const CVector& position, const CVector& angles);
    // The angles in the given order (within the range of atan2) and the translation.
    void GetEuler(int order, CVector& position, CVector& angles) const;
    // The view matrix looking from eye at target.
    void LookAt(const CVector& eye, const CVector& target, const CVector& up);
    // An object at eye facing away from target.
    void LookAway(const CVector& eye, const CVector& target, const CVector& up);
    void Perspective(float fov, float aspect, float nearPlane, float farPlane);
    // Maps x from p1 to p2 and y from p4 to p3 onto -1 to 1, near to -1 and far to +1.
    void Ortho(float p1, float p2, float p3, float p4, float nearPlane, float farPlane);
    float Det() const;
    // this = inverse of source (source may be this); 0 when it is singular.
    int Inverse(const CMatrix& source);

    union {
        float m[16];
        struct {
            float m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15;
        };
    };
};
static_assert(sizeof(CMatrix) == 64, "16 floats");
