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

int CMeshWorkspace::Prepare(CMatrix** matrixOut, CRender** renderOut)
{
    BuildMatrix();
    RECT box;
    pMesh->GetScreenBoundingBox(World, box);
    if (!(pRender->GetFlags() & CRender::FLAG_NEVER_CULLED)) {
        const float radius = pRender->GetCullRadius();
        bool inside;
        if (radius != 0.0f) {
            const CVector centre(World.m12, World.m13, World.m14);
            inside = IsInFrustrum(GetCurrentViewport(), centre, radius) != 0;
        } else {
            inside = box.right >= 0 && box.left < 640 && box.bottom >= 0 && box.top < 480;
        }
        if (!inside) {
            Visible = 0;
            pRender->NotOnScreen();
            return 0;
        }
    }
    pRender->AddSelectableRender(box);
    Visible = 1;
    if (matrixOut)
        *matrixOut = &World;
    if (renderOut)
        *renderOut = pRender;
    return 3;
}
