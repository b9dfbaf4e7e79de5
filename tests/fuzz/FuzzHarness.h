#pragma once
// Runs seeded mutations of real inputs through one reader of outside data and reports every
// case that crashed, hung or drew a sanitizer report, with its input saved for reproduction.
// Case i of a run is a pure function of the seed and i, so a reported case is reproduced by
// running its index alone. Cases run in child processes, many to a child, each under its own
// time-out; a child that ends in the middle of its batch (a refusal that is the fatal error, or
// a finding) names the case it was reading, and the next child goes on after that case.
#include <functional>
#include <string>
#include <vector>

namespace mgfuzz {

using Bytes = std::string;

// Byte-level damage: flipped bits, words set to values that stress sizes and counts, cut
// tails, removed, repeated and inserted ranges.
Bytes MutateBinary(const Bytes& original, unsigned long long caseSeed);
// Text-level damage on top of that: tokens, numbers, quotes and lines from a list spliced in.
Bytes MutateText(const Bytes& original, unsigned long long caseSeed, const std::vector<std::string>& tokens);

struct Reader {
    std::string Name;
    std::vector<Bytes> Corpus;
    // Whether the reader may end the process with its fatal error (exit code 3): such a case
    // is a clean refusal, after which its child goes on with the next case.
    bool MayEndProcess = false;
    std::function<Bytes(const Bytes&, unsigned long long)> Mutate;
    // Reads one input; runs in a child process.
    std::function<void(const Bytes&)> Read;
};

// The input of case index of a run from seed.
Bytes CaseInput(const Reader& reader, unsigned long long seed, long index);

// Runs count cases from the seed on; prints a summary and one line per finding. The exit
// code is 0 when nothing was found.
int Run(const Reader& reader, long count, unsigned long long seed, const std::string& findingsFolder);

// The program's entry: READER COUNT SEED [FINDINGS_FOLDER] over the readers given.
int Main(int argc, char** argv, const std::vector<Reader>& readers);

Bytes ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const Bytes& bytes);

} // namespace mgfuzz
