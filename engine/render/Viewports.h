#pragma once
// Stand-in for the camera viewports until the renderer's matrix stack is built: it keeps each
// viewport's rectangle and depth range so that callers and tests can read them.

struct ViewportStandIn {
    float X, Y, Width, Height, MinZ, MaxZ;
};

// 0 on success, 3 for a viewport outside 0..7.
int SetViewport(int viewport, float x, float y, float width, float height, float minZ, float maxZ);
const ViewportStandIn* GetViewportStandIn(int viewport);
