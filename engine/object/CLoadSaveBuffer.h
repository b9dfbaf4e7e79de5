#pragma once
// The save stream: a buffered stream that compresses into, or decompresses from, an open
// file. Saved games and the editor's clipboard carry the object tree through it.
//
// The reading side slides its 64 KB buffer down by half whenever a flush finds the cursor in
// the second half, so it always holds at least 32 KB ahead of the last flush. The writing side
// therefore refuses more than that between two flushes, and every read and write is checked
// against what the buffer holds: a damaged stream counts an error, it never reads or writes
// outside the buffer.
#include <windows.h>

#include "core/compress/CKzqCompressor.h"
#include "engine/object/HGOBJECT.h"

class CZFile;
struct EditableFillData;

// Magics of object headers: a top-level object (and the end of the stream), a child (and the
// end of a child list).
const DWORD LS_MAGIC_TOP = 0x7FEA419D;
const DWORD LS_MAGIC_CHILD = 0xBADF00DE;

#pragma pack(push, 1)
struct LSObjectHeader {
    DWORD Magic;
    DWORD ClassId;
    DWORD Label;
    HGOBJECT Handle;
};
#pragma pack(pop)
static_assert(sizeof(LSObjectHeader) == 16, "LSObjectHeader is stored in save streams");

class CLoadSaveBuffer {
public:
    static const unsigned long kBufferBytes = 65536;
    static const unsigned long kHalfBytes = 32768;
    // What one stretch between two flushes may hold. The reader's stretches are offset from
    // the writer's by one object header, so a little is kept in hand.
    static const unsigned long kMaxStretchBytes = kHalfBytes - 64;

    CLoadSaveBuffer();
    ~CLoadSaveBuffer();
    // Two streams must never share one buffer and compressor.
    CLoadSaveBuffer(const CLoadSaveBuffer&) = delete;
    CLoadSaveBuffer& operator=(const CLoadSaveBuffer&) = delete;

    void Attach(CZFile* file, bool write);

    // The label names the data in diagnostics; it is not stored.
    void Write(const void* data, unsigned long count, const char* label = nullptr);
    void Write(int value) { Write(&value, 4, "int"); }
    void Write(unsigned long value) { Write(&value, 4, "DWORD"); }
    void Write(float value) { Write(&value, 4, "float"); }
    void Write(const LSObjectHeader& header) { Write(&header, sizeof header, "header"); }
    void Write(const EditableFillData& record);

    // A read that the stream cannot satisfy counts an error and yields zero bytes.
    void Read(void* data, unsigned long count);
    void Read(int& value) { Read(&value, 4); }
    void Read(unsigned long& value) { Read(&value, 4); }
    void Read(unsigned short& value) { Read(&value, 2); }
    void Read(float& value) { Read(&value, 4); }
    void Read(LSObjectHeader& header) { Read(&header, sizeof header); }
    void Read(EditableFillData& record);

    // Moves the cursor by count bytes (written as zeros) and counts them as skipped.
    void Seek(int count);
    // Returns the error count. Writing: compresses what is buffered. Reading: slides the
    // buffer once the cursor is past its first half.
    int Flush(int = 0);
    // Returns the error count, 0 = success. Frees the buffer.
    int Close();
    int ErrorStatus() const { return Errors; }
    // Counts an error from outside the stream (a handle clash while objects are recreated).
    void SetErrorStatus(int errors);
    // The address of the next byte to be read or written.
    void* Tell() { return pBuffer != nullptr ? pBuffer + Cursor : nullptr; }
    unsigned long Skipped() const { return SkippedBytes; }

    static CLoadSaveBuffer* pThe;

private:
    void Error(const char* what);
    bool FlushWrite();
    void FillRead(unsigned long offset);
    static int WriteToFile(void* user, void* data, int count);
    static int ReadFromFile(void* user, void* data, int count);

    BYTE* pBuffer;
    unsigned long Cursor;
    CZFile* pFile;
    CKzqCompressor Compressor;
    unsigned long SkippedBytes;
    bool bWrite;
    int Errors;
    bool bAttached;
    unsigned long Held; // reading: bytes of stream data in the buffer
    bool bEnded;        // reading: the compressed stream has delivered its last byte
};
