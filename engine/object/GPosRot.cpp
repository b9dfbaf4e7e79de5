#include "engine/object/GPosRot.h"

#include <math.h>

#include "core/math/CAngles.h"
#include "core/math/MathTables.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/devices/GStartPosition.h"
#include "engine/frontend/CineMessages.h"
#include "engine/frontend/GRecorder.h"
#include "engine/object/CFillData.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/CoreMessages.h"

IMPLEMENT_GOBJECT(GPosRot, 0x00408000)

GPosRot* GPosRot::pLastCreated;

namespace {

const DWORD TEMPLATE_HANDLE = 0xFFFFFFFF;

// Brings an angle difference into -π..π.
float ToHalfTurn(float angle)
{
    if (angle > fmPi)
        return angle - fmTwoPi;
    if (angle < -fmPi)
        return angle + fmTwoPi;
    return angle;
}

float HorizontalDistanceSq(const CVector& to, const CVector& from)
{
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    return dx * dx + dy * dy;
}

template <class T> void Address(T& message, DWORD id, HGOBJECT recipient)
{
    message.MessageId = id;
    message.hRecipient = recipient;
    message.Priority = CMessage::DefaultPriority;
}

} // namespace

// The creation data is in place: a live object starts with its stored mover and, while a start
// position's layout is being created, stands relative to that start position.
GPosRot::GPosRot()
{
    if (EditableEvaluation != 0)
        return;
    pCurrentMover = pMover;
    if (GStartPosition::pCurrent != nullptr)
        Position += GStartPosition::pCurrent->GetPos();
}

GPosRot::~GPosRot()
{
    if (pLastCreated == this)
        pLastCreated = nullptr;
}

// Lets subclasses place themselves at the position the data gave.
void GPosRot::PostConstruction()
{
    GObject::PostConstruction();
    SetPos(Position);
}

int GPosRot::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "pMover", "CMover *", pMover);
    AddEditable(cursor, "LayoutId", "int", LayoutId);
    AddEditable(cursor, "Locator.Position.X", "float", Position.x);
    AddEditable(cursor, "Locator.Position.Y", "float", Position.y);
    AddEditable(cursor, "Locator.Position.Z", "float", Position.z);
    AddEditable(cursor, "Locator.Rotation.X", "float", Rotation.x);
    AddEditable(cursor, "Locator.Rotation.Y", "float", Rotation.y);
    AddEditable(cursor, "Locator.Rotation.Z", "float", Rotation.z);
    AddEditable(cursor, "Locator.Viewports", "int", Viewports);
    return count + 9;
}

CMover* GPosRot::GetMover() { return pCurrentMover; }
void GPosRot::SetMover(CMover* mover) { pCurrentMover = mover; }
const CVector& GPosRot::GetPos() { return Position; }
const CVector& GPosRot::GetRot() { return Rotation; }
LocationEntry* GPosRot::GetLocation() { return pLocation; }
void GPosRot::SetPos(const CVector& position) { Position = position; }
void GPosRot::SetRot(const CVector& rotation) { Rotation = rotation; }
void GPosRot::SetLocation(LocationEntry* location) { pLocation = location; }

void GPosRot::SetPosRot(const CVector& position, const CVector& rotation)
{
    Position = position;
    Rotation = rotation;
}

CVector GPosRot::GetAttachPos(CCRC32) { return GetPos(); }
CEmbeddedFillData* GPosRot::GetMenuData() { return nullptr; }
void GPosRot::Select(bool selected) { bSelected = selected; }
bool GPosRot::IsSelected() { return bSelected; }
int GPosRot::GetDwimIndex(CZArray<HGOBJECT>*, HGOBJECT&) { return 0; }

float GPosRot::GetAngle(const CVector& to, const CVector* from)
{
    const CVector& origin = from != nullptr ? *from : GetPos();
    return static_cast<float>(atan2(static_cast<double>(to.x - origin.x), static_cast<double>(origin.y - to.y)));
}

float GPosRot::GetDeflection(const CVector& to, const CVector* from)
{
    return ToHalfTurn(GetAngle(to, from) - CAngles::GetNormalizedAngle(GetRot().z));
}

float GPosRot::GetPitch(const CVector& to, const CVector* from)
{
    const CVector& origin = from != nullptr ? *from : GetPos();
    const double flat = sqrt(static_cast<double>(HorizontalDistanceSq(to, origin)));
    return CAngles::GetNormalizedAngle(static_cast<float>(atan2(static_cast<double>(to.z - origin.z), flat)));
}

bool GPosRot::IsFacing(const CVector& to, float arc) { return fabsf(GetDeflection(to, nullptr)) < arc; }

bool GPosRot::IsInRange(const CVector& to, float rangeSq, const CVector* from)
{
    return GetRangeSq(to, from) <= rangeSq;
}

float GPosRot::GetRangeSq(const CVector& to, const CVector* from)
{
    return HorizontalDistanceSq(to, from != nullptr ? *from : GetPos());
}

GPosRot* GPosRot::FromObject(GObject* object)
{
    if (object == nullptr || object->GetClassEntry() == nullptr || RttiCode == 0)
        return nullptr;
    // The class's code holds its own bit and its ancestors': a subclass's code holds all of them.
    return (*object->GetClassEntry()->pRttiCode & RttiCode) == RttiCode ? static_cast<GPosRot*>(object) : nullptr;
}

GPosRot* GPosRot::Filter(HGOBJECT handle, DWORD flags)
{
    const WORD player = handle.Player();
    if ((flags & FILTER_NOT_NEUTRAL) && (player == 0 || player == 10))
        return nullptr;
    if ((flags & FILTER_NOT_PLAYER_1) && player == 1)
        return nullptr;
    if ((flags & FILTER_ONLY_PLAYER_1) && player != 1)
        return nullptr;
    return FromObject(GObject::GetGobject(handle));
}

bool GPosRot::OnReceiveMessage(CMessage* message)
{
    switch (message->MessageId) {
    case CSetPosMessage::CMessageId:
        SetPos(static_cast<CSetPosMessage*>(message)->Pos);
        return true;
    case CSetRotMessage::CMessageId:
        SetRot(static_cast<CSetRotMessage*>(message)->Rot);
        return true;
    case CCreateMessage::CMessageId:
        return OnCreateMessage(message);
    case CCreateIdMessage::CMessageId:
        return OnCreateIdMessage(message);
    case CAnimMessage::CMessageId:
        if (GSoundSystem::pThe != nullptr)
            GSoundSystem::pThe->Play(static_cast<CAnimMessage*>(message)->SoundId, &GetPos());
        return true;
    case CKeyFrameMessage::CMessageId:
        return RecordKeyFrame();
    case CDestroyMessage::CMessageId:
        Destroy();
        return true;
    default:
        return PassToParent(message);
    }
}

// A template names the class and its creation data; without one the class id alone is made.
bool GPosRot::OnCreateMessage(CMessage* message)
{
    CCreateMessage* create = static_cast<CCreateMessage*>(message);
    GObject* object = nullptr;
    if (create->TemplateId != 0) {
        CEmbeddedFillData* creation = static_cast<CEmbeddedFillData*>(CZelFixupManager::GetAddress(create->TemplateId));
        if (creation == nullptr)
            return false;
        const HGOBJECT handle = static_cast<DWORD>(create->hObject) == TEMPLATE_HANDLE
                                    ? HGOBJECT(static_cast<DWORD>(creation->Player))
                                    : create->hObject;
        object = GObject::Create(creation->ClassId, handle, creation->pData);
        if (object != nullptr)
            object->SetLabel(creation->LabelId);
    } else if (create->ClassId != 0) {
        object = GObject::Create(create->ClassId, create->hObject, nullptr);
    }
    return PlaceCreated(object, create->Pos, create->Rot);
}

bool GPosRot::OnCreateIdMessage(CMessage* message)
{
    CCreateIdMessage* create = static_cast<CCreateIdMessage*>(message);
    return PlaceCreated(GObject::Create(create->ClassId, create->hObject, nullptr), create->Pos, create->Rot);
}

bool GPosRot::PlaceCreated(GObject* object, const CVector& position, const CVector& rotation)
{
    GPosRot* positioned = FromObject(object);
    if (positioned == nullptr)
        return false;
    positioned->SetPosRot(position, rotation);
    pLastCreated = positioned;
    return true;
}

// A recording keeps key frames: the object's position and rotation when asked, addressed to
// itself so that playback puts it back there. Other messages it receives are not recorded.
bool GPosRot::RecordKeyFrame()
{
    CSetPosMessage position;
    Address(position, CSetPosMessage::CMessageId, GetHandle());
    position.Pos = GetPos();
    GRecorder::Record(&position);

    CSetRotMessage rotation;
    Address(rotation, CSetRotMessage::CMessageId, GetHandle());
    rotation.Rot = GetRot();
    GRecorder::Record(&rotation);
    return true;
}

bool GPosRot::PassToParent(CMessage* message)
{
    GObject* parent = GetParent();
    if (parent == nullptr || !parent->OnFilterMessage(message))
        return false;
    return parent->OnReceiveMessage(message);
}
