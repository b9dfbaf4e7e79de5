// Parses generated files of 1x, 2x and 4x the base size through the parser interface, with a
// statements grammar and with the converter's script grammar. After the runs a table gives
// MB/s and lines/s per size and each size's time as a ratio of the 1x time: on ordinary input
// backtracking must keep these near 2 and 4.
#include "qvrn/FileFunctions.h"
#include "qvrn/ParserInterface.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

const int kBaseStatements = 4000;

std::string Statements(int count)
{
    std::string out;
    char line[256];
    for (int i = 0; i < count; ++i) {
        switch (i % 5) {
        case 0:
            snprintf(line, sizeof line, "total%d = (a%d + %d.5) * b - c / 7 %% 3; // running sum\n", i, i, i);
            break;
        case 1:
            snprintf(line, sizeof line, "print(\"value\", total%d, f(x, y + %d));\n", i - 1, i);
            break;
        case 2:
            snprintf(line, sizeof line, "if (total%d >= %d) { count = count + 1; } else limit = 0;\n", i - 2, i);
            break;
        case 3:
            snprintf(line, sizeof line, "while (n < %d) { n = n * 2 + 1; log(n); }\n", i);
            break;
        default:
            snprintf(line, sizeof line, "elsewhere%d = whileLoop + iffy - %d;\n", i, i);
            break;
        }
        out += line;
    }
    return out;
}

// Script statements of the kinds a game's data files are made of.
std::string Script(int count)
{
    std::string out;
    char line[256];
    for (int i = 0; i < count; ++i) {
        switch (i % 6) {
        case 0:
            snprintf(line, sizeof line, "Texture tree%d tree%d.bmp ALPHA MIPS=ON\n", i, i);
            break;
        case 1:
            snprintf(line, sizeof line, "Mesh house%d house%d.lwo SORT=ALPHA ZBUFFER=ON // the house\n", i, i);
            break;
        case 2:
            snprintf(line, sizeof line, "Sound boom%d boom%d.wav Volume=0.5 Loop\n", i, i);
            break;
        case 3:
            snprintf(line, sizeof line, "Sprite anim spr%d { a%d.bmp 0.1 b%d.bmp 0.2 } SCALE=2,3\n", i, i, i);
            break;
        case 4:
            snprintf(line, sizeof line, "AnimTable table%d { ANIM%d { One, Two, Three } }\n", i, i);
            break;
        default:
            snprintf(line, sizeof line, "String s%d \"hello %d\"\n", i, i);
            break;
        }
        out += line;
    }
    return out;
}

struct Result {
    double seconds = 0;
    long runs = 0;
    size_t bytes = 0;
    int lines = 0;
};

std::map<std::pair<int, int>, Result> g_results;
std::string g_images[2];
const char* const kGrammarNames[2] = {"statements", "script"};

// range(0): the grammar (0 statements, 1 script); range(1): the size factor.
void Parse(benchmark::State& state)
{
    int grammar = static_cast<int>(state.range(0));
    int factor = static_cast<int>(state.range(1));
    std::string text = grammar == 0 ? Statements(kBaseStatements * factor) : Script(kBaseStatements * factor);
    const std::string& image = g_images[grammar];
    ParserInterface* parser = GetParserInterface();
    if (image.empty() || !parser->LoadGrammarImage(image.data(), static_cast<long>(image.size()))) {
        state.SkipWithError("grammar image did not load");
        ReleaseParserInterface(parser);
        return;
    }
    Result& result = g_results[{grammar, factor}];
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        parser->SetInputBuffer(text.c_str());
        int state_ = parser->RunParse();
        result.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++result.runs;
        if (state_ != 1 || parser->GetErrorCount() != 0)
            state.SkipWithError("the generated input did not parse");
    }
    result.bytes = text.size();
    result.lines = kBaseStatements * factor;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    ReleaseParserInterface(parser);
}

BENCHMARK(Parse)->ArgsProduct({{0, 1}, {1, 2, 4}})->Unit(benchmark::kMillisecond);

std::string ReadImage(const char* path)
{
    char* bytes = *path ? LoadFile(path) : nullptr;
    std::string image = bytes ? std::string(bytes, GetFileSize(path)) : std::string();
    free(bytes);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    g_images[0] = ReadImage(MG_BENCH_GRAMMAR);
    g_images[1] = ReadImage(MG_BENCH_SCRIPT_GRAMMAR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printf("\n%-11s %-5s %10s %8s %10s %11s\n", "grammar", "size", "bytes", "MB/s", "lines/s", "time vs 1x");
    for (const auto& [key, r] : g_results) {
        const Result& base = g_results[{key.first, 1}];
        if (!r.runs || !base.runs)
            continue;
        double perRun = r.seconds / r.runs;
        printf("%-11s %dx    %10zu %8.2f %10.0f %11.2f\n", kGrammarNames[key.first], key.second, r.bytes,
               r.bytes / perRun / 1e6, r.lines / perRun, perRun / (base.seconds / base.runs));
    }
    return 0;
}
