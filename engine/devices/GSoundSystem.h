#pragma once
// Minimal sound system until the device layer is built: the registered class the shell creates
// at every level load, with the calls the object model makes on it.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

// Handle of a playing sound; SOUND_NO_DEFINITION when nothing was played.
typedef DWORD SoundStatus;
const SoundStatus SOUND_NO_DEFINITION = 8;

class GSoundSystem : public GObject {
    DECLARE_GOBJECT(GSoundSystem, GObject)

    GSoundSystem();
    ~GSoundSystem() override;

    SoundStatus Play(DWORD soundKey, const CVector* position);
    void Pause(bool pause);
    bool IsPaused() const { return bPaused; }

    static GSoundSystem* pThe;

    // The last request, kept until real playback exists so callers can be checked.
    DWORD LastSoundKey;
    CVector LastSoundPosition;
    int PlayRequests;

private:
    bool bPaused;
};
