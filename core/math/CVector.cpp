#include "core/math/CVector.h"

#include "core/math/CMatrix.h"

#include <cmath>

// Constant-initialised: usable from any static initialiser.
const CVector NullVector(0.0f, 0.0f, 0.0f);
const CVector4 NullVector4(0.0f, 0.0f, 0.0f, 0.0f);
const CVector NowhereVector(-1e38f, -1e38f, -1e38f);

CVector& CVector::operator+=(const CVector& v)
{
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
}

CVector& CVector::operator-=(const CVector& v)
{
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
}

CVector& CVector::operator*=(float f)
{
    x *= f;
    y *= f;
    z *= f;
    return *this;
}

CVector& CVector::operator/=(float f) { return *this *= 1.0f / f; }

CVector CVector::operator+(const CVector& v) const { return CVector(x + v.x, y + v.y, z + v.z); }

CVector CVector::operator-(const CVector& v) const { return CVector(x - v.x, y - v.y, z - v.z); }

CVector CVector::operator-() const { return CVector(-x, -y, -z); }

CVector CVector::operator*(float f) const { return CVector(x * f, y * f, z * f); }

float CVector::Dot(const CVector& v) const
{
    return static_cast<float>(static_cast<double>(x) * v.x + static_cast<double>(y) * v.y +
                              static_cast<double>(z) * v.z);
}

CVector& CVector::Cross(const CVector& a, const CVector& b)
{
    float nx = static_cast<float>(static_cast<double>(a.y) * b.z - static_cast<double>(a.z) * b.y);
    float ny = static_cast<float>(static_cast<double>(a.z) * b.x - static_cast<double>(a.x) * b.z);
    float nz = static_cast<float>(static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x);
    Set(nx, ny, nz);
    return *this;
}

float CVector::GetLengthSq() const { return Dot(*this); }

float CVector::GetLengthXYSq() const
{
    return static_cast<float>(static_cast<double>(x) * x + static_cast<double>(y) * y);
}

float CVector::GetLength() const { return std::sqrt(GetLengthSq()); }

float CVector::Normalize()
{
    float length = GetLength();
    if (length > 0.0f)
        *this /= length;
    return length;
}

CVector4& CVector4::operator=(const CVector& v)
{
    x = v.x;
    y = v.y;
    z = v.z;
    return *this;
}

CVector4& CVector4::operator+=(const CVector4& v)
{
    Set(x + v.x, y + v.y, z + v.z, w + v.w);
    return *this;
}

CVector4& CVector4::operator-=(const CVector4& v)
{
    Set(x - v.x, y - v.y, z - v.z, w - v.w);
    return *this;
}

CVector4& CVector4::operator*=(const CVector4& v)
{
    Set(x * v.x, y * v.y, z * v.z, w * v.w);
    return *this;
}

CVector4& CVector4::operator*=(float f)
{
    Set(x * f, y * f, z * f, w * f);
    return *this;
}

CVector4& CVector4::operator/=(float f) { return *this *= 1.0f / f; }

CVector4 CVector4::operator+(const CVector4& v) const { return CVector4(x + v.x, y + v.y, z + v.z, w + v.w); }

CVector4 CVector4::operator-(const CVector4& v) const { return CVector4(x - v.x, y - v.y, z - v.z, w - v.w); }

CVector4 CVector4::operator-() const { return CVector4(-x, -y, -z, -w); }

CVector4 CVector4::operator*(float f) const { return CVector4(x * f, y * f, z * f, w * f); }

CVector4 CVector4::operator/(float f) const { return *this * (1.0f / f); }

float CVector4::operator*(const CVector4& v) const
{
    return static_cast<float>(static_cast<double>(x) * v.x + static_cast<double>(y) * v.y +
                              static_cast<double>(z) * v.z + static_cast<double>(w) * v.w);
}

CVector4& CVector4::operator*=(const CMatrix& m) { return *this = *this * m; }

CVector4 CVector4::operator*(const CMatrix& m) const
{
    double r[4];
    for (int c = 0; c < 4; ++c)
        r[c] = static_cast<double>(x) * m.m[c] + static_cast<double>(y) * m.m[4 + c] +
               static_cast<double>(z) * m.m[8 + c] + static_cast<double>(w) * m.m[12 + c];
    return CVector4(static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                    static_cast<float>(r[3]));
}

CVector4& CVector4::Mult(const CVector& p, const CMatrix& m) { return *this = CVector4(p.x, p.y, p.z, 1.0f) * m; }

CVector4& CVector4::MultAcc(const CVector4& a, const CVector4& b)
{
    Set(x + a.x * b.x, y + a.y * b.y, z + a.z * b.z, w + a.w * b.w);
    return *this;
}

float CVector4::Normalize()
{
    float length = static_cast<const CVector&>(*this).GetLength();
    *this /= length;
    return length;
}

CVector4& CVector4::Planar(const CVector& a, const CVector& b, const CVector& c)
{
    CVector n;
    n.Cross(a - b, b - c);
    n.Normalize();
    Set(-n.x, -n.y, -n.z, n.Dot(a));
    return *this;
}

CVector4 CVector4::Lerp(const CVector4& other, float t) const
{
    CVector4 result;
    return result.Lerp(*this, other, t);
}

CVector4& CVector4::Lerp(const CVector4& a, const CVector4& b, float t)
{
    Set(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z), a.w + t * (b.w - a.w));
    return *this;
}
