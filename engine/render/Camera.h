#pragma once
// The eight camera viewports and the model matrix stack. Each viewport keeps a camera, a
// projection and a rectangle on the 640 by 480 virtual screen, and the matrices derived from
// them, so that world points project to the screen, screen points cast back into the world
// and spheres test against the view volume. Points are row vectors (p' = p x M); the screen
// map is y-down: screen y = centre y + y x half height.
//
// Result codes: 0 success, 1 stack overflow, 2 stack underflow, 3 viewport outside 0..7, 4 no
// direction to look in.
// Functions returning a vector return a static result that the next call overwrites.
#include "core/math/CMatrix.h"
#include "core/math/CVector.h"

struct ViewportTransform {
    CMatrix Camera;
    CMatrix Projection;
    CMatrix Overlay;
    CMatrix ViewProjection;
    CMatrix InverseViewProjection;
    CMatrix WorldToScreen;
    CMatrix InverseWorldToScreen;
    float X, Right;
    float Y, Bottom;
    float CentreX, HalfWidth, CentreY, HalfHeight;
    float MinZ, DepthRange;
    float GuardFactorX, GuardFactorY;
    float DepthOffset, DepthScale;
    float PixelScaleX, PixelScaleY;
};

enum { kCameraViewports = 8, kMatrixStackDepth = 32 };

// Back to the start-up state: every block at its defaults, the stack empty, viewport 0
// current and the transform cache invalid.
void ResetTransformState();
const ViewportTransform* GetViewportTransform(int viewport);

int LoadCamera(int viewport, const CMatrix& camera);
// A camera at eye looking at focus, z up in the world; 4 (nothing loaded) when they coincide.
int LoadEyeCamera(int viewport, const CVector& eye, const CVector& focus);
int LoadProjection(int viewport, const CMatrix& projection);
CMatrix* GetProjection(int viewport);
int SetViewport(int viewport, float x, float y, float width, float height, float minZ, float maxZ);

const CVector& World2Screen(int viewport, const CVector& p, float& invW);
float World2ScreenZ(int viewport, const CVector& p, float& invW);
const CVector4& World2View(int viewport, const CVector& p);
int Screen2World(int viewport, const CVector& s, CVector& nearPoint, CVector& farPoint);
int View2World(int viewport, const CVector& v, CVector& nearPoint, CVector& farPoint);
const CVector& TransformPoint(int viewport, const CVector& p, float& invW);
int IsInFrustrum(int viewport, const CVector& centre, float radius);
void GetScale(int viewport, const CVector& p, float& sx, float& sy);

int SelectViewport(int value);
int GetCurrentViewport();
int GetCurrentViewportFlags();

int ResetMatrixStack();
int PushMatrix();
int PushIdentityMatrix();
int PushLoadMatrix(const CMatrix& matrix);
int PushMultMatrix(const CMatrix& matrix);
int MultMatrix(const CMatrix& matrix);
int PopMatrix();
// The stack top, identity when the stack is empty.
const CMatrix& GetTopMatrix();
