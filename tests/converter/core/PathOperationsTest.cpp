// Path pieces, symbol names made from paths, and the search for source files.
#include "converter/core/CzFileFind.h"
#include "converter/core/PathOperations.h"

#include "FatalTest.h"
#include "ZelFiles.h"

#include <afx.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(PathOperations, SplitPathsIntoTheirPieces)
{
    struct Case {
        const char* path;
        const char* title;
        const char* folder;
        const char* stripped;
        const char* extension;
    };
    const Case cases[] = {
        {"C:\\Art\\Tree.bmp", "Tree", "C:\\Art\\", "C:\\Art\\Tree", ".bmp"},
        {"levels/one.rhu", "one", "levels/", "levels/one", ".rhu"},
        {"plain", "plain", "", "plain", ""},
        {"dir.v2\\name", "name", "dir.v2\\", "dir.v2\\name", ""},
        {"a.b.c", "a.b", "", "a.b", ".c"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(FileTitle(c.path), c.title) << c.path;
        EXPECT_STREQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_STREQ(StripExtension(c.path), c.stripped) << c.path;
        EXPECT_STREQ(FileExtension(c.path), c.extension) << c.path;
    }
}

TEST(PathOperations, SymbolNamesAreLowerCaseLettersDigitsAndUnderscores)
{
    struct Case {
        const char* path;
        const char* symbol;
    };
    const Case cases[] = {
        {"C:\\Art\\Tree.bmp", "__art_tree_bmp"},
        {"Tex\\Tree.BMP", "tex_tree_bmp"},
        {"", ""},
        {"a-b c_9.x", "a_b_c_9_x"},
        {"\xC4rger.wav", "_rger_wav"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(MakeSymbolName(c.path), c.symbol) << c.path;
    CString name("Sub\\File.zel");
    EXPECT_TRUE(MapTargetDrive(name));
    EXPECT_STREQ(name, "Sub\\File.zel");
    char buffer[] = "X:\\a";
    EXPECT_TRUE(MapTargetDriveInPlace(buffer));
    EXPECT_STREQ(buffer, "X:\\a");
}

TEST(PathOperationsDeathTest, APathTooLongForTheBufferIsRefused)
{
    const std::string longPath = std::string(300, 'a') + ".bmp";
    EXPECT_FATAL(FileTitle(longPath.c_str()), "Path too long");
    EXPECT_FATAL(MakeSymbolName(longPath.c_str()), "Path too long");
}

class FileFindTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name :
             {"b.RHU", "a.rhu", "c.rhux", ".hidden.rhu", "notes.txt", "sub/d.rhu", "sub/deeper/e.rhu"}) {
            const std::string path = Folder + "/" + name;
            mkdir((Folder + "/sub").c_str(), 0755);
            mkdir((Folder + "/sub/deeper").c_str(), 0755);
            std::ofstream(path) << "x";
        }
    }

    std::vector<std::string> Found(const CzFileFind& find)
    {
        std::vector<std::string> found;
        for (int i = 0; find.GetFile(i); ++i)
            found.push_back(find.GetFile(i));
        return found;
    }

    std::string Folder = zelfiles::ScratchFolder();
};

TEST_F(FileFindTest, MatchesTheExactExtensionIgnoringCase)
{
    CzFileFind find((Folder + "/*.rhu").c_str(), false);
    EXPECT_EQ(Found(find), (std::vector<std::string>{Folder + "/a.rhu", Folder + "/b.RHU"}));
    EXPECT_EQ(find.GetFile(2), nullptr);
    EXPECT_EQ(find.GetFile(-1), nullptr);
}

TEST_F(FileFindTest, WildExtensionsAcceptEveryVisibleFile)
{
    CzFileFind find((Folder + "/*.*").c_str(), false);
    EXPECT_EQ(Found(find), (std::vector<std::string>{Folder + "/a.rhu", Folder + "/b.RHU", Folder + "/c.rhux",
                                                     Folder + "/notes.txt"}));
}

TEST_F(FileFindTest, RecursionGoesDepthFirstAfterEachFoldersFiles)
{
    CzFileFind find((Folder + "/*.rhu  " + Folder + "/*.txt").c_str(), true);
    EXPECT_EQ(Found(find), (std::vector<std::string>{Folder + "/a.rhu", Folder + "/b.RHU", Folder + "/sub/d.rhu",
                                                     Folder + "/sub/deeper/e.rhu", Folder + "/notes.txt"}));
}

TEST_F(FileFindTest, APatternWithoutFolderSearchesTheCurrentFolder)
{
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    ASSERT_EQ(chdir(Folder.c_str()), 0);
    char current[4096];
    ASSERT_NE(getcwd(current, sizeof(current)), nullptr);
    CzFileFind find("*.rhu", false);
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(Found(find),
              (std::vector<std::string>{std::string(current) + "/a.rhu", std::string(current) + "/b.RHU"}));
    CzFileFind none((Folder + "/missing/*.rhu").c_str(), true);
    EXPECT_EQ(none.GetCount(), 0);
}

} // namespace
