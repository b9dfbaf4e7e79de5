#pragma once
// The filters a graph holds: the source filter over one file, the Video Mixing Renderer 9 in
// renderless mode and the DirectSound audio renderer, with their pins.
#include <dsound.h>
#include <vmr9.h>

#include <memory>
#include <string>
#include <vector>

#include "ComBase.h"
#include "MediaFile.h"
#include "Streamer.h"

namespace dshowsw {

class BaseFilter;
class FilterGraph;

// A pin lives as long as its filter: its references are the filter's.
class Pin : public IPin {
public:
    Pin(BaseFilter* owner, PIN_DIRECTION direction) : Owner(owner), Direction(direction) {}
    virtual ~Pin() = default;

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;

    void Connect(Pin* other);
    void Disconnect();

    BaseFilter* const Owner;
    const PIN_DIRECTION Direction;
    // Both ends of a connection point at each other; neither holds a reference.
    Pin* Peer = nullptr;
};

class BaseFilter : public IBaseFilter, public RefCounted {
public:
    BaseFilter() = default;
    ~BaseFilter() override;
    DSHOW_REFCOUNT
    HRESULT QueryInterface(REFIID riid, void** out) override;
    HRESULT EnumPins(IEnumPins** pins) override;

    // The graph that holds the filter (it holds no reference back); leaving it disconnects
    // every pin.
    virtual void JoinGraph(FilterGraph* graph) { Graph = graph; }
    virtual void LeaveGraph();

    FilterGraph* Graph = nullptr;
    std::vector<std::unique_ptr<Pin>> Pins;

protected:
    // Further interfaces of a derived filter.
    virtual HRESULT Answer(REFIID, void**) { return E_NOINTERFACE; }
};

// The file's one output pin carries all its streams: rendering it connects the pictures to the
// video renderer and the sound to the audio renderer.
class SourceFilter : public BaseFilter {
public:
    explicit SourceFilter(std::unique_ptr<MediaFile> file);
    Pin* Output() { return Pins[0].get(); }
    Pin* SoundPeer = nullptr; // the audio renderer's input when the sound is connected

    std::unique_ptr<MediaFile> File;
};

class VideoRenderer : public BaseFilter, public IVMRFilterConfig9, public IVMRSurfaceAllocatorNotify9 {
public:
    VideoRenderer();
    ~VideoRenderer() override;
    DSHOW_REFCOUNT
    HRESULT QueryInterface(REFIID riid, void** out) override { return BaseFilter::QueryInterface(riid, out); }

    HRESULT SetRenderingMode(DWORD mode) override;
    HRESULT SetNumberOfStreams(DWORD streams) override;
    HRESULT AdviseSurfaceAllocator(DWORD_PTR userId, IVMRSurfaceAllocator9* allocator) override;
    HRESULT SetD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) override;
    HRESULT AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* count, IDirect3DSurface9** surfaces) override;

    void LeaveGraph() override;
    // Has the allocator make the surfaces for the picture size and starts presenting.
    HRESULT Prepare(const MediaFile& file, Streamer::Target& target);
    void Finish();
    Pin* Input() { return Pins[0].get(); }

protected:
    HRESULT Answer(REFIID riid, void** out) override;

private:
    void DropAllocator();

    DWORD Mode = VMR9Mode_Windowed;
    DWORD_PTR UserId = 0;
    IVMRSurfaceAllocator9* Allocator = nullptr;
    IVMRImagePresenter9* Presenter = nullptr;
    IDirect3DDevice9* Device = nullptr;
    bool Presenting = false;
};

// Sound goes to the DirectSound substitute's mixer through a looping buffer that the game
// thread keeps written ahead of the play cursor. Without a sound device the sound is dropped.
class AudioRenderer : public BaseFilter {
public:
    AudioRenderer();
    ~AudioRenderer() override;
    Pin* Input() { return Pins[0].get(); }

    void Start(Streamer* source);
    // Writes the decoded sound up to a little past stream time `now`.
    void Service(REFERENCE_TIME now);
    void Finish();

    enum { kBufferFrames = Streamer::kAudioRate * 2 };

private:
    void Write(const int16_t* samples, DWORD frames);

    Streamer* Source = nullptr;
    IDirectSound8* Sound = nullptr;
    IDirectSoundBuffer* Buffer = nullptr;
    uint64_t Written = 0; // stream frames written into the buffer
};

} // namespace dshowsw
