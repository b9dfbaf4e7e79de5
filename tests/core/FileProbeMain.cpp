// Stands in for a host program: a test copies it into a folder tree and runs it there, so the
// data folder is found from its own location as a shipped game would find it. Prints the base
// folders, then creates a profile file and lists the profile folder's sub-folders.
#include "core/file/CZFile.h"

#include <cstdio>

int main()
{
    char path[CZFile::kPathSize];
    CZFile::GetPath(path, 0x101);
    std::printf("data=%s\n", path);
    CZFile::GetPath(path, 0x402);
    std::printf("profiles=%s\n", path);
    CZFile::GetPath(path, 0x2001);
    std::printf("profiles2=%s\n", path);

    CZFile file;
    int created = file.Open("12345678\\Profile.dat", 0x402);
    std::printf("create=%d\n", created);
    if (created == 0) {
        file.Write("profile", 7);
        file.Close();
    }
    while (file.Find("", "*.*", 0x1081) == 0)
        std::printf("folder=%s\n", file.GetFoundName());
    std::printf("exists=%d\n", file.Open("12345678\\Profile.dat", 0x406));
    return 0;
}
