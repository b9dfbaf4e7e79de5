// Loads a generated level of more than 50 MB of records and 820,000 fixups in place, and
// compares the time with merely reading and decompressing the same file: in-place loading
// exists to run close to that bound. Two data sets: records whose payload repeats (the stream
// is mostly one copy token per record) and records of varied vertex-like payload compressed by
// the converter's own compressor, which compresses like real levels. The two sides alternate,
// several times each; the table gives the slowest, median and fastest time of each.
//   zelbench/bin/bench_zel_load [repetitions]
#include "BenchStats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <mg_win32.h>

#include "core/compress/CKzqCompressor.h"
#include "core/heap/ZHeap.h"
#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

const DWORD kMemorySize[2] = {640u * 1024u * 1024u, 0};
const unsigned long kRecords = 820000; // 64 bytes each: 52 MB of records
const unsigned long kRecordWords = 16;
const unsigned long kExportEvery = 100;
const char* const kLevelName = "benchlevel.zel";

} // namespace

extern "C" const MG_RESOURCE MG_HOST_RESOURCES_SYMBOL[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {nullptr, nullptr, nullptr, 0},
};

#pragma pack(push, 1)
class CBenchRecord : public CZelStaticResource {
public:
    CBenchRecord() {}
    DWORD Index;
    CBenchRecord* pNext;
    DWORD Payload[13];
};
#pragma pack(pop)
static_assert(sizeof(CBenchRecord) == kRecordWords * 4, "one bench record");
ZEL_REGISTER_RECORD(CBenchRecord);

namespace {

void Put(std::vector<unsigned char>& out, unsigned long word)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)(word >> (8 * i)));
}

void PutChunk(std::vector<unsigned char>& out, const char* id, const std::vector<unsigned char>& data)
{
    out.insert(out.end(), id, id + 4);
    Put(out, data.size());
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);
}

// The word stream of the compressor: each record's first three words are literals and the
// other thirteen repeat the previous record's (one token of distance 16, length 13).
std::vector<unsigned char> CompressRecords(const std::vector<unsigned long>& words)
{
    std::vector<unsigned short> out = {0x07FF};
    std::vector<std::pair<bool, unsigned short>> items;
    for (unsigned long r = 0; r < kRecords; ++r) {
        const unsigned long* record = &words[r * kRecordWords];
        for (unsigned long w = 0; w < (r == 0 ? kRecordWords : 3); ++w) {
            items.push_back({false, (unsigned short)record[w]});
            items.push_back({false, (unsigned short)(record[w] >> 16)});
        }
        if (r > 0) {
            items.push_back({true, (unsigned short)((kRecordWords * 2) << 5 | 26)});
        }
    }
    items.push_back({true, 0});
    for (size_t g = 0; g < items.size(); g += 16) {
        unsigned short flags = 0;
        for (size_t n = 0; n < 16 && g + n < items.size(); ++n)
            if (items[g + n].first)
                flags |= (unsigned short)(0x8000 >> n);
        out.push_back(flags);
        for (size_t n = 0; n < 16 && g + n < items.size(); ++n)
            out.push_back(items[g + n].second);
    }
    std::vector<unsigned char> bytes;
    Put(bytes, kRecords * kRecordWords * 4);
    for (unsigned short w : out) {
        bytes.push_back((unsigned char)w);
        bytes.push_back((unsigned char)(w >> 8));
    }
    return bytes;
}

int CollectStream(void* user, void* buffer, int count)
{
    std::vector<unsigned char>* out = static_cast<std::vector<unsigned char>*>(user);
    out->insert(out->end(), static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + count);
    return count;
}

// The same records through the converter's compressor, as the converter writes a segment.
std::vector<unsigned char> CompressWithKzq(const std::vector<unsigned long>& words)
{
    std::vector<uint32_t> bytes(words.begin(), words.end());
    std::vector<unsigned char> out;
    Put(out, kRecords * kRecordWords * 4);
    CKzqCompressor compressor;
    compressor.Compress(CollectStream, &out, 3);
    compressor.Write(bytes.data(), static_cast<int>(bytes.size() * 4));
    compressor.Compress(nullptr, nullptr, 0);
    return out;
}

// Payload words of a record as level data holds them: positions, normals and texture
// coordinates as floats, small indices and flags, zero padding.
void FillVaried(unsigned long* record, unsigned long r)
{
    for (unsigned long w = 3; w < kRecordWords; ++w) {
        float value = 0;
        if (w < 9)
            value = std::sin(static_cast<float>(r * 7 + w)) * 40.0f + static_cast<float>(r % 13);
        else if (w < 12)
            value = static_cast<float>((r + w) % 17) * 0.25f;
        unsigned long bits = 0;
        std::memcpy(&bits, &value, 4);
        record[w] = w == 12 ? (r % 31) << 16 | (w * 3) : w > 12 ? 0 : bits;
    }
}

std::vector<unsigned char> Pairs(const std::vector<std::pair<unsigned long, unsigned long>>& pairs)
{
    std::vector<unsigned char> out;
    Put(out, pairs.size());
    for (const auto& p : pairs) {
        Put(out, p.first);
        Put(out, p.second);
    }
    return out;
}

void WriteLevel(const std::string& path, bool varied)
{
    std::vector<unsigned long> words(kRecords * kRecordWords, 0x5EED5EED);
    std::vector<std::pair<unsigned long, unsigned long>> types, exports, handles;
    std::vector<unsigned char> offs;
    Put(offs, kRecords);
    for (unsigned long r = 0; r < kRecords; ++r) {
        unsigned long at = r * kRecordWords * 4;
        words[r * kRecordWords] = 0;
        words[r * kRecordWords + 1] = r;
        words[r * kRecordWords + 2] = (r + 1) % kRecords * kRecordWords * 4;
        Put(offs, at + 8);
        if (varied)
            FillVaried(&words[r * kRecordWords], r);
        types.push_back({CCRC32::GetCRC("CBenchRecord"), at});
        if (r % kExportEvery == 0) {
            char name[32];
            std::snprintf(name, sizeof name, "Bench%lu", r);
            exports.push_back({CCRC32::GetCRC(name), at});
            handles.push_back({CCRC32::GetCRC(name), at + 12});
        }
    }
    std::vector<unsigned char> block = {'P', 'C', 'X', ' '};
    PutChunk(block, "TYPE", Pairs(types));
    PutChunk(block, "HNDL", Pairs(handles));
    PutChunk(block, "OFFS", offs);
    PutChunk(block, "PUBL", Pairs(exports));
    PutChunk(block, "EXTN", Pairs({}));
    PutChunk(block, "DATX", varied ? CompressWithKzq(words) : CompressRecords(words));
    std::vector<unsigned char> top = {'Z', 'E', 'L', '2'};
    PutChunk(top, "LIST", block);
    std::vector<unsigned char> file;
    PutChunk(file, "RIFF", top);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

int ReadCompressed(void* user, void* buffer, int count)
{
    CZRiffFile* riff = static_cast<CZRiffFile*>(user);
    unsigned long left = riff->GetCurrentChunk()->size - riff->Tell();
    unsigned long n = (unsigned long)count < left ? (unsigned long)count : left;
    if (n == 0)
        return 0;
    return riff->Read(buffer, n, false) ? -1 : int(n);
}

unsigned long g_BytesDecoded = 0;
unsigned long g_LastIndex = 0;

// The bound: every chunk read into heap memory and the segment decompressed, nothing patched.
void ReadAndDecompress(const char* path)
{
    g_BytesDecoded = 0;
    CZRiffFile riff;
    if (!riff.Open(path, CZRiffFile::MakeFourCC("ZEL2")) || !riff.Descend(CZRiffFile::MakeFourCC("LIST"), 0, true))
        std::abort();
    while (ZRIFFCKINFO* chunk = riff.Descend(0, 0, true)) {
        if (chunk->id == CZRiffFile::MakeFourCC("DATX")) {
            unsigned long length = 0;
            riff.Read(&length, 4, false);
            void* data = zmalloc(length);
            CKzqCompressor decompressor;
            decompressor.Decompress(ReadCompressed, &riff);
            for (unsigned long done = 0; done < length; done += 0x100000) {
                unsigned long slice = length - done < 0x100000 ? length - done : 0x100000;
                int got = decompressor.Read(static_cast<char*>(data) + done, int(slice));
                g_BytesDecoded += got > 0 ? unsigned(got) : 0;
            }
            decompressor.Decompress(nullptr, nullptr);
            zfree(data);
        } else {
            void* data = zmalloc(chunk->size);
            riff.Read(data, chunk->size, false);
            zfree(data);
        }
        riff.Ascend();
    }
}

// The last exported record's pointer leads to the next record: the pointers were relocated.
void CheckLoaded()
{
    char last[32];
    std::snprintf(last, sizeof last, "Bench%lu", (kRecords - 1) / kExportEvery * kExportEvery);
    const CBenchRecord* record = static_cast<const CBenchRecord*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(last)));
    g_LastIndex = record && record->pNext ? record->pNext->Index : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? atoi(argv[1]) : 5;
    if (repetitions < 1) {
        std::fprintf(stderr, "usage: bench_zel_load [repetitions]\n");
        return 1;
    }
    std::string path = std::string(ZEL_BENCH_DATA) + "/" + kLevelName;
    char mapped[512];
    CZFile::GetPath(mapped, CZFile::kInDataFolder);
    std::string windowsPath = std::string(mapped) + kLevelName;
    CZelFile::LoadChunkCategories(0x11);
    std::printf("level: %lu records of %lu bytes, %lu pointer fixups, %lu exports and handles; %d runs of each side,\n"
                "alternating; times in seconds\n\n",
                kRecords, kRecordWords * 4, kRecords, kRecords / kExportEvery, repetitions);
    std::printf("%-9s %10s %-20s %8s %8s %8s %8s\n", "data", "file bytes", "side", "min", "median", "max", "ratio");
    for (bool varied : {false, true}) {
        WriteLevel(path, varied);
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        const long long fileBytes = static_cast<long long>(file.tellg());
        BenchTimes bound, load;
        for (int run = 0; run < repetitions; ++run) {
            bound.Add(TimeOnce([&] { ReadAndDecompress(windowsPath.c_str()); }));
            // Both runs must have done the whole work: every byte decoded, every pointer relocated.
            if (g_BytesDecoded != kRecords * kRecordWords * 4) {
                std::fprintf(stderr, "bench_zel_load: %lu bytes decoded\n", g_BytesDecoded);
                return 1;
            }
            CZelFile* level = new CZelFile;
            load.Add(TimeOnce([&] { level->Load(kLevelName); }));
            CheckLoaded();
            delete level; // unloading is not timed
            if (g_LastIndex != (kRecords - 1) / kExportEvery * kExportEvery + 1) {
                std::fprintf(stderr, "bench_zel_load: pointers not relocated (index %lu)\n", g_LastIndex);
                return 1;
            }
        }
        const char* name = varied ? "varied" : "repeating";
        std::printf("%-9s %10lld %-20s %8.3f %8.3f %8.3f\n", name, fileBytes, "read and decompress", bound.Min(),
                    bound.Median(), bound.Max());
        std::printf("%-9s %10lld %-20s %8.3f %8.3f %8.3f %8.2f\n", name, fileBytes, "load in place", load.Min(),
                    load.Median(), load.Max(), load.Median() / bound.Median());
    }
    return 0;
}
