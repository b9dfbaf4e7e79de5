#include "engine/render/CRendEllipse.h"

#include <cmath>

#include "engine/object/CGameTimer.h"
#include "engine/render/CRender.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendEllipse);

float CRendEllipse::StartAngle;

namespace {
CRendEllipse RendEllipse;
NamedResourcePublisher PublishRendEllipse("RendEllipse", &RendEllipse);
const int kSides = 32;
const float kStep = 2.0f * 3.14159265f / kSides;
} // namespace

void CRendEllipse::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    const CVector* q = render->GetRot();
    if (!p || !q)
        return;
    const float hx = (p->x - q->x) / 2, hy = (p->y - q->y) / 2;
    const float cx = q->x + hx, cy = q->y + hy;
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, 0x12, nullptr);
    SetPrimitiveStageFloat(0, 0.3f);
    SetPrimitiveColor(ShapeColour(render));
    StartPrimitive(0);
    for (int k = 0; k < kSides; ++k) {
        const float a = StartAngle + float(k) * kStep;
        AddPrimitiveVertex(CVector(cx + hx * std::cos(a), cy + hy * std::sin(a), 0));
    }
    EndPrimitive();
    EndPrimitives();
    StartAngle += CGameTimer::FrameTime() * kStep * 4;
    while (StartAngle > kStep)
        StartAngle -= kStep;
}
