#pragma once
// Chunk files of the RIFF family over a CZFile: RIFF (little-endian sizes), FORM (big-endian,
// as in IFF) and LIST chunks inside either. A reader descends into chunks by id and list type,
// reads relative to the current chunk and ascends; a writer starts chunks the same way and
// patches their sizes on the way out. A reader can attach to another reader's file to read one
// member of a pack in place.
#include "core/containers/ZxArray.h"
#include "core/file/CZFile.h"

// One open chunk.
struct ZRIFFCKINFO {
    unsigned long id;        // four-character code, first character in the lowest byte
    unsigned long size;      // data size as stored: no header, no pad byte
    unsigned long listType;  // RIFF, FORM and LIST chunks; 0 for the others
    unsigned long dataStart; // file position right after the 8-byte header
    unsigned long openSize;  // kOpenSize while a chunk being written has its size to patch
    char printableId[5];
};

class CZRiffFile {
public:
    static constexpr unsigned long kOpenSize = 0x80000000UL;

    CZRiffFile();
    virtual ~CZRiffFile();
    CZRiffFile(const CZRiffFile&) = delete;
    CZRiffFile& operator=(const CZRiffFile&) = delete;

    // Opens name (no base folder) and enters its top "RIFF", or else "FORM", chunk of formType.
    ZRIFFCKINFO* Open(const char* name, unsigned long formType);
    // Creates name (no base folder) and starts its top "RIFF" chunk of formType.
    ZRIFFCKINFO* Create(const char* name, unsigned long formType);
    // Reads the file of another open reader from its start; Close gives the file back at the
    // position it had.
    ZRIFFCKINFO* Attach(CZRiffFile* other, unsigned long formType);
    // Ascends out of every chunk (patching the sizes of those being written) and closes.
    void Close();

    // Reading: finds the next chunk with that id and list type (0 matches any) among the
    // siblings at the current position; writing: starts one. Null when there is none or on a
    // write failure; a failed search leaves the position as it was.
    virtual ZRIFFCKINFO* Descend(unsigned long id, unsigned long listType, bool withinParent);
    // Leaves the current chunk; returns the new current chunk, null when none is left.
    virtual ZRIFFCKINFO* Ascend();

    // Position relative to the current chunk's data.
    unsigned long Tell();
    // True (failure) when offset lies beyond the current chunk's size.
    bool Seek(unsigned long offset);
    // Reads count bytes of the current chunk, clipped to what is left of it; a pad byte after
    // an odd-sized chunk is skipped when the read reaches the chunk's end. With swap, a 2- or
    // 4-byte read is reversed (reading big-endian values). True on failure.
    bool Read(void* buffer, unsigned long count, bool swap);
    // Writes count bytes and one zero byte after an odd count. True on failure, a count of 0
    // included. When the chunk ends right after such a pad, its size excludes the pad.
    bool Write(const void* buffer, unsigned long count);
    // A NUL-terminated text padded to an even length, read byte by byte; the NUL must come
    // within maxCount bytes. buffer holds maxCount + 1 bytes and is always terminated.
    bool ReadString(int maxCount, char* buffer);
    // The converter's form: at most 2,048 bytes into any string type assignable from text.
    template <class S> bool ReadString(S& out)
    {
        char buffer[kMaxStringField + 1];
        bool failed = ReadString(kMaxStringField, buffer);
        out = buffer;
        return failed;
    }
    bool WriteString(const char* text);
    // Four bytes without swapping; failure unless each is a printable character (32 to 127).
    bool ReadFourCC(unsigned long* code);

    // "ALL" becomes "ALL ".
    static unsigned long MakeFourCC(const char* text);
    // The code as text, in one shared buffer.
    static const char* FourCCToString(unsigned long code);
    static bool IsBadFourCC(unsigned long code);

    ZRIFFCKINFO* GetCurrentChunk() const { return m_pCurrent; }
    bool IsBigEndian() const { return m_bBigEndian; }
    bool IsOpen() const { return m_pFile != nullptr; }

private:
    static constexpr int kMaxStringField = 2048;

    ZRIFFCKINFO* Push(unsigned long id, unsigned long listType);
    void Pop();
    ZRIFFCKINFO* FindChunk(ZRIFFCKINFO* record, const ZRIFFCKINFO* parent);
    ZRIFFCKINFO* StartChunk(ZRIFFCKINFO* record);
    // Whether the file really holds the chunk's last data byte.
    bool DataInFile(const ZRIFFCKINFO& chunk);
    ZRIFFCKINFO* EnterTop(unsigned long formType);
    bool Writing() const;
    bool SeekFile(unsigned long position);
    bool ReadBytes(void* buffer, unsigned long count);
    bool WriteBytes(const void* buffer, unsigned long count);

    ZRIFFCKINFO* m_pCurrent;
    ZxArray<ZRIFFCKINFO, 32> m_Stack;
    CZFile* m_pFile;
    unsigned long m_SharedPosition;
    bool m_bAttached;
    bool m_bBigEndian;
    // The last thing written was the pad byte of an odd Write.
    bool m_bTrailingPad;
};
