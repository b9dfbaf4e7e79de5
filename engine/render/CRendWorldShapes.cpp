#include "engine/render/CRendWorldShapes.h"

#include <cmath>

#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendWorldRect);
ZEL_REGISTER_RECORD(CRendWorldEllipse);

namespace {
CRendWorldRect RendWorldRect;
CRendWorldEllipse RendWorldEllipse;
NamedResourcePublisher PublishRendWorldRect("RendWorldRect", &RendWorldRect);
NamedResourcePublisher PublishRendWorldEllipse("RendWorldEllipse", &RendWorldEllipse);
const int kSides = 32;
const float kStep = 2.0f * 3.14159265f / kSides;

// One closed outline in world space through the identity matrix.
void BeginOutline(CRender* render)
{
    PushIdentityMatrix();
    BeginPrimitives(0, 1, 1);
    SetPrimitiveStage(0, 0, STAGE_LINES | 0x12, nullptr);
    SetPrimitiveColor(ShapeColour(render));
    StartPrimitive(0);
}

void EndOutline()
{
    EndPrimitive();
    EndPrimitives();
    PopMatrix();
}
} // namespace

void CRendWorldRect::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    const CVector* q = render->GetRot();
    if (!p || !q)
        return;
    BeginOutline(render);
    const float corners[4][2] = {{p->x, p->y}, {p->x, q->y}, {q->x, q->y}, {q->x, p->y}};
    for (const float* c : corners) {
        const CVector at(c[0], c[1], 0);
        AddPrimitiveVertex(CVector(c[0], c[1], CRenderer::GetHeightData(at)));
    }
    EndOutline();
}

void CRendWorldEllipse::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    const CVector* q = render->GetRot();
    if (!p || !q)
        return;
    const float hx = (q->x - p->x) / 2, hy = (q->y - p->y) / 2;
    const CVector centre(p->x + hx, p->y + hy, render->GetOffset() ? render->GetOffset()->z : 0.0f);
    LocationEntry* location = GmvWorld::GetLocation(centre, 0xFFFFFFFF);
    if (!location)
        return;
    BeginOutline(render);
    for (int k = 0; k < kSides; ++k) {
        const float a = float(k) * kStep;
        CVector at(centre.x + hx * std::cos(a), centre.y + hy * std::sin(a), 0);
        at.z = CRenderer::GetHeightData(at, location);
        AddPrimitiveVertex(at);
    }
    EndOutline();
}
