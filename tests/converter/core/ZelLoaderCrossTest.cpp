// The engine's loader reads the files the converter's writer made (ZelCrossWriter): exports,
// labels, relocated pointers, imports, handles, 16-bit offsets, typed records and a compressed
// segment all come out where the converter put them.
#include "ZelTestSupport.h"

#include "core/names/CCRC32.h"
#include "engine/zel/CZelFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

void* Exported(const char* name) { return CZelFixupManager::GetAddress(CCRC32::GetCRC(name)); }

bool WasConstructed(DWORD value)
{
    const std::vector<DWORD>& values = CZelProbe::Constructed();
    return std::find(values.begin(), values.end(), value) != values.end();
}

TEST(ZelLoaderCross, ConvertedFilesLoadWithEveryFixupResolved)
{
    CZelFile::LoadChunkCategories(0x11);
    CZelFile master;
    ASSERT_EQ(master.Load("crossmaster.zel"), 0);

    const char* hello = static_cast<const char*>(Exported("Greeting"));
    ASSERT_NE(hello, nullptr);
    EXPECT_STREQ(hello, "Hello");
    EXPECT_STREQ(CZelFixupManager::GetLabel(const_cast<char*>(hello)), "Greeting");

    CZelProbe* masterProbe = ExportedProbe("MasterProbe");
    ASSERT_NE(masterProbe, nullptr);
    EXPECT_TRUE(WasConstructed(1));
    EXPECT_EQ(masterProbe->Value, 1u);
    EXPECT_STREQ(masterProbe->pText, "master text");
    EXPECT_EQ(masterProbe->Handle.GetValue(), hello);
    EXPECT_EQ(masterProbe->pImport, nullptr);
    EXPECT_STREQ(CZelFixupManager::GetLabel(masterProbe), "MasterProbe");

    const char* holder = static_cast<const char*>(Exported("RelHolder"));
    ASSERT_NE(holder, nullptr);
    short rel;
    memcpy(&rel, holder, 2);
    EXPECT_EQ(holder + rel, Exported("RelTarget"));
    EXPECT_STREQ(holder + rel, "relative");

    const unsigned char* blob = static_cast<const unsigned char*>(Exported("Blob"));
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blob) % 16, reinterpret_cast<uintptr_t>(hello) % 16);
    for (size_t i = 0; i < 3000; ++i)
        ASSERT_EQ(blob[i], static_cast<unsigned char>(i * 7 + i / 13)) << i;

    CZelFile level;
    ASSERT_EQ(level.Load("crosslevel.zel"), 0);
    CZelProbe* levelProbe = ExportedProbe("LevelProbe");
    ASSERT_NE(levelProbe, nullptr);
    EXPECT_TRUE(WasConstructed(2));
    EXPECT_STREQ(levelProbe->pText, "level text");
    EXPECT_EQ(levelProbe->pImport, masterProbe);
    EXPECT_EQ(levelProbe->Handle.GetValue(), masterProbe);
    EXPECT_EQ(levelProbe->Handle.GetKey(), CCRC32::GetCRC("MasterProbe"));
}

} // namespace
