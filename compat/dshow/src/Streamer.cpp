#include "Streamer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <mg_win32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace dshowsw {

namespace {
std::atomic<ULONGLONG> g_FramesPresented{0};
const AVRational kReferenceTime = {1, 10000000};

AVPixelFormat PixelFormatOf(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
        return AV_PIX_FMT_BGRA;
    case D3DFMT_R5G6B5:
        return AV_PIX_FMT_RGB565LE;
    case D3DFMT_X1R5G5B5:
        return AV_PIX_FMT_RGB555LE;
    default:
        return AV_PIX_FMT_NONE;
    }
}
} // namespace

ULONGLONG Streamer::FramesPresented;

Streamer::Streamer(MediaFile& file, const Target& target, bool withAudio)
    : File(file), Into(target), WithAudio(withAudio && file.HasAudio())
{
    Pending = av_frame_alloc();
    AudioFrame = av_frame_alloc();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerSecond = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    Virtual = MgVirtualClockInUse() != FALSE;
    if (!WithAudio)
        AudioDone = true;
}

Streamer::~Streamer()
{
    Stop();
    for (AVPacket* packet : VideoPackets)
        av_packet_free(&packet);
    av_frame_free(&Pending);
    av_frame_free(&AudioFrame);
    sws_freeContext(Scaler);
    swr_free(&Resampler);
}

void Streamer::Start(LONGLONG startTicks)
{
    StartTicks = startTicks;
    Thread = std::thread([this] { Run(); });
}

REFERENCE_TIME Streamer::Now() const
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONGLONG ticks = now.QuadPart - StartTicks;
    if (ticks <= 0)
        return 0;
    return REFERENCE_TIME(ticks / TicksPerSecond * 10000000 + ticks % TicksPerSecond * 10000000 / TicksPerSecond);
}

void Streamer::CatchUp()
{
    std::unique_lock<std::mutex> hold(Lock);
    if (!Thread.joinable())
        return;
    const uint64_t wanted = ++KickGeneration;
    Wake.notify_all();
    if (Virtual)
        Idle.wait(hold, [&] { return IdleGeneration >= wanted || Done; });
}

void Streamer::Stop()
{
    {
        std::lock_guard<std::mutex> hold(Lock);
        StopRequested = true;
        Wake.notify_all();
    }
    if (Thread.joinable())
        Thread.join();
}

bool Streamer::Finished()
{
    std::lock_guard<std::mutex> hold(Lock);
    return Done;
}

bool Streamer::Failed()
{
    std::lock_guard<std::mutex> hold(Lock);
    return HasFailed;
}

REFERENCE_TIME Streamer::EndTime()
{
    std::lock_guard<std::mutex> hold(Lock);
    return LastEnd;
}

// The thread works in rounds: a round reads the clock afresh at every step and ends when
// nothing is due; a catch-up on the virtual clock waits for a round that began after it.
void Streamer::Run()
{
    std::unique_lock<std::mutex> hold(Lock);
    while (!StopRequested && !Done) {
        const uint64_t round = KickGeneration;
        hold.unlock();
        bool failed = false;
        while (Step())
            ;
        failed = !Problem.empty();
        hold.lock();
        HasFailed = failed;
        Done = failed || VideoEnded;
        LastEnd = std::max(LastEnd, ShownEnd);
        IdleGeneration = round;
        Idle.notify_all();
        if (Done || StopRequested)
            break;
        if (Virtual) {
            Wake.wait(hold, [&] { return StopRequested || KickGeneration != round; });
        } else {
            REFERENCE_TIME wait = 50000;
            if (HavePending)
                wait = std::clamp<REFERENCE_TIME>(PendingStart - Now(), 10000, 200000);
            Wake.wait_for(hold, std::chrono::microseconds(wait / 10));
        }
    }
    Done = true;
    IdleGeneration = KickGeneration;
    Idle.notify_all();
}

bool Streamer::Step()
{
    if (!Problem.empty() || StopRequested)
        return false;
    const REFERENCE_TIME now = Now();
    if (HavePending && PendingStart <= now) {
        Present();
        return true;
    }
    if (WithAudio && !DemuxEnded && AudioEnd() < now + kAudioLead)
        return ReadPacket();
    if (!HavePending && !VideoEnded)
        return DecodeVideo();
    return false;
}

bool Streamer::ReadPacket()
{
    AVPacket* packet = av_packet_alloc();
    const int result = av_read_frame(File.Format, packet);
    if (result < 0) {
        av_packet_free(&packet);
        DemuxEnded = true;
        if (result != AVERROR_EOF) {
            ReadError = true;
            ReadProblem = DescribeAvError(result);
        }
        if (WithAudio)
            DecodeAudio(nullptr);
        return true;
    }
    if (packet->stream_index == File.VideoStream) {
        VideoPackets.push_back(packet);
        return true;
    }
    if (WithAudio && packet->stream_index == File.AudioStream)
        DecodeAudio(packet);
    av_packet_free(&packet);
    return true;
}

bool Streamer::DecodeVideo()
{
    int result = avcodec_receive_frame(File.Video, Pending);
    if (result == 0) {
        const AVStream* stream = File.Format->streams[File.VideoStream];
        int64_t pts = Pending->best_effort_timestamp;
        REFERENCE_TIME start = ShownEnd;
        if (pts != AV_NOPTS_VALUE) {
            if (stream->start_time != AV_NOPTS_VALUE)
                pts -= stream->start_time;
            start = std::max<REFERENCE_TIME>(0, av_rescale_q(pts, stream->time_base, kReferenceTime));
        }
        PendingStart = start;
        PendingEnd = start + File.FrameDuration();
        HavePending = true;
        return true;
    }
    if (result == AVERROR_EOF) {
        EndVideo();
        return true;
    }
    if (result != AVERROR(EAGAIN)) {
        Fail("frame " + std::to_string(FramesShown + 1) + " cannot be decoded: " + DescribeAvError(result));
        return false;
    }
    if (!VideoPackets.empty()) {
        AVPacket* packet = VideoPackets.front();
        VideoPackets.pop_front();
        result = avcodec_send_packet(File.Video, packet);
        av_packet_free(&packet);
        if (result < 0 && result != AVERROR(EAGAIN)) {
            Fail("the data after frame " + std::to_string(FramesShown) +
                 " cannot be decoded: " + DescribeAvError(result));
            return false;
        }
        return true;
    }
    if (DemuxEnded) {
        if (VideoFlushed) {
            EndVideo();
            return true;
        }
        avcodec_send_packet(File.Video, nullptr);
        VideoFlushed = true;
        return true;
    }
    return ReadPacket();
}

// A file that ends before the length its header declares was cut short or damaged: playback
// stops there with a message rather than holding the last frame until the declared end.
void Streamer::EndVideo()
{
    const REFERENCE_TIME declared = File.VideoDuration();
    const REFERENCE_TIME frame = File.FrameDuration();
    if (ReadError) {
        Fail("reading stopped after frame " + std::to_string(FramesShown) + ": " + ReadProblem);
        return;
    }
    if (FramesShown == 0) {
        Fail("holds no frame that can be decoded");
        return;
    }
    if (declared > 0 && ShownEnd + frame + frame / 2 < declared) {
        char text[160];
        std::snprintf(text, sizeof text, "ends after frame %d at %.2f s of the %.2f s its header declares", FramesShown,
                      ShownEnd / 1e7, declared / 1e7);
        Fail(text);
        return;
    }
    VideoEnded = true;
}

void Streamer::Fail(const std::string& what)
{
    if (!Problem.empty())
        return;
    Problem = what;
    File.Report(what.c_str());
}

void Streamer::Present()
{
    HavePending = false;
    IDirect3DSurface9* surface = nullptr;
    const DWORD index = Into.SurfaceCount ? NextSurface++ % Into.SurfaceCount : 0;
    if (FAILED(Into.Allocator->GetSurface(Into.UserId, index, 0, &surface)) || !surface) {
        Fail("the allocator gave no surface for frame " + std::to_string(FramesShown + 1));
        av_frame_unref(Pending);
        return;
    }
    D3DSURFACE_DESC desc = {};
    surface->GetDesc(&desc);
    const AVPixelFormat format = PixelFormatOf(desc.Format);
    const int width = File.Width(), height = File.Height();
    D3DLOCKED_RECT locked = {};
    if (format == AV_PIX_FMT_NONE || int(desc.Width) < width || int(desc.Height) < height) {
        Fail("the allocator's surfaces cannot hold its frames");
    } else if (FAILED(surface->LockRect(&locked, nullptr, 0))) {
        Fail("a surface could not be written");
    } else {
        Scaler = sws_getCachedContext(Scaler, Pending->width, Pending->height, AVPixelFormat(Pending->format), width,
                                      height, format, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (Scaler) {
            uint8_t* planes[4] = {static_cast<uint8_t*>(locked.pBits), nullptr, nullptr, nullptr};
            const int strides[4] = {int(locked.Pitch), 0, 0, 0};
            sws_scale(Scaler, Pending->data, Pending->linesize, 0, Pending->height, planes, strides);
        }
        surface->UnlockRect();
        if (!Scaler)
            Fail("its pictures cannot be converted for the screen");
    }
    if (Problem.empty()) {
        VMR9PresentationInfo info = {};
        info.lpSurf = surface;
        info.rtStart = PendingStart;
        info.rtEnd = PendingEnd;
        info.szAspectRatio = Into.AspectRatio;
        info.rcSrc = {0, 0, width, height};
        info.rcDst = info.rcSrc;
        Into.Presenter->PresentImage(Into.UserId, &info);
        ++FramesShown;
        ShownEnd = PendingEnd;
        FramesPresented = ++g_FramesPresented;
    }
    surface->Release();
    av_frame_unref(Pending);
}

REFERENCE_TIME Streamer::AudioEnd()
{
    std::lock_guard<std::mutex> hold(AudioLock);
    return REFERENCE_TIME(AudioDecoded * 10000000 / kAudioRate);
}

// Sound is decoded as it comes and converted to the mixer's 44.1 kHz 16-bit stereo. A sound
// track that stops decoding falls silent; the pictures go on.
void Streamer::DecodeAudio(AVPacket* packet)
{
    if (AudioDone)
        return;
    int result = avcodec_send_packet(File.Audio, packet);
    while (result >= 0 || result == AVERROR(EAGAIN)) {
        result = avcodec_receive_frame(File.Audio, AudioFrame);
        if (result < 0)
            break;
        if (!Resampler) {
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (swr_alloc_set_opts2(&Resampler, &stereo, AV_SAMPLE_FMT_S16, kAudioRate, &AudioFrame->ch_layout,
                                    AVSampleFormat(AudioFrame->format), AudioFrame->sample_rate, 0, nullptr) < 0 ||
                swr_init(Resampler) < 0) {
                swr_free(&Resampler);
                result = AVERROR(EINVAL);
                break;
            }
        }
        const int room = swr_get_out_samples(Resampler, AudioFrame->nb_samples);
        Converted.resize(size_t(std::max(room, 0)) * kAudioChannels * sizeof(int16_t));
        uint8_t* out[1] = {Converted.data()};
        const int made = swr_convert(Resampler, out, room, const_cast<const uint8_t**>(AudioFrame->extended_data),
                                     AudioFrame->nb_samples);
        av_frame_unref(AudioFrame);
        if (made > 0) {
            std::lock_guard<std::mutex> hold(AudioLock);
            const int16_t* samples = reinterpret_cast<const int16_t*>(Converted.data());
            AudioQueue.insert(AudioQueue.end(), samples, samples + size_t(made) * kAudioChannels);
            AudioDecoded += uint64_t(made);
        }
    }
    const bool ended = result == AVERROR_EOF || (result < 0 && result != AVERROR(EAGAIN));
    if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        File.Report(("its sound stops: " + DescribeAvError(result)).c_str());
    if (ended || !packet) {
        std::lock_guard<std::mutex> hold(AudioLock);
        AudioDone = true;
    }
}

size_t Streamer::TakeAudio(uint64_t from, int16_t* out, size_t count)
{
    std::lock_guard<std::mutex> hold(AudioLock);
    if (from > AudioQueueStart) {
        const size_t drop = size_t(std::min<uint64_t>(from - AudioQueueStart, AudioQueue.size() / kAudioChannels));
        AudioQueue.erase(AudioQueue.begin(), AudioQueue.begin() + std::ptrdiff_t(drop * kAudioChannels));
        AudioQueueStart += drop;
    }
    if (from < AudioQueueStart)
        return 0;
    const size_t have = AudioQueue.size() / kAudioChannels;
    const size_t taken = std::min(count, have);
    std::memcpy(out, AudioQueue.data(), taken * kAudioChannels * sizeof(int16_t));
    return taken;
}

bool Streamer::AudioComplete()
{
    std::lock_guard<std::mutex> hold(AudioLock);
    return AudioDone;
}

} // namespace dshowsw
