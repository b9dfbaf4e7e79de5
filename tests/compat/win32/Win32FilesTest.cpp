#include <direct.h>
#include <io.h>
#include <mg_win32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        char scratch[] = "/tmp/mg_win32_XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        dir = scratch;
        ASSERT_EQ(std::system(("mkdir -p " + dir + "/Data/Sub && touch " + dir + "/Data/Master.ZEL " + dir +
                               "/Data/notes.txt " + dir + "/Data/README")
                                  .c_str()),
                  0);
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
    std::string Win(const std::string& path) const
    {
        std::string w = "C:" + dir + path;
        std::replace(w.begin(), w.end(), '/', '\\');
        return w;
    }
    std::string Map(const std::string& path) const
    {
        char out[1024];
        EXPECT_GE(MgMapPath(path.c_str(), out, sizeof out), 0);
        return out;
    }
    std::vector<std::string> FindAll(const std::string& spec) const
    {
        std::vector<std::string> names;
        _finddata_t data;
        intptr_t handle = _findfirst(spec.c_str(), &data);
        if (handle == -1)
            return names;
        do
            names.push_back(data.name + std::string((data.attrib & _A_SUBDIR) ? "/" : ""));
        while (_findnext(handle, &data) == 0);
        _findclose(handle);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dir;
};

TEST_F(Win32Files, MapsSeparatorsDrivesAndCase)
{
    EXPECT_EQ(Map(Win("\\Data\\Master.ZEL")), dir + "/Data/Master.ZEL");
    EXPECT_EQ(Map(Win("\\DATA\\master.zel")), dir + "/Data/Master.ZEL");
    EXPECT_EQ(Map(Win("\\data\\sub\\")), dir + "/Data/Sub/");
    // Missing components keep the spelling asked for, so new files are made as named.
    EXPECT_EQ(Map(Win("\\data\\New\\File.dat")), dir + "/Data/New/File.dat");
    EXPECT_EQ(Map("zel\\..\\Profiles"), "zel/../Profiles");
    char tiny[8];
    EXPECT_EQ(MgMapPath(Win("\\Data").c_str(), tiny, sizeof tiny), -1);
}

TEST_F(Win32Files, FindMatchesCaseBlindAndSkipsDotEntries)
{
    EXPECT_EQ(FindAll(Win("\\data\\*.zel")), (std::vector<std::string>{"Master.ZEL"}));
    EXPECT_EQ(FindAll(Win("\\Data\\*.*")), (std::vector<std::string>{"Master.ZEL", "README", "Sub/", "notes.txt"}));
    EXPECT_EQ(FindAll(Win("\\Data\\readme")), (std::vector<std::string>{"README"}));
    EXPECT_TRUE(FindAll(Win("\\Data\\*.wav")).empty());
    EXPECT_TRUE(FindAll(Win("\\Missing\\*.*")).empty());
    EXPECT_EQ(_findnext(-1, nullptr), -1);
    EXPECT_EQ(_findclose(-1), -1);
}

TEST_F(Win32Files, MakesOneFolderLevel)
{
    EXPECT_EQ(_mkdir(Win("\\data\\Made").c_str()), 0);
    EXPECT_EQ(access((dir + "/Data/Made").c_str(), F_OK), 0);
    EXPECT_EQ(_mkdir(Win("\\data\\No\\Deeper").c_str()), -1);
}

TEST(Win32Crt, SplitPathAndCaseBlindCompare)
{
    struct Case {
        const char *path, *drive, *dir, *fname, *ext;
    };
    const Case cases[] = {
        {"C:\\game\\art\\tree.lwo", "C:", "\\game\\art\\", "tree", ".lwo"},
        {"tree", "", "", "tree", ""},
        {"a/b.c/file", "", "a/b.c/", "file", ""},
        {"x.tar.gz", "", "", "x.tar", ".gz"},
        {"dir\\", "", "dir\\", "", ""},
        {".hidden", "", "", "", ".hidden"},
    };
    for (const Case& c : cases) {
        char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(c.path, drive, dir, fname, ext);
        EXPECT_STREQ(drive, c.drive) << c.path;
        EXPECT_STREQ(dir, c.dir) << c.path;
        EXPECT_STREQ(fname, c.fname) << c.path;
        EXPECT_STREQ(ext, c.ext) << c.path;
    }
    char fname[_MAX_FNAME];
    _splitpath(std::string(1000, 'n').c_str(), nullptr, nullptr, fname, nullptr);
    EXPECT_EQ(std::string(fname).size(), static_cast<size_t>(_MAX_FNAME - 1));
    EXPECT_EQ(_stricmp("Master.ZEL", "master.zel"), 0);
    EXPECT_LT(_stricmp("a", "B"), 0);
    EXPECT_EQ(_strnicmp("PCX one", "pcx two", 3), 0);

    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(module[0], '\\');
    EXPECT_NE(std::string(module).find("\\bin\\win32_tests"), std::string::npos) << module;
}

} // namespace
