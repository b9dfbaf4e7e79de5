#pragma once
// The software mixer behind the DirectSound substitute: secondary buffers with their play
// state, rendered into 44.1 kHz 16-bit stereo as the performance counter moves.
#include <dsound.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace dsoundsw {

const DWORD kMixRate = 44100;
const int kMixChannels = 2;

class Mixer;

// One buffer object the device hands out. A duplicate shares its original's sample memory.
class SoundBuffer : public IDirectSoundBuffer {
public:
    SoundBuffer(Mixer* mixer, DWORD flags, const WAVEFORMATEX& format, std::shared_ptr<std::vector<BYTE>> data);
    ~SoundBuffer() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++References; }
    ULONG Release() override;

    HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override;
    HRESULT GetVolume(LPLONG volume) override;
    HRESULT GetPan(LPLONG pan) override;
    HRESULT GetFrequency(LPDWORD frequency) override;
    HRESULT GetStatus(LPDWORD status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1, LPVOID* audio2, LPDWORD bytes2,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD newPosition) override;
    HRESULT SetFormat(LPCWAVEFORMATEX format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2) override;
    HRESULT Restore() override;

    SoundBuffer* Duplicate();
    // Adds this buffer's next `frames` output frames into the interleaved stereo sum.
    void MixInto(float* sum, DWORD frames);
    void MarkLost();
    bool IsPlaying() const { return Playing; }
    bool IsPrimary() const { return (Flags & DSBCAPS_PRIMARYBUFFER) != 0; }

private:
    DWORD Frames() const { return DWORD(Data->size() / Format.nBlockAlign); }
    DWORD PlayByte() const { return DWORD(Position >> 32) * Format.nBlockAlign; }
    void UpdateGains();
    template <class Sample, int Channels> void MixFormat(float* sum, DWORD frames);

    ULONG References = 1;
    Mixer* Owner;
    DWORD Flags;
    WAVEFORMATEX Format;
    std::shared_ptr<std::vector<BYTE>> Data;
    LONG Volume = 0;
    LONG Pan = 0;
    DWORD Frequency = 0; // 0: the format's rate
    bool Playing = false;
    bool Looping = false;
    bool Lost = false;
    bool Locked = false;
    // Play position in source frames, 32.32 fixed point.
    uint64_t Position = 0;
    float GainLeft = 1.0f;
    float GainRight = 1.0f;
};

// A buffer's bytes as the mixer reads them.
class Mixer {
public:
    Mixer();
    ~Mixer();

    static Mixer* Acquire();
    void Hold() { ++Holders; }
    void Drop();

    void Register(SoundBuffer* buffer);
    void Unregister(SoundBuffer* buffer);
    // Renders every output frame between the last rendering and the present instant.
    void CatchUp();
    // Catches up and brings the capture file's header up to date.
    void Flush();
    void LoseAll();

    bool OpenCapture(const char* path);
    void CloseCapture();
    ULONGLONG FramesRendered() const { return Rendered; }
    ULONGLONG FramesCaptured() const { return Capture ? CaptureFrames : 0; }
    static void WriteWavHeader(FILE* file, ULONGLONG frames);
    // The file at a path as the program names it (mapped as every file name is), for writing.
    static FILE* CreateFile(const char* path);

    static Mixer* pThe;

private:
    LONGLONG Now() const;
    void Render(DWORD frames);
    void WriteCapture(const int16_t* samples, DWORD frames);
    void PatchCaptureHeader();
    void OpenDevice();
    void CloseDevice();

    int Holders = 0;
    LONGLONG StartTicks;
    ULONGLONG Rendered = 0;
    std::vector<SoundBuffer*> Buffers;
    std::vector<float> Sum;
    std::vector<int16_t> Out;
    FILE* Capture = nullptr;
    ULONGLONG CaptureFrames = 0;
    ULONGLONG CapturePatched = 0;
    unsigned Device = 0; // SDL audio device, 0 when none
};

} // namespace dsoundsw
