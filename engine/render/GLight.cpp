#include "engine/render/GLight.h"

#include <cmath>

#include "core/math/CMatrix.h"
#include "engine/object/CoreMessages.h"
#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GLight, 0x28000)

GLight::GLight() : hLight(0)
{
    if (EditableEvaluation != 0)
        return;
    // Without its own terms the light fades out over its radius; a light without a radius
    // has no fall-off (the reciprocal of its root would be infinite).
    if (Attenuate.x == 0.0f) {
        Attenuate = Radius > 0.0f ? CVector(0.0001f, 0.25f / std::sqrt(Radius), 1.0f / std::sqrt(Radius))
                                  : CVector(1.0f, 0.0f, 0.0f);
    }
    TranslateDirection();
    hLight = LightHandleAquire();
    LightHandleSelect(hLight);
    LightEnable(hLight, false);
    SetLightFields();
    LightSetType(LightRecord::TYPE_NONE);
    LightSetDirection(NormVector);
    LightSetCull(NoCull == 0);
}

GLight::~GLight()
{
    if (hLight)
        LightHandleRelease(hLight);
}

void GLight::SetLightFields()
{
    LightSetName(Name);
    LightSetPriority(Priority);
    LightSetIntensity(Intensity);
    LightSetAmbient(ambC);
    LightSetDiffuse(difC);
    LightSetSpecular(specC);
    LightSetAttenuation(Attenuate);
    LightSetViewport(ViewportIndex);
    LightSetRadius(Radius);
    LightSetExtents(MinX, MaxX, MinY, MaxY, LimitLeft, LimitTop, LimitRight, LimitBottom);
    LightSetPosition(GetPos());
}

void GLight::SetDirection(const CVector&) {}

void GLight::TranslateDirection(CVector& direction, const CVector& rotation)
{
    CMatrix m;
    m.SetEuler_XYZS(CVector(0.0f, 0.0f, 0.0f), rotation);
    direction = CVector(m.m8, m.m9, m.m10);
}

void GLight::TranslateDirection()
{
    if (DirMode != 0) {
        TranslateDirection(NormVector, Rotation);
        return;
    }
    DirMode = 1;
    const CVector& v = Rotation;
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    NormVector = length > 0.0f ? CVector(v.x / length, v.y / length, v.z / length) : CVector(0.0f, 0.0f, -1.0f);
    const CVector& n = NormVector;
    Rotation = CVector(std::atan2(std::sqrt(n.x * n.x + n.y * n.y), n.z), 0.0f, std::atan2(n.x, -n.y));
}

bool GLight::OnReceiveMessage(CMessage* message)
{
    switch (message->MessageId) {
    case CVeskUpdateMessage::CMessageId:
        LightHandleSelect(hLight);
        SetLightFields();
        TranslateDirection();
        LightSetDirection(NormVector);
        return true;
    case CSetPosMessage::CMessageId:
        SetPos(static_cast<CSetPosMessage*>(message)->Pos);
        LightHandleSelect(hLight);
        LightSetPosition(GetPos());
        return true;
    case CSetRotMessage::CMessageId:
        SetRot(static_cast<CSetRotMessage*>(message)->Rot);
        LightHandleSelect(hLight);
        TranslateDirection();
        LightSetDirection(NormVector);
        return true;
    default:
        return GAttachable::OnReceiveMessage(message);
    }
}

int GLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GAttachable::SpecifyEditable(cursor);
    AddEditable(cursor, "Intensity", "float", Intensity);
    AddEditable(cursor, "ambC.Red", "float", ambC.x);
    AddEditable(cursor, "ambC.Green", "float", ambC.y);
    AddEditable(cursor, "ambC.Blue", "float", ambC.z);
    AddEditable(cursor, "difC.Red", "float", difC.x);
    AddEditable(cursor, "difC.Green", "float", difC.y);
    AddEditable(cursor, "difC.Blue", "float", difC.z);
    AddEditable(cursor, "specC.Red", "float", specC.x);
    AddEditable(cursor, "specC.Green", "float", specC.y);
    AddEditable(cursor, "specC.Blue", "float", specC.z);
    AddEditable(cursor, "AttachId", "int", AttachId);
    AddEditable(cursor, "Radius", "float", Radius);
    AddEditable(cursor, "Attenuate.X", "float", Attenuate.x);
    AddEditable(cursor, "Attenuate.Y", "float", Attenuate.y);
    AddEditable(cursor, "Attenuate.Z", "float", Attenuate.z);
    AddEditable(cursor, "MinX", "float", MinX);
    AddEditable(cursor, "MaxX", "float", MaxX);
    AddEditable(cursor, "MinY", "float", MinY);
    AddEditable(cursor, "MaxY", "float", MaxY);
    AddEditable(cursor, "LimitLeft", "int", LimitLeft);
    AddEditable(cursor, "LimitTop", "int", LimitTop);
    AddEditable(cursor, "LimitRight", "int", LimitRight);
    AddEditable(cursor, "LimitBottom", "int", LimitBottom);
    AddEditable(cursor, "Name", "DWORD", Name);
    AddEditable(cursor, "Priority", "int", Priority);
    AddEditable(cursor, "ViewportIndex", "int", ViewportIndex);
    AddEditable(cursor, "ShadowFlag", "int", ShadowFlag);
    AddEditable(cursor, "DirMode", "int", DirMode);
    AddEditable(cursor, "NormVector.X", "float", NormVector.x);
    AddEditable(cursor, "NormVector.Y", "float", NormVector.y);
    AddEditable(cursor, "NormVector.Z", "float", NormVector.z);
    AddEditable(cursor, "NoCull", "int", NoCull);
    AddEditable(cursor, "cosA", "float", cosA);
    return count + 33;
}
