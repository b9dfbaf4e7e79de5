#include "Graph.h"

#include <mg_win32.h>

#include <algorithm>

namespace dshowsw {

FilterGraph::~FilterGraph()
{
    Stop();
    for (Entry& entry : Filters) {
        entry.Filter->LeaveGraph();
        entry.Filter->Release();
    }
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IGraphBuilder || riid == IID_IFilterGraph2)
        return Give<IFilterGraph2>(this, out);
    if (riid == IID_IMediaControl)
        return Give<IMediaControl>(this, out);
    if (riid == IID_IMediaSeeking)
        return Give<IMediaSeeking>(this, out);
    return E_NOINTERFACE;
}

// Every filter this graph takes is one of the layer's own.
BaseFilter* FilterGraph::Find(IBaseFilter* filter)
{
    for (Entry& entry : Filters)
        if (static_cast<IBaseFilter*>(entry.Filter) == filter)
            return entry.Filter;
    return nullptr;
}

template <class T> T* FilterGraph::FindRenderer()
{
    for (Entry& entry : Filters)
        if (T* found = dynamic_cast<T*>(entry.Filter))
            if (!found->Input()->Peer)
                return found;
    return nullptr;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
{
    BaseFilter* ours = dynamic_cast<BaseFilter*>(filter);
    if (!ours)
        return E_POINTER;
    if (Find(filter) || ours->Graph)
        return E_INVALIDARG;
    ours->AddRef();
    ours->JoinGraph(this);
    Filters.push_back({ours, Narrow(name)});
    return S_OK;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    BaseFilter* ours = Find(filter);
    if (!ours)
        return VFW_E_NOT_FOUND;
    if (State != State_Stopped)
        return VFW_E_WRONG_STATE;
    if (ours == Source)
        Source = nullptr;
    if (ours == Video)
        Video = nullptr;
    if (ours == Sound)
        Sound = nullptr;
    Filters.erase(std::find_if(Filters.begin(), Filters.end(), [&](const Entry& e) { return e.Filter == ours; }));
    ours->LeaveGraph();
    ours->Release();
    return S_OK;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR fileName, LPCWSTR filterName, IBaseFilter** filter)
{
    if (!fileName || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::string path = Narrow(fileName);
    char mapped[4096];
    if (MgMapPath(path.c_str(), mapped, sizeof mapped) >= 0)
        path = mapped;
    std::unique_ptr<MediaFile> file(new MediaFile);
    if (!file->Open(path)) {
        file->Report(file->Problem.c_str());
        return file->Format ? VFW_E_INVALID_FILE_FORMAT : VFW_E_NOT_FOUND;
    }
    SourceFilter* source = new SourceFilter(std::move(file));
    const HRESULT result = AddFilter(source, filterName);
    if (SUCCEEDED(result))
        *filter = source;
    else
        source->Release();
    return result;
}

HRESULT FilterGraph::RenderEx(IPin* pin, DWORD flags, DWORD*)
{
    Pin* ours = dynamic_cast<Pin*>(pin);
    if (!ours)
        return E_POINTER;
    SourceFilter* source = dynamic_cast<SourceFilter*>(ours->Owner);
    if (!source || !Find(source) || ours->Direction != PINDIR_OUTPUT)
        return VFW_E_CANNOT_RENDER;
    if (ours->Peer)
        return VFW_E_ALREADY_CONNECTED;
    if (!(flags & AM_RENDEREX_RENDERTOEXISTINGRENDERERS))
        return E_NOTIMPL; // this layer makes no filters of its own accord
    VideoRenderer* video = FindRenderer<VideoRenderer>();
    if (!video) {
        source->File->Report("no video renderer in the graph to show it");
        return VFW_E_CANNOT_RENDER;
    }
    ours->Connect(video->Input());
    if (source->File->HasAudio())
        if (AudioRenderer* sound = FindRenderer<AudioRenderer>()) {
            sound->Input()->Peer = ours;
            source->SoundPeer = sound->Input();
        }
    return S_OK;
}

SourceFilter* FilterGraph::ConnectedSource()
{
    for (Entry& entry : Filters)
        if (SourceFilter* source = dynamic_cast<SourceFilter*>(entry.Filter))
            if (source->Output()->Peer)
                return source;
    return nullptr;
}

HRESULT FilterGraph::Run()
{
    if (State == State_Running)
        return S_OK;
    SourceFilter* source = ConnectedSource();
    if (!source)
        return VFW_E_NOT_CONNECTED;
    VideoRenderer* video = dynamic_cast<VideoRenderer*>(source->Output()->Peer->Owner);
    Streamer::Target target = {};
    const HRESULT result = video->Prepare(*source->File, target);
    if (FAILED(result)) {
        source->File->Report("the video renderer could not make surfaces for its pictures");
        return result;
    }
    Source = source;
    Video = video;
    AudioRenderer* sound = nullptr;
    if (source->SoundPeer && source->SoundPeer->Peer == source->Output())
        sound = dynamic_cast<AudioRenderer*>(source->SoundPeer->Owner);
    Sound = sound;
    Playback.reset(new Streamer(*source->File, target, sound != nullptr));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    Playback->Start(now.QuadPart);
    Position = 0;
    State = State_Running;
    Playback->CatchUp();
    if (Sound)
        Sound->Start(Playback.get());
    Follow();
    return S_OK;
}

HRESULT FilterGraph::Pause() { return E_NOTIMPL; }

HRESULT FilterGraph::Stop()
{
    EndPlayback();
    State = State_Stopped;
    return S_OK;
}

void FilterGraph::EndPlayback()
{
    if (!Playback)
        return;
    Playback->Stop();
    if (Sound)
        Sound->Finish();
    if (Video)
        Video->Finish();
    Playback.reset();
}

void FilterGraph::Follow()
{
    if (State != State_Running || !Playback)
        return;
    Playback->CatchUp();
    const REFERENCE_TIME now = Playback->Now();
    if (Sound)
        Sound->Service(now);
    const REFERENCE_TIME length = Source->File->Duration();
    Position = length > 0 ? std::min(now, length) : now;
    if (Playback->Failed()) {
        EndPlayback();
        State = State_Stopped;
    } else if (length <= 0 && Playback->Finished()) {
        Position = std::max(Position, Playback->EndTime());
    }
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state)
{
    if (!state)
        return E_POINTER;
    Follow();
    *state = State;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format)
{
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

// A file that declares no length lasts until its last frame has been shown.
HRESULT FilterGraph::GetDuration(LONGLONG* duration)
{
    if (!duration)
        return E_POINTER;
    SourceFilter* source = Source ? Source : ConnectedSource();
    if (!source)
        return VFW_E_NOT_CONNECTED;
    LONGLONG length = source->File->Duration();
    if (length <= 0)
        length = Playback && Playback->Finished() ? Playback->EndTime() : LONGLONG(0x7FFFFFFFFFFFFFFFLL);
    *duration = length;
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) { return GetDuration(stop); }

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current)
{
    if (!current)
        return E_POINTER;
    Follow();
    *current = Position;
    return S_OK;
}

} // namespace dshowsw
