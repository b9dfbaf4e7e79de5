#include "core/names/CCRC32.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> OracleNames()
{
    std::vector<std::string> names = {"",
                                      "a",
                                      "abc",
                                      "ABC",
                                      "Abc",
                                      "123456789",
                                      "MASTER.ZEL",
                                      "GObject",
                                      "GSoundSystem",
                                      "RendNull",
                                      "mainmenu.zel",
                                      "..\\Profiles\\",
                                      "\t \r\n",
                                      "\x80",
                                      "\xFF",
                                      "\x7F\x80\x81",
                                      "na\xEFve",
                                      "\xC3\xA9t\xC3\xA9",
                                      "PCX ",
                                      "ALL ",
                                      "SelectorRenderColor.Red",
                                      "%08X.zlx"};
    std::string longName;
    for (int i = 0; i < 1000; ++i)
        longName += static_cast<char>(1 + (i * 37) % 255);
    names.push_back(longName);
    names.push_back(std::string(300, '\xFE'));
    for (int c = 1; c < 256; c += 17)
        names.push_back(std::string(1, static_cast<char>(c)) + "tail");
    return names;
}

TEST(NameKeyCrc, MatchesPythonZlibOracle)
{
    std::vector<std::string> names = OracleNames();
    std::string input;
    for (const std::string& name : names)
        input += HexOf(name) + "\n";
    std::string keys = RunPython(MG_TESTS_DIR "/core/crc_oracle.py", input);
    std::vector<std::string> lines = SplitLines(keys);
    ASSERT_EQ(lines.size(), names.size()) << keys;
    for (size_t i = 0; i < names.size(); ++i) {
        char ours[16];
        snprintf(ours, sizeof ours, "%08lX", CCRC32::GetCRC(names[i].c_str()));
        EXPECT_EQ(lines[i], ours) << "name #" << i;
        EXPECT_EQ(CCRC32::GetCRC(names[i].data(), static_cast<int>(names[i].size())), CCRC32::GetCRC(names[i].c_str()));
    }
}

TEST(NameKeyCrc, KnownKeysAndEdgeCases)
{
    EXPECT_EQ(CCRC32::GetCRC(""), 0xFFFFFFFFUL);
    EXPECT_EQ(CCRC32::GetCRC("abc"), 0xCADBBE3DUL);
    EXPECT_EQ(CCRC32::GetCRC("123456789"), 0x340BC6D9UL);
    EXPECT_EQ(CCRC32::GetCRC("MASTER.ZEL"), 0x7C0FF7B8UL);
    EXPECT_EQ(CCRC32::GetCRC("abc", 3), 0xCADBBE3DUL);
    EXPECT_EQ(CCRC32::GetCRC("abc", 0), 0xFFFFFFFFUL);
    EXPECT_EQ(CCRC32::GetCRC("abc", -5), 0xFFFFFFFFUL);
    EXPECT_NE(CCRC32::GetCRC("Abc"), CCRC32::GetCRC("abc"));
    EXPECT_EQ(CRCTable[1], 0x77073096UL);
}

TEST(NameKeyCrc, ValueObjectConvertsBothWays)
{
    constexpr CCRC32 compiled("abc");
    static_assert(static_cast<unsigned long>(compiled) == 0xCADBBE3DUL, "keys hash at compile time");
    CCRC32 key("GObject");
    EXPECT_EQ(static_cast<unsigned long>(key), CCRC32::GetCRC("GObject"));
    key = 0x1234UL;
    EXPECT_EQ(static_cast<unsigned long>(key), 0x1234UL);
    key = "abc";
    unsigned long& raw = key;
    raw = 7;
    EXPECT_EQ(static_cast<unsigned long>(key), 7UL);
}

} // namespace
