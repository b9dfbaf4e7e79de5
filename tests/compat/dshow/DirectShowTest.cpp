// The DirectShow substitute on its own: COM start-up, a graph built as the video player builds
// it, frames handed to an allocator-presenter of the test's own at their times on the virtual
// clock, seeking positions, and files that cannot play.
#include <gtest/gtest.h>

#include <d3d9.h>
#include <d3d9_fake_adapter.h>
#include <dshow.h>
#include <mg_dshow.h>
#include <mg_win32.h>
#include <vmr9.h>

#include <string>
#include <vector>

namespace {

const std::string kVideos = MG_BINARY_DIR "/test_videos/";

void CollectDebugOutput(const char* text, void* user) { *static_cast<std::string*>(user) += text; }

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Makes its surfaces through the renderer's helper and records what it is handed.
class RecordingPresenter : public IVMRSurfaceAllocator9, public IVMRImagePresenter9 {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IVMRSurfaceAllocator9)
            *out = static_cast<IVMRSurfaceAllocator9*>(this);
        else if (riid == IID_IVMRImagePresenter9)
            *out = static_cast<IVMRImagePresenter9*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++References; }
    ULONG Release() override { return --References; } // lives on the test's stack
    HRESULT InitializeDevice(DWORD_PTR, VMR9AllocationInfo* info, DWORD* count) override
    {
        Info = *info;
        info->dwFlags |= VMR9AllocFlag_TextureSurface;
        Surfaces.assign(*count, nullptr);
        return Notify->AllocateSurfaceHelper(info, count, Surfaces.data());
    }
    HRESULT TerminateDevice(DWORD_PTR) override
    {
        for (IDirect3DSurface9*& s : Surfaces)
            if (s)
                s->Release();
        Surfaces.clear();
        ++Terminated;
        return S_OK;
    }
    HRESULT GetSurface(DWORD_PTR, DWORD index, DWORD, IDirect3DSurface9** surface) override
    {
        if (index >= Surfaces.size())
            return E_FAIL;
        *surface = Surfaces[index];
        (*surface)->AddRef();
        return S_OK;
    }
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9* notify) override
    {
        Notify = notify;
        return S_OK;
    }
    HRESULT StartPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT StopPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT PresentImage(DWORD_PTR userId, VMR9PresentationInfo* info) override
    {
        Starts.push_back(info->rtStart);
        UserId = userId;
        // The top-left pixel as decoded: its red ramps by 8 a frame in the test clips.
        D3DLOCKED_RECT locked;
        if (info->lpSurf->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            Reds.push_back(static_cast<const BYTE*>(locked.pBits)[2]);
            info->lpSurf->UnlockRect();
        }
        return S_OK;
    }

    ULONG References = 1;
    IVMRSurfaceAllocatorNotify9* Notify = nullptr;
    VMR9AllocationInfo Info = {};
    std::vector<IDirect3DSurface9*> Surfaces;
    std::vector<REFERENCE_TIME> Starts;
    std::vector<int> Reds;
    DWORD_PTR UserId = 0;
    int Terminated = 0;
};

class DirectShowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeAdapter::Configure(FakeAdapter::Default());
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params = {};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 48;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &params, &device),
                  D3D_OK);
        MgUseVirtualClock(MG_PERF_FREQUENCY);
        MgSetDebugOutputSink(CollectDebugOutput, &debug);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    }
    void TearDown() override
    {
        CoUninitialize();
        MgSetDebugOutputSink(nullptr, nullptr);
        MgUseRealClock();
        device->Release();
        d3d->Release();
    }

    // The graph as the video player builds it; false when the file does not open.
    bool Build(const std::string& video)
    {
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                   reinterpret_cast<void**>(&graph)),
                  S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(&vmr)),
                  S_OK);
        IVMRFilterConfig9* config = nullptr;
        vmr->QueryInterface(IID_IVMRFilterConfig9, reinterpret_cast<void**>(&config));
        EXPECT_EQ(config->SetRenderingMode(VMR9Mode_Renderless), S_OK);
        config->Release();
        IVMRSurfaceAllocatorNotify9* notify = nullptr;
        EXPECT_EQ(vmr->QueryInterface(IID_IVMRSurfaceAllocatorNotify9, reinterpret_cast<void**>(&notify)), S_OK);
        EXPECT_EQ(notify->AdviseSurfaceAllocator(77, &presenter), S_OK);
        presenter.AdviseNotify(notify);
        EXPECT_EQ(notify->SetD3DDevice(device, d3d->GetAdapterMonitor(0)), S_OK);
        notify->Release();
        EXPECT_EQ(graph->AddFilter(vmr, u"Video Mixing Renderer 9"), S_OK);
        CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(&sound));
        EXPECT_EQ(graph->AddFilter(sound, u"Audio Renderer"), S_OK);
        const std::u16string path = Wide(kVideos + video);
        if (FAILED(graph->AddSourceFilter(reinterpret_cast<LPCWSTR>(path.c_str()), u"SOURCE", &source)))
            return false;
        IEnumPins* pins = nullptr;
        EXPECT_EQ(source->EnumPins(&pins), S_OK);
        ULONG fetched = 0;
        EXPECT_EQ(pins->Next(1, &pin, &fetched), S_OK);
        IPin* more = nullptr;
        EXPECT_EQ(pins->Next(1, &more, &fetched), S_FALSE);
        pins->Release();
        IPin* peer = nullptr;
        EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(graph->RenderEx(pin, AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr), S_OK);
        EXPECT_EQ(pin->ConnectedTo(&peer), S_OK);
        peer->Release();
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
        EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_OK);
        return true;
    }
    void Release()
    {
        for (IUnknown* object : std::vector<IUnknown*>{pin, source, sound, control, seeking, vmr, graph})
            if (object)
                object->Release();
        pin = nullptr;
        source = sound = vmr = nullptr;
        control = nullptr;
        seeking = nullptr;
        graph = nullptr;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::string debug;
    RecordingPresenter presenter;
    IFilterGraph2* graph = nullptr;
    IBaseFilter* vmr = nullptr;
    IBaseFilter* sound = nullptr;
    IBaseFilter* source = nullptr;
    IPin* pin = nullptr;
    IMediaControl* control = nullptr;
    IMediaSeeking* seeking = nullptr;
};

TEST(DirectShowCom, ObjectsNeedCOMOnTheThreadAndAKnownClass)
{
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    EXPECT_EQ(
        CoCreateInstance(IID_IPin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaControl,
                               reinterpret_cast<void**>(&object)),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
    CoUninitialize(); // one too many does no harm
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
}

// 10 frames a second for a second: each frame is handed over once the clock reaches its time,
// decoded as FFmpeg decodes it; the position follows the clock up to the length.
TEST_F(DirectShowTest, FramesArePresentedAtTheirTimesOnTheVirtualClock)
{
    ASSERT_TRUE(Build("small.avi")) << debug;
    IPin* audioPeer = nullptr;
    IEnumPins* pins = nullptr;
    sound->EnumPins(&pins);
    IPin* audioInput = nullptr;
    pins->Next(1, &audioInput, nullptr);
    pins->Release();
    EXPECT_EQ(audioInput->ConnectedTo(&audioPeer), VFW_E_NOT_CONNECTED) << "the clip has no sound";
    audioInput->Release();
    EXPECT_EQ(graph->RemoveFilter(sound), S_OK);
    EXPECT_EQ(graph->RemoveFilter(sound), VFW_E_NOT_FOUND);

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(presenter.Info.dwWidth, 64u);
    EXPECT_EQ(presenter.Info.dwHeight, 48u);
    EXPECT_EQ(presenter.UserId, 77u);
    LONGLONG duration = 0, position = -1;
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 10000000);
    std::vector<size_t> counts;
    for (int step = 0; step < 25; ++step) {
        OAFilterState state = State_Stopped;
        EXPECT_EQ(control->GetState(0, &state), S_OK);
        EXPECT_EQ(state, State_Running);
        counts.push_back(presenter.Starts.size());
        MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 20);
    }
    seeking->GetCurrentPosition(&position);
    EXPECT_EQ(position, duration);
    const std::vector<size_t> expected = {1, 1, 2, 2, 3, 3,  4,  4,  5,  5,  6,  6, 7,
                                          7, 8, 8, 9, 9, 10, 10, 10, 10, 10, 10, 10};
    EXPECT_EQ(counts, expected);
    ASSERT_EQ(presenter.Starts.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(presenter.Starts[i], REFERENCE_TIME(i) * 1000000);
        EXPECT_NEAR(presenter.Reds[i], int(i) * 8, 6) << "frame " << i << " (a small, lossy clip)";
        if (i > 0) {
            EXPECT_GT(presenter.Reds[i], presenter.Reds[i - 1]) << "frame " << i;
        }
    }
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(presenter.Terminated, 1);
    OAFilterState state = State_Running;
    control->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    Release();
    EXPECT_EQ(debug, "");
}

TEST_F(DirectShowTest, FilesThatCannotPlayFailWithAMessageNamingThem)
{
    for (const char* video : {"missing.avi", "garbage.avi"}) {
        debug.clear();
        EXPECT_FALSE(Build(video));
        EXPECT_EQ(source, nullptr);
        EXPECT_NE(debug.find("Video \"" + kVideos + video + "\": "), std::string::npos) << debug;
        Release();
    }
}

} // namespace
