#pragma once
// Stand-in for the camera viewports until the renderer's matrix stack is built: it keeps each
// viewport's rectangle, depth range and projection so that callers and tests can read them.
#include "core/math/CMatrix.h"

struct ViewportStandIn {
    float X, Y, Width, Height, MinZ, MaxZ;
    CMatrix Projection;
};

// 0 on success, 3 for a viewport outside 0..7.
int SetViewport(int viewport, float x, float y, float width, float height, float minZ, float maxZ);
int LoadProjection(int viewport, CMatrix& projection);
const ViewportStandIn* GetViewportStandIn(int viewport);
