#pragma once
// One WAV file's audio, shared by every sound that names the file: its format and PCM samples
// (written with the sound records), or, for a streamed sound, only the file name the engine
// opens when it plays.
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

// The 18 bytes of a WAVEFORMATEX as they are stored, whatever the host's packing.
struct SampleFormat {
    unsigned short FormatTag = 0;
    unsigned short Channels = 0;
    unsigned long SamplesPerSec = 0;
    unsigned long AvgBytesPerSec = 0;
    unsigned short BlockAlign = 0;
    unsigned short BitsPerSample = 0;
    unsigned short ExtraSize = 0;

    static const unsigned long StoredSize = 18;
    void Store(unsigned char* out) const;
    void Parse(const unsigned char* in);
};

class CdbSoundSample : public CdbElement {
public:
    // Frames of silence behind the samples, so that reads past the end find zeros.
    static const unsigned long PadFrames = 28;

    CdbSoundSample(const char* label, CDatabase* database) : CdbElement(label, database) {}

    // Reads the file now, or only keeps its name when streamed. Fatal on a file that cannot be
    // read or holds audio the engine cannot play.
    void Load(const char* fileName, bool stream);
    void Dump(CZelWriter& writer) override;

    const std::string& GetFileName() const { return m_FileName; }
    bool IsStreamed() const { return m_Stream; }
    const SampleFormat& GetFormat() const { return m_Format; }
    unsigned long GetLength() const { return m_Length; }
    unsigned long GetFramesHeld() const { return m_FramesHeld; }
    const std::vector<unsigned char>& GetData() const { return m_Data; }

private:
    std::string m_FileName;
    bool m_Stream = false;
    SampleFormat m_Format;
    unsigned long m_Length = 0;
    unsigned long m_FramesHeld = 0;
    std::vector<unsigned char> m_Data;
};
