#pragma once
// The cinematic recorder's message types, registered in the shared message table.
#include "core/math/CVector.h"
#include "engine/object/CMessage.h"

class CEmbeddedFillData;

#pragma pack(push, 1)
class CCineLoadLevelMessage : public CMessage {
    DECLARE_MESSAGE(CCineLoadLevelMessage, 0x0001001B)
    char* pLevelName;
};

class CPlaySoundMessage : public CMessage {
    DECLARE_MESSAGE(CPlaySoundMessage, 0x0001001C)
    DWORD SoundId; // name key of the sound definition
    CVector Pos;
    int LipSync;
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
static_assert(sizeof(CPlaySoundMessage) == 32, "CPlaySoundMessage");
static_assert(sizeof(CKeyFrameMessage) == 12, "CKeyFrameMessage");
static_assert(sizeof(CCineCreateMessage) == 20, "CCineCreateMessage");
