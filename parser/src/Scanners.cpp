#include "qvrn/Scanners.h"
#include "qvrn/QVError.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

bool QVIsAlpha(char c) { return isalpha(static_cast<unsigned char>(c)) != 0; }
bool QVIsDigit(char c) { return isdigit(static_cast<unsigned char>(c)) != 0; }
bool QVIsSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

namespace {

template <typename Pred> long Run(const char* text, long n, Pred pred)
{
    long i = 0;
    while (i < n && text[i] && pred(text[i]))
        ++i;
    return i;
}

const char* const kPredefined[] = {"alpha",    "alpha_",       "numeric",    "alphanumeric", "whitespace",
                                   "freetext", "quotedstring", "identifier", "alnumblank",   "EOL"};

} // namespace

long ScanAlpha_(const char* text, long n)
{
    return Run(text, n, [](char c) { return QVIsAlpha(c) || c == '_'; });
}

long ScanAlpha(const char* text, long n) { return Run(text, n, QVIsAlpha); }
long ScanNumeric(const char* text, long n) { return Run(text, n, QVIsDigit); }

long ScanAlphaNumeric(const char* text, long n)
{
    return Run(text, n, [](char c) { return QVIsAlpha(c) || QVIsDigit(c); });
}

long ScanWhitespace(const char* text, long n) { return Run(text, n, QVIsSpace); }
long ScanFreetext(const char*, long n) { return n; }

long ScanIdentifier(const char* text, long n)
{
    if (n < 1 || !(QVIsAlpha(text[0]) || text[0] == '_'))
        return 0;
    return 1 + Run(text + 1, n - 1, [](char c) { return QVIsAlpha(c) || QVIsDigit(c) || c == '_'; });
}

long ScanAlNumBlank(const char* text, long n)
{
    return Run(text, n, [](char c) { return QVIsAlpha(c) || QVIsDigit(c) || QVIsSpace(c); });
}

long ScanEOL(const char* text, long n) { return n >= 2 && text[0] == '\r' && text[1] == '\n' ? 2 : 0; }

long ScanQuotedString(const char* text, long n, long& error)
{
    if (n < 1 || text[0] != '"')
        return 0;
    for (long i = 1; i < n; ++i) {
        char c = text[i];
        if (c == '\n' || c == 0)
            break;
        if (c == '"')
            return i + 1;
        if (c == '\\') {
            if (i + 1 >= n || text[i + 1] == '\n' || text[i + 1] == 0)
                break;
            ++i;
        }
    }
    error = kQVNoEndingQuote;
    return 0;
}

long QVGetNumPredefinedSymbols() { return 10; }

const char* QVGetPredefinedSymbolName(long index) { return index >= 0 && index < 10 ? kPredefined[index] : nullptr; }

long QVLookupPredefinedSymbol(const char* name)
{
    if (!name)
        return -1;
    for (long i = 0; i < 10; ++i)
        if (strcasecmp(kPredefined[i], name) == 0)
            return i;
    return -1;
}

long QVScanPredefined(long index, const char* text, long n, long& error)
{
    switch (index) {
    case 0:
        return ScanAlpha_(text, n);
    case 1:
        return ScanAlpha(text, n);
    case 2:
        return ScanNumeric(text, n);
    case 3:
        return ScanAlphaNumeric(text, n);
    case 4:
        return ScanWhitespace(text, n);
    case 5:
        return ScanFreetext(text, n);
    case 6:
        return ScanQuotedString(text, n, error);
    case 7:
        return ScanIdentifier(text, n);
    case 8:
        return ScanAlNumBlank(text, n);
    case 9:
        return ScanEOL(text, n);
    default:
        return 0;
    }
}

long TranslateLiteralExp(const char* src, char* dst, long dstLen)
{
    if (!src || !dst || dstLen <= 0 || src[0] != '"')
        return 0;
    long used = 0;
    for (const char* p = src + 1;; ++p) {
        char c = *p;
        if (c == 0)
            return 0;
        if (c == '"')
            break;
        if (c == '\\') {
            c = *++p;
            if (c == 0)
                return 0;
            if (c == 'n') {
                c = '\n';
            } else if (c == 'r') {
                c = '\r';
            } else if (c == 't') {
                c = '\t';
            } else if (QVIsDigit(c)) {
                int value = 0;
                for (int digits = 0; digits < 3 && QVIsDigit(*p); ++digits, ++p)
                    value = value * 10 + (*p - '0');
                --p;
                c = static_cast<char>(value);
            }
        }
        if (used + 1 >= dstLen)
            return 0;
        dst[used++] = c;
    }
    dst[used] = 0;
    return used;
}

char* MakePrintableString(const char* src, unsigned n, char* dst, unsigned dstLen)
{
    if (!dst || dstLen == 0)
        return dst;
    unsigned used = 0;
    for (unsigned i = 0; src && i < n; ++i) {
        char item[8];
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c == '\t')
            strcpy(item, "\\t");
        else if (c == '\n')
            strcpy(item, "\\n");
        else if (c == '\r')
            strcpy(item, "\\r");
        else if (isprint(c))
            snprintf(item, sizeof item, "%c", c);
        else
            snprintf(item, sizeof item, "\\%u", c);
        unsigned len = static_cast<unsigned>(strlen(item));
        if (used + len >= dstLen)
            break;
        memcpy(dst + used, item, len);
        used += len;
    }
    dst[used] = 0;
    return dst;
}
