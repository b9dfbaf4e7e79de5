#pragma once
// The sound system: 16 voices, a voice chosen for each request (the lowest priority stolen when
// all are busy), a sound's world position turned into pan and volume through the camera's
// view, looping sounds timed out unless refreshed, and three category volumes. Created by the
// shell at every level load; game code reaches it through pThe and holds a SoundStatus per
// playing sound.
#include "core/math/CVector.h"
#include "engine/devices/CSoundDefinition.h"
#include "engine/devices/CSoundSample.h"
#include "engine/object/GObject.h"

// One word per playing sound: bit 0 looping, 1 playing, 2 update pending, 3 alone for an
// unknown sound, 4 paused mark, bits 5-12 the voice slot, 13-28 that slot's generation.
typedef DWORD SoundStatus;
enum : DWORD {
    SOUND_STATUS_LOOPING = 1,
    SOUND_STATUS_PLAYING = 2,
    SOUND_STATUS_UPDATE = 4,
    SOUND_NO_DEFINITION = 8,
    SOUND_STATUS_PAUSED = 16,
    SOUND_SLOT_SHIFT = 5,
    SOUND_SLOT_MASK = 0xFF,
    SOUND_GENERATION_SHIFT = 13,
    SOUND_GENERATION_MASK = 0xFFFF,
};

struct CVoice {
    HGOBJECT hObject; // the object the sound follows, 0 for a fixed position
    CSoundSample* pSample;
    CSoundDefinition* pDefinition;
    float Pan;
    float Volume;
    float Frequency;
    SoundStatus Status;
    CVector Projected;
    float Scale;
    float Timeout; // seconds left for a looping sound nobody refreshes; 0 none

    DWORD Generation() const { return (Status >> SOUND_GENERATION_SHIFT) & SOUND_GENERATION_MASK; }
    bool IsPlaying() const { return (Status & SOUND_STATUS_PLAYING) != 0; }
};

class GSoundSystem : public GObject {
    DECLARE_GOBJECT(GSoundSystem, GObject)

    GSoundSystem();
    ~GSoundSystem() override;
    bool Process() override;

    enum { kVoices = 16, kCategories = 3 };
    static constexpr SoundStatus NotPlaying = 0;
    static constexpr float kLoopTimeout = 2.0f;
    static constexpr float kAudible = 0.1f;

    SoundStatus Play(DWORD id, const CVector* position);
    SoundStatus Play(DWORD id, HGOBJECT object);
    bool Status(SoundStatus& status);
    CVoice* StatusToVoice(SoundStatus& status);
    bool Stop(SoundStatus& status);
    void Stop();
    bool Update(SoundStatus& status, const CVector* position, DWORD id);
    float Volume(SoundStatus& status, float scale);
    float Volume(int category, float volume);
    void Frequency(SoundStatus& status, float factor);
    void Pause(bool pause);

    static GSoundSystem* pThe;
    static float CurVolume[kCategories];
    static CVoice Voices[kVoices];

protected:
    SoundStatus Play(CSoundDefinition* definition, HGOBJECT object, const CVector* position);

private:
    SoundStatus StartVoice(CVoice& voice, CSoundDefinition* definition, HGOBJECT object, const CVector* position);
    void ComputeVoice(CVoice& voice, float scale, const CVector* position);
    void StopVoice(CVoice& voice);
    void ReleaseVoice(CVoice& voice);
    // A playing voice's timeout and sample; false when the voice has ended.
    bool KeepAlive(CVoice& voice);
    void PlatformUpdate() {}
};
