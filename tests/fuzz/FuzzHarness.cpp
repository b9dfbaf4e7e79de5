#include "FuzzHarness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace mgfuzz {

namespace {

// fuzz.sh has the sanitizers end a process that drew a report with this code.
const int kSanitizerExit = 99;
const int kFatalExit = 3;
const int kSkipped = 77;
const long kBatch = 250;

enum class Outcome { Ok, Refused, Crash, Hang, Sanitizer, OtherExit };

const char* Describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return "read";
    case Outcome::Refused:
        return "refused (fatal error)";
    case Outcome::Crash:
        return "CRASH";
    case Outcome::Hang:
        return "HANG (time-out)";
    case Outcome::Sanitizer:
        return "SANITIZER REPORT";
    case Outcome::OtherExit:
        return "UNEXPECTED EXIT";
    }
    return "?";
}

unsigned TimeoutSeconds()
{
    const char* text = getenv("MG_FUZZ_TIMEOUT");
    const int seconds = text ? atoi(text) : 0;
    return seconds > 0 ? static_cast<unsigned>(seconds) : 30;
}

// A case's own seed: the run's seed and the case's index mixed, so neighbouring cases differ.
unsigned long long CaseSeed(unsigned long long seed, long index)
{
    unsigned long long x = seed * 0x9E3779B97F4A7C15ULL + static_cast<unsigned long long>(index) + 1;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ULL;
    return x ^ (x >> 29);
}

Bytes CaseInput(const Reader& reader, unsigned long long seed, long index)
{
    const Bytes& original = reader.Corpus[static_cast<size_t>(index) % reader.Corpus.size()];
    return reader.Mutate(original, CaseSeed(seed, index));
}

// Runs body in a child whose output goes to errorPath (stderr, where sanitizers report) and to
// nowhere (stdout), under an alarm that ends a hung child.
Outcome RunInChild(const std::function<void()>& body, unsigned seconds, const std::string& errorPath)
{
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, 1);
        dup2(error >= 0 ? error : null, 2);
        alarm(seconds);
        body();
        fflush(stdout);
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        ;
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? Outcome::Hang : Outcome::Crash;
    switch (WEXITSTATUS(status)) {
    case 0:
        return Outcome::Ok;
    case kFatalExit:
        return Outcome::Refused;
    case kSanitizerExit:
        return Outcome::Sanitizer;
    default:
        return Outcome::OtherExit;
    }
}

bool IsFinding(const Reader& reader, Outcome outcome)
{
    return !(outcome == Outcome::Ok || (outcome == Outcome::Refused && reader.MayEndProcess));
}

void ReportFinding(const Reader& reader, unsigned long long seed, long index, Outcome outcome, const Bytes& input,
                   const std::string& folder, const std::string& errorPath)
{
    mkdir(folder.c_str(), 0755); // made on the first finding only, so a clean run leaves none
    const std::string stem = folder + "/" + reader.Name + "-" + std::to_string(seed) + "-" + std::to_string(index);
    WriteWholeFile(stem + ".input", input);
    const Bytes error = ReadWholeFile(errorPath);
    WriteWholeFile(stem + ".log", error);
    printf("FINDING %s case %ld: %s; input %s.input, output %s.log\n", reader.Name.c_str(), index, Describe(outcome),
           stem.c_str(), stem.c_str());
    const size_t shown = std::min<size_t>(error.size(), 1500);
    if (shown)
        printf("%.*s\n", static_cast<int>(shown), error.data());
}

} // namespace

Bytes MutateBinary(const Bytes& original, unsigned long long caseSeed)
{
    std::mt19937_64 random(caseSeed);
    Bytes bytes = original;
    const unsigned long interesting[] = {0,
                                         1,
                                         2,
                                         3,
                                         0x7F,
                                         0x80,
                                         0xFF,
                                         0x7FFF,
                                         0x8000,
                                         0xFFFF,
                                         0x7FFFFFFF,
                                         0x80000000,
                                         0xFFFFFFFF,
                                         0x0FFFFFFF,
                                         0x10000000,
                                         0xF0000000,
                                         static_cast<unsigned long>(original.size())};
    auto at = [&](size_t size) { return size ? static_cast<size_t>(random() % size) : 0; };
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int change = 0; change < changes; ++change) {
        switch (random() % 7) {
        case 0: // flipped bits
            if (!bytes.empty())
                bytes[at(bytes.size())] ^= static_cast<char>(1u << (random() % 8));
            break;
        case 1: // an interesting word, little-endian or big-endian
            if (bytes.size() >= 4) {
                const size_t p = at(bytes.size() - 3);
                const unsigned long value = interesting[random() % std::size(interesting)];
                const bool big = random() % 4 == 0;
                for (int i = 0; i < 4; ++i)
                    bytes[p + i] = static_cast<char>(value >> (8 * (big ? 3 - i : i)));
            }
            break;
        case 2: // a random byte
            if (!bytes.empty())
                bytes[at(bytes.size())] = static_cast<char>(random());
            break;
        case 3: // cut short
            bytes.resize(at(bytes.size() + 1));
            break;
        case 4: // a range removed
            if (!bytes.empty()) {
                const size_t p = at(bytes.size());
                bytes.erase(p, 1 + random() % 64);
            }
            break;
        case 5: // a range repeated
            if (!bytes.empty()) {
                const size_t p = at(bytes.size());
                const Bytes piece = bytes.substr(p, 1 + random() % 256);
                bytes.insert(at(bytes.size() + 1), piece);
            }
            break;
        default: // random bytes inserted
            bytes.insert(at(bytes.size() + 1), Bytes(1 + random() % 8, static_cast<char>(random())));
            break;
        }
    }
    return bytes;
}

Bytes MutateText(const Bytes& original, unsigned long long caseSeed, const std::vector<std::string>& tokens)
{
    std::mt19937_64 random(caseSeed ^ 0x5DEECE66DULL);
    if (random() % 3 == 0)
        return MutateBinary(original, caseSeed);
    Bytes text = original;
    auto at = [&](size_t size) { return size ? static_cast<size_t>(random() % size) : 0; };
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int change = 0; change < changes; ++change) {
        switch (random() % 5) {
        case 0: // a token spliced in
            text.insert(at(text.size() + 1), " " + tokens[random() % tokens.size()] + " ");
            break;
        case 1: { // a token replaced by another
            const size_t p = at(text.size());
            const size_t end = text.find_first_of(" \t\r\n", p);
            text.replace(p, (end == Bytes::npos ? text.size() : end) - p, tokens[random() % tokens.size()]);
            break;
        }
        case 2: { // a line repeated elsewhere
            const size_t p = text.rfind('\n', at(text.size()));
            const size_t start = p == Bytes::npos ? 0 : p + 1;
            const size_t end = text.find('\n', start);
            const Bytes line = text.substr(start, (end == Bytes::npos ? text.size() : end + 1) - start);
            text.insert(at(text.size() + 1), line);
            break;
        }
        case 3: { // a line removed
            const size_t p = text.rfind('\n', at(text.size()));
            const size_t start = p == Bytes::npos ? 0 : p + 1;
            const size_t end = text.find('\n', start);
            text.erase(start, (end == Bytes::npos ? text.size() : end + 1) - start);
            break;
        }
        default:
            text = MutateBinary(text, random());
            break;
        }
    }
    return text;
}

int Run(const Reader& reader, long count, unsigned long long seed, const std::string& findingsFolder)
{
    // Beside the findings folder, so that runs of other readers sharing it never see it.
    const std::string errorPath = findingsFolder + ".stderr-" + reader.Name + "-" + std::to_string(getpid());
    const unsigned timeout = TimeoutSeconds();
    const long batch = reader.MayEndProcess ? 1 : kBatch;
    long read = 0, refused = 0, findings = 0;
    long nextProgress = count / 10;
    for (long start = 0; start < count; start += batch) {
        const long end = std::min(count, start + batch);
        auto runCases = [&](long first, long last) {
            return [&reader, seed, first, last] {
                for (long index = first; index < last; ++index)
                    reader.Read(CaseInput(reader, seed, index));
            };
        };
        const Outcome outcome =
            RunInChild(runCases(start, end), timeout * static_cast<unsigned>(end - start), errorPath);
        if (!IsFinding(reader, outcome)) {
            (outcome == Outcome::Ok ? read : refused) += end - start;
        } else {
            // The batch is run again one case at a time to name the cases at fault.
            for (long index = start; index < end; ++index) {
                const Outcome single =
                    end - start == 1 ? outcome : RunInChild(runCases(index, index + 1), timeout, errorPath);
                if (IsFinding(reader, single)) {
                    ++findings;
                    ReportFinding(reader, seed, index, single, CaseInput(reader, seed, index), findingsFolder,
                                  errorPath);
                } else {
                    ++(single == Outcome::Ok ? read : refused);
                }
            }
        }
        if (end >= nextProgress && end < count) {
            printf("  %s: %ld of %ld cases\n", reader.Name.c_str(), end, count);
            fflush(stdout);
            nextProgress += std::max(1L, count / 10);
        }
    }
    unlink(errorPath.c_str());
    printf("%s: %ld cases from seed %llu: %ld read, %ld refused cleanly, %ld findings (crash, hang or sanitizer "
           "report)\n",
           reader.Name.c_str(), count, seed, read, refused, findings);
    printf("%ld passed, %ld failed\n", count - findings, findings);
    return findings == 0 ? 0 : 1;
}

int Main(int argc, char** argv, const std::vector<Reader>& readers)
{
    const char* name = argc > 1 ? argv[1] : "";
    for (const Reader& reader : readers) {
        if (reader.Name != name)
            continue;
        const long count = argc > 2 ? atol(argv[2]) : 1000;
        const unsigned long long seed = argc > 3 ? strtoull(argv[3], nullptr, 10) : 1;
        const std::string folder = argc > 4 ? argv[4] : "fuzz-findings";
        // A reader whose inputs all come from the third-party test data has none where that
        // folder is missing: the run is skipped (the exit code CTest is told means "skipped").
        if (reader.Corpus.empty()) {
            fprintf(stderr, "%s: no inputs to mutate (is the test data in %s there?); skipped\n", name,
                    MG_TESTDATA_DIR);
            return kSkipped;
        }
        return Run(reader, count, seed, folder);
    }
    fprintf(stderr, "usage: %s READER [COUNT] [SEED] [FINDINGS_FOLDER]\nreaders:", argv[0]);
    for (const Reader& reader : readers)
        fprintf(stderr, " %s", reader.Name.c_str());
    fprintf(stderr, "\n");
    return 2;
}

Bytes ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace mgfuzz
