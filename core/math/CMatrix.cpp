#include "core/math/CMatrix.h"

#include "core/math/MathTables.h"

#include <cmath>
#include <utility>

namespace {

// Products are summed in double and rounded once, on store.
float Sum(double a, double b, double c, double d = 0.0) { return static_cast<float>(a + b + c + d); }

void SinCos(float angle, double& s, double& c)
{
    if (angle == 0.0f) {
        s = 0.0;
        c = 1.0;
    } else {
        s = std::sin(static_cast<double>(angle));
        c = std::cos(static_cast<double>(angle));
    }
}

void TableSinCos(float angle, double& s, double& c)
{
    if (angle == 0.0f) {
        s = 0.0;
        c = 1.0;
    } else {
        s = fmsin(angle);
        c = fmcos(angle);
    }
}

// The axes of an Euler order: i first, then j and k; odd parity, repetition, rotating frame.
struct EulerAxes {
    explicit EulerAxes(int order)
    {
        static const int next[4] = {1, 2, 0, 1};
        frame = order & 1;
        repeat = (order >> 1) & 1;
        odd = (order >> 2) & 1;
        i = (order >> 3) & 3;
        if (i == 3)
            i = 0;
        j = next[i + odd];
        k = 3 - i - j;
    }
    int i, j, k, odd, repeat, frame;
};

void SetRow(float* row, double a, double b, double c)
{
    row[0] = static_cast<float>(a);
    row[1] = static_cast<float>(b);
    row[2] = static_cast<float>(c);
    row[3] = 0.0f;
}

} // namespace

void CMatrix::SetIdentity()
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

CMatrix& CMatrix::Multiply(const CMatrix& a, const CMatrix& b)
{
    float r[16];
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            r[4 * row + col] =
                Sum(static_cast<double>(a.m[4 * row]) * b.m[col], static_cast<double>(a.m[4 * row + 1]) * b.m[4 + col],
                    static_cast<double>(a.m[4 * row + 2]) * b.m[8 + col],
                    static_cast<double>(a.m[4 * row + 3]) * b.m[12 + col]);
    for (int i = 0; i < 16; ++i)
        m[i] = r[i];
    return *this;
}

CMatrix& CMatrix::operator*=(const CMatrix& other) { return Multiply(*this, other); }

void CMatrix::RotateVector(const CVector& in, CVector& out) const
{
    double x = in.x, y = in.y, z = in.z;
    out.Set(Sum(m0 * x, m1 * y, m2 * z), Sum(m4 * x, m5 * y, m6 * z), Sum(m8 * x, m9 * y, m10 * z));
}

void CMatrix::SetEuler_XYZS(const CVector& position, const CVector& angles)
{
    double sx, cx, sy, cy, sz, cz;
    TableSinCos(angles.x, sx, cx);
    TableSinCos(angles.y, sy, cy);
    TableSinCos(angles.z, sz, cz);
    SetRow(m, cy * cz, cy * sz, -sy);
    SetRow(m + 4, sy * sx * cz - cx * sz, sy * sx * sz + cx * cz, sx * cy);
    SetRow(m + 8, sx * sz + sy * cx * cz, sy * cx * sz - sx * cz, cx * cy);
    m12 = position.x;
    m13 = position.y;
    m14 = position.z;
    m15 = 1.0f;
}

// The published conversion builds a matrix R for column vectors; the engine's matrix is its
// transpose, so R[r][c] lands in m[4 * c + r].
void CMatrix::SetEuler(int order, const CVector& position, const CVector& angles)
{
    if (order == 0) {
        SetEuler_XYZS(position, angles);
        return;
    }
    EulerAxes a(order);
    float ax = angles.x, ay = angles.y, az = angles.z;
    if (a.frame)
        std::swap(ax, az);
    if (a.odd) {
        ax = -ax;
        ay = -ay;
        az = -az;
    }
    double si, ci, sj, cj, sh, ch;
    SinCos(ax, si, ci);
    SinCos(ay, sj, cj);
    SinCos(az, sh, ch);
    double cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;
    double R[3][3];
    const int i = a.i, j = a.j, k = a.k;
    if (a.repeat) {
        R[i][i] = cj;
        R[i][j] = sj * si;
        R[i][k] = sj * ci;
        R[j][i] = sj * sh;
        R[j][j] = -cj * ss + cc;
        R[j][k] = -cj * cs - sc;
        R[k][i] = -sj * ch;
        R[k][j] = cj * sc + cs;
        R[k][k] = cj * cc - ss;
    } else {
        R[i][i] = cj * ch;
        R[i][j] = sj * sc - cs;
        R[i][k] = sj * cc + ss;
        R[j][i] = cj * sh;
        R[j][j] = sj * ss + cc;
        R[j][k] = sj * cs - sc;
        R[k][i] = -sj;
        R[k][j] = cj * si;
        R[k][k] = cj * ci;
    }
    for (int row = 0; row < 3; ++row)
        SetRow(m + 4 * row, R[0][row], R[1][row], R[2][row]);
    m12 = position.x;
    m13 = position.y;
    m14 = position.z;
    m15 = 1.0f;
}

void CMatrix::GetEuler(int order, CVector& position, CVector& angles) const
{
    // Below this a magnitude counts as zero: the gimbal case.
    const double kTiny = 9.999999e-39;
    EulerAxes a(order);
    const int i = a.i, j = a.j, k = a.k;
    auto R = [this](int r, int c) { return static_cast<double>(m[4 * c + r]); };
    double x, y, z;
    if (a.repeat) {
        double sy = std::sqrt(R(i, j) * R(i, j) + R(i, k) * R(i, k));
        y = std::atan2(sy, R(i, i));
        if (sy > kTiny) {
            x = std::atan2(R(i, j), R(i, k));
            z = std::atan2(R(j, i), -R(k, i));
        } else {
            x = std::atan2(-R(j, k), R(j, j));
            z = 0.0;
        }
    } else {
        double cy = std::sqrt(R(i, i) * R(i, i) + R(j, i) * R(j, i));
        y = std::atan2(-R(k, i), cy);
        if (cy > kTiny) {
            x = std::atan2(R(k, j), R(k, k));
            z = std::atan2(R(j, i), R(i, i));
        } else {
            x = std::atan2(-R(j, k), R(j, j));
            z = 0.0;
        }
    }
    if (a.odd) {
        x = -x;
        y = -y;
        z = -z;
    }
    if (a.frame)
        std::swap(x, z);
    angles.Set(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    position.Set(m12, m13, m14);
}

namespace {
// Forward f, side s and up u of a camera at eye looking at target.
void Axes(const CVector& eye, const CVector& target, const CVector& up, CVector& f, CVector& s, CVector& u)
{
    f = target - eye;
    f.Normalize();
    s.Cross(f, up);
    s.Normalize();
    u.Cross(s, f);
    u.Normalize();
}
} // namespace

void CMatrix::LookAway(const CVector& eye, const CVector& target, const CVector& up)
{
    CVector f, s, u;
    Axes(eye, target, up, f, s, u);
    SetRow(m, s.x, s.y, s.z);
    SetRow(m + 4, u.x, u.y, u.z);
    SetRow(m + 8, -f.x, -f.y, -f.z);
    m12 = eye.x;
    m13 = eye.y;
    m14 = eye.z;
    m15 = 1.0f;
}

void CMatrix::LookAt(const CVector& eye, const CVector& target, const CVector& up)
{
    CVector f, s, u;
    Axes(eye, target, up, f, s, u);
    SetRow(m, s.x, u.x, -f.x);
    SetRow(m + 4, s.y, u.y, -f.y);
    SetRow(m + 8, s.z, u.z, -f.z);
    m12 = -s.Dot(eye);
    m13 = -u.Dot(eye);
    m14 = f.Dot(eye);
    m15 = 1.0f;
}

void CMatrix::Perspective(float fov, float aspect, float nearPlane, float farPlane)
{
    for (float& v : m)
        v = 0.0f;
    double half = static_cast<double>(fov) / 2.0;
    double c = std::cos(half) / std::sin(half);
    m0 = static_cast<float>(c / aspect);
    m5 = static_cast<float>(c);
    m10 = static_cast<float>(2.0 * farPlane / (static_cast<double>(farPlane) - nearPlane) - 1.0);
    m11 = 1.0f;
    m14 = static_cast<float>(-2.0 * farPlane * nearPlane / (static_cast<double>(farPlane) - nearPlane));
}

void CMatrix::Ortho(float p1, float p2, float p3, float p4, float nearPlane, float farPlane)
{
    for (float& v : m)
        v = 0.0f;
    m0 = 2.0f / (p2 - p1);
    m12 = -(p2 + p1) / (p2 - p1);
    m5 = 2.0f / (p3 - p4);
    m13 = -(p3 + p4) / (p3 - p4);
    m10 = 2.0f / (farPlane - nearPlane);
    m14 = -nearPlane * m10 - 1.0f;
    m15 = 1.0f;
}

float CMatrix::Det() const
{
    // Expansion along the first row by 3 by 3 minors of rows 1 to 3.
    auto e = [this](int r, int c) { return static_cast<double>(m[4 * r + c]); };
    double det = 0.0;
    for (int col = 0; col < 4; ++col) {
        int c[3], n = 0;
        for (int x = 0; x < 4; ++x)
            if (x != col)
                c[n++] = x;
        double minor = e(1, c[0]) * (e(2, c[1]) * e(3, c[2]) - e(2, c[2]) * e(3, c[1])) -
                       e(1, c[1]) * (e(2, c[0]) * e(3, c[2]) - e(2, c[2]) * e(3, c[0])) +
                       e(1, c[2]) * (e(2, c[0]) * e(3, c[1]) - e(2, c[1]) * e(3, c[0]));
        det += (col % 2 ? -1.0 : 1.0) * e(0, col) * minor;
    }
    return static_cast<float>(det);
}

int CMatrix::Inverse(const CMatrix& source)
{
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = source.m[4 * r + c];
            a[r][4 + c] = r == c ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (a[pivot][col] == 0.0)
            return 0;
        for (int c = 0; c < 8; ++c)
            std::swap(a[col][c], a[pivot][c]);
        double scale = 1.0 / a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == col || a[r][col] == 0.0)
                continue;
            double factor = a[r][col];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= factor * a[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[4 * r + c] = static_cast<float>(a[r][4 + c]);
    return 1;
}
