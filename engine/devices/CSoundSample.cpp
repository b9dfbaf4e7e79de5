#include "engine/devices/CSoundSample.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/devices/CWavStream.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/include/RhuTypes.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CSoundSample);

static_assert(sizeof(CSoundSample) == sizeof(rhu::CSoundSample), "CSoundSample differs from the record header");

IDirectSound8* CSoundSample::pDirectSound;
bool CSoundSample::bStarted;

bool CSoundSample::StartDirectSound()
{
    if (bStarted)
        return pDirectSound != nullptr;
    bStarted = true;
    if (FAILED(DirectSoundCreate8(nullptr, &pDirectSound, nullptr))) {
        pDirectSound = nullptr;
        return false;
    }
    if (FAILED(pDirectSound->SetCooperativeLevel(FindWindowA("MORVIK_WNDCLASS", nullptr), DSSCL_EXCLUSIVE)))
        vbail("DSound: Cannot set coop level");
    DSBUFFERDESC desc = {sizeof desc, DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    IDirectSoundBuffer* primary = nullptr;
    if (FAILED(pDirectSound->CreateSoundBuffer(&desc, &primary, nullptr)))
        vbail("DSound: Can't get primary buffer");
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    if (FAILED(primary->SetFormat(&format)))
        vbail("DSound: Cannot set format");
    primary->Release();
    return true;
}

// A memory sample's stored format and data become its buffer. Records whose data does not lie
// inside the loaded file, or whose format DirectSound refuses, stay silent.
CSoundSample::CSoundSample()
{
    // Records of a packed file are checked against it; records made by code are trusted.
    const bool stored = CZelFile::IsLoadedData(this, sizeof *this);
    if (Length == kStreamed && pRawData && stored) {
        unsigned long available = CZelFile::BytesAvailable(pRawData);
        if (available == 0 || !std::memchr(pRawData, 0, available)) {
            OutputDebugStringA("Sound sample: the name of its WAV file is not terminated; it stays silent\n");
            pRawData = nullptr;
        }
    }
    if (Length == kStreamed || Length == kDuplicate || pRawData == nullptr)
        return;
    const BYTE* raw = static_cast<const BYTE*>(pRawData);
    pRawData = nullptr;
    const unsigned long available = CZelFile::BytesAvailable(raw);
    if (stored && (available < sizeof(WAVEFORMATEX) || available - sizeof(WAVEFORMATEX) < Length)) {
        OutputDebugStringA("Sound sample: its format and data run past the end of the packed data; it stays silent\n");
        return;
    }
    if (!StartDirectSound())
        return;
    WAVEFORMATEX format;
    std::memcpy(&format, raw, sizeof format);
    format.cbSize = 0;
    DSBUFFERDESC desc = {sizeof desc, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY, Length, 0, &format,
                         {}};
    IDirectSoundBuffer* buffer = nullptr;
    HRESULT result = pDirectSound->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (result != DS_OK && result != DS_NO_VIRTUALIZATION) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "Sound sample: format tag %u, %u channels, %u bits, %lu Hz, %lu bytes is not playable; it "
                      "stays silent\n",
                      unsigned(format.wFormatTag), unsigned(format.nChannels), unsigned(format.wBitsPerSample),
                      static_cast<unsigned long>(format.nSamplesPerSec), static_cast<unsigned long>(Length));
        OutputDebugStringA(text);
        return;
    }
    void* block = nullptr;
    DWORD bytes = 0;
    if (FAILED(buffer->Lock(0, Length, &block, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)))
        vbail("DSound: Bad lock");
    std::memcpy(block, raw + sizeof(WAVEFORMATEX), bytes);
    if (FAILED(buffer->Unlock(block, bytes, nullptr, 0)))
        vbail("DSound: Bad unlock");
    pRawData = buffer;
}

CSoundSample::~CSoundSample()
{
    if (!IsStreamed())
        Release();
}

void CSoundSample::Release()
{
    if (IDirectSoundBuffer* buffer = GetBuffer())
        buffer->Release();
    pRawData = nullptr;
}

// The recorded rate; a record without one plays at its format's rate.
DWORD CSoundSample::Rate() const
{
    if (IsStreamed())
        return CWavStream::The().GetRate();
    if (SampleRate != 0)
        return SampleRate;
    DWORD rate = 0;
    if (GetBuffer())
        GetBuffer()->GetFrequency(&rate);
    return rate;
}

void CSoundSample::SendVoiceValues(IDirectSoundBuffer* buffer, const CVoice& voice, DWORD rate)
{
    float pan = voice.Pan < -1.0f ? -1.0f : voice.Pan > 1.0f ? 1.0f : voice.Pan;
    buffer->SetPan(LONG(pan * 10000.0f));
    // Volumes above 1 or far below 0 fall outside DirectSound's range and would be refused.
    double hundredths = (double(voice.Volume) - 1.0) * 3333.0;
    hundredths = hundredths > 0.0 ? 0.0 : hundredths < -10000.0 ? -10000.0 : hundredths;
    buffer->SetVolume(LONG(hundredths));
    double frequency = double(rate) * double(voice.Frequency);
    frequency = frequency < 100.0 ? 100.0 : frequency > 200000.0 ? 200000.0 : frequency;
    buffer->SetFrequency(DWORD(frequency));
}

CSoundSample* CSoundSample::PlayBuffer(CVoice* voice)
{
    IDirectSoundBuffer* buffer = GetBuffer();
    SendVoiceValues(buffer, *voice, Rate());
    buffer->SetCurrentPosition(0);
    buffer->Play(0, 0, (voice->Status & SOUND_STATUS_LOOPING) ? DSBPLAY_LOOPING : 0);
    return this;
}

CSoundSample* CSoundSample::Start(CVoice* voice)
{
    if (IsStreamed()) {
        if (!pRawData)
            return nullptr;
        CWavStream& stream = CWavStream::The();
        if (stream.Update())
            return nullptr;
        return stream.Start(static_cast<const char*>(pRawData), *voice) ? this : nullptr;
    }
    IDirectSoundBuffer* buffer = GetBuffer();
    if (!buffer)
        return nullptr;
    DWORD status = 0;
    if (IsDuplicate() || (SUCCEEDED(buffer->GetStatus(&status)) && !(status & DSBSTATUS_PLAYING)))
        return PlayBuffer(voice);

    void* memory = zmalloc(sizeof(CSoundSample));
    if (!memory)
        return nullptr;
    // A record built at run time: its stored fields are set before the in-place construction,
    // which leaves a duplicate (Length 0) as it is.
    CSoundSample* copy = static_cast<CSoundSample*>(memory);
    copy->Length = kDuplicate;
    copy->pRawData = nullptr;
    copy->SampleRate = SampleRate ? SampleRate : Rate();
    ZelConstructInPlace<CSoundSample>(copy);
    IDirectSoundBuffer* duplicate = nullptr;
    if (!pDirectSound || FAILED(pDirectSound->DuplicateSoundBuffer(buffer, &duplicate))) {
        copy->~CSoundSample();
        zfree(copy);
        return nullptr;
    }
    copy->pRawData = duplicate;
    return copy->PlayBuffer(voice);
}

bool CSoundSample::Update(CVoice* voice)
{
    IDirectSoundBuffer* buffer = GetBuffer();
    if (IsStreamed()) {
        if (!CWavStream::The().Update())
            return false;
        buffer = CWavStream::The().GetBuffer();
    }
    DWORD status = 0;
    if (!buffer || FAILED(buffer->GetStatus(&status)) || !(status & DSBSTATUS_PLAYING)) {
        if (IsDuplicate()) {
            this->~CSoundSample();
            zfree(this);
        }
        return false;
    }
    if (voice->Status & SOUND_STATUS_UPDATE) {
        voice->Status &= ~SOUND_STATUS_UPDATE;
        SendVoiceValues(buffer, *voice, Rate());
    }
    return true;
}

void CSoundSample::Stop(CVoice*)
{
    if (IsStreamed()) {
        CWavStream::The().Stop();
        return;
    }
    if (IDirectSoundBuffer* buffer = GetBuffer())
        buffer->Stop();
    if (IsDuplicate()) {
        this->~CSoundSample();
        zfree(this);
    }
}
