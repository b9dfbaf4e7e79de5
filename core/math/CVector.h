#pragma once
// Three- and four-component float vectors. Both are plain data (trivially constructible and
// copyable) so they can sit in packed records and in objects whose fields are filled before
// their constructors run.

class CMatrix;

class CVector {
public:
    CVector() = default;
    constexpr CVector(float x, float y, float z) : x(x), y(y), z(z) {}

    void Set(float nx, float ny, float nz)
    {
        x = nx;
        y = ny;
        z = nz;
    }
    CVector& operator+=(const CVector& v);
    CVector& operator-=(const CVector& v);
    CVector& operator*=(float f);
    // Multiplies by the reciprocal.
    CVector& operator/=(float f);
    CVector operator+(const CVector& v) const;
    CVector operator-(const CVector& v) const;
    CVector operator-() const;
    CVector operator*(float f) const;
    bool operator==(const CVector& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const CVector& v) const { return !(*this == v); }

    float Dot(const CVector& v) const;
    // this = a × b.
    CVector& Cross(const CVector& a, const CVector& b);
    float GetLengthSq() const;
    float GetLengthXYSq() const;
    float GetLength() const;
    // Scales to unit length and returns the old length; a zero vector stays zero.
    float Normalize();

    float x, y, z;
};

class CVector4 {
public:
    CVector4() = default;
    constexpr CVector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    void Set(float nx, float ny, float nz, float nw)
    {
        x = nx;
        y = ny;
        z = nz;
        w = nw;
    }
    // Leaves w as it is.
    CVector4& operator=(const CVector& v);
    CVector4& operator=(const CVector4& v) = default;
    bool operator==(const CVector4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const CVector4& v) const { return !(*this == v); }
    CVector4& operator+=(const CVector4& v);
    CVector4& operator-=(const CVector4& v);
    CVector4& operator*=(const CVector4& v);
    CVector4& operator*=(float f);
    CVector4& operator/=(float f);
    CVector4 operator+(const CVector4& v) const;
    CVector4 operator-(const CVector4& v) const;
    CVector4 operator-() const;
    CVector4 operator*(float f) const;
    CVector4 operator/(float f) const;
    // Four-component dot product.
    float operator*(const CVector4& v) const;
    // v × M with all four components.
    CVector4& operator*=(const CMatrix& m);
    CVector4 operator*(const CMatrix& m) const;
    // this = (p, 1) × M.
    CVector4& Mult(const CVector& p, const CMatrix& m);
    // this += a × b, component-wise.
    CVector4& MultAcc(const CVector4& a, const CVector4& b);
    // Divides all four components by the length of (x, y, z) and returns that length.
    float Normalize();
    // The plane through three points: n = normalized (a - b) × (b - c), this = (-n, n·a).
    CVector4& Planar(const CVector& a, const CVector& b, const CVector& c);
    CVector4 Lerp(const CVector4& other, float t) const;
    CVector4& Lerp(const CVector4& a, const CVector4& b, float t);

    operator CVector&() { return *reinterpret_cast<CVector*>(this); }
    operator const CVector&() const { return *reinterpret_cast<const CVector*>(this); }

    float x, y, z, w;
};

static_assert(sizeof(CVector) == 12 && sizeof(CVector4) == 16, "vectors are packed floats");

extern const CVector NullVector;
extern const CVector4 NullVector4;
// Far outside every level (all components -1e38): no position.
extern const CVector NowhereVector;
