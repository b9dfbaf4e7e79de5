#include "engine/render/GSpotLight.h"

#include "engine/object/CoreMessages.h"
#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GSpotLight, 0x82008000)

namespace {

// The world has no terrain heights yet: the ground is level at height 0.
float GroundHeightUnder(const CVector&) { return 0.0f; }

} // namespace

GSpotLight::GSpotLight()
{
    if (EditableEvaluation != 0)
        return;
    LightPos = CVector(Position.x - LookAt * NormVector.x, Position.y - LookAt * NormVector.y,
                       Position.z - LookAt * NormVector.z);
    LightHandleSelect(hLight);
    LightSetType(LightRecord::TYPE_SPOT);
    LightSetArpeture(cosA);
    LightSetPosition(LightPos);
}

void GSpotLight::PlaceLight()
{
    const CVector& at = GetPos();
    LightPos = CVector(at.x - LookAt * NormVector.x, at.y - LookAt * NormVector.y, at.z - LookAt * NormVector.z);
    LightHandleSelect(hLight);
    LightSetDirection(NormVector);
    LightSetPosition(LightPos);
}

void GSpotLight::PointRender() { Render.Attach(&LightPos, &Rotation, nullptr, nullptr); }

bool GSpotLight::Process()
{
    LightEnable(hLight, true);
    PointRender();
    GPhysical* parent = GPhysical::FromObject(GetParent());
    if (AttachId != 0 && parent) {
        int found = 0;
        CMatrix m;
        parent->Render.GetAttachPoint(CCRC32(DWORD(AttachId)), found, &m);
        if (found) {
            const CVector& p = Position;
            const CVector& n = NormVector;
            LightPos =
                CVector(p.x * m.m0 + p.y * m.m4 + p.z * m.m8 + m.m12, p.x * m.m1 + p.y * m.m5 + p.z * m.m9 + m.m13,
                        p.x * m.m2 + p.y * m.m6 + p.z * m.m10 + m.m14);
            const CVector direction(n.x * m.m0 + n.y * m.m4 + n.z * m.m8, n.x * m.m1 + n.y * m.m5 + n.z * m.m9,
                                    n.x * m.m2 + n.y * m.m6 + n.z * m.m10);
            LightHandleSelect(hLight);
            LightSetPosition(LightPos);
            LightSetDirection(direction);
        }
    }
    return false;
}

bool GSpotLight::OnReceiveMessage(CMessage* message)
{
    switch (message->MessageId) {
    case CVeskUpdateMessage::CMessageId:
        GLight::OnReceiveMessage(message);
        LightSetArpeture(cosA);
        PlaceLight();
        return true;
    case CSetPosMessage::CMessageId:
        SetPos(static_cast<CSetPosMessage*>(message)->Pos);
        PlaceLight();
        if (LearnRadius != 0) {
            // The cone reaches the ground under the light.
            const float height = GetPos().z - GroundHeightUnder(GetPos());
            Radius = (cosA < 1.0f ? height / (1.0f - cosA) : height) + 1.0f;
            LightSetRadius(Radius);
        }
        return true;
    case CSetRotMessage::CMessageId:
        SetRot(static_cast<CSetRotMessage*>(message)->Rot);
        TranslateDirection();
        PlaceLight();
        PointRender();
        return true;
    default:
        return GLight::OnReceiveMessage(message);
    }
}

int GSpotLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GLight::SpecifyEditable(cursor);
    AddEditable(cursor, "LearnRadius", "int", LearnRadius);
    AddEditable(cursor, "LookAt", "float", LookAt);
    return count + 2;
}
