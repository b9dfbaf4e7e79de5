#pragma once

class QVInputStream;

// The matching primitives the parse engine needs, over one stream. Over a stream that has
// its whole text in memory the reader works on that text; otherwise every access goes
// through the stream's window. Positions outside the input read as NUL.
// Final: the engine's calls to it need no table lookup.
class QVInputReader final {
public:
    static QVInputReader* Create(QVInputStream* stream);

    virtual QVInputStream* GetStream() { return stream_; }
    virtual long GetSize() { return size_; }
    virtual char CharAt(long pos);
    // CharAt without a call where the whole text is in memory: the engine's inner loops ask
    // for single characters most of all.
    char FastCharAt(long pos) { return whole_ && pos >= 0 && pos < size_ ? whole_[pos] : CharAt(pos); }
    virtual long CopyText(char* dst, long pos, long len);
    virtual long WhitespaceSpan(const char* set, long pos);
    virtual long MatchLiteral(const char* text, long len, long pos, bool caseSensitive, bool delimiterCheck,
                              long& error);
    virtual long ScanPredefined(long index, long pos, long budget, long& error);
    // record: int32 count, then count entries {int32 length, bytes}.
    virtual long MatchStringList(const char* record, long pos, long budget, long tokenLength, bool caseSensitive,
                                 bool delimiterCheck, long& error);
    virtual long FindLiteral(const char* text, long len, long pos, long budget, bool caseSensitive, bool delimiterCheck,
                             long& error);
    virtual long CompareRanges(long posA, long posB, long len, bool caseSensitive);
    virtual long CompareText(const char* text, long pos, long len, bool caseSensitive);
    virtual const char* PointerAt(long pos, long len);
    virtual ~QVInputReader() = default;

private:
    explicit QVInputReader(QVInputStream* stream);
    bool DelimiterRefuses(char last, long pos);

    QVInputStream* stream_;
    const char* whole_;
    long size_;
};
