#include "MediaFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>

namespace dshowsw {

int MediaFile::DecoderThreads = 0;

std::string DescribeAvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

MediaFile::~MediaFile()
{
    avcodec_free_context(&Video);
    avcodec_free_context(&Audio);
    avformat_close_input(&Format);
}

void MediaFile::Report(const char* what) const
{
    std::string text = "Video \"" + Path + "\": " + what + "\n";
    OutputDebugStringA(text.c_str());
}

AVCodecContext* MediaFile::OpenDecoder(int stream, std::string& problem)
{
    const AVCodecParameters* parameters = Format->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        problem = std::string("no decoder for its ") + av_get_media_type_string(parameters->codec_type) + " codec \"" +
                  avcodec_get_name(parameters->codec_id) + "\"";
        return nullptr;
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    int result = context ? avcodec_parameters_to_context(context, parameters) : AVERROR(ENOMEM);
    if (result >= 0) {
        context->thread_count = DecoderThreads;
        context->pkt_timebase = Format->streams[stream]->time_base;
        result = avcodec_open2(context, codec, nullptr);
    }
    if (result < 0) {
        problem = std::string("its ") + avcodec_get_name(parameters->codec_id) +
                  " decoder cannot start: " + DescribeAvError(result);
        avcodec_free_context(&context);
    }
    return context;
}

bool MediaFile::Open(const std::string& path)
{
    Path = path;
    // FFmpeg's own log would repeat on the console what the messages here say.
    av_log_set_level(AV_LOG_QUIET);
    int result = avformat_open_input(&Format, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        Problem = (result == AVERROR_INVALIDDATA ? "is not a video file that can be read: " : "cannot be opened: ") +
                  DescribeAvError(result);
        return false;
    }
    result = avformat_find_stream_info(Format, nullptr);
    if (result < 0) {
        Problem = "is not a video file that can be read: " + DescribeAvError(result);
        return false;
    }
    VideoStream = av_find_best_stream(Format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (VideoStream < 0) {
        Problem = "holds no video stream";
        return false;
    }
    Video = OpenDecoder(VideoStream, Problem);
    if (!Video)
        return false;
    if (Video->width <= 0 || Video->height <= 0 || Video->width > 16384 || Video->height > 16384) {
        Problem = "its picture size " + std::to_string(Video->width) + " x " + std::to_string(Video->height) +
                  " cannot be shown";
        return false;
    }
    FrameWidth = Video->width;
    FrameHeight = Video->height;

    const AVStream* video = Format->streams[VideoStream];
    if (Format->duration > 0)
        Length = av_rescale(Format->duration, 10000000, AV_TIME_BASE);
    if (video->duration > 0)
        VideoLength = av_rescale_q(video->duration, video->time_base, AVRational{1, 10000000});
    if (Length <= 0)
        Length = VideoLength;
    AVRational rate = video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
    FrameLength = rate.num > 0 && rate.den > 0 ? av_rescale(10000000, rate.den, rate.num) : 400000;
    // A file that lost its end (and its index with it) still names its frame count in its
    // header, while the length is then guessed from its size.
    if (video->nb_frames > 0 && video->nb_frames < (int64_t(1) << 31))
        VideoLength = std::max<REFERENCE_TIME>(VideoLength, video->nb_frames * FrameLength);

    AudioStream = av_find_best_stream(Format, AVMEDIA_TYPE_AUDIO, -1, VideoStream, nullptr, 0);
    if (AudioStream >= 0) {
        std::string problem;
        Audio = OpenDecoder(AudioStream, problem);
        if (!Audio) {
            Report(("its sound is left out: " + problem).c_str());
            AudioStream = -1;
        }
    }
    return true;
}

} // namespace dshowsw
