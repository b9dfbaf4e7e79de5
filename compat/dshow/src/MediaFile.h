#pragma once
// One video file opened with FFmpeg's libraries: its container, its first video stream's
// decoder and, when it has one, its first audio stream's decoder. Every failure is told in a
// message that names the file.
#include <dshow.h>

#include <string>

extern "C" {
struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
}

namespace dshowsw {

class MediaFile {
public:
    MediaFile() = default;
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // False, with `Problem` set, when the file cannot be opened or holds no decodable video.
    // A sound track that cannot be decoded is left out with a message.
    bool Open(const std::string& path);

    // "Video \"<name>\": <what>\n" through the debugger output.
    void Report(const char* what) const;

    const std::string& Name() const { return Path; }
    int Width() const { return FrameWidth; }
    int Height() const { return FrameHeight; }
    bool HasAudio() const { return Audio != nullptr; }
    // The length the container declares, 0 when it declares none.
    REFERENCE_TIME Duration() const { return Length; }
    REFERENCE_TIME FrameDuration() const { return FrameLength; }
    // The length the container declares for the video stream, 0 when it declares none.
    REFERENCE_TIME VideoDuration() const { return VideoLength; }

    AVFormatContext* Format = nullptr;
    AVCodecContext* Video = nullptr;
    AVCodecContext* Audio = nullptr;
    int VideoStream = -1;
    int AudioStream = -1;
    std::string Problem;

    static int DecoderThreads;

private:
    AVCodecContext* OpenDecoder(int stream, std::string& problem);

    std::string Path;
    int FrameWidth = 0;
    int FrameHeight = 0;
    REFERENCE_TIME Length = 0;
    REFERENCE_TIME FrameLength = 0;
    REFERENCE_TIME VideoLength = 0;
};

// FFmpeg's error text for a result.
std::string DescribeAvError(int code);

} // namespace dshowsw
