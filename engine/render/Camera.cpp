#include "engine/render/Camera.h"

namespace {

ViewportTransform Blocks[kCameraViewports];
CMatrix Stack[kMatrixStackDepth];
int StackSize = 0;
int CurrentViewport = 0;
int CurrentViewportFlags = 0;
CMatrix TransformCache;
bool CacheValid = false;

// Back-end settings the depth and guard fields derive from.
const float kGuardX = 0.0f, kGuardY = 0.0f, kDepthS = 1.0f, kDepthO = 0.0f;

bool InRange(int viewport) { return viewport >= 0 && viewport < kCameraViewports; }

CMatrix Identity()
{
    CMatrix m;
    m.SetIdentity();
    return m;
}

CVector4 Transform4(const CVector& p, const CMatrix& m)
{
    const float* e = m.m;
    return CVector4(p.x * e[0] + p.y * e[4] + p.z * e[8] + e[12], p.x * e[1] + p.y * e[5] + p.z * e[9] + e[13],
                    p.x * e[2] + p.y * e[6] + p.z * e[10] + e[14], p.x * e[3] + p.y * e[7] + p.z * e[11] + e[15]);
}

// Dividing by a zero w would give infinities; the largest float stands in for "at infinity".
float InverseW(float w) { return w == 0.0f ? 1e38f : 1.0f / w; }

void RecomputeScreen(ViewportTransform& v)
{
    CMatrix screen;
    screen.SetIdentity();
    screen.m0 = v.HalfWidth;
    screen.m5 = v.HalfHeight;
    screen.m12 = v.CentreX;
    screen.m13 = v.CentreY;
    v.WorldToScreen.Multiply(v.ViewProjection, screen);
    v.InverseWorldToScreen.Inverse(v.WorldToScreen);
    v.PixelScaleX = v.Projection.m0 * v.HalfWidth;
    v.PixelScaleY = v.Projection.m5 * v.HalfHeight;
}

void RecomputeAll(int viewport)
{
    ViewportTransform& v = Blocks[viewport];
    v.ViewProjection.Multiply(v.Camera, v.Projection);
    v.InverseViewProjection.Inverse(v.ViewProjection);
    RecomputeScreen(v);
    if (viewport == CurrentViewport)
        CacheValid = false;
}

// Casts (x, y) at clip depths -1 and +1 back through an inverse matrix.
void CastBack(const CMatrix& inverse, const CVector& s, CVector& nearPoint, CVector& farPoint)
{
    const float* r = inverse.m;
    float n[4], f[4];
    for (int c = 0; c < 4; ++c) {
        float base = s.x * r[c] + s.y * r[4 + c] + r[12 + c];
        n[c] = base - r[8 + c];
        f[c] = base + r[8 + c];
    }
    nearPoint = CVector(n[0] / n[3], n[1] / n[3], n[2] / n[3]);
    farPoint = CVector(f[0] / f[3], f[1] / f[3], f[2] / f[3]);
}

int Push(const CMatrix& matrix)
{
    if (StackSize == kMatrixStackDepth)
        return 1;
    Stack[StackSize++] = matrix;
    CacheValid = false;
    return 0;
}

struct StartUp {
    StartUp() { ResetTransformState(); }
} TransformStateAtLoad;

} // namespace

void ResetTransformState()
{
    for (ViewportTransform& v : Blocks) {
        v.Camera.SetIdentity();
        v.Projection.SetIdentity();
        for (float& e : v.Overlay.m)
            e = 0.0f;
        v.ViewProjection.SetIdentity();
        v.InverseViewProjection.SetIdentity();
        v.WorldToScreen.SetIdentity();
        v.InverseWorldToScreen.SetIdentity();
        v.X = 0.0f;
        v.Right = 640.0f;
        v.Y = 0.0f;
        v.Bottom = 480.0f;
        v.CentreX = 320.0f;
        v.HalfWidth = 320.0f;
        v.CentreY = 240.0f;
        v.HalfHeight = 240.0f;
        v.MinZ = 0.0f;
        v.DepthRange = 1.0f;
        v.GuardFactorX = 1.0f;
        v.GuardFactorY = 1.0f;
        v.DepthOffset = 0.5f;
        v.DepthScale = 0.5f;
        v.PixelScaleX = 0.0f;
        v.PixelScaleY = 0.0f;
    }
    StackSize = 0;
    CurrentViewport = 0;
    CurrentViewportFlags = 0;
    CacheValid = false;
}

const ViewportTransform* GetViewportTransform(int viewport) { return InRange(viewport) ? &Blocks[viewport] : nullptr; }

int LoadCamera(int viewport, const CMatrix& camera)
{
    if (!InRange(viewport))
        return 3;
    Blocks[viewport].Camera = camera;
    RecomputeAll(viewport);
    return 0;
}

// The view looks along its z with y up the screen, while z is up in the world; looking
// straight down, the world's y is up the screen instead.
int LoadEyeCamera(int viewport, const CVector& eye, const CVector& focus)
{
    const CVector forward = focus - eye;
    if (forward.x == 0.0f && forward.y == 0.0f && forward.z == 0.0f)
        return 4;
    const bool straightDown = forward.x == 0.0f && forward.y == 0.0f;
    CMatrix camera;
    camera.LookAt(eye, focus, straightDown ? CVector(0.0f, 1.0f, 0.0f) : CVector(0.0f, 0.0f, 1.0f));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    return LoadCamera(viewport, camera);
}

int LoadProjection(int viewport, const CMatrix& projection)
{
    if (!InRange(viewport))
        return 3;
    Blocks[viewport].Projection = projection;
    RecomputeAll(viewport);
    return 0;
}

CMatrix* GetProjection(int viewport) { return InRange(viewport) ? &Blocks[viewport].Projection : nullptr; }

int SetViewport(int viewport, float x, float y, float width, float height, float minZ, float maxZ)
{
    if (!InRange(viewport))
        return 3;
    ViewportTransform& v = Blocks[viewport];
    v.X = x;
    v.Right = x + width;
    v.Y = y;
    v.Bottom = y + height;
    v.HalfWidth = width / 2.0f;
    v.HalfHeight = height / 2.0f;
    v.CentreX = x + v.HalfWidth;
    v.CentreY = y + v.HalfHeight;
    v.MinZ = minZ;
    v.DepthRange = maxZ - minZ;
    v.GuardFactorX = kGuardX / v.HalfWidth + 1.0f;
    v.GuardFactorY = kGuardY / v.HalfHeight + 1.0f;
    v.DepthOffset = (minZ + v.DepthRange) * kDepthS / 2.0f + kDepthO;
    v.DepthScale = v.DepthRange * kDepthS / 2.0f;
    v.Overlay.Ortho(x, x + width, y + height, y, 0.0f, 1000.0f);
    RecomputeScreen(v);
    // The cached product holds the old world-to-screen matrix: keeping it would project
    // through the rectangle that was just replaced.
    if (viewport == CurrentViewport)
        CacheValid = false;
    return 0;
}

const CVector& World2Screen(int viewport, const CVector& p, float& invW)
{
    static CVector result;
    if (!InRange(viewport))
        return result;
    CVector4 h = Transform4(p, Blocks[viewport].WorldToScreen);
    invW = InverseW(h.w);
    result = CVector(h.x * invW, h.y * invW, h.z * invW);
    return result;
}

float World2ScreenZ(int viewport, const CVector& p, float& invW)
{
    if (!InRange(viewport))
        return 0.0f;
    CVector4 h = Transform4(p, Blocks[viewport].WorldToScreen);
    invW = InverseW(h.w);
    return h.z * invW;
}

const CVector4& World2View(int viewport, const CVector& p)
{
    static CVector4 result;
    if (InRange(viewport))
        result = Transform4(p, Blocks[viewport].ViewProjection);
    return result;
}

int Screen2World(int viewport, const CVector& s, CVector& nearPoint, CVector& farPoint)
{
    if (!InRange(viewport))
        return 3;
    CastBack(Blocks[viewport].InverseWorldToScreen, s, nearPoint, farPoint);
    return 0;
}

int View2World(int viewport, const CVector& v, CVector& nearPoint, CVector& farPoint)
{
    if (!InRange(viewport))
        return 3;
    CastBack(Blocks[viewport].InverseViewProjection, v, nearPoint, farPoint);
    return 0;
}

// The cache is the product for the current viewport; another viewport computes its own.
const CVector& TransformPoint(int viewport, const CVector& p, float& invW)
{
    static CVector result;
    if (!InRange(viewport))
        return result;
    CMatrix product;
    const CMatrix* m = &product;
    if (viewport == CurrentViewport) {
        if (!CacheValid) {
            TransformCache.Multiply(GetTopMatrix(), Blocks[viewport].WorldToScreen);
            CacheValid = true;
        }
        m = &TransformCache;
    } else {
        product.Multiply(GetTopMatrix(), Blocks[viewport].WorldToScreen);
    }
    CVector4 h = Transform4(p, *m);
    invW = InverseW(h.w);
    result = CVector(h.x * invW, h.y * invW, h.z * invW);
    return result;
}

int IsInFrustrum(int viewport, const CVector& centre, float radius)
{
    if (!InRange(viewport))
        return 0;
    const ViewportTransform& v = Blocks[viewport];
    CVector4 h = Transform4(centre, v.ViewProjection);
    // A projection may mirror an axis (a flipped screen y): the radius widens the bound either way.
    auto inside = [&](float c, float scale) { return (c < 0 ? -c : c) < h.w + radius * (scale < 0 ? -scale : scale); };
    return inside(h.x, v.Projection.m0) && inside(h.y, v.Projection.m5) && inside(h.z, v.Projection.m10);
}

void GetScale(int viewport, const CVector& p, float& sx, float& sy)
{
    if (!InRange(viewport))
        return;
    const ViewportTransform& v = Blocks[viewport];
    float w = Transform4(p, v.WorldToScreen).w;
    sx = v.PixelScaleX / w;
    sy = v.PixelScaleY / w;
}

int SelectViewport(int value)
{
    int viewport = value & 0x1F;
    if (viewport >= kCameraViewports)
        return 3;
    CurrentViewportFlags = value;
    if (viewport != CurrentViewport) {
        CurrentViewport = viewport;
        CacheValid = false;
    }
    return 0;
}

int GetCurrentViewport() { return CurrentViewport; }
int GetCurrentViewportFlags() { return CurrentViewportFlags; }

int ResetMatrixStack()
{
    StackSize = 0;
    CacheValid = false;
    return 0;
}

// A copy of the top leaves the product unchanged, so the cache stays valid.
int PushMatrix()
{
    if (StackSize == kMatrixStackDepth)
        return 1;
    Stack[StackSize] = GetTopMatrix();
    ++StackSize;
    return 0;
}

int PushIdentityMatrix() { return Push(Identity()); }
int PushLoadMatrix(const CMatrix& matrix) { return Push(matrix); }

int PushMultMatrix(const CMatrix& matrix)
{
    if (StackSize == 0)
        return Push(matrix);
    CMatrix product;
    product.Multiply(Stack[StackSize - 1], matrix);
    return Push(product);
}

int MultMatrix(const CMatrix& matrix)
{
    if (StackSize == 0)
        return 2;
    Stack[StackSize - 1] *= matrix;
    CacheValid = false;
    return 0;
}

int PopMatrix()
{
    if (StackSize == 0)
        return 2;
    --StackSize;
    CacheValid = false;
    return 0;
}

const CMatrix& GetTopMatrix()
{
    static const CMatrix identity = Identity();
    return StackSize ? Stack[StackSize - 1] : identity;
}
