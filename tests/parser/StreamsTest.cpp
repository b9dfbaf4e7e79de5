// Memory and file streams: line queries against an independent Python oracle, the file
// stream's window, and the input reader's literal rules.
#include "qvrn/FileFunctions.h"
#include "qvrn/InputReader.h"
#include "qvrn/InputStream.h"
#include "../support/TestScratch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

std::string OracleDir()
{
    std::string dir = mgtest::ScratchPath("line_oracle");
    mkdir(dir.c_str(), 0755);
    std::string command = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/parser/line_oracle.py " + dir;
    EXPECT_EQ(system(command.c_str()), 0);
    return dir;
}

std::string Hex(const char* text)
{
    std::string out;
    char byte[3];
    for (const char* p = text; *p; ++p) {
        snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(*p));
        out += byte;
    }
    return out.empty() ? "-" : out;
}

void CheckAnswers(const std::string& dir, bool fileStream)
{
    FILE* answers = fopen((dir + "/answers.txt").c_str(), "r");
    ASSERT_NE(answers, nullptr);
    int current = -1;
    char* text = nullptr;
    std::unique_ptr<QVInputStream> stream;
    int n;
    char kind[16];
    long a;
    while (fscanf(answers, "%d %15s %ld", &n, kind, &a) == 3) {
        if (n != current) {
            std::string path = dir + "/case" + std::to_string(n) + ".txt";
            free(text);
            text = LoadFile(path.c_str());
            stream.reset(fileStream ? static_cast<QVInputStream*>(QVFileStream::Open(path.c_str(), 64))
                                    : QVMemoryStream::Open(text, 0));
            ASSERT_NE(stream, nullptr);
            current = n;
        }
        SCOPED_TRACE(std::to_string(n) + " " + kind + " " + std::to_string(a));
        std::string kindText = kind;
        if (kindText == "count") {
            EXPECT_EQ(stream->GetLineCount(), a);
            continue;
        }
        char expected[65536];
        ASSERT_EQ(fscanf(answers, "%65535s", expected), 1);
        if (kindText == "number") {
            EXPECT_EQ(stream->GetLineNumber(a), atol(expected));
        } else if (kindText == "start") {
            EXPECT_EQ(stream->GetLineStart(a), atol(expected));
        } else {
            char line[2048];
            EXPECT_EQ(Hex(stream->GetLineText(a, line, sizeof line)), expected);
        }
    }
    free(text);
    fclose(answers);
}

TEST(StreamLines, MemoryAndFileStreamsMatchTheOracle)
{
    std::string dir = OracleDir();
    CheckAnswers(dir, false);
    CheckAnswers(dir, true);
}

TEST(StreamLines, SpecifiedExamples)
{
    std::unique_ptr<QVInputStream> stream(QVMemoryStream::Open("a\nb", 0));
    EXPECT_EQ(stream->GetLineNumber(0), 1);
    EXPECT_EQ(stream->GetLineNumber(1), 2);
    EXPECT_EQ(stream->GetLineNumber(3), 2);
    EXPECT_EQ(stream->GetLineNumber(4), 0);
    std::unique_ptr<QVInputStream> crlf(QVMemoryStream::Open("x\r\nyz\n", 0));
    char line[16];
    EXPECT_STREQ(crlf->GetLineText(2, line, sizeof line), "yz");
    EXPECT_STREQ(crlf->GetLineText(9, line, sizeof line), "");
    EXPECT_EQ(crlf->Tell(), 0);
}

// Line numbers are counted on from the previous query: any order of queries, forwards, backwards
// and repeated, gives the count from the start of the text.
TEST(StreamLines, LineNumbersInAnyQueryOrder)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += std::string(size_t(i % 7), 'x') + "\n";
    std::unique_ptr<QVInputStream> stream(QVMemoryStream::Open(text.data(), long(text.size())));
    unsigned seed = 7;
    for (int query = 0; query < 400; ++query) {
        seed = seed * 1103515245u + 12345u;
        long pos = query < 100 ? query * 9 : long((seed >> 8) % text.size());
        long expected = 1;
        for (long i = 0; i <= pos; ++i)
            expected += text[size_t(i)] == '\n' ? 1 : 0;
        ASSERT_EQ(stream->GetLineNumber(pos), expected) << "query " << query << " at " << pos;
    }
}

TEST(MemoryStream, ReadSeekAndEnd)
{
    std::unique_ptr<QVInputStream> stream(QVMemoryStream::Open("abc", 0));
    EXPECT_EQ(stream->GetSize(), 3);
    EXPECT_EQ(stream->Seek(5), 0);
    EXPECT_EQ(stream->Seek(2), 2);
    EXPECT_EQ(stream->GetNextChar(), 'c');
    EXPECT_EQ(stream->GetNextChar(), 0);
    stream->Seek(0);
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(stream->Read(buffer, 5), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(QVMemoryStream::Open(nullptr, 0), nullptr);
}

TEST(FileStream, WindowServesEveryPosition)
{
    std::string path = std::string(MG_BINARY_DIR) + "/qv_window.txt";
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>('a' + i % 26);
    WriteBufferToFile(path.c_str(), data.data(), static_cast<long>(data.size()));
    std::unique_ptr<QVInputStream> stream(QVFileStream::Open(path.c_str(), 0));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetWholeBuffer(), nullptr);
    stream->Seek(19999);
    EXPECT_EQ(stream->GetNextChar(), data[19999]);
    EXPECT_EQ(stream->GetNextChar(), 0);
    const char* p = stream->PointerAt(100, 10000);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 10000), data.substr(100, 10000));
    stream->Seek(8190);
    char buffer[20];
    EXPECT_EQ(stream->Read(buffer, 20), 20);
    EXPECT_EQ(std::string(buffer, 20), data.substr(8190, 20));
    EXPECT_EQ(QVFileStream::Open("", 0), nullptr);
    EXPECT_EQ(QVFileStream::Open((path + ".missing").c_str(), 0), nullptr);
}

TEST(InputReader, ImplicitDelimiterRule)
{
    struct Case {
        const char* input;
        long expected;
        long error;
    } cases[] = {{"ifx", 0, 1010}, {"if_", 0, 1010}, {"if(", 2, 0}, {"if x", 2, 0}, {"if", 2, 0}};
    for (const Case& c : cases) {
        std::unique_ptr<QVInputStream> stream(QVMemoryStream::Open(c.input, 0));
        std::unique_ptr<QVInputReader> reader(QVInputReader::Create(stream.get()));
        long error = 0;
        SCOPED_TRACE(c.input);
        EXPECT_EQ(reader->MatchLiteral("if", 2, 0, true, true, error), c.expected);
        EXPECT_EQ(error, c.error);
    }
    std::unique_ptr<QVInputStream> digits(QVMemoryStream::Open("12a 1 Tex1", 0));
    std::unique_ptr<QVInputReader> reader(QVInputReader::Create(digits.get()));
    long error = 0;
    EXPECT_EQ(reader->MatchLiteral("12", 2, 0, true, true, error), 2);
    EXPECT_EQ(reader->MatchLiteral("TEX", 3, 6, false, true, error), 3);
    EXPECT_EQ(reader->MatchLiteral("TEX", 3, 6, true, true, error), 0);
}

// Comparisons order as strncmp does, fold case only when asked, and stop at a NUL both sides
// hold: positions past the end read as NUL.
TEST(InputReader, ComparisonsOrderFoldAndStopAtTheEnd)
{
    std::unique_ptr<QVInputStream> stream(QVMemoryStream::Open("Apple apple apricot", 0));
    std::unique_ptr<QVInputReader> reader(QVInputReader::Create(stream.get()));
    struct TextCase {
        const char* text;
        long pos, len;
        bool caseSensitive;
        long expected;
    } texts[] = {{"Apple", 0, 5, true, 0},     {"apple", 0, 5, true, 1},    {"apple", 0, 5, false, 0},
                 {"apo", 6, 3, true, -1},      {"apq", 6, 3, true, 1},      {"apricot", 12, 10, true, 0},
                 {"APRICOT", 12, 7, false, 0}, {"apricots", 12, 8, true, 1}};
    for (const TextCase& c : texts) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(reader->CompareText(c.text, c.pos, c.len, c.caseSensitive), c.expected);
    }
    EXPECT_EQ(reader->CompareRanges(0, 6, 5, true), -1);
    EXPECT_EQ(reader->CompareRanges(0, 6, 5, false), 0);
    EXPECT_EQ(reader->CompareRanges(12, 6, 3, false), 1);
    EXPECT_EQ(reader->CompareRanges(19, 40, 4, true), 0);
}

} // namespace
