#pragma once
// The one WAV streamer: a file played through a ring buffer of three seconds, refilled one
// second at a time behind the play cursor from the frame loop. One stream plays at a time.
#include <windows.h>

#include <dsound.h>

#include "core/riff/CZRiffFile.h"

struct CVoice;

class CWavStream {
public:
    CWavStream() = default;
    ~CWavStream();
    CWavStream(const CWavStream&) = delete;
    CWavStream& operator=(const CWavStream&) = delete;

    // Stops what plays and starts the file; false (with a message for a file that is not a
    // WAV this engine plays) leaves nothing playing.
    bool Start(const char* fileName, const CVoice& voice);
    // Once per frame: refills the ring; false when nothing plays (any more).
    bool Update();
    void Stop();

    IDirectSoundBuffer* GetBuffer() const { return pBuffer; }
    DWORD GetRate() const { return Format.nSamplesPerSec; }

    static CWavStream& The();

private:
    bool ReadFormat(const char* fileName);
    // Reads as much data as fits and fills the rest of the block with silence.
    void Fill(BYTE* block, DWORD bytes);
    bool Refill();

    IDirectSoundBuffer* pBuffer = nullptr;
    CZRiffFile File;
    WAVEFORMATEX Format = {};
    DWORD WritePos = 0;
    DWORD BufferSize = 0;
    DWORD RefillSize = 0;
    DWORD LastPlayPos = 0;
    // Bytes of the file's data and of it played so far: the stream ends when the play cursor
    // has covered them all, however many laps of the ring that takes.
    DWORD DataSize = 0;
    DWORD DataRead = 0;
    ULONGLONG Played = 0;
};
