// The ParserInterface object as the converter uses it: grammar, input, parse, tree walk,
// searches, errors, breakpoints, outside symbols and the parse cache file.
#include "qv_test_support.h"

#include "qvrn/ParserInterface.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

using namespace qvtest;

class Interface : public ::testing::Test {
protected:
    static void SetUpTestSuite() { image_ = ReadAll(CompileGrammar("toy.qvg", "iface_toy.gmr")); }

    void SetUp() override { parser_ = GetParserInterface(); }
    void TearDown() override { ReleaseParserInterface(parser_); }

    void LoadToy() { ASSERT_EQ(parser_->LoadGrammarImage(image_.data(), static_cast<long>(image_.size())), 1); }

    std::string Str(const QVString& s) { return static_cast<const char*>(s) ? static_cast<const char*>(s) : "(null)"; }

    std::string TempFile(const std::string& name, const std::string& data)
    {
        std::string path = mgtest::ScratchPath(name);
        WriteAll(path, data);
        return path;
    }

    static std::string image_;
    ParserInterface* parser_ = nullptr;
};

std::string Interface::image_;

TEST_F(Interface, FreshState)
{
    EXPECT_EQ(Str(parser_->GetVersion()), "1.01");
    EXPECT_EQ(Str(parser_->GetBuildVersion()), "1.01e");
    EXPECT_EQ(parser_->GetErrorCount(), 0);
    EXPECT_EQ(parser_->GetNodeCount(), 0);
    EXPECT_EQ(parser_->IsLeafNode(1), 1);
    EXPECT_EQ(parser_->GetNodeDepth(1), -1);
    EXPECT_EQ(parser_->RunParse(), 2);
    EXPECT_EQ(parser_->GetErrorCode(0), 1600);
    EXPECT_EQ(parser_->GetErrorCode(1), 1601);
    EXPECT_EQ(parser_->GetErrorCode(65536), 1600);
    EXPECT_EQ(parser_->GetErrorCode(40000), 0);
    EXPECT_EQ(Str(parser_->GetErrorText(0)), "No grammar has been set");
    EXPECT_EQ(Str(parser_->GetErrorText(5)), "");
    EXPECT_EQ(parser_->GetErrorCode(5), 0);
    EXPECT_EQ(Str(parser_->GetErrorAttribute(0, "Missing")), "0");
    EXPECT_EQ(Str(parser_->GetErrorDescription(0)), "Missing=0");
    EXPECT_EQ(parser_->LoadGrammar(""), 1);
    EXPECT_EQ(parser_->SetInputBuffer(""), 1);
    EXPECT_EQ(parser_->GetLineCount(), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1603);
    EXPECT_EQ(parser_->FindFirstNode("Anything", 0), 0);
    EXPECT_EQ(parser_->LoadGrammar("%QUORVANE_GDL%grammar G;"), 0);
    EXPECT_EQ(Str(parser_->GetErrorText(0)), "runtime grammar compiler is not installed");
    ReleaseParserInterface(nullptr);
}

// Out-of-range ids, null texts and calls in the wrong state answer defaults and post the
// stated errors; none crashes.
TEST_F(Interface, MisuseIsAnsweredWithDefaults)
{
    EXPECT_EQ(Str(parser_->GetNodeName(-5)), "");
    EXPECT_EQ(parser_->FindNode(nullptr, 0), 0);
    EXPECT_EQ(parser_->FindFirstNode(nullptr, 3), 0);
    EXPECT_EQ(parser_->LoadGrammar("/no/such/grammar.GMR"), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1103);
    EXPECT_EQ(parser_->LoadGrammarFromBuffer(nullptr), 0);
    EXPECT_EQ(parser_->LoadGrammarImage("short", 5), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1103);
    EXPECT_EQ(parser_->TestAttribute(4), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1604);
    EXPECT_EQ(parser_->GetUserValue(1), 0);
    EXPECT_EQ(parser_->SetStepResult(3), 0);
    EXPECT_EQ(parser_->GetCurrentSymbol(), 0);
    LoadToy();
    ASSERT_EQ(parser_->SetInputBuffer("x = 1"), 1);
    EXPECT_EQ(parser_->SetStartSymbol(9999), 1);
    EXPECT_EQ(parser_->RunParse(), 1);
    EXPECT_EQ(parser_->GetErrorCount(), 0);
    std::string path(300, 'p');
    EXPECT_EQ(parser_->FindNode((std::string(70, 'N') + ".x").c_str(), 0), 0);
    EXPECT_EQ(parser_->FindNode(("*Ident=\"" + std::string(300, 'x') + "\"").c_str(), 0), 0);
    EXPECT_EQ(parser_->GetChildNode(1, -1), 0);
    EXPECT_EQ(parser_->GetNodeDepth(12345), -1);
    EXPECT_EQ(parser_->SetInputFile(path.c_str()), 0);
}

TEST_F(Interface, InputQueries)
{
    ASSERT_EQ(parser_->SetInputBuffer("a\nb"), 1);
    EXPECT_EQ(parser_->GetLineNumber(0), 1);
    EXPECT_EQ(parser_->GetLineNumber(1), 2);
    EXPECT_EQ(parser_->GetLineNumber(3), 2);
    EXPECT_EQ(parser_->GetLineNumber(4), 0);
    EXPECT_EQ(parser_->GetInputSize(), 3);
    EXPECT_EQ(Str(parser_->GetInputText(2, 0)), "b");
    EXPECT_EQ(Str(parser_->GetInputText(5, 0)), "");
    EXPECT_EQ(parser_->GetInputChar(0), 'a');
    ASSERT_EQ(parser_->SetInputBuffer("x\r\nyz\n"), 1);
    EXPECT_EQ(Str(parser_->GetLineText(2)), "yz");
    EXPECT_EQ(parser_->SetInputFile("/no/such/file.rhu"), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1602);
}

TEST_F(Interface, ParsesAndWalksTheTree)
{
    LoadToy();
    EXPECT_EQ(Str(parser_->GetGrammarVersion()), "toy 1.0");
    std::string path = TempFile("iface_input.txt", "x = 1\n{ print y }\nprint \"s\", 2\n");
    ASSERT_EQ(parser_->SetInputFile(path.c_str()), 1);
    ASSERT_EQ(parser_->RunParse(), 1);
    EXPECT_EQ(parser_->GetErrorCount(), 0);
    EXPECT_EQ(Str(parser_->GetInputName()), path);
    int program = parser_->FindNode("Program", 0);
    ASSERT_EQ(program, 2);
    ASSERT_EQ(parser_->GetNumChildren(program), 3);
    int block = parser_->GetChildNode(parser_->GetChildNode(program, 1), 0);
    EXPECT_EQ(Str(parser_->GetNodeName(block)), "Block");
    EXPECT_EQ(Str(parser_->GetNodeText(block)), "{ print y }");
    EXPECT_EQ(parser_->GetNodeStartPos(block), 6);
    EXPECT_EQ(parser_->GetLineNumber(parser_->GetNodeStartPos(block)), 2);
    EXPECT_EQ(Str(parser_->GetNodeName(parser_->GetParentNode(block))), "Statement");

    struct PathCase {
        const char* path;
        int start;
        const char* name;
        const char* text;
    } cases[] = {
        {"Program", 0, "Program", nullptr},          {"*Print", 0, "Print", "print y"},
        {"Program.*Ident", 0, "Ident", "x"},         {"*Ident=\"Y\"", 0, "Ident", "y"},
        {".1", program, "Statement", "{ print y }"}, {"^Statement", block, "Statement", "{ print y }"},
        {"^*Program", block, "Program", nullptr},    {"^Program", block, nullptr, nullptr},
        {"*Nothing", 0, nullptr, nullptr},           {"*QuotedString", 0, "QuotedString", "\"s\""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        int node = parser_->FindNode(c.path, c.start);
        if (!c.name) {
            EXPECT_EQ(node, 0);
            continue;
        }
        ASSERT_NE(node, 0);
        EXPECT_EQ(Str(parser_->GetNodeName(node)), c.name);
        if (c.text) {
            EXPECT_EQ(Str(parser_->GetNodeText(node)), c.text);
        }
    }

    int handle = parser_->FindFirstNode("*Statement", 0);
    ASSERT_EQ(handle, 1);
    std::vector<int> statements;
    for (int node; (node = parser_->FindNextNode(handle)) != 0;)
        statements.push_back(node);
    EXPECT_EQ(statements.size(), 4u);
    parser_->FreeFind(handle);
    EXPECT_EQ(parser_->FindNextNode(handle), 0);
    parser_->FreeFind(77);
}

TEST_F(Interface, SyntaxErrorReport)
{
    LoadToy();
    ASSERT_EQ(parser_->SetInputBuffer("x = 1\ny = = 2\n"), 1);
    EXPECT_EQ(parser_->RunParse(), 1);
    ASSERT_EQ(parser_->GetErrorCount(), 1);
    EXPECT_EQ(parser_->GetErrorCode(0), 1006);
    int start = atoi(parser_->GetErrorAttribute(0, "StartPos"));
    EXPECT_EQ(start, 10);
    EXPECT_EQ(parser_->GetLineNumber(start), 2);
    EXPECT_EQ(Str(parser_->GetLineText(2)), "y = = 2");
    EXPECT_EQ(Str(parser_->GetErrorText(0)), "Unrecoverable Parse Error");
    EXPECT_EQ(parser_->GetErrorSeverity(0), 2);
    EXPECT_EQ(parser_->PostTreeErrors(), 1);
    EXPECT_EQ(parser_->GetErrorCount(), 2);
}

TEST_F(Interface, BreakpointsAndOutsideSymbols)
{
    LoadToy();
    ASSERT_EQ(parser_->SetInputBuffer("x = 1 print x"), 1);
    int assign = parser_->LookupSymbol("Assign");
    ASSERT_NE(assign, 0);
    EXPECT_EQ(Str(parser_->GetSymbolName(assign)), "Assign");
    int id = parser_->AddBreakpoint(2, assign);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(parser_->RunParse(), 3);
    EXPECT_EQ(parser_->GetBreakpointHit(), id);
    EXPECT_EQ(parser_->GetBreakReason(), 2);
    EXPECT_EQ(parser_->GetCurrentSymbol(), assign);
    EXPECT_EQ(parser_->RemoveBreakpoint(id), 0);
    EXPECT_EQ(parser_->RunParse(), 1);
    EXPECT_EQ(parser_->GetNumChildren(parser_->FindNode("Program", 0)), 2);

    QuorvaneAPI api;
    QVGrammar* grammar = CompileAndLoad(api, "grammar G; S = \"<\" Magic \">\"; Magic (outside) = <empty>;", "outside");
    ASSERT_NE(grammar, nullptr);
    api.UnloadGrammar(grammar);
    std::string image = ReadAll(mgtest::ScratchPath("outside.gmr"));
    ASSERT_EQ(parser_->LoadGrammarImage(image.data(), static_cast<long>(image.size())), 1);
    ASSERT_EQ(parser_->SetInputBuffer("<abc>"), 1);
    EXPECT_EQ(parser_->RunParse(), 4);
    EXPECT_EQ(parser_->GetCurrentPosition(), 1);
    EXPECT_EQ(parser_->SetStepResult(3), 1);
    EXPECT_EQ(parser_->RunParse(), 1);
    EXPECT_EQ(Str(parser_->GetNodeText(parser_->FindNode("*Magic", 0))), "abc");
}

class Cache : public Interface {
protected:
    void SetUp() override
    {
        Interface::SetUp();
        grammarPath_ = TempFile("cache_toy.gmr", image_);
        sourcePath_ = TempFile("cache_source.txt", "a = 1\nprint a\n");
        cachePath_ = mgtest::ScratchPath("cache.qvc");
        ASSERT_EQ(parser_->LoadGrammar(grammarPath_.c_str()), 1);
        ASSERT_EQ(parser_->SetInputFile(sourcePath_.c_str()), 1);
        ASSERT_EQ(parser_->RunParse(), 1);
        dump_ = Dump();
        ASSERT_EQ(parser_->SaveTreeToCache(cachePath_.c_str()), 1);
    }

    std::string Dump()
    {
        std::string out;
        for (int node = 1; node <= parser_->GetNodeCount(); ++node)
            out += Str(parser_->GetNodeName(node)) + "|" + Str(parser_->GetNodeText(node)) + "\n";
        return out;
    }

    static void Touch(const std::string& path, int secondsLater)
    {
        struct stat info;
        stat(path.c_str(), &info);
        struct utimbuf times = {info.st_atime, info.st_mtime + secondsLater};
        utime(path.c_str(), &times);
    }

    std::string grammarPath_, sourcePath_, cachePath_, dump_;
};

TEST_F(Cache, RestoresTheTree)
{
    ReleaseParserInterface(parser_);
    parser_ = GetParserInterface();
    ASSERT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 1);
    EXPECT_EQ(Dump(), dump_);
    EXPECT_EQ(parser_->GetParseState(), 1);
    EXPECT_EQ(Str(parser_->GetNodeName(1)), "Parse Tree");
}

TEST_F(Cache, RefusesStaleOrDamagedFiles)
{
    Touch(sourcePath_, 10);
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1613);
    Touch(sourcePath_, -10);
    Touch(grammarPath_, 10);
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1612);
    Touch(grammarPath_, -10);

    std::string bytes = ReadAll(cachePath_);
    std::string versionTwo = bytes;
    versionTwo[18] = 2;
    WriteAll(cachePath_, versionTwo);
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1611);

    WriteAll(cachePath_, bytes.substr(0, 10));
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1614);

    WriteAll(cachePath_, bytes.substr(0, bytes.size() - 7));
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 1);
    EXPECT_EQ(parser_->GetErrorCode(0), 1615);
    EXPECT_EQ(parser_->GetNodeCount(), 0);

    std::string hostile = bytes;
    int32_t huge = 0x7FFFFFF0;
    memcpy(&hostile[14 + 4 * 10], &huge, 4); // source length
    WriteAll(cachePath_, hostile);
    EXPECT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1614);
    EXPECT_EQ(parser_->LoadTreeFromCache(""), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1610);
}

TEST_F(Cache, BufferInputAndGrammarsFromMemory)
{
    ASSERT_EQ(parser_->SetInputBuffer("b = 2"), 1);
    ASSERT_EQ(parser_->RunParse(), 1);
    ASSERT_EQ(parser_->SaveTreeToCache(cachePath_.c_str()), 1);
    ReleaseParserInterface(parser_);
    parser_ = GetParserInterface();
    ASSERT_EQ(parser_->LoadTreeFromCache(cachePath_.c_str()), 1);
    EXPECT_EQ(Str(parser_->GetNodeText(parser_->FindNode("*Assign", 0))), "b = 2");

    LoadToy();
    EXPECT_EQ(parser_->SaveTreeToCache(cachePath_.c_str()), 0);
    EXPECT_EQ(parser_->GetErrorCode(0), 1001);
    EXPECT_EQ(Str(parser_->GetErrorAttribute(0, "DESCRIPTION")), "Grammar filename is empty");
}

} // namespace
