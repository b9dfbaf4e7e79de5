#include "engine/object/GAttachable.h"

IMPLEMENT_GOBJECT(GAttachable, 0x00008000)

GAttachable::GAttachable()
    : pAttachedTo(nullptr), AttachPoint(0), pAttachedPosSource(nullptr), pAttachedRotSource(nullptr),
      AttachedPos(0.0f, 0.0f, 0.0f)
{
}

GAttachable::~GAttachable()
{
    if (EditableEvaluation == 0 && pAttachedTo)
        DetachMe(false, true);
}

void GAttachable::Destroy()
{
    if (pAttachedTo)
        DetachMe(false, true);
    GPhysical::Destroy();
}

const CVector& GAttachable::GetPos()
{
    if (!pAttachedTo)
        return GPhysical::GetPos();
    AttachedPos = pAttachedTo->GetAttachPos(CCRC32(AttachPoint));
    return AttachedPos;
}

void GAttachable::AttachMeTo(GPhysical* target, bool keepRot, DWORD attachPoint, bool reparent, bool keepPos)
{
    if (!target || target == this || EditableEvaluation != 0)
        return;
    if (pAttachedTo)
        DetachMe(false, true);
    pAttachedRotSource = keepRot ? &Rotation : nullptr;
    pAttachedPosSource = keepPos ? &Position : nullptr;
    Render.Attach(pAttachedPosSource, pAttachedRotSource, Render.GetColour(), Render.GetOffset());
    DisablePlottability();
    UnPlot();
    AttachPoint = attachPoint;
    target->AttachRender(attachPoint, &Render);
    if (reparent)
        SetParent(target);
    pAttachedTo = target;
}

GPhysical* GAttachable::DetachMe(bool replot, bool keepParent)
{
    GPhysical* target = pAttachedTo;
    if (!target)
        return nullptr;
    const CVector last = GetPos();
    if (!keepParent)
        SetParent(GObject::GetRoot());
    target->DetachRender(CCRC32(AttachPoint));
    pAttachedTo = nullptr;
    AttachPoint = 0;
    Render.Attach(&Position, &Rotation, Render.GetColour(), Render.GetOffset());
    if (replot) {
        SetPosRot(last, Rotation);
        Render.Link();
        EnablePlottability();
        Plot();
    }
    return target;
}

GPhysical* GAttachable::IsAttached() { return pAttachedTo; }
