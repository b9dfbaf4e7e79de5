#include "engine/object/CoreMessages.h"

#include <stddef.h>

#include "engine/include/RhuTypes.h"
#include "engine/object/EditableFillData.h"

IMPLEMENT_MESSAGE(CSetPosMessage)
IMPLEMENT_MESSAGE(CSetRotMessage)
IMPLEMENT_MESSAGE(CVeskUpdateMessage)
IMPLEMENT_MESSAGE(CCreateMessage)
IMPLEMENT_MESSAGE(CCreateIdMessage)
IMPLEMENT_MESSAGE(CAnimMessage)
IMPLEMENT_MESSAGE(CAnimMoveMessage)
IMPLEMENT_MESSAGE(CDestroyMessage)

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CMessage) == sizeof(rhu::CMessage), "CMessage");
static_assert(sizeof(CCreateMessage) == sizeof(rhu::CCreateMessage), "CCreateMessage");
static_assert(offsetof(CCreateMessage, hObject) == offsetof(rhu::CCreateMessage, hObject), "CCreateMessage");
static_assert(offsetof(CCreateMessage, Rot) == offsetof(rhu::CCreateMessage, Rot), "CCreateMessage");
static_assert(offsetof(CCreateIdMessage, Pos) == offsetof(rhu::CCreateIdMessage, Pos), "CCreateIdMessage");
static_assert(int(CDestroyMessage::CMessageId) == int(rhu::CDestroyMessage::CMessageId), "CDestroyMessage");
static_assert(offsetof(EditableFillData, Data) == offsetof(rhu::EditableFillData, Data), "EditableFillData");
#pragma GCC diagnostic pop
