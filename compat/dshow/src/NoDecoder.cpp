// The media file and streamer of a build without FFmpeg's libraries (-DMG_VIDEO_DECODING=OFF,
// the default of the sanitizer build, whose instrumented processes cannot also map FFmpeg and
// everything it loads under user-mode emulation): every video is refused with a message naming
// it, so the player ends it at once and goes on, as with a file that cannot be played.
#include <windows.h>

#include "MediaFile.h"
#include "Streamer.h"

namespace dshowsw {

int MediaFile::DecoderThreads = 0;

MediaFile::~MediaFile() = default;

bool MediaFile::Open(const std::string& path)
{
    Path = path;
    Problem = "this build decodes no video (built without FFmpeg's libraries)";
    Report(Problem.c_str());
    return false;
}

void MediaFile::Report(const char* what) const
{
    std::string text = "Video \"" + Path + "\": " + what + "\n";
    OutputDebugStringA(text.c_str());
}

std::string DescribeAvError(int code) { return "error " + std::to_string(code); }

// Nothing opens, so no streamer is ever made; these only complete the interface.
ULONGLONG Streamer::FramesPresented = 0;
Streamer::Streamer(MediaFile& file, const Target& target, bool withAudio)
    : File(file), Into(target), WithAudio(withAudio)
{
}
Streamer::~Streamer() = default;
void Streamer::Start(LONGLONG) {}
void Streamer::CatchUp() {}
void Streamer::Stop() {}
REFERENCE_TIME Streamer::Now() const { return 0; }
bool Streamer::Finished() { return true; }
bool Streamer::Failed() { return true; }
REFERENCE_TIME Streamer::EndTime() { return 0; }
size_t Streamer::TakeAudio(uint64_t, int16_t*, size_t) { return 0; }
bool Streamer::AudioComplete() { return true; }

} // namespace dshowsw
