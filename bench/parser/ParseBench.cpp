// Parses generated files of 1x, 2x and 4x the base size through the parser interface, with a
// statements grammar and with the converter's script grammar, each size several times. The
// script input is also parsed by a flex+bison parser of the same statement forms that builds a
// tree of about the same size, alternating with ours in the same run. The table gives the
// minimum, median and maximum time of each side, MB/s and lines/s from the median, each size's
// median as a ratio of the 1x median (on ordinary input backtracking must keep these near 2 and
// 4) and, for the script input, our median as a multiple of the peer's.
//   build/bin/parser_bench [repetitions]
#include "BenchStats.h"
#include "ScriptPeer.h"
#include "qvrn/FileFunctions.h"
#include "qvrn/ParserInterface.h"

#include <cstdio>
#include <cstdlib>
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

struct Side {
    BenchTimes times;
    long nodes = 0;
};

std::string ReadImage(const char* path)
{
    char* bytes = *path ? LoadFile(path) : nullptr;
    std::string image = bytes ? std::string(bytes, GetFileSize(path)) : std::string();
    free(bytes);
    return image;
}

void Fail(const char* what)
{
    fprintf(stderr, "parser_bench: %s\n", what);
    exit(1);
}

void PrintSide(const char* grammar, int factor, const char* side, const Side& s, size_t bytes, int lines,
               double baseMedian)
{
    const double median = s.times.Median();
    printf("%-11s %dx   %-5s %9zu %8ld %9.3f %9.3f %9.3f %7.3f %9.0f %8.2f\n", grammar, factor, side, bytes, s.nodes,
           s.times.Min(), median, s.times.Max(), bytes / median / 1e6, lines / median, median / baseMedian);
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? atoi(argv[1]) : 5;
    if (repetitions < 1)
        Fail("usage: parser_bench [repetitions]");
    const char* const grammarNames[2] = {"statements", "script"};
    const std::string images[2] = {ReadImage(MG_BENCH_GRAMMAR), ReadImage(MG_BENCH_SCRIPT_GRAMMAR)};
    printf("%d runs per size, ours and the peer alternating; times in seconds\n\n", repetitions);
    printf("%-11s %-4s %-5s %9s %8s %9s %9s %9s %7s %9s %8s\n", "grammar", "size", "side", "bytes", "nodes", "min",
           "median", "max", "MB/s", "lines/s", "vs 1x");
    for (int grammar = 0; grammar < 2; ++grammar) {
        if (images[grammar].empty())
            continue;
        ParserInterface* parser = GetParserInterface();
        if (!parser->LoadGrammarImage(images[grammar].data(), static_cast<long>(images[grammar].size())))
            Fail("grammar image did not load");
        double baseOurs = 0, basePeer = 0;
        for (int factor : {1, 2, 4}) {
            const int lines = kBaseStatements * factor;
            const std::string text = grammar == 0 ? Statements(lines) : Script(lines);
            Side ours, peer;
            std::vector<PeerNode> peerNodes;
            for (int run = 0; run < repetitions; ++run) {
                ours.times.Add(TimeOnce([&] {
                    parser->SetInputBuffer(text.c_str());
                    if (parser->RunParse() != 1 || parser->GetErrorCount() != 0)
                        Fail("the generated input did not parse");
                }));
                ours.nodes = parser->GetNodeCount();
                if (grammar == 1) {
                    peer.times.Add(TimeOnce([&] {
                        if (!PeerParse(text.data(), text.size(), peerNodes))
                            Fail("the peer did not parse the generated input");
                    }));
                    peer.nodes = static_cast<long>(peerNodes.size());
                }
            }
            if (factor == 1) {
                baseOurs = ours.times.Median();
                basePeer = peer.times.Empty() ? 0 : peer.times.Median();
            }
            PrintSide(grammarNames[grammar], factor, "ours", ours, text.size(), lines, baseOurs);
            if (!peer.times.Empty()) {
                PrintSide(grammarNames[grammar], factor, "peer", peer, text.size(), lines, basePeer);
                printf("%-11s %dx   ours/peer (median) %.1f\n", grammarNames[grammar], factor,
                       ours.times.Median() / peer.times.Median());
            }
        }
        ReleaseParserInterface(parser);
    }
    return 0;
}
