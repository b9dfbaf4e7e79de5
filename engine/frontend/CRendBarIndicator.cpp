#include "engine/frontend/CRendBarIndicator.h"

#include "engine/frontend/GMenuBarIndicator.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/Material.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendBarIndicator) == sizeof(rhu::CRendBarIndicator),
              "CRendBarIndicator differs from the record header");

ZEL_REGISTER_RECORD(CRendBarIndicator);

namespace {
CRendBarIndicator BarIndicator;
NamedResourcePublisher PublishBarIndicator("CRendBarIndicator", &BarIndicator);
} // namespace

CRendBarIndicator& CRendBarIndicator::BuiltIn() { return BarIndicator; }

void CRendBarIndicator::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    const CVector* q = render->GetRot();
    if (!p || !q)
        return;
    const float f = q->z;
    // The texture is the bar's own: one built-in resource draws every bar.
    GObject* owner = render->GetParent();
    GMenuBarIndicator* bar = owner && owner->IsDerivedFromClassId(GMenuBarIndicator::ClassId)
                                 ? static_cast<GMenuBarIndicator*>(owner)
                                 : nullptr;
    CVector4 colour = ShapeColour(render);
    if (const Material* material = render->GetMaterialList())
        colour.w *= material->Alpha;
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, 0x10, nullptr);
    SetPrimitiveTexture(0, bar ? bar->GetTexture() : nullptr);
    SetPrimitiveColor(colour);
    StartPrimitive(0);
    const struct {
        float x, y, u, v;
    } corners[] = {{p->x, p->y, 0, 0}, {p->x, q->y, 0, 1}, {q->x, q->y, f, 1}, {q->x, p->y, f, 0}};
    for (const auto& c : corners) {
        const float uv[2] = {c.u, c.v};
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(CVector(c.x, c.y, 0));
    }
    EndPrimitive();
    EndPrimitives();
}
