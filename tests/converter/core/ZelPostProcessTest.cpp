// The release tools over finished packed data files: the pack file is checked by an
// independent reader of the pack layout, the combined file by reading its blocks back.
#include "converter/core/ZelPostProcess.h"

#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"

#include "../../support/RunCommand.h"
#include "FatalTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Chunk {
    const char* id;
    std::string bytes;
};

struct Block {
    const char* listType;
    std::vector<Chunk> chunks;
};

void WriteZel(const std::string& path, const std::vector<Block>& blocks, bool bareChunk = false)
{
    CZRiffFile file;
    ASSERT_NE(file.Create(path.c_str(), CZRiffFile::MakeFourCC("ZEL2")), nullptr) << path;
    if (bareChunk) {
        file.Descend(CZRiffFile::MakeFourCC("DATA"), 0, true);
        file.Write("x", 1);
        file.Ascend();
    }
    for (const Block& block : blocks) {
        file.Descend(CZRiffFile::MakeFourCC("LIST"), CZRiffFile::MakeFourCC(block.listType), true);
        for (const Chunk& chunk : block.chunks) {
            file.Descend(CZRiffFile::MakeFourCC(chunk.id), 0, true);
            file.Write(chunk.bytes.data(), static_cast<unsigned long>(chunk.bytes.size()));
            file.Ascend();
        }
        file.Ascend();
    }
    file.Close();
}

// The top-level blocks of a packed data file, with their chunks.
std::vector<Block> ReadBlocks(const std::string& path, std::vector<std::string>& listTypes)
{
    std::vector<Block> blocks;
    CZRiffFile file;
    EXPECT_NE(file.Open(path.c_str(), CZRiffFile::MakeFourCC("ZEL2")), nullptr) << path;
    static std::vector<std::string> ids;
    while (const ZRIFFCKINFO* list = file.Descend(0, 0, true)) {
        listTypes.push_back(CZRiffFile::FourCCToString(list->listType));
        Block block = {"", {}};
        while (const ZRIFFCKINFO* chunk = file.Descend(0, 0, true)) {
            ids.push_back(CZRiffFile::FourCCToString(chunk->id));
            std::string bytes(chunk->size, '\0');
            file.Read(&bytes[0], chunk->size, false);
            block.chunks.push_back({ids.back().c_str(), bytes});
            file.Ascend();
        }
        blocks.push_back(block);
        file.Ascend();
    }
    return blocks;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool Exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string RunPython(const std::string& arguments)
{
    const mgtest::CommandResult run =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR "/converter/core/zlp_reader.py " + arguments);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.output;
}

class ZelPostProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelpostXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        g_ZelOutputPrefix = m_Dir + "/";
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf " + m_Dir).c_str()), 0); }

    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }

    std::string m_Dir;
};

const Block PcxBlock = {"PCX ", {{"PUBL", std::string("\x01\x02\x03\x04", 4)}, {"DATA", "odd"}}};
const Block WinBlock = {"WIN ", {{"DATA", "windows"}}};

TEST_F(ZelPostProcess, PackIndexFindsEveryMemberInSortOrder)
{
    ASSERT_EQ(mkdir(Path("levels").c_str(), 0755), 0);
    WriteZel(Path("menu.zel"), {PcxBlock});
    WriteZel(Path("logo.zel"), {WinBlock, PcxBlock});
    WriteZel(Path("levels/a.zel"), {{"PCX ", {{"DATA", std::string(1001, 'a')}}}});
    // Lines not starting with a letter or digit are comments; the last line has no line end.
    WriteText(Path("pack.txt"), "; the pack\nmenu.zel\n levels\\b.zel\nlogo.zel\r\nlevels\\a.zel");

    BuildZelPack(Path("zlp.zlp").c_str(), Path("pack.txt").c_str());

    EXPECT_FALSE(Exists(Path("zlp.zlp.temp")));
    const std::string found =
        RunPython(Path("zlp.zlp") + " logo.zel=" + Path("logo.zel") + " MENU.ZEL=" + Path("menu.zel") +
                  " levels/a.zel=" + Path("levels/a.zel") + " nope.zel");
    // logo.zel holds 64 bytes behind its form type and menu.zel 36; each member adds a 12-byte
    // LIST header, and the first lies behind the index of 3 pairs (84 + 8 * 3).
    EXPECT_EQ(found, "found logo.zel at 108\n"
                     "found MENU.ZEL at 184\n"
                     "found levels/a.zel at 232\n"
                     "missing nope.zel\n");
}

TEST_F(ZelPostProcess, KeysOfOneBucketStandTogetherInTheIndex)
{
    // The keys of M50.ZEL and M51.ZEL both end in the four bits 0; M7.ZEL's do not.
    for (const char* name : {"m50.zel", "m51.zel", "m7.zel"})
        WriteZel(Path(name), {PcxBlock});
    WriteText(Path("pack.txt"), "m7.zel\nm51.zel\nm50.zel\n");

    BuildZelPack(Path("zlp.zlp").c_str(), Path("pack.txt").c_str());

    const std::string pack = FileBytes(Path("zlp.zlp"));
    // Three pairs, the closing pair, then the 16 bucket starts.
    std::vector<uint32_t> index(3 * 2 + 2 + 16);
    ASSERT_GE(pack.size(), 20 + index.size() * 4);
    ASSERT_EQ(pack.compare(12, 4, "INDX"), 0);
    memcpy(index.data(), pack.data() + 20, index.size() * 4);
    const uint32_t m50 = CCRC32::GetCRC("M50.ZEL"), m51 = CCRC32::GetCRC("M51.ZEL");
    ASSERT_EQ(m50 & 15, 0u);
    ASSERT_EQ(m51 & 15, 0u);
    // Sort order within the bucket: "$M50.ZEL" before "$M51.ZEL"; bucket 0 starts at pair 0.
    EXPECT_EQ(index[0], m50);
    EXPECT_EQ(index[2], m51);
    EXPECT_EQ(index[8], 0u);
    EXPECT_EQ(index[8 + (CCRC32::GetCRC("M7.ZEL") & 15)], 2u);
    EXPECT_EQ(RunPython(Path("zlp.zlp") + " m50.zel=" + Path("m50.zel") + " m51.zel=" + Path("m51.zel")),
              "found m50.zel at 108\nfound m51.zel at 156\n");
}

TEST_F(ZelPostProcess, CombineJoinsTheSelectedBlocksOfListedFiles)
{
    WriteZel(Path("a.zel"), {WinBlock, PcxBlock});
    WriteZel(Path("b.zel"), {{"PCX ", {{"DATA", "second"}}}});
    WriteText(Path("load.txt"), "LoadZel a.zel\nMessage \"not a load\"\n  loadzel   b.zel\nLOADZEL\nloadzel b.zel");

    CombineZelFiles(Path("all.zel").c_str(), Path("load.txt").c_str(), {false, false, false, true});

    std::vector<std::string> listTypes;
    const std::vector<Block> blocks = ReadBlocks(Path("all.zel"), listTypes);
    EXPECT_EQ(listTypes, (std::vector<std::string>{"PCX ", "PCX ", "PCX "}));
    ASSERT_EQ(blocks.size(), 3u);
    ASSERT_EQ(blocks[0].chunks.size(), 2u);
    EXPECT_EQ(blocks[0].chunks[0].bytes, PcxBlock.chunks[0].bytes);
    EXPECT_EQ(blocks[0].chunks[1].bytes, "odd");
    EXPECT_EQ(blocks[2].chunks[0].bytes, "second");
}

TEST_F(ZelPostProcess, StripKeepsOnlyTheChosenPlatformInEveryMatchingFile)
{
    ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
    WriteZel(Path("a.zel"), {WinBlock, PcxBlock});
    WriteZel(Path("sub/b.zel"), {PcxBlock, WinBlock, PcxBlock});

    StripPlatforms((m_Dir + "/*.zel").c_str(), {false, false, false, true});

    for (const char* name : {"a.zel", "sub/b.zel"}) {
        std::vector<std::string> listTypes;
        const std::vector<Block> blocks = ReadBlocks(Path(name), listTypes);
        EXPECT_EQ(listTypes, std::vector<std::string>(name[0] == 'a' ? 1 : 2, "PCX ")) << name;
        EXPECT_EQ(blocks.front().chunks.back().bytes, "odd") << name;
        EXPECT_FALSE(Exists(Path(name) + ".temp")) << name;
    }
}

using ZelPostProcessDeathTest = ZelPostProcess;

TEST_F(ZelPostProcessDeathTest, RefusesFilesThatCannotBeCopiedFaithfully)
{
    WriteZel(Path("pcx.zel"), {PcxBlock});
    WriteZel(Path("bare.zel"), {PcxBlock}, true);
    WriteText(Path("pcx.txt"), "loadzel pcx.zel\n");
    WriteText(Path("bare.txt"), "loadzel bare.zel\n");
    WriteText(Path("long.txt"), "loadzel " + std::string(1100, 'x') + ".zel\n");

    const PlatformSelection windows = {true, false, false, false};
    const PlatformSelection pc = {false, false, false, true};
    const PlatformSelection none = {false, false, false, false};
    EXPECT_FATAL(CombineZelFiles(Path("out.zel").c_str(), Path("pcx.txt").c_str(), windows), "Just made an empty file");
    EXPECT_FATAL(CombineZelFiles(Path("out.zel").c_str(), Path("bare.txt").c_str(), pc), "REQUIRES PLATFORM LIST");
    EXPECT_FATAL(CombineZelFiles(Path("out.zel").c_str(), Path("pcx.txt").c_str(), none), "SOME platform");
    EXPECT_FATAL(BuildZelPack(Path("zlp.zlp").c_str(), Path("long.txt").c_str()), "longer than 1023");
    EXPECT_FATAL(BuildZelPack(Path("zlp.zlp").c_str(), Path("pcx.txt").c_str()), "Cannot open RIFF/IFF file");
    // Nothing half-written is left under the output's name.
    EXPECT_FALSE(Exists(Path("out.zel")));
    EXPECT_FALSE(Exists(Path("zlp.zlp")));

    // A file that would lose every block is left as it was.
    const std::string before = FileBytes(Path("pcx.zel"));
    EXPECT_FATAL(StripPlatforms(Path("pcx.zel").c_str(), windows), "Just made an empty file");
    EXPECT_EQ(FileBytes(Path("pcx.zel")), before);
    EXPECT_FATAL(StripPlatforms(Path("pcx.zel").c_str(), none), "SOME platform");
}

} // namespace
