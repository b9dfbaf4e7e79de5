// Typed values: setting from type names and texts, text forms, conversion by assignment,
// arithmetic by class, and the fatal errors.
#include "converter/core/ZVariant.h"

#include "FatalTest.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

ZVariant Make(const char* type, const char* text)
{
    ZVariant v;
    v.Set(type, text);
    return v;
}

unsigned long long Bytes(const ZVariant& v)
{
    unsigned long long bytes = 0;
    memcpy(&bytes, v.GetData(), v.GetSize() < 8 ? v.GetSize() : 8);
    return bytes;
}

TEST(ZVariant, SetReadsTheTextByTheTypeTable)
{
    struct Case {
        const char* type;
        const char* text;
        const char* storedType;
        unsigned long size;
        unsigned long long bytes;
        const char* shown;
    };
    const Case cases[] = {
        {"int", "017", "signed long", 4, 17, "17"},
        {"int", "0x1F", "signed long", 4, 31, "31"},
        {"long", "-5", "signed long", 4, 0xFFFFFFFB, "-5"},
        {"signed long", "99999999999", "signed long", 4, 0x7FFFFFFF, "2147483647"},
        {"signed long", "-99999999999", "signed long", 4, 0x80000000, "-2147483648"},
        {"unsigned long", "4294967295", "unsigned long", 4, 0xFFFFFFFF, "4294967295"},
        {"unsigned", "99999999999", "unsigned long", 4, 0xFFFFFFFF, "4294967295"},
        {"unsigned int", "12abc", "unsigned long", 4, 12, "12"},
        {"signed", "abc", "signed long", 4, 0, "0"},
        {"bool", "0x1", "bool", 1, 0, "0"},
        {"bool", "2", "bool", 1, 1, "1"},
        {"char", "-1", "signed char", 1, 0xFF, "-1"},
        {"unsigned char", "300", "unsigned char", 1, 44, "44"},
        {"short", "0xFFFF", "signed short", 2, 0xFFFF, "-1"},
        {"unsigned short", "65537", "unsigned short", 2, 1, "1"},
        {"__int64", "-9000000000", "__int64", 8, static_cast<unsigned long long>(-9000000000LL), "-9000000000"},
        {"float", "2.5", "float", 4, 0x40200000, "2.500000"},
        {"double", "0.5", "double", 8, 0x3FE0000000000000ULL, "0.500000"},
        {"id", "0", "id", 4, CCRC32::GetCRC("0"), nullptr},
        {"CCRC32", "0x0000", "CCRC32", 4, 0, "0x0000"},
        {"CCRC32", "0", "CCRC32", 4, 0, "0"},
        {"CCRC32", "0x10", "CCRC32", 4, 16, "0x10"},
        {"CCRC32", "Zero", "CCRC32", 4, CCRC32::GetCRC("Zero"), "Zero"},
        {"CCRC32", "00", "CCRC32", 4, CCRC32::GetCRC("00"), "00"},
        {"pointer", "Target", "pointer", 4, 0, "Target"},
        {"CZelHandle", "Target", "CZelHandle", 4, 0, "Target"},
        {"offset", "Target", "offset", 2, 0, "Target"},
        {"string", "abc", "string", 4, 0, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.text);
        const ZVariant v = Make(c.type, c.text);
        EXPECT_STREQ(v.GetTypeName(), c.storedType);
        EXPECT_EQ(v.GetType(), CCRC32::GetCRC(c.storedType));
        EXPECT_EQ(v.GetSize(), c.size);
        EXPECT_EQ(Bytes(v), c.bytes);
        if (c.shown) {
            EXPECT_STREQ(v.ToString(), c.shown);
        }
    }
    EXPECT_STREQ(Make("id", "abc").ToString(), "0xcadbbe3d");
}

TEST(ZVariant, NamesAndNumbersOfStoredTags)
{
    ZVariant none;
    EXPECT_STREQ(none.GetTypeName(), "NoType");
    EXPECT_STREQ(none.ToString(), "UNKNOWN");
    EXPECT_STREQ(Make("short", "1").GetTypeName(), "signed short");
    EXPECT_STREQ(Make("CCRC32", "x").GetTypeName(), "CCRC32");
    EXPECT_EQ(static_cast<unsigned long>(Make("signed char", "-1")), 255u);
    EXPECT_EQ(static_cast<unsigned long>(Make("short", "-2")), 0xFFFEu);
    EXPECT_EQ(static_cast<unsigned long>(Make("id", "abc")), 0xCADBBE3Du);
    EXPECT_EQ(static_cast<unsigned long>(Make("CCRC32", "abc")), 0xCADBBE3Du);
    EXPECT_EQ(ZVariant(2.5f).GetSize(), 4u);
    EXPECT_STREQ(ZVariant(static_cast<short>(-3)).GetTypeName(), "signed short");
}

TEST(ZVariant, AssignConvertsThroughText)
{
    ZVariant typeless;
    typeless.Assign(Make("float", "2.5"));
    EXPECT_STREQ(typeless.GetTypeName(), "float");
    EXPECT_STREQ(typeless.ToString(), "2.500000");

    ZVariant integer = Make("signed long", "7");
    integer.Assign(Make("float", "2.5"));
    EXPECT_EQ(static_cast<unsigned long>(integer), 2u);

    ZVariant id = Make("id", "x");
    id.Assign(Make("string", "Label"));
    EXPECT_EQ(static_cast<unsigned long>(id), CCRC32::GetCRC("Label"));
    ZVariant key = Make("CCRC32", "0");
    key.Assign(Make("pointer", "Label"));
    EXPECT_EQ(static_cast<unsigned long>(key), CCRC32::GetCRC("Label"));

    // Between "id" and "unsigned long" the bits are copied, not the text.
    ZVariant number = Make("unsigned long", "0");
    number.Assign(Make("id", "Greeting"));
    EXPECT_EQ(static_cast<unsigned long>(number), 0x406A3902u);

    ZVariant pointer = Make("pointer", "Old");
    pointer.Assign(Make("string", "New"));
    EXPECT_STREQ(pointer.GetText(), "New");

    // A string keeps its own length whatever it replaced.
    ZVariant text = Make("string", "a");
    text.Assign(Make("string", "longer text"));
    EXPECT_EQ(text.GetSize(), 12u);
}

TEST(ZVariant, FloatingConversionsKeepEveryDigit)
{
    ZVariant wide = Make("double", "0");
    wide.Assign(Make("float", "1e-7"));
    double d;
    memcpy(&d, wide.GetData(), 8);
    EXPECT_FLOAT_EQ(static_cast<float>(d), 1e-7f);

    ZVariant narrow = Make("float", "0");
    narrow.Assign(Make("double", "0.1"));
    float f;
    memcpy(&f, narrow.GetData(), 4);
    EXPECT_EQ(f, 0.1f);
}

TEST(ZVariant, EqualityComparesLabelsOrBytes)
{
    ZVariant a = Make("pointer", "Same");
    ZVariant b = Make("pointer", "Same");
    memset(b.GetData(), 0x55, 4);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(Make("pointer", "A") == Make("pointer", "B"));
    EXPECT_TRUE(Make("signed long", "5") == Make("int", "0x5"));
    EXPECT_FALSE(Make("signed long", "5") == Make("unsigned long", "5"));
}

TEST(ZVariant, ArithmeticWrapsToItsClass)
{
    struct Case {
        const char* type;
        const char* a;
        char op;
        const char* b;
        const char* result;
    };
    const Case cases[] = {
        {"unsigned char", "200", '+', "100", "44"},
        {"unsigned char", "0x80", '<', "1", "0"},
        {"signed char", "-128", '>', "1", "-64"},
        {"unsigned char", "0x80", '>', "1", "64"},
        {"signed long", "-7", '/', "2", "-3"},
        {"unsigned long", "4294967295", '/', "2", "2147483647"},
        {"signed short", "-32768", '-', "1", "32767"},
        {"signed long", "1", '<', "33", "2"},
        {"signed long", "-2147483648", '/', "-1", "-2147483648"},
        {"__int64", "-9223372036854775808", '/', "-1", "-9223372036854775808"},
        {"unsigned long", "6", '&', "3", "2"},
        {"unsigned long", "4", '|', "3", "7"},
        {"__int64", "-8", '>', "70", "-1"},
        {"__int64", "8", '<', "64", "0"},
        {"__int64", "3000000000", '*', "3", "9000000000"},
        {"float", "1.5", '*', "2", "3.000000"},
        {"double", "1", '/', "4", "0.250000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " " + c.op + " " + c.b + " as " + c.type);
        ZVariant a = Make(c.type, c.a);
        const ZVariant b = Make(c.type, c.b);
        switch (c.op) {
        case '+':
            a += b;
            break;
        case '-':
            a -= b;
            break;
        case '*':
            a *= b;
            break;
        case '/':
            a /= b;
            break;
        case '&':
            a &= b;
            break;
        case '|':
            a |= b;
            break;
        case '<':
            a <<= b;
            break;
        case '>':
            a >>= b;
            break;
        }
        EXPECT_STREQ(a.ToString(), c.result);
    }
    // Bitwise operations on floats combine their bit patterns.
    ZVariant f = Make("float", "-1");
    f &= Make("float", "1");
    EXPECT_STREQ(f.ToString(), "1.000000");
}

TEST(ZVariantDeathTest, ErrorsAreFatal)
{
    struct Case {
        void (*run)();
        const char* message;
    };
    const Case cases[] = {
        {[] { Make("widget", "1"); }, "Cannot set variant type of widget"},
        {[] {
             ZVariant a = Make("signed long", "1");
             a += Make("unsigned long", "1");
         },
         "No type conversion in mathops yet"},
        {[] {
             ZVariant a = Make("bool", "1");
             a += Make("bool", "1");
         },
         "bad math on variant types"},
        {[] {
             ZVariant a = Make("float", "1");
             a <<= Make("float", "1");
         },
         "bad math on variant types"},
        {[] {
             ZVariant a, b;
             a &= b;
         },
         "bad math on variant types"},
        {[] {
             ZVariant a = Make("signed long", "1");
             a /= Make("signed long", "0");
         },
         "Division by zero"},
        {[] {
             ZVariant a = Make("signed long", "1");
             a.Assign(ZVariant());
         },
         "Cannot convert from a typeless variant"},
        {[] { (void)static_cast<unsigned long>(Make("float", "1")); },
         "operator unsigned long Cannot retrieve this type"},
        {[] { Make("string", std::string(65536, 'x').c_str()).ToString(); }, "Variant string too long"},
    };
    for (const Case& c : cases)
        EXPECT_FATAL(c.run(), c.message);
}

} // namespace
