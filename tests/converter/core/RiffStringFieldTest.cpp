// String fields in chunk files: the text, its NUL and a pad byte to an even length, read
// back up to 2,048 bytes.
#include "ZelFiles.h"

#include "core/riff/CZRiffFile.h"

#include <afx.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RiffStringField, RoundTripsUpToTheLimitAndRefusesLonger)
{
    const std::string path = zelfiles::ScratchFolder() + "/strings.riff";
    const size_t lengths[] = {0, 1, 2, 2047, 2048};
    {
        CZRiffFile file;
        ASSERT_TRUE(file.Create(path.c_str(), MAKEFOURCC('T', 'E', 'S', 'T')));
        file.Descend(MAKEFOURCC('S', 'T', 'R', 'S'), 0, false);
        for (size_t length : lengths)
            EXPECT_FALSE(file.WriteString(std::string(length, 'a' + length % 26).c_str()));
        file.Ascend();
    }
    const zelfiles::Bytes field = zelfiles::Chunk(zelfiles::ReadAll(path), "STRS");
    // 0 -> NUL + pad, 1 -> 2 bytes, 2 -> 4 bytes (NUL + pad), then 2048 and 2050 bytes.
    ASSERT_EQ(field.size(), 2u + 2 + 4 + 2048 + 2050);
    EXPECT_EQ(field[0], 0);
    EXPECT_EQ(field[1], 0);
    EXPECT_EQ(field[2], 'b');
    EXPECT_EQ(field[3], 0);

    CZRiffFile file;
    ASSERT_TRUE(file.Open(path.c_str(), MAKEFOURCC('T', 'E', 'S', 'T')));
    ASSERT_TRUE(file.Descend(MAKEFOURCC('S', 'T', 'R', 'S'), 0, true));
    for (size_t length : {0, 1, 2, 2047}) {
        CString text;
        EXPECT_FALSE(file.ReadString(text)) << length;
        EXPECT_EQ(text.GetLength(), static_cast<int>(length));
    }
    CString tooLong;
    EXPECT_TRUE(file.ReadString(tooLong));
}

} // namespace
