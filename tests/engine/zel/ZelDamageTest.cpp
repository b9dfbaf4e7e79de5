// Damaged packed files: thousands of seeded mutations of valid files (plain and compressed
// segments) must each load or end with the loader's fatal error (exit code 3), never crash.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ZelTestSupport.h"
#include "engine/zel/CZelFile.h"

namespace {

const int kMutationsPerShard = 250;

std::vector<unsigned char> ReadFixture(const char* name)
{
    std::ifstream in(std::string(ZEL_FIXTURE_DIR) + "/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void PutWord(std::vector<unsigned char>& bytes, size_t at, unsigned long value)
{
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = (unsigned char)(value >> (8 * i));
}

// One to four changes: a flipped byte, a word set to a value that stresses counts, sizes and
// place words, or a cut tail.
std::vector<unsigned char> Mutate(std::vector<unsigned char> bytes, std::mt19937& random)
{
    const unsigned long interesting[] = {0,          1,          3,          0x7FFFFFFF, 0xFFFFFFFF,
                                         0x0FFFFFFF, 0x10000000, 0x30000000, 0xF0000000, (unsigned long)bytes.size()};
    int changes = 1 + int(random() % 4);
    for (int c = 0; c < changes && !bytes.empty(); ++c) {
        size_t at = random() % bytes.size();
        switch (random() % 4) {
        case 0:
            bytes[at] ^= (unsigned char)(1u << (random() % 8));
            break;
        case 1:
            PutWord(bytes, at & ~size_t(3), interesting[random() % std::size(interesting)]);
            break;
        case 2:
            PutWord(bytes, at & ~size_t(3), random());
            break;
        default:
            bytes.resize(at);
            break;
        }
    }
    return bytes;
}

// Loads and unloads the files one after the other in a child process; returns its wait status.
int LoadInChild(const std::vector<std::string>& relativeNames)
{
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        dup2(null, 1);
        for (const std::string& name : relativeNames) {
            if (&name != &relativeNames.front())
                GObject::DestroyObjects();
            CZelFile* file = new CZelFile;
            file->Load(name.c_str());
            delete file;
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Each case mutates one base file with its own seed, so that the cases run side by side.
struct DamageShard {
    const char* base;
    unsigned seed;
};

class ZelDamage : public ::testing::TestWithParam<DamageShard> {};

TEST_P(ZelDamage, SeededMutationsLoadOrFailCleanly)
{
    CZelFile::LoadChunkCategories(0x11);
    GObject::InitEditableInfo();
    const DamageShard shard = GetParam();
    std::string name = "mutants/m" + std::to_string(getpid()) + ".zel";
    std::string path = std::string(ZEL_FIXTURE_DIR) + "/" + name;
    std::vector<unsigned char> original = ReadFixture(shard.base);
    ASSERT_FALSE(original.empty()) << shard.base;
    int status = LoadInChild({shard.base});
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shard.base;
    int loaded = 0;
    int refused = 0;
    std::mt19937 random(shard.seed);
    for (int i = 0; i < kMutationsPerShard; ++i) {
        std::vector<unsigned char> bytes = Mutate(original, random);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        status = LoadInChild({name});
        ASSERT_TRUE(WIFEXITED(status)) << shard.base << " seed " << shard.seed << " mutation " << i
                                       << " died by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        int code = WEXITSTATUS(status);
        ASSERT_TRUE(code == 0 || code == 3)
            << shard.base << " seed " << shard.seed << " mutation " << i << " exit code " << code;
        (code == 0 ? loaded : refused)++;
    }
    std::remove(path.c_str());
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

// The plain and the compressed-segment file, six seeds each: small shards keep each test
// process short on a loaded machine.
std::vector<DamageShard> Shards()
{
    std::vector<DamageShard> shards;
    for (const char* base : {"mutants/base.zel", "mutants/base_x.zel"})
        for (unsigned seed = 20261210; seed < 20261216; ++seed)
            shards.push_back(DamageShard{base, seed});
    return shards;
}

INSTANTIATE_TEST_SUITE_P(Shards, ZelDamage, ::testing::ValuesIn(Shards()),
                         [](const ::testing::TestParamInfo<DamageShard>& info) {
                             std::string kind =
                                 std::string(info.param.base).find("_x") == std::string::npos ? "Plain" : "Compressed";
                             return kind + "Seed" + std::to_string(info.param.seed);
                         });

// Files the fuzzing found to crash the engine, kept as found, each loaded after the level it was
// made from (a file that unloads leaves nothing behind that the next one trips over): they load
// or are refused. Objects of the level are shown from their resources, skeletons from their
// nodes' resources and animation, which the damage points at records never built.
TEST(ZelDamagedFiles, FoundByFuzzingLoadOrFailCleanly)
{
    CZelFile::LoadChunkCategories(0x11);
    GObject::InitEditableInfo();
    const std::string name = "mutants/found" + std::to_string(getpid()) + ".zel";
    for (const char* found : {"resource-unbuilt.zel", "skeleton-animation-unbuilt.zel",
                              "skeleton-node-resource-unbuilt.zel", "label-of-unloaded-file.zel"}) {
        std::ifstream in(std::string(MG_TESTS_DIR) + "/engine/zel/damaged/" + found, std::ios::binary);
        std::ofstream(std::string(ZEL_FIXTURE_DIR) + "/" + name, std::ios::binary) << in.rdbuf();
        const int status = LoadInChild({"demo/figure.zel", name});
        EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3))
            << found << ": status " << status;
    }
    std::remove((std::string(ZEL_FIXTURE_DIR) + "/" + name).c_str());
}

} // namespace
