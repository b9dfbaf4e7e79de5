#include "engine/render/CMeshWorkspace.h"

#include "engine/render/CRendBaseMesh.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"

void CMeshWorkspace::BuildMatrix()
{
    const CVector zero(0.0f, 0.0f, 0.0f);
    const CVector* pos = pRender->GetPos();
    const CVector* rot = pRender->GetRot();
    World.SetEuler_XYZS(pos ? *pos : zero, rot ? *rot : zero);
}

int CMeshWorkspace::GetMatrix(CMatrix** matrixOut)
{
    BuildMatrix();
    if (matrixOut)
        *matrixOut = &World;
    return 0;
}

bool CMeshWorkspace::PlaceOnScreen(CRender* render, CRendResource* resource, CMatrix& world)
{
    RECT box;
    resource->GetScreenBoundingBox(world, box);
    // Every drawn mesh keeps its location current, so that its ground queries need no search.
    render->UpdateLocation();
    if (!(render->GetFlags() & CRender::FLAG_NEVER_CULLED)) {
        const float radius = render->GetCullRadius();
        bool inside;
        if (radius != 0.0f) {
            const CVector centre(world.m12, world.m13, world.m14);
            inside = IsInFrustrum(GetCurrentViewport(), centre, radius) != 0;
        } else {
            inside = box.right >= 0 && box.left < 640 && box.bottom >= 0 && box.top < 480;
        }
        if (!inside) {
            render->NotOnScreen();
            return false;
        }
    }
    render->AddSelectableRender(box);
    return true;
}

void CMeshWorkspace::ScreenBox(const CMatrix& matrix, const CVector& min, const CVector& max, RECT& box)
{
    box = RECT{10000, 10000, -10000, -10000};
    const ViewportTransform* v = GetViewportTransform(GetCurrentViewport());
    if (!v)
        return;
    CMatrix toScreen;
    toScreen.Multiply(matrix, v->WorldToScreen);
    const float* s = toScreen.m;
    for (int i = 0; i < 8; ++i) {
        const float x = (i & 1) ? max.x : min.x, y = (i & 2) ? max.y : min.y, z = (i & 4) ? max.z : min.z;
        const float w = x * s[3] + y * s[7] + z * s[11] + s[15];
        if (!(w > 0.0f))
            continue;
        const float sz = (x * s[2] + y * s[6] + z * s[10] + s[14]) / w;
        if (sz < -1.0f)
            continue;
        const LONG sx = static_cast<LONG>((x * s[0] + y * s[4] + z * s[8] + s[12]) / w);
        const LONG sy = static_cast<LONG>((x * s[1] + y * s[5] + z * s[9] + s[13]) / w);
        box.left = sx < box.left ? sx : box.left;
        box.right = sx > box.right ? sx : box.right;
        box.top = sy < box.top ? sy : box.top;
        box.bottom = sy > box.bottom ? sy : box.bottom;
    }
}

int CMeshWorkspace::Prepare(CMatrix** matrixOut, CRender** renderOut)
{
    BuildMatrix();
    if (!PlaceOnScreen(pRender, pMesh, World)) {
        Visible = 0;
        return 0;
    }
    Visible = 1;
    if (matrixOut)
        *matrixOut = &World;
    if (renderOut)
        *renderOut = pRender;
    return 3;
}
