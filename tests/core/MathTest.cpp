#include "core/math/C2DMath.h"
#include "core/math/CAngles.h"
#include "core/math/CMatrix.h"
#include "core/math/MathTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

unsigned long Bits(float f)
{
    unsigned long b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

void ExpectNear(const CMatrix& a, const CMatrix& b, float tolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "entry " << i;
}

CMatrix Identity()
{
    CMatrix m;
    m.SetIdentity();
    return m;
}

TEST(MathTables, SineSqrtAndConstants)
{
    const double step = static_cast<double>(6.2831855f) / 2048;
    for (int i = 0; i < 2048; ++i)
        ASSERT_EQ(fmsintable[i], static_cast<float>(std::sin(i * step))) << i;
    EXPECT_EQ(fmsintable[512], 1.0f);
    EXPECT_EQ(fmsinindex(fmPi / 2), 512);
    EXPECT_EQ(fmsin(fmPi / 2), 1.0f);
    EXPECT_EQ(fmcos(0.0f), 1.0f);
    EXPECT_EQ(fmsinindex(-fmPi / 2), 1536);

    // Entries computed independently (Python, float32 rounding of the root).
    EXPECT_EQ(fmsqrttable[0], 0x1FB55F5FUL);
    EXPECT_EQ(fmsqrttable[127], 0x1FFFBFF8UL);
    EXPECT_EQ(fmsqrttable[128], 0x20003FF0UL);
    EXPECT_EQ(fmsqrttable[255], 0x2034D7ACUL);
    EXPECT_EQ(Bits(fmsqrt(4.0f)), 0x40003FF0UL); // an approximation: about 2.0039
    for (float x : {0.001f, 0.5f, 2.0f, 3.0f, 10.0f, 12345.0f, 1e20f})
        EXPECT_NEAR(fmsqrt(x) / std::sqrt(x), 1.0f, 0.006f) << x;

    EXPECT_EQ(Bits(fmThirty), 0x41F0009DUL);
    EXPECT_FLOAT_EQ(fmOneOverPi, 0.31830987f);
    EXPECT_EQ(fmRadToDeg, 57.295776f);
    EXPECT_EQ(fmDegToRad, 0.017453294f);
    EXPECT_EQ(fmPiOver90, 0.034906588f);
    EXPECT_EQ(fmMinusOne, -1);
    EXPECT_EQ(Bits(NowhereVector.x), 0xFE967699UL);
}

TEST(Vectors, EdgeCases)
{
    CVector4 v(3, 4, 0, 10);
    EXPECT_EQ(v.Normalize(), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    EXPECT_FLOAT_EQ(v.w, 2.0f);

    const CVector a(1, 2, 3), b(-4, 0.5f, 2), c(0, -3, 7);
    CVector4 plane;
    plane.Planar(a, b, c);
    for (const CVector& p : {a, b, c})
        EXPECT_NEAR(plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w, 0.0f, 1e-5f);

    CVector4 keep(1, 2, 3, 9);
    keep = CVector(5, 6, 7);
    EXPECT_EQ(keep, CVector4(5, 6, 7, 9));
    CVector& part = keep;
    EXPECT_EQ(part, CVector(5, 6, 7));
    EXPECT_EQ(CVector4(1, 2, 3, 4) * CVector4(1, 1, 1, 1), 10.0f);
    EXPECT_EQ(CVector4().Lerp(CVector4(0, 0, 0, 0), CVector4(2, 4, 6, 8), 0.5f), CVector4(1, 2, 3, 4));

    CVector cross;
    cross.Cross(CVector(1, 0, 0), CVector(0, 1, 0));
    EXPECT_EQ(cross, CVector(0, 0, 1));
    EXPECT_EQ(CVector(3, 4, 12).GetLengthXYSq(), 25.0f);
    EXPECT_EQ(CVector(3, 4, 12).GetLengthSq(), 169.0f);
    static_assert(std::is_trivially_default_constructible<CVector>::value, "fields are filled before construction");
    static_assert(std::is_trivially_copyable<CMatrix>::value, "matrices live in packed records");
}

TEST(Matrix, XyzsIsTheRowVectorProductOfItsAxes)
{
    CMatrix zero;
    zero.SetEuler_XYZS(NullVector, NullVector);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(zero.m[i], Identity().m[i]) << i;
    // Angles on table steps, so the table's sines are the exact ones.
    const float step = fmTwoPi / 2048;
    const CVector angles(37 * step, -211 * step, 1000 * step);
    CMatrix rx = Identity(), ry = Identity(), rz = Identity();
    float sx = std::sin(angles.x), cx = std::cos(angles.x), sy = std::sin(angles.y), cy = std::cos(angles.y);
    float sz = std::sin(angles.z), cz = std::cos(angles.z);
    rx.m5 = cx, rx.m6 = sx, rx.m9 = -sx, rx.m10 = cx;
    ry.m0 = cy, ry.m2 = -sy, ry.m8 = sy, ry.m10 = cy;
    rz.m0 = cz, rz.m1 = sz, rz.m4 = -sz, rz.m5 = cz;
    CMatrix expected;
    expected.Multiply(rx, ry);
    expected *= rz;
    expected.m12 = 1, expected.m13 = 2, expected.m14 = 3;
    CMatrix table, precise;
    table.SetEuler_XYZS(CVector(1, 2, 3), angles);
    ExpectNear(table, expected, 2e-6f);
    precise.SetEuler(CMatrix::XYZ, CVector(1, 2, 3), angles);
    ExpectNear(precise, expected, 2e-6f);
}

TEST(Matrix, EulerRoundTripsInEveryOrder)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> wide(-3.0f, 3.0f), middle(-1.4f, 1.4f), positive(0.1f, 3.0f);
    for (int order = 0; order < 24; ++order) {
        bool repeat = (order >> 1) & 1, odd = (order >> 2) & 1;
        for (int trial = 0; trial < 20; ++trial) {
            // The middle angle is kept inside the range GetEuler returns it in: (-π/2, π/2), or
            // (0, π) for a repeated axis, negated by odd parity.
            float y = repeat ? positive(rng) * (odd ? -1.0f : 1.0f) : middle(rng);
            CVector angles(wide(rng), y, wide(rng));
            CMatrix m, back;
            m.SetEuler(order, CVector(4, 5, 6), angles);
            CVector position, got;
            m.GetEuler(order, position, got);
            back.SetEuler(order, position, got);
            ExpectNear(back, m, 1e-5f);
            if (order != 0) { // order 0 builds from the table, whose steps blur the angles
                EXPECT_NEAR(got.x, angles.x, 1e-4f) << order;
                EXPECT_NEAR(got.y, angles.y, 1e-4f) << order;
                EXPECT_NEAR(got.z, angles.z, 1e-4f) << order;
            }
            EXPECT_EQ(position, CVector(4, 5, 6));
        }
    }
}

TEST(Matrix, InverseDeterminantAndProjections)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-5.0f, 5.0f);
    for (int trial = 0; trial < 50; ++trial) {
        CMatrix m, inverse, product;
        for (float& v : m.m)
            v = value(rng);
        if (std::fabs(m.Det()) < 0.1f)
            continue;
        ASSERT_NE(inverse.Inverse(m), 0);
        product.Multiply(inverse, m);
        ExpectNear(product, Identity(), 1e-3f);
    }
    CMatrix singular = Identity(), out;
    singular.m4 = singular.m5 = singular.m6 = singular.m7 = 0;
    EXPECT_EQ(out.Inverse(singular), 0);
    CMatrix scale = Identity();
    scale.m0 = 2, scale.m5 = 3, scale.m10 = 4;
    EXPECT_FLOAT_EQ(scale.Det(), 24.0f);

    // LookAt undoes LookAway.
    CMatrix at, away, both;
    CVector eye(3, -7, 2), target(-1, 4, 0.5f), up(0, 0, 1);
    at.LookAt(eye, target, up);
    away.LookAway(eye, target, up);
    both.Multiply(away, at);
    ExpectNear(both, Identity(), 1e-5f);

    CMatrix ortho;
    ortho.Ortho(0, 640, 0, 480, 0, 1000);
    CVector4 nearPoint, farPoint, corner;
    nearPoint.Mult(CVector(0, 0, 0), ortho);
    farPoint.Mult(CVector(0, 0, 1000), ortho);
    corner.Mult(CVector(640, 480, 0), ortho);
    EXPECT_FLOAT_EQ(nearPoint.z, -1.0f);
    EXPECT_FLOAT_EQ(farPoint.z, 1.0f);
    EXPECT_FLOAT_EQ(nearPoint.x, -1.0f);
    EXPECT_FLOAT_EQ(corner.x, 1.0f);
    EXPECT_FLOAT_EQ(corner.y, -1.0f); // y runs from p4 to p3: screen y downwards

    CMatrix perspective;
    perspective.Perspective(fmPi / 2, 2.0f, 1.0f, 101.0f);
    EXPECT_FLOAT_EQ(perspective.m5, 1.0f);
    EXPECT_FLOAT_EQ(perspective.m0, 0.5f);
    EXPECT_FLOAT_EQ(perspective.m11, 1.0f);
    EXPECT_EQ(perspective.m15, 0.0f);
    CVector4 onNear;
    onNear.Mult(CVector(0, 0, 1), perspective);
    EXPECT_NEAR(onNear.z / onNear.w, -1.0f, 1e-5f);

    CVector rotated;
    scale.RotateVector(CVector(1, 1, 1), rotated);
    EXPECT_EQ(rotated, CVector(2, 3, 4));
}

TEST(Angles, EdgeCases)
{
    EXPECT_EQ(CAngles::GetRayHorzAngle(CVector(0, -1, 0)), 0.0f);
    EXPECT_FLOAT_EQ(CAngles::GetRayHorzAngle(CVector(1, 0, 0)), fmPi / 2);
    EXPECT_FLOAT_EQ(CAngles::GetRayHorzAngle(CVector(0, 1, 0)), fmPi);
    EXPECT_NEAR(CAngles::GetSmallestDeflection(0.1f, 6.2f), -0.1832f, 1e-3f);
    EXPECT_TRUE(CAngles::IsWithinArc(0.1f, 6.0f, 0.5f));
    EXPECT_FALSE(CAngles::IsWithinArc(3.0f, 6.0f, 0.5f));
    EXPECT_FLOAT_EQ(CAngles::RotateRate(0.0f, 3.0f, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(CAngles::RotateRate(0.2f, 6.2f, 1.0f), 6.2f);
    EXPECT_LT(CAngles::GetNormalizedAngle(-1e-9f), fmTwoPi);
    EXPECT_FLOAT_EQ(CAngles::GetNormalizedAngle(-fmPi / 2), 3 * fmPi / 2);
    EXPECT_TRUE(CAngles::AreArcsOverlapping(6.0f, 0.5f, 0.4f, 1.0f));
    EXPECT_FALSE(CAngles::AreArcsOverlapping(6.0f, 0.5f, 1.0f, 2.0f));

    // A ray from its rotation, and the rotation back from the ray.
    CVector direction(3, -4, 5), rotation, ray;
    CAngles::GetRayRot(direction, rotation);
    CAngles::GetRay(ray, rotation, direction.GetLength());
    EXPECT_NEAR(ray.x, 3, 1e-4f);
    EXPECT_NEAR(ray.y, -4, 1e-4f);
    EXPECT_NEAR(ray.z, 5, 1e-4f);
    CVector point(1, 1, 0);
    CAngles::Move(point, fmPi / 2, 2.0f);
    EXPECT_NEAR(point.x, 3, 1e-6f);
    EXPECT_NEAR(point.y, 1, 1e-6f);

    // The axis-angle rotation keeps the axis as its third row.
    CVector eulers;
    CAngles::GetAxisAngleRot(eulers, CVector(0, 3, 4), 0.7f);
    CMatrix m;
    m.SetEuler(CMatrix::XYZ, NullVector, eulers); // through the sine table: a looser match
    EXPECT_NEAR(m.m8, 0.0f, 2e-3f);
    EXPECT_NEAR(m.m9, 0.6f, 2e-3f);
    EXPECT_NEAR(m.m10, 0.8f, 2e-3f);
}

TEST(Geometry2D, EdgeCases)
{
    const fRECT box = {0, 0, 10, 10};
    fRECT out = {1, 1, 1, 1};
    EXPECT_FALSE(C2DMath::Intersect(box, fRECT{10, 0, 20, 10}, out)); // touching along an edge
    EXPECT_EQ(out.right, 0.0f);
    EXPECT_TRUE(C2DMath::Intersect(box, fRECT{5, -5, 15, 5}, out));
    EXPECT_EQ(out.left, 5.0f);
    EXPECT_EQ(out.bottom, 5.0f);
    EXPECT_TRUE(C2DMath::AreAdjacent(box, fRECT{10, 5, 20, 15}));
    EXPECT_FALSE(C2DMath::AreAdjacent(box, fRECT{10, 10, 20, 15})); // corner only

    EXPECT_TRUE(C2DMath::Contains(box, CVector(5, 5, 0), 5.0f));
    EXPECT_FALSE(C2DMath::Contains(box, CVector(5, 5, 0), 5.1f));
    EXPECT_TRUE(C2DMath::Contains(CVector(0, 0, 0), 5.0f, 3.0f, 4.0f));
    EXPECT_TRUE(C2DMath::Contains(box, fRECT{0, 0, 10, 10}));

    EXPECT_TRUE(C2DMath::Intersects(CVector(-3, 5, 0), 3.5f, box));
    EXPECT_FALSE(C2DMath::Intersects(CVector(-3, -3, 0), 4.0f, box)); // corner at 4.24
    EXPECT_TRUE(C2DMath::Intersects(CVector(-3, -3, 0), 4.3f, box));
    EXPECT_FALSE(C2DMath::Intersects(CVector(0, 0, 0), 1.0f, CVector(2, 0, 0), 1.0f));
    // A circle over the middle of a vertical segment meets it.
    EXPECT_TRUE(C2DMath::Intersects(CVector(0.5f, 5, 0), 1.0f, CVector(0, 0, 0), CVector(0, 10, 0)));
    EXPECT_TRUE(C2DMath::Intersects(CVector(5, 0.5f, 0), 1.0f, CVector(0, 0, 0), CVector(10, 0, 0)));
    EXPECT_FALSE(C2DMath::Intersects(CVector(5, 2, 0), 1.0f, CVector(0, 0, 0), CVector(10, 0, 0)));
    EXPECT_TRUE(C2DMath::Intersects(box, 5, -1, 5, 1));
    EXPECT_FALSE(C2DMath::Intersects(box, 10, -1, 10, 11)); // along the edge, not the interior

    CVector foot, corner;
    C2DMath::GetPerpendicularIntersection(CVector(0, 0, 0), CVector(10, 10, 0), CVector(10, 0, 0), foot);
    EXPECT_FLOAT_EQ(foot.x, 5.0f);
    EXPECT_FLOAT_EQ(foot.y, 5.0f);
    C2DMath::GetPerpendicularIntersection(CVector(2, 0, 0), CVector(2, 5, 0), CVector(7, 3, 0), foot);
    EXPECT_EQ(foot, CVector(2, 3, 0));
    C2DMath::GetClosestCorner(CVector(-5, 12, 0), CVector(15, 14, 0), box, corner);
    EXPECT_EQ(corner, CVector(0, 10, 0));

    CVector p(-5, 50, 1);
    C2DMath::ClipToRect(p, box, 1.0f);
    EXPECT_EQ(p, CVector(1, 9, 1));
    fRECT r;
    C2DMath::CircleToRect(CVector(5, 5, 0), 2, r);
    C2DMath::InsetRect(r, 1);
    EXPECT_EQ(r.left, 4.0f);
    EXPECT_EQ(r.bottom, 6.0f);
}

} // namespace
