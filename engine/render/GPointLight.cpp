#include "engine/render/GPointLight.h"

#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GPointLight, 0x82008000)

GPointLight::GPointLight()
{
    if (EditableEvaluation != 0)
        return;
    LightHandleSelect(hLight);
    LightSetType(LightRecord::TYPE_POINT);
}

bool GPointLight::Process()
{
    GPhysical* parent = GPhysical::FromObject(GetParent());
    if (AttachId != 0 && parent && parent != GObject::GetRoot()) {
        if (!IsAttached())
            AttachMeTo(parent, false, DWORD(AttachId), true, false);
        if (parent->Render.GetResource()) {
            SetPos(parent->GetAttachPos(CCRC32(DWORD(AttachId))));
            LightHandleSelect(hLight);
            LightSetPosition(GetPos());
        }
    }
    LightEnable(hLight, true);
    return false;
}
