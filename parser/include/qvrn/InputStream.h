#pragma once

#include <cstdio>

// Abstract source text of a parse. Line queries (LF counted, CR dropped from line texts)
// leave the position where it was.
class QVInputStream {
public:
    virtual ~QVInputStream();
    virtual long GetSize() = 0;
    virtual int GetNextChar() = 0;
    virtual long Read(char* dst, long n) = 0;
    virtual long Seek(long pos) = 0;
    virtual long Tell() = 0;
    virtual const char* PointerAt(long pos, long len) = 0;
    virtual const char* GetWholeBuffer() = 0;
    virtual void SetFlag(int flag) { flag_ = flag; }
    virtual int GetFlag() { return flag_; }
    virtual long GetLineNumber(long pos);
    virtual long GetLineCount();
    virtual long GetLineStart(long line);
    virtual char* GetLineText(long line, char* dst, long len);

protected:
    int flag_ = 0;

private:
    template <typename Visit> void ForEachChar(long from, long to, Visit visit);

    // The line count of the characters [0, linesCountedTo_), kept from the last line query.
    long linesCountedTo_ = 0;
    long linesBefore_ = 1;
};

// A stream over a caller's text buffer (not owned).
class QVMemoryStream : public QVInputStream {
public:
    static QVMemoryStream* Open(const char* text, long length);
    long GetSize() override { return size_; }
    int GetNextChar() override;
    long Read(char* dst, long n) override;
    long Seek(long pos) override;
    long Tell() override { return pos_; }
    const char* PointerAt(long pos, long len) override;
    const char* GetWholeBuffer() override { return text_; }

private:
    QVMemoryStream(const char* text, long size) : text_(text), size_(size) {}
    const char* text_;
    long size_;
    long pos_ = 0;
};

// A stream over a file, read through a sliding window (8,192 characters unless told).
class QVFileStream : public QVInputStream {
public:
    static QVFileStream* Open(const char* path, long windowSize);
    ~QVFileStream() override;
    long GetSize() override { return size_; }
    int GetNextChar() override;
    long Read(char* dst, long n) override;
    long Seek(long pos) override;
    long Tell() override { return pos_; }
    const char* PointerAt(long pos, long len) override;
    const char* GetWholeBuffer() override { return nullptr; }

private:
    QVFileStream() = default;
    bool Window(long pos, long len);

    FILE* file_ = nullptr;
    long size_ = 0;
    char* window_ = nullptr;
    long capacity_ = 0;
    long windowStart_ = 0;
    long windowCount_ = 0;
    long pos_ = 0;
};
