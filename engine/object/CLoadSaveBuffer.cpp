#include "engine/object/CLoadSaveBuffer.h"

#include <stdio.h>
#include <string.h>

#include "core/file/CZFile.h"
#include "core/heap/ZHeap.h"
#include "engine/object/EditableFillData.h"

CLoadSaveBuffer* CLoadSaveBuffer::pThe = nullptr;

namespace {
// Saved games use the compressor's strongest level.
const int kCompressionLevel = 3;
} // namespace

CLoadSaveBuffer::CLoadSaveBuffer()
    : pBuffer(static_cast<BYTE*>(zmalloc(kBufferBytes))), Cursor(0), pFile(nullptr), SkippedBytes(0), bWrite(true),
      Errors(0), bAttached(false), Held(0), bEnded(false)
{
    pThe = this;
}

CLoadSaveBuffer::~CLoadSaveBuffer() { Close(); }

void CLoadSaveBuffer::Error(const char* what)
{
    if (Errors == 0)
        printf("Save stream: %s\n", what);
    ++Errors;
}

void CLoadSaveBuffer::SetErrorStatus(int errors)
{
    if (errors > Errors)
        Errors = errors;
}

int CLoadSaveBuffer::WriteToFile(void* user, void* data, int count)
{
    CZFile* file = static_cast<CZFile*>(user);
    return file->Write(data, static_cast<unsigned long>(count)) == count ? count : -1;
}

int CLoadSaveBuffer::ReadFromFile(void* user, void* data, int count)
{
    return static_cast<CZFile*>(user)->Read(data, static_cast<unsigned long>(count));
}

void CLoadSaveBuffer::Attach(CZFile* file, bool write)
{
    bWrite = write;
    pFile = file;
    Cursor = 0;
    Held = 0;
    bEnded = false;
    if (pBuffer == nullptr || file == nullptr || !file->IsOpen()) {
        Error("no open file to attach");
        return;
    }
    bAttached = true;
    if (write) {
        if (Compressor.Compress(WriteToFile, file, kCompressionLevel))
            Error("the compressor cannot start");
        return;
    }
    if (Compressor.Decompress(ReadFromFile, file)) {
        Error("the decompressor cannot start");
        return;
    }
    FillRead(0);
}

// Decompresses into the buffer from offset to its end; a short read means the stream ended.
void CLoadSaveBuffer::FillRead(unsigned long offset)
{
    if (bEnded)
        return;
    const int wanted = static_cast<int>(kBufferBytes - offset);
    const int got = Compressor.Read(pBuffer + offset, wanted);
    if (got < 0) {
        const char* why = Compressor.GetErrorText();
        Error(why != nullptr ? why : "the compressed data cannot be read");
        bEnded = true;
        return;
    }
    Held = offset + static_cast<unsigned long>(got);
    bEnded = got < wanted;
}

void CLoadSaveBuffer::Write(const void* data, unsigned long count, const char* label)
{
    if (!bAttached || !bWrite) {
        Error("write to a stream not open for writing");
        return;
    }
    if (count > kMaxStretchBytes || Cursor + count > kMaxStretchBytes) {
        char text[96];
        snprintf(text, sizeof text, "%s of %lu bytes does not fit between two flushes", label ? label : "data", count);
        Error(text);
        return;
    }
    memcpy(pBuffer + Cursor, data, count);
    Cursor += count;
}

void CLoadSaveBuffer::Write(const EditableFillData& record) { Write(&record, sizeof record, "field record"); }

void CLoadSaveBuffer::Read(void* data, unsigned long count)
{
    if (!bAttached || bWrite || Errors != 0 || count > Held || Cursor > Held - count) {
        if (Errors == 0)
            Error(bAttached && !bWrite ? "the stream ends early" : "read from a stream not open for reading");
        memset(data, 0, count);
        return;
    }
    memcpy(data, pBuffer + Cursor, count);
    Cursor += count;
}

void CLoadSaveBuffer::Read(EditableFillData& record) { Read(&record, sizeof record); }

void CLoadSaveBuffer::Seek(int count)
{
    if (count < 0 && static_cast<unsigned long>(-count) > Cursor) {
        Error("seek before the buffer");
        return;
    }
    const unsigned long target = Cursor + count;
    const unsigned long limit = bWrite ? kMaxStretchBytes : Held;
    if (!bAttached || target > limit) {
        Error("seek beyond the stream");
        return;
    }
    if (bWrite && target > Cursor)
        memset(pBuffer + Cursor, 0, target - Cursor);
    Cursor = target;
    SkippedBytes += count;
}

// The compressor takes whole words: an odd last byte waits at the start of the buffer for the
// next flush, so the stream's bytes stay exactly as written.
bool CLoadSaveBuffer::FlushWrite()
{
    const unsigned long even = Cursor & ~1ul;
    if (even != 0 && Compressor.Write(pBuffer, static_cast<int>(even)) != static_cast<int>(even)) {
        const char* why = Compressor.GetErrorText();
        Error(why != nullptr ? why : "the compressed data cannot be written");
        return false;
    }
    if (Cursor & 1)
        pBuffer[0] = pBuffer[even];
    Cursor -= even;
    return true;
}

int CLoadSaveBuffer::Flush(int)
{
    if (Errors != 0 || !bAttached)
        return Errors;
    if (bWrite) {
        FlushWrite();
        return Errors;
    }
    if (Cursor > kHalfBytes) {
        memmove(pBuffer, pBuffer + kHalfBytes, Held - kHalfBytes);
        Cursor -= kHalfBytes;
        Held -= kHalfBytes;
        if (Held == kHalfBytes)
            FillRead(kHalfBytes);
    }
    return Errors;
}

int CLoadSaveBuffer::Close()
{
    if (bAttached) {
        if (bWrite) {
            if (Errors == 0 && FlushWrite() && Cursor != 0) {
                // The odd last byte of the stream goes out with one byte of padding.
                pBuffer[1] = 0;
                Cursor = 2;
                FlushWrite();
            }
            if (Compressor.Compress(nullptr, nullptr, 0) && Errors == 0)
                Error("the compressed stream cannot be finished");
        } else {
            Compressor.Decompress(nullptr, nullptr);
        }
        bAttached = false;
    }
    zfree(pBuffer);
    pBuffer = nullptr;
    if (pThe == this)
        pThe = nullptr;
    return Errors;
}
