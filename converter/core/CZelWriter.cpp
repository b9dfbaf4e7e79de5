#include "converter/core/CZelWriter.h"

#include "converter/core/ConsoleOutput.h"

#include "core/names/CCRC32.h"
#include "core/compress/CKzqCompressor.h"
#include "core/riff/CZRiffFile.h"
#include <mg_win32.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const unsigned long SegmentSlack = 2048;
const unsigned long GrowthStep = 0x400000;
const unsigned long CompressAbove = 0x400;

bool IsPublic(const CZelSymbol& symbol) { return symbol.Public; }
bool IsAny(const CZelSymbol&) { return true; }
bool IsUnresolved(const CZelSymbol& fixup) { return fixup.Target == nullptr; }

// Where the core's file layer puts a name: the same folder and file the chunk writer used.
std::string FileSystemPath(const char* name)
{
    std::vector<char> path(strlen(name) + 4096);
    if (MgMapPath(name, path.data(), static_cast<int>(path.size())) < 0)
        vbail("Path too long:\n%s\n", name);
    return path.data();
}

// The temporary output being written. A fatal error ends the run through exit(), so an exit
// handler removes the half-written file rather than leaving it beside the previous output.
char UnfinishedTemp[4096];
bool ExitHandlerInstalled;

void RemoveUnfinishedTemp()
{
    if (UnfinishedTemp[0] != '\0')
        unlink(UnfinishedTemp);
}

void TrackUnfinishedTemp(const std::string& path)
{
    if (!ExitHandlerInstalled) {
        atexit(RemoveUnfinishedTemp);
        ExitHandlerInstalled = true;
    }
    if (path.size() < sizeof UnfinishedTemp)
        memcpy(UnfinishedTemp, path.c_str(), path.size() + 1);
}

void ForgetUnfinishedTemp() { UnfinishedTemp[0] = '\0'; }

int WriteToChunk(void* user, void* data, int size)
{
    return static_cast<CZRiffFile*>(user)->Write(data, size) ? -1 : size;
}

} // namespace

using namespace ZelFormat;

CZelSymbol* ZelSymbolList::Add(const char* name, unsigned long place, bool isPublic)
{
    CZelSymbol* symbol = new CZelSymbol(name, place, isPublic);
    ZSearchxArray<CZelSymbol>::Add(symbol);
    return symbol;
}

CZelWriter::CZelWriter() : SizeLog{{"Unknown", 0}}
{
    for (int i = 0; i < 4; ++i)
        Segments[i].Index = i;
    Current = &Segments[0];
}

CZelWriter::~CZelWriter()
{
    if (File)
        Finish();
    for (CZelSegment& segment : Segments)
        free(segment.Buffer);
}

void CZelWriter::Open(const char* name)
{
    if (File)
        vbail("ERROR:\nTried to create output file %s,\nbut already was generating %s\n", name ? name : "",
              OutputName.c_str());
    // Fresh, zeroed segments: bytes nobody writes in this file must read as zero.
    for (int i = 0; i < 4; ++i) {
        free(Segments[i].Buffer);
        Segments[i] = CZelSegment();
        Segments[i].Index = i;
    }
    Current = &Segments[0];
    OutputName.clear();
    if (!name)
        return;
    OutputName = name;
    const std::string temp = OutputName + ".temp";
    File.reset(new CZRiffFile);
    if (!File->Create(temp.c_str(), kFileForm))
        vbail("Cannot create output file!\n%s", name);
    TrackUnfinishedTemp(FileSystemPath(temp.c_str()));
}

void CZelWriter::BeginList(unsigned long code)
{
    VerbosePrintf(2, "\n\nLIST DESCEND!!! - FCC = 0x%08lX --> \"%s\"\n", code, CZRiffFile::FourCCToString(code));
    if (File)
        BeginChunk(kList, code);
}

void CZelWriter::EndList()
{
    Flush();
    if (File && !File->Ascend())
        vbail("Bad ascend from LIST chunk!\nWe ended up ascending right out of the file!");
}

void CZelWriter::SelectSegment(int index)
{
    if (index < 0 || index >= kSegCount)
        vbail("There is no output segment %d\n", index);
    Current = &Segments[index];
}

unsigned long CZelWriter::PlaceOf(const CZelSegment& segment, unsigned long position) const
{
    if (position > kPlaceOffsetMask)
        vbail("Segment %lu is past %lu bytes at %s: the offset no longer fits a place word\n", segment.Index,
              kPlaceOffsetMask, LastSymbol.c_str());
    return MakePlace(segment.Index, position);
}

// Makes room for size bytes at the segment's position. A segment cannot pass what a place
// word addresses (28 bits); a run that gets there stops rather than writing wrapped offsets.
void CZelWriter::EnsureRoom(CZelSegment& segment, unsigned long size)
{
    if (size > kPlaceOffsetMask + 1 - std::min(segment.Position, kPlaceOffsetMask + 1))
        vbail("Segment %lu is past %lu bytes at %s: the offset no longer fits a place word\n", segment.Index,
              kPlaceOffsetMask, LastSymbol.c_str());
    const unsigned long needed = segment.Position + size;
    if (needed > segment.Capacity || !segment.Buffer)
        GrowSegment(segment, needed);
}

// Grows in 4 MiB steps with a zeroed slack behind the capacity, so that alignment and the
// even rounding before compression never need a reallocation of their own.
void CZelWriter::GrowSegment(CZelSegment& segment, unsigned long needed)
{
    unsigned long capacity = segment.Capacity;
    while (capacity < needed || capacity == 0)
        capacity += GrowthStep;
    // calloc, not a cleared new[]: a block this large comes zeroed from the system, and
    // clearing it again took a small script longer than converting it.
    unsigned char* buffer = static_cast<unsigned char*>(calloc(capacity + SegmentSlack, 1));
    if (!buffer)
        throw std::bad_alloc();
    if (segment.Buffer)
        memcpy(buffer, segment.Buffer, segment.Capacity + SegmentSlack);
    free(segment.Buffer);
    segment.Buffer = buffer;
    segment.Capacity = capacity;
}

void CZelWriter::Align(unsigned long n)
{
    if (n <= 1)
        return;
    // Checked before rounding, so that a position near the top cannot wrap round to 0.
    PlaceOf(*Current, Current->Position);
    Current->Position = (Current->Position + n - 1) / n * n;
}

void CZelWriter::DefineSymbol(const char* name, const char* typeName, bool isPublic, unsigned long alignment)
{
    if (name && *name)
        LastSymbol = name;
    Align(alignment ? alignment : 4);
    if (typeName)
        Types.Add(typeName, CurrentPlace());
    if (name && *name) {
        const unsigned long key = CCRC32::GetCRC(name);
        if (const CZelSymbol* existing = Symbols.Find(key)) {
            if (strcmp(existing->GetName(), name) == 0)
                vbail("Redefinition of symbol %s\n", name);
            // Packed data finds symbols by key alone: two names of one key cannot both be kept.
            vbail("Symbols %s and %s share the name key 0x%08lX: rename one of them\n", existing->GetName(), name, key);
        }
        Symbols.Add(name, CurrentPlace(), isPublic);
    }
    if ((name && *name) || typeName)
        ListLine(nullptr, "%s %s: (public=%d)", typeName ? typeName : "", name ? name : "", isPublic ? 1 : 0);
}

void CZelWriter::Reserve(unsigned long size)
{
    EnsureRoom(*Current, size);
    memset(Current->Buffer + Current->Position, 0, size);
}

void CZelWriter::WriteData(const void* data, unsigned long elementSize, unsigned long count, const char* label)
{
    const unsigned long long wide = static_cast<unsigned long long>(elementSize) * count;
    const unsigned long total = wide > kPlaceOffsetMask + 1 ? kPlaceOffsetMask + 2 : static_cast<unsigned long>(wide);
    EnsureRoom(*Current, total);
    const unsigned long end = Current->Position + total;
    CountBytes(total);
    if (total)
        memcpy(Current->Buffer + Current->Position, data, total);
    if (VerboseLevel >= 3) {
        if (elementSize == 1 || elementSize == 2 || elementSize == 4)
            HexList(count, elementSize, label);
        else
            HexList(total, 1, label);
    }
    Current->Position = end;
}

void CZelWriter::AddFixup(ZelSymbolList& list, const char* symbolName, const char* label, unsigned long width,
                          const char* namedListing, const char* nullListing)
{
    // A fixup may be added where nothing was reserved yet: make the field exist.
    EnsureRoom(*Current, width);
    if (!symbolName || !*symbolName) {
        memset(Current->Buffer + Current->Position, 0, width);
        ListLine(label, "%s", nullListing);
    } else {
        list.Add(symbolName, CurrentPlace());
        ListLine(label, namedListing, symbolName);
    }
    Current->Position += width;
    CountBytes(width);
}

void CZelWriter::AddPointerFixup(const char* symbolName, const char* label)
{
    AddFixup(PointerFixups, symbolName, label, 4, "pointer to %s", "NULL pointer");
}

void CZelWriter::AddOffsetFixup(const char* symbolName, const char* label)
{
    AddFixup(OffsetFixups, symbolName, label, 2, "offset to %s", "NULL offset,");
}

void CZelWriter::AddHandleFixup(const char* symbolName, const char* label)
{
    AddFixup(HandleFixups, symbolName, label, 4, "CZelHandle %s", "NULL handle");
}

void CZelWriter::LogSize(const char* category)
{
    if (VerboseLevel < 2)
        return;
    const char* name = category ? category : "Unknown";
    for (size_t i = 0; i < SizeLog.size(); ++i) {
        if (SizeLog[i].Name == name) {
            CurrentLog = i;
            return;
        }
    }
    SizeLog.push_back({name, 0});
    CurrentLog = SizeLog.size() - 1;
}

void CZelWriter::ListLine(const char* label, const char* format, ...)
{
    if (VerboseLevel < 3)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    printf("%08lX  %-36s  %s\n", Current->Position, text, label ? label : "");
}

void CZelWriter::HexList(unsigned long count, unsigned long elementSize, const char* label)
{
    if (elementSize != 1 && elementSize != 2 && elementSize != 4)
        vbail("Bad radix");
    if (VerboseLevel < 3 || !Current->Buffer)
        return;
    // Lists only what the segment holds, whatever the caller asked for.
    const unsigned long held = Current->Capacity + SegmentSlack;
    const unsigned long available = Current->Position < held ? (held - Current->Position) / elementSize : 0;
    count = std::min(count, available);
    const unsigned char* data = Current->Buffer + Current->Position;
    const unsigned long total = count * elementSize;
    if (VerboseLevel == 3)
        printf("%08lX%71c\n", Current->Position, ' ');
    else
        printf("%08lX%71c; %lu bytes\n", Current->Position, ' ', total);
    const bool labelOnOwnLine = label && count >= 8;
    if (labelOnOwnLine)
        printf("%48c%s\n", ' ', label);
    const unsigned long shown = VerboseLevel == 3 && count > 256 ? 256 : count;
    const unsigned long perRow = 16 / elementSize;
    for (unsigned long first = 0; first < shown; first += perRow) {
        std::string row;
        char cell[16];
        for (unsigned long i = first; i < first + perRow && i < shown; ++i) {
            unsigned long value = 0;
            memcpy(&value, data + i * elementSize, elementSize);
            snprintf(cell, sizeof(cell), elementSize == 1 ? "%02lX " : elementSize == 2 ? "%04lX " : "%08lX ", value);
            row += cell;
        }
        if (elementSize == 1 && !label) {
            row.resize(48, ' ');
            for (unsigned long i = first; i < first + perRow && i < shown; ++i)
                row += isprint(data[i]) && data[i] != '%' ? static_cast<char>(data[i]) : '.';
        }
        if (first == 0 && label && !labelOnOwnLine) {
            row.resize(38, ' ');
            row += label;
            if (count == 1 && elementSize == 4) {
                float asFloat;
                memcpy(&asFloat, data, 4);
                snprintf(cell, sizeof(cell), " (%g)", asFloat);
                row += cell;
            }
        }
        printf("          %s\n", row.c_str());
    }
    if (shown < count)
        printf("          ...(data continues)...\n");
}

void CZelWriter::BeginChunk(unsigned long id, unsigned long listType)
{
    if (!File->Descend(id, listType, false))
        vbail("Cannot write output file!\n%s.temp", OutputName.c_str());
}

void CZelWriter::EndChunk() { File->Ascend(); }

void CZelWriter::WriteBytes(const void* data, unsigned long size)
{
    if (size && File->Write(data, size))
        vbail("Cannot write output file!\n%s.temp", OutputName.c_str());
}

unsigned char* CZelWriter::FieldAt(unsigned long place)
{
    return Segments[PlaceSegment(place)].Buffer + PlaceOffset(place);
}

void CZelWriter::WritePairTable(unsigned long id, const ZelSymbolList& list, bool (*include)(const CZelSymbol&))
{
    unsigned long count = 0;
    for (int i = 0; i < list.GetSize(); ++i)
        count += include(*list[i]);
    if (!count)
        return;
    BeginChunk(id, 0);
    WriteBytes(&count, 4);
    for (int i = 0; i < list.GetSize(); ++i) {
        if (!include(*list[i]))
            continue;
        const unsigned long pair[2] = {list[i]->GetKey(), list[i]->Place};
        WriteBytes(pair, sizeof(pair));
    }
    EndChunk();
}

void CZelWriter::FlushTypes()
{
    VerbosePrintf(2, "\nType Section, %d entries:\n", Types.GetSize());
    for (int i = 0; i < Types.GetSize(); ++i)
        VerbosePrintf(3, "%08lX  Type %s CRC=%08lX\n", Types[i]->Place, Types[i]->GetName(), Types[i]->GetKey());
    WritePairTable(kTypeTable, Types, IsAny);
}

void CZelWriter::FlushHandles()
{
    VerbosePrintf(2, "\nCZelHandles Section, %d entries:\n", HandleFixups.GetSize());
    for (int i = 0; i < HandleFixups.GetSize(); ++i)
        VerbosePrintf(3, "%08lX  CZelHandle %s CRC=%08lX\n", HandleFixups[i]->Place, HandleFixups[i]->GetName(),
                      HandleFixups[i]->GetKey());
    WritePairTable(kHandleTable, HandleFixups, IsAny);
}

void CZelWriter::FlushPublics()
{
    int publics = 0;
    for (int i = 0; i < Symbols.GetSize(); ++i)
        publics += Symbols[i]->Public;
    VerbosePrintf(2, "\nPublic Section, %d entries (%d private symbols):\n", publics, Symbols.GetSize() - publics);
    for (int i = 0; i < Symbols.GetSize(); ++i) {
        const CZelSymbol& s = *Symbols[i];
        if (s.Public)
            VerbosePrintf(3, "%08lX  Public %s CRC=%08lX\n", s.Place, s.GetName(), s.GetKey());
        else
            VerbosePrintf(4, "%08lX  Private %s, Not output\n", s.Place, s.GetName());
    }
    WritePairTable(kPublicTable, Symbols, IsPublic);
}

void CZelWriter::ResolvePointers()
{
    for (int i = 0; i < PointerFixups.GetSize(); ++i)
        PointerFixups[i]->Target = Symbols.Find(PointerFixups[i]->GetKey());
}

void CZelWriter::FlushExterns()
{
    int count = 0;
    for (int i = 0; i < PointerFixups.GetSize(); ++i)
        count += IsUnresolved(*PointerFixups[i]);
    if (!count)
        return;
    VerbosePrintf(2, "\nExtern Section, %d entries:\n", count);
    for (int i = 0; i < PointerFixups.GetSize(); ++i)
        if (IsUnresolved(*PointerFixups[i]))
            VerbosePrintf(3, "%08lX  Pointer %s CRC=%08lX\n", PointerFixups[i]->Place, PointerFixups[i]->GetName(),
                          PointerFixups[i]->GetKey());
    WritePairTable(kExternTable, PointerFixups, IsUnresolved);
}

void CZelWriter::FlushOffsets()
{
    unsigned long count = PointerFixups.GetSize();
    for (int i = 0; i < PointerFixups.GetSize(); ++i)
        count -= IsUnresolved(*PointerFixups[i]);
    if (!count)
        return;
    VerbosePrintf(2, "\nOffset Section, %lu entries:\n", count);
    BeginChunk(kOffsetTable, 0);
    WriteBytes(&count, 4);
    for (int i = 0; i < PointerFixups.GetSize(); ++i) {
        const CZelSymbol& fixup = *PointerFixups[i];
        if (!fixup.Target)
            continue;
        WriteBytes(&fixup.Place, 4);
        memcpy(FieldAt(fixup.Place), &fixup.Target->Place, 4);
        VerbosePrintf(3, "%08lX  Offset Points to %08lX (%s)\n", fixup.Place, fixup.Target->Place, fixup.GetName());
    }
    EndChunk();
}

// 16-bit offsets are self-relative distances inside one segment; the loader never sees them.
void CZelWriter::ResolveShortOffsets()
{
    for (int i = 0; i < OffsetFixups.GetSize(); ++i) {
        const CZelSymbol& fixup = *OffsetFixups[i];
        const CZelSymbol* target = Symbols.Find(fixup.GetKey());
        short distance = 0;
        if (!target) {
            VerbosePrintf(3, "%08lX  Short Offset is Null - no data found.\n", fixup.Place);
        } else {
            if (PlaceSegment(target->Place) != PlaceSegment(fixup.Place))
                vbail("OFFSET %s in different output segment than data it offsets to", fixup.GetName());
            const long full =
                static_cast<long>(PlaceOffset(target->Place)) - static_cast<long>(PlaceOffset(fixup.Place));
            if (full < -32768 || full > 32767)
                vbail("OFFSET %s lies %ld bytes from the data it offsets to: more than a 16-bit offset can hold",
                      fixup.GetName(), full);
            distance = static_cast<short>(full);
            VerbosePrintf(3, "%08lX  Short Offset is %04X, Relative to %s\n", fixup.Place,
                          static_cast<unsigned short>(distance), fixup.GetName());
        }
        memcpy(FieldAt(fixup.Place), &distance, 2);
    }
}

void CZelWriter::WriteCompressed(CZelSegment& segment)
{
    const unsigned long raw = (segment.Position + 1) & ~1UL;
    WriteBytes(&raw, 4);
    CKzqCompressor compressor;
    if (compressor.Compress(WriteToChunk, File.get(), 3) || compressor.Write(segment.Buffer, raw) < 0 ||
        compressor.Compress(nullptr, nullptr, 3))
        vbail("Cannot write output file!\n%s.temp", OutputName.c_str());
}

void CZelWriter::FlushSegment(CZelSegment& segment)
{
    if (!segment.Buffer)
        return;
    // The position may have been set past the last write: those bytes are zeros to be written.
    EnsureRoom(segment, 0);
    const SegmentChunks& codes = kSegmentChunks[segment.Index];
    const bool compressed = Compression && segment.Position > CompressAbove && codes.compressed;
    BeginChunk(compressed ? codes.compressed : codes.plain, 0);
    if (compressed)
        WriteCompressed(segment);
    else
        WriteBytes(segment.Buffer, segment.Position);
    const unsigned long written = File->Tell();
    VerbosePrintf(2, "\nData Segment %lu, %lu Bytes data, %lu bytes written\n", segment.Index, segment.Position,
                  written);
    if (compressed)
        VerbosePrintf(1, "\rCompression: %lu Bytes data, %lu bytes written, %g%%\n", segment.Position, written,
                      written * 100.0 / segment.Position);
    free(segment.Buffer);
    segment.Buffer = nullptr;
    segment.Capacity = 0;
    segment.Position = 0;
    EndChunk();
}

void CZelWriter::Flush()
{
    if (!File)
        return;
    FlushTypes();
    FlushHandles();
    FlushPublics();
    ResolvePointers();
    FlushExterns();
    FlushOffsets();
    ResolveShortOffsets();
    for (CZelSegment& segment : Segments)
        FlushSegment(segment);
    for (ZelSymbolList* list : {&Symbols, &PointerFixups, &OffsetFixups, &HandleFixups, &Types})
        list->RemoveAll();
}

void CZelWriter::Finish()
{
    if (!File) {
        VerbosePrintf(2, "\nNo open outputfile! - Cannot complete dump!\n");
        return;
    }
    VerbosePrintf(1, "\nFinal Dump:\n");
    Flush();
    // The top chunk's header plus everything written into it: a file of another size was cut
    // short on its way to the disk.
    const unsigned long expectedSize = 8 + File->Tell();
    File->Close();
    File.reset();
    const std::string temp = OutputName + ".temp";
    const std::string tempPath = FileSystemPath(temp.c_str());
    struct stat written;
    if (stat(tempPath.c_str(), &written) != 0 || static_cast<unsigned long>(written.st_size) != expectedSize)
        vbail("Cannot write output file!\n%s", temp.c_str());
    VerbosePrintf(1, "\tFinished dumping\n");
    // The rename replaces the previous output in one step, synced to the disk on both sides: a
    // kill or a power loss leaves either the old file or the new one, never an empty one.
    if (!MoveFileExA(tempPath.c_str(), FileSystemPath(OutputName.c_str()).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        vbail("Cannot replace output file %s: %s\n", OutputName.c_str(), strerror(errno));
    ForgetUnfinishedTemp();
    if (VerboseLevel >= 2) {
        printf("\nSize Log Report for %s:\n", OutputName.c_str());
        for (const SizeLogEntry& entry : SizeLog)
            printf("  %s = %lu bytes\n", entry.Name.c_str(), entry.Bytes);
        printf("\n\n");
    }
}
