// The small elements written through the element database into packed data: records checked
// against the bytes the engine's loader reads, and the string element's text rules.
#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CdbBinthing.h"
#include "converter/core/CdbDebugLabel.h"
#include "converter/core/CdbLoadZel.h"
#include "converter/core/CdbString.h"

#include "FatalTest.h"
#include "TypeFixtures.h"
#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace zelfiles;

namespace {

const unsigned long PCX = MAKEFOURCC('P', 'C', 'X', ' ');

std::string TextOf(const ZVariant& value) { return value.GetText(); }

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class SmallElements : public testing::Test {
protected:
    void SetUp() override
    {
        TypeDatabase.Reset();
        typefixtures::LabelFixup();
        CType* load = typefixtures::NewType("CZelLoad", CType::Class, typefixtures::StaticResource());
        typefixtures::Add(load, "pZel", "pointer");
        typefixtures::Add(load, "File", "char", 0);
        CType* binary = typefixtures::NewType("CZelBinary", CType::Struct);
        typefixtures::Add(binary, "Length", "unsigned long");
        typefixtures::Add(binary, "Data", "unsigned char", 0);
    }
    void TearDown() override { TypeDatabase.Reset(); }

    // Dumps the database into one uncompressed PCX block and returns the file's bytes.
    Bytes DumpToFile()
    {
        {
            CZelWriter writer;
            writer.Open(Path.c_str());
            writer.SetCompression(false);
            writer.BeginList(PCX);
            Database.Dump(writer, true);
            writer.EndList();
            writer.Finish();
        }
        return ReadAll(Path);
    }

    std::string Folder = ScratchFolder();
    std::string Path = Folder + "/out.zel";
    CDatabase Database;
};

TEST_F(SmallElements, StringTextLosesItsQuotesAndEscapes)
{
    struct Case {
        const char* written;
        bool raw;
        std::string stored;
    };
    const Case cases[] = {
        {"\"Hello\"", false, "Hello"},
        {"\"Hello\"", true, "\"Hello\""},
        {"\"\"", false, ""},
        {"\"a\\nb\\ac\\vd\"", false, "a\nb\ac\vd"},
        {"\"one\r\ntwo\nthree\"", false, "onetwo\nthree"},
        {"\"wait\x85\"", false, "wait..."},
        // Only \n, \a and \v are escapes: a quoted quote keeps its backslash.
        {"\"say \\\"hi\\\"\"", false, "say \\\"hi\\\""},
        {"\"", false, "\""},
    };
    for (const Case& c : cases) {
        CdbString element("Text", &Database);
        element.SetText(c.written, true, 0, c.raw, false);
        EXPECT_EQ(TextOf(element.Value()), c.stored) << c.written;
    }
}

TEST_F(SmallElements, StringFileMayHoldUpTo65535Bytes)
{
    const std::string path = Folder + "/text.txt";
    WriteFile(path, std::string(65535, 'x'));
    CdbString element("Long", &Database);
    element.LoadFile(path.c_str(), true, 0, true, false);
    EXPECT_EQ(TextOf(element.Value()).size(), 65535u);

    WriteFile(path, std::string(65536, 'x'));
    EXPECT_FATAL(element.LoadFile(path.c_str(), true, 0, true, false), "too large");
    EXPECT_FATAL(element.LoadFile((Folder + "/missing.txt").c_str(), true, 0, true, false), "Cannot open file");
}

TEST_F(SmallElements, StringAndItsDebugLabelMatchTheGoldenFile)
{
    (new CdbString("Greeting", &Database))->SetText("\"Hello\"", true, 0, false, false);
    (new CdbDebugLabel("label", &Database))->SetText("Greeting");
    EXPECT_EQ(DumpToFile(), GreetingFile());
}

TEST_F(SmallElements, DebugLabelWithoutItsTypeWritesNothing)
{
    TypeDatabase.Reset();
    (new CdbDebugLabel("label", &Database))->SetText("Greeting");
    DumpToFile();
    EXPECT_EQ(Walk(Path), "RIFF ZEL2 16\n  LIST PCX  4\n");
}

TEST_F(SmallElements, BinaryFollowsItsLengthAlignedTo16)
{
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>(i * 7);
    WriteFile(Folder + "/blob.bin", bytes);
    WriteFile(Folder + "/empty.bin", "");
    (new CdbString("Pad", &Database))->SetText("\"x\"", false, 0, false, false);
    (new CdbBinthing("Blob", &Database))->SetFileName((Folder + "/blob.bin").c_str());
    (new CdbBinthing("Nothing", &Database))->SetFileName((Folder + "/empty.bin").c_str());

    const Bytes file = DumpToFile();
    const Bytes data = Chunk(file, "LIST/DATA");
    ASSERT_EQ(data.size(), 16u + 4 + 3000 + 16 - (4 + 3000) % 16 + 4);
    EXPECT_EQ(Word(data, 16), 3000u);
    EXPECT_EQ(std::string(data.begin() + 20, data.begin() + 3020), bytes);
    EXPECT_EQ(Word(data, data.size() - 4), 0u);
    const std::vector<uint32_t> publics = Words(Chunk(file, "LIST/PUBL"));
    EXPECT_EQ(publics, (std::vector<uint32_t>{2, CCRC32::GetCRC("Blob"), 16, CCRC32::GetCRC("Nothing"),
                                              static_cast<uint32_t>(data.size() - 4)}));
}

TEST_F(SmallElements, LoadZelIsATypedPrivateRecordOfItsPath)
{
    new CdbLoadZel("levels\\b.zel", &Database);
    const Bytes file = DumpToFile();
    const Bytes data = Chunk(file, "LIST/DATA");
    const std::string expected = std::string(8, '\0') + "levels/b.zel" + std::string(1, '\0');
    EXPECT_EQ(std::string(data.begin(), data.end()).substr(0, expected.size()), expected);
    EXPECT_EQ(Words(Chunk(file, "LIST/TYPE")), (std::vector<uint32_t>{1, CCRC32::GetCRC("CZelLoad"), 0}));
    EXPECT_TRUE(Chunk(file, "LIST/PUBL").empty());
}

TEST_F(SmallElements, MissingBinaryFileStopsTheDump)
{
    (new CdbBinthing("Blob", &Database))->SetFileName((Folder + "/missing.bin").c_str());
    EXPECT_FATAL(DumpToFile(), "Could not open");
}

} // namespace
