#pragma once
// The video player: a level object that plays "<data folder><pVideoName>.avi" full screen
// through DirectShow's renderless Video Mixing Renderer 9 and, when the video ends or is
// cancelled, requests the next level or creates the next screen object. One video plays at a
// time: the graph objects are shared.
#include <dshow.h>
#include <vmr9.h>

#include "engine/object/GObject.h"

class CEmbeddedFillData;
class CInputData;
class CVidSurfAlloc;

class GVideoPlayer : public GObject {
    DECLARE_GOBJECT(GVideoPlayer, GObject)

    GVideoPlayer();
    ~GVideoPlayer() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // The "TEXT" trigger's handler: stops a playing video at once.
    void Input_Cancel(CInputData* data);
    // Cancels the current player's video, when one plays.
    static void Cancel();

    static GVideoPlayer* pThe;
    static bool bPlaying;
    static IGraphBuilder* pGraphBuilder;
    static IBaseFilter* pVMR9;
    static CVidSurfAlloc* pAllocator;
    static IMediaControl* pMediaControl;
    static IMediaSeeking* pMediaSeeking;
    static IBaseFilter* pSourceFilter;
    static IPin* pSourcePin;
    static IBaseFilter* pAudioRenderer;
    static IFilterGraph2* pFilterGraph2;
    static int PlayerNumber;

    // The allocator-presenter's user id with the renderer.
    static const DWORD_PTR kUserId = 0xACDC;

    const char* pVideoName;
    const char* pNextLevel;
    CEmbeddedFillData* pNextScreen;
    int NoCancel;
    int ForcePause;

private:
    HRESULT StartGraph(HWND window, const WCHAR* path);
    static void StopGraph();
    void EndCom();

    // What this player set up, so that it undoes exactly that: COM, the clock's pause and the
    // device's video reset.
    bool bComStarted;
    bool bPausedClock;
    bool bDeviceReset;
};
