#include "engine/render/CRendLine.h"

#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendLine);

namespace {
CRendLine RendLine;
NamedResourcePublisher PublishRendLine("RendLine", &RendLine);
} // namespace

void CRendLine::Render(CRender* render)
{
    const CVector* from = render->GetPos();
    const CVector* to = render->GetRot();
    if (!from || !to)
        return;
    PushIdentityMatrix();
    BeginPrimitives(3, 1, 1);
    SetPrimitiveStage(0, 0, STAGE_LINES | 0x02, nullptr);
    SetPrimitiveColor(ShapeColour(render));
    StartPrimitive(0);
    AddPrimitiveVertex(*from);
    AddPrimitiveVertex(*to);
    EndPrimitive();
    EndPrimitives();
    PopMatrix();
}
