// Pointer arrays, file helpers, strings, the error table and the scanners.
#include "qvrn/FileFunctions.h"
#include "qvrn/PtrArray.h"
#include "qvrn/QVError.h"
#include "qvrn/QVString.h"
#include "qvrn/Scanners.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string TempPath(const char* name) { return std::string(MG_BINARY_DIR) + "/" + name; }

TEST(PtrArray, GrowsBy16ThenDoublesAndInsertsInPlace)
{
    PtrArray array;
    EXPECT_EQ(array.GetCapacity(), 0);
    int items[40];
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(array.Add(&items[i]), i);
    EXPECT_EQ(array.GetCapacity(), 32);
    EXPECT_EQ(array.GetAt(-1), nullptr);
    EXPECT_EQ(array.GetAt(17), nullptr);

    PtrArray small;
    for (int i = 0; i < 3; ++i)
        small.Add(&items[i]);
    EXPECT_EQ(small.InsertAt(0, &items[9]), 3);
    EXPECT_EQ(small.GetAt(0), &items[9]);
    EXPECT_EQ(small.GetAt(1), &items[0]);
    EXPECT_EQ(small.InsertAt(-2, &items[9]), -1);
    EXPECT_EQ(small.InsertAt(5, &items[9]), -1);
    EXPECT_EQ(small.InsertAt(-1, &items[8]), 4);
    small.RemoveAt(0);
    EXPECT_EQ(small.GetAt(0), &items[0]);
    small.RemoveAt(99);
    EXPECT_EQ(small.GetSize(), 4);
    EXPECT_EQ(small.SetAt(9, nullptr), 0);
    small.RemoveAll();
    EXPECT_EQ(small.GetSize(), 0);
    EXPECT_EQ(small.GetCapacity(), 16);
}

TEST(FileFunctions, EdgeCases)
{
    std::string path = TempPath("qv_file_functions.txt");
    EXPECT_EQ(WriteBufferToFile(path.c_str(), "hello", 5), 5);
    EXPECT_EQ(GetFileSize(path.c_str()), 5);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(LoadBufferFromFile(path.c_str(), buffer, 1), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadBufferFromFile(path.c_str(), buffer, 4), 3);
    EXPECT_STREQ(buffer, "hel");
    char* whole = LoadFile(path.c_str());
    ASSERT_NE(whole, nullptr);
    EXPECT_STREQ(whole, "hello");
    free(whole);
    EXPECT_EQ(CheckFileExists(path.c_str()), 1);
    EXPECT_GT(GetLastModTime(path.c_str()), 0);

    std::string missing = TempPath("qv_no_such_file.txt");
    unlink(missing.c_str());
    EXPECT_EQ(IsReadOnlyFile(missing.c_str()), 1);
    EXPECT_EQ(CheckFileExists(missing.c_str()), 0);
    EXPECT_EQ(GetFileSize(missing.c_str()), 0);
    EXPECT_EQ(LoadFile(missing.c_str()), nullptr);
    EXPECT_EQ(GetLastModTime(""), 0);
    EXPECT_EQ(WriteBufferToFile(path.c_str(), nullptr, 3), 0);
    EXPECT_EQ(WriteBufferToFile(path.c_str(), "x", -1), 0);
}

TEST(QVString, SharesAndComparesIgnoringCase)
{
    QVString empty;
    EXPECT_EQ(static_cast<const char*>(empty), nullptr);
    EXPECT_FALSE(empty == "");
    QVString a("Hello");
    QVString b(a, 0);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    EXPECT_TRUE(b == "HELLO");
    b = "other";
    EXPECT_STREQ(a, "Hello");
    a = a;
    EXPECT_STREQ(a, "Hello");
    QVString c;
    c = a;
    EXPECT_TRUE(c == a);
    EXPECT_FALSE(c == empty);
    std::string longText(100, 'x');
    QVString d(longText.c_str());
    EXPECT_EQ(std::string(d), longText);
}

TEST(QVError, TableTextsAttributesAndOrder)
{
    QVErrorManager manager;
    QVError* first = manager.ThrowError(1005);
    first->SetIntAttribute("Severity", 2);
    first->SetTextAttribute("Description", "x");
    char text[256];
    EXPECT_STREQ(first->GetAttributeList(text, sizeof text), "Severity=2, Description=x");
    EXPECT_STREQ(first->GetMessage(text, sizeof text), "Parse failed");
    EXPECT_EQ(first->GetIntAttribute("severity"), 2);
    EXPECT_EQ(first->GetIntAttribute("Missing"), 0);
    EXPECT_STREQ(first->GetAttributeList(text, sizeof text), "Severity=2, Description=x, Missing=0");
    EXPECT_STREQ(first->GetAttributeList(text, 12), "Severity=2");

    QVError* second = manager.ThrowError(1253);
    EXPECT_STREQ(second->GetMessage(text, sizeof text), "");
    QVError* warning = manager.PostWarning(1701);
    EXPECT_EQ(manager.GetByIndex(0), second);
    EXPECT_EQ(manager.GetByIndex(1), first);
    EXPECT_EQ(manager.GetByIndex(2), warning);
    EXPECT_EQ(manager.GetByIndex(3), nullptr);
    EXPECT_EQ(manager.GetPrevError(second), first);
    manager.ClearErrors();
    EXPECT_EQ(manager.GetNumErrors(), 0);
    EXPECT_EQ(manager.GetNumWarnings(), 1);

    EXPECT_STREQ(QVGetErrorTypeText(1701), "Syncrhonization Error");
    EXPECT_STREQ(QVGetErrorTypeText(1005), "Unrecoverable Parse Error");
    EXPECT_EQ(QVGetErrorTypeText(1010), nullptr);
    EXPECT_STREQ(QVGetErrorMessage(1011), "No ending quote found for 'quotedstring'");
    EXPECT_STREQ(QVGetErrorMessage(1604), "There is no parse currently in progress");
}

// The C library's classes in the "C" locale are the oracle for every byte value.
TEST(Scanners, AgreeWithTheCLibraryOverAllBytes)
{
    setlocale(LC_CTYPE, "C");
    for (int value = 1; value < 256; ++value) {
        char text[2] = {static_cast<char>(value), 0};
        bool alpha = isalpha(value), digit = isdigit(value), space = isspace(value);
        SCOPED_TRACE(value);
        EXPECT_EQ(ScanAlpha(text, 1), alpha ? 1 : 0);
        EXPECT_EQ(ScanAlpha_(text, 1), alpha || value == '_' ? 1 : 0);
        EXPECT_EQ(ScanNumeric(text, 1), digit ? 1 : 0);
        EXPECT_EQ(ScanAlphaNumeric(text, 1), isalnum(value) ? 1 : 0);
        EXPECT_EQ(ScanWhitespace(text, 1), space ? 1 : 0);
        EXPECT_EQ(ScanIdentifier(text, 1), alpha || value == '_' ? 1 : 0);
        EXPECT_EQ(ScanAlNumBlank(text, 1), isalnum(value) || space ? 1 : 0);
    }
    EXPECT_EQ(ScanAlpha("", 5), 0);
}

TEST(Scanners, EdgeCases)
{
    long error = 0;
    EXPECT_EQ(ScanIdentifier("9ab", 3), 0);
    EXPECT_EQ(ScanIdentifier("_a9", 3), 3);
    EXPECT_EQ(ScanQuotedString("\"a\\\"b\"", 6, error), 6);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ScanQuotedString("\"a\n", 3, error), 0);
    EXPECT_EQ(error, 1011);
    error = 0;
    // The limit is the end of what the caller has: an unterminated string never reads past it.
    EXPECT_EQ(ScanQuotedString("\"abc\"", 3, error), 0);
    EXPECT_EQ(error, 1011);
    EXPECT_EQ(ScanEOL("\r\n", 1), 0);
    EXPECT_EQ(ScanEOL("\r\n", 2), 2);
    EXPECT_EQ(ScanEOL("\n", 2), 0);
    EXPECT_EQ(ScanFreetext("abc", 2), 2);
    EXPECT_EQ(QVGetNumPredefinedSymbols(), 10);
    EXPECT_STREQ(QVGetPredefinedSymbolName(0), "alpha");
    EXPECT_STREQ(QVGetPredefinedSymbolName(9), "EOL");
    EXPECT_EQ(QVGetPredefinedSymbolName(10), nullptr);
    EXPECT_EQ(QVLookupPredefinedSymbol("QuotedString"), 6);
    EXPECT_EQ(QVLookupPredefinedSymbol("nothing"), -1);
}

TEST(Scanners, LiteralTranslationAndPrintableText)
{
    char out[16];
    EXPECT_EQ(TranslateLiteralExp("\"\\65\"", out, sizeof out), 1);
    EXPECT_STREQ(out, "A");
    EXPECT_EQ(TranslateLiteralExp("\"a\\tb\\n\\q\"", out, sizeof out), 5);
    EXPECT_STREQ(out, "a\tb\nq");
    EXPECT_EQ(TranslateLiteralExp("\"open", out, sizeof out), 0);
    EXPECT_EQ(TranslateLiteralExp("\"abc\\", out, sizeof out), 0);
    EXPECT_EQ(TranslateLiteralExp("\"abcdef\"", out, 4), 0);
    char printable[64];
    EXPECT_STREQ(MakePrintableString("a\tb\r\n\x01", 6, printable, sizeof printable), "a\\tb\\r\\n\\1");
}

} // namespace
