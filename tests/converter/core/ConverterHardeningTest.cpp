// The converter program on hostile scripts and command lines: include cycles and runaway
// chains, huge texts, references the engine would refuse, name keys two names share, folders
// where files belong, the command-line conventions and what reaches the disk before a rename.
#include "../../support/RunCommand.h"
#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>
#include <string>
#include <sys/stat.h>

using namespace zelfiles;
using mgtest::CommandResult;

namespace {

class ConverterHardening : public testing::Test {
protected:
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(Folder + "/" + name, std::ios::binary) << text;
    }

    CommandResult Convert(const std::string& arguments = "")
    {
        return mgtest::RunCommand("cd '" + Folder + "' && " MG_BINARY_DIR "/bin/wexlorn " + arguments + " 2>&1");
    }

    bool Exists(const std::string& name)
    {
        struct stat status;
        return stat((Folder + "/" + name).c_str(), &status) == 0;
    }

    // A fatal error: exit 3, the message shown, and no output of either kind left behind.
    void ExpectRefused(const CommandResult& run, const std::string& message, const std::string& output = "main")
    {
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
        EXPECT_FALSE(Exists(output + ".zel"));
        EXPECT_FALSE(Exists(output + ".zel.temp"));
    }

    std::string Folder = ScratchFolder();
};

TEST_F(ConverterHardening, IncludeCyclesAreRefusedAtTheIncludingLine)
{
    // Directly, and through files that hold nothing but includes (another spelling of a name
    // is the same file).
    Write("main.rhu", "String A \"a\"\n#include <main.rhu>\n");
    ExpectRefused(Convert(), "main.rhu(2) : error");

    Write("main.rhu", "String A \"a\"\n#include <one.rhu>\n");
    Write("one.rhu", "#include <two.rhu>\n");
    Write("two.rhu", "\n#include <MAIN.RHU>\n");
    const CommandResult run = Convert();
    ExpectRefused(run, "two.rhu(2) : error");
    EXPECT_NE(run.output.find("cycle"), std::string::npos) << run.output;
    // The banner printed before the fatal error is not lost.
    EXPECT_NE(run.output.find("wexlorn - File Converter"), std::string::npos);
}

TEST_F(ConverterHardening, ARunawayIncludeChainIsRefusedNotLeftToExhaustTheStack)
{
    // The chain lives in a folder of its own, so that only main.rhu is converted.
    ASSERT_EQ(mkdir((Folder + "/inc").c_str(), 0755), 0);
    const int chain = 500;
    for (int i = 1; i < chain; ++i)
        Write("inc/c" + std::to_string(i) + ".rhu", "#include <inc\\c" + std::to_string(i + 1) + ".rhu>\n");
    Write("inc/c" + std::to_string(chain) + ".rhu", "String Deep \"x\"\n");
    Write("main.rhu", "#include <inc\\c1.rhu>\n");
    ExpectRefused(Convert(), "nest deeper than");

    // A chain of a real script's depth converts.
    Write("main.rhu", "#include <inc\\c490.rhu>\n");
    EXPECT_EQ(Convert().exitCode, 0);
}

TEST_F(ConverterHardening, EscapesAreUnescapedInOnePassAndOverlongTextsRefused)
{
    // Many escapes of each kind next to each other and to line breaks keep their meaning.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "\\n\\a\\v";
    Write("main.rhu", "NoCompression\nString Many \"x" + text + "\\\r\ny\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string expected;
    for (int i = 0; i < 20000; ++i)
        expected += "\n\a\v";
    const Bytes data = Chunk(ReadAll(Folder + "/main.zel"), "LIST/DATA");
    EXPECT_NE(std::string(data.begin(), data.end()).find("x" + expected + "\\y"), std::string::npos);

    // A million escapes cannot make a text the packed data can hold: refused at once, naming it.
    std::string huge;
    for (int i = 0; i < 1000000; ++i)
        huge += "\\n";
    Write("main.rhu", "String Huge \"" + huge + "\"\n");
    unlink((Folder + "/main.zel").c_str());
    ExpectRefused(Convert(), "String Huge is longer than");
}

TEST_F(ConverterHardening, AnEmbeddedReferenceToNoBlockIsRefusedNamingFileLineAndLabel)
{
    Write("main.rhu", "DefaultParams Base GFoo\n{\n    int Speed = 3\n    embedded = KidA\n}\n");
    ExpectRefused(Convert(), "main.rhu(4) : error : embedded field names KidA");

    Write("main.rhu", "EmbeddedParams KidA GKid\n{\n    int Size = 1\n}\n"
                      "DefaultParams Base GFoo\n{\n    embedded = KidA\n}\n");
    const CommandResult run = Convert();
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(ConverterHardening, NamesSharingAKey)
{
    // These two differ and share one name key.
    const char* made = "_autostring_FBE99769_00000000_33414_";
    const char* kept = "L47_Obj437_extradata";
    ASSERT_EQ(CCRC32::GetCRC((std::string("__") + made + "_diagnostic_label__").c_str()), CCRC32::GetCRC(kept));

    // The diagnostic label the converter makes up for the first collides with the second,
    // which the author wrote: the made-up one takes another name.
    Write("main.rhu", std::string("String ") + made + " \"a\"\nString " + kept + " \"b\"\n");
    const CommandResult run = Convert();
    EXPECT_EQ(run.exitCode, 0) << run.output;

    // Two names the author wrote: refused naming both and the key.
    unlink((Folder + "/main.zel").c_str());
    const std::string a = std::string("__") + made + "_diagnostic_label__";
    Write("main.rhu", "String " + a + " \"a\"\nString " + std::string(kept) + " \"b\"\n");
    const CommandResult clash = Convert();
    ExpectRefused(clash, "share the name key 0x32822CCA");
    EXPECT_NE(clash.output.find(a), std::string::npos);
    EXPECT_NE(clash.output.find(kept), std::string::npos);
}

TEST_F(ConverterHardening, AFolderWhereAFileBelongsIsRefusedNamingIt)
{
    ASSERT_EQ(mkdir((Folder + "/some.folder").c_str(), 0755), 0);
    Write("main.rhu", "Binary Blob some.folder\n");
    ExpectRefused(Convert(), "some.folder: it is a folder");
    Write("main.rhu", "String Text some.folder\n");
    ExpectRefused(Convert(), "some.folder: it is a folder");
    Write("main.rhu", "#include <some.folder>\n");
    ExpectRefused(Convert(), "some.folder: it is a folder");
}

TEST_F(ConverterHardening, TheTypeInfoOutputNameIsMappedLikeEveryPath)
{
    ASSERT_EQ(mkdir((Folder + "/types").c_str(), 0755), 0);
    Write("types/game.h", "struct __rhuexport Small { int A; };\n");
    Write("main.rhu", "TypeInfo types\\game.h types\\game.rht\n");
    const CommandResult run = Convert();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Exists("types/game.rht"));
    EXPECT_FALSE(Exists("types\\game.rht"));
}

TEST_F(ConverterHardening, CommandLineConventions)
{
    for (const char* help : {"--help", "-h", "'/?'"}) {
        const CommandResult run = Convert(help);
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_NE(run.output.find("usage: wexlorn [FOLDER]"), std::string::npos) << help;
        EXPECT_NE(run.output.find("Recognized commands are:"), std::string::npos) << help;
        EXPECT_NE(run.output.find("TypeInfo"), std::string::npos) << help;
    }
    const CommandResult missing = Convert("no_such_folder");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.output.find("no folder named no_such_folder"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("usage: wexlorn"), std::string::npos);
    const CommandResult two = Convert(". .");
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_NE(two.output.find("usage: wexlorn"), std::string::npos);

    // Printed paths use this system's separator.
    ASSERT_EQ(mkdir((Folder + "/sub").c_str(), 0755), 0);
    Write("sub/level.rhu", "String A \"a\"\n");
    const CommandResult run = Convert("sub");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Processing sub/level.rhu"), std::string::npos) << run.output;
    EXPECT_TRUE(Exists("sub/level.zel"));
}

// The packed file's bytes reach the disk before its name does, and the name right after: the
// system calls of a conversion show it (strace sees them under user-mode emulation too).
TEST_F(ConverterHardening, TheOutputIsSyncedAroundItsRename)
{
    if (system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed";
    Write("main.rhu", "String A \"a\"\n");
    const CommandResult run =
        mgtest::RunCommand("cd '" + Folder + "' && strace -f -qq -e trace=fsync,rename,renameat," +
                           "renameat2 -o calls.txt " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::ifstream in(Folder + "/calls.txt");
    std::string calls, line;
    while (std::getline(in, line))
        if (line.find("fsync") != std::string::npos)
            calls += "fsync ";
        else if (line.find("main.zel.temp") != std::string::npos)
            calls += "rename ";
    EXPECT_EQ(calls, "fsync rename fsync ") << calls;
}

} // namespace
