#pragma once
// Stand-in for the profile manager until profiles and save slots are built: there are no
// profiles, so every save and every game load reports failure.
class CProfile {
public:
    CProfile() { pThe = this; }
    ~CProfile() { pThe = nullptr; }

    // A negative index frees the cached list.
    const char* ProfileName(int) { return nullptr; }
    const char* GameName(int) { return nullptr; }
    // 0 = success.
    int SaveGame(const char*, const char*, int, int) { return 1; }
    int LoadGame(int) { return 1; }

    static CProfile* pThe;
};
