#include "engine/render/Viewports.h"

namespace {
const int kViewports = 8;
ViewportStandIn g_Viewports[kViewports];
} // namespace

int SetViewport(int viewport, float x, float y, float width, float height, float minZ, float maxZ)
{
    if (viewport < 0 || viewport >= kViewports)
        return 3;
    ViewportStandIn& v = g_Viewports[viewport];
    v.X = x;
    v.Y = y;
    v.Width = width;
    v.Height = height;
    v.MinZ = minZ;
    v.MaxZ = maxZ;
    return 0;
}

int LoadProjection(int viewport, CMatrix& projection)
{
    if (viewport < 0 || viewport >= kViewports)
        return 3;
    g_Viewports[viewport].Projection = projection;
    return 0;
}

const ViewportStandIn* GetViewportStandIn(int viewport)
{
    return viewport >= 0 && viewport < kViewports ? &g_Viewports[viewport] : nullptr;
}
