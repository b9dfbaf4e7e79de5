#include "engine/devices/GSoundSystem.h"

IMPLEMENT_GOBJECT(GSoundSystem, 0x40800002)

GSoundSystem* GSoundSystem::pThe;

GSoundSystem::GSoundSystem()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

GSoundSystem::~GSoundSystem()
{
    if (pThe == this)
        pThe = nullptr;
}

SoundStatus GSoundSystem::Play(DWORD soundKey, const CVector* position)
{
    LastSoundKey = soundKey;
    LastSoundPosition = position != nullptr ? *position : NullVector;
    ++PlayRequests;
    return SOUND_NO_DEFINITION;
}

void GSoundSystem::Pause(bool pause) { bPaused = pause; }
