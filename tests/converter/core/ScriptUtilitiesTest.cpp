// The small text utilities scripts rely on, and the copy of built-in resources the parser reads.
#include "converter/core/ParserErrors.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/ScriptResource.h"
#include "converter/core/TextNumbers.h"

#include <gtest/gtest.h>
#include <mg_win32.h>

#include <cstring>
#include <string>

namespace {

TEST(TextNumbers, ReadScriptNumbers)
{
    struct Case {
        const char* text;
        long number;
        unsigned long unsignedNumber;
        bool isNumber;
    };
    const Case cases[] = {
        {"0x1F", 31, 31, true},
        {"0X10", 16, 16, true},
        {"017", 17, 17, true}, // a leading zero is not octal
        {"-5", -5, static_cast<unsigned long>(-5), true},
        {"000", 0, 0, true},
        {"0x00", 0, 0, true},
        {"0a", 0, 0, false},
        {"", 0, 0, false},
        {"abc", 0, 0, false},
        {"0xFFFFFFFF", static_cast<long>(0xFFFFFFFFul), 0xFFFFFFFFul, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseNumber(c.text), c.number) << c.text;
        EXPECT_EQ(ParseUnsigned(c.text), c.unsignedNumber) << c.text;
        EXPECT_EQ(IsNumber(c.text), c.isNumber) << c.text;
    }
    EXPECT_EQ(ParseNumber(nullptr), 0);
    EXPECT_EQ(ParseUnsigned(nullptr), 0ul);
    EXPECT_FALSE(IsNumber(nullptr));
}

TEST(ScriptPath, BackslashesBecomeSlashes)
{
    EXPECT_EQ(ScriptPath("levels\\art\\a.rhu"), "levels/art/a.rhu");
    EXPECT_EQ(ScriptPath("..\\a.bin"), "../a.bin");
    EXPECT_EQ(ScriptPath(nullptr), "");
}

TEST(ParserErrors, TableTextsAndUnknownNumbers)
{
    EXPECT_STREQ(ParserErrorText(ErrSymbolExpected), "Expected symbol named %s, didn't find it");
    EXPECT_STREQ(ParserErrorText(ErrFileNotFound), "File not found: %s\n");
    EXPECT_STREQ(ParserErrorText(ErrMaybe), "There may have been an error");
    // Messages of the caller's own (error 65535) are passed through as they are.
    EXPECT_STREQ(ParserErrorText(ErrCustom), "%s");
}

const char ScriptBytes[] = {'H', 'i', '!'};
MgResourceRegistrar ScriptRegistrar("UtilityTestScript", "ScriptResource", ScriptBytes, sizeof(ScriptBytes));

TEST(ScriptResource, CopyIsTerminatedBehindItsSize)
{
    std::string bytes;
    // Resource types are compared without regard to case, as Windows does.
    ASSERT_TRUE(LoadResourceBytes("UtilityTestScript", "SCRIPTRESOURCE", bytes));
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_EQ(strlen(bytes.c_str()), 3u);
    EXPECT_STREQ(bytes.c_str(), "Hi!");
    EXPECT_FALSE(LoadResourceBytes("NoSuchResource", ScriptResourceType, bytes));
}

} // namespace
