#pragma once
// The engine's one file object: open, read, write, seek, delete, an existence test and a
// folder search. Flags choose the access and the base folder put in front of every name: none,
// the data folder (the nearest "zel" folder up from the host program) or a profile folder
// beside it. The portable half keeps the position and the search state; the Plat_* half does
// the work. Names are Windows paths; the platform half maps them for the file system.
#include <io.h>

#include <cstdio>
#include <stdint.h>

class CZFile {
public:
    enum : unsigned long {
        kRead = 0x0001,
        kWrite = 0x0002,
        kExists = 0x0004,
        kFindFiles = 0x0040,
        kFindFolders = 0x0080,
        kNoBaseFolder = 0x8008,
        kDataFolder = 0x4300,
        kProfileFolders = 0x3C00,
        kFirstProfileFolder = 0x1400,
        // One bit of each base-folder choice above, for callers to pass.
        kAsNamed = 0x0008, // no base folder: the name is a full path
        kInDataFolder = 0x0100,
        kInProfileFolder = 0x0400,
        kInSecondProfileFolder = 0x0800,
    };
    static constexpr int kPathSize = 512;
    static constexpr int kPatternSize = 64;
    static constexpr int kFoundNameSize = 64;

    CZFile();
    ~CZFile();
    // Two objects must never share one open stream or search.
    CZFile(const CZFile&) = delete;
    CZFile& operator=(const CZFile&) = delete;

    // 0 on success. With kExists: 0 when the file exists; nothing is opened or closed. A
    // running search and a null name open the entry last found.
    int Open(const char* name, unsigned long flags);
    int Close();
    // Bytes read (fewer only at the end of the file), or -1.
    int Read(void* buffer, unsigned long count);
    // count, or -1 when not open for writing or when fewer bytes were written.
    int Write(const void* buffer, unsigned long count);
    // 1 when not open; 0 otherwise. Seeks from the start of the file.
    int Seek(unsigned long position);
    // Deletes a file (never a folder) under the naming rules of Open; 0 on success.
    int Delete(const char* name, unsigned long flags);
    // Starts a search (or continues the running one, ignoring the arguments); 0 when an entry
    // was accepted. Folders are reported with a trailing backslash. Both null ends the search.
    int Find(const char* folder, const char* pattern, unsigned long flags);
    const char* GetFoundName() const;
    // The base folder the flags select; out holds at least kPathSize characters.
    static void GetPath(char* out, unsigned long flags);

    unsigned long GetFileFlags() const { return m_FileFlags; }
    unsigned long GetFilePos() const { return m_Position; }
    bool IsOpen() const { return m_bOpen; }
    bool IsSearching() const { return m_bSearching; }

private:
    // Base folder, then the name (or the search folder and the found entry); false when the
    // result would not fit in kPathSize characters or there is nothing to name.
    bool BuildPath(char* out, const char* name, unsigned long flags) const;
    void EndSearch();

    void Plat_Init();
    void Plat_Exit();
    static void Plat_Path(char* out, unsigned long flags);
    static long Plat_Device(const char* path);
    static int Plat_Exists(const char* path);
    int Plat_Open(const char* path, unsigned long flags);
    int Plat_Close();
    static int Plat_Delete(const char* path);
    int Plat_Read(void* buffer, unsigned long count);
    int Plat_Write(const void* buffer, unsigned long count);
    int Plat_Seek(unsigned long position);
    int Plat_FindOpen(const char* path);
    void Plat_FindClose();
    int Plat_FindNext();
    int Plat_FindProcess();

    bool m_bOpen;
    bool m_bSearching;
    unsigned long m_Position;
    long m_Device;
    char m_SearchFolder[kPathSize];
    char m_SearchPattern[kPatternSize];
    char m_FoundName[kFoundNameSize];
    unsigned long m_FileFlags;
    unsigned long m_SearchFlags;

    FILE* m_pStream;
    intptr_t m_hFind;
    _finddata_t m_FindData;
};
