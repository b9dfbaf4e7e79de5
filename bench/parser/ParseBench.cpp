// Parses generated statement files of 1x, 2x and 4x the base size through the parser
// interface. After the runs a table gives MB/s and lines/s per size and each size's time as a
// ratio of the 1x time: on ordinary input backtracking must keep these near 2 and 4.
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
        case 0: snprintf(line, sizeof line, "total%d = (a%d + %d.5) * b - c / 7 %% 3; // running sum\n", i, i, i); break;
        case 1: snprintf(line, sizeof line, "print(\"value\", total%d, f(x, y + %d));\n", i - 1, i); break;
        case 2: snprintf(line, sizeof line, "if (total%d >= %d) { count = count + 1; } else limit = 0;\n", i - 2, i); break;
        case 3: snprintf(line, sizeof line, "while (n < %d) { n = n * 2 + 1; log(n); }\n", i); break;
        default: snprintf(line, sizeof line, "elsewhere%d = whileLoop + iffy - %d;\n", i, i); break;
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

std::map<int, Result> g_results;
std::string g_image;

void ParseStatements(benchmark::State& state)
{
    int factor = static_cast<int>(state.range(0));
    std::string text = Statements(kBaseStatements * factor);
    ParserInterface* parser = GetParserInterface();
    if (!parser->LoadGrammarImage(g_image.data(), static_cast<long>(g_image.size()))) {
        state.SkipWithError("grammar image did not load");
        ReleaseParserInterface(parser);
        return;
    }
    Result& result = g_results[factor];
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

BENCHMARK(ParseStatements)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    char* image = LoadFile(MG_BENCH_GRAMMAR);
    if (!image) {
        fprintf(stderr, "cannot read %s\n", MG_BENCH_GRAMMAR);
        return 1;
    }
    g_image.assign(image, GetFileSize(MG_BENCH_GRAMMAR));
    free(image);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const Result& base = g_results[1];
    double baseTime = base.runs ? base.seconds / base.runs : 0;
    printf("\n%-6s %10s %10s %12s %14s\n", "size", "bytes", "MB/s", "lines/s", "time vs 1x");
    for (const auto& [factor, r] : g_results) {
        if (!r.runs || !baseTime)
            continue;
        double perRun = r.seconds / r.runs;
        printf("%dx     %10zu %10.2f %12.0f %14.2f\n", factor, r.bytes, r.bytes / perRun / 1e6, r.lines / perRun,
               perRun / baseTime);
    }
    return 0;
}
