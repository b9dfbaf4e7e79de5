#include "converter/import2d/CdbSoundSample.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/ZOutput.h"
#include "core/riff/CZRiffFile.h"
#include "engine/include/ZelFormat.h"

#include <cstring>

namespace {

const unsigned short PcmTag = 1;
const unsigned short ExtensibleTag = 0xFFFE;
const unsigned long RawDataAlignment = 16;
const unsigned long Ps2RawDataAlignment = 64;
enum { Ps2Target = 1, XboxTarget = 2 };

unsigned short Word(const unsigned char* p) { return static_cast<unsigned short>(p[0] | p[1] << 8); }
unsigned long Long(const unsigned char* p) { return Word(p) | static_cast<unsigned long>(Word(p + 2)) << 16; }
void PutWord(unsigned char* p, unsigned short v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void PutLong(unsigned char* p, unsigned long v)
{
    PutWord(p, static_cast<unsigned short>(v));
    PutWord(p + 2, static_cast<unsigned short>(v >> 16));
}

// The engine plays 8- and 16-bit PCM in one or two channels; anything else would be written as
// a sound that stays silent (or, below 8 bits, leaves no whole frame to count), so it is refused
// here, where the file can be named. An extensible header whose sub-format is PCM is plain PCM.
void CheckPlayable(SampleFormat& format, const unsigned char* raw, unsigned long size, const char* fileName)
{
    if (format.FormatTag == ExtensibleTag && size >= 40 && Word(raw + 24) == PcmTag)
        format.FormatTag = PcmTag;
    const bool pcm = format.FormatTag == PcmTag && (format.Channels == 1 || format.Channels == 2) &&
                     (format.BitsPerSample == 8 || format.BitsPerSample == 16);
    if (!pcm)
        vbail("\nError: %s: unsupported wave format (tag 0x%04X, %u channels, %u bits); the engine plays 8- and "
              "16-bit PCM in one or two channels\n",
              fileName, format.FormatTag, format.Channels, format.BitsPerSample);
    if (format.BlockAlign != format.Channels * format.BitsPerSample / 8 || format.SamplesPerSec == 0 ||
        format.AvgBytesPerSec != format.SamplesPerSec * format.BlockAlign)
        vbail("\nError: %s: inconsistent wave format (%lu Hz, %lu bytes/s, block align %u)\n", fileName,
              format.SamplesPerSec, format.AvgBytesPerSec, format.BlockAlign);
}

} // namespace

void SampleFormat::Store(unsigned char* out) const
{
    PutWord(out, FormatTag);
    PutWord(out + 2, Channels);
    PutLong(out + 4, SamplesPerSec);
    PutLong(out + 8, AvgBytesPerSec);
    PutWord(out + 12, BlockAlign);
    PutWord(out + 14, BitsPerSample);
    PutWord(out + 16, ExtraSize);
}

void SampleFormat::Parse(const unsigned char* in)
{
    FormatTag = Word(in);
    Channels = Word(in + 2);
    SamplesPerSec = Long(in + 4);
    AvgBytesPerSec = Long(in + 8);
    BlockAlign = Word(in + 12);
    BitsPerSample = Word(in + 14);
    ExtraSize = Word(in + 16);
}

void CdbSoundSample::Load(const char* fileName, bool stream)
{
    VerbosePrintf(2, "CdbSoundSample::%s\n", fileName);
    m_FileName = fileName;
    m_Stream = stream;
    if (stream)
        return;
    std::string mapped = fileName;
    if (!MapTargetDriveInPlace(mapped.data()))
        vbail("Cannot determine L:ness or P:ness of target file: %s", fileName);
    if (GetDatabase()->AddDependency(fileName))
        return;

    CZRiffFile file;
    if (!file.Open(fileName, CZRiffFile::MakeFourCC("WAVE")))
        vbail("\nError: Cannot open file: %s\n", fileName);
    const ZRIFFCKINFO* chunk = file.Descend(CZRiffFile::MakeFourCC("fmt "), 0, true);
    if (!chunk)
        vbail("\nError: Cannot Cannot find format chunk: %s\n", fileName);
    const unsigned long formatSize = chunk->size;
    if (formatSize < 16)
        vbail("\nError: Not a big enuf wave format chunk (we expect a WAVEFORMATEX at least): %s\n", fileName);
    unsigned char raw[40] = {};
    if (file.Read(raw, formatSize < sizeof raw ? formatSize : sizeof raw, false))
        vbail("\nError: Cannot read the format chunk: %s\n", fileName);
    file.Ascend();
    m_Format.Parse(raw);
    m_Format.ExtraSize = 0;
    CheckPlayable(m_Format, raw, formatSize, fileName);

    chunk = file.Descend(CZRiffFile::MakeFourCC("data"), 0, true);
    if (!chunk)
        vbail("\nError: Cannot find data chunk: %s\n", fileName);
    m_Length = chunk->size;
    const unsigned long frameSize = m_Format.BitsPerSample / 8 * m_Format.Channels;
    m_FramesHeld = m_Length / frameSize + PadFrames;
    m_Data.assign(static_cast<size_t>(m_FramesHeld) * frameSize, 0);
    // A data chunk that claims more than the file holds is damaged: its samples are not all there.
    // A missing pad byte after an odd-sized chunk at the end of the file loses nothing.
    if (m_Length && file.Read(m_Data.data(), m_Length, false) && file.Tell() < m_Length)
        vbail("\nError: %s: the data chunk holds %lu bytes but the file ends before them\n", fileName, m_Length);
    file.Close();
}

void CdbSoundSample::Dump(CZelWriter& writer)
{
    VerbosePrintf(3, "  CdbSoundSample::Dump() : %s\n", GetLabel());
    const std::string rawLabel = std::string(GetLabel()) + "_rawdata";
    const unsigned long target = GetDatabase()->TargetMachine;
    RecordOut record(writer, "CSoundSample", GetLabel(), false);
    record.Pointer("pRawData", rawLabel);
    if (m_Stream) {
        record.Unsigned("Length", Constant("SOUND_STREAM"));
        writer.DefineSymbol(rawLabel.c_str(), nullptr, false, RawDataAlignment);
        writer.WriteData(m_FileName.c_str(), static_cast<unsigned long>(m_FileName.size() + 1), 1, "Stream file name");
        return;
    }
    record.Unsigned("Length", m_Length);
    writer.LogSize("Sound");
    if (target == Ps2Target) {
        record.Unsigned("SampleRate", m_Format.SamplesPerSec);
        writer.DefineSymbol(rawLabel.c_str(), nullptr, false, Ps2RawDataAlignment);
        // Nothing encodes for that console: its block holds the PCM as read.
        if (m_Length)
            writer.WriteData(m_Data.data(), m_Length, 1, "Sample data");
    } else {
        if (target != XboxTarget)
            writer.SelectSegment(ZelFormat::kSegTemp);
        writer.DefineSymbol(rawLabel.c_str(), nullptr, false, 0);
        unsigned char header[SampleFormat::StoredSize];
        m_Format.Store(header);
        writer.WriteData(header, sizeof header, 1, "Wave format");
        if (m_Length)
            writer.WriteData(m_Data.data(), m_Length, 1, "Sample data");
        writer.SelectSegment(ZelFormat::kSegData);
    }
    writer.LogSize(nullptr);
}
