#include "engine/render/CRendRectangle.h"

#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendRectangle) == sizeof(rhu::CRendRectangle), "CRendRectangle differs from the record header");

ZEL_REGISTER_RECORD(CRendRectangle);

namespace {

CRendRectangle RendRectangle;

struct RendRectanglePublisher {
    RendRectanglePublisher()
    {
        unsigned long key = CCRC32::GetCRC("RendRectangle");
        CZelFixupManager::SetAddress(key, &RendRectangle);
        CZelFixupManager::SetLabel(key, "RendRectangle");
    }
} PublishRendRectangle;

DWORD Channel(float value)
{
    const float scaled = value * 255.0f + 0.5f;
    return DWORD(scaled < 0.0f ? 0.0f : scaled > 255.0f ? 255.0f : scaled);
}

} // namespace

void CRendRectangle::Render(CRender* render)
{
    const CVector* p = render->GetPos();
    const CVector* q = render->GetRot();
    if (!p || !q)
        return;
    D3DCOLOR colour = 0xFFFFFFFF;
    if (const CVector4* c = render->GetColour())
        colour = Channel(c->w) << 24 | Channel(c->x) << 16 | Channel(c->y) << 8 | Channel(c->z);
    CRenderer::GetDevice().DrawScreenRect(p->x, p->y, q->x, q->y, colour);
    // A rectangle that names an object can be picked where it was drawn (menu buttons).
    const RECT box = {LONG(p->x < q->x ? p->x : q->x), LONG(p->y < q->y ? p->y : q->y), LONG(p->x < q->x ? q->x : p->x),
                      LONG(p->y < q->y ? q->y : p->y)};
    render->AddSelectableRender(box);
}
