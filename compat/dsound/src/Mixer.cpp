// The mix: every playing buffer summed into 44.1 kHz stereo, saturated to 16 bits, written to
// the capture file and queued on the SDL2 audio device when there is one.
#include "Mixer.h"

#include <mg_win32.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef MG_HAVE_SDL2
#include <SDL.h>
#endif

namespace dsoundsw {

Mixer* Mixer::pThe;

namespace {
const DWORD kChunkFrames = 4096;
const ULONGLONG kPatchEveryFrames = kMixRate; // header sizes kept current once a second

void PutU32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = BYTE(v >> (8 * i));
}
} // namespace

Mixer::Mixer() : StartTicks(Now()) { OpenDevice(); }

Mixer::~Mixer()
{
    CloseCapture();
    CloseDevice();
}

Mixer* Mixer::Acquire()
{
    if (!pThe)
        pThe = new Mixer;
    pThe->Hold();
    return pThe;
}

// The mix ends with its last holder; what was due until then is rendered first.
void Mixer::Drop()
{
    if (--Holders > 0)
        return;
    CatchUp();
    if (pThe == this)
        pThe = nullptr;
    delete this;
}

void Mixer::Register(SoundBuffer* buffer) { Buffers.push_back(buffer); }

void Mixer::Unregister(SoundBuffer* buffer)
{
    Buffers.erase(std::remove(Buffers.begin(), Buffers.end(), buffer), Buffers.end());
}

LONGLONG Mixer::Now() const
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Mixer::CatchUp()
{
    LONGLONG elapsed = Now() - StartTicks;
    if (elapsed <= 0)
        return;
    ULONGLONG due = ULONGLONG(elapsed) / MG_PERF_FREQUENCY * kMixRate +
                    ULONGLONG(elapsed) % MG_PERF_FREQUENCY * kMixRate / MG_PERF_FREQUENCY;
    while (Rendered < due) {
        DWORD frames = DWORD(std::min<ULONGLONG>(due - Rendered, kChunkFrames));
        Render(frames);
        Rendered += frames;
    }
}

void Mixer::Flush()
{
    CatchUp();
    if (Capture)
        PatchCaptureHeader();
}

void Mixer::Render(DWORD frames)
{
    Sum.assign(size_t(frames) * kMixChannels, 0.0f);
    for (SoundBuffer* buffer : Buffers)
        buffer->MixInto(Sum.data(), frames);
    Out.resize(Sum.size());
    for (size_t i = 0; i < Sum.size(); ++i) {
        float v = std::nearbyint(Sum[i]);
        Out[i] = int16_t(v > 32767.0f ? 32767.0f : v < -32768.0f ? -32768.0f : v);
    }
    WriteCapture(Out.data(), frames);
#ifdef MG_HAVE_SDL2
    if (Device)
        SDL_QueueAudio(Device, Out.data(), Uint32(Out.size() * sizeof(int16_t)));
#endif
}

void Mixer::LoseAll()
{
    CatchUp();
    for (SoundBuffer* buffer : Buffers)
        buffer->MarkLost();
}

FILE* Mixer::CreateFile(const char* path)
{
    char mapped[1024];
    if (MgMapPath(path, mapped, sizeof mapped) < 0)
        return nullptr;
    return std::fopen(mapped, "wb");
}

bool Mixer::OpenCapture(const char* path)
{
    CloseCapture();
    FILE* file = CreateFile(path);
    if (!file)
        return false;
    CatchUp();
    Capture = file;
    CaptureFrames = 0;
    PatchCaptureHeader();
    return true;
}

void Mixer::CloseCapture()
{
    if (!Capture)
        return;
    CatchUp();
    PatchCaptureHeader();
    std::fclose(Capture);
    Capture = nullptr;
}

void Mixer::WriteCapture(const int16_t* samples, DWORD frames)
{
    if (!Capture)
        return;
    std::fwrite(samples, sizeof(int16_t) * kMixChannels, frames, Capture);
    CaptureFrames += frames;
    if (CaptureFrames - CapturePatched >= kPatchEveryFrames)
        PatchCaptureHeader();
}

void Mixer::PatchCaptureHeader()
{
    long end = std::ftell(Capture);
    std::fseek(Capture, 0, SEEK_SET);
    WriteWavHeader(Capture, CaptureFrames);
    if (end > 44)
        std::fseek(Capture, end, SEEK_SET);
    std::fflush(Capture);
    CapturePatched = CaptureFrames;
}

// A canonical 44-byte header: "RIFF", "WAVE", a 16-byte "fmt " chunk and the "data" chunk.
void Mixer::WriteWavHeader(FILE* file, ULONGLONG frames)
{
    const DWORD dataBytes = DWORD(frames * kMixChannels * sizeof(int16_t));
    BYTE header[44];
    std::memcpy(header, "RIFF", 4);
    PutU32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutU32(header + 16, 16);
    header[20] = WAVE_FORMAT_PCM;
    header[21] = 0;
    header[22] = kMixChannels;
    header[23] = 0;
    PutU32(header + 24, kMixRate);
    PutU32(header + 28, kMixRate * kMixChannels * 2);
    header[32] = kMixChannels * 2;
    header[33] = 0;
    header[34] = 16;
    header[35] = 0;
    std::memcpy(header + 36, "data", 4);
    PutU32(header + 40, dataBytes);
    std::fwrite(header, 1, sizeof header, file);
}

// Live output only on the real clock: a virtual clock is not paced in real time.
void Mixer::OpenDevice()
{
#ifdef MG_HAVE_SDL2
    if (MgVirtualClockInUse() || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    SDL_AudioSpec want;
    std::memset(&want, 0, sizeof want);
    want.freq = int(kMixRate);
    want.format = AUDIO_S16LSB;
    want.channels = kMixChannels;
    want.samples = 1024;
    Device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (Device)
        SDL_PauseAudioDevice(Device, 0);
    else
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
#endif
}

void Mixer::CloseDevice()
{
#ifdef MG_HAVE_SDL2
    if (!Device)
        return;
    SDL_CloseAudioDevice(Device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Device = 0;
#endif
}

} // namespace dsoundsw
