// Damaged input never makes the readers touch memory outside their buffers, hang or crash:
// thousands of seeded mutations of valid compressed streams and chunk files are read back in
// full. Built twice: under the engine heap, and with AddressSanitizer over the C heap, where
// any stray read or write is caught.
#include "core/riff/CZRiffFile.h"

#include "ChunkTestUtil.h"
#include "KzqTestUtil.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string Mutate(const std::string& original, std::mt19937& rng)
{
    std::string bytes = original;
    std::uniform_int_distribution<int> byte(0, 255);
    auto at = [&](size_t size) { return std::uniform_int_distribution<size_t>(0, size ? size - 1 : 0)(rng); };
    switch (rng() % 5) {
    case 0: // a few flipped bytes
        for (int i = 1 + rng() % 4; i > 0 && !bytes.empty(); --i)
            bytes[at(bytes.size())] = static_cast<char>(byte(rng));
        break;
    case 1: // cut short
        bytes.resize(at(bytes.size()));
        break;
    case 2: // bytes inserted
        bytes.insert(at(bytes.size()), std::string(1 + rng() % 8, static_cast<char>(byte(rng))));
        break;
    case 3: // a whole 32-bit word replaced: sizes and tokens
        if (bytes.size() >= 4) {
            size_t p = at(bytes.size() - 3) & ~size_t(1);
            for (int i = 0; i < 4; ++i)
                bytes[p + i] = static_cast<char>(byte(rng));
        }
        break;
    default: // a range removed
        if (!bytes.empty()) {
            size_t p = at(bytes.size());
            bytes.erase(p, 1 + rng() % 16);
        }
    }
    return bytes;
}

TEST(Robustness, MutatedCompressedStreams)
{
    std::string data = SeededBytes(9, 3000) + std::string(3000, 'r') + "GObject GPosRot GPhysical GAttachable";
    data.resize(data.size() & ~size_t(1));
    std::mt19937 rng(12345);
    int refused = 0;
    for (int level = 0; level <= 3; ++level) {
        const std::string stream = KzqCompress(data, level, 4096).bytes;
        for (int trial = 0; trial < 800; ++trial) {
            std::string damaged = Mutate(stream, rng);
            bool ok = true;
            std::string out = KzqDecompress(damaged, 2 << (rng() % 14), ok, 1 + static_cast<int>(rng() % 20000));
            refused += ok ? 0 : 1;
            // A token can expand 2 bytes to at most 255 words.
            ASSERT_LE(out.size(), damaged.size() * 256);
        }
    }
    EXPECT_GT(refused, 500); // most damage is noticed; the rest decodes to other data
}

std::string ChunkBytes(const char* id, const std::string& data, bool bigEndian = false)
{
    std::string out(id, 4);
    unsigned long size = static_cast<unsigned long>(data.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(size >> (8 * (bigEndian ? 3 - i : i)));
    out += data;
    if (data.size() & 1)
        out += '\0';
    return out;
}

TEST(Robustness, MutatedChunkFiles)
{
    std::string inner = ChunkBytes("name", std::string("tree\0", 5)) +
                        ChunkBytes("LIST", "DATA" + ChunkBytes("odd1", "abc")) +
                        ChunkBytes("data", SeededBytes(5, 300));
    const std::string riff = ChunkBytes("RIFF", "TEST" + inner);
    const std::string form = ChunkBytes("FORM", "TEST" + ChunkBytes("COMM", "123456789", true), true) + riff;
    std::string path = ScratchDir("robust") + "/damaged.bin";
    std::mt19937 rng(777);
    for (const std::string* original : {&riff, &form}) {
        for (int trial = 0; trial < 1000; ++trial) {
            WriteWholeFile(path, Mutate(*original, rng));
            CZRiffFile reader;
            if (reader.Open(path.c_str(), CZRiffFile::MakeFourCC("TEST")) == nullptr)
                continue;
            int budget = 10000;
            WalkChunks(reader, 0, budget);
            ASSERT_GT(budget, 0) << "trial " << trial << " did not finish";
        }
    }
}

} // namespace
