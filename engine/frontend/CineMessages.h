#pragma once
// The cinematic recorder's message types, registered in the shared message table.
#include "engine/object/CMessage.h"

class CEmbeddedFillData;

#pragma pack(push, 1)
class CCineLoadLevelMessage : public CMessage {
    DECLARE_MESSAGE(CCineLoadLevelMessage, 0x0001001B)
    char* pLevelName;
};

// A positioned object that receives it records its own position and rotation.
class CKeyFrameMessage : public CMessage {
    DECLARE_MESSAGE(CKeyFrameMessage, 0x0001001E)
};

class CCineCreateMessage : public CMessage {
    DECLARE_MESSAGE(CCineCreateMessage, 0x0001001F)
    CEmbeddedFillData* pCreateMe;
    HGOBJECT hParent;
};
#pragma pack(pop)
static_assert(sizeof(CCineLoadLevelMessage) == 16, "CCineLoadLevelMessage");
static_assert(sizeof(CKeyFrameMessage) == 12, "CKeyFrameMessage");
static_assert(sizeof(CCineCreateMessage) == 20, "CCineCreateMessage");
