// The converter program run on folders of scripts: packed data checked against golden bytes
// and record layouts, the preprocessor, the header reader through the TypeInfo command, and
// what a failed run leaves behind.
#include "../../support/RunCommand.h"
#include "../../support/SqliteFixture.h"
#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <sys/stat.h>

using namespace zelfiles;
using mgtest::CommandResult;

namespace {

class ConverterRun : public testing::Test {
protected:
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(Folder + "/" + name, std::ios::binary) << text;
    }

    CommandResult Convert() { return mgtest::RunCommand("cd '" + Folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1"); }

    Bytes Output(const std::string& name) { return ReadAll(Folder + "/" + name); }

    bool Exists(const std::string& name)
    {
        struct stat status;
        return stat((Folder + "/" + name).c_str(), &status) == 0;
    }

    std::string Folder = ScratchFolder();
};

TEST_F(ConverterRun, OneStringMatchesItsGoldenFile)
{
    Write("hello.rhu", "String Greeting \"Hello\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("wexlorn - File Converter"), std::string::npos);
    EXPECT_NE(run.output.find("Processing"), std::string::npos);
    EXPECT_EQ(Output("hello.zel"), GreetingFile());
    EXPECT_FALSE(Exists("hello.zel.temp"));
}

TEST_F(ConverterRun, EveryScriptOfTheFolderBecomesItsOwnFile)
{
    Write("first.rhu", "NoCompression\nString Same \"one\"\nTrigger Quit ESCAPE\n");
    Write("second.rhu", "NoCompression\nString Same \"two\"\nTrigger Quit SPACE\n");
    Write("notes.txt", "String Ignored \"x\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_LT(run.output.find("first.rhu"), run.output.find("second.rhu"));
    const Bytes first = Chunk(Output("first.zel"), "LIST/DATA");
    const Bytes second = Chunk(Output("second.zel"), "LIST/DATA");
    EXPECT_NE(std::string(first.begin(), first.end()).find(std::string("one\0", 4)), std::string::npos);
    EXPECT_EQ(std::string(first.begin(), first.end()).find("two"), std::string::npos);
    EXPECT_NE(std::string(second.begin(), second.end()).find(std::string("two\0", 4)), std::string::npos);
    EXPECT_FALSE(Exists("notes.zel"));
}

TEST_F(ConverterRun, LargeBinaryIsCompressedToItsGoldenFile)
{
    std::string bytes;
    for (int i = 0; i < 4000; ++i)
        bytes += static_cast<char>("converter"[i % 9] + i / 500);
    Write("big.bin", bytes);
    Write("blob.rhu", "Binary Blob big.bin\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The record's length and the 4,000 bytes behind it make a segment worth compressing; an
    // independent decoder of the stream gets them back.
    EXPECT_NE(Walk(Folder + "/blob.zel").find(" raw=4004\n"), std::string::npos);
    const Bytes compressed = Chunk(Output("blob.zel"), "LIST/DATX");
    ASSERT_GT(compressed.size(), 4u);
    const Bytes segment = PythonDecode(compressed, Folder);
    ASSERT_EQ(segment.size(), 4004u);
    EXPECT_EQ(Word(segment, 0), 4000u);
    EXPECT_EQ(std::string(segment.begin() + 4, segment.end()), bytes);
    EXPECT_EQ(Output("blob.zel"), ReadAll(MG_TESTS_DIR "/converter/core/golden/blob.zel"));
}

TEST_F(ConverterRun, TriggerRecordsCarryTheirKeysAndConditions)
{
    Write("keys.rhu", "NoCompression\n"
                      "Trigger Quit ESCAPE + space onrelease = 0x10\n"
                      "Trigger Quit escape = JumpValue\n"
                      "Trigger Nothing\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<uint32_t> data = Words(Chunk(Output("keys.zel"), "LIST/DATA"));
    const uint32_t quit = CCRC32::GetCRC("Quit");
    const std::vector<uint32_t> expected = {0,
                                            0,
                                            quit,
                                            16,
                                            2,
                                            0x00010001,
                                            0x01010039,
                                            0,
                                            0,
                                            quit,
                                            CCRC32::GetCRC("JumpValue"),
                                            1,
                                            0x00010001,
                                            0,
                                            0,
                                            CCRC32::GetCRC("Nothing"),
                                            0,
                                            0};
    EXPECT_EQ(data, expected);
    // Every record is typed, so that the engine constructs it in place.
    EXPECT_EQ(Words(Chunk(Output("keys.zel"), "LIST/TYPE"))[0], 3u);
}

TEST_F(ConverterRun, PlatformLabelSelectsTheFirstBlockOnly)
{
    Write("choose.rhu",
          "NoCompression\n"
          "#ifdef PCX\n String Chosen \"pc\"\n"
          "  ifdef XBOX\n String Nested \"x\"\n  else\n String Nested \"n\"\n  endif\n"
          "#elif XBOX\n String Chosen \"xbox\"\n"
          "#else\n String Chosen \"other\"\n#endif\n"
          "#ifdef WINDOWS\n String Win \"w\"\n#endif\n"
          // Inside an inactive block nothing can become active, not even an else.
          "#ifdef XBOX\n ifdef PCX\n String InnerIf \"a\"\n else\n String InnerElse \"b\"\n endif\n#endif\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes data = Chunk(Output("choose.zel"), "LIST/DATA");
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("pc\0\0n\0", 6));
}

TEST_F(ConverterRun, IncludedStatementsAndLoadRequestsJoinTheOutput)
{
    Write("main.rhu", "NoCompression\n#include <parts.rhi>\nLoadZel levels\\next.zel\n");
    Write("parts.rhi", "String Part \"from the include\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes data = Chunk(Output("main.zel"), "LIST/DATA");
    const std::string text(data.begin(), data.end());
    EXPECT_EQ(text.find("from the include"), 0u);
    EXPECT_NE(text.find("levels/next.zel"), std::string::npos);
    EXPECT_FALSE(Exists("parts.zel"));
}

TEST_F(ConverterRun, AScriptOfEveryGeneralCommandConverts)
{
    mgtest::MakeDatabase(Folder + "/lang.db", "CREATE TABLE Translation (English TEXT, PCX TEXT);"
                                              "INSERT INTO Translation VALUES ('Hello', 'Bonjour');");
    Write("greeting.txt", "From a file");
    Write("data.bin", "0123456789");
    Write("extra.h", "struct __rhuexport CExtra { int a; };\n");
    Write("part.rhi", "String Part \"included\"\n");
    Write("every.rhu", "Axis East,North,Down CULL_FRONT\n"
                       "Gamma= 1.2\n"
                       "PixelFormat NOALPHA=RRRRRggggggBBBBB\n"
                       "Diagnostic types data\n"
                       "Hack maps\n"
                       "TranslationFile lang.db\n"
                       "#include <part.rhi>\n"
                       "LoadZel levels\\next.zel\n"
                       "LodMap { 0, 10.5 1, 20 }\n"
                       "Message \"converting\"\n"
                       "String Greeting \"Hello\"\n"
                       "String FromFile greeting.txt\n"
                       "Binary Blob data.bin\n"
                       "Trigger Quit ESCAPE\n"
                       "TypeInfo extra.h\n"
                       "NoCompression\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes file = Output("every.zel");
    const Bytes data = Chunk(file, "LIST/DATA");
    const std::string text(data.begin(), data.end());
    for (const char* stored : {"included", "levels/next.zel", "Bonjour", "From a file", "0123456789"})
        EXPECT_NE(text.find(stored + std::string(1, '\0')), std::string::npos) << stored;
    const std::vector<uint32_t> publics = Words(Chunk(file, "LIST/PUBL"));
    for (const char* label : {"Part", "Greeting", "FromFile", "Blob"})
        EXPECT_NE(std::find(publics.begin(), publics.end(), CCRC32::GetCRC(label)), publics.end()) << label;
}

TEST_F(ConverterRun, LongTextsAreKeptWhole)
{
    const std::string text(3000, 'w');
    Write("long.rhu", "NoCompression\nString Long \"" + text + "\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes data = Chunk(Output("long.zel"), "LIST/DATA");
    EXPECT_EQ(std::string(data.begin(), data.end()), text + std::string(1, '\0'));
}

TEST_F(ConverterRun, FailedRunsKeepThePreviousOutputAndNameThePlace)
{
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"String Good \"x\"\nString Bad-Label \"y\"\n", "bad.rhu(2) : error 0000 : Syntax/Parse error."},
        {"String Good \"x\"\n#else\n", "else without matching if"},
        {"endif\n", "endif without matching if"},
        {"Mesh Boat boat.lwo\n", "Cannot open lightwave file!\nboat.lwo: No such file or directory"},
        {"Hack maps speed\n", "Cannot determine Hack option speed"},
        {"Trigger Quit NOSUCHKEY\n", "Constant named INPUT_NOSUCHKEY expected"},
        {"Binary Blob missing.bin\n", "Could not open"},
        {"#include <missing.rhi>\n", "File not found: missing.rhi"},
        {"LodMap { 0, 5.0 64, 10.0 }\n", "Index beyond max lods!"},
        {"LodMap { -1, 5.0 }\n", "Index beyond max lods!"},
        {"String Twice \"a\"\nString Twice \"b\"\n", "Twice already exists"},
        {"TypeInfo huge.h\n", "Array Cells is too large"},
        {"NoCompression\n#include <broken.rhi>\n", "broken.rhi(2) : error 0000 : Syntax/Parse error."},
    };
    Write("huge.h", "struct __rhuexport CHuge { int Cells[65536][65536]; };\n");
    Write("broken.rhi", "String Fine \"x\"\nString Bad-Label \"y\"\n");
    for (const Case& c : cases) {
        Write("bad.zel", "previous");
        Write("bad.rhu", c.script);
        const CommandResult run = Convert();
        EXPECT_EQ(run.exitCode, 3) << c.script;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.script << run.output;
        EXPECT_EQ(Output("bad.zel"), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'})) << c.script;
        EXPECT_FALSE(Exists("bad.zel.temp")) << c.script;
    }
}

TEST(GeneratedTypeFile, HoldsEveryConstantAndTheRecordsWithTheirSizes)
{
    std::ifstream in(MG_BINARY_DIR "/converter/rhutypes/RhuTypes.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t constants = 0;
    for (size_t at = text.find("\nconst __rhuexport "); at != std::string::npos;
         at = text.find("\nconst __rhuexport ", at + 1))
        ++constants;
    EXPECT_EQ(constants, 379u);
    const char* const lines[] = {
        "const __rhuexport unsigned long MESSAGE_LENGTH_IS_VARIABLE = 4294967295; \t\t// (0xFFFFFFFF)\n",
        "const __rhuexport unsigned long INPUT_CONFIG_ALL = 8388863; \t\t// (0x008000FF)\n",
        "const __rhuexport unsigned char INPUT_CONDITION_STREAM = 5; \t\t// (0x00000005)\n",
        "const __rhuexport signed long CDestroyMessage_CMessageId = 131095; \t\t// (0x00020017)\n",
        "const __rhuexport unsigned long INPUT_SLEEP = 65759; \t\t// (0x000100DF)\n",
        "const __rhuexport signed short PCXBUF_STRIPLIST = 2; \t\t// (0x00000002)\n",
    };
    for (const char* line : lines)
        EXPECT_NE(text.find(line), std::string::npos) << line;
    struct Layout {
        const char* declaration;
        int size;
    };
    const Layout layouts[] = {
        {"class __rhuexport CVector\n", 12},
        {"class __rhuexport CZelLoad : public CZelStaticResource\n", 8},
        {"struct __rhuexport CZelBinary\n", 4},
        {"class __rhuexport CRendPCXMesh : public CRendBaseMesh\n", 80},
        {"struct __rhuexport PCXBufferDesc\n", 20},
        {"union __rhuexport HGOBJECT\n", 4},
        {"struct __rhuexport EditableFillData\n", 8},
        {"class __rhuexport CMessage\n", 12},
        {"class __rhuexport CVariableLengthMessage : public CMessage\n", 14},
        {"class __rhuexport CCreateMessage : public CMessage\n", 48},
        {"union __rhuexport CInputDef\n", 4},
        {"class __rhuexport CInputTrigger : public CZelStaticResource\n", 20},
        {"class __rhuexport CVeskLabelFixup : public CZelStaticResource\n", 8},
        {"class __rhuexport CPlaySoundMessage : public CMessage\n", 32},
    };
    for (const Layout& layout : layouts) {
        const size_t at = text.find(layout.declaration);
        ASSERT_NE(at, std::string::npos) << layout.declaration;
        const std::string sizeComment = "};\t// Size = ";
        const size_t end = text.find(sizeComment, at);
        EXPECT_EQ(atoi(text.c_str() + end + sizeComment.size()), layout.size) << layout.declaration;
    }
}

TEST_F(ConverterRun, TheTypeFileReadsBackIntoItself)
{
    Write("nothing.h", "// no declarations of its own\n");
    Write("again.rhu", "TypeInfo nothing.h again.txt\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto withoutDate = [](const Bytes& bytes) {
        std::string text(bytes.begin(), bytes.end());
        const size_t date = text.find("File created on");
        return text.erase(date, text.find('\n', date) - date);
    };
    EXPECT_EQ(withoutDate(Output("again.txt")), withoutDate(ReadAll(MG_BINARY_DIR "/converter/rhutypes/RhuTypes.txt")));
}

TEST_F(ConverterRun, TypeInfoReadsAHeaderAndWritesItsTypeFile)
{
    Write("probe.h", "#pragma pack(push, 1)\n"
                     "typedef unsigned  long DWORDISH;\n"
                     "const __rhuexport unsigned long PROBE_SUM = 2 + 3 * 4;\n"
                     "const __rhuexport unsigned short PROBE_SHIFT = 1 << 16 | 0x0F;\n"
                     "const __rhuexport unsigned long PROBE_LATE = PROBE_LATER;\n"
                     "const __rhuexport DWORDISH PROBE_MASK = INPUT_DEVICE_CONFIG << 16 | 255;\n"
                     "class __rhuexport CProbe\n{\npublic:\n"
                     "    enum { First, Second = 5, Third };\n"
                     "    virtual ~CProbe();\n"
                     "    union { float X; float Red; };\n"
                     "    struct Inner { int a; } inner;\n"
                     "    struct Hidden { int b; };\n"
                     "    DWORDISH Flags;\n"
                     "    unsigned\tshort  Spaced;\n"
                     "    int Grid[2][3];\n"
                     "    char Tail[];\n"
                     "};\n"
                     "class CPlain { enum { NotExported = 1 }; int x; };\n"
                     "#pragma pack(pop)\n");
    Write("probe.rhu", "TypeInfo probe.h probe.txt\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::ifstream in(Folder + "/probe.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The type file holds the built-in types first; the header's own follow them.
    const std::string constants = text.substr(text.find("const __rhuexport unsigned long PROBE_SUM"));
    EXPECT_EQ(constants.substr(0, constants.find("\n\n\n") + 3),
              "const __rhuexport unsigned long PROBE_SUM = 14; \t\t// (0x0000000E)\n"
              "const __rhuexport unsigned short PROBE_SHIFT = 15; \t\t// (0x0000000F)\n"
              "const __rhuexport unsigned long PROBE_LATE = 0; \t\t// (0x00000000)\n"
              "const __rhuexport unsigned long PROBE_MASK = 8388863; \t\t// (0x008000FF)\n"
              "const __rhuexport signed long CProbe_First = 0; \t\t// (0x00000000)\n"
              "const __rhuexport signed long CProbe_Second = 5; \t\t// (0x00000005)\n"
              "const __rhuexport signed long CProbe_Third = 6; \t\t// (0x00000006)\n\n\n");
    const std::string layouts = text.substr(text.rfind("union __rhuexport", text.find("struct __rhuexport Inner")));
    const std::string generated = layouts.substr(18, layouts.find('\n') - 18);
    EXPECT_EQ(generated.compare(0, 22, "_rhu_generated_struct_"), 0) << generated;
    EXPECT_EQ(layouts, "union __rhuexport " + generated +
                           "\n{\n\tfloat X;\n\tfloat Red;\n};\t// Size = 4\n\n"
                           "struct __rhuexport Inner\n{\n\tint a;\n};\t// Size = 4\n\n"
                           "class __rhuexport CProbe\n{\n\tvirtual void foobar(void);\n"
                           "\t" +
                           generated + " " + generated +
                           ";\n"
                           "\tInner inner;\n"
                           "\tunsigned long Flags;\n"
                           "\tunsigned short Spaced;\n"
                           "\tint Grid[6];\n"
                           "\tchar Tail[0];\n"
                           "};\t// Size = 42\n\n");
}

} // namespace
