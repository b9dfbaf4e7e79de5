// Our level-3 word compressor against zlib level 6 and LZ4 on three kinds of data, small and
// multi-megabyte: a packed-data-like binary, a text and a WAV. Each codec compresses and
// decompresses from memory, several times, alternating with the others in the same run; the
// table gives each one's throughput (slowest, median, fastest), ours as a multiple of the
// peers', and the compression ratios. zlib has an entropy stage and ours has none, so LZ4's
// decoder is the like-for-like peer for decoding speed.
//   build/bin/core_compressor_bench [repetitions]
#include "core/compress/CKzqCompressor.h"

#include "BenchStats.h"

#include <lz4.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

template <class T> void Append(std::string& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Records as a level file holds them: vertex grids of floats, handles, name keys, flags and
// zero padding, of the given size.
std::string PackedData(size_t size)
{
    std::string out;
    for (unsigned record = 0; out.size() < size; ++record) {
        Append(out, 0x80000000u | (record * 2654435761u >> 8));
        Append(out, record << 16 | 1);
        for (int v = 0; v < 24; ++v) {
            Append(out, static_cast<float>(record % 17) * 2.0f + v * 0.25f);
            Append(out, std::sin(static_cast<float>(v + record)) * 40.0f);
            Append(out, 0.0f);
            Append(out, static_cast<unsigned short>(v * 3));
            Append(out, static_cast<unsigned short>(0xFFFF));
        }
        out.append(12, '\0');
    }
    return out;
}

// The scene files of the test data, each once: plain text.
std::string Text()
{
    std::string text;
    for (const char* name : {"move_x.lws", "move_x_oldformat_56.lws", "move_x_oldformat_6.lws",
                             "move_x_post_constant.lws", "move_x_post_linear.lws", "move_x_post_offset_repeat.lws"})
        text += ReadFile(std::string(MG_TESTDATA_DIR) + "/lightwave/lws/" + name);
    return text;
}

std::string Wav() { return ReadFile(std::string(MG_TESTDATA_DIR) + "/wav/Front_Center.wav"); }

// Multi-megabyte inputs: the scene texts again and again with their digits drawn afresh on every
// copy, and the WAV's samples with a little noise added on every copy, so that no copy repeats
// an earlier one and the inputs compress as such files do.
unsigned NextRandom(unsigned& seed)
{
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
}

std::string BigText()
{
    const std::string text = Text();
    std::string out;
    unsigned seed = 1;
    while (!text.empty() && out.size() < (4u << 20)) {
        std::string copy = text;
        for (char& c : copy)
            if (c >= '0' && c <= '9')
                c = static_cast<char>('0' + NextRandom(seed) % 10);
        out += copy;
    }
    return out;
}

std::string BigWav()
{
    const std::string wav = Wav();
    std::string out;
    unsigned seed = 1;
    while (!wav.empty() && out.size() < (4u << 20)) {
        std::string copy = wav;
        for (size_t i = 44; i < copy.size(); i += 2)
            copy[i] = static_cast<char>(copy[i] ^ (NextRandom(seed) & 3));
        out += copy;
    }
    return out;
}

struct Input {
    const char* name;
    std::string data;
};

std::vector<Input>& Inputs()
{
    static std::vector<Input> inputs = [] {
        std::vector<Input> list = {{"packed", PackedData(512 * 1024)}, {"text", Text()},       {"wav", Wav()},
                                   {"packed-8M", PackedData(8 << 20)}, {"text-4M", BigText()}, {"wav-4M", BigWav()}};
        for (Input& input : list)
            input.data.resize(input.data.size() & ~size_t(1));
        return list;
    }();
    return inputs;
}

int Collect(void* user, void* buffer, int count)
{
    static_cast<std::string*>(user)->append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
}

std::string KzqCompress(const std::string& data)
{
    std::string out;
    CKzqCompressor compressor;
    compressor.Compress(Collect, &out, 3);
    compressor.Write(data.data(), static_cast<int>(data.size()));
    compressor.Compress(nullptr, nullptr, 0);
    return out;
}

struct Source {
    const std::string* bytes;
    size_t at;
};

int Supply(void* user, void* buffer, int count)
{
    Source* source = static_cast<Source*>(user);
    size_t take = std::min(source->bytes->size() - source->at, static_cast<size_t>(count));
    std::memcpy(buffer, source->bytes->data() + source->at, take);
    source->at += take;
    return static_cast<int>(take);
}

void KzqDecompress(const std::string& stream, std::string& out)
{
    Source source = {&stream, 0};
    CKzqCompressor decompressor;
    decompressor.Decompress(Supply, &source);
    decompressor.Read(&out[0], static_cast<int>(out.size()));
    decompressor.Decompress(nullptr, nullptr);
}

std::string ZlibCompress(const std::string& data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    out.resize(size);
    return out;
}

void ZlibInflate(const std::string& stream, std::string& out)
{
    uLongf size = out.size();
    uncompress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(stream.data()), stream.size());
}

std::string Lz4Compress(const std::string& data)
{
    std::string out(static_cast<size_t>(LZ4_compressBound(static_cast<int>(data.size()))), '\0');
    const int size =
        LZ4_compress_default(data.data(), &out[0], static_cast<int>(data.size()), static_cast<int>(out.size()));
    out.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return out;
}

void Lz4Decompress(const std::string& stream, std::string& out)
{
    LZ4_decompress_safe(stream.data(), &out[0], static_cast<int>(stream.size()), static_cast<int>(out.size()));
}

struct Codec {
    const char* name;
    std::string (*compress)(const std::string&);
    void (*decompress)(const std::string&, std::string&);
};

const Codec kCodecs[] = {
    {"kzq3", KzqCompress, KzqDecompress}, {"zlib6", ZlibCompress, ZlibInflate}, {"lz4", Lz4Compress, Lz4Decompress}};
const int kCodecCount = 3;

void PrintRow(const Input& input, const char* operation, const BenchTimes (&times)[kCodecCount])
{
    const double mb = input.data.size() / 1e6;
    printf("%-10s %-10s", input.name, operation);
    for (const BenchTimes& t : times)
        printf(" %7.1f %7.1f %7.1f", mb / t.Max(), mb / t.Median(), mb / t.Min());
    printf(" %8.2f %8.2f\n", times[1].Median() / times[0].Median(), times[2].Median() / times[0].Median());
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? atoi(argv[1]) : 5;
    if (repetitions < 1) {
        fprintf(stderr, "usage: core_compressor_bench [repetitions]\n");
        return 1;
    }
    printf("%d runs per input and operation, the three codecs alternating. MB/s as slowest, median and fastest;\n"
           "the last two columns are ours as a multiple of zlib's and of LZ4's median speed.\n\n",
           repetitions);
    printf("%-10s %-10s %23s %23s %23s %8s %8s\n", "input", "operation", "kzq3 MB/s", "zlib6 MB/s", "lz4 MB/s",
           "vs zlib", "vs lz4");
    std::vector<std::string> ratios;
    for (const Input& input : Inputs()) {
        std::string streams[kCodecCount];
        BenchTimes compress[kCodecCount], decompress[kCodecCount];
        std::string out(input.data.size(), '\0');
        for (int run = 0; run < repetitions; ++run)
            for (int c = 0; c < kCodecCount; ++c) {
                compress[c].Add(TimeOnce([&] { streams[c] = kCodecs[c].compress(input.data); }));
                out.assign(input.data.size(), '\0');
                decompress[c].Add(TimeOnce([&] { kCodecs[c].decompress(streams[c], out); }));
                if (out != input.data) {
                    fprintf(stderr, "core_compressor_bench: %s decoded %s wrongly\n", kCodecs[c].name, input.name);
                    return 1;
                }
            }
        PrintRow(input, "compress", compress);
        PrintRow(input, "decompress", decompress);
        char line[160];
        snprintf(line, sizeof line, "%-10s %10zu %8.2f %8.2f %8.2f", input.name, input.data.size(),
                 double(input.data.size()) / streams[0].size(), double(input.data.size()) / streams[1].size(),
                 double(input.data.size()) / streams[2].size());
        ratios.push_back(line);
    }
    printf("\n%-10s %10s %8s %8s %8s\n", "input", "bytes", "kzq3 x:1", "zlib x:1", "lz4 x:1");
    for (const std::string& line : ratios)
        printf("%s\n", line.c_str());
    return 0;
}
