#include "qvrn/InputStream.h"

#include <cstdlib>
#include <cstring>
#include <new>

QVInputStream::~QVInputStream() = default;

// Visits the characters [from, to) through PointerAt in blocks, so a file stream is read
// window by window; the stream position is never moved.
template <typename Visit> void QVInputStream::ForEachChar(long from, long to, Visit visit)
{
    const long kBlock = 4096;
    for (long at = from; at < to; at += kBlock) {
        long n = to - at < kBlock ? to - at : kBlock;
        const char* p = PointerAt(at, n);
        if (!p)
            return;
        for (long i = 0; i < n; ++i)
            if (!visit(at + i, p[i]))
                return;
    }
}

long QVInputStream::GetLineNumber(long pos)
{
    long size = GetSize();
    if (pos == -1)
        pos = Tell();
    if (pos < -1 || pos > size)
        return 0;
    long end = pos < size ? pos + 1 : size;
    // Callers ask for positions that mostly move forward (every node of a tree in turn): count
    // on from the last answer instead of from the start, which made large texts quadratic.
    if (end < linesCountedTo_) {
        linesCountedTo_ = 0;
        linesBefore_ = 1;
    }
    long line = linesBefore_;
    long counted = linesCountedTo_;
    ForEachChar(linesCountedTo_, end, [&](long at, char c) {
        if (c == '\n')
            ++line;
        counted = at + 1;
        return true;
    });
    // A window that could not be read ends the count early; only what was seen is kept.
    linesCountedTo_ = counted;
    linesBefore_ = line;
    return line;
}

long QVInputStream::GetLineCount() { return GetLineNumber(GetSize() - 1); }

long QVInputStream::GetLineStart(long line)
{
    if (line < 1)
        return -1;
    if (line == 1)
        return 0;
    long size = GetSize();
    long result = size;
    long seen = 0;
    ForEachChar(0, size, [&](long at, char c) {
        if (c == '\n' && ++seen == line - 1) {
            result = at + 1;
            return false;
        }
        return true;
    });
    return result;
}

char* QVInputStream::GetLineText(long line, char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    dst[0] = 0;
    long start = GetLineStart(line);
    long size = GetSize();
    if (start < 0 || start >= size)
        return dst;
    long used = 0;
    ForEachChar(start, size, [&](long, char c) {
        if (c == '\n' || used >= len - 1)
            return false;
        if (c != '\r')
            dst[used++] = c;
        return true;
    });
    dst[used] = 0;
    return dst;
}

QVMemoryStream* QVMemoryStream::Open(const char* text, long length)
{
    if (!text)
        return nullptr;
    return new (std::nothrow) QVMemoryStream(text, length > 0 ? length : static_cast<long>(strlen(text)));
}

int QVMemoryStream::GetNextChar()
{
    if (pos_ < 0 || pos_ >= size_)
        return 0;
    return static_cast<signed char>(text_[pos_++]);
}

// Copies like strncpy: stops at a NUL of the source and zero-fills the rest.
long QVMemoryStream::Read(char* dst, long n)
{
    long count = size_ - pos_;
    if (count > n)
        count = n;
    if (count <= 0)
        return 0;
    strncpy(dst, text_ + pos_, count);
    pos_ += count;
    return count;
}

long QVMemoryStream::Seek(long pos)
{
    if (pos >= 0 && pos < size_)
        pos_ = pos;
    return pos_;
}

const char* QVMemoryStream::PointerAt(long pos, long len)
{
    if (pos < 0 || len < 0 || pos > size_)
        return nullptr;
    return text_ + pos;
}

QVFileStream* QVFileStream::Open(const char* path, long windowSize)
{
    if (!path || !*path)
        return nullptr;
    QVFileStream* stream = new (std::nothrow) QVFileStream();
    if (!stream)
        return nullptr;
    stream->file_ = fopen(path, "rb");
    stream->capacity_ = windowSize > 0 ? windowSize : 8192;
    stream->window_ = static_cast<char*>(malloc(stream->capacity_));
    if (!stream->file_ || !stream->window_) {
        delete stream;
        return nullptr;
    }
    fseek(stream->file_, 0, SEEK_END);
    stream->size_ = ftell(stream->file_);
    stream->Window(0, 1);
    return stream;
}

QVFileStream::~QVFileStream()
{
    if (file_)
        fclose(file_);
    free(window_);
}

// Makes [pos, pos + len) available in the window, refilling it from pos when needed.
bool QVFileStream::Window(long pos, long len)
{
    if (pos < 0 || len < 0)
        return false;
    if (len > capacity_) {
        long capacity = capacity_;
        while (capacity < len)
            capacity *= 2;
        char* grown = static_cast<char*>(realloc(window_, capacity));
        if (!grown)
            return false;
        window_ = grown;
        capacity_ = capacity;
    } else if (pos >= windowStart_ && pos + len <= windowStart_ + windowCount_) {
        return true;
    }
    fseek(file_, pos, SEEK_SET);
    windowStart_ = pos;
    windowCount_ = static_cast<long>(fread(window_, 1, capacity_, file_));
    return windowCount_ > 0;
}

int QVFileStream::GetNextChar()
{
    if (pos_ < 0 || pos_ >= size_ || !Window(pos_, 1))
        return 0;
    return static_cast<signed char>(window_[pos_++ - windowStart_]);
}

long QVFileStream::Read(char* dst, long n)
{
    long count = size_ - pos_;
    if (count > n)
        count = n;
    if (count <= 0)
        return 0;
    if (count <= capacity_ && Window(pos_, count) && pos_ + count <= windowStart_ + windowCount_) {
        memcpy(dst, window_ + (pos_ - windowStart_), count);
    } else {
        fseek(file_, pos_, SEEK_SET);
        count = static_cast<long>(fread(dst, 1, count, file_));
    }
    pos_ += count;
    return count;
}

long QVFileStream::Seek(long pos)
{
    pos_ = pos;
    return pos_;
}

// Requests reaching past the end are served as far as the file goes; callers bound their
// reads by the size.
const char* QVFileStream::PointerAt(long pos, long len)
{
    if (pos < 0 || pos > size_)
        return nullptr;
    if (pos + len > size_)
        len = size_ - pos;
    if (len == 0)
        return window_;
    if (!Window(pos, len) || pos + len > windowStart_ + windowCount_)
        return nullptr;
    return window_ + (pos - windowStart_);
}
