#pragma once
// What a mesh keeps per render instance: the render, the mesh, whether it was on screen this
// pass and its world matrix.
#include "core/math/CMatrix.h"
#include "engine/render/CRendWorkspace.h"

#include <windows.h>

class CRendBaseMesh;
class CRendResource;
class CVector;

class CMeshWorkspace : public CRendWorkspace {
public:
    CMeshWorkspace(CRender* render, CRendBaseMesh* mesh) : pRender(render), pMesh(mesh), Visible(0)
    {
        World.SetIdentity();
    }

    // World matrix, screen box, culling (unless the render is never culled) and the selection
    // list: 3 with the matrix and the render when visible, else 0.
    int Prepare(CMatrix** matrixOut, CRender** renderOut) override;
    // Rebuilds the world matrix from the render's position and rotation.
    int GetMatrix(CMatrix** matrixOut) override;
    virtual void SetRender(CRender* render) { pRender = render; }

    // The screen box, the render's world location, the culling and the selection list of a
    // render drawing the resource under the world matrix: whether it is on screen. Skeletons
    // cull the same way.
    static bool PlaceOnScreen(CRender* render, CRendResource* resource, CMatrix& world);
    // The screen rectangle of a min/max box under the matrix and the current projection;
    // corners behind the eye are left out.
    static void ScreenBox(const CMatrix& matrix, const CVector& min, const CVector& max, RECT& box);

    int IsVisible() const { return Visible; }
    const CMatrix& GetWorld() const { return World; }

private:
    void BuildMatrix();

    CRender* pRender;
    CRendBaseMesh* pMesh;
    int Visible;
    CMatrix World;
};
