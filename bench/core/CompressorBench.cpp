// Our level-3 word compressor against zlib level 6 on three kinds of data: a packed-data-like
// binary, a text and a WAV. Each side compresses and decompresses from memory; after the runs
// a table gives both throughputs, ours as a ratio of zlib's, and both compression ratios.
#include "core/compress/CKzqCompressor.h"

#include <benchmark/benchmark.h>
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
// zero padding, 512 KiB in all.
std::string PackedData()
{
    std::string out;
    for (unsigned record = 0; out.size() < 512 * 1024; ++record) {
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

struct Input {
    const char* name;
    std::string data;
};

std::vector<Input>& Inputs()
{
    static std::vector<Input> inputs = [] {
        std::vector<Input> list = {{"packed", PackedData()}, {"text", Text()}, {"wav", Wav()}};
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

std::map<std::string, double> g_CompressedSize;

void BM_Compress(benchmark::State& state, int inputIndex, bool ours)
{
    const Input& input = Inputs()[inputIndex];
    std::string stream;
    for (auto _ : state) {
        stream = ours ? KzqCompress(input.data) : ZlibCompress(input.data);
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.data.size()));
    state.counters["ratio"] = static_cast<double>(input.data.size()) / stream.size();
}

void BM_Decompress(benchmark::State& state, int inputIndex, bool ours)
{
    const Input& input = Inputs()[inputIndex];
    const std::string stream = ours ? KzqCompress(input.data) : ZlibCompress(input.data);
    std::string out(input.data.size(), '\0');
    for (auto _ : state) {
        if (ours)
            KzqDecompress(stream, out);
        else
            ZlibInflate(stream, out);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != input.data)
        state.SkipWithError("decoded data differs");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.data.size()));
    state.counters["ratio"] = static_cast<double>(input.data.size()) / stream.size();
}

// Prints as usual, then the comparison of every pair of runs.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto bytes = run.counters.find("bytes_per_second");
            auto ratio = run.counters.find("ratio");
            if (bytes != run.counters.end())
                m_Speed[run.benchmark_name()] = bytes->second.value;
            if (ratio != run.counters.end())
                m_Ratio[run.benchmark_name()] = ratio->second.value;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %-10s %12s %12s %10s %10s %10s\n", "input", "operation", "ours MB/s", "zlib MB/s",
                    "ours/zlib", "ours x:1", "zlib x:1");
        for (const Input& input : Inputs())
            for (const char* op : {"compress", "decompress"}) {
                std::string ours = std::string(op) + "/kzq3/" + input.name;
                std::string zlib = std::string(op) + "/zlib6/" + input.name;
                if (!m_Speed.count(ours) || !m_Speed.count(zlib))
                    continue;
                std::printf("%-8s %-10s %12.1f %12.1f %10.2f %10.2f %10.2f\n", input.name, op, m_Speed[ours] / 1e6,
                            m_Speed[zlib] / 1e6, m_Speed[ours] / m_Speed[zlib], m_Ratio[ours], m_Ratio[zlib]);
            }
    }

private:
    std::map<std::string, double> m_Speed;
    std::map<std::string, double> m_Ratio;
};

} // namespace

int main(int argc, char** argv)
{
    for (int i = 0; i < static_cast<int>(Inputs().size()); ++i) {
        std::string name = Inputs()[i].name;
        benchmark::RegisterBenchmark(("compress/kzq3/" + name).c_str(), BM_Compress, i, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("compress/zlib6/" + name).c_str(), BM_Compress, i, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("decompress/kzq3/" + name).c_str(), BM_Decompress, i, true)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("decompress/zlib6/" + name).c_str(), BM_Decompress, i, false)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
