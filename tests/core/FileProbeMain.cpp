// Stands in for a host program: a test copies it into a folder tree and runs it there, so the
// data folder is found from its own location as a shipped game would find it. Prints the base
// folders, then creates a profile file and lists the profile folder's sub-folders.
#include "core/file/CZFile.h"

#include <cstdio>

int main()
{
    char path[CZFile::kPathSize];
    CZFile::GetPath(path, CZFile::kInDataFolder);
    std::printf("data=%s\n", path);
    CZFile::GetPath(path, CZFile::kInProfileFolder);
    std::printf("profiles=%s\n", path);
    CZFile::GetPath(path, CZFile::kInSecondProfileFolder);
    std::printf("profiles2=%s\n", path);

    CZFile file;
    int created = file.Open("12345678\\Profile.dat", CZFile::kWrite | CZFile::kInProfileFolder);
    std::printf("create=%d\n", created);
    if (created == 0) {
        file.Write("profile", 7);
        file.Close();
    }
    while (file.Find("", "*.*", CZFile::kRead | CZFile::kFindFolders | CZFile::kInProfileFolder) == 0)
        std::printf("folder=%s\n", file.GetFoundName());
    std::printf("exists=%d\n",
                file.Open("12345678\\Profile.dat", CZFile::kWrite | CZFile::kExists | CZFile::kInProfileFolder));
    return 0;
}
