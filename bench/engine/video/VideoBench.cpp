// A 1280x720, 30 frames a second H.264 clip through the whole video path (decoding, colour
// conversion into the surface, the frame drawn over a 1280x720 back buffer and presented) on
// the virtual clock as fast as it goes, beside FFmpeg's command-line tool only decoding the same
// file ("-f null"), both with the same decoder threads. The tool is the machine's native build;
// where this 32-bit program runs under emulation that comparison says little, so the same
// decoding is also timed in this process with the same libraries (the peer the overhead is
// measured against).
//
//   engine_video_bench [SECONDS] [THREADS]   (default 10 s, 1 decoder thread; 0 lets FFmpeg choose)
#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <d3d9_fake_adapter.h>
#include <dshow.h>
#include <mg_dshow.h>
#include <mg_win32.h>
#include <vmr9.h>

#include "BenchStats.h"
#include "engine/devices/CVidSurfAlloc.h"
#include "engine/render/CRenderer.h"

namespace fs = std::filesystem;

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

const DWORD_PTR kUserId = 1;

// What "ffmpeg -f null" does with the video: every frame decoded and dropped.
int DecodeOnly(const std::string& file, int threads)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0)
        std::exit(1);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
    context->thread_count = threads;
    avcodec_open2(context, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int frames = 0;
    bool flushed = false;
    while (!flushed) {
        if (av_read_frame(format, packet) < 0) {
            avcodec_send_packet(context, nullptr);
            flushed = true;
        } else {
            if (packet->stream_index == stream)
                avcodec_send_packet(context, packet);
            av_packet_unref(packet);
        }
        while (avcodec_receive_frame(context, frame) == 0)
            ++frames;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return frames;
}

// Plays the file once through the graph and the engine's allocator-presenter; the frames shown.
ULONGLONG PlayThrough(const std::string& file)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IGraphBuilder* graph = nullptr;
    IBaseFilter* vmr = nullptr;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     reinterpret_cast<void**>(&graph));
    CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&vmr));
    IVMRFilterConfig9* config = nullptr;
    vmr->QueryInterface(IID_IVMRFilterConfig9, reinterpret_cast<void**>(&config));
    config->SetRenderingMode(VMR9Mode_Renderless);
    config->Release();
    IVMRSurfaceAllocatorNotify9* notify = nullptr;
    vmr->QueryInterface(IID_IVMRSurfaceAllocatorNotify9, reinterpret_cast<void**>(&notify));
    CVidSurfAlloc* allocator = new CVidSurfAlloc;
    notify->AdviseSurfaceAllocator(kUserId, allocator);
    allocator->AdviseNotify(notify);
    notify->Release();
    graph->AddFilter(vmr, u"Video Mixing Renderer 9");
    std::u16string path(file.begin(), file.end());
    IBaseFilter* source = nullptr;
    IPin* pin = nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(graph->AddSourceFilter(reinterpret_cast<LPCWSTR>(path.c_str()), u"SOURCE", &source)))
        std::exit(1);
    source->EnumPins(&pins);
    pins->Next(1, &pin, nullptr);
    pins->Release();
    IFilterGraph2* graph2 = nullptr;
    IMediaControl* control = nullptr;
    IMediaSeeking* seeking = nullptr;
    graph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2));
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    graph2->RenderEx(pin, AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr);

    const ULONGLONG before = MgVideoFramesPresented();
    control->Run();
    LONGLONG duration = 0, position = 0;
    seeking->GetDuration(&duration);
    for (LONGLONG frame = 1; position < duration; ++frame) {
        MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 30 + (frame % 3 == 0 ? 1 : 0));
        seeking->GetCurrentPosition(&position);
    }
    const ULONGLONG shown = MgVideoFramesPresented() - before;
    control->Stop();
    for (IUnknown* object :
         {static_cast<IUnknown*>(pin), static_cast<IUnknown*>(graph2), static_cast<IUnknown*>(control),
          static_cast<IUnknown*>(seeking), static_cast<IUnknown*>(source), static_cast<IUnknown*>(graph),
          static_cast<IUnknown*>(vmr)})
        object->Release();
    allocator->Release();
    CoUninitialize();
    return shown;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 1;
    const fs::path folder = fs::temp_directory_path() / ("video_bench_" + std::to_string(getpid()));
    fs::create_directories(folder / "run");
    std::ofstream(folder / "render.cfg") << "width: 1280\nheight: 720\nwindowed:\n";
    const std::string clip = (folder / "clip.avi").string();
    const std::string make = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                             "\"testsrc2=s=1280x720:r=30:d=" +
                             std::to_string(seconds) +
                             ",noise=alls=12:allf=t\" -c:v libx264 -preset fast -crf 20 -pix_fmt yuv420p " + clip;
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "engine_video_bench: ffmpeg could not make the clip\n");
        return 1;
    }
    const std::string peer = "ffmpeg -nostdin -loglevel error -threads " + std::to_string(threads) + " -i " + clip +
                             " -f null - > /dev/null 2>&1";

    fs::current_path(folder / "run");
    FakeAdapter::Configure(FakeAdapter::Default());
    MgUseVirtualClock(MG_PERF_FREQUENCY);
    MgVideoSetDecoderThreads(threads);
    CRenderer* renderer = CRenderer::Create();
    renderer->Init(nullptr, 0, 0);

    BenchTimes ours, tool, decode;
    ULONGLONG frames = 0;
    int decoded = 0;
    for (int run = 0; run < 3; ++run) {
        tool.Add(TimeOnce([&] {
            if (std::system(peer.c_str()) != 0)
                std::exit(1);
        }));
        decode.Add(TimeOnce([&] { decoded = DecodeOnly(clip, threads); }));
        ours.Add(TimeOnce([&] { frames = PlayThrough(clip); }));
    }
    const double total = double(seconds) * 30.0;
    const double oursRate = double(frames) / ours.Min(), decodeRate = decoded / decode.Min();
    std::printf("1280x720 H.264, %d frames, %d decoder thread(s), best of 3 runs\n", int(total), threads);
    std::printf("  ffmpeg -f null, the native tool:          %7.1f frames/s\n", total / tool.Min());
    std::printf("  the same decoding in this process (peer): %7.1f frames/s\n", decodeRate);
    std::printf("  our whole path (%llu frames presented):   %7.1f frames/s\n", frames, oursRate);
    std::printf("  ours against the peer: %.2f of its rate (overhead on top of decoding %+.0f%%)\n",
                oursRate / decodeRate, (decodeRate / oursRate - 1.0) * 100.0);
    CRenderer::Shutdown();
    fs::current_path(folder.parent_path());
    fs::remove_all(folder);
    return 0;
}
