// Secondary and primary buffers: their memory, Lock/Unlock, the play state the mixer advances,
// and volume and pan turned into the two channel gains.
#include <cmath>
#include <cstring>

#include "Mixer.h"

namespace dsoundsw {

namespace {
// Hundredths of a decibel to an amplitude factor: -10000 (100 dB down) is silence.
float Attenuation(LONG hundredths)
{
    if (hundredths <= DSBVOLUME_MIN)
        return 0.0f;
    return float(std::pow(10.0, double(hundredths) / 2000.0));
}
} // namespace

SoundBuffer::SoundBuffer(Mixer* mixer, DWORD flags, const WAVEFORMATEX& format, std::shared_ptr<std::vector<BYTE>> data)
    : Owner(mixer), Flags(flags), Format(format), Data(std::move(data))
{
    Owner->Hold();
    Owner->Register(this);
}

SoundBuffer::~SoundBuffer()
{
    Owner->Unregister(this);
    Owner->Drop();
}

HRESULT SoundBuffer::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    (void)riid;
    return E_NOINTERFACE;
}

ULONG SoundBuffer::Release()
{
    ULONG left = --References;
    if (left == 0) {
        Owner->CatchUp();
        delete this;
    }
    return left;
}

SoundBuffer* SoundBuffer::Duplicate()
{
    Owner->CatchUp();
    SoundBuffer* copy = new SoundBuffer(Owner, Flags, Format, Data);
    copy->Volume = Volume;
    copy->Pan = Pan;
    copy->Frequency = Frequency;
    copy->UpdateGains();
    return copy;
}

HRESULT SoundBuffer::GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor)
{
    Owner->CatchUp();
    if (Flags & DSBCAPS_PRIMARYBUFFER) {
        if (playCursor)
            *playCursor = 0;
        if (writeCursor)
            *writeCursor = 0;
        return DS_OK;
    }
    DWORD size = DWORD(Data->size());
    DWORD play = PlayByte();
    // The write cursor leads the play cursor by 10 ms of data while playing, as the data
    // right ahead of the play cursor is already committed to the device.
    DWORD lead = Playing ? (Format.nSamplesPerSec / 100) * Format.nBlockAlign : 0;
    if (playCursor)
        *playCursor = play;
    if (writeCursor)
        *writeCursor = size ? (play + lead) % size : 0;
    return DS_OK;
}

HRESULT SoundBuffer::GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten)
{
    if (sizeWritten)
        *sizeWritten = sizeof(WAVEFORMATEX);
    if (format) {
        if (sizeAllocated < sizeof(WAVEFORMATEX))
            return DSERR_INVALIDPARAM;
        *format = Format;
    }
    return DS_OK;
}

HRESULT SoundBuffer::GetVolume(LPLONG volume)
{
    if (!volume)
        return DSERR_INVALIDPARAM;
    *volume = Volume;
    return DS_OK;
}

HRESULT SoundBuffer::GetPan(LPLONG pan)
{
    if (!pan)
        return DSERR_INVALIDPARAM;
    *pan = Pan;
    return DS_OK;
}

HRESULT SoundBuffer::GetFrequency(LPDWORD frequency)
{
    if (!frequency)
        return DSERR_INVALIDPARAM;
    *frequency = Frequency ? Frequency : Format.nSamplesPerSec;
    return DS_OK;
}

HRESULT SoundBuffer::GetStatus(LPDWORD status)
{
    if (!status)
        return DSERR_INVALIDPARAM;
    Owner->CatchUp();
    *status = 0;
    if (Flags & DSBCAPS_PRIMARYBUFFER) {
        *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
        return DS_OK;
    }
    if (Lost)
        *status |= DSBSTATUS_BUFFERLOST;
    if (Playing)
        *status |= DSBSTATUS_PLAYING | (Looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1, LPVOID* audio2, LPDWORD bytes2,
                          DWORD flags)
{
    if (!audio1 || !bytes1 || (Flags & DSBCAPS_PRIMARYBUFFER))
        return DSERR_INVALIDPARAM;
    if (Lost)
        return DSERR_BUFFERLOST;
    if (Locked)
        return DSERR_INVALIDCALL;
    Owner->CatchUp();
    DWORD size = DWORD(Data->size());
    if (flags & DSBLOCK_FROMWRITECURSOR)
        GetCurrentPosition(nullptr, &offset);
    if (flags & DSBLOCK_ENTIREBUFFER)
        bytes = size;
    if (offset >= size || bytes == 0 || bytes > size)
        return DSERR_INVALIDPARAM;
    DWORD first = bytes < size - offset ? bytes : size - offset;
    *audio1 = Data->data() + offset;
    *bytes1 = first;
    if (audio2)
        *audio2 = first < bytes ? Data->data() : nullptr;
    if (bytes2)
        *bytes2 = bytes - first;
    if (first < bytes && !audio2)
        return DSERR_INVALIDPARAM;
    Locked = true;
    return DS_OK;
}

HRESULT SoundBuffer::Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2)
{
    if (!Locked)
        return DSERR_INVALIDCALL;
    BYTE* begin = Data->data();
    BYTE* end = begin + Data->size();
    BYTE* p1 = static_cast<BYTE*>(audio1);
    BYTE* p2 = static_cast<BYTE*>(audio2);
    if (p1 < begin || p1 + bytes1 > end || (p2 && (p2 != begin || bytes2 > Data->size())))
        return DSERR_INVALIDPARAM;
    Locked = false;
    return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD, DWORD, DWORD flags)
{
    if (Flags & DSBCAPS_PRIMARYBUFFER)
        return DS_OK;
    if (Lost)
        return DSERR_BUFFERLOST;
    Owner->CatchUp();
    Playing = true;
    Looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT SoundBuffer::SetCurrentPosition(DWORD newPosition)
{
    if (Flags & DSBCAPS_PRIMARYBUFFER)
        return DSERR_INVALIDCALL;
    if (newPosition >= Data->size())
        return DSERR_INVALIDPARAM;
    Owner->CatchUp();
    Position = uint64_t(newPosition / Format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT SoundBuffer::SetFormat(LPCWAVEFORMATEX format)
{
    if (!(Flags & DSBCAPS_PRIMARYBUFFER))
        return DSERR_INVALIDCALL;
    if (!format || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels < 1 || format->nChannels > 2 ||
        (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) || format->nSamplesPerSec < DSBFREQUENCY_MIN ||
        format->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_BADFORMAT;
    // The mix itself stays 44.1 kHz 16-bit stereo, the format the engine asks for.
    Format = *format;
    return DS_OK;
}

HRESULT SoundBuffer::SetVolume(LONG volume)
{
    if (!(Flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    Owner->CatchUp();
    Volume = volume;
    UpdateGains();
    return DS_OK;
}

HRESULT SoundBuffer::SetPan(LONG pan)
{
    if (!(Flags & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    Owner->CatchUp();
    Pan = pan;
    UpdateGains();
    return DS_OK;
}

HRESULT SoundBuffer::SetFrequency(DWORD frequency)
{
    if (!(Flags & DSBCAPS_CTRLFREQUENCY))
        return DSERR_CONTROLUNAVAIL;
    if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    Owner->CatchUp();
    Frequency = frequency;
    return DS_OK;
}

HRESULT SoundBuffer::Stop()
{
    Owner->CatchUp();
    Playing = false;
    return DS_OK;
}

HRESULT SoundBuffer::Restore()
{
    Lost = false;
    return DS_OK;
}

void SoundBuffer::MarkLost()
{
    if (Flags & DSBCAPS_PRIMARYBUFFER)
        return;
    Lost = true;
    Playing = false;
}

// Volume attenuates both channels; pan attenuates only the channel away from the side it
// names, by the same law.
void SoundBuffer::UpdateGains()
{
    float gain = Attenuation(Volume);
    GainLeft = gain * (Pan > 0 ? Attenuation(-Pan) : 1.0f);
    GainRight = gain * (Pan < 0 ? Attenuation(Pan) : 1.0f);
}

namespace {
inline float ToFloat(uint8_t s) { return float(int(s) - 128) * 256.0f; }
inline float ToFloat(int16_t s) { return float(s); }
} // namespace

// Linear interpolation between neighbouring source frames. A looping buffer interpolates
// across its wrap; a one-shot buffer holds its last frame and stops after it. Runs that stay
// clear of the last frame go through a loop without those checks.
template <class Sample, int Channels> void SoundBuffer::MixFormat(float* sum, DWORD frames)
{
    const Sample* samples = reinterpret_cast<const Sample*>(Data->data());
    const uint64_t count = Frames();
    const uint64_t end = count << 32;
    const uint64_t lastPair = (count - 1) << 32; // below it, index + 1 is inside the buffer
    const DWORD rate = Frequency ? Frequency : Format.nSamplesPerSec;
    const uint64_t step = (uint64_t(rate) << 32) / kMixRate;
    const float gl = GainLeft, gr = GainRight;
    const float scale = 1.0f / 4294967296.0f;
    uint64_t pos = Position;
    DWORD i = 0;
    while (i < frames) {
        if (pos < lastPair && step > 0) {
            uint64_t run = (lastPair - pos + step - 1) / step;
            DWORD stop = run < frames - i ? DWORD(i + run) : frames;
            uint32_t index = uint32_t(pos >> 32), fraction = uint32_t(pos);
            const uint32_t stepIndex = uint32_t(step >> 32), stepFraction = uint32_t(step);
            for (; i < stop; ++i) {
                const Sample* a = samples + size_t(index) * Channels;
                const float t = float(fraction) * scale;
                if (Channels == 1) {
                    const float v = ToFloat(a[0]) + (ToFloat(a[1]) - ToFloat(a[0])) * t;
                    sum[2 * i] += v * gl;
                    sum[2 * i + 1] += v * gr;
                } else {
                    sum[2 * i] += (ToFloat(a[0]) + (ToFloat(a[2]) - ToFloat(a[0])) * t) * gl;
                    sum[2 * i + 1] += (ToFloat(a[1]) + (ToFloat(a[3]) - ToFloat(a[1])) * t) * gr;
                }
                const uint32_t before = fraction;
                fraction += stepFraction;
                index += stepIndex + (fraction < before ? 1 : 0);
            }
            pos = uint64_t(index) << 32 | fraction;
            continue;
        }
        // The last frame: its neighbour is the first frame when looping, itself otherwise.
        DWORD index = DWORD(pos >> 32);
        DWORD next = index + 1 >= count ? (Looping ? 0 : index) : index + 1;
        float t = float(uint32_t(pos)) * scale;
        const Sample* a = samples + size_t(index) * Channels;
        const Sample* b = samples + size_t(next) * Channels;
        if (Channels == 1) {
            float v = ToFloat(a[0]) + (ToFloat(b[0]) - ToFloat(a[0])) * t;
            sum[2 * i] += v * gl;
            sum[2 * i + 1] += v * gr;
        } else {
            sum[2 * i] += (ToFloat(a[0]) + (ToFloat(b[0]) - ToFloat(a[0])) * t) * gl;
            sum[2 * i + 1] += (ToFloat(a[1]) + (ToFloat(b[1]) - ToFloat(a[1])) * t) * gr;
        }
        ++i;
        pos += step;
        if (pos >= end) {
            if (!Looping) {
                Playing = false;
                pos = 0;
                break;
            }
            pos %= end;
        }
    }
    Position = pos;
}

void SoundBuffer::MixInto(float* sum, DWORD frames)
{
    if (!Playing || Lost || Frames() == 0)
        return;
    const bool wide = Format.wBitsPerSample == 16;
    if (Format.nChannels == 1)
        wide ? MixFormat<int16_t, 1>(sum, frames) : MixFormat<uint8_t, 1>(sum, frames);
    else
        wide ? MixFormat<int16_t, 2>(sum, frames) : MixFormat<uint8_t, 2>(sum, frames);
}

} // namespace dsoundsw
