#pragma once
// What a mesh keeps per render instance: the render, the mesh, whether it was on screen this
// pass and its world matrix.
#include "core/math/CMatrix.h"
#include "engine/render/CRendWorkspace.h"

class CRendBaseMesh;

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

    int IsVisible() const { return Visible; }
    const CMatrix& GetWorld() const { return World; }

private:
    void BuildMatrix();

    CRender* pRender;
    CRendBaseMesh* pMesh;
    int Visible;
    CMatrix World;
};
