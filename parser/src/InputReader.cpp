#include "qvrn/InputReader.h"
#include "qvrn/QVError.h"

#include "ParserImpInternal.h"
#include "qvrn/InputStream.h"
#include "qvrn/Instructions.h"
#include "qvrn/Scanners.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <new>
#include <strings.h>

namespace {

bool IsWordChar(char c) { return QVIsAlpha(c) || c == '_'; }

// By table: literal comparisons run on every step.
char Fold(char c) { return static_cast<char>(qvparse::kFold[static_cast<unsigned char>(c)]); }

bool SameText(const char* a, const char* b, long len, bool caseSensitive)
{
    if (caseSensitive)
        return memcmp(a, b, len) == 0;
    for (long i = 0; i < len; ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

// Compares as strncmp does, over two character sources: the first difference orders them and
// a NUL both hold ends the comparison early.
template <typename CharA, typename CharB> long CompareChars(long len, bool caseSensitive, CharA charA, CharB charB)
{
    for (long i = 0; i < len; ++i) {
        char a = charA(i);
        char b = charB(i);
        if (!caseSensitive) {
            a = Fold(a);
            b = Fold(b);
        }
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
    return 0;
}

} // namespace

QVInputReader* QVInputReader::Create(QVInputStream* stream)
{
    return stream ? new (std::nothrow) QVInputReader(stream) : nullptr;
}

QVInputReader::QVInputReader(QVInputStream* stream)
    : stream_(stream), whole_(stream->GetWholeBuffer()), size_(stream->GetSize())
{
}

const char* QVInputReader::PointerAt(long pos, long len)
{
    if (pos < 0 || len < 0 || pos + len > size_)
        return nullptr;
    return whole_ ? whole_ + pos : stream_->PointerAt(pos, len);
}

char QVInputReader::CharAt(long pos)
{
    const char* p = PointerAt(pos, 1);
    return p ? *p : 0;
}

long QVInputReader::CopyText(char* dst, long pos, long len)
{
    if (pos < 0 || pos > size_)
        return 0;
    if (len > size_ - pos)
        len = size_ - pos;
    const char* p = PointerAt(pos, len);
    if (!p || len <= 0)
        return 0;
    memcpy(dst, p, len);
    return len;
}

long QVInputReader::WhitespaceSpan(const char* set, long pos)
{
    long n = 0;
    for (;;) {
        char c = CharAt(pos + n);
        if (c == 0 || !strchr(set, c))
            return n;
        ++n;
    }
}

bool QVInputReader::DelimiterRefuses(char last, long pos)
{
    char next = CharAt(pos);
    if (next == 0 || QVIsSpace(next))
        return false;
    return (IsWordChar(next) && IsWordChar(last)) || (QVIsDigit(next) && QVIsDigit(last));
}

long QVInputReader::MatchLiteral(const char* text, long len, long pos, bool caseSensitive, bool delimiterCheck,
                                 long& error)
{
    // Most literals a parse tries differ from the input at their first character.
    if (whole_ && len > 0 && pos >= 0 && pos < size_ && !SameText(whole_ + pos, text, 1, caseSensitive))
        return 0;
    const char* p = PointerAt(pos, len);
    if (!p || !SameText(p, text, len, caseSensitive))
        return 0;
    if (delimiterCheck && len > 0 && DelimiterRefuses(text[len - 1], pos + len)) {
        error = kQVNoDelimiterAfterLiteral;
        return 0;
    }
    return len;
}

// Scans a window that grows until the run ends inside it, so a stream is never read whole
// for a short token.
long QVInputReader::ScanPredefined(long index, long pos, long budget, long& error)
{
    long available = size_ - pos;
    if (budget > available)
        budget = available;
    if (budget <= 0 || pos < 0)
        return 0;
    for (long window = budget < 1024 || whole_ ? budget : 1024;; window *= 2) {
        if (window > budget)
            window = budget;
        const char* p = PointerAt(pos, window);
        if (!p)
            return 0;
        long scanError = 0;
        long n = QVScanPredefined(index, p, window, scanError);
        bool cutByWindow = window < budget && (n == window || (index == 6 && scanError != 0 && n == 0));
        if (!cutByWindow) {
            if (scanError)
                error = scanError;
            return n;
        }
    }
}

long QVInputReader::MatchStringList(const char* record, long pos, long budget, long tokenLength, bool caseSensitive,
                                    bool delimiterCheck, long& error)
{
    int32_t count = QVReadInt(record, 0);
    const char* entry = record + 4;
    for (int32_t i = 0; i < count; ++i) {
        int32_t len = QVReadInt(entry, 0);
        const char* text = entry + 4;
        entry = text + len;
        if (len > budget || (tokenLength > 0 && len != tokenLength))
            continue;
        long entryError = 0;
        long n = MatchLiteral(text, len, pos, caseSensitive, delimiterCheck, entryError);
        if (n > 0)
            return n;
        if (entryError)
            error = entryError;
    }
    return 0;
}

// Positions where only the delimiter check refused the literal are passed over silently.
long QVInputReader::FindLiteral(const char* text, long len, long pos, long budget, bool caseSensitive,
                                bool delimiterCheck, long&)
{
    for (long p = pos; p <= pos + budget - len && p + len <= size_; ++p) {
        long ignored = 0;
        if (len > 0 && MatchLiteral(text, len, p, caseSensitive, delimiterCheck, ignored) == len)
            return p;
    }
    return -1;
}

long QVInputReader::CompareRanges(long posA, long posB, long len, bool caseSensitive)
{
    return CompareChars(
        len, caseSensitive, [&](long i) { return CharAt(posA + i); }, [&](long i) { return CharAt(posB + i); });
}

long QVInputReader::CompareText(const char* text, long pos, long len, bool caseSensitive)
{
    return CompareChars(
        len, caseSensitive, [&](long i) { return text[i]; }, [&](long i) { return CharAt(pos + i); });
}
