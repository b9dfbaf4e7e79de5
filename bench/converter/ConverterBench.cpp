// Converter throughput, run by hand:
//   build/bin/converter_bench
// 1. Converts a generated folder of scripts (more than 10 MB of statements) with the wexlorn
//    program and prints MB/s and statements/s.
// 2. Reads the engine's preprocessed record header with the converter's header reader, in
//    process, beside the compiler checking the syntax of the same file, and prints the ratio
//    (above 1: our reader is slower).
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

// Scripts of string, trigger, preprocessor and message statements, in files of about 1 MB.
size_t WriteScripts(const std::string& folder, size_t& statements)
{
    size_t bytes = 0;
    statements = 0;
    for (int file = 0; bytes < 10u * 1024 * 1024 + 1; ++file) {
        std::ofstream out(folder + "/script" + std::to_string(file) + ".rhu", std::ios::binary);
        std::string text = "NoCompression\n";
        for (int n = 0; text.size() < 1024 * 1024; ++n) {
            text += "String Text_" + std::to_string(n) + " \"A line of text number " + std::to_string(n) +
                    " that a menu might show\\n\"\n";
            text +=
                "Trigger Action_" + std::to_string(n % 50) + " ESCAPE + SPACE onrelease = " + std::to_string(n) + "\n";
            text += "#ifdef PCX\nMessage \"only on the PC\"\n#endif // platform\n";
            statements += 5;
        }
        out << text;
        bytes += text.size();
    }
    return bytes;
}

void BenchConversion(const std::string& folder)
{
    size_t statements = 0;
    const size_t bytes = WriteScripts(folder, statements);
    const std::string command = std::string(MG_BINARY_DIR "/bin/wexlorn '") + folder + "' > /dev/null";
    const Clock::time_point start = Clock::now();
    const int status = system(command.c_str());
    const double seconds = Seconds(start);
    if (status != 0) {
        printf("conversion failed with status %d\n", status);
        exit(1);
    }
    printf("scripts: %.1f MB, %zu statements in %.2f s: %.2f MB/s, %.0f statements/s\n", bytes / 1048576.0, statements,
           seconds, bytes / 1048576.0 / seconds, statements / seconds);
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
    // The export marker means nothing to the compiler, and the name key type is a builtin of
    // the type database only.
    const std::string check = std::string(MG_CXX " -m32 -x c++ -fsyntax-only -D__rhuexport= "
                                                 "'-DCCRC32=unsigned long' '") +
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

int main()
{
    VerboseLevel = 0;
    char pattern[] = "/tmp/converter_benchXXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    BenchConversion(folder);
    BenchHeaderReader(folder);
    const std::string cleanup = "rm -rf '" + folder + "'";
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}
