#include "converter/core/ZelPostProcess.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzFileFind.h"
#include "converter/core/ScriptPath.h"
#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"
#include "engine/include/ZelFormat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

std::string g_ZelOutputPrefix = "L:\\Tyx\\Out\\zel\\";

namespace {

using namespace ZelFormat;

const size_t MaxListLine = 1023;
// The first member follows the form type (4), the index chunk's header (8) and its 64 bytes
// of bucket starts plus the closing pair (8); each pair adds 8.
const unsigned long FirstMemberOffset = 84;
// A member is a LIST header (8) and its list type (4) before the member's own content.
const unsigned long MemberHeaderSize = 12;

std::string SystemError(const std::string& path) { return path + ": " + strerror(errno); }

bool IsSelected(unsigned long listType, const PlatformSelection& platforms)
{
    return (listType == kBlockWin && platforms.win) || (listType == kBlockXbox && platforms.xbox) ||
           (listType == kBlockPs2 && platforms.ps2) || (listType == kBlockPcx && platforms.pcx);
}

bool IsPlatformList(const ZRIFFCKINFO& chunk)
{
    const PlatformSelection all = {true, true, true, true};
    return chunk.id == kList && IsSelected(chunk.listType, all);
}

void CopyChunk(CZRiffFile& source, CZRiffFile& destination, const ZRIFFCKINFO& chunk)
{
    // Reading a LIST starts behind its list type, which Descend writes again.
    const unsigned long size = chunk.size - source.Tell();
    std::vector<unsigned char> bytes(size);
    if (size && source.Read(bytes.data(), size, false))
        vbail("Bad read");
    if (!destination.Descend(chunk.id, chunk.listType, true))
        vbail("Bad decend on destination file");
    if (size && destination.Write(bytes.data(), size))
        vbail("Bad write");
    destination.Ascend();
    source.Ascend();
}

void CopyBlock(CZRiffFile& source, CZRiffFile& destination, const ZRIFFCKINFO& block)
{
    if (!destination.Descend(block.id, block.listType, true))
        vbail("Bad decend on destination file");
    while (const ZRIFFCKINFO* chunk = source.Descend(0, 0, true)) {
        const ZRIFFCKINFO copy = *chunk;
        CopyChunk(source, destination, copy);
    }
    destination.Ascend();
}

std::unique_ptr<CZRiffFile> OpenZel(const std::string& path)
{
    std::unique_ptr<CZRiffFile> file(new CZRiffFile);
    if (!file->Open(path.c_str(), kFileForm))
        vbail("Cannot open RIFF/IFF file!\n%s", SystemError(path).c_str());
    return file;
}

std::unique_ptr<CZRiffFile> CreateRiff(const std::string& path, unsigned long form)
{
    std::unique_ptr<CZRiffFile> file(new CZRiffFile);
    if (!file->Create(path.c_str(), form))
        vbail("Cannot create output file!\n%s", path.c_str());
    return file;
}

std::string TemporaryName(const std::string& path) { return path + ".temp"; }

// Closes a finished output and puts it in place of the file of that name in one step.
void PutInPlace(CZRiffFile& file, const std::string& path)
{
    file.Close();
    if (rename(TemporaryName(path).c_str(), path.c_str()) != 0)
        vbail("Cannot replace %s\n%s", path.c_str(), SystemError(TemporaryName(path)).c_str());
}

// Lines of a list file. A line longer than the list format allows is refused rather than
// split, and a last line without a line end counts like the others.
std::vector<std::string> ReadListLines(const char* listFile)
{
    FILE* file = fopen(ScriptPath(listFile).c_str(), "r");
    if (!file)
        vbail("Cannot open input file\n%s", SystemError(listFile).c_str());
    std::vector<std::string> lines;
    std::string line;
    for (int c = fgetc(file);; c = fgetc(file)) {
        if (c == EOF || c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (c != EOF || !line.empty())
                lines.push_back(line);
            if (c == EOF)
                break;
            line.clear();
            continue;
        }
        if (line.size() >= MaxListLine) {
            fclose(file);
            vbail("Line %d of %s is longer than %d characters\n", static_cast<int>(lines.size() + 1), listFile,
                  static_cast<int>(MaxListLine));
        }
        line += static_cast<char>(c);
    }
    fclose(file);
    return lines;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

size_t SkipBlanks(const std::string& text, size_t at)
{
    while (at < text.size() && isspace(static_cast<unsigned char>(text[at])))
        ++at;
    return at;
}

std::string WordAt(const std::string& text, size_t at)
{
    size_t end = at;
    while (end < text.size() && !isspace(static_cast<unsigned char>(text[end])))
        ++end;
    return text.substr(at, end - at);
}

struct PackEntry {
    std::string name;
    std::string sortName;
    std::string path;
    unsigned long key;
    unsigned long size;
    unsigned long offset;
};

std::string SortName(const std::string& name)
{
    if (name == "LOGO.ZEL")
        return "$$LOGO.ZEL";
    if (name.find('\\') != std::string::npos)
        return name;
    return "$" + name;
}

// Opens a listed file under the output prefix; a line that already holds a full path of the
// prefix's length is taken with its root cut off, which also makes the entry's name relative.
PackEntry OpenPackEntry(const std::string& listed)
{
    PackEntry entry;
    entry.name = listed;
    entry.path = g_ZelOutputPrefix + listed;
    std::unique_ptr<CZRiffFile> file(new CZRiffFile);
    ZRIFFCKINFO* top = file->Open(entry.path.c_str(), kFileForm);
    if (!top && listed.size() > g_ZelOutputPrefix.size()) {
        entry.name = listed.substr(g_ZelOutputPrefix.size());
        entry.path = g_ZelOutputPrefix + entry.name;
        top = file->Open(entry.path.c_str(), kFileForm);
    }
    if (!top)
        vbail("Cannot open RIFF/IFF file!\n%s", SystemError(entry.path).c_str());
    entry.name = Upper(entry.name);
    entry.sortName = SortName(entry.name);
    entry.key = CCRC32::GetCRC(entry.name.c_str());
    entry.size = top->size - 4;
    entry.offset = 0;
    return entry;
}

void WritePackIndex(CZRiffFile& pack, const std::vector<PackEntry>& entries)
{
    std::vector<unsigned long> words;
    unsigned long bucketStarts[kPackBuckets];
    for (unsigned long bucket = 0; bucket < kPackBuckets; ++bucket) {
        bucketStarts[bucket] = 0xFFFFFFFF;
        for (const PackEntry& entry : entries) {
            if ((entry.key & (kPackBuckets - 1)) != bucket)
                continue;
            const unsigned long index = static_cast<unsigned long>(words.size() / 2);
            if (bucketStarts[bucket] == 0xFFFFFFFF)
                bucketStarts[bucket] = index;
            VerbosePrintf(2, "Entry for %-26s, index %d, crc %08X\n", entry.name.c_str(), static_cast<int>(index),
                          static_cast<unsigned>(entry.key));
            words.push_back(entry.key);
            words.push_back(entry.offset);
        }
    }
    words.push_back(0);
    words.push_back(0);
    words.insert(words.end(), bucketStarts, bucketStarts + kPackBuckets);
    std::vector<unsigned char> bytes;
    for (unsigned long word : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(word >> shift));
    if (!pack.Descend(kPackIndex, 0, true) || pack.Write(bytes.data(), static_cast<unsigned long>(bytes.size())))
        vbail("Bad write");
    pack.Ascend();
}

} // namespace

void CopyPlatformLists(CZRiffFile& source, CZRiffFile& destination, const PlatformSelection& platforms)
{
    bool copied = false;
    while (const ZRIFFCKINFO* found = source.Descend(0, 0, true)) {
        const ZRIFFCKINFO block = *found;
        if (!IsPlatformList(block))
            vbail("\nStitch/Strip REQUIRES PLATFORM LIST CHUNKS!!!");
        if (IsSelected(block.listType, platforms)) {
            CopyBlock(source, destination, block);
            copied = true;
        }
        source.Ascend();
    }
    if (!copied)
        vbail("Just made an empty file! that's likely pretty bad, huh?");
}

void CombineZelFiles(const char* outputFile, const char* listFile, const PlatformSelection& platforms)
{
    if (!platforms.Any())
        vbail("You need to specify SOME platform for combiner output");
    VerbosePrintf(1, "\nCOMBINING\n");
    const std::vector<std::string> lines = ReadListLines(listFile);
    std::unique_ptr<CZRiffFile> output = CreateRiff(TemporaryName(outputFile), kFileForm);
    for (const std::string& raw : lines) {
        const std::string line = Upper(raw);
        const size_t word = SkipBlanks(line, 0);
        if (line.compare(word, 7, "LOADZEL") != 0)
            continue;
        const std::string name = WordAt(line, SkipBlanks(line, word + 7));
        if (name.empty())
            continue;
        const std::string path = g_ZelOutputPrefix + name;
        VerbosePrintf(1, "  combining file %s\n", path.c_str());
        std::unique_ptr<CZRiffFile> source = OpenZel(path);
        CopyPlatformLists(*source, *output, platforms);
    }
    VerbosePrintf(1, "\nCombine complete\n");
    PutInPlace(*output, outputFile);
}

void BuildZelPack(const char* outputFile, const char* listFile)
{
    VerbosePrintf(1, "\nZLPK File Generation\n");
    std::vector<PackEntry> entries;
    for (const std::string& line : ReadListLines(listFile)) {
        if (line.empty() || !isalnum(static_cast<unsigned char>(line[0])))
            continue;
        entries.push_back(OpenPackEntry(WordAt(line, 0)));
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PackEntry& a, const PackEntry& b) { return a.sortName < b.sortName; });
    unsigned long offset = FirstMemberOffset + 8 * static_cast<unsigned long>(entries.size());
    for (PackEntry& entry : entries) {
        entry.offset = offset;
        offset += MemberHeaderSize + entry.size;
        VerbosePrintf(2, "File %-26s, offset %08X, crc %08X\n", entry.name.c_str(), static_cast<unsigned>(entry.offset),
                      static_cast<unsigned>(entry.key));
    }

    std::unique_ptr<CZRiffFile> pack = CreateRiff(TemporaryName(outputFile), kPackForm);
    WritePackIndex(*pack, entries);
    const PlatformSelection all = {true, true, true, true};
    for (const PackEntry& entry : entries) {
        if (pack->Tell() != entry.offset)
            vbail("Pack index out of step at %s: offset %08X, written at %08X\n", entry.path.c_str(),
                  static_cast<unsigned>(entry.offset), static_cast<unsigned>(pack->Tell()));
        if (!pack->Descend(kList, kFileForm, true))
            vbail("Bad decend on destination file");
        VerbosePrintf(1, "  zlpk-ing file %s\n", entry.path.c_str());
        std::unique_ptr<CZRiffFile> source = OpenZel(entry.path);
        CopyPlatformLists(*source, *pack, all);
        pack->Ascend();
    }
    VerbosePrintf(1, "\nZLP BigFiling complete\n");
    PutInPlace(*pack, outputFile);
}

void StripPlatforms(const char* pattern, const PlatformSelection& platforms)
{
    if (!platforms.Any())
        vbail("You need to specify SOME platform for stripping");
    VerbosePrintf(1, "\nSTRIPPING\n");
    CzFileFind found(pattern, strchr(pattern, '*') != nullptr);
    for (int index = 0; const char* path = found.GetFile(index); ++index) {
        const std::string file = path;
        VerbosePrintf(1, "\nprocessing file %s\n", file.c_str());
        std::unique_ptr<CZRiffFile> source = OpenZel(file);
        std::unique_ptr<CZRiffFile> stripped = CreateRiff(TemporaryName(file), kFileForm);
        CopyPlatformLists(*source, *stripped, platforms);
        source->Close();
        PutInPlace(*stripped, file);
    }
}
