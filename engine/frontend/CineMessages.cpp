#include "engine/frontend/CineMessages.h"

#include "engine/include/RhuTypes.h"

IMPLEMENT_MESSAGE(CCineLoadLevelMessage)
IMPLEMENT_MESSAGE(CPlaySoundMessage)
IMPLEMENT_MESSAGE(CKeyFrameMessage)
IMPLEMENT_MESSAGE(CCineCreateMessage)

static_assert(sizeof(CCineCreateMessage) == sizeof(rhu::CCineCreateMessage), "CCineCreateMessage");
static_assert(sizeof(CCineLoadLevelMessage) == sizeof(rhu::CCineLoadLevelMessage), "CCineLoadLevelMessage");
static_assert(sizeof(CPlaySoundMessage) == sizeof(rhu::CPlaySoundMessage), "CPlaySoundMessage");
static_assert(int(CKeyFrameMessage::CMessageId) == int(rhu::CKeyFrameMessage::CMessageId), "CKeyFrameMessage");
