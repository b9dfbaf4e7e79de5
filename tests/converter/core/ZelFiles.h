#pragma once
// Helpers for tests that write packed data files: a scratch folder, the file's bytes, the
// bytes of one chunk found by its path of ids, the independent Python chunk walker, and the
// golden bytes of the smallest labelled file.
#include "../../support/RunCommand.h"
#include "../../support/TestScratch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdlib.h>
#include <string>
#include <vector>

namespace zelfiles {

typedef std::vector<uint8_t> Bytes;

// The whole file for one public string "Greeting" holding "Hello" with its debug label: the
// writer, the element database and a converter run must each produce exactly these bytes.
inline Bytes GreetingFile()
{
    return {'R',  'I',  'F',  'F',  0x60, 0,    0,   0,    'Z', 'E', 'L',  '2', 'L',  'I', 'S', 'T', 0x54, 0,
            0,    0,    'P',  'C',  'X',  ' ',  'T', 'Y',  'P', 'E', 0x0C, 0,   0,    0,   1,   0,   0,    0,
            0x69, 0xEF, 0x44, 0x2D, 0,    0,    0,   0x20, 'P', 'U', 'B',  'L', 0x0C, 0,   0,   0,   1,    0,
            0,    0,    0x02, 0x39, 0x6A, 0x40, 0,   0,    0,   0,   'D',  'A', 'T',  'A', 6,   0,   0,    0,
            'H',  'e',  'l',  'l',  'o',  0,    'E', 'X',  'T', 'A', 0x11, 0,   0,    0,   0,   0,   0,    0,
            0x02, 0x39, 0x6A, 0x40, 'G',  'r',  'e', 'e',  't', 'i', 'n',  'g', 0,    0};
}

inline std::string ScratchFolder()
{
    std::string folder = mgtest::ProcessScratch() + "/scratch_XXXXXX";
    if (!mkdtemp(&folder[0]))
        ADD_FAILURE() << "cannot create " << folder;
    return folder;
}

inline Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t Word(const Bytes& bytes, size_t at)
{
    uint32_t word = 0;
    if (at + 4 <= bytes.size())
        memcpy(&word, &bytes[at], 4);
    return word;
}

// The data of the first chunk along path ("LIST/DATA" descends into the first LIST chunk);
// empty when there is none.
inline Bytes Chunk(const Bytes& file, const std::string& path)
{
    size_t begin = 12, end = file.size();
    std::string rest = path;
    while (!rest.empty()) {
        const std::string id = rest.substr(0, 4);
        rest = rest.size() > 5 ? rest.substr(5) : "";
        bool found = false;
        for (size_t at = begin; at + 8 <= end;) {
            const uint32_t size = Word(file, at + 4);
            if (memcmp(&file[at], id.data(), 4) == 0 && at + 8 + size <= end) {
                const bool list = id == "LIST";
                begin = at + 8 + (list ? 4 : 0);
                end = at + 8 + size;
                found = true;
                break;
            }
            at += 8 + size + (size & 1);
        }
        if (!found)
            return Bytes();
    }
    return Bytes(file.begin() + begin, file.begin() + end);
}

inline std::vector<uint32_t> Words(const Bytes& bytes)
{
    std::vector<uint32_t> words(bytes.size() / 4);
    if (!words.empty())
        memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

// The chunk tree as riff_walk.py prints it, or its complaint.
inline std::string Walk(const std::string& path)
{
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR +
                                                         "/converter/core/riff_walk.py '" + path + "' 2>&1");
    return run.exitCode == 0 ? run.output : "walker failed: " + run.output;
}

// A compressed chunk's stream decoded by the core's independent Python decoder.
inline Bytes PythonDecode(const Bytes& chunk, const std::string& scratch)
{
    const std::string stream = scratch + "/stream.kzq";
    {
        std::ofstream out(stream, std::ios::binary);
        out.write(reinterpret_cast<const char*>(chunk.data()) + 4, chunk.size() - 4);
    }
    const mgtest::CommandResult run =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/core/kzq_decode.py '" + stream + "'");
    return run.exitCode == 0 ? Bytes(run.output.begin(), run.output.end()) : Bytes();
}

} // namespace zelfiles
