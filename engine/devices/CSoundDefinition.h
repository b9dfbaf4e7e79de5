#pragma once
// A playable sound in packed data: its samples, priority, distance factor, base volume and
// SOUND_* flags. Definitions are found by name key through 256 buckets chosen by the key's
// low byte; each record links itself in when its file loads and out when it unloads.
#include <windows.h>

#include "engine/devices/CSoundSample.h"
#include "engine/zel/CZelStaticResource.h"

enum SoundFlags : BYTE {
    SOUND_STREAM = 1,
    SOUND_ONLYONEIGNORE = 2,
    SOUND_ONLYONERESTART = 4,
    SOUND_LOOP = 8,
    SOUND_NATURALIZE = 16,
    SOUND_PLAYPAUSED = 32,
    SOUND_VOICE = 64,
    SOUND_MUSIC = 128,
};

#pragma pack(push, 1)
class CSoundDefinition : public CZelStaticResource {
public:
    CSoundDefinition();
    ~CSoundDefinition() override;

    static CSoundDefinition* Find(DWORD id);
    // 0 effects, 1 voice, 2 music. Both voice and music bits count as music: there are only
    // three category volumes.
    int Category() const { return (Flags >> 6) > 2 ? 2 : Flags >> 6; }

    DWORD Id;
    BYTE Flags;
    BYTE UseCount;
    BYTE SampleCount;
    BYTE PreviousRandom;
    float Priority;
    float FadeMultiplier;
    float Volume;
    CSoundDefinition* pNext;
    CSoundSample* pSampleData[0];

    static CSoundDefinition* pHashTable[256];
};
#pragma pack(pop)
static_assert(sizeof(CSoundDefinition) == 28, "CSoundDefinition: 28 bytes, then the sample pointers");
