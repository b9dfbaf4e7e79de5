// Converter throughput, run by hand:
//   build/bin/converter_bench [repetitions]
// 1. Converts generated level scripts with the wexlorn program, several times each: a folder of
//    many small scripts (1 MB in all) and single scripts of 1 MB and 2 MB (their times show
//    whether conversion is linear in size), and prints MB/s and statements/s.
// 2. Reads the engine's preprocessed record header with the converter's header reader, in
//    process, beside the compiler checking the syntax of the same file, and prints the ratio
//    (above 1: our reader is slower).
#include "BenchStats.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One level's worth of statements, numbered n: parameter blocks with every field kind (numbers,
// identifiers, name keys, strings, file names, arrays, players, labels, embedded blocks),
// derived blocks, a string, a binary, triggers and conditional text.
std::string Statements(int n)
{
    const std::string i = std::to_string(n);
    return "DefaultParams Base" + i + " GFoo { int Speed = " + i +
           "; float Size = 2.5; DWORD Mask = 0x10; long Count[2] = 7; unsigned long Flags = 3; "
           "id Kind = Walker; char* Name = \"Walker " +
           i + "\"; char* Model = model.bmp; CCRC32 Key = Walker" + i +
           "; player = 2; zellabel Tag = Chosen }\n"
           "EmbeddedParams Kid" +
           i + " GFoo { int A = " + i + "; float B[3] = 0.5 }\nLayoutParams Child" + i + " GFoo : Base" + i +
           " { int Speed = 5; embedded = Kid" + i + "; zellabel Tag }\nString Text" + i +
           " \"A line of text \\\"quoted\\\" number " + i + " that a menu might show\\n\"\nBinary Blob" + i +
           " blob.bin\nTrigger Action_" + std::to_string(n % 64) + " ESCAPE + SPACE onrelease = " + i +
           "\n#ifdef PCX\nMessage \"only on the PC\"\n#endif // platform\n";
}

const int kStatementsPerGroup = 9;

struct ScriptSet {
    std::string folder;
    size_t bytes = 0;
    size_t statements = 0;
};

// A folder of scripts of about `scriptBytes` each, `totalBytes` in all, with the files the
// statements name.
ScriptSet WriteScripts(const std::string& folder, size_t scriptBytes, size_t totalBytes)
{
    ScriptSet set;
    set.folder = folder;
    if (system(("mkdir -p '" + folder + "'").c_str()) != 0)
        exit(1);
    std::ofstream(folder + "/blob.bin", std::ios::binary) << std::string("binary data\0\1\2\3", 15);
    std::ofstream(folder + "/model.bmp", std::ios::binary) << "BM";
    int group = 0;
    for (int file = 0; set.bytes < totalBytes; ++file) {
        std::string text = "NoCompression\n";
        while (text.size() < scriptBytes && set.bytes + text.size() < totalBytes) {
            text += Statements(group++);
            set.statements += kStatementsPerGroup;
        }
        std::ofstream(folder + "/script" + std::to_string(file) + ".rhu", std::ios::binary) << text;
        set.bytes += text.size();
    }
    return set;
}

void BenchConversion(const char* name, const ScriptSet& set, int repetitions)
{
    // File names in scripts are found from the current folder.
    const std::string command = "cd '" + set.folder + "' && " MG_BINARY_DIR "/bin/wexlorn > /dev/null";
    BenchTimes times;
    for (int run = 0; run < repetitions; ++run) {
        int status = 0;
        times.Add(TimeOnce([&] { status = system(command.c_str()); }));
        if (status != 0) {
            printf("conversion failed with status %d\n", status);
            exit(1);
        }
    }
    const double mb = set.bytes / 1048576.0;
    printf("%-22s %7.2f MB %8zu statements: %7.3f %7.3f %7.3f s, %6.2f MB/s, %8.0f statements/s\n", name, mb,
           set.statements, times.Min(), times.Median(), times.Max(), mb / times.Median(),
           set.statements / times.Median());
}

void BenchHeaderReader(const std::string& folder)
{
    const std::string header = folder + "/rhutypes.i";
    const std::string preprocess = std::string(MG_CXX " -m32 -x c++ -E -P -DRHU_TYPEINFO ") +
                                   MG_SOURCE_DIR "/engine/include/RhuTypes.h -o '" + header + "'";
    if (system(preprocess.c_str()) != 0)
        exit(1);
    const int rounds = 20;
    Clock::time_point start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        TypeDatabase.Reset();
        LoadTypeInfo(header.c_str(), "");
    }
    const double ours = Seconds(start) / rounds;
    // The export marker means nothing to the compiler, and the name key and offset types are
    // builtins of the type database only.
    const std::string check = std::string(MG_CXX " -m32 -x c++ -fsyntax-only -D__rhuexport= "
                                                 "'-DCCRC32=unsigned long' '-Doffset=unsigned short' '") +
                              header + "'";
    start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        if (system(check.c_str()) != 0)
            exit(1);
    const double compiler = Seconds(start) / rounds;
    printf("record header: our reader %.2f ms, g++ -fsyntax-only %.2f ms, ratio %.2f\n", ours * 1000, compiler * 1000,
           ours / compiler);
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? atoi(argv[1]) : 3;
    if (repetitions < 1) {
        printf("usage: converter_bench [repetitions]\n");
        return 1;
    }
    VerboseLevel = 0;
    char pattern[] = "/tmp/converter_benchXXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    printf("%d conversions of each; times as min, median and max; rates from the median\n", repetitions);
    BenchConversion("many small scripts", WriteScripts(folder + "/many", 4096, 1 << 20), repetitions);
    BenchConversion("one script of 1 MB", WriteScripts(folder + "/one1", 1 << 20, 1 << 20), repetitions);
    BenchConversion("one script of 2 MB", WriteScripts(folder + "/one2", 2 << 20, 2 << 20), repetitions);
    BenchHeaderReader(folder);
    const std::string cleanup = "rm -rf '" + folder + "'";
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}
