#include "Filters.h"

#include <algorithm>

#include "Graph.h"

namespace dshowsw {

namespace {

class PinEnumerator : public IEnumPins, public RefCounted {
public:
    explicit PinEnumerator(BaseFilter* filter) : Filter(filter) { Filter->AddRef(); }
    ~PinEnumerator() override { Filter->Release(); }
    DSHOW_REFCOUNT
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumPins)
            return Give<IEnumPins>(this, out);
        return E_NOINTERFACE;
    }
    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override
    {
        if (!pins || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        while (given < count && Index < Filter->Pins.size()) {
            pins[given] = Filter->Pins[Index++].get();
            pins[given++]->AddRef();
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        Index = 0;
        return S_OK;
    }

private:
    BaseFilter* Filter;
    size_t Index = 0;
};

bool IsPowerOfTwo(DWORD value) { return value && (value & (value - 1)) == 0; }

} // namespace

HRESULT Pin::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPin)
        return Give<IPin>(this, out);
    return E_NOINTERFACE;
}

ULONG Pin::AddRef() { return Owner->AddRef(); }
ULONG Pin::Release() { return Owner->Release(); }

HRESULT Pin::ConnectedTo(IPin** pin)
{
    if (!pin)
        return E_POINTER;
    *pin = Peer;
    if (!Peer)
        return VFW_E_NOT_CONNECTED;
    Peer->AddRef();
    return S_OK;
}

HRESULT Pin::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction)
        return E_POINTER;
    *direction = Direction;
    return S_OK;
}

void Pin::Connect(Pin* other)
{
    Peer = other;
    other->Peer = this;
}

void Pin::Disconnect()
{
    if (Peer && Peer->Peer == this)
        Peer->Peer = nullptr;
    Peer = nullptr;
}

BaseFilter::~BaseFilter()
{
    for (auto& pin : Pins)
        pin->Disconnect();
}

HRESULT BaseFilter::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IBaseFilter)
        return Give<IBaseFilter>(this, out);
    return Answer(riid, out);
}

HRESULT BaseFilter::EnumPins(IEnumPins** pins)
{
    if (!pins)
        return E_POINTER;
    *pins = new PinEnumerator(this);
    return S_OK;
}

void BaseFilter::LeaveGraph()
{
    for (auto& pin : Pins)
        pin->Disconnect();
    Graph = nullptr;
}

SourceFilter::SourceFilter(std::unique_ptr<MediaFile> file) : File(std::move(file))
{
    Pins.emplace_back(new Pin(this, PINDIR_OUTPUT));
}

VideoRenderer::VideoRenderer() { Pins.emplace_back(new Pin(this, PINDIR_INPUT)); }

VideoRenderer::~VideoRenderer()
{
    Finish();
    DropAllocator();
    SafeRelease(Device);
}

HRESULT VideoRenderer::Answer(REFIID riid, void** out)
{
    if (riid == IID_IVMRFilterConfig9)
        return Give<IVMRFilterConfig9>(this, out);
    if (riid == IID_IVMRSurfaceAllocatorNotify9 && Mode == VMR9Mode_Renderless)
        return Give<IVMRSurfaceAllocatorNotify9>(this, out);
    return E_NOINTERFACE;
}

HRESULT VideoRenderer::SetRenderingMode(DWORD mode)
{
    if (mode != VMR9Mode_Windowed && mode != VMR9Mode_Windowless && mode != VMR9Mode_Renderless)
        return E_INVALIDARG;
    if (Input()->Peer)
        return VFW_E_WRONG_STATE;
    Mode = mode;
    return S_OK;
}

HRESULT VideoRenderer::SetNumberOfStreams(DWORD streams) { return streams >= 1 && streams <= 16 ? S_OK : E_INVALIDARG; }

HRESULT VideoRenderer::AdviseSurfaceAllocator(DWORD_PTR userId, IVMRSurfaceAllocator9* allocator)
{
    if (Presenting)
        return VFW_E_WRONG_STATE;
    IVMRImagePresenter9* presenter = nullptr;
    if (allocator && FAILED(allocator->QueryInterface(IID_IVMRImagePresenter9, reinterpret_cast<void**>(&presenter))))
        return E_NOINTERFACE;
    DropAllocator();
    if (allocator)
        allocator->AddRef();
    Allocator = allocator;
    Presenter = presenter;
    UserId = userId;
    return S_OK;
}

HRESULT VideoRenderer::SetD3DDevice(IDirect3DDevice9* device, HMONITOR)
{
    if (!device)
        return E_POINTER;
    device->AddRef();
    SafeRelease(Device);
    Device = device;
    return S_OK;
}

HRESULT VideoRenderer::AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* count, IDirect3DSurface9** surfaces)
{
    if (!info || !count || !surfaces)
        return E_POINTER;
    if (!Device)
        return E_FAIL;
    D3DCAPS9 caps = {};
    Device->GetDeviceCaps(&caps);
    const bool textures = (info->dwFlags & VMR9AllocFlag_TextureSurface) != 0;
    // A device that takes only power-of-two (or square) textures takes no other size.
    if (textures && (((caps.TextureCaps & D3DPTEXTURECAPS_POW2) &&
                      !(IsPowerOfTwo(info->dwWidth) && IsPowerOfTwo(info->dwHeight))) ||
                     ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && info->dwWidth != info->dwHeight)))
        return E_FAIL;
    HRESULT result = S_OK;
    for (DWORD i = 0; i < *count && SUCCEEDED(result); ++i) {
        surfaces[i] = nullptr;
        if (textures) {
            IDirect3DTexture9* texture = nullptr;
            result = Device->CreateTexture(info->dwWidth, info->dwHeight, 1, D3DUSAGE_DYNAMIC, info->Format, info->Pool,
                                           &texture, nullptr);
            if (SUCCEEDED(result)) {
                result = texture->GetSurfaceLevel(0, &surfaces[i]);
                texture->Release();
            }
        } else {
            result = Device->CreateOffscreenPlainSurface(info->dwWidth, info->dwHeight, info->Format, info->Pool,
                                                         &surfaces[i], nullptr);
        }
    }
    if (FAILED(result)) {
        for (DWORD i = 0; i < *count; ++i)
            SafeRelease(surfaces[i]);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT VideoRenderer::Prepare(const MediaFile& file, Streamer::Target& target)
{
    if (Mode != VMR9Mode_Renderless || !Allocator || !Presenter)
        return VFW_E_WRONG_STATE;
    VMR9AllocationInfo info = {};
    info.dwWidth = DWORD(file.Width());
    info.dwHeight = DWORD(file.Height());
    info.Format = D3DFMT_X8R8G8B8;
    info.Pool = D3DPOOL_DEFAULT;
    info.MinBuffers = 2;
    info.szAspectRatio = {file.Width(), file.Height()};
    info.szNativeSize = info.szAspectRatio;
    DWORD count = info.MinBuffers;
    HRESULT result = Allocator->InitializeDevice(UserId, &info, &count);
    if (FAILED(result))
        return result;
    Presenter->StartPresenting(UserId);
    Presenting = true;
    target.Allocator = Allocator;
    target.Presenter = Presenter;
    target.UserId = UserId;
    target.SurfaceCount = count;
    target.AspectRatio = info.szAspectRatio;
    return S_OK;
}

void VideoRenderer::Finish()
{
    if (!Presenting)
        return;
    Presenting = false;
    Presenter->StopPresenting(UserId);
    Allocator->TerminateDevice(UserId);
}

void VideoRenderer::DropAllocator()
{
    SafeRelease(Presenter);
    SafeRelease(Allocator);
}

// The allocator-presenter usually holds the renderer's notify interface as the renderer holds
// it; leaving the graph breaks that circle.
void VideoRenderer::LeaveGraph()
{
    Finish();
    DropAllocator();
    BaseFilter::LeaveGraph();
}

AudioRenderer::AudioRenderer() { Pins.emplace_back(new Pin(this, PINDIR_INPUT)); }

AudioRenderer::~AudioRenderer() { Finish(); }

void AudioRenderer::Start(Streamer* source)
{
    Finish();
    Source = source;
    Written = 0;
    if (FAILED(DirectSoundCreate8(nullptr, &Sound, nullptr))) {
        Sound = nullptr;
        return;
    }
    WAVEFORMATEX format = {WAVE_FORMAT_PCM,
                           Streamer::kAudioChannels,
                           Streamer::kAudioRate,
                           Streamer::kAudioRate * Streamer::kAudioChannels * 2,
                           Streamer::kAudioChannels * 2,
                           16,
                           0};
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = kBufferFrames * format.nBlockAlign;
    desc.lpwfxFormat = &format;
    if (FAILED(Sound->CreateSoundBuffer(&desc, &Buffer, nullptr))) {
        Buffer = nullptr;
        Finish();
        return;
    }
    Service(0);
    Buffer->Play(0, 0, DSBPLAY_LOOPING);
}

void AudioRenderer::Service(REFERENCE_TIME now)
{
    if (!Buffer || !Source)
        return;
    const uint64_t playing = uint64_t(now) * Streamer::kAudioRate / 10000000;
    const uint64_t wanted = uint64_t(now + Streamer::kAudioLead) * Streamer::kAudioRate / 10000000;
    // The game thread stood still longer than the buffer lasts: what the mixer has played is
    // gone; go on from where it is now.
    if (Written < playing)
        Written = playing;
    int16_t chunk[4096 * Streamer::kAudioChannels];
    while (Written < wanted) {
        const size_t count = size_t(std::min<uint64_t>(wanted - Written, 4096));
        size_t got = Source->TakeAudio(Written, chunk, count);
        if (got < count && Source->AudioComplete()) {
            std::fill(chunk + got * Streamer::kAudioChannels, chunk + count * Streamer::kAudioChannels, int16_t(0));
            got = count;
        }
        if (got == 0)
            break;
        Write(chunk, DWORD(got));
    }
}

void AudioRenderer::Write(const int16_t* samples, DWORD frames)
{
    const DWORD block = Streamer::kAudioChannels * 2;
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (SUCCEEDED(Buffer->Lock(DWORD(Written % kBufferFrames) * block, frames * block, &first, &firstBytes, &second,
                               &secondBytes, 0))) {
        std::memcpy(first, samples, firstBytes);
        if (second)
            std::memcpy(second, reinterpret_cast<const BYTE*>(samples) + firstBytes, secondBytes);
        Buffer->Unlock(first, firstBytes, second, secondBytes);
    }
    Written += frames;
}

void AudioRenderer::Finish()
{
    if (Buffer)
        Buffer->Stop();
    SafeRelease(Buffer);
    SafeRelease(Sound);
    Source = nullptr;
}

} // namespace dshowsw
