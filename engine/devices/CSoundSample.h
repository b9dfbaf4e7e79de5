#pragma once
// One sound's audio in packed data: a sample held in memory, which becomes a DirectSound
// buffer when its file loads, or the name of a WAV file streamed from disk (Length 1). A
// record with Length 0 is a duplicate made at run time for a second voice playing a memory
// sample. Also DirectSound start-up and the per-voice start, update and stop.
#include <windows.h>

#include <dsound.h>

#include "engine/zel/CZelStaticResource.h"

struct CVoice;

#pragma pack(push, 1)
class CSoundSample : public CZelStaticResource {
public:
    CSoundSample();
    ~CSoundSample() override;

    // The sample that plays on the voice (this one or a new duplicate), null when none can.
    CSoundSample* Start(CVoice* voice);
    // False once the sound has finished; sends the voice's values when they changed.
    bool Update(CVoice* voice);
    void Stop(CVoice* voice);

    bool IsStreamed() const { return Length == kStreamed; }
    bool IsDuplicate() const { return Length == kDuplicate; }
    IDirectSoundBuffer* GetBuffer() const
    {
        return IsStreamed() ? nullptr : static_cast<IDirectSoundBuffer*>(pRawData);
    }

    // Starts DirectSound once; false when the machine has no sound.
    static bool StartDirectSound();
    static IDirectSound8* GetDirectSound() { return pDirectSound; }
    // Pan, volume and frequency of the voice to the buffer, mapped to DirectSound's units.
    static void SendVoiceValues(IDirectSoundBuffer* buffer, const CVoice& voice, DWORD rate);

    enum : DWORD { kDuplicate = 0, kStreamed = 1 };

    DWORD Length;
    void* pRawData;
    DWORD SampleRate;

private:
    CSoundSample* PlayBuffer(CVoice* voice);
    DWORD Rate() const;
    void Release();

    static IDirectSound8* pDirectSound;
    static bool bStarted;
};
#pragma pack(pop)
static_assert(sizeof(CSoundSample) == 16, "CSoundSample: table pointer, Length, pRawData, SampleRate");
