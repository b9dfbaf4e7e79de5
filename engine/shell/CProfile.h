#pragma once
// Player profiles and saved games, kept the way a console keeps them on a memory card: the
// folder "..\Profiles\" beside the data folder is the card (formatted once it holds
// "Format.txt"), each profile is a folder named after the name key of the profile's name, and
// each profile folder holds "Profile.dat" and a fixed number of save slots of a fixed size.
#include <windows.h>

#include "core/containers/ZPtrArray.h"

class CZFile;

#pragma pack(push, 1)
// The header of a profile file and of a save slot.
struct CProfileDef {
    char Name[128];   // the profile's name; in a slot, the save's description
    char Folder[260]; // "%08X" of the name key; in memory, a slot's path
    DWORD NameKey;    // name key of the profile's name
    DWORD Reserved[2];
    DWORD Version;   // the game's data version; 0 in a slot until the slot is complete
    long Unused[2];  // -1
    DWORD BlockSize; // bytes of the game's profile block
};
#pragma pack(pop)
static_assert(sizeof(CProfileDef) == 416, "CProfileDef is stored in profile and slot files");

class CProfile {
public:
    static const int kSlotBytes = 512000;
    static const int kLevelNameBytes = 32;

    CProfile();
    ~CProfile();

    void SetGameData(void* block, int size, unsigned long version, unsigned long slots);

    // Targets: the PC has one card, present while the profile folder exists.
    int TargetCount();
    int SetTarget(int target);
    int GetTarget() const { return Target; }
    const char* DescribeTarget(int target, int& status);
    int PrepTarget(int target);
    int GetSpaceInfo(int& free, int& total, bool);

    // Entry i of the list, building the list first; null out of range. A negative i frees it.
    const char* ProfileName(int index);
    const char* GameName(int index);
    bool ProfileExists(const char* name);
    const char* CurrentName();

    // 0 = success, 1 = failure.
    int CreateProfile(const char* name);
    int LoadProfile(int index);
    int SaveProfile();
    int DeleteProfile(int index);
    int SaveGame(const char*, const char* description, int slot, int);
    int LoadGame(int slot);
    int DeleteGame(int slot);

    // -1 cleared, 1 loading or failed, 0 loaded.
    int GetLoadGameStatus() const { return LoadGameStatus; }
    void ClearLoadGameStatus() { LoadGameStatus = -1; }
    bool ScanGonnaTakeAwhile() const { return bSlowScan; }
    void ExitToDash(int) {}
    void FindOrphanedSaves() {}

    static CProfile* pThe;

private:
    bool HasTarget() const { return Target >= 0 && TargetState >= 0; }
    bool IsFormatted();
    void BuildProfileList();
    void BuildGameList();
    void FreeList(ZPtrArray<CProfileDef, 8>& list);
    void NoteScanTime(float startSeconds);
    void SlotName(char* out, size_t size, int slot) const;
    int CreateSlotFile(int slot);
    int WriteSlot(const char* name, CProfileDef& header);
    static int WriteStream(CZFile& file);
    int ReadSlot(CZFile& file);
    bool SlotHeaderUsable(const CProfileDef& header) const;
    void ClearCurrent();

    bool bProfilesBuilt;
    bool bGamesBuilt;
    int Target;
    int TargetState;
    bool bCard1;
    bool bCard2;
    void* pGameData;
    int GameDataSize;
    unsigned long GameVersion;
    int SlotCount;
    int LoadGameStatus;

    static CProfileDef Current;
    static ZPtrArray<CProfileDef, 8> Profiles;
    static ZPtrArray<CProfileDef, 8> Games;
    static bool bSlowScan;
};
