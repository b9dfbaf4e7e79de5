#pragma once

// Scanners of the predefined symbols: each returns the length of the longest run at text
// within n characters (character classes of the C library in the default locale).
long ScanAlpha_(const char* text, long n);
long ScanAlpha(const char* text, long n);
long ScanNumeric(const char* text, long n);
long ScanAlphaNumeric(const char* text, long n);
long ScanWhitespace(const char* text, long n);
long ScanFreetext(const char* text, long n);
long ScanIdentifier(const char* text, long n);
long ScanAlNumBlank(const char* text, long n);
long ScanEOL(const char* text, long n);
// A double-quoted string with backslash escapes, quotes included. The search stops at n
// characters, a LF or a NUL, each of which counts as a missing closing quote (error 1011).
long ScanQuotedString(const char* text, long n, long& error);

long QVGetNumPredefinedSymbols();
const char* QVGetPredefinedSymbolName(long index);
long QVLookupPredefinedSymbol(const char* name);
// Scans predefined symbol `index` at text within n characters.
long QVScanPredefined(long index, const char* text, long n, long& error);

long TranslateLiteralExp(const char* src, char* dst, long dstLen);
char* MakePrintableString(const char* src, unsigned n, char* dst, unsigned dstLen);

// C-locale character classes on a byte, whatever its sign.
bool QVIsAlpha(char c);
bool QVIsDigit(char c);
bool QVIsSpace(char c);
