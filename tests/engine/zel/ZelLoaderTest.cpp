// The packed data loader against files made by an independent writer (zelfix.py): every fixup,
// the lookup order of pack, hashed and plain names, unloading, the symbol table's stable
// entries, the fill-data records, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/object/CGameTimer.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelLoad.h"

namespace {

bool Contains(const std::vector<DWORD>& values, DWORD value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

using ZelLoader = ZelLoadTest;

TEST_F(ZelLoader, MasterAndLevelLoadWithEveryFixup)
{
    CZelFile master;
    ASSERT_EQ(master.Load("master.zel"), 0);
    CZelProbe* masterProbe = ExportedProbe("MasterThing");
    ASSERT_NE(masterProbe, nullptr);
    EXPECT_EQ(masterProbe->Value, 1u);
    EXPECT_STREQ(masterProbe->pText, "master text"); // compressed segment, relocated pointer
    EXPECT_STREQ(CZelFixupManager::GetLabel(masterProbe), "MasterThing");

    // The temporary segment's record was built, then destroyed; its export reads 0.
    EXPECT_TRUE(Contains(CZelProbe::Constructed(), 2));
    EXPECT_TRUE(Contains(CZelProbe::Destroyed(), 2));
    EXPECT_EQ(ExportedProbe("TempThing"), nullptr);
    EXPECT_NE(GObject::GetDefaultData(GZelProbeObject::ClassId), nullptr);

    CZelFile level;
    ASSERT_EQ(level.Load("level.zel"), 0);
    CZelProbe* levelProbe = ExportedProbe("LevelThing");
    ASSERT_NE(levelProbe, nullptr);
    EXPECT_STREQ(levelProbe->pText, "level text");
    EXPECT_EQ(levelProbe->pImport, masterProbe);
    EXPECT_EQ(levelProbe->Handle.GetValue(), masterProbe);
    EXPECT_EQ(levelProbe->Handle.GetKey(), CCRC32::GetCRC("MasterThing"));

    // Both the "ALL " and the "PCX " block load, the second into a chained file; "WIN " does not.
    EXPECT_NE(ExportedProbe("AllThing"), nullptr);
    EXPECT_EQ(ExportedProbe("WindowsThing"), nullptr);
    EXPECT_FALSE(Contains(CZelProbe::Constructed(), 99));
    ASSERT_NE(level.GetNext(), nullptr);
    EXPECT_NE(ExportedProbe("ExtraSegmentThing"), nullptr); // "EXTA" belongs to the PC

    // A handle to a key nobody created is null; an import of it reads 0.
    auto probe13 = std::find(CZelProbe::Constructed().begin(), CZelProbe::Constructed().end(), 13u);
    ASSERT_NE(probe13, CZelProbe::Constructed().end());
    EXPECT_NE(ExportedProbe("ExtraThing"), nullptr); // loaded by the level's CZelLoad record
}

TEST_F(ZelLoader, PointerIntoAnAbsentSegmentKeepsItsPlaceWord)
{
    CZelFile master;
    master.Load("master.zel");
    CZelFile level;
    level.Load("level.zel");
    bool found = false;
    for (const CZelFile* block = &level; block; block = block->GetNext()) {
        const unsigned char* data = static_cast<const unsigned char*>(block->GetSegment(CZelFile::SegData));
        for (unsigned long at = 0; at + sizeof(CZelProbe) <= block->GetSegmentSize(CZelFile::SegData); at += 4) {
            const CZelProbe* p = reinterpret_cast<const CZelProbe*>(data + at);
            if (p->Value == 14 && reinterpret_cast<uintptr_t>(p->pText) == 0x30000010u)
                found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ZelLoader, PresetCreatesObjectsWithDefaultAndStoredFields)
{
    CZelFile master;
    master.Load("master.zel");
    CZelFile level;
    level.Load("level.zel");
    GObject* object = GObject::Find(CCRC32::GetCRC("Probe1"));
    ASSERT_NE(object, nullptr);
    GZelProbeObject* probe = static_cast<GZelProbeObject*>(object);
    EXPECT_EQ(probe->Count, 7);          // from the master's CDefaultFillData
    EXPECT_FLOAT_EQ(probe->Speed, 2.5f); // from the level's own record
    EXPECT_EQ(probe->GetHandle().Player(), 1);
    EXPECT_EQ(GObject::Find(CCRC32::GetCRC("Nobody")), nullptr);
}

TEST_F(ZelLoader, TopLevelWithoutListsIsOneBlock)
{
    CZelFile flat;
    ASSERT_EQ(flat.Load("flat.zel"), 0);
    ASSERT_NE(ExportedProbe("FlatThing"), nullptr);
    EXPECT_STREQ(ExportedProbe("FlatThing")->pText, "flat");
    EXPECT_EQ(flat.GetNext(), nullptr);
}

TEST_F(ZelLoader, UnloadClearsExportsButKeepsEntries)
{
    CZelFile master;
    master.Load("master.zel");
    {
        CZelFile level;
        level.Load("level.zel");
        EXPECT_NE(ExportedProbe("LevelThing"), nullptr);
    }
    const HashEntry* entry = CZelFixupManager::GetHashEntry(CCRC32::GetCRC("LevelThing"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->value, nullptr);
    EXPECT_EQ(ExportedProbe("ExtraThing"), nullptr); // the CZelLoad record unloaded its file
    EXPECT_TRUE(Contains(CZelProbe::Destroyed(), 11));
    EXPECT_TRUE(Contains(CZelProbe::Destroyed(), 10)); // the chained "ALL " block
    EXPECT_NE(ExportedProbe("MasterThing"), nullptr);
}

// A label lies in its file's bytes: once the file is gone its entry keeps the key but no label,
// so that a record exported under that key later is not described with freed memory.
TEST_F(ZelLoader, UnloadTakesTheFilesLabelsOffTheirEntries)
{
    const HashEntry* entry = nullptr;
    {
        CZelFile master;
        ASSERT_EQ(master.Load("master.zel"), 0);
        entry = CZelFixupManager::GetHashEntry(CCRC32::GetCRC("MasterThing"));
        ASSERT_NE(entry, nullptr);
        EXPECT_STREQ(entry->label, "MasterThing");
    }
    EXPECT_EQ(entry->label, nullptr);
}

TEST_F(ZelLoader, LookupSearchesPackThenHashedThenPlainNames)
{
    struct Case {
        const char* asked;
        const char* exported;
        DWORD value;
    };
    const Case cases[] = {
        {"packed/level.zel", "PackedThing", 30}, // pack key of PACKED\LEVEL.ZEL
        {"PACKED\\OTHER.ZEL", "OtherPackedThing", 31},
        {"hashonly/level.zel", "HashThing", 40}, // only the hashed loose file exists
        {"both/level.zel", "BothHashThing", 50}, // the hashed file wins over the plain one
        {"plainonly/level.zel", "PlainThing", 60},
    };
    for (const Case& c : cases) {
        CZelFile file;
        ASSERT_EQ(file.Load(c.asked), 0) << c.asked;
        CZelProbe* probe = ExportedProbe(c.exported);
        ASSERT_NE(probe, nullptr) << c.asked;
        EXPECT_EQ(probe->Value, c.value) << c.asked;
    }
    EXPECT_EQ(ExportedProbe("BothPlainThing"), nullptr);
}

int g_ProgressCalls = 0;

TEST_F(ZelLoader, ProgressCallbackRunsBeforeEveryReadSlice)
{
    CZelFile::RegisterHackCallback([] { ++g_ProgressCalls; });
    CZelFile master;
    master.Load("master.zel");
    CZelFile::RegisterHackCallback(nullptr);
    // Five tables and two segments of a few bytes each: one slice apiece.
    EXPECT_EQ(g_ProgressCalls, 7);
}

// "written.zel" comes from the converter's own writer.
TEST_F(ZelLoader, ConverterOutputLoadsWithEveryFixup)
{
    CZelFile master;
    master.Load("master.zel");
    CZelFile written;
    ASSERT_EQ(written.Load("written.zel"), 0);
    CZelProbe* probe = ExportedProbe("WrittenThing");
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->Value, 90u);
    EXPECT_STREQ(probe->pText, "written text");
    EXPECT_EQ(probe->pImport, ExportedProbe("MasterThing"));
    EXPECT_EQ(probe->Handle.GetValue(), ExportedProbe("MasterThing"));
    EXPECT_TRUE(Contains(CZelProbe::Destroyed(), 91)); // the temporary segment is gone
    EXPECT_EQ(ExportedProbe("WrittenTemp"), nullptr);

    GZelProbeObject* object = static_cast<GZelProbeObject*>(GObject::Find(CCRC32::GetCRC("WrittenObject")));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Count, 41);
    EXPECT_FLOAT_EQ(object->Speed, 4.25f);
    EXPECT_EQ(object->GetHandle().Player(), 2);
}

// "wex/wexlevel.zel" is wexlorn's conversion of a script: an exported string and a CZelLoad
// record that loads a second converted file along with it.
TEST_F(ZelLoader, WexlornOutputLoadsWithEveryFixup)
{
    {
        CZelFile level;
        ASSERT_EQ(level.Load("wex/wexlevel.zel"), 0);
        EXPECT_STREQ(static_cast<const char*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("WexGreeting"))),
                     "hello from wexlorn");
        EXPECT_STREQ(static_cast<const char*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("WexExtraText"))),
                     "loaded along");
    }
    EXPECT_EQ(CZelFixupManager::GetAddress(CCRC32::GetCRC("WexExtraText")), nullptr);
}

// The demo game's scripts from data/, converted by wexlorn: the level's objects come from its
// fill data, the class defaults from the master file.
TEST_F(ZelLoader, DemoGameCreatesItsObjectsFromFillData)
{
    CZelFile master;
    ASSERT_EQ(master.Load("demo/master.zel"), 0);
    EXPECT_NE(GObject::GetDefaultData(CGameTimer::ClassId), nullptr);
    CZelFile level;
    ASSERT_EQ(level.Load("demo/mainmenu.zel"), 0);
    GObject* clock = GObject::Find(CCRC32::GetCRC("GameClock"));
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->GetClassId(), CGameTimer::ClassId);
}

TEST(ZelLoaderDeath, MissingFileNamesBothNames)
{
    EXPECT_EXIT(
        {
            CZelFile file;
            file.Load("nowhere/missing.zel");
        },
        ::testing::ExitedWithCode(3), "Cannot locate nowhere/missing.zel or NOWHERE\\\\[0-9A-F]{8}\\.zlx");
}

// An export under a record type's name would make the next record of that type jump into data.
TEST(ZelLoaderDeath, ExportOverARecordTypeIsRefused)
{
    CZelFile::LoadChunkCategories(0x11);
    EXPECT_EXIT(
        {
            CZelFile file;
            file.Load("mutants/export_over_type.zel");
        },
        ::testing::ExitedWithCode(3),
        "Cannot load mutants/export_over_type.zel: an export would replace the record type");
}

// Records whose type entries come out of place order are each built once; a record of a class
// the engine does not know is skipped.
TEST_F(ZelLoader, TypeEntriesOutOfPlaceOrderBuildEveryRecordOnce)
{
    CZelFile file;
    ASSERT_EQ(file.Load("typed/out_of_order.zel"), 0);
    const std::vector<DWORD>& built = CZelProbe::Constructed();
    EXPECT_EQ(std::count(built.begin(), built.end(), 71u), 1);
    EXPECT_EQ(std::count(built.begin(), built.end(), 73u), 1);
}

// Overlapping typed records are refused, naming the first overlapping pair by place, whether
// the type entries come in place order or not.
TEST(ZelLoaderDeath, OverlappingRecordsAreRefusedInEitherOrder)
{
    CZelFile::LoadChunkCategories(0x11);
    for (const std::string name : {"mutants/overlap_in_order.zel", "mutants/overlap_out_of_order.zel"})
        EXPECT_EXIT(
            {
                CZelFile file;
                file.Load(name.c_str());
            },
            ::testing::ExitedWithCode(3), "Cannot load " + name + ": typed records at 00000000 and 00000008 overlap");
}

TEST(ZelLoaderDeath, SetLabelOnUnknownKeyIsFatal)
{
    EXPECT_EXIT(CZelFixupManager::SetLabel(CCRC32::GetCRC("never seen anywhere"), "x"), ::testing::ExitedWithCode(3),
                "Attempted to set the label on a non-existant symbol table entry");
}

TEST(SymbolTable, BucketGrownPastItsCapacityKeepsEveryEntryInPlace)
{
    const unsigned long first = 0x5A5A0000u; // every key below falls into bucket 0
    std::vector<const HashEntry*> entries;
    for (int i = 0; i < 3 * CHashTableElement::kBlockEntries + 5; ++i) {
        unsigned long key = first + unsigned(i) * 256u;
        CZelFixupManager::SetAddress(key, reinterpret_cast<void*>(uintptr_t(i + 1)));
        entries.push_back(CZelFixupManager::GetHashEntry(key));
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(CZelFixupManager::GetHashEntry(first + unsigned(i) * 256u), entries[i]);
        EXPECT_EQ(entries[i]->value, reinterpret_cast<void*>(uintptr_t(i + 1)));
    }
    EXPECT_EQ(CZelFixupManager::GetKey(reinterpret_cast<void*>(uintptr_t(200))), int(first + 199u * 256u));
}

} // namespace
