#include "engine/render/CSprite.h"

#include <algorithm>

#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CSprite) == sizeof(rhu::CSprite), "CSprite differs from the record header");
static_assert(sizeof(SpriteBatch) == sizeof(rhu::SpriteBatch), "SpriteBatch differs from the record header");
static_assert(sizeof(SpriteFrame) == sizeof(rhu::SpriteFrame), "SpriteFrame differs from the record header");

ZEL_REGISTER_RECORD(CSprite);

namespace {

// An attach point as callers receive it: a position and a name key.
struct AttachPointOut {
    CVector Position;
    unsigned long Key;
};

} // namespace

void SpriteFrameBox(const SpriteBatch& batch, int frame, RECT& box)
{
    box = RECT{10000, 10000, -10000, -10000};
    for (int f = frame; f >= 0 && f < batch.NumFrames; ++f) {
        const SpriteFrame& part = batch.pFrames[f];
        box.left = std::min<LONG>(box.left, LONG(part.Left / 16));
        box.right = std::max<LONG>(box.right, LONG(part.Right / 16));
        box.top = std::min<LONG>(box.top, LONG(part.Top / 16));
        box.bottom = std::max<LONG>(box.bottom, LONG(part.Bottom / 16));
        if (!(part.Flags & 1))
            break;
    }
}

// A sprite has no workspace of its own; its default animation starts playing at once.
CRendWorkspace* CSprite::OnAttach(CRender* render)
{
    if (pAnimation)
        render->Attach(pAnimation, nullptr, 1.0f, 0);
    return nullptr;
}

void CSprite::GetBoundingBox(RECT& box, int frame)
{
    if (frame != BoxFrameNo) {
        SpriteFrameBox(SpriteData, frame, Box);
        BoxFrameNo = frame;
    }
    box = Box;
}

const CVector& CSprite::GetAttachPoint(CRender* render, int index, int& found, CMatrix*)
{
    static CVector result;
    result = CVector(0, 0, 0);
    found = 0;
    if (index >= int(NumAttachPoints))
        return result;
    found = 1;
    if (render->GetPos())
        result = *render->GetPos();
    if (index >= 0) {
        result.x += AttachPoints[index].x;
        result.y += AttachPoints[index].y;
    }
    return result;
}

int CSprite::ReturnAttachPoints(CAttachPoint* points)
{
    AttachPointOut* out = reinterpret_cast<AttachPointOut*>(points);
    for (unsigned long i = 0; i < NumAttachPoints; ++i)
        out[i] = AttachPointOut{CVector(AttachPoints[i].x, AttachPoints[i].y, 0), 0};
    return NumAttachPoints ? 1 : 0;
}

void CSprite::Render(CRender* render)
{
    SpriteDrawRecord record = {
        static_cast<unsigned short>(render->Index()), SPRITE_RECORD_LAST, 0, 0, 0, 1.0f, render->GetColour()};
    if (const CVector* offset = render->GetOffset()) {
        record.x = offset->x;
        record.y = offset->y;
    }
    // A node of a skeleton: drawn in the world with the node's matrix, never picked.
    if (CRendWorkspace* workspace = render->GetWorkspace()) {
        CMatrix* matrix = nullptr;
        if (workspace->Prepare(&matrix, nullptr) && matrix) {
            PushLoadMatrix(*matrix);
            DrawSpriteList(render->GetMergedPriority(), &SpriteData, &record, nullptr, render->GetMaterialList(),
                           SPRITE_WORLD, sizeof record);
            PopMatrix();
        }
        render->NotOnScreen();
        return;
    }
    const CVector* position = render->GetPos();
    if (position && (SpriteData.Flags & SPRITE_ADD_POSITION)) {
        record.x += position->x;
        record.y += position->y;
        position = nullptr;
    }
    DrawSpriteList(render->GetMergedPriority(), &SpriteData, &record, position, render->GetMaterialList(), 0,
                   sizeof record);
    if (position || render->GetSelectable().IsNull()) {
        render->NotOnScreen();
        return;
    }
    RECT box;
    GetBoundingBox(box, record.Frame);
    float sx = 1.0f, sy = 1.0f;
    if (SpriteData.Flags & 0x400)
        GetScale(GetCurrentViewport(), render->GetPos() ? *render->GetPos() : CVector(0, 0, 0), sx, sy);
    box.left = LONG(float(box.left) * sx + record.x);
    box.right = LONG(float(box.right) * sx + record.x);
    box.top = LONG(float(box.top) * sy + record.y);
    box.bottom = LONG(float(box.bottom) * sy + record.y);
    render->AddSelectableRender(box);
}
