// The engine's readers of outside data under seeded damage: packed data files through the
// loader (whose refusal is its fatal error), profile files and save slot headers through the
// profile manager. Lives beside the packed-data fixtures, finding its data folder as a game does.
#include "FuzzHarness.h"

#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/shell/CProfile.h"
#include "engine/zel/CZelFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace mgfuzz;

namespace {

const unsigned long kGameVersion = 7;
int g_GameBlock[8];

std::string ZelName() { return "mutants/fuzz" + std::to_string(getppid()) + ".zel"; }

void LoadZel(const Bytes& bytes)
{
    WriteWholeFile(std::string(ZEL_FIXTURE_DIR) + "/" + ZelName(), bytes);
    CZelFile* file = new CZelFile;
    file->Load(ZelName().c_str());
    delete file;
    GObject::DestroyObjects();
}

std::string ProfileRoot()
{
    char base[CZFile::kPathSize];
    CZFile::GetPath(base, CZFile::kInProfileFolder);
    std::string path(base);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    std::string root = std::filesystem::weakly_canonical(path).string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

std::string ProfileFolder()
{
    char folder[16];
    snprintf(folder, sizeof folder, "/%08lX", CCRC32::GetCRC("Fuzz"));
    return ProfileRoot() + folder;
}

// The profile folder is shared with the profile tests: held for the whole run, as they hold it,
// and removed at the end, as they remove theirs.
int LockProfiles()
{
    const std::filesystem::path root = ProfileRoot();
    std::filesystem::create_directories(root.parent_path());
    const int fd = open(root.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) {
        perror(root.parent_path().c_str());
        exit(2);
    }
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return fd;
}

// A profile "Fuzz" as the manager writes it, and one slot header of it.
std::vector<Bytes> ProfileCorpus()
{
    CProfile* profile = CProfile::pThe;
    profile->SetGameData(g_GameBlock, sizeof g_GameBlock, kGameVersion, 4);
    if (profile->SetTarget(0) != 0 || profile->PrepTarget(0) != 0 || profile->CreateProfile("Fuzz") != 0)
        return {};
    const Bytes file = ReadWholeFile(ProfileFolder() + "/Profile.dat");
    Bytes slot = file.substr(0, 416);
    std::memcpy(&slot[0], "A save", 7);
    return {"P" + file, "S" + slot + Bytes(600, '\0')};
}

// The first byte says where the rest goes: a slot or the profile file.
void ReadProfile(const Bytes& input)
{
    const bool slot = !input.empty() && input[0] == 'S';
    WriteWholeFile(ProfileFolder() + (slot ? "/0.SAV" : "/Profile.dat"), input.empty() ? input : input.substr(1));
    CProfile* profile = CProfile::pThe;
    profile->ProfileName(-1);
    for (int i = 0; profile->ProfileName(i) != nullptr; ++i)
        profile->ProfileExists(profile->ProfileName(i));
    if (profile->LoadProfile(0) == 0) {
        profile->GameName(-1);
        for (int i = 0; profile->GameName(i) != nullptr; ++i)
            ;
    }
}

} // namespace

int main(int argc, char** argv)
{
    CZelFile::LoadChunkCategories(0x11);
    GObject::InitEditableInfo();
    std::vector<Reader> readers;

    Reader zel{"zel", {}, true, MutateBinary, LoadZel};
    for (const char* base : {"mutants/base.zel", "mutants/base_x.zel", "wex/wexlevel.zel", "wex/params.zel",
                             "demo/mainmenu.zel", "written.zel"}) {
        const Bytes bytes = ReadWholeFile(std::string(ZEL_FIXTURE_DIR) + "/" + base);
        if (!bytes.empty())
            zel.Corpus.push_back(bytes);
    }
    readers.push_back(zel);

    const bool profiles = argc > 1 && std::string(argv[1]) == "profile";
    const int lock = profiles ? LockProfiles() : -1;
    readers.push_back({"profile", profiles ? ProfileCorpus() : std::vector<Bytes>{}, false, MutateBinary, ReadProfile});

    const int result = Main(argc, argv, readers);
    std::remove((std::string(ZEL_FIXTURE_DIR) + "/mutants/fuzz" + std::to_string(getpid()) + ".zel").c_str());
    if (lock >= 0) {
        std::filesystem::remove_all(ProfileRoot());
        close(lock);
    }
    return result;
}
