#include "engine/devices/GVideoPlayer.h"

#include <cstdio>
#include <cstring>

#include "core/file/CZFile.h"
#include "engine/devices/CVidSurfAlloc.h"
#include "engine/devices/GInputDevice.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"
#include "engine/shell/CShell.h"

IMPLEMENT_GOBJECT(GVideoPlayer, 0x84808000)

GVideoPlayer* GVideoPlayer::pThe;
bool GVideoPlayer::bPlaying;
IGraphBuilder* GVideoPlayer::pGraphBuilder;
IBaseFilter* GVideoPlayer::pVMR9;
CVidSurfAlloc* GVideoPlayer::pAllocator;
IMediaControl* GVideoPlayer::pMediaControl;
IMediaSeeking* GVideoPlayer::pMediaSeeking;
IBaseFilter* GVideoPlayer::pSourceFilter;
IPin* GVideoPlayer::pSourcePin;
IBaseFilter* GVideoPlayer::pAudioRenderer;
IFilterGraph2* GVideoPlayer::pFilterGraph2;
int GVideoPlayer::PlayerNumber = -1;

namespace {

template <class T> void ReleaseStatic(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// The first output pin of a filter that is not yet connected, with a reference; null if none.
IPin* FirstFreeOutput(IBaseFilter* filter)
{
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)))
        return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            FAILED(pin->ConnectedTo(&peer))) {
            found = pin;
            continue;
        }
        if (peer)
            peer->Release();
        pin->Release();
    }
    pins->Release();
    return found;
}

// True when some input pin of the filter is connected.
bool HasConnectedInput(IBaseFilter* filter)
{
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)))
        return false;
    bool connected = false;
    IPin* pin = nullptr;
    while (!connected && pins->Next(1, &pin, nullptr) == S_OK) {
        IPin* peer = nullptr;
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_INPUT &&
            SUCCEEDED(pin->ConnectedTo(&peer))) {
            connected = true;
            peer->Release();
        }
        pin->Release();
    }
    pins->Release();
    return connected;
}

} // namespace

GVideoPlayer::GVideoPlayer()
{
    if (EditableEvaluation != 0)
        return;
    pThe = this;
    bPlaying = false;
    if (!GetVideosEnabled()) {
        OutputDebugStringA("Skipping Video due to CFG file lockout ('novideos')\n");
        return;
    }
    if (CRenderer::pThe)
        CRenderer::pThe->Sleep(SLEEP_FOREVER);
    HWND window = FindWindowA("MORVIK_WNDCLASS", nullptr);
    if (ForcePause) {
        CGameTimer::Pause();
        bPausedClock = true;
    }
    if (!NoCancel && GInputDevice::pThe)
        GInputDevice::pThe->Register(hObject, "TEXT", 255,
                                     static_cast<GInputDevice::InputHandler>(&GVideoPlayer::Input_Cancel));

    char narrow[MAX_PATH * 2];
    CZFile::GetPath(narrow, CZFile::kInDataFolder);
    const size_t used = std::strlen(narrow);
    std::snprintf(narrow + used, sizeof narrow - used, "%s.avi", pVideoName ? pVideoName : "");
    WCHAR path[MAX_PATH * 2];
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH * 2) == 0)
        return;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bComStarted = true;
    IBaseFilter* probe = nullptr;
    if (FAILED(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&probe)))) {
        EndCom();
        return;
    }
    probe->Release();
    bPlaying = true;
    if (FAILED(StartGraph(window, path))) {
        OutputDebugStringA("StartGraph Failed\n");
        bPlaying = false;
        StopGraph();
        EndCom();
    }
}

// A prototype undoes nothing; a player undoes only what it set up.
GVideoPlayer::~GVideoPlayer()
{
    if (EditableEvaluation != 0)
        return;
    StopGraph();
    EndCom();
    if (bDeviceReset)
        ResetDeviceForVideo(false);
    if (pThe == this) {
        pThe = nullptr;
        bPlaying = false;
    }
    if (bPausedClock)
        CGameTimer::Resume();
    if (pNextScreen) {
        GObject* next = GObject::Create(pNextScreen->ClassId, HGOBJECT(DWORD(hObject.Player())), pNextScreen->pData);
        if (next)
            next->SetLabel(pNextScreen->LabelId);
    }
}

int GVideoPlayer::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "pVideoName", "const char*", pVideoName);
    AddEditable(cursor, "pNextLevel", "const char*", pNextLevel);
    AddEditable(cursor, "pNextScreen", "CEmbeddedFillData*", pNextScreen);
    AddEditable(cursor, "NoCancel", "int", NoCancel);
    AddEditable(cursor, "ForcePause", "int", ForcePause);
    return count + 5;
}

void GVideoPlayer::EndCom()
{
    if (bComStarted)
        CoUninitialize();
    bComStarted = false;
}

HRESULT GVideoPlayer::StartGraph(HWND, const WCHAR* path)
{
    StopGraph();
    ResetDeviceForVideo(true);
    bDeviceReset = true;

    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      reinterpret_cast<void**>(&pGraphBuilder));
    if (FAILED(result))
        return result;
    result = CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&pVMR9));
    if (FAILED(result))
        return result;

    IVMRFilterConfig9* config = nullptr;
    result = pVMR9->QueryInterface(IID_IVMRFilterConfig9, reinterpret_cast<void**>(&config));
    if (FAILED(result))
        return result;
    result = config->SetRenderingMode(VMR9Mode_Renderless);
    if (SUCCEEDED(result))
        result = config->SetNumberOfStreams(2);
    config->Release();
    if (FAILED(result))
        return result;

    IVMRSurfaceAllocatorNotify9* notify = nullptr;
    result = pVMR9->QueryInterface(IID_IVMRSurfaceAllocatorNotify9, reinterpret_cast<void**>(&notify));
    if (FAILED(result))
        return result;
    pAllocator = new CVidSurfAlloc;
    result = notify->AdviseSurfaceAllocator(kUserId, pAllocator);
    if (SUCCEEDED(result))
        result = pAllocator->AdviseNotify(notify);
    notify->Release();
    if (FAILED(result))
        return result;

    result = pGraphBuilder->AddFilter(pVMR9, u"Video Mixing Renderer 9");
    if (FAILED(result))
        return result;
    result = pGraphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&pMediaControl));
    if (FAILED(result))
        return result;
    if (SUCCEEDED(pGraphBuilder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&pMediaSeeking))))
        pMediaSeeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);

    result = pGraphBuilder->AddSourceFilter(path, u"SOURCE", &pSourceFilter);
    if (FAILED(result))
        return result;
    pSourcePin = FirstFreeOutput(pSourceFilter);
    if (!pSourcePin)
        return E_FAIL;

    result = CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&pAudioRenderer));
    if (SUCCEEDED(result))
        result = pGraphBuilder->AddFilter(pAudioRenderer, u"Audio Renderer");
    if (FAILED(result))
        return result;
    result = pGraphBuilder->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&pFilterGraph2));
    if (FAILED(result))
        return result;
    result = pFilterGraph2->RenderEx(pSourcePin, AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr);
    if (FAILED(result))
        return result;
    if (!HasConnectedInput(pAudioRenderer)) {
        pGraphBuilder->RemoveFilter(pAudioRenderer);
        ReleaseStatic(pAudioRenderer);
    }
    return pMediaControl->Run();
}

// Stops the graph (waiting until it reports stopped) and releases every graph object.
void GVideoPlayer::StopGraph()
{
    if (pMediaControl) {
        pMediaControl->Stop();
        OAFilterState state = State_Running;
        for (int tries = 0; tries < 100 && SUCCEEDED(pMediaControl->GetState(10, &state)) && state != State_Stopped;
             ++tries) {
        }
    }
    ReleaseStatic(pSourcePin);
    ReleaseStatic(pFilterGraph2);
    ReleaseStatic(pMediaSeeking);
    ReleaseStatic(pMediaControl);
    ReleaseStatic(pAudioRenderer);
    ReleaseStatic(pSourceFilter);
    ReleaseStatic(pGraphBuilder);
    ReleaseStatic(pVMR9);
    ReleaseStatic(pAllocator);
}

void GVideoPlayer::Input_Cancel(CInputData*)
{
    if (!bPlaying)
        return;
    StopGraph();
    EndCom();
    bPlaying = false;
}

void GVideoPlayer::Cancel()
{
    if (pThe && bPlaying)
        pThe->Input_Cancel(nullptr);
}

// Ends the player once playback has stopped, reached its end or was never started.
bool GVideoPlayer::Process()
{
    if (bPlaying) {
        OAFilterState state = State_Running;
        if (pMediaControl && SUCCEEDED(pMediaControl->GetState(0, &state)) && state == State_Stopped)
            bPlaying = false;
        LONGLONG stop = 0, duration = 0, current = 0;
        if (bPlaying && pMediaSeeking && SUCCEEDED(pMediaSeeking->GetStopPosition(&stop)) &&
            SUCCEEDED(pMediaSeeking->GetDuration(&duration)) &&
            SUCCEEDED(pMediaSeeking->GetCurrentPosition(&current)) && current >= (stop < duration ? stop : duration))
            bPlaying = false;
        if (bPlaying)
            return false;
    }
    if (CRenderer::pThe)
        CRenderer::pThe->Wakeup();
    if (pNextLevel)
        CShell::SetNextLevel(pNextLevel);
    StopGraph();
    EndCom();
    Destroy();
    return false;
}
