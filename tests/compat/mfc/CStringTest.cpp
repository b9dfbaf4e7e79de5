#include <afx.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

struct SliceCase {
    const char* name;
    CString (*slice)(const CString&);
    const char* expected;
};

TEST(CString, SlicesClampPositionsAndCountsToTheText)
{
    const CString text("abcdef");
    const SliceCase cases[] = {
        {"Mid(2)", [](const CString& s) { return s.Mid(2); }, "cdef"},
        {"Mid(2,3)", [](const CString& s) { return s.Mid(2, 3); }, "cde"},
        {"Mid(-3,2)", [](const CString& s) { return s.Mid(-3, 2); }, "ab"},
        {"Mid(4,100)", [](const CString& s) { return s.Mid(4, 100); }, "ef"},
        {"Mid(9)", [](const CString& s) { return s.Mid(9); }, ""},
        {"Mid(1,-1)", [](const CString& s) { return s.Mid(1, -1); }, ""},
        {"Left(2)", [](const CString& s) { return s.Left(2); }, "ab"},
        {"Left(-1)", [](const CString& s) { return s.Left(-1); }, ""},
        {"Left(99)", [](const CString& s) { return s.Left(99); }, "abcdef"},
        {"Right(2)", [](const CString& s) { return s.Right(2); }, "ef"},
        {"Right(99)", [](const CString& s) { return s.Right(99); }, "abcdef"},
        {"Right(-4)", [](const CString& s) { return s.Right(-4); }, ""},
        {"SpanIncluding", [](const CString& s) { return s.SpanIncluding("cba"); }, "abc"},
        {"SpanExcluding", [](const CString& s) { return s.SpanExcluding("ed"); }, "abc"},
    };
    for (const SliceCase& c : cases)
        EXPECT_STREQ(c.slice(text), c.expected) << c.name;
}

TEST(CString, FindsReturnIndexOrMinusOne)
{
    const CString text("a.b.c");
    EXPECT_EQ(text.Find('.'), 1);
    EXPECT_EQ(text.Find('.', 2), 3);
    EXPECT_EQ(text.Find('.', 4), -1);
    EXPECT_EQ(text.Find('.', 99), -1);
    EXPECT_EQ(text.Find('.', -1), -1);
    EXPECT_EQ(text.Find("b.c"), 2);
    EXPECT_EQ(text.Find("b.c", 3), -1);
    EXPECT_EQ(text.Find(""), 0);
    EXPECT_EQ(text.Find("", 5), 5);
    EXPECT_EQ(text.ReverseFind('.'), 3);
    EXPECT_EQ(text.ReverseFind('x'), -1);
    EXPECT_EQ(text.FindOneOf("xc"), 4);
    EXPECT_EQ(text.FindOneOf(""), -1);
}

TEST(CString, TrimsWhiteSpaceOrGivenCharacters)
{
    CString text(" \t\r\nword \n\v\f");
    text.TrimLeft();
    EXPECT_STREQ(text, "word \n\v\f");
    text.TrimRight();
    EXPECT_STREQ(text, "word");

    CString marks("xxabxx");
    marks.TrimLeft('x');
    marks.TrimRight('x');
    EXPECT_STREQ(marks, "ab");

    CString set("-=ab=-");
    set.TrimLeft("=-");
    set.TrimRight("-=");
    EXPECT_STREQ(set, "ab");

    CString blank("   ");
    blank.TrimRight();
    EXPECT_TRUE(blank.IsEmpty());
    CString only("xxx");
    only.TrimLeft('x');
    EXPECT_TRUE(only.IsEmpty());
}

TEST(CString, CaseChangesTouchOnlyAsciiLetters)
{
    CString text("Mixed Case \xE4\xC4 123");
    text.MakeUpper();
    EXPECT_STREQ(text, "MIXED CASE \xE4\xC4 123");
    text.MakeLower();
    EXPECT_STREQ(text, "mixed case \xE4\xC4 123");
    text.MakeReverse();
    EXPECT_STREQ(text, "321 \xC4\xE4 esac dexim");
}

TEST(CString, FormatHandlesLongOutputAndItsOwnTextAsArgument)
{
    CString text;
    text.Format("%s-%d-%.2f", "x", 42, 1.5);
    EXPECT_STREQ(text, "x-42-1.50");

    const std::string big(5000, 'q');
    text.Format("<%s>", big.c_str());
    EXPECT_EQ(text.GetLength(), 5002);

    text = "self";
    text.Format("%s+%s", static_cast<LPCTSTR>(text), static_cast<LPCTSTR>(text));
    EXPECT_STREQ(text, "self+self");
}

TEST(CString, EditsReturnCountsAndLengths)
{
    CString text("a-b-c");
    EXPECT_EQ(text.Replace('-', '+'), 2);
    EXPECT_STREQ(text, "a+b+c");
    EXPECT_EQ(text.Replace("+", "::"), 2);
    EXPECT_STREQ(text, "a::b::c");
    EXPECT_EQ(text.Replace("", "z"), 0);
    EXPECT_EQ(text.Remove(':'), 4);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(text.Insert(1, 'X'), 4);
    EXPECT_EQ(text.Insert(99, "END"), 7);
    EXPECT_EQ(text.Insert(-5, "<"), 8);
    EXPECT_STREQ(text, "<aXbcEND");
    EXPECT_EQ(text.Delete(2), 7);
    EXPECT_EQ(text.Delete(4, 100), 4);
    EXPECT_EQ(text.Delete(50, 1), 4);
    EXPECT_STREQ(text, "<abc");
}

TEST(CString, ConcatenatesAndComparesWithCStrings)
{
    CString text("ab");
    text += "cd";
    text += 'e';
    text += CString("f");
    EXPECT_STREQ(text, "abcdef");
    EXPECT_STREQ("<" + text + '>', "<abcdef>");
    EXPECT_TRUE(text == "abcdef");
    EXPECT_TRUE("abcdef" == text);
    EXPECT_TRUE(text != CString("abcdeF"));
    EXPECT_TRUE(text < "abd");
    EXPECT_TRUE("abd" > text);
    EXPECT_TRUE(text >= "abcdef" && text <= "abcdef");
    EXPECT_EQ(text.CompareNoCase("ABCDEF"), 0);
    // Bytes compare as unsigned values, so high characters sort after ASCII.
    EXPECT_LT(CString("z").Compare("\xE4"), 0);
    text += text;
    EXPECT_STREQ(text, "abcdefabcdef");
}

TEST(CString, NullPointersReadAsEmpty)
{
    CString text(static_cast<LPCTSTR>(nullptr));
    EXPECT_TRUE(text.IsEmpty());
    text = static_cast<LPCTSTR>(nullptr);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(text.Compare(nullptr), 0);
}

TEST(CString, BufferKeepsTextAndReleaseSetsLength)
{
    CString text("keep");
    char* buffer = text.GetBuffer(64);
    EXPECT_STREQ(buffer, "keep");
    std::strcpy(buffer, "a longer text filled in place");
    text.ReleaseBuffer();
    EXPECT_STREQ(text, "a longer text filled in place");
    EXPECT_EQ(text.GetLength(), 29);

    text.GetBuffer(0);
    text.ReleaseBuffer(8);
    EXPECT_STREQ(text, "a longer");
    text.ReleaseBuffer(1000);
    EXPECT_EQ(text.GetLength(), 8);

    char* fixed = text.GetBufferSetLength(3);
    fixed[2] = '!';
    text.ReleaseBuffer();
    EXPECT_STREQ(text, "a !");
}

TEST(CString, KeepsEmbeddedNulsAndChecksIndexes)
{
    const CString text("a\0b", 3);
    EXPECT_EQ(text.GetLength(), 3);
    EXPECT_EQ(text[2], 'b');
    EXPECT_EQ(CString('z', 3), "zzz");
    CString edit("abc");
    edit.SetAt(1, 'X');
    EXPECT_STREQ(edit, "aXc");
    EXPECT_THROW(edit.GetAt(3), std::out_of_range);
    EXPECT_THROW(edit.SetAt(-1, 'q'), std::out_of_range);
}

} // namespace
