#pragma once
// One packed data file in memory: its segments patched in place (pointers, imports, exports,
// handles) and its typed records constructed over their stored bytes.
#include <vector>

#include "core/riff/CZRiffFile.h"
#include "engine/zel/CZelStaticResource.h"
#include "engine/include/ZelFormat.h"

class CKzqCompressor;

class CZelFile {
public:
    enum Segment {
        SegData = ZelFormat::kSegData,
        SegTemp = ZelFormat::kSegTemp,
        SegExtra = ZelFormat::kSegExtra,
        SegPlat = ZelFormat::kSegPlat,
        SegCount = ZelFormat::kSegCount
    };

    CZelFile();
    ~CZelFile();

    // 0 = success. A missing or damaged file is fatal with a message naming it.
    int Load(const char* name);
    // Whether Load would find the file (in the pack, as its hashed loose file or by name).
    static bool Exists(const char* name);

    static void LoadChunkCategories(unsigned long mask) { ChunkCategories = mask; }
    static void RegisterHackCallback(void (*callback)()) { pHackCallback = callback; }

    CZelFile* GetNext() const { return pNext; }
    void* GetSegment(int segment) const { return pSegment[segment]; }
    unsigned long GetSegmentSize(int segment) const { return SegmentSize[segment]; }

    // True when [p, p + length) lies inside one segment of a file that is loaded or loading:
    // records check pointers they follow with it before trusting damaged data.
    static bool IsLoadedData(const void* p, unsigned long length);
    // Bytes from p to the end of the loaded segment holding it, 0 when none does.
    static unsigned long BytesAvailable(const void* p);
    // The name of the loaded file whose segments hold p, null when none does.
    static const char* NameOf(const void* p);
    // True when a loaded (or loading) file lists a typed record of that class key at p: a
    // record that follows an array of typed records checks each element with it.
    static bool IsTypedRecord(const void* p, unsigned long classKey);
    // True when p is a record that a loaded (or loading) file has built: damage can point a
    // field at a record left unbuilt (a class the engine does not know, or one not built yet),
    // which has no table of functions to call.
    static bool IsBuiltRecord(const void* p);
    // A record pointer an object follows, before calling through it. Where it points into loaded
    // data, damage may have aimed it at any bytes there: it must be an already built record of
    // class T or one derived from it. Anything outside loaded data may have been made by the
    // engine at run time (a resource it built), which the loader has no say over.
    template <class T> static bool IsSoundRecordPointer(const T* p)
    {
        return !p || (IsLoadedData(p, 1) ? IsBuiltRecord(p) && IsOfClass(p) : true);
    }
    // The same for a pointer stored in loaded data, which the loader has fixed up (or damage has
    // left as raw bytes): outside loaded data it can only be an import, the value of a symbol the
    // engine published, of class T.
    template <class T> static bool IsSoundStoredPointer(const T* p)
    {
        return !p || ((IsLoadedData(p, 1) ? IsBuiltRecord(p) : IsPublishedObject(p)) && IsOfClass(p));
    }
    // True when p is the value of a symbol outside loaded data: an object the engine published.
    static bool IsPublishedObject(const void* p);

    struct ChunkKind; // how one chunk id of a block is read and kept

private:
    // Only for p known to be a built record or an object the engine made.
    template <class T> static bool IsOfClass(const T* p)
    {
        auto* record = static_cast<CZelStaticResource*>(const_cast<void*>(static_cast<const void*>(p)));
        return dynamic_cast<const T*>(record) == p;
    }

    CZelFile(const CZelFile&) = delete;
    CZelFile& operator=(const CZelFile&) = delete;

    struct Table {
        unsigned long* pWords = nullptr; // the count, then the entries
        unsigned long Bytes = 0;
        unsigned long Count() const { return pWords ? pWords[0] : 0; }
        unsigned long* Entries() const { return pWords + 1; }
    };
    enum TableId { TabOffs, TabPubl, TabExtn, TabType, TabHndl, TabCount };

    static void ReadPackIndex();
    static bool FindInPack(unsigned long key, unsigned long& offset);
    int LoadFromPack(unsigned long offset);
    int LoadLoose(const char* asked, char* upperPath, char* lastComponent);

    int LoadChunks(CZRiffFile& riff);
    int LoadBlock(CZRiffFile& riff);
    bool ReadChunk(CZRiffFile& riff, const ChunkKind& kind, unsigned long size);
    bool ReadPayload(CZRiffFile& riff, void* dest, unsigned long length, bool compressed, unsigned long storedBytes);
    static bool ReadOddTail(CKzqCompressor& decompressor, unsigned char* out, unsigned long bytes);
    void CheckTable(TableId table, const char* id);
    bool HasBlock() const;
    CZelFile* AddChainedFile();

    void FixupOffsets();
    void FixupImports();
    void FixupExports();
    void FixupHandles();
    void ConstructTypes();
    bool ListRecords();
    void BuildRecords(size_t listed);
    void SkipUnknownType(unsigned long key, unsigned long& place);
    void CheckTypedExtents();
    void ReleaseTemporary();
    void DestroyTypes(int segment);
    void ClearExports(int segment);
    void FreeTable(TableId table);

    unsigned char* Place(unsigned long place, unsigned long width, const char* what);
    unsigned char* PlaceQuick(unsigned long place, unsigned long width, const char* what);
    [[noreturn]] void Damaged(const char* format, ...);

    CZelFile* pNext;
    unsigned char* pSegment[SegCount];
    Table Tables[TabCount];
    char* pName;
    unsigned long SegmentSize[SegCount];
    CZelFile* pNextLive;
    // The records this file builds, by address, each marked once its constructor has run: a
    // level holds hundreds of thousands, and a sorted array costs one allocation where a hashed
    // set costs one per record.
    struct RecordMark {
        const void* at;
        bool built;
        bool operator<(const RecordMark& other) const { return at < other.at; }
    };
    std::vector<RecordMark> BuiltRecords;

    static unsigned long ChunkCategories;
    static void (*pHackCallback)();
    static unsigned long* pPackPairs;
    static unsigned long PackPairCount;
    static unsigned long PackBucketStart[ZelFormat::kPackBuckets];
    static bool bPackIndexRead;
    static CZRiffFile ZlpkFile;
    static CZelFile* pFirstLive;
};
