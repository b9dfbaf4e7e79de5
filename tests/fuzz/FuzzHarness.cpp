#include "FuzzHarness.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

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

// Runs body in a child whose output goes to errorPath (stderr, where sanitizers report) and to
// nowhere (stdout).
Outcome RunInChild(const std::function<void()>& body, const std::string& errorPath)
{
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, 1);
        dup2(error >= 0 ? error : null, 2);
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

// What a child tells the driver: the case it is reading and how many of its cases were refused,
// in memory shared across fork, so that a child that ends in the middle of its batch still
// names the case at fault.
struct ChildProgress {
    long Current;
    long Refused;
};

ChildProgress& SharedProgress()
{
    static void* shared =
        mmap(nullptr, sizeof(ChildProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        perror("shared progress");
        std::exit(2);
    }
    return *static_cast<ChildProgress*>(shared);
}

// Set while a child reads a case: where the reader's fatal error returns to.
sigjmp_buf* g_RefusalReturn = nullptr;

// A refusal abandons what the reader held (memory, open files): a child whose leftovers have
// grown ends its batch early, and the next child starts clean.
bool ChildIsWorn()
{
    const int fd = dup(0);
    if (fd >= 0)
        close(fd);
#if defined(__SANITIZE_ADDRESS__)
    if (__sanitizer_get_current_allocated_bytes() > (512u << 20))
        return true;
#endif
    return fd > 256;
}

// Cases first..last-1 one after the other, each under its own alarm, so a hung case ends
// the child with SIGALRM while the progress names it.
std::function<void()> CasesInChild(const Reader& reader, unsigned long long seed, long first, long last,
                                   unsigned timeout)
{
    return [&reader, seed, first, last, timeout] {
        ChildProgress& progress = SharedProgress();
        progress.Refused = 0;
        long index = first;
        for (; index < last; ++index) {
            progress.Current = index;
            const Bytes input = CaseInput(reader, seed, index);
            sigjmp_buf refusal;
            if (sigsetjmp(refusal, 0) == 0) {
                g_RefusalReturn = reader.MayEndProcess ? &refusal : nullptr;
                alarm(timeout);
                reader.Read(input);
            } else {
                ++progress.Refused;
            }
            alarm(0);
            g_RefusalReturn = nullptr;
            if (ChildIsWorn()) {
                ++index;
                break;
            }
        }
        progress.Current = index;
    };
}

bool IsFinding(const Reader& reader, Outcome outcome)
{
    return !(outcome == Outcome::Ok || (outcome == Outcome::Refused && reader.MayEndProcess));
}

void ReportFinding(const Reader& reader, unsigned long long seed, long index, Outcome outcome, const Bytes& input,
                   const std::string& folder, const std::string& errorPath, const char* note)
{
    mkdir(folder.c_str(), 0755); // made on the first finding only, so a clean run leaves none
    const std::string stem = folder + "/" + reader.Name + "-" + std::to_string(seed) + "-" + std::to_string(index);
    WriteWholeFile(stem + ".input", input);
    const Bytes error = ReadWholeFile(errorPath);
    WriteWholeFile(stem + ".log", error);
    printf("FINDING %s case %ld: %s%s; input %s.input, output %s.log\n", reader.Name.c_str(), index, Describe(outcome),
           note, stem.c_str(), stem.c_str());
    // The report comes last: the cases before it in the same child may have written warnings.
    const size_t shown = std::min<size_t>(error.size(), 3000);
    if (shown)
        printf("%.*s\n", static_cast<int>(shown), error.data() + error.size() - shown);
}

// The case at which a child that began at first ended with a finding. Earlier cases ran in the
// same child: the case is tried alone, and a fault that needs them is still reported, with the
// output of the child that showed it.
void ReportEndedCase(const Reader& reader, unsigned long long seed, long first, long at, Outcome outcome,
                     const std::string& folder, const std::string& errorPath, unsigned timeout)
{
    const Bytes input = CaseInput(reader, seed, at);
    if (at == first) {
        ReportFinding(reader, seed, at, outcome, input, folder, errorPath, "");
        return;
    }
    const std::string singlePath = errorPath + "-alone";
    const Outcome single = RunInChild(CasesInChild(reader, seed, at, at + 1, timeout), singlePath);
    if (IsFinding(reader, single)) {
        ReportFinding(reader, seed, at, single, input, folder, singlePath, "");
    } else {
        const std::string note = " after cases " + std::to_string(first) + " to " + std::to_string(at - 1) +
                                 " in the same process (alone it is " + Describe(single) + ")";
        ReportFinding(reader, seed, at, outcome, input, folder, errorPath, note.c_str());
    }
    unlink(singlePath.c_str());
}

} // namespace

Bytes CaseInput(const Reader& reader, unsigned long long seed, long index)
{
    const Bytes& original = reader.Corpus[static_cast<size_t>(index) % reader.Corpus.size()];
    return reader.Mutate(original, CaseSeed(seed, index));
}

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
    const time_t started = time(nullptr);
    long read = 0, refused = 0, findings = 0;
    long nextProgress = count / 10;
    // A child reads a batch of cases; one that ends early (a refusal that is the fatal error, a
    // crash, a hang, a sanitizer report) names the case it was reading, and the next child
    // goes on from the case after it.
    for (long next = 0; next < count;) {
        const long end = std::min(count, next + kBatch);
        ChildProgress& progress = SharedProgress();
        progress = {next, 0};
        const Outcome outcome = RunInChild(CasesInChild(reader, seed, next, end, timeout), errorPath);
        refused += progress.Refused;
        if (outcome == Outcome::Ok) {
            read += progress.Current - next - progress.Refused;
            next = progress.Current;
        } else {
            const long at = std::min(end - 1, std::max(next, progress.Current));
            read += at - next - progress.Refused;
            if (IsFinding(reader, outcome)) {
                ++findings;
                ReportEndedCase(reader, seed, next, at, outcome, findingsFolder, errorPath, timeout);
            } else {
                ++refused;
            }
            next = at + 1;
        }
        if (next >= nextProgress && next < count) {
            printf("  %s: %ld of %ld cases\n", reader.Name.c_str(), next, count);
            fflush(stdout);
            nextProgress = next + std::max(1L, count / 10);
        }
    }
    unlink(errorPath.c_str());
    const long seconds = static_cast<long>(time(nullptr) - started);
    printf("%s: %ld cases from seed %llu: %ld read, %ld refused cleanly, %ld findings (crash, hang or sanitizer "
           "report); %ld s, %.1f cases a second\n",
           reader.Name.c_str(), count, seed, read, refused, findings, seconds,
           static_cast<double>(count) / static_cast<double>(std::max(1L, seconds)));
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

// The readers' fatal error ends the process with exit code 3 through the C library's exit. A
// child reading a case returns from it to its case loop instead and goes on with the next case:
// under emulation a new process costs as much as many cases, and most damaged scripts, packed
// files and models are refused. Any other exit is the C library's.
extern "C" [[noreturn]] void exit(int code) noexcept
{
    if (code == mgfuzz::kFatalExit && mgfuzz::g_RefusalReturn != nullptr)
        siglongjmp(*mgfuzz::g_RefusalReturn, 1);
    static const auto libraryExit = reinterpret_cast<void (*)(int)>(dlsym(RTLD_NEXT, "exit"));
    libraryExit(code);
    _exit(code);
}
