#include "core/file/CFileStuff.h"
#include "core/file/CZFile.h"

#include "TestUtil.h"
#include "../support/RunCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string RunProbe(const std::string& hostPath)
{
    std::string command =
        "cp '" + std::string(MG_BINARY_DIR) + "/bin/core_file_probe' '" + hostPath + "' && '" + hostPath + "'";
    const mgtest::CommandResult run = mgtest::RunCommand(command);
    EXPECT_EQ(run.exitCode, 0) << command;
    return run.output;
}

TEST(DataFolder, FoundByWalkingUpFromTheHostProgram)
{
    std::string root = ScratchDir("tree");
    ASSERT_EQ(
        std::system(("mkdir -p '" + root + "/X/A/B' '" + root + "/X/A/zel' '" + root + "/X/A/Profiles/Old'").c_str()),
        0);
    std::string output = RunProbe(root + "/X/A/B/host");
    std::string zel = WindowsPath(root + "/X/A/zel/");
    EXPECT_NE(output.find("data=" + zel + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("profiles=" + zel + "..\\Profiles\\\n"), std::string::npos) << output;
    EXPECT_NE(output.find("profiles2=" + zel + "..\\Profiles2\\\n"), std::string::npos) << output;
    // The profile's own folder is created; its parent already existed.
    EXPECT_NE(output.find("create=0\n"), std::string::npos) << output;
    EXPECT_EQ(ReadWholeFile(root + "/X/A/Profiles/12345678/Profile.dat"), "profile");
    EXPECT_NE(output.find("folder=Old\\\n"), std::string::npos) << output;
    EXPECT_NE(output.find("folder=12345678\\\n"), std::string::npos) << output;
    EXPECT_NE(output.find("exists=0\n"), std::string::npos) << output;
}

TEST(DataFolder, EmptyWithoutAnyZelFolderUpTheChain)
{
    char scratch[] = "/tmp/mg_nozel_XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    std::string root = scratch;
    ASSERT_EQ(std::system(("mkdir -p '" + root + "/Q'").c_str()), 0);
    std::string output = RunProbe(root + "/Q/host");
    EXPECT_NE(output.find("data=\n"), std::string::npos) << output;
    EXPECT_NE(output.find("profiles=..\\Profiles\\\n"), std::string::npos) << output;
    std::system(("rm -rf '" + root + "'").c_str());
}

class ZFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("files");
        win = WindowsPath(dir) + "\\";
    }
    std::string dir, win;
};

TEST_F(ZFile, WritesReadsAndSeeksWithThePosition)
{
    CZFile file;
    EXPECT_EQ(file.Seek(0), 1); // not open
    ASSERT_EQ(file.Open((win + "data.bin").c_str(), 0x10B), 0);
    std::string bytes(100, 'a');
    for (int i = 0; i < 100; ++i)
        bytes[i] = static_cast<char>(i);
    EXPECT_EQ(file.Write(bytes.data(), 100), 100);
    EXPECT_EQ(file.GetFilePos(), 100u);
    ASSERT_EQ(file.Close(), 0);
    EXPECT_EQ(file.Close(), 0);

    ASSERT_EQ(file.Open((win + "DATA.BIN").c_str(), 0x109), 0); // names are case-blind
    EXPECT_EQ(file.Write("x", 1), -1);                          // opened for reading only
    EXPECT_EQ(file.Seek(60), 0);
    char buffer[100];
    EXPECT_EQ(file.Read(buffer, 100), 40); // short at the end, a success
    EXPECT_EQ(buffer[0], 60);
    EXPECT_EQ(file.GetFilePos(), 100u);
    EXPECT_EQ(file.Seek(100), 0); // current position: no platform call
    EXPECT_EQ(file.Read(buffer, 10), 0);

    // An existence test neither opens nor closes anything.
    EXPECT_EQ(file.Open((win + "data.bin").c_str(), 0x10D), 0);
    EXPECT_NE(file.Open((win + "missing.bin").c_str(), 0x10D), 0);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetFileFlags(), 0x109u);
    // 0x0108: no base folder although 0x0100 asks for the data folder.
    CZFile other;
    EXPECT_EQ(other.Open((win + "data.bin").c_str(), 0x0108 | 0x0001), 0);
    EXPECT_NE(other.Open((win + "missing.bin").c_str(), 0x109), 0);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_NE(other.Open((win + "data.bin").c_str(), 0x8), 0); // neither read nor write
}

TEST_F(ZFile, FindsFilesOrFoldersAndActsOnTheFoundEntry)
{
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/Sub1' '" + dir + "/sub2' && touch '" + dir + "/a.zel' '" + dir +
                           "/B.ZEL' '" + dir + "/c.txt'")
                              .c_str()),
              0);
    auto collect = [&](const char* pattern, unsigned long flags) {
        std::vector<std::string> names;
        CZFile search;
        while (search.Find(win.c_str(), pattern, flags) == 0)
            names.push_back(search.GetFoundName());
        EXPECT_FALSE(search.IsSearching());
        EXPECT_STREQ(search.GetFoundName(), "");
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(collect("*.zel", 0x8041), (std::vector<std::string>{"B.ZEL", "a.zel"}));
    EXPECT_EQ(collect("*.*", 0x8041), (std::vector<std::string>{"B.ZEL", "a.zel", "c.txt"}));
    EXPECT_EQ(collect("*.*", 0x8081), (std::vector<std::string>{"Sub1\\", "sub2\\"}));
    EXPECT_EQ(collect("*.none", 0x8041), std::vector<std::string>{});

    // Delete what the search found, by the found name; folders are never deleted.
    CZFile search;
    int deleted = 0;
    while (search.Find(win.c_str(), "*.*", 0x80C1) == 0)
        if (search.Delete(nullptr, 0) == 0)
            ++deleted;
    EXPECT_EQ(deleted, 3);
    struct stat status;
    EXPECT_EQ(stat((dir + "/Sub1").c_str(), &status), 0);
    EXPECT_NE(stat((dir + "/a.zel").c_str(), &status), 0);

    // Ending a search early.
    EXPECT_EQ(search.Find(win.c_str(), "*.*", 0x8081), 0);
    EXPECT_TRUE(search.IsSearching());
    EXPECT_EQ(search.Find(nullptr, nullptr, 0), 0);
    EXPECT_FALSE(search.IsSearching());
}

TEST_F(ZFile, RefusesOverlongPaths)
{
    CZFile file;
    std::string longName = win + std::string(600, 'n');
    EXPECT_NE(file.Open(longName.c_str(), 0x10B), 0);
    EXPECT_NE(file.Find(win.c_str(), std::string(100, '*').c_str(), 0x8041), 0);
    EXPECT_FALSE(file.IsSearching());
    EXPECT_NE(file.Open(nullptr, CZFile::kRead | CZFile::kAsNamed), 0); // nothing named, no search running
}

TEST(FileStuff, SplitsPaths)
{
    EXPECT_STREQ(CFileStuff::FindBaseName("C:\\game\\art\\tree.lwo"), "tree");
    EXPECT_STREQ(CFileStuff::FindExtention("C:\\game\\art\\tree.lwo"), ".lwo");
    EXPECT_STREQ(CFileStuff::FindPath("C:\\game\\art\\tree.lwo"), "C:\\game\\art\\");
    EXPECT_STREQ(CFileStuff::FindPathName("C:\\game\\art\\tree.lwo"), "C:\\game\\art\\tree");
    EXPECT_STREQ(CFileStuff::FindBasePathAndName("C:\\game\\tree.lwo"), "\\game\\\\tree");
    EXPECT_STREQ(CFileStuff::FindBasePathAndName("tree.lwo"), "tree");
    EXPECT_STREQ(CFileStuff::BuildPath("tree", ".lwo", "D:\\art\\"), "D:\\art\\tree.lwo");
    EXPECT_STREQ(CFileStuff::BuildPath("C:\\x\\tree.bmp", ".lwo", "D:\\art\\"), "C:\\x\\tree.bmp");
    EXPECT_STREQ(CFileStuff::BuildPath("sub\\tree", ".lwo", "art\\"), "sub\\tree.lwo");
    std::string longPath(1000, 'p');
    EXPECT_EQ(std::string(CFileStuff::FindPathName(longPath.c_str())).size(), 255u);
}

} // namespace
