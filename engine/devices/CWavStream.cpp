#include "engine/devices/CWavStream.h"

#include <cstdio>
#include <cstring>

#include "core/output/ZOutput.h"
#include "engine/devices/CSoundSample.h"
#include "engine/devices/GSoundSystem.h"

namespace {
const DWORD kRingSeconds = 3;

void Report(const char* format, const char* fileName)
{
    char text[512];
    std::snprintf(text, sizeof text, format, fileName);
    OutputDebugStringA(text);
}
} // namespace

CWavStream& CWavStream::The()
{
    static CWavStream stream;
    return stream;
}

CWavStream::~CWavStream() { Stop(); }

void CWavStream::Stop()
{
    if (pBuffer) {
        pBuffer->Stop();
        pBuffer->Release();
        pBuffer = nullptr;
    }
    File.Close();
}

// The format chunk: PCM of 8 or 16 bits in one or two channels, with consistent block and
// byte-rate fields (the ring's size follows from them). An extensible format whose sub-format
// is PCM is played as PCM; anything else is refused.
bool CWavStream::ReadFormat(const char* fileName)
{
    ZRIFFCKINFO* chunk = File.Descend(CZRiffFile::MakeFourCC("fmt "), 0, true);
    if (!chunk) {
        Report("\nError: Cannot Cannot find format chunk: %s\n", fileName);
        return false;
    }
    if (chunk->size < 16) {
        Report("\nError: Not a big enuf wave format chunk (we expect a WAVEFORMATEX at least): %s\n", fileName);
        return false;
    }
    // The chunk's record goes with the Ascend: its size is kept first.
    const unsigned long size = chunk->size;
    BYTE raw[40] = {};
    File.Read(raw, size < sizeof raw ? size : sizeof raw, false);
    File.Ascend();
    std::memcpy(&Format, raw, sizeof Format);
    Format.cbSize = 0;
    if (Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && size >= 40 && raw[24] == 1 && raw[25] == 0)
        Format.wFormatTag = WAVE_FORMAT_PCM;
    const bool pcm = Format.wFormatTag == WAVE_FORMAT_PCM && (Format.nChannels == 1 || Format.nChannels == 2) &&
                     (Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16);
    const bool consistent = pcm && Format.nBlockAlign == Format.nChannels * Format.wBitsPerSample / 8 &&
                            Format.nSamplesPerSec >= DSBFREQUENCY_MIN && Format.nSamplesPerSec <= DSBFREQUENCY_MAX &&
                            Format.nAvgBytesPerSec == Format.nSamplesPerSec * Format.nBlockAlign;
    if (!consistent) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "\nError: %s: unsupported wave format (tag %u, %u channels, %u bits, %lu Hz, %lu bytes/s); "
                      "8- and 16-bit PCM in one or two channels plays\n",
                      fileName, unsigned(Format.wFormatTag), unsigned(Format.nChannels),
                      unsigned(Format.wBitsPerSample), static_cast<unsigned long>(Format.nSamplesPerSec),
                      static_cast<unsigned long>(Format.nAvgBytesPerSec));
        OutputDebugStringA(text);
        return false;
    }
    return true;
}

bool CWavStream::Start(const char* fileName, const CVoice& voice)
{
    Stop();
    IDirectSound8* directSound = CSoundSample::GetDirectSound();
    if (!directSound || !fileName || !File.Open(fileName, CZRiffFile::MakeFourCC("WAVE")))
        return false;
    if (!ReadFormat(fileName)) {
        File.Close();
        return false;
    }

    RefillSize = Format.nAvgBytesPerSec;
    BufferSize = kRingSeconds * RefillSize;
    DSBUFFERDESC desc = {sizeof desc,
                         DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE |
                             DSBCAPS_GETCURRENTPOSITION2,
                         BufferSize,
                         0,
                         &Format,
                         {}};
    if (FAILED(directSound->CreateSoundBuffer(&desc, &pBuffer, nullptr))) {
        pBuffer = nullptr;
        File.Close();
        return false;
    }

    ZRIFFCKINFO* data = File.Descend(CZRiffFile::MakeFourCC("data"), 0, true);
    if (!data) {
        Report("\nError: Cannot find data chunk: %s\n", fileName);
        Stop();
        return false;
    }
    DataSize = data->size - data->size % Format.nBlockAlign;
    DataRead = 0;
    Played = 0;
    void* block = nullptr;
    DWORD bytes = 0;
    if (FAILED(pBuffer->Lock(0, BufferSize, &block, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)))
        vbail("\nError: DSound lock failed\n");
    Fill(static_cast<BYTE*>(block), bytes);
    pBuffer->Unlock(block, bytes, nullptr, 0);

    CSoundSample::SendVoiceValues(pBuffer, voice, Format.nSamplesPerSec);
    pBuffer->SetCurrentPosition(0);
    pBuffer->Play(0, 0, DSBPLAY_LOOPING);
    WritePos = 0;
    LastPlayPos = 0;
    return true;
}

void CWavStream::Fill(BYTE* block, DWORD bytes)
{
    DWORD wanted = DataSize - DataRead < bytes ? DataSize - DataRead : bytes;
    DWORD got = 0;
    if (wanted > 0) {
        unsigned long before = File.Tell();
        File.Read(block, wanted, false);
        got = File.Tell() - before;
        if (got > wanted)
            got = wanted;
    }
    DataRead += got;
    if (got < wanted)
        DataSize = DataRead; // the file ended early: what was read is all there is
    std::memset(block + got, Format.wBitsPerSample == 8 ? 0x80 : 0, bytes - got);
}

bool CWavStream::Update()
{
    if (!pBuffer)
        return false;
    DWORD play = 0;
    if (FAILED(pBuffer->GetCurrentPosition(&play, nullptr)))
        return false;
    Played += (play + BufferSize - LastPlayPos) % BufferSize;
    LastPlayPos = play;
    if (Played >= DataSize) {
        Stop();
        return false;
    }
    const bool due = play > WritePos + RefillSize || (WritePos == BufferSize - RefillSize && play < WritePos);
    if (!due)
        return true;
    return Refill();
}

bool CWavStream::Refill()
{
    void* block = nullptr;
    DWORD bytes = 0;
    HRESULT result = pBuffer->Lock(WritePos, RefillSize, &block, &bytes, nullptr, nullptr, 0);
    if (result == DSERR_BUFFERLOST) {
        pBuffer->Restore();
        result = pBuffer->Lock(WritePos, RefillSize, &block, &bytes, nullptr, nullptr, 0);
    }
    if (FAILED(result))
        return false;
    WritePos += RefillSize;
    if (WritePos >= BufferSize)
        WritePos = 0;
    Fill(static_cast<BYTE*>(block), bytes);
    return SUCCEEDED(pBuffer->Unlock(block, bytes, nullptr, 0));
}
