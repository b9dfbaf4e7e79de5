#pragma once
// The message types of the object model: moving and rotating objects, editor updates,
// creation requests, animation events and destruction.
#include "engine/object/CMessage.h"
#include "core/math/CVector.h"

#pragma pack(push, 1)
class CSetPosMessage : public CMessage {
    DECLARE_MESSAGE(CSetPosMessage, 17)
    CVector Pos;
};

class CSetRotMessage : public CMessage {
    DECLARE_MESSAGE(CSetRotMessage, 18)
    CVector Rot; // radians
};

// Sent by the editor after it changed an object's editable fields.
class CVeskUpdateMessage : public CMessage {
    DECLARE_MESSAGE(CVeskUpdateMessage, 20)
};

class CCreateMessage : public CMessage {
    DECLARE_MESSAGE(CCreateMessage, 21)
    DWORD TemplateId; // name key of a creation template, 0 = none
    DWORD ClassId;
    HGOBJECT hObject; // 0xFFFFFFFF with a template: the template's own handle
    CVector Pos;
    CVector Rot;
};

class CCreateIdMessage : public CMessage {
    DECLARE_MESSAGE(CCreateIdMessage, 22)
    DWORD ClassId;
    HGOBJECT hObject;
    CVector Pos;
    CVector Rot;
};

class CAnimMessage : public CMessage {
    DECLARE_MESSAGE(CAnimMessage, 24)
    DWORD SoundId; // name key of a sound definition played at the receiver
};

class CAnimMoveMessage : public CMessage {
    DECLARE_MESSAGE(CAnimMoveMessage, 25)
};

class CDestroyMessage : public CMessage {
    DECLARE_MESSAGE(CDestroyMessage, 0x00020017)
};
#pragma pack(pop)
static_assert(sizeof(CSetPosMessage) == 24, "CSetPosMessage");
static_assert(sizeof(CSetRotMessage) == 24, "CSetRotMessage");
static_assert(sizeof(CVeskUpdateMessage) == 12, "CVeskUpdateMessage");
static_assert(sizeof(CCreateMessage) == 48, "CCreateMessage");
static_assert(sizeof(CCreateIdMessage) == 44, "CCreateIdMessage");
static_assert(sizeof(CAnimMessage) == 16, "CAnimMessage");
static_assert(sizeof(CAnimMoveMessage) == 12, "CAnimMoveMessage");
static_assert(sizeof(CDestroyMessage) == 12, "CDestroyMessage");
