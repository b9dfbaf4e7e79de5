#include "engine/zel/CZelFile.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/containers/ZChain.h"
#include "core/names/CCRC32.h"
#include "core/compress/CKzqCompressor.h"
#include "core/file/CZFile.h"
#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/devices/PlatformMemory.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelStaticResource.h"

namespace {

const unsigned long kPathMax = 512;
const unsigned long kSliceBytes = 0x100000;
// A compressed stream at the smallest window expands at most about 256 times (a 2-byte token
// yields up to 255 words); a stated length beyond that is damage, not data.
const unsigned long kMaxExpansion = 256;
// Marks a "TYPE" entry whose class has no constructor: the record was never built.
const unsigned long kSkippedPlace = 0xFFFFFFFF;

} // namespace

using namespace ZelFormat;

// Where a chunk of a block goes: a segment (0..3) or a table.
enum ChunkSlot { SlotSegment, SlotTable };

struct CZelFile::ChunkKind {
    unsigned long id;
    unsigned long mask;
    bool compressed;
    bool platformMemory;
    ChunkSlot slot;
    int index; // the segment number, or the table: 0 OFFS, 1 PUBL, 2 EXTN, 3 TYPE, 4 HNDL
};

namespace {

typedef CZelFile::ChunkKind ChunkKind;

const ChunkKind kChunkKinds[] = {
    {kTypeTable, 0x01, false, false, SlotTable, 3},
    {kHandleTable, 0x01, false, false, SlotTable, 4},
    {kOffsetTable, 0x01, false, false, SlotTable, 0},
    {kPublicTable, 0x01, false, false, SlotTable, 1},
    {kExternTable, 0x01, false, false, SlotTable, 2},
    {kSegmentChunks[kSegData].plain, 0x01, false, false, SlotSegment, kSegData},
    {kSegmentChunks[kSegTemp].plain, 0x01, false, false, SlotSegment, kSegTemp},
    {kSegmentChunks[kSegPlat].plain, 0x08, false, true, SlotSegment, kSegPlat},
    {kSegmentChunks[kSegData].compressed, 0x01, true, false, SlotSegment, kSegData},
    {kSegmentChunks[kSegTemp].compressed, 0x01, true, false, SlotSegment, kSegTemp},
    {kSegmentChunks[kSegPlat].compressed, 0x08, true, true, SlotSegment, kSegPlat},
    {kSegmentChunks[kSegExtra].plain, 0x12, false, false, SlotSegment, kSegExtra},
};

// Platform blocks: the list types of the top chunk's LIST chunks.
const struct {
    unsigned long type;
    unsigned long mask;
} kBlockKinds[] = {
    {kBlockAll, 0x01}, {kBlockWin, 0x02}, {kBlockPs2, 0x04}, {kBlockXbox, 0x08}, {kBlockPcx, 0x10},
};

const ChunkKind* FindKind(unsigned long id)
{
    for (const ChunkKind& kind : kChunkKinds)
        if (kind.id == id)
            return &kind;
    return nullptr;
}

bool BlockEnabled(unsigned long listType, unsigned long categories)
{
    for (const auto& block : kBlockKinds)
        if (block.type == listType)
            return (block.mask & categories) != 0;
    return false;
}

// The record class of a run of type entries, looked up again only when the class changes.
struct RecordRun {
    bool started = false;
    bool known = false;
    unsigned long key = 0;
    unsigned long size = 0;
    ZelInPlaceConstructor constructor = nullptr;

    bool Find(unsigned long classKey)
    {
        if (!started || classKey != key) {
            started = true;
            key = classKey;
            known = CZelFixupManager::GetRecordType(classKey, constructor, size);
        }
        return known;
    }
};

struct DecompressSource {
    CZRiffFile* pRiff;
    unsigned long left;
};

int ReadCompressedBytes(void* user, void* buffer, int byteCount)
{
    DecompressSource* source = static_cast<DecompressSource*>(user);
    unsigned long n = (unsigned long)byteCount < source->left ? (unsigned long)byteCount : source->left;
    if (n == 0)
        return 0;
    if (source->pRiff->Read(buffer, n, false))
        return -1;
    source->left -= n;
    return int(n);
}

} // namespace

unsigned long CZelFile::ChunkCategories = 1;
void (*CZelFile::pHackCallback)() = nullptr;
unsigned long* CZelFile::pPackPairs = nullptr;
unsigned long CZelFile::PackPairCount = 0;
unsigned long CZelFile::PackBucketStart[kPackBuckets] = {};
bool CZelFile::bPackIndexRead = false;
CZRiffFile CZelFile::ZlpkFile;
CZelFile* CZelFile::pFirstLive = nullptr;

CZelFile::CZelFile() : pNext(nullptr), pSegment{}, pName(nullptr), SegmentSize{}, pNextLive(pFirstLive)
{
    pFirstLive = this;
}

CZelFile::~CZelFile()
{
    delete pNext;
    DestroyTypes(SegData);
    ClearExports(SegData);
    DestroyTypes(SegExtra);
    ClearExports(SegExtra);
    zfree(pSegment[SegData]);
    zfree(pSegment[SegExtra]);
    zfree_plat(pSegment[SegPlat]);
    zfree(pSegment[SegTemp]);
    for (int t = 0; t < TabCount; ++t)
        FreeTable(TableId(t));
    delete[] pName;
    ChainRemove(pFirstLive, this, &CZelFile::pNextLive);
}

// ---------------------------------------------------------------------------------------------
// Finding the file: the pack first, then the hashed loose name, then the plain name.

void CZelFile::ReadPackIndex()
{
    bPackIndexRead = true;
    for (unsigned long& start : PackBucketStart)
        start = 0xFFFFFFFF;
    CZFile probe;
    if (probe.Open("zlp.zlp", CZFile::kRead | CZFile::kExists | CZFile::kInDataFolder) != 0)
        return;
    char path[kPathMax];
    CZFile::GetPath(path, CZFile::kInDataFolder);
    std::strncat(path, "zlp.zlp", kPathMax - std::strlen(path) - 1);
    const ZRIFFCKINFO* top = ZlpkFile.Open(path, kPackForm);
    if (!top)
        vbail("Cannot read ZLPK file");
    const unsigned long packEnd = top->dataStart + top->size;
    const ZRIFFCKINFO* index = ZlpkFile.Descend(kPackIndex, 0, true);
    if (!index || index->size < sizeof PackBucketStart + 8 || index->size > packEnd - index->dataStart)
        vbail("Cannot read ZLPK file");
    PackPairCount = (index->size - sizeof PackBucketStart) / 8;
    pPackPairs = new unsigned long[PackPairCount * 2];
    if ((ZlpkFile.Read(pPackPairs, PackPairCount * 8, false)) || ZlpkFile.Seek(index->size - sizeof PackBucketStart) ||
        (ZlpkFile.Read(PackBucketStart, sizeof PackBucketStart, false)))
        vbail("Cannot read ZLPK file");
    ZlpkFile.Ascend();
}

// A missing pack, an empty bucket or a start past the pairs all mean "not in the pack"; the
// walk never leaves the pairs that were read.
bool CZelFile::FindInPack(unsigned long key, unsigned long& offset)
{
    if (!bPackIndexRead)
        ReadPackIndex();
    unsigned long start = PackBucketStart[key & (kPackBuckets - 1)];
    if (!pPackPairs || start == 0xFFFFFFFF)
        return false;
    for (unsigned long i = start; i < PackPairCount && pPackPairs[2 * i] != 0; ++i) {
        if (pPackPairs[2 * i] == key) {
            offset = pPackPairs[2 * i + 1];
            return true;
        }
    }
    return false;
}

namespace {

// The name as the pack index and the loose files know it: upper case, folders separated by
// backslashes. Returns the start of its last component.
char* UpperName(const char* name, char* upper)
{
    char* last = upper;
    for (size_t i = 0;; ++i) {
        char c = name[i] == '/' ? '\\' : name[i];
        upper[i] = char(std::toupper((unsigned char)c));
        if (c == '\0')
            break;
        if (c == '\\')
            last = upper + i + 1;
    }
    return last;
}

// The loose file named after the name key of the last component, in the name's folder.
void HashedName(const char* upper, const char* last, char* hashed)
{
    size_t folderLength = size_t(last - upper);
    std::memcpy(hashed, upper, folderLength);
    std::snprintf(hashed + folderLength, kPathMax - folderLength, "%08lX.zlx", (unsigned long)CCRC32::GetCRC(last));
}

// Names come from packed data, which anyone may have written: they name files inside the data
// folder, never a folder above it or a path from the root or a drive.
bool StaysInDataFolder(const char* name)
{
    if (name[0] == '\\' || name[0] == '/' || (name[0] != '\0' && name[1] == ':'))
        return false;
    for (const char* part = name; *part != '\0';) {
        const size_t length = std::strcspn(part, "\\/");
        if (length == 2 && part[0] == '.' && part[1] == '.')
            return false;
        part += length;
        if (*part != '\0')
            ++part;
    }
    return true;
}

} // namespace

int CZelFile::Load(const char* name)
{
    size_t length = std::strlen(name);
    if (length >= kPathMax - 16)
        vbail("Cannot locate %s: the name is too long", name);
    if (!StaysInDataFolder(name))
        vbail("Cannot load %s: packed data names files inside the data folder only", name);
    delete[] pName;
    pName = new char[length + 1];
    std::memcpy(pName, name, length + 1);

    char upper[kPathMax];
    char* last = UpperName(name, upper);
    unsigned long offset = 0;
    if (FindInPack(CCRC32::GetCRC(upper), offset))
        return LoadFromPack(offset);
    return LoadLoose(name, upper, last);
}

bool CZelFile::Exists(const char* name)
{
    if (name == nullptr || std::strlen(name) >= kPathMax - 16 || !StaysInDataFolder(name))
        return false;
    char upper[kPathMax];
    char* last = UpperName(name, upper);
    unsigned long offset = 0;
    if (FindInPack(CCRC32::GetCRC(upper), offset))
        return true;
    char hashed[kPathMax];
    HashedName(upper, last, hashed);
    CZFile probe;
    return probe.Open(hashed, CZFile::kRead | CZFile::kExists | CZFile::kInDataFolder) == 0 ||
           probe.Open(upper, CZFile::kRead | CZFile::kExists | CZFile::kInDataFolder) == 0;
}

int CZelFile::LoadFromPack(unsigned long offset)
{
    CZRiffFile member;
    if (!member.Attach(&ZlpkFile, kPackForm))
        vbail("Bad duplicate");
    if (member.Seek(offset) || !member.Descend(kList, kFileForm, true))
        vbail("Cannot read ZLPK file");
    int result = LoadChunks(member);
    member.Close();
    return result;
}

int CZelFile::LoadLoose(const char* asked, char* upperPath, char* lastComponent)
{
    char hashed[kPathMax];
    HashedName(upperPath, lastComponent, hashed);

    const char* chosen = nullptr;
    CZFile probe;
    if (probe.Open(hashed, CZFile::kRead | CZFile::kExists | CZFile::kInDataFolder) == 0)
        chosen = hashed;
    else if (probe.Open(upperPath, CZFile::kRead | CZFile::kExists | CZFile::kInDataFolder) == 0)
        chosen = upperPath;
    else
        vbail("Cannot locate %s or %s", asked, hashed);

    char path[kPathMax];
    CZFile::GetPath(path, CZFile::kInDataFolder);
    std::strncat(path, chosen, kPathMax - std::strlen(path) - 1);
    CZRiffFile riff;
    if (!riff.Open(path, kFileForm))
        vbail("Cannot open %s", path);
    if (LoadChunks(riff) != 0)
        vbail("Cannot load %s", path);
    riff.Close();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading chunks.

bool CZelFile::HasBlock() const
{
    for (int s = 0; s < SegCount; ++s)
        if (pSegment[s])
            return true;
    for (int t = 0; t < TabCount; ++t)
        if (Tables[t].pWords)
            return true;
    return false;
}

CZelFile* CZelFile::AddChainedFile()
{
    CZelFile* file = new CZelFile;
    file->pName = new char[std::strlen(pName) + 1];
    std::strcpy(file->pName, pName);
    file->pNext = pNext;
    pNext = file;
    return file;
}

// The top chunk holds platform blocks (LIST chunks); the first enabled one loads into this
// object, each further one into a chained object. Loose chunks form one block of their own.
int CZelFile::LoadChunks(CZRiffFile& riff)
{
    const unsigned long topSize = riff.GetCurrentChunk()->size;
    for (;;) {
        unsigned long at = riff.Tell();
        if (at + 8 > topSize)
            return 0;
        ZRIFFCKINFO* chunk = riff.Descend(0, 0, true);
        if (!chunk)
            Damaged("unreadable chunk header at offset %lu", at);
        if (chunk->id != kList) {
            riff.Ascend();
            if (riff.Seek(at))
                Damaged("cannot seek back to offset %lu", at);
            return (HasBlock() ? AddChainedFile() : this)->LoadBlock(riff);
        }
        if (BlockEnabled(chunk->listType, ChunkCategories)) {
            if ((HasBlock() ? AddChainedFile() : this)->LoadBlock(riff) != 0)
                return 1;
        }
        riff.Ascend();
    }
}

int CZelFile::LoadBlock(CZRiffFile& riff)
{
    const ZRIFFCKINFO* block = riff.GetCurrentChunk();
    const unsigned long blockSize = block->size;
    const unsigned long blockEnd = block->dataStart + blockSize;
    for (;;) {
        unsigned long at = riff.Tell();
        if (at + 8 > blockSize)
            break;
        ZRIFFCKINFO* chunk = riff.Descend(0, 0, true);
        if (!chunk)
            Damaged("unreadable chunk header at offset %lu", at);
        if (chunk->dataStart + chunk->size > blockEnd || chunk->dataStart + chunk->size < chunk->dataStart)
            Damaged("chunk %s of %lu bytes runs past its block", CZRiffFile::FourCCToString(chunk->id),
                    (unsigned long)chunk->size);
        const ChunkKind* kind = FindKind(chunk->id);
        if (kind && (kind->mask & ChunkCategories) && !ReadChunk(riff, *kind, chunk->size))
            return 1;
        riff.Ascend();
    }
    FixupOffsets();
    FixupImports();
    FixupExports();
    FixupHandles();
    ConstructTypes();
    ReleaseTemporary();
    return 0;
}

bool CZelFile::ReadChunk(CZRiffFile& riff, const ChunkKind& kind, unsigned long size)
{
    const char* id = CZRiffFile::FourCCToString(kind.id);
    unsigned long length = size;
    if (kind.compressed) {
        if (size < 4 || (riff.Read(&length, 4, riff.IsBigEndian())))
            Damaged("compressed chunk %s has no length", id);
        if (length / kMaxExpansion > size)
            Damaged("compressed chunk %s states %lu bytes from %lu", id, length, size);
    }
    bool isTable = kind.slot == SlotTable;
    if (isTable ? Tables[kind.index].pWords != nullptr : pSegment[kind.index] != nullptr)
        Damaged("chunk %s appears twice in one block", id);

    void* data;
    if (kind.platformMemory)
        data = zmalloc_plat(length ? length : 1);
    else
        data = zmalloc(length ? length : 1);
    if (isTable) {
        Tables[kind.index].pWords = static_cast<unsigned long*>(data);
        Tables[kind.index].Bytes = length;
    } else {
        pSegment[kind.index] = static_cast<unsigned char*>(data);
        SegmentSize[kind.index] = length;
    }
    if (!ReadPayload(riff, data, length, kind.compressed, size - (kind.compressed ? 4 : 0)))
        Damaged("chunk %s cannot be read (%lu bytes)", id, length);
    if (isTable)
        CheckTable(TableId(kind.index), id);
    return true;
}

bool CZelFile::ReadPayload(CZRiffFile& riff, void* dest, unsigned long length, bool compressed,
                           unsigned long storedBytes)
{
    CKzqCompressor decompressor;
    DecompressSource source = {&riff, storedBytes};
    if (compressed && decompressor.Decompress(ReadCompressedBytes, &source))
        return false;
    bool ok = true;
    unsigned char* out = static_cast<unsigned char*>(dest);
    for (unsigned long done = 0; ok && done < length;) {
        unsigned long slice = length - done < kSliceBytes ? length - done : kSliceBytes;
        if (pHackCallback)
            pHackCallback();
        if (compressed) {
            // The decompressor hands out whole words; an odd length was rounded up when written.
            unsigned long even = (slice + 1) & ~1ul;
            if (even == slice)
                ok = decompressor.Read(out + done, int(slice)) == int(slice);
            else
                ok = ReadOddTail(decompressor, out + done, slice);
        } else {
            ok = !(riff.Read(out + done, slice, false));
        }
        done += slice;
    }
    if (compressed && decompressor.Decompress(nullptr, nullptr))
        ok = false;
    return ok;
}

bool CZelFile::ReadOddTail(CKzqCompressor& decompressor, unsigned char* out, unsigned long bytes)
{
    if (bytes > 1 && decompressor.Read(out, int(bytes - 1)) != int(bytes - 1))
        return false;
    unsigned char last[2];
    if (decompressor.Read(last, 2) != 2)
        return false;
    out[bytes - 1] = last[0];
    return true;
}

// Tables are a count and then entries of one word ("OFFS") or two words; the count must fit
// the bytes that were read.
void CZelFile::CheckTable(TableId table, const char* id)
{
    unsigned long bytes = Tables[table].Bytes;
    unsigned long entryBytes = table == TabOffs ? 4 : 8;
    if (bytes < 4)
        Damaged("table %s holds no count", id);
    unsigned long count = Tables[table].Count();
    if (count > (bytes - 4) / entryBytes)
        Damaged("table %s counts %lu entries in %lu bytes", id, count, bytes);
}

// ---------------------------------------------------------------------------------------------
// Fixups, in the order that lets imports see earlier files and constructors see finished data.

unsigned char* CZelFile::Place(unsigned long place, unsigned long width, const char* what)
{
    unsigned long segment = PlaceSegment(place);
    unsigned long offset = PlaceOffset(place);
    if (segment >= SegCount)
        Damaged("%s names segment %lu", what, segment);
    if (!pSegment[segment])
        return nullptr;
    if (offset > SegmentSize[segment] || width > SegmentSize[segment] - offset)
        Damaged("%s at %08lX lies outside its segment of %lu bytes", what, place, SegmentSize[segment]);
    return pSegment[segment] + offset;
}

// Place's common case without a call: a loaded segment and a field inside it. Anything else
// goes through Place, which reports damage.
inline unsigned char* CZelFile::PlaceQuick(unsigned long place, unsigned long width, const char* what)
{
    const unsigned long segment = PlaceSegment(place);
    const unsigned long offset = PlaceOffset(place);
    if (segment < SegCount && pSegment[segment] && offset <= SegmentSize[segment] &&
        width <= SegmentSize[segment] - offset)
        return pSegment[segment] + offset;
    return Place(place, width, what);
}

void CZelFile::FixupOffsets()
{
    const Table& table = Tables[TabOffs];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        unsigned char* field = PlaceQuick(table.Entries()[i], 4, "a pointer");
        if (!field)
            continue;
        unsigned long target;
        std::memcpy(&target, field, 4);
        if (unsigned char* address = PlaceQuick(target, 0, "a pointer's target")) {
            target = (unsigned long)(uintptr_t)address;
            std::memcpy(field, &target, 4);
        }
    }
    FreeTable(TabOffs);
}

void CZelFile::FixupImports()
{
    const Table& table = Tables[TabExtn];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        unsigned long key = table.Entries()[2 * i];
        if (unsigned char* field = Place(table.Entries()[2 * i + 1], 4, "an import")) {
            void* value = CZelFixupManager::GetAddress(key);
            std::memcpy(field, &value, 4);
        }
    }
    FreeTable(TabExtn);
}

void CZelFile::FixupExports()
{
    const Table& table = Tables[TabPubl];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        unsigned long key = table.Entries()[2 * i];
        unsigned char* record = Place(table.Entries()[2 * i + 1], 0, "an export");
        if (record && CZelFixupManager::IsRecordType(key))
            Damaged("an export would replace the record type %08lX", key);
        if (record)
            CZelFixupManager::SetAddress(key, record);
    }
}

void CZelFile::FixupHandles()
{
    const Table& table = Tables[TabHndl];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        unsigned long key = table.Entries()[2 * i];
        if (unsigned char* field = Place(table.Entries()[2 * i + 1], 4, "a handle")) {
            const HashEntry* entry = CZelFixupManager::GetHashEntry(key);
            std::memcpy(field, &entry, 4);
        }
    }
    FreeTable(TabHndl);
}

// A class the engine does not know has no constructor (value 0): its record is left unbuilt,
// reported, and marked so that unloading does not call a table pointer it never got. Records
// that overlap would overwrite each other's table pointers and fields, so they are refused
// before any is built. Constructors may check the records they point at, so every record is
// listed before any is built and marked once built: a constructor sees exactly the records
// built before it.
void CZelFile::ConstructTypes()
{
    const size_t first = BuiltRecords.size();
    if (!ListRecords())
        CheckTypedExtents();
    // In place order the records of one segment come by address already, and are then marked in
    // the order listed; only records of several segments need sorting and searching.
    const bool listedByAddress = std::is_sorted(BuiltRecords.begin(), BuiltRecords.end());
    if (!listedByAddress)
        std::sort(BuiltRecords.begin(), BuiltRecords.end());
    BuildRecords(listedByAddress ? first : BuiltRecords.size());
}

// Lists the records to build and refuses overlapping neighbours. Records come in runs of one
// class and in place order, so a class is looked up once per run and the overlap check needs
// no sorting: the answer is false when the order is broken and the records need sorting.
bool CZelFile::ListRecords()
{
    const Table& table = Tables[TabType];
    RecordRun run;
    unsigned long before = kSkippedPlace, beforeSize = 0;
    bool inOrder = true;
    for (unsigned long i = 0; i < table.Count(); ++i) {
        const unsigned long place = table.Entries()[2 * i + 1];
        if (!run.Find(table.Entries()[2 * i])) {
            SkipUnknownType(table.Entries()[2 * i], table.Entries()[2 * i + 1]);
            continue;
        }
        unsigned char* record = PlaceQuick(place, run.size < 4 ? 4 : run.size, "a typed record");
        if (!record)
            continue; // its segment is not loaded on this platform
        if (run.constructor)
            BuiltRecords.push_back(RecordMark{record, false});
        if (before != kSkippedPlace && place < before)
            inOrder = false;
        else if (inOrder && before != kSkippedPlace && PlaceSegment(before) == PlaceSegment(place) &&
                 before + beforeSize > place)
            Damaged("typed records at %08lX and %08lX overlap", before, place);
        before = place;
        beforeSize = run.size;
    }
    return inOrder;
}

// Builds the listed records in table order. From listed on, the marks are in that order;
// without a guide (listed at the end), each is searched for.
void CZelFile::BuildRecords(size_t listed)
{
    const Table& table = Tables[TabType];
    RecordRun run;
    for (unsigned long i = 0; i < table.Count(); ++i) {
        const unsigned long place = table.Entries()[2 * i + 1];
        unsigned char* segment = place == kSkippedPlace ? nullptr : pSegment[PlaceSegment(place)];
        if (!segment || !run.Find(table.Entries()[2 * i]) || !run.constructor)
            continue;
        unsigned char* record = segment + PlaceOffset(place);
        run.constructor(record);
        RecordMark* mark = listed < BuiltRecords.size() ? &BuiltRecords[listed++] : nullptr;
        if (!mark || mark->at != record)
            mark = &*std::lower_bound(BuiltRecords.begin(), BuiltRecords.end(), RecordMark{record, false});
        mark->built = true;
    }
}

void CZelFile::SkipUnknownType(unsigned long key, unsigned long& place)
{
    char message[160];
    std::snprintf(message, sizeof message, "%s: no record type registered for class key %08lX; record skipped", pName,
                  key);
    _puts(message);
    place = kSkippedPlace;
}

// Records out of place order: their extents, sorted, must not overlap.
void CZelFile::CheckTypedExtents()
{
    struct TypedExtent {
        unsigned long place;
        unsigned long size;
    };
    const Table& table = Tables[TabType];
    std::vector<TypedExtent> extents;
    RecordRun run;
    for (unsigned long i = 0; i < table.Count(); ++i) {
        const unsigned long place = table.Entries()[2 * i + 1];
        if (place != kSkippedPlace && pSegment[PlaceSegment(place)] && run.Find(table.Entries()[2 * i]))
            extents.push_back(TypedExtent{place, run.size});
    }
    std::sort(extents.begin(), extents.end(),
              [](const TypedExtent& a, const TypedExtent& b) { return a.place < b.place; });
    for (size_t i = 1; i < extents.size(); ++i) {
        const TypedExtent& before = extents[i - 1];
        if (PlaceSegment(before.place) == PlaceSegment(extents[i].place) &&
            before.place + before.size > extents[i].place)
            Damaged("typed records at %08lX and %08lX overlap", before.place, extents[i].place);
    }
}

void CZelFile::ReleaseTemporary()
{
    if (!pSegment[SegTemp])
        return;
    DestroyTypes(SegTemp);
    ClearExports(SegTemp);
    const unsigned char* begin = pSegment[SegTemp];
    const unsigned char* end = begin + SegmentSize[SegTemp];
    BuiltRecords.erase(std::lower_bound(BuiltRecords.begin(), BuiltRecords.end(), RecordMark{begin, false}),
                       std::lower_bound(BuiltRecords.begin(), BuiltRecords.end(), RecordMark{end, false}));
    zfree(pSegment[SegTemp]);
    pSegment[SegTemp] = nullptr;
    SegmentSize[SegTemp] = 0;
}

void CZelFile::DestroyTypes(int segment)
{
    if (!pSegment[segment])
        return;
    const Table& table = Tables[TabType];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        unsigned long place = table.Entries()[2 * i + 1];
        if (place != kSkippedPlace && PlaceSegment(place) == (unsigned long)segment)
            reinterpret_cast<CZelStaticResource*>(pSegment[segment] + (place & kPlaceOffsetMask))
                ->~CZelStaticResource();
    }
}

void CZelFile::ClearExports(int segment)
{
    if (!pSegment[segment])
        return;
    const Table& table = Tables[TabPubl];
    const unsigned char* begin = pSegment[segment];
    const unsigned char* end = begin + SegmentSize[segment];
    for (unsigned long i = 0; i < table.Count(); ++i) {
        if (PlaceSegment(table.Entries()[2 * i + 1]) != (unsigned long)segment)
            continue;
        HashEntry* entry = CZelFixupManager::pSymbolTable->Find(table.Entries()[2 * i]);
        const unsigned char* value = static_cast<const unsigned char*>(entry ? entry->value : nullptr);
        if (value >= begin && value <= end)
            entry->value = nullptr;
    }
}

void CZelFile::FreeTable(TableId table)
{
    zfree(Tables[table].pWords);
    Tables[table].pWords = nullptr;
    Tables[table].Bytes = 0;
}

// ---------------------------------------------------------------------------------------------
// Checks for records that follow pointers inside loaded data.

unsigned long CZelFile::BytesAvailable(const void* p)
{
    const unsigned char* at = static_cast<const unsigned char*>(p);
    for (CZelFile* file = pFirstLive; file; file = file->pNextLive)
        for (int s = 0; s < SegCount; ++s)
            if (file->pSegment[s] && at >= file->pSegment[s] && at < file->pSegment[s] + file->SegmentSize[s])
                return (unsigned long)(file->pSegment[s] + file->SegmentSize[s] - at);
    return 0;
}

const char* CZelFile::NameOf(const void* p)
{
    const unsigned char* at = static_cast<const unsigned char*>(p);
    for (CZelFile* file = pFirstLive; file; file = file->pNextLive)
        for (int s = 0; s < SegCount; ++s)
            if (file->pSegment[s] && at >= file->pSegment[s] && at < file->pSegment[s] + file->SegmentSize[s])
                return file->pName ? file->pName : "(unnamed)";
    return nullptr;
}

bool CZelFile::IsTypedRecord(const void* p, unsigned long classKey)
{
    const unsigned char* at = static_cast<const unsigned char*>(p);
    for (CZelFile* file = pFirstLive; file; file = file->pNextLive) {
        const Table& table = file->Tables[TabType];
        for (unsigned long i = 0; i < table.Count(); ++i) {
            const unsigned long place = table.Entries()[2 * i + 1];
            if (table.Entries()[2 * i] != classKey || place == kSkippedPlace)
                continue;
            if (PlaceSegment(place) >= SegCount)
                continue;
            const unsigned char* segment = file->pSegment[PlaceSegment(place)];
            if (segment && segment + (place & kPlaceOffsetMask) == at)
                return true;
        }
    }
    return false;
}

bool CZelFile::IsBuiltRecord(const void* p)
{
    for (CZelFile* file = pFirstLive; file; file = file->pNextLive) {
        auto mark = std::lower_bound(file->BuiltRecords.begin(), file->BuiltRecords.end(), RecordMark{p, false});
        if (mark != file->BuiltRecords.end() && mark->at == p)
            return mark->built;
    }
    return false;
}

bool CZelFile::IsPublishedObject(const void* p) { return CZelFixupManager::GetKey(const_cast<void*>(p)) != 0; }

bool CZelFile::IsLoadedData(const void* p, unsigned long length)
{
    return length <= BytesAvailable(p) && (length > 0 || BytesAvailable(p) > 0);
}

void CZelFile::Damaged(const char* format, ...)
{
    char detail[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(detail, sizeof detail, format, args);
    va_end(args);
    vbail("Cannot load %s: %s", pName ? pName : "(unnamed)", detail);
}
