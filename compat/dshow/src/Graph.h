#pragma once
// The filter graph: its filters by name, connecting a source to the renderers already in it,
// and the media control and seeking of the one playback it runs.
#include <dshow.h>

#include <memory>
#include <string>
#include <vector>

#include "ComBase.h"
#include "Filters.h"
#include "Streamer.h"

namespace dshowsw {

class FilterGraph : public IFilterGraph2, public IMediaControl, public IMediaSeeking, public RefCounted {
public:
    FilterGraph() = default;
    ~FilterGraph() override;
    DSHOW_REFCOUNT
    HRESULT QueryInterface(REFIID riid, void** out) override;

    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT AddSourceFilter(LPCWSTR fileName, LPCWSTR filterName, IBaseFilter** filter) override;
    HRESULT RenderEx(IPin* pin, DWORD flags, DWORD* context) override;

    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;

    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;

private:
    struct Entry {
        BaseFilter* Filter; // held
        std::string Name;
    };
    BaseFilter* Find(IBaseFilter* filter);
    template <class T> T* FindRenderer();
    SourceFilter* ConnectedSource();
    // Playback catches up with the clock; a failed playback stops the graph.
    void Follow();
    void EndPlayback();

    std::vector<Entry> Filters;
    std::unique_ptr<Streamer> Playback;
    VideoRenderer* Video = nullptr;
    AudioRenderer* Sound = nullptr;
    SourceFilter* Source = nullptr;
    OAFilterState State = State_Stopped;
    REFERENCE_TIME Position = 0;
};

} // namespace dshowsw
