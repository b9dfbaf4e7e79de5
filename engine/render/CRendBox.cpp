#include "engine/render/CRendBox.h"

#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendBox);

namespace {
CRendBox RendBox;
NamedResourcePublisher PublishRendBox("RendBox", &RendBox);
// Corner i has x positive with bit 0, y with bit 1, z with bit 2; the faces -x, +x, -y, +y,
// -z, +z.
const int kFaces[6][4] = {{0, 2, 6, 4}, {3, 1, 5, 7}, {0, 1, 5, 4}, {3, 2, 6, 7}, {0, 1, 3, 2}, {5, 4, 6, 7}};
} // namespace

void CRendBox::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    if (!p)
        return;
    const float s = render->GetOffset() ? render->GetOffset()->x : 1.0f;
    CMatrix matrix;
    matrix.SetEuler_XYZS(*p, render->GetRot() ? *render->GetRot() : CVector(0, 0, 0));
    PushMultMatrix(matrix);
    BeginPrimitives(3, 1, 1);
    SetPrimitiveStage(0, 0, 2, nullptr);
    SetPrimitiveColor(ShapeColour(render));
    for (const int* face : kFaces) {
        StartPrimitive(0);
        for (int i = 0; i < 4; ++i) {
            const int c = face[i];
            AddPrimitiveVertex(CVector((c & 1) ? s : -s, (c & 2) ? s : -s, (c & 4) ? s : -s));
        }
        EndPrimitive();
    }
    EndPrimitives();
    PopMatrix();
}
