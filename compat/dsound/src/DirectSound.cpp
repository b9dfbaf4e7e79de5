// The device object: it makes buffers over the one mixer, checks their descriptions as
// DirectSound does, and duplicates buffers over shared memory.
#include <dsound.h>
#include <mg_dsound.h>

#include <cstdio>
#include <string>

#include <mg_win32.h>

#include "Mixer.h"

namespace dsoundsw {

namespace {
bool g_NoDriver = false;
std::string g_PendingCapture;

bool ValidPcm(const WAVEFORMATEX* f)
{
    return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
           (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
           f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8 && f->nSamplesPerSec >= DSBFREQUENCY_MIN &&
           f->nSamplesPerSec <= DSBFREQUENCY_MAX;
}
} // namespace

class DirectSound : public IDirectSound8 {
public:
    DirectSound() : Owner(Mixer::Acquire())
    {
        if (!g_PendingCapture.empty()) {
            Owner->OpenCapture(g_PendingCapture.c_str());
            g_PendingCapture.clear();
        }
    }
    ~DirectSound() override { Owner->Drop(); }

    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++References; }
    ULONG Release() override
    {
        ULONG left = --References;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) override
    {
        if (!buffer || !desc || outer || desc->dwSize < sizeof(DSBUFFERDESC))
            return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
                return DSERR_INVALIDPARAM;
            if (Level < DSSCL_PRIORITY)
                return DSERR_PRIOLEVELNEEDED;
            WAVEFORMATEX mix = {WAVE_FORMAT_PCM, kMixChannels, kMixRate, kMixRate * 4, 4, 16, 0};
            *buffer = new SoundBuffer(Owner, desc->dwFlags, mix, std::make_shared<std::vector<BYTE>>());
            return DS_OK;
        }
        if (!ValidPcm(desc->lpwfxFormat))
            return DSERR_BADFORMAT;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX ||
            desc->dwBufferBytes < desc->lpwfxFormat->nBlockAlign)
            return DSERR_INVALIDPARAM;
        // Whole frames only; fresh memory is silence for the format.
        DWORD bytes = desc->dwBufferBytes - desc->dwBufferBytes % desc->lpwfxFormat->nBlockAlign;
        BYTE silence = desc->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0;
        auto data = std::make_shared<std::vector<BYTE>>(bytes, silence);
        *buffer = new SoundBuffer(Owner, desc->dwFlags, *desc->lpwfxFormat, data);
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override
    {
        if (!original || !duplicate)
            return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        if (static_cast<SoundBuffer*>(original)->IsPrimary())
            return DSERR_INVALIDCALL;
        *duplicate = static_cast<SoundBuffer*>(original)->Duplicate();
        return DS_OK;
    }

    // A headless run has no window; the level still counts.
    HRESULT SetCooperativeLevel(HWND, DWORD level) override
    {
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        Level = level;
        return DS_OK;
    }

private:
    ULONG References = 1;
    Mixer* Owner;
    DWORD Level = 0;
};

} // namespace dsoundsw

using dsoundsw::Mixer;

HRESULT WINAPI DirectSoundCreate8(LPCGUID device, LPDIRECTSOUND8* directSound, LPUNKNOWN outer)
{
    if (!directSound || outer || device)
        return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (dsoundsw::g_NoDriver)
        return DSERR_NODRIVER;
    *directSound = new dsoundsw::DirectSound;
    return DS_OK;
}

BOOL MgSoundCaptureToFile(const char* path)
{
    if (!path || !*path)
        return FALSE;
    if (!Mixer::pThe) {
        // Checked now, written from the first device on.
        FILE* probe = Mixer::CreateFile(path);
        if (!probe)
            return FALSE;
        // Until the mix starts the file is a complete, empty recording.
        Mixer::WriteWavHeader(probe, 0);
        std::fclose(probe);
        dsoundsw::g_PendingCapture = path;
        return TRUE;
    }
    return Mixer::pThe->OpenCapture(path) ? TRUE : FALSE;
}

void MgSoundCloseCapture(void)
{
    dsoundsw::g_PendingCapture.clear();
    if (Mixer::pThe)
        Mixer::pThe->CloseCapture();
}

void MgSoundRenderNow(void)
{
    if (Mixer::pThe)
        Mixer::pThe->Flush();
}

ULONGLONG MgSoundFramesRendered(void) { return Mixer::pThe ? Mixer::pThe->FramesRendered() : 0; }

ULONGLONG MgSoundFramesCaptured(void) { return Mixer::pThe ? Mixer::pThe->FramesCaptured() : 0; }

void MgSoundLoseBuffers(void)
{
    if (Mixer::pThe)
        Mixer::pThe->LoseAll();
}

void MgSoundSetNoDriver(BOOL noDriver) { dsoundsw::g_NoDriver = noDriver != FALSE; }
