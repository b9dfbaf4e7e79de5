// The profile manager's card: targets, formatting, profile folders, slot files and their
// listing, checked on the files it leaves in the profile folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include "SaveTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/shell/CProfile.h"

namespace {

class ProfileCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        profile = CProfile::pThe;
        profile->SetGameData(block, sizeof block, 7, 4);
        profile->ProfileName(-1);
        profile->GameName(-1);
    }

    void Format()
    {
        ASSERT_EQ(profile->SetTarget(0), 0);
        ASSERT_EQ(profile->PrepTarget(0), 0);
    }

    std::string Folder(const char* name)
    {
        char folder[16];
        snprintf(folder, sizeof folder, "/%08lX", CCRC32::GetCRC(name));
        return ProfileRoot() + folder;
    }

    static CProfileDef HeaderOf(const std::string& bytes)
    {
        CProfileDef header;
        memset(&header, 0, sizeof header);
        memcpy(&header, bytes.data(), bytes.size() < sizeof header ? bytes.size() : sizeof header);
        return header;
    }

    ProfileFolderLock lock;
    CProfile* profile = nullptr;
    int block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
};

TEST_F(ProfileCard, WithoutTheProfileFolderThereIsNoCard)
{
    std::filesystem::remove_all(ProfileRoot());
    int status = 0;
    EXPECT_EQ(profile->TargetCount(), 0);
    EXPECT_STREQ(profile->DescribeTarget(0, status), "Invalid Device");
    EXPECT_EQ(status, -2);
    EXPECT_EQ(profile->SetTarget(0), 1);
    EXPECT_EQ(profile->GetTarget(), -1);
    EXPECT_EQ(profile->CreateProfile("Test"), 1);
    EXPECT_EQ(profile->ProfileName(0), nullptr);
}

TEST_F(ProfileCard, FormattingWritesTheMarkFile)
{
    int status = 0;
    EXPECT_STREQ(profile->DescribeTarget(0, status),
                 "Virtual Memory Card (8MB) (Windows PC)\nUNFORMATTED in MEMORY CARD slot 1");
    EXPECT_EQ(status, -1);
    Format();
    EXPECT_EQ(ReadFileBytes(ProfileRoot() + "/Format.txt"), "This");
    EXPECT_STREQ(profile->DescribeTarget(0, status), "Virtual Memory Card (8MB) (Windows PC)\nMEMORY CARD slot 1");
    EXPECT_EQ(status, 1000);
    EXPECT_EQ(profile->PrepTarget(0), 1); // already formatted
    EXPECT_STREQ(profile->DescribeTarget(1, status), "Invalid Device");
}

TEST_F(ProfileCard, NewProfileHasItsFileAndFourEmptySlots)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Test"), 0);
    const std::string file = ReadFileBytes(Folder("Test") + "/Profile.dat");
    ASSERT_EQ(file.size(), 416u + sizeof block);
    const CProfileDef header = HeaderOf(file);
    EXPECT_STREQ(header.Name, "Test");
    EXPECT_EQ(std::string(header.Folder), Folder("Test").substr(ProfileRoot().size() + 1));
    EXPECT_EQ(header.NameKey, CCRC32::GetCRC("Test"));
    EXPECT_EQ(header.Version, 7u);
    EXPECT_EQ(header.Unused[0], -1);
    EXPECT_EQ(header.Unused[1], -1);
    EXPECT_EQ(header.BlockSize, sizeof block);
    EXPECT_EQ(memcmp(file.data() + 416, block, sizeof block), 0);
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(ReadFileBytes(SlotPath("Test", slot)), std::string(512000, '\0')) << slot;
    EXPECT_FALSE(std::filesystem::exists(SlotPath("Test", 4)));
    EXPECT_STREQ(profile->ProfileName(0), "Test");
    EXPECT_TRUE(profile->ProfileExists("Test"));
    EXPECT_FALSE(profile->ProfileExists("test"));
    EXPECT_STREQ(profile->GameName(0), "");
    EXPECT_EQ(profile->GameName(4), nullptr);
}

TEST_F(ProfileCard, ProfilesOfAnotherVersionOrBlockSizeAreNotListed)
{
    Format();
    profile->SetGameData(block, sizeof block, 6, 4);
    ASSERT_EQ(profile->CreateProfile("Older"), 0);
    profile->SetGameData(block, 16, 7, 4);
    ASSERT_EQ(profile->CreateProfile("Smaller"), 0);
    profile->SetGameData(block, sizeof block, 7, 4);
    ASSERT_EQ(profile->CreateProfile("Current"), 0);
    EXPECT_STREQ(profile->ProfileName(0), "Current");
    EXPECT_EQ(profile->ProfileName(1), nullptr);
}

TEST_F(ProfileCard, SlotsThatDoNotMatchTheProfileAreDamaged)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Test"), 0);
    CProfileDef header;
    memset(&header, 0, sizeof header);
    strcpy(header.Name, "Somebody else's");
    header.NameKey = CCRC32::GetCRC("Other");
    header.Version = 7;
    header.BlockSize = sizeof block;
    std::string bytes(512000, '\0');
    memcpy(&bytes[0], &header, sizeof header);
    WriteFileBytes(SlotPath("Test", 1), bytes);
    header.NameKey = CCRC32::GetCRC("Test");
    header.Version = 0; // never completed
    memcpy(&bytes[0], &header, sizeof header);
    WriteFileBytes(SlotPath("Test", 2), bytes);
    EXPECT_STREQ(profile->GameName(0), "");
    EXPECT_STREQ(profile->GameName(1), "DAMAGED SAVEGAME");
    EXPECT_STREQ(profile->GameName(2), "DAMAGED SAVEGAME");

    ASSERT_EQ(profile->DeleteGame(1), 0);
    EXPECT_EQ(ReadFileBytes(SlotPath("Test", 1)), std::string(512000, '\0'));
    EXPECT_STREQ(profile->GameName(1), "");
}

TEST_F(ProfileCard, LoadingAProfileRestoresItsBlockOnlyWhenWhole)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Test"), 0);
    block[3] = 44;
    ASSERT_EQ(profile->SaveProfile(), 0);
    block[3] = 0;
    ASSERT_EQ(profile->LoadProfile(0), 0);
    EXPECT_EQ(block[3], 44);
    EXPECT_STREQ(profile->CurrentName(), "Test");

    const std::string path = Folder("Test") + "/Profile.dat";
    WriteFileBytes(path, ReadFileBytes(path).substr(0, 416 + 8));
    block[3] = 0;
    EXPECT_EQ(profile->LoadProfile(0), 1);
    EXPECT_EQ(block[3], 0);
    EXPECT_STREQ(profile->CurrentName(), "");
}

TEST_F(ProfileCard, DeletingAProfileRemovesItsFolder)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Gone"), 0);
    ASSERT_EQ(profile->CreateProfile("Kept"), 0);
    int gone = profile->ProfileName(0) != nullptr && strcmp(profile->ProfileName(0), "Gone") == 0 ? 0 : 1;
    ASSERT_EQ(profile->DeleteProfile(gone), 0);
    EXPECT_FALSE(std::filesystem::exists(Folder("Gone")));
    EXPECT_TRUE(std::filesystem::exists(Folder("Kept")));
    EXPECT_STREQ(profile->CurrentName(), "");
    EXPECT_STREQ(profile->ProfileName(0), "Kept");
    EXPECT_EQ(profile->ProfileName(1), nullptr);
}

// A profile file is trusted only for the folder it was found in: one naming another profile's
// folder is damaged, and is neither listed, loaded nor deleted in the other's place.
TEST_F(ProfileCard, AProfileNamingAnotherFolderIsDamaged)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Victim"), 0);
    ASSERT_EQ(profile->CreateProfile("Evil"), 0);
    const std::string evil = Folder("Evil") + "/Profile.dat";
    std::string bytes = ReadFileBytes(evil);
    const std::string victimFolder = Folder("Victim").substr(Folder("Victim").rfind('/') + 1);
    bytes.replace(128, victimFolder.size() + 1, victimFolder.c_str(), victimFolder.size() + 1);
    WriteFileBytes(evil, bytes);

    profile->ProfileName(-1);
    EXPECT_STREQ(profile->ProfileName(0), "Victim");
    EXPECT_EQ(profile->ProfileName(1), nullptr);
    ASSERT_EQ(profile->DeleteProfile(0), 0);
    EXPECT_FALSE(std::filesystem::exists(Folder("Victim")));
    EXPECT_TRUE(std::filesystem::exists(evil));
}

// Saving a profile replaces its file whole: a new file takes the old one's place, and a save
// that cannot be completed leaves the old one as it was.
TEST_F(ProfileCard, SavingAProfileReplacesItsFileWhole)
{
    Format();
    ASSERT_EQ(profile->CreateProfile("Test"), 0);
    const std::string path = Folder("Test") + "/Profile.dat";
    struct stat first, second;
    ASSERT_EQ(stat(path.c_str(), &first), 0);
    block[0] = 11;
    ASSERT_EQ(profile->SaveProfile(), 0);
    ASSERT_EQ(stat(path.c_str(), &second), 0);
    EXPECT_NE(first.st_ino, second.st_ino);
    EXPECT_FALSE(std::filesystem::exists(path + ".NEW"));

    const std::string saved = ReadFileBytes(path);
    std::filesystem::create_directory(path + ".NEW"); // the partial file cannot be written
    block[0] = 22;
    EXPECT_EQ(profile->SaveProfile(), 1);
    EXPECT_EQ(ReadFileBytes(path), saved);
    std::filesystem::remove(path + ".NEW");
}

} // namespace
