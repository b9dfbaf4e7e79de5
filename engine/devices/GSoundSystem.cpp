#include "engine/devices/GSoundSystem.h"

#include "core/names/CRandom.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPosRot.h"
#include "engine/render/Camera.h"

IMPLEMENT_GOBJECT(GSoundSystem, 0x40800002)

GSoundSystem* GSoundSystem::pThe;
float GSoundSystem::CurVolume[kCategories] = {1.0f, 1.0f, 1.0f};
CVoice GSoundSystem::Voices[kVoices];

GSoundSystem::GSoundSystem()
{
    if (EditableEvaluation != 0)
        return;
    pThe = this;
    CSoundSample::StartDirectSound();
    for (int slot = 0; slot < kVoices; ++slot) {
        CVoice& voice = Voices[slot];
        voice = CVoice();
        voice.Frequency = 1.0f;
        voice.Status = DWORD(slot) << SOUND_SLOT_SHIFT | 1u << SOUND_GENERATION_SHIFT;
    }
}

GSoundSystem::~GSoundSystem()
{
    if (pThe != this)
        return;
    Stop();
    PlatformUpdate();
    pThe = nullptr;
}

SoundStatus GSoundSystem::Play(DWORD id, const CVector* position)
{
    CSoundDefinition* definition = id ? CSoundDefinition::Find(id) : nullptr;
    return definition ? Play(definition, HGOBJECT(0), position) : SOUND_NO_DEFINITION;
}

SoundStatus GSoundSystem::Play(DWORD id, HGOBJECT object)
{
    CSoundDefinition* definition = id ? CSoundDefinition::Find(id) : nullptr;
    return definition ? Play(definition, object, nullptr) : SOUND_NO_DEFINITION;
}

SoundStatus GSoundSystem::Play(CSoundDefinition* definition, HGOBJECT object, const CVector* position)
{
    if ((definition->Flags & SOUND_ONLYONEIGNORE) && definition->UseCount != 0)
        return NotPlaying;
    if (CGameTimer::IsPaused() && !(definition->Flags & SOUND_PLAYPAUSED))
        return NotPlaying;
    if ((definition->Flags & SOUND_ONLYONERESTART) && definition->UseCount != 0) {
        for (CVoice& voice : Voices) {
            if (voice.IsPlaying() && voice.pDefinition == definition) {
                StopVoice(voice);
                return StartVoice(voice, definition, object, position);
            }
        }
    }
    for (CVoice& voice : Voices)
        if (!voice.IsPlaying())
            return StartVoice(voice, definition, object, position);
    // All busy: the quietest claim that does not outrank the new sound gives way, the lowest
    // slot among equals.
    CVoice* victim = nullptr;
    for (CVoice& voice : Voices) {
        float priority = voice.pDefinition ? voice.pDefinition->Priority : -1.0e30f;
        if (priority <= definition->Priority && (!victim || priority < victim->pDefinition->Priority))
            victim = &voice;
    }
    if (!victim)
        return NotPlaying;
    StopVoice(*victim);
    return StartVoice(*victim, definition, object, position);
}

SoundStatus GSoundSystem::StartVoice(CVoice& voice, CSoundDefinition* definition, HGOBJECT object,
                                     const CVector* position)
{
    voice.hObject = object;
    voice.pDefinition = definition;
    voice.Timeout = 0.0f;
    ComputeVoice(voice, 1.0f, position);
    if (voice.Volume < kAudible || definition->SampleCount == 0) {
        voice.pDefinition = nullptr;
        voice.Timeout = 0.0f;
        return voice.Status;
    }
    voice.Status &= ~(SOUND_STATUS_LOOPING | SOUND_STATUS_UPDATE);
    if (definition->Flags & SOUND_LOOP)
        voice.Status |= SOUND_STATUS_LOOPING;
    voice.Frequency = (definition->Flags & SOUND_NATURALIZE) ? 0.85f + GlobalRandom.Rand(0.3f) : 1.0f;
    definition->PreviousRandom = BYTE((definition->PreviousRandom + 1) % definition->SampleCount);
    CSoundSample* sample = definition->pSampleData[definition->PreviousRandom];
    CSoundSample* playing = sample ? sample->Start(&voice) : nullptr;
    if (!playing) {
        voice.pDefinition = nullptr;
        voice.Timeout = 0.0f;
        return voice.Status;
    }
    voice.pSample = playing;
    ++definition->UseCount;
    const DWORD generation = (voice.Generation() + 1) & SOUND_GENERATION_MASK;
    voice.Status = (voice.Status & ~(SOUND_GENERATION_MASK << SOUND_GENERATION_SHIFT)) |
                   generation << SOUND_GENERATION_SHIFT | SOUND_STATUS_PLAYING;
    return voice.Status;
}

// Volume from the scale, the definition and its category; pan and attenuation from where the
// sound sits in the view of viewport 0: the further from the view's centre line (relative to
// the distance times the fade factor), the quieter and the more to one side.
void GSoundSystem::ComputeVoice(CVoice& voice, float scale, const CVector* position)
{
    CSoundDefinition* definition = voice.pDefinition;
    voice.Scale = scale;
    voice.Pan = 0.0f;
    voice.Volume = scale * definition->Volume * CurVolume[definition->Category()];
    if (!position && voice.hObject != HGOBJECT(0)) {
        GObject* object = GObject::GetGobject(voice.hObject);
        if (object && object->IsDerivedFromClassId(GPosRot::ClassId))
            position = &static_cast<GPosRot*>(object)->GetPos();
    }
    if (position) {
        const CVector4 view = World2View(0, *position);
        if (view.w < 0.0f || view.z < 0.0f) {
            voice.Pan = 0.0f;
            voice.Volume = 0.0f;
        } else {
            const float g = view.w > 0.0f ? definition->FadeMultiplier / view.w : 0.0f;
            const float x = g * view.x, y = g * view.y;
            float pan = x < -1.0f ? -1.0f : x > 1.0f ? 1.0f : x;
            voice.Pan = pan * (pan < 0.0f ? -pan : pan);
            voice.Volume *= 1.0f - (x * x + y * y);
            voice.Projected = CVector(x, y, view.z);
        }
    }
    if ((definition->Flags & SOUND_LOOP) && !(definition->Flags & SOUND_STREAM))
        voice.Timeout = kLoopTimeout;
    voice.Status |= SOUND_STATUS_UPDATE;
}

void GSoundSystem::StopVoice(CVoice& voice)
{
    if (voice.pSample)
        voice.pSample->Stop(&voice);
    ReleaseVoice(voice);
}

// The voice is free again; its sample has stopped or finished.
void GSoundSystem::ReleaseVoice(CVoice& voice)
{
    voice.Status &= ~SOUND_STATUS_PLAYING;
    if (voice.pDefinition && voice.pDefinition->UseCount > 0)
        --voice.pDefinition->UseCount;
    voice.pDefinition = nullptr;
    voice.pSample = nullptr;
    voice.Timeout = 0.0f;
}

bool GSoundSystem::KeepAlive(CVoice& voice)
{
    if (voice.Timeout != 0.0f) {
        voice.Timeout -= CGameTimer::PauseFrameTime();
        if (voice.Timeout <= 0.0f) {
            OutputDebugStringA("Loop sound timeout\n");
            StopVoice(voice);
            return false;
        }
    }
    if (!voice.pSample || !voice.pSample->Update(&voice)) {
        ReleaseVoice(voice);
        return false;
    }
    return true;
}

bool GSoundSystem::Process()
{
    for (CVoice& voice : Voices)
        if (voice.IsPlaying())
            KeepAlive(voice);
    PlatformUpdate();
    return false;
}

CVoice* GSoundSystem::StatusToVoice(SoundStatus& status)
{
    const DWORD slot = (status >> SOUND_SLOT_SHIFT) & SOUND_SLOT_MASK;
    CVoice* voice = slot < DWORD(kVoices) ? &Voices[slot] : nullptr;
    if (!voice || ((status >> SOUND_GENERATION_SHIFT) & SOUND_GENERATION_MASK) != voice->Generation()) {
        status &= ~SOUND_STATUS_PLAYING;
        return nullptr;
    }
    status = voice->Status;
    return voice;
}

bool GSoundSystem::Status(SoundStatus& status)
{
    StatusToVoice(status);
    return (status & SOUND_STATUS_PLAYING) != 0;
}

bool GSoundSystem::Stop(SoundStatus& status)
{
    CVoice* voice = StatusToVoice(status);
    if (!voice || !voice->IsPlaying())
        return false;
    StopVoice(*voice);
    return true;
}

void GSoundSystem::Stop()
{
    for (CVoice& voice : Voices)
        if (voice.IsPlaying())
            StopVoice(voice);
}

bool GSoundSystem::Update(SoundStatus& status, const CVector* position, DWORD id)
{
    CVoice* voice = StatusToVoice(status);
    if (voice && voice->IsPlaying()) {
        const bool paused = CGameTimer::IsPaused() && !(voice->pDefinition->Flags & SOUND_PLAYPAUSED);
        if (!paused) {
            ComputeVoice(*voice, 1.0f, position);
            if (voice->Volume >= kAudible) {
                status = voice->Status;
                return true;
            }
        }
        StopVoice(*voice);
        status = voice->Status;
        return false;
    }
    if (id == 0)
        return false;
    status = Play(id, position);
    return (status & SOUND_STATUS_PLAYING) != 0;
}

float GSoundSystem::Volume(SoundStatus& status, float scale)
{
    CVoice* voice = StatusToVoice(status);
    if (!voice || !voice->IsPlaying())
        return 0.0f;
    ComputeVoice(*voice, scale, nullptr);
    if (voice->Volume < kAudible) {
        StopVoice(*voice);
        return 0.0f;
    }
    return voice->Volume;
}

float GSoundSystem::Volume(int category, float volume)
{
    if (category < 0 || category >= kCategories)
        return 0.0f;
    if (volume == -1.0f || volume == CurVolume[category])
        return CurVolume[category];
    CurVolume[category] = volume;
    for (CVoice& voice : Voices) {
        if (!voice.IsPlaying() || !KeepAlive(voice))
            continue;
        ComputeVoice(voice, voice.Scale, nullptr);
        if (voice.Volume < kAudible)
            StopVoice(voice);
    }
    return volume;
}

void GSoundSystem::Frequency(SoundStatus& status, float factor)
{
    CVoice* voice = StatusToVoice(status);
    if (!voice || !voice->IsPlaying() || voice->Frequency == factor)
        return;
    voice->Frequency = factor;
    voice->Status |= SOUND_STATUS_UPDATE;
}

// Streams keep playing through a pause with a mark; sounds made to play while paused keep
// playing; every other sound stops.
void GSoundSystem::Pause(bool pause)
{
    for (CVoice& voice : Voices) {
        voice.Status |= SOUND_STATUS_UPDATE;
        if (!pause) {
            voice.Status &= ~SOUND_STATUS_PAUSED;
            continue;
        }
        if (!voice.IsPlaying())
            continue;
        if (voice.pDefinition->Flags & SOUND_STREAM)
            voice.Status |= SOUND_STATUS_PAUSED;
        else if (!(voice.pDefinition->Flags & SOUND_PLAYPAUSED))
            StopVoice(voice);
    }
}
