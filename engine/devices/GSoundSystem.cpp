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

SoundStatus GSoundSystem::Play(DWORD, const CVector*) { return SOUND_NO_DEFINITION; }

void GSoundSystem::Pause(bool pause) { bPaused = pause; }
