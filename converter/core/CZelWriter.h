#pragma once
// Writes one packed data file (.zel): elements append record bytes to four segments,
// define symbols at record starts and leave pointer, 16-bit offset and handle fields that
// name a symbol. Closing a platform block resolves what it can inside the file and writes
// the loader's tables and the segments (compressed when large enough).
#include "converter/core/CNamedArrayElement.h"
#include "converter/core/ZSearchArray.h"
#include "engine/include/ZelFormat.h"

#include <memory>
#include <string>
#include <vector>

class CZRiffFile;

// A named place in the output: a symbol, or a field that refers to one by name.
class CZelSymbol : public CNamedArrayElement {
public:
    CZelSymbol(const char* name, unsigned long place, bool isPublic)
        : CNamedArrayElement(name), Place(place), Public(isPublic)
    {
    }

    unsigned long Place;          // a place word: ZelFormat::MakePlace(segment, offset)
    CZelSymbol* Target = nullptr; // resolved definition of a pointer fixup
    bool Public;
};

class ZelSymbolList : public ZSearchxArray<CZelSymbol> {
public:
    ZelSymbolList() : ZSearchxArray<CZelSymbol>(128) {}
    CZelSymbol* Add(const char* name, unsigned long place, bool isPublic = false);
};

struct CZelSegment {
    unsigned char* Buffer = nullptr;
    unsigned long Capacity = 0;
    unsigned long Position = 0;
    unsigned long Index = 0;
};

class CZelWriter {
public:
    CZelWriter();
    ~CZelWriter();
    CZelWriter(const CZelWriter&) = delete;
    CZelWriter& operator=(const CZelWriter&) = delete;

    // Starts name + ".temp"; a null name makes a writer that writes no file.
    void Open(const char* name);
    void SetCompression(bool on) { Compression = on; }
    void BeginList(unsigned long code);
    void EndList();
    void Flush();
    // Closes the file and puts it in place of the previous output.
    void Finish();
    // The symbols defined in the open platform block, in definition order.
    const ZelSymbolList& GetSymbols() const { return Symbols; }

    void SelectSegment(int index);
    unsigned long GetPosition() const { return Current->Position; }
    void SetPosition(unsigned long position) { Current->Position = position; }

    void DefineSymbol(const char* name, const char* typeName, bool isPublic, unsigned long alignment);
    void Reserve(unsigned long size);
    void WriteData(const void* data, unsigned long elementSize, unsigned long count, const char* label);
    void AddPointerFixup(const char* symbolName, const char* label);
    void AddOffsetFixup(const char* symbolName, const char* label);
    void AddHandleFixup(const char* symbolName, const char* label);
    void Align(unsigned long n);

    void LogSize(const char* category);
    void ListLine(const char* label, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void HexList(unsigned long count, unsigned long elementSize, const char* label);

private:
    struct SizeLogEntry {
        std::string Name;
        unsigned long Bytes;
    };

    unsigned long PlaceOf(const CZelSegment& segment, unsigned long position) const;
    unsigned long CurrentPlace() const { return PlaceOf(*Current, Current->Position); }
    void EnsureRoom(CZelSegment& segment, unsigned long size);
    void GrowSegment(CZelSegment& segment, unsigned long needed);
    void AddFixup(ZelSymbolList& list, const char* symbolName, const char* label, unsigned long width,
                  const char* namedListing, const char* nullListing);
    void CountBytes(unsigned long bytes) { SizeLog[CurrentLog].Bytes += bytes; }

    void FlushTypes();
    void FlushHandles();
    void FlushPublics();
    void ResolvePointers();
    void FlushExterns();
    void FlushOffsets();
    void ResolveShortOffsets();
    void FlushSegment(CZelSegment& segment);
    void WriteCompressed(CZelSegment& segment);
    void WritePairTable(unsigned long id, const ZelSymbolList& list, bool (*include)(const CZelSymbol&));

    void BeginChunk(unsigned long id, unsigned long listType);
    void EndChunk();
    void WriteBytes(const void* data, unsigned long size);
    unsigned char* FieldAt(unsigned long place);

    std::vector<SizeLogEntry> SizeLog;
    size_t CurrentLog = 0;
    std::unique_ptr<CZRiffFile> File;
    std::string OutputName;
    CZelSegment Segments[ZelFormat::kSegCount];
    CZelSegment* Current;
    bool Compression = false;
    ZelSymbolList Symbols;
    ZelSymbolList PointerFixups;
    ZelSymbolList OffsetFixups;
    ZelSymbolList HandleFixups;
    ZelSymbolList Types;
    // The symbol being written, named by the writer's own fatal errors.
    std::string LastSymbol;
};
