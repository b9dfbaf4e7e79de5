#pragma once
// DirectShow as the video player uses it: a filter graph that plays one file through a source
// filter into the Video Mixing Renderer 9 and the DirectSound audio renderer, with media
// control and seeking. Decoding is done with FFmpeg's libraries, so any container and codec
// they read plays; pictures go to the renderer's allocator-presenter (vmr9.h) and sound to the
// DirectSound substitute's mixer. Times are REFERENCE_TIME, 100 ns units.
#include <objbase.h>

typedef LONGLONG REFERENCE_TIME;
typedef long OAFilterState;

typedef enum _PinDirection { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 } PIN_DIRECTION;
typedef enum _FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 } FILTER_STATE;

#define AM_RENDEREX_RENDERTOEXISTINGRENDERERS 0x01

// Results.
#define VFW_E_NOT_CONNECTED ((HRESULT)0x80040209L)
#define VFW_E_CANNOT_RENDER ((HRESULT)0x80040218L)
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216L)
#define VFW_E_UNKNOWN_FILE_TYPE ((HRESULT)0x80040240L)
#define VFW_E_UNSUPPORTED_STREAM ((HRESULT)0x80040265L)
#define VFW_E_INVALID_FILE_FORMAT ((HRESULT)0x8004022FL)
#define VFW_E_WRONG_STATE ((HRESULT)0x80040227L)
#define VFW_E_ALREADY_CONNECTED ((HRESULT)0x80040204L)
#define VFW_S_STATE_INTERMEDIATE ((HRESULT)0x00040237L)

extern "C" {
extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_VideoMixingRenderer9;
extern const CLSID CLSID_DSoundRender;
extern const IID IID_IBaseFilter;
extern const IID IID_IPin;
extern const IID IID_IEnumPins;
extern const IID IID_IGraphBuilder;
extern const IID IID_IFilterGraph2;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaSeeking;
extern const GUID TIME_FORMAT_MEDIA_TIME;
}

struct IPin : IUnknown {
    // The pin this one is connected to, with a reference; VFW_E_NOT_CONNECTED when none.
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
};

struct IEnumPins : IUnknown {
    // Up to `count` pins with a reference each; S_FALSE when fewer were left.
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

struct IBaseFilter : IUnknown {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
};

struct IGraphBuilder : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    // Opens a file and adds a source filter for it with one output pin per stream it plays
    // (the first video stream, and the first audio stream when there is one). A file that is
    // missing, unreadable or holds no video it can decode fails with a message naming it.
    virtual HRESULT AddSourceFilter(LPCWSTR fileName, LPCWSTR filterName, IBaseFilter** filter) = 0;
};

struct IFilterGraph2 : IGraphBuilder {
    // Connects an output pin (and, for a source, its other streams) to the renderers already in
    // the graph: video to the Video Mixing Renderer 9, sound to the audio renderer.
    virtual HRESULT RenderEx(IPin* pin, DWORD flags, DWORD* context) = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    // State_Running while playing (also after the end of the stream, as the position then
    // shows), State_Stopped after Stop or when playback failed on the way.
    virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
};
