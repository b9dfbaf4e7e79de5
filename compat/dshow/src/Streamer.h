#pragma once
// The streaming thread of a running graph: it reads the file, decodes the video frame that
// comes next and hands it to the allocator-presenter once the clock reaches its time, and
// decodes the sound ahead into a queue the audio renderer drains on the game thread.
#include <vmr9.h>

#include <atomic>
#include <condition_variable>
#include <string>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "MediaFile.h"

extern "C" {
struct SwsContext;
struct SwrContext;
}

namespace dshowsw {

class Streamer {
public:
    // What the thread presents into: the allocator-presenter and the surfaces it made.
    struct Target {
        IVMRSurfaceAllocator9* Allocator;
        IVMRImagePresenter9* Presenter;
        DWORD_PTR UserId;
        DWORD SurfaceCount;
        SIZE AspectRatio;
    };

    enum { kAudioRate = 44100, kAudioChannels = 2 };

    Streamer(MediaFile& file, const Target& target, bool withAudio);
    ~Streamer();
    Streamer(const Streamer&) = delete;
    Streamer& operator=(const Streamer&) = delete;

    // Starts the thread; stream time 0 is the performance counter's reading `startTicks`.
    void Start(LONGLONG startTicks);
    // Lets the thread catch up with the clock. On the virtual clock this returns only once every
    // frame due has been presented and the sound is decoded far enough ahead; on the real clock
    // the thread keeps its own pace and this only wakes it.
    void CatchUp();
    void Stop();

    // Stream time now, from the performance counter.
    REFERENCE_TIME Now() const;
    // True once the last frame has been presented (or playback failed).
    bool Finished();
    // True when playback stopped on damaged or missing data; the message was given.
    bool Failed();
    // The end of the last frame presented, once Finished.
    REFERENCE_TIME EndTime();

    // Sound frames (44.1 kHz 16-bit stereo) from stream frame `from` on, as many as are decoded
    // up to `count`; returns how many were copied. Frames before the queue's start are gone.
    size_t TakeAudio(uint64_t from, int16_t* out, size_t count);
    // True once all the sound is in the queue.
    bool AudioComplete();

    // How far ahead of the clock the sound is decoded.
    static const REFERENCE_TIME kAudioLead = 5000000;
    static ULONGLONG FramesPresented;

private:
    void Run();
    bool Step();
    bool ReadPacket();
    bool DecodeVideo();
    void DecodeAudio(AVPacket* packet);
    void Present();
    void Fail(const std::string& what);
    void EndVideo();
    REFERENCE_TIME AudioEnd();

    MediaFile& File;
    Target Into;
    bool WithAudio;
    LONGLONG StartTicks = 0;
    LONGLONG TicksPerSecond = 1;
    bool Virtual = false;

    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Idle;
    std::atomic<bool> StopRequested{false};
    bool Done = false;
    bool HasFailed = false;
    uint64_t KickGeneration = 0;
    uint64_t IdleGeneration = 0;
    REFERENCE_TIME LastEnd = 0;

    // Streaming thread only.
    AVFrame* Pending = nullptr;
    bool HavePending = false;
    REFERENCE_TIME PendingStart = 0;
    REFERENCE_TIME PendingEnd = 0;
    std::deque<AVPacket*> VideoPackets;
    bool DemuxEnded = false;
    bool ReadError = false;
    std::string ReadProblem;
    bool VideoFlushed = false;
    bool VideoEnded = false;
    int FramesShown = 0;
    REFERENCE_TIME ShownEnd = 0;
    std::string Problem;
    DWORD NextSurface = 0;
    SwsContext* Scaler = nullptr;
    SwrContext* Resampler = nullptr;
    AVFrame* AudioFrame = nullptr;
    std::vector<uint8_t> Converted;

    // Shared with the game thread under AudioLock.
    std::mutex AudioLock;
    std::vector<int16_t> AudioQueue; // interleaved stereo
    uint64_t AudioQueueStart = 0;    // stream frame of AudioQueue[0]
    uint64_t AudioDecoded = 0;       // stream frames decoded so far
    std::atomic<bool> AudioDone{false};
};

} // namespace dshowsw
