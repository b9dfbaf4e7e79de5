#include "engine/shell/CProfile.h"

#include <direct.h>
#include <stdio.h>
#include <string.h>

#include "core/file/CZFile.h"
#include "core/heap/ZHeap.h"
#include "core/names/CCRC32.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/shell/CShell.h"
#include "engine/zel/CZelFile.h"
#include "engine/object/GObject.h"

CProfile* CProfile::pThe = nullptr;
CProfileDef CProfile::Current;
ZPtrArray<CProfileDef, 8> CProfile::Profiles;
ZPtrArray<CProfileDef, 8> CProfile::Games;
bool CProfile::bSlowScan = false;

static CProfile s_Profile;

namespace {

// File flags: profile files and the profile folder search, slot files, the card's root.
const unsigned long kProfileRead = 0x401;
const unsigned long kProfileWrite = 0x402;
const unsigned long kProfileFolders = 0x481;
const unsigned long kSlotRead = 0x1001;
const unsigned long kSlotWrite = 0x1002;
const unsigned long kSlotExists = 0x1004;
const unsigned long kFolderFiles = 0x1041;
const unsigned long kFolderFolders = 0x1081;

const int kDefaultSlots = 4;
const int kStatusPresent = 1000;
const unsigned long kPadChunk = 8196;
// A save is written beside its slot under this ending and takes the slot's place only once
// complete, so a save that fails or is cut off leaves the slot as it was.
const char kPartialEnding[] = ".NEW";

const char kFormatFile[] = "Format.txt";
const char kFormatText[] = "This Virtual Memory Card Is Formatted!";
const char kCardText[] = "Virtual Memory Card (8MB) (Windows PC)\nMEMORY CARD slot %d";
const char kUnformattedText[] = "Virtual Memory Card (8MB) (Windows PC)\nUNFORMATTED in MEMORY CARD slot %d";
const char kDamaged[] = "DAMAGED SAVEGAME";

char DescribeBuffer[128];

void Copy(char* out, size_t size, const char* text) { snprintf(out, size, "%s", text != nullptr ? text : ""); }

bool IsTerminated(const char* text, size_t size) { return memchr(text, '\0', size) != nullptr; }

void FreshHeader(CProfileDef& header)
{
    memset(&header, 0, sizeof header);
    header.Unused[0] = -1;
    header.Unused[1] = -1;
}

// Writes count zero bytes in pieces.
bool WriteZeros(CZFile& file, unsigned long count)
{
    static const BYTE zeros[kPadChunk] = {};
    while (count > 0) {
        const unsigned long piece = count < kPadChunk ? count : kPadChunk;
        if (file.Write(zeros, piece) != static_cast<int>(piece))
            return false;
        count -= piece;
    }
    return true;
}

bool ReadHeader(CZFile& file, CProfileDef& header)
{
    return file.Read(&header, sizeof header) == static_cast<int>(sizeof header) &&
           IsTerminated(header.Name, sizeof header.Name) && IsTerminated(header.Folder, sizeof header.Folder);
}

// A slot's header keeps, in its reserved words, how many bytes of stream follow it and their
// checksum: a slot damaged anywhere in its stream is refused before anything is loaded.
DWORD& StreamBytes(CProfileDef& header) { return header.Reserved[0]; }
DWORD& StreamChecksum(CProfileDef& header) { return header.Reserved[1]; }

// The checksum of count bytes from the file's position on; false when fewer can be read.
bool ChecksumOf(CZFile& file, unsigned long count, DWORD& checksum)
{
    BYTE* bytes = static_cast<BYTE*>(zmalloc(count > 0 ? count : 1));
    const bool read = file.Read(bytes, count) == static_cast<int>(count);
    checksum = static_cast<DWORD>(CCRC32::GetCRC(bytes, static_cast<int>(count)));
    zfree(bytes);
    return read;
}

// Puts a completed file in place of the one it replaces, synced to the disk on both sides of
// the rename, so that a kill or power loss leaves the old file or the new one.
int MoveIntoPlace(const char* partial, const char* name, unsigned long flags)
{
    char base[CZFile::kPathSize];
    char from[CZFile::kPathSize * 2];
    char to[CZFile::kPathSize * 2];
    CZFile::GetPath(base, flags);
    snprintf(from, sizeof from, "%s%s", base, partial);
    snprintf(to, sizeof to, "%s%s", base, name);
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : 1;
}

} // namespace

CProfile::CProfile()
    : bProfilesBuilt(false), bGamesBuilt(false), Target(-1), TargetState(-1), bCard1(false), bCard2(false),
      pGameData(nullptr), GameDataSize(0), GameVersion(0), SlotCount(kDefaultSlots), LoadGameStatus(-1)
{
    pThe = this;
    FreshHeader(Current);
}

CProfile::~CProfile()
{
    FreeList(Profiles);
    FreeList(Games);
    if (pThe == this)
        pThe = nullptr;
}

void CProfile::SetGameData(void* block, int size, unsigned long version, unsigned long slots)
{
    pGameData = block;
    GameDataSize = size > 0 ? size : 0;
    GameVersion = version;
    SlotCount = static_cast<int>(slots);
    bGamesBuilt = false;
    bProfilesBuilt = false;
}

// ---------------------------------------------------------------------------------------------
// Targets

int CProfile::TargetCount()
{
    CZFile probe;
    bCard1 = probe.Open("", kSlotExists) == 0;
    bCard2 = false;
    return bCard1 ? 1 : 0;
}

int CProfile::SetTarget(int target)
{
    const int count = TargetCount();
    if (target >= 0 && target < count) {
        Target = target;
        TargetState = 0;
        return 0;
    }
    Target = count - 1;
    TargetState = Target >= 0 ? 0 : -1;
    return 1;
}

bool CProfile::IsFormatted()
{
    CZFile probe;
    return probe.Open(kFormatFile, kSlotExists) == 0;
}

const char* CProfile::DescribeTarget(int target, int& status)
{
    if (target < 0 || target >= TargetCount()) {
        status = -2;
        return "Invalid Device";
    }
    const bool formatted = IsFormatted();
    status = formatted ? kStatusPresent : -1;
    snprintf(DescribeBuffer, sizeof DescribeBuffer, formatted ? kCardText : kUnformattedText, target + 1);
    return DescribeBuffer;
}

int CProfile::PrepTarget(int target)
{
    if (target < 0 || target >= TargetCount() || IsFormatted())
        return 1;
    CZFile file;
    if (file.Open(kFormatFile, kSlotWrite) != 0)
        return 1;
    const bool written = file.Write(kFormatText, 4) == 4;
    return file.Close() == 0 && written ? 0 : 1;
}

int CProfile::GetSpaceInfo(int& free, int& total, bool)
{
    free = SlotCount;
    total = SlotCount;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Lists

void CProfile::FreeList(ZPtrArray<CProfileDef, 8>& list)
{
    for (CProfileDef* header : list)
        zfree(header);
    list.RemoveAll();
}

void CProfile::NoteScanTime(float startSeconds)
{
    const float took = CGameTimer::SysSeconds() - startSeconds;
    if (took > 4.0f)
        bSlowScan = true;
    else if (took < 3.0f)
        bSlowScan = false;
}

void CProfile::BuildProfileList()
{
    FreeList(Profiles);
    const float start = CGameTimer::SysSeconds();
    CZFile search;
    while (search.Find("", "*", kProfileFolders) == 0) {
        char folder[CZFile::kFoundNameSize];
        Copy(folder, sizeof folder, search.GetFoundName());
        const size_t length = strlen(folder);
        if (length > 0 && folder[length - 1] == '\\')
            folder[length - 1] = '\0';
        if (folder[0] == '\0' || strcmp(folder, ".") == 0 || strcmp(folder, "..") == 0)
            continue;

        char name[CZFile::kPathSize];
        snprintf(name, sizeof name, "%s\\Profile.dat", folder);
        CZFile file;
        CProfileDef header;
        if (file.Open(name, kProfileRead) != 0 || !ReadHeader(file, header))
            continue;
        // The folder is where the file was found: a file naming another folder is damaged, and
        // trusting it would load, save over or delete the other profile.
        if (_stricmp(header.Folder, folder) != 0)
            continue;
        if (header.Version != GameVersion || header.BlockSize != static_cast<DWORD>(GameDataSize))
            continue;
        CProfileDef* copy = static_cast<CProfileDef*>(zmalloc(sizeof(CProfileDef)));
        *copy = header;
        Profiles.Add(copy);
    }
    bProfilesBuilt = true;
    NoteScanTime(start);
}

void CProfile::SlotName(char* out, size_t size, int slot) const
{
    snprintf(out, size, "%s\\%d.SAV", Current.Folder, slot);
}

void CProfile::BuildGameList()
{
    FreeList(Games);
    const float start = CGameTimer::SysSeconds();
    for (int slot = 0; slot < SlotCount; ++slot) {
        CProfileDef* entry = static_cast<CProfileDef*>(zmalloc(sizeof(CProfileDef)));
        FreshHeader(*entry);
        Games.Add(entry);
        char name[sizeof entry->Folder];
        SlotName(name, sizeof name, slot);
        CZFile file;
        CProfileDef header;
        if (file.Open(name, kSlotRead) != 0 || !ReadHeader(file, header) || header.Name[0] == '\0')
            continue;
        *entry = header;
        Copy(entry->Folder, sizeof entry->Folder, name);
        if (!SlotHeaderUsable(header) || header.NameKey != Current.NameKey)
            Copy(entry->Name, sizeof entry->Name, kDamaged);
    }
    bGamesBuilt = true;
    NoteScanTime(start);
}

bool CProfile::SlotHeaderUsable(const CProfileDef& header) const
{
    return header.Name[0] != '\0' && header.Version == GameVersion &&
           header.BlockSize == static_cast<DWORD>(GameDataSize);
}

const char* CProfile::ProfileName(int index)
{
    if (index < 0) {
        FreeList(Profiles);
        bProfilesBuilt = false;
        return nullptr;
    }
    if (!HasTarget())
        return nullptr;
    if (!bProfilesBuilt)
        BuildProfileList();
    return index < Profiles.GetSize() ? Profiles[index]->Name : nullptr;
}

const char* CProfile::GameName(int index)
{
    if (index < 0) {
        FreeList(Games);
        bGamesBuilt = false;
        return nullptr;
    }
    if (!HasTarget() || Current.Name[0] == '\0')
        return nullptr;
    if (!bGamesBuilt)
        BuildGameList();
    return index < Games.GetSize() ? Games[index]->Name : nullptr;
}

bool CProfile::ProfileExists(const char* name)
{
    if (name == nullptr)
        return false;
    for (int i = 0; const char* listed = ProfileName(i); ++i)
        if (strcmp(listed, name) == 0)
            return true;
    return false;
}

const char* CProfile::CurrentName() { return Current.Name; }

void CProfile::ClearCurrent() { FreshHeader(Current); }

// ---------------------------------------------------------------------------------------------
// Profiles

int CProfile::CreateProfile(const char* name)
{
    if (!HasTarget() || name == nullptr || name[0] == '\0' || strlen(name) >= sizeof Current.Name)
        return 1;
    FreshHeader(Current);
    Copy(Current.Name, sizeof Current.Name, name);
    Current.Version = GameVersion;
    Current.NameKey = CCRC32::GetCRC(name);
    snprintf(Current.Folder, sizeof Current.Folder, "%08lX", Current.NameKey);
    bProfilesBuilt = false;
    bGamesBuilt = false;
    if (SaveProfile() != 0)
        return 1;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (CreateSlotFile(slot) != 0)
            return 1;
    return 0;
}

int CProfile::CreateSlotFile(int slot)
{
    char name[CZFile::kPathSize];
    SlotName(name, sizeof name, slot);
    CZFile file;
    if (file.Open(name, kSlotWrite) != 0)
        return 1;
    const bool written = WriteZeros(file, kSlotBytes);
    return file.Close() == 0 && written ? 0 : 1;
}

int CProfile::SaveProfile()
{
    if (!HasTarget() || Current.Name[0] == '\0')
        return 1;
    char name[CZFile::kPathSize];
    char partial[CZFile::kPathSize + sizeof kPartialEnding];
    snprintf(name, sizeof name, "%s\\Profile.dat", Current.Folder);
    snprintf(partial, sizeof partial, "%s%s", name, kPartialEnding);
    CZFile file;
    if (file.Open(partial, kProfileWrite) != 0)
        return 1;
    Current.BlockSize = static_cast<DWORD>(GameDataSize);
    bool written = file.Write(&Current, sizeof Current) == static_cast<int>(sizeof Current);
    if (GameDataSize > 0)
        written = written && file.Write(pGameData, static_cast<unsigned long>(GameDataSize)) == GameDataSize;
    bProfilesBuilt = false;
    // The profile is replaced only by a complete file: a full disk or a kill mid-write leaves
    // the previous one, and with it the profile and its saves.
    if (file.Close() != 0 || !written || MoveIntoPlace(partial, name, kProfileWrite) != 0) {
        CZFile().Delete(partial, kProfileWrite);
        return 1;
    }
    return 0;
}

// The game's block changes only when the whole block was read.
int CProfile::LoadProfile(int index)
{
    if (ProfileName(index) == nullptr)
        return 1;
    char name[CZFile::kPathSize];
    snprintf(name, sizeof name, "%s\\Profile.dat", Profiles[index]->Folder);
    CZFile file;
    CProfileDef header;
    if (file.Open(name, kProfileRead) != 0 || !ReadHeader(file, header) || header.Version != GameVersion ||
        header.BlockSize != static_cast<DWORD>(GameDataSize) || _stricmp(header.Folder, Profiles[index]->Folder) != 0) {
        ClearCurrent();
        return 1;
    }
    BYTE* block = static_cast<BYTE*>(zmalloc(GameDataSize > 0 ? GameDataSize : 1));
    const bool read = file.Read(block, static_cast<unsigned long>(GameDataSize)) == GameDataSize;
    const bool closed = file.Close() == 0;
    if (read && closed) {
        Current = header;
        if (GameDataSize > 0)
            memcpy(pGameData, block, GameDataSize);
    } else {
        ClearCurrent();
    }
    zfree(block);
    bGamesBuilt = false;
    return read && closed ? 0 : 1;
}

int CProfile::DeleteProfile(int index)
{
    if (LoadProfile(index) != 0)
        return 1;
    char folder[CZFile::kPathSize];
    snprintf(folder, sizeof folder, "%s\\", Current.Folder);
    CZFile search;
    while (search.Find(folder, "*", kFolderFiles) == 0)
        search.Delete(nullptr, 0);
    while (search.Find(folder, "*", kFolderFolders) == 0) {
        char path[CZFile::kPathSize];
        char sub[CZFile::kPathSize * 3];
        CZFile::GetPath(path, kFolderFolders);
        snprintf(sub, sizeof sub, "%s%s%s", path, folder, search.GetFoundName());
        _rmdir(sub);
    }
    char path[CZFile::kPathSize];
    char full[CZFile::kPathSize * 2];
    CZFile::GetPath(path, kSlotRead);
    snprintf(full, sizeof full, "%s%s", path, Current.Folder);
    const int removed = _rmdir(full);
    ClearCurrent();
    bProfilesBuilt = false;
    bGamesBuilt = false;
    return removed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Saved games

int CProfile::SaveGame(const char*, const char* description, int slot, int)
{
    if (SaveProfile() != 0 || slot < 0 || slot >= SlotCount)
        return 1;
    CProfileDef header;
    FreshHeader(header);
    Copy(header.Name, sizeof header.Name, description);
    if (header.Name[0] == '\0')
        Copy(header.Name, sizeof header.Name, " ");
    header.NameKey = Current.NameKey;
    header.BlockSize = static_cast<DWORD>(GameDataSize);
    SlotName(header.Folder, sizeof header.Folder, slot);

    char partial[CZFile::kPathSize];
    snprintf(partial, sizeof partial, "%s%s", header.Folder, kPartialEnding);
    bGamesBuilt = false;
    if (WriteSlot(partial, header) != 0) {
        CZFile().Delete(partial, kSlotWrite);
        return 1;
    }
    return MoveIntoPlace(partial, header.Folder, kSlotWrite);
}

// The header goes first with version 0 and again, with the game's version, once the stream
// and its padding are complete.
int CProfile::WriteSlot(const char* name, CProfileDef& header)
{
    const char* level = CShell::GetCurrentLevel();
    if (strlen(level) >= static_cast<size_t>(kLevelNameBytes)) {
        printf("SaveGame: level name %s is too long for a save slot\n", level);
        return 1;
    }
    // Opened for reading as well: the finished stream is read back for its checksum.
    CZFile file;
    if (file.Open(name, kSlotWrite | CZFile::kRead) != 0)
        return 1;
    if (file.Write(&header, sizeof header) != static_cast<int>(sizeof header))
        return 1;
    if (WriteStream(file) != 0)
        return 1;
    const unsigned long used = file.GetFilePos();
    if (used > static_cast<unsigned long>(kSlotBytes)) {
        printf("SaveGame: the save needs %lu bytes, a slot holds %d\n", used, kSlotBytes);
        return 1;
    }
    header.Version = GameVersion;
    StreamBytes(header) = static_cast<DWORD>(used - sizeof header);
    const bool complete = WriteZeros(file, kSlotBytes - used) && file.Seek(sizeof header) == 0 &&
                          ChecksumOf(file, StreamBytes(header), StreamChecksum(header)) && file.Seek(0) == 0 &&
                          file.Write(&header, sizeof header) == static_cast<int>(sizeof header);
    return file.Close() == 0 && complete ? 0 : 1;
}

int CProfile::WriteStream(CZFile& file)
{
    char level[kLevelNameBytes] = {};
    Copy(level, sizeof level, CShell::GetCurrentLevel());
    CLoadSaveBuffer stream;
    stream.Attach(&file, true);
    stream.Write(level, sizeof level, "level name");
    const bool failed = GObject::SaveAll(stream);
    stream.Flush(0);
    return stream.Close() != 0 || failed ? 1 : 0;
}

int CProfile::LoadGame(int slot)
{
    LoadGameStatus = 1;
    if (!HasTarget() || Current.Name[0] == '\0' || slot < 0 || slot >= SlotCount || CShell::pThe == nullptr)
        return 1;
    char name[CZFile::kPathSize];
    SlotName(name, sizeof name, slot);
    CZFile file;
    if (file.Open(name, kSlotRead) != 0)
        return 1;
    FreeList(Profiles);
    FreeList(Games);
    bProfilesBuilt = false;
    bGamesBuilt = false;
    ResetHeapAllocation();
    if (ReadSlot(file) != 0)
        return 1;
    LoadGameStatus = 0;
    return 0;
}

// An empty, unfinished or foreign slot is refused before anything is loaded.
int CProfile::ReadSlot(CZFile& file)
{
    CProfileDef header;
    if (!ReadHeader(file, header) || !SlotHeaderUsable(header) || header.NameKey != Current.NameKey)
        return 1;
    DWORD checksum = 0;
    if (StreamBytes(header) > static_cast<DWORD>(kSlotBytes) - sizeof header ||
        !ChecksumOf(file, StreamBytes(header), checksum) || checksum != StreamChecksum(header) ||
        file.Seek(sizeof header) != 0) {
        printf("LoadGame: the save is damaged\n");
        return 1;
    }
    CLoadSaveBuffer stream;
    stream.Attach(&file, false);
    char level[kLevelNameBytes];
    stream.Read(level, sizeof level);
    // A level the loader cannot find would end the process; a damaged name only fails the load.
    if (stream.ErrorStatus() != 0)
        return 1;
    if (!IsTerminated(level, sizeof level) || !CZelFile::Exists(level)) {
        printf("LoadGame: the saved level cannot be found\n");
        return 1;
    }
    CShell::pThe->ShellLoadLevel(level);
    const bool failed = GObject::LoadAll(stream, false);
    return stream.Close() != 0 || failed ? 1 : 0;
}

int CProfile::DeleteGame(int slot)
{
    if (!HasTarget() || Current.Name[0] == '\0' || slot < 0 || slot >= SlotCount)
        return 1;
    bGamesBuilt = false;
    return CreateSlotFile(slot);
}
