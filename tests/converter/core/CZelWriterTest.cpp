// The packed data writer: golden files, every fixup kind read back by table, compression
// decided per segment and undone by the core decompressor, the Python walker's view of the
// chunk tree, and the writer's fatal errors.
#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZSearchTable.h"
#include "converter/core/ZVariant.h"

#include "FatalTest.h"
#include "TypeFixtures.h"
#include "ZelFiles.h"

#include "core/compress/CKzqCompressor.h"
#include "core/names/CCRC32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zelfiles;

namespace {

const unsigned long PCX = MAKEFOURCC('P', 'C', 'X', ' ');

using typefixtures::Value;
using typefixtures::WriteLabelFixup;

// A string element as the String command makes it: a public symbol holding the text.
class StringElement : public CdbElement {
public:
    StringElement(const char* label, const char* text, CDatabase* database) : CdbElement(label, database)
    {
        Text.SetString(text);
    }
    void Dump(CZelWriter& writer) override
    {
        writer.DefineSymbol(GetLabel(), nullptr, true, 0);
        Text.Write(writer, nullptr);
    }
    ZVariant Text;
};

void WriteGreeting(CZelWriter& writer)
{
    CDatabase database;
    new StringElement("Greeting", "Hello", &database);
    database.Dump(writer, true);
}

class ZelWriterTest : public testing::Test {
protected:
    std::string Folder = ScratchFolder();
    std::string Path = Folder + "/out.zel";
};

TEST_F(ZelWriterTest, OneStringElementMatchesItsGoldenBytes)
{
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.SetCompression(true);
        writer.BeginList(PCX);
        WriteGreeting(writer);
        writer.EndList();
        writer.Finish();
    }
    const Bytes golden = {'R', 'I',  'F', 'F', 0x32, 0,   0,    0,    'Z',  'E',  'L', '2', 'L', 'I',  'S',
                          'T', 0x26, 0,   0,   0,    'P', 'C',  'X',  ' ',  'P',  'U', 'B', 'L', 0x0C, 0,
                          0,   0,    1,   0,   0,    0,   0x02, 0x39, 0x6A, 0x40, 0,   0,   0,   0,    'D',
                          'A', 'T',  'A', 6,   0,    0,   0,    'H',  'e',  'l',  'l', 'o', 0};
    EXPECT_EQ(ReadAll(Path), golden);
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 50\n  LIST PCX  38\n    PUBL 12\n    DATA 6\n");
    struct stat status;
    EXPECT_NE(stat((Path + ".temp").c_str(), &status), 0);
}

TEST_F(ZelWriterTest, OneStringElementWithItsDebugLabelMatchesItsGoldenBytes)
{
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.BeginList(PCX);
        WriteGreeting(writer);
        WriteLabelFixup(writer, "Greeting");
        writer.EndList();
        writer.Finish();
    }
    EXPECT_EQ(ReadAll(Path), GreetingFile());
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 96\n  LIST PCX  84\n    TYPE 12\n    PUBL 12\n    DATA 6\n    EXTA 17\n");
}

TEST_F(ZelWriterTest, ADatabaseDumpedToAFileOfItsOwnHasNoPlatformBlock)
{
    CDatabase database;
    new StringElement("Greeting", "Hello", &database);
    database.DumpToFile(Path.c_str(), true);
    EXPECT_EQ(database.GetSize(), 0);
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 38\n  PUBL 12\n  DATA 6\n");
}

TEST_F(ZelWriterTest, EveryFixupKindEndsUpInItsTableOrItsField)
{
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.BeginList(PCX);
        writer.WriteData("HEAD1234", 1, 8, nullptr);
        writer.DefineSymbol("Private", nullptr, false, 0);
        writer.WriteData(std::string(40, 'p').data(), 1, 40, nullptr);
        writer.DefineSymbol("Public", nullptr, true, 0);
        Value("offset", "Private").Write(writer, nullptr);    // 48: 40 bytes back
        writer.AddOffsetFixup("Missing", nullptr);            // 50: no target, 0
        Value("pointer", "Private").Write(writer, nullptr);   // 52
        writer.AddPointerFixup("Private", nullptr);           // 56: the same target again
        writer.AddPointerFixup("Elsewhere", nullptr);         // 60: an import
        writer.AddPointerFixup(nullptr, nullptr);             // 64: null
        Value("CZelHandle", "Public").Write(writer, nullptr); // 68
        writer.AddPointerFixup("Later", nullptr);             // 72: defined further on
        writer.AddOffsetFixup("Later", nullptr);              // 76
        writer.DefineSymbol("Later", nullptr, true, 0);       // aligned to 80
        writer.WriteData("LATE", 1, 4, nullptr);
        writer.AddPointerFixup("Temp", nullptr); // 84: into the temporary segment
        typefixtures::StaticResource()->Begin(writer, "Res", true, 0);
        writer.SetPosition(92);
        writer.SelectSegment(1);
        writer.DefineSymbol("Temp", nullptr, true, 0);
        writer.WriteData("TEMP", 1, 4, nullptr);
        writer.SelectSegment(0);
        writer.EndList();
        writer.Finish();
    }
    const Bytes file = ReadAll(Path);
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 260\n  LIST PCX  248\n    TYPE 12\n    HNDL 12\n    PUBL 36\n    EXTN 12\n"
                          "    OFFS 20\n    DATA 92\n    TEMP 4\n");
    const unsigned long key = CCRC32::GetCRC("CZelStaticResource");
    EXPECT_EQ(Words(Chunk(file, "LIST/TYPE")), (std::vector<uint32_t>{1, key, 88}));
    EXPECT_EQ(Words(Chunk(file, "LIST/HNDL")), (std::vector<uint32_t>{1, CCRC32::GetCRC("Public"), 68}));
    EXPECT_EQ(Words(Chunk(file, "LIST/PUBL")),
              (std::vector<uint32_t>{4, CCRC32::GetCRC("Public"), 48, CCRC32::GetCRC("Later"), 80,
                                     CCRC32::GetCRC("Res"), 88, CCRC32::GetCRC("Temp"), 0x10000000}));
    EXPECT_EQ(Words(Chunk(file, "LIST/EXTN")), (std::vector<uint32_t>{1, CCRC32::GetCRC("Elsewhere"), 60}));
    EXPECT_EQ(Words(Chunk(file, "LIST/OFFS")), (std::vector<uint32_t>{4, 52, 56, 72, 84}));
    const Bytes data = Chunk(file, "LIST/DATA");
    ASSERT_EQ(data.size(), 92u);
    EXPECT_EQ(data[48] | data[49] << 8, 0xFFD8); // -40
    EXPECT_EQ(data[50] | data[51] << 8, 0);
    EXPECT_EQ(Word(data, 52), 8u);
    EXPECT_EQ(Word(data, 56), 8u);
    EXPECT_EQ(Word(data, 60), 0u);
    EXPECT_EQ(Word(data, 64), 0u);
    EXPECT_EQ(Word(data, 68), 0u);
    EXPECT_EQ(Word(data, 72), 80u);
    EXPECT_EQ(data[76] | data[77] << 8, 4);
    EXPECT_EQ(Word(data, 84), 0x10000000u);
}

int ReadFromBytes(void* user, void* buffer, int size)
{
    Bytes& source = *static_cast<Bytes*>(user);
    const int n = std::min<int>(size, source.size());
    memcpy(buffer, source.data(), n);
    source.erase(source.begin(), source.begin() + n);
    return n;
}

Bytes Decompress(const Bytes& chunk)
{
    Bytes stream(chunk.begin() + 4, chunk.end());
    Bytes out(Word(chunk, 0) + 64);
    CKzqCompressor decompressor;
    decompressor.Decompress(ReadFromBytes, &stream);
    const int n = decompressor.Read(out.data(), out.size());
    EXPECT_FALSE(decompressor.Decompress(nullptr, nullptr));
    out.resize(n < 0 ? 0 : n);
    return out;
}

Bytes Pattern(size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? seed >> 24 : i / 64);
    }
    return bytes;
}

TEST_F(ZelWriterTest, SegmentsAboveOneKilobyteAreCompressedExceptExtraData)
{
    const Bytes main = Pattern(1025, 1), temp = Pattern(1024, 2), extra = Pattern(5000, 3), platform = Pattern(3000, 4);
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.SetCompression(true);
        writer.BeginList(PCX);
        const Bytes* contents[4] = {&main, &temp, &extra, &platform};
        for (int segment = 3; segment >= 0; --segment) {
            writer.SelectSegment(segment);
            writer.WriteData(contents[segment]->data(), 1, contents[segment]->size(), nullptr);
        }
        writer.EndList();
        writer.Finish();
    }
    const Bytes file = ReadAll(Path);
    const std::string tree = Walk(Path);
    EXPECT_NE(tree.find("    DATX "), std::string::npos) << tree;
    EXPECT_NE(tree.find(" raw=1026\n    TEMP 1024\n    EXTA 5000\n    PLAX "), std::string::npos) << tree;
    Bytes evenMain = main;
    evenMain.push_back(0);
    EXPECT_EQ(Decompress(Chunk(file, "LIST/DATX")), evenMain);
    EXPECT_EQ(PythonDecode(Chunk(file, "LIST/DATX"), Folder), evenMain);
    EXPECT_EQ(Decompress(Chunk(file, "LIST/PLAX")), platform);
    EXPECT_EQ(Chunk(file, "LIST/TEMP"), temp);
    EXPECT_EQ(Chunk(file, "LIST/EXTA"), extra);
}

TEST_F(ZelWriterTest, WithoutCompressionAnOddSegmentIsPadded)
{
    const Bytes main = Pattern(1025, 5);
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.BeginList(PCX);
        writer.WriteData(main.data(), 1, main.size(), nullptr);
        writer.EndList();
        writer.Finish();
    }
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 1050\n  LIST PCX  1038\n    DATA 1025\n");
    EXPECT_EQ(Chunk(ReadAll(Path), "LIST/DATA"), main);
}

TEST_F(ZelWriterTest, EachBlockResolvesItsOwnSymbols)
{
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        for (const char* platform : {"ALL ", "PCX "}) {
            writer.BeginList(MAKEFOURCC(platform[0], platform[1], platform[2], platform[3]));
            writer.DefineSymbol("Same", nullptr, true, 0);
            writer.AddPointerFixup("Same", nullptr);
            writer.EndList();
        }
        writer.Finish();
    }
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 124\n  LIST ALL  52\n    PUBL 12\n    OFFS 8\n    DATA 4\n"
                          "  LIST PCX  52\n    PUBL 12\n    OFFS 8\n    DATA 4\n");
}

TEST(ZelWriterLayout, SymbolsAlignAndFixupsTakeTheirWidth)
{
    CZelWriter writer;
    writer.Open(nullptr);
    writer.WriteData("12345", 1, 5, nullptr);
    writer.DefineSymbol("A", nullptr, false, 0);
    EXPECT_EQ(writer.GetPosition(), 8u);
    writer.SetPosition(17);
    writer.DefineSymbol("B", nullptr, false, 16);
    EXPECT_EQ(writer.GetPosition(), 32u);
    writer.AddOffsetFixup("A", nullptr);
    EXPECT_EQ(writer.GetPosition(), 34u);
    writer.AddHandleFixup(nullptr, nullptr);
    EXPECT_EQ(writer.GetPosition(), 38u);
    writer.WriteData(std::string(30, 'w').data(), 3, 10, nullptr);
    EXPECT_EQ(writer.GetPosition(), 68u);
    writer.Finish();
}

TEST_F(ZelWriterTest, AFatalErrorLeavesThePreviousOutputInPlace)
{
    {
        std::ofstream(Path) << "previous";
    }
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(Path.c_str());
            writer.BeginList(PCX);
            writer.DefineSymbol("Twice", nullptr, true, 0);
            writer.DefineSymbol("Twice", nullptr, true, 0);
        },
        "Redefinition of symbol Twice");
    const Bytes previous = ReadAll(Path);
    EXPECT_EQ(std::string(previous.begin(), previous.end()), "previous");
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.BeginList(PCX);
        WriteGreeting(writer);
        writer.EndList();
        writer.Finish();
    }
    EXPECT_EQ(ReadAll(Path).size(), 58u);

    // A finished file that cannot take the old one's place is an error, not a success.
    const std::string blocked = Folder + "/blocked.zel";
    mkdir(blocked.c_str(), 0755);
    {
        std::ofstream(blocked + "/keep") << "x";
    }
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(blocked.c_str());
            writer.BeginList(PCX);
            WriteGreeting(writer);
            writer.EndList();
            writer.Finish();
        },
        "Cannot replace output file .*blocked.zel");
}

TEST_F(ZelWriterTest, FaultsThatWouldCorruptTheFileAreFatal)
{
    const std::string path = Path;
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(path.c_str());
            writer.Open(path.c_str());
        },
        "Tried to create output file .*out.zel,\nbut already was generating .*out.zel");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open((path + "/no/such/folder.zel").c_str());
        },
        "Cannot create output file!");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(path.c_str());
            writer.BeginList(PCX);
            writer.DefineSymbol("Target", nullptr, false, 0);
            writer.SelectSegment(1);
            writer.AddOffsetFixup("Target", nullptr);
            writer.EndList();
        },
        "OFFSET Target in different output segment than data it offsets to");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(path.c_str());
            writer.BeginList(PCX);
            writer.DefineSymbol("Far", nullptr, false, 0);
            writer.Reserve(40000);
            writer.SetPosition(40000);
            writer.AddOffsetFixup("Far", nullptr);
            writer.EndList();
        },
        "OFFSET Far lies -40000 bytes from the data it offsets to");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(nullptr);
            writer.HexList(1, 3, nullptr);
        },
        "Bad radix");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(nullptr);
            writer.SetPosition(0x10000000);
            writer.DefineSymbol("Huge", nullptr, false, 0);
        },
        "Segment 0 is past 268435455 bytes at Huge: the offset no longer fits a place word");
    EXPECT_FATAL(
        {
            CZelWriter writer;
            writer.Open(nullptr);
            writer.DefineSymbol("Big", nullptr, false, 0);
            writer.WriteData("x", 0x10000, 0x10000, nullptr);
        },
        "Segment 0 is past 268435455 bytes at Big");
    // A bucket counts its pairs in 16 bits.
    EXPECT_FATAL(
        {
            ZSearchTable table(255);
            for (unsigned long i = 0; i <= 65535; ++i)
                table.Add(i << 8, &table);
        },
        "Search table bucket overflow");
}

TEST_F(ZelWriterTest, TheListingReportsEveryTable)
{
    const int saved = VerboseLevel;
    VerboseLevel = 4;
    testing::internal::CaptureStdout();
    {
        CZelWriter writer;
        writer.Open(Path.c_str());
        writer.SetCompression(true);
        writer.LogSize("Strings");
        writer.BeginList(PCX);
        WriteGreeting(writer);
        writer.DefineSymbol("Hidden", nullptr, false, 0);
        writer.AddOffsetFixup("Greeting", "back");
        writer.AddPointerFixup("Hidden", "self");
        writer.AddPointerFixup("Import", nullptr);
        writer.AddHandleFixup("Greeting", nullptr);
        writer.WriteData(Pattern(2000, 7).data(), 4, 500, "block");
        writer.EndList();
        writer.Finish();
    }
    const std::string out = testing::internal::GetCapturedStdout();
    VerboseLevel = saved;
    for (const char* line :
         {"LIST DESCEND!!! - FCC = 0x20584350 --> \"PCX \"", "Type Section, 0 entries:",
          "CZelHandles Section, 1 entries:", "Public Section, 1 entries (1 private symbols):",
          "00000000  Public Greeting CRC=406A3902", "Private Hidden, Not output",
          "Extern Section, 1 entries:", "Offset Section, 1 entries:", "0000000A  Offset Points to 00000008 (Hidden)",
          "00000008  Short Offset is FFF8, Relative to Greeting", "Compression: 2022 Bytes data, ",
          "Size Log Report for ", "  Strings = 2020 bytes"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

} // namespace
