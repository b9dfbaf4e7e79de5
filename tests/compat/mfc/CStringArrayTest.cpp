#include <afxcoll.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

CString Joined(const CStringArray& array)
{
    CString text;
    for (INT_PTR i = 0; i < array.GetSize(); ++i)
        text += (i ? "," : "") + array[i];
    return text;
}

TEST(CStringArray, AddsInsertsAndRemovesInOrder)
{
    CStringArray array;
    EXPECT_TRUE(array.IsEmpty());
    EXPECT_EQ(array.Add("b"), 0);
    EXPECT_EQ(array.Add(CString("d")), 1);
    array.InsertAt(0, "a");
    array.InsertAt(2, "c");
    array.InsertAt(4, "e", 2);
    EXPECT_STREQ(Joined(array), "a,b,c,d,e,e");
    EXPECT_EQ(array.GetUpperBound(), 5);

    array.RemoveAt(4, 2);
    array.RemoveAt(0);
    EXPECT_STREQ(Joined(array), "b,c,d");

    array.SetAt(1, "C");
    array.ElementAt(2) += "!";
    EXPECT_STREQ(Joined(array), "b,C,d!");
}

TEST(CStringArray, GrowsOnDemandAndCopiesItself)
{
    CStringArray array;
    array.SetAtGrow(2, "third");
    EXPECT_EQ(array.GetSize(), 3);
    EXPECT_TRUE(array[0].IsEmpty());
    array.InsertAt(5, "sixth");
    EXPECT_EQ(array.GetSize(), 6);

    CStringArray other;
    other.Add("x");
    other.Append(other);
    EXPECT_STREQ(Joined(other), "x,x");
    other.InsertAt(1, &other);
    EXPECT_STREQ(Joined(other), "x,x,x,x");

    array.Copy(other);
    EXPECT_EQ(array.GetSize(), 4);
    array.SetSize(1);
    EXPECT_STREQ(Joined(array), "x");
    array.RemoveAll();
    EXPECT_EQ(array.GetCount(), 0);
}

TEST(CStringArray, RejectsIndexesOutsideTheArray)
{
    CStringArray array;
    array.Add("only");
    EXPECT_THROW(array.GetAt(1), std::out_of_range);
    EXPECT_THROW(array.SetAt(-1, "x"), std::out_of_range);
    EXPECT_THROW(array.RemoveAt(0, 2), std::out_of_range);
    EXPECT_THROW(array.InsertAt(-1, "x"), std::out_of_range);
    EXPECT_THROW(array.SetSize(-1), std::out_of_range);
    EXPECT_STREQ(Joined(array), "only");
}

} // namespace
