// The converter's database wrapper over databases that Python's sqlite3 module builds.
#include "converter/core/CDbData.h"

#include "../../support/SqliteFixture.h"
#include "FatalTest.h"

#include <gtest/gtest.h>

namespace {

using mgtest::MakeDatabase;
using mgtest::RunPython;
using mgtest::ScratchFolder;

std::vector<std::string> Texts(const CxStringArray& names)
{
    std::vector<std::string> texts;
    for (const CString* name : names)
        texts.emplace_back(*name);
    return texts;
}

class DbData : public testing::Test {
protected:
    ScratchFolder dir;
    const std::string path = dir / "data.db";
};

TEST_F(DbData, ListsTablesWithoutSystemTablesAndMatchesNamesExactly)
{
    MakeDatabase(path, "CREATE TABLE MSysObjects (x); CREATE TABLE Translation (English TEXT);"
                       "CREATE VIEW Everything AS SELECT * FROM Translation;");
    CDbData db;
    db.OpenDatabase(path.c_str(), true);
    EXPECT_EQ(Texts(db.GetTableNameList()), std::vector<std::string>{"Translation"});
    EXPECT_EQ(Texts(db.GetQueryNameList()), std::vector<std::string>{"Everything"});
    db.OpenRecordSet("Everything");
    EXPECT_EQ(db.GetRecord(true), nullptr);
    EXPECT_FATAL(db.OpenRecordSet("MSysObjects"), "^error: MSysObjects is not a valid table or query name!$");
    EXPECT_FATAL(db.OpenRecordSet("translation"), "^error: translation is not a valid table or query name!$");
}

TEST_F(DbData, ReadsEveryKindOfFieldAsText)
{
    MakeDatabase(path, "CREATE TABLE T (t TEXT, n TEXT, yes YESNO, no BOOLEAN, small SMALLINT, tiny TINYINT,"
                       " i INTEGER, r REAL, money CURRENCY, day DATE, bin BLOB);"
                       "INSERT INTO T VALUES ('it''s', NULL, 1, 0, -5, 10, 42, 2.5, 12.5, '2003-07-04', X'00');");
    CDbData db;
    db.OpenDatabase(path.c_str(), true);
    db.OpenRecordSet("T");
    CDbRecord* record = db.GetRecord(true);
    ASSERT_NE(record, nullptr);
    const std::pair<const char*, const char*> expected[] = {
        {"t", "it's"},
        {"n", ""},
        {"yes", "1"},
        {"no", "0"},
        {"small", "-5"},
        {"tiny", "0x0A"},
        {"i", "42"},
        {"r", "2.5"},
        {"money", "12.5"},
        {"day", "07 04 03"},
        {"bin", "Array of VT_UI1"},
    };
    for (const auto& [field, text] : expected)
        EXPECT_STREQ(record->GetValue(field, false), text) << field;
    EXPECT_STREQ(record->GetValue(1, true), "--");
    EXPECT_EQ(db.GetRecord(false), nullptr);
    EXPECT_FATAL(record->GetValue("T", false), "^error: no field named T in database!\n$");
}

TEST(VariantText, NamesTypesItCannotShowAndMarksArraysAndPointers)
{
    const std::pair<VARTYPE, const char*> cases[] = {
        {VT_EMPTY, ""},
        {VT_UI4, "VT_UI4"},
        {VT_CLSID, "VT_CLSID"},
        {VT_DECIMAL, ""},
        {VT_ARRAY | VT_I4, "Array of VT_I4"},
        {VT_BYREF | VT_I2, "Pointer to VT_I2"},
        {VT_ARRAY | VT_BYREF | VT_R8, "Array of Pointer to VT_R8"},
        {VT_ARRAY | VT_DECIMAL, "Array of "},
    };
    for (const auto& [type, text] : cases) {
        COleVariant value;
        value.vt = type;
        EXPECT_STREQ(VariantText(value, false), text) << type;
    }
}

TEST_F(DbData, AddedRowShowsItsDefaultsAndTakesNewValues)
{
    MakeDatabase(path, "CREATE TABLE Translation (English TEXT, Updated INTEGER DEFAULT 9);"
                       "INSERT INTO Translation VALUES ('first', 0);");
    {
        CDbData db;
        db.OpenDatabase(path.c_str(), false);
        db.OpenRecordSet("Translation");
        CDbRecord* record = db.AddRecord();
        EXPECT_STREQ(record->GetValue("Updated", false), "9");
        EXPECT_STREQ(record->GetValue("English", true), "--");
        record->SetValue("English", "new \"one\"");
        EXPECT_STREQ(record->GetValue("English", false), "new \"one\"");
        EXPECT_EQ(db.GetRecord(true), record);
        EXPECT_STREQ(record->GetValue("English", false), "first");
    }
    EXPECT_EQ(RunPython(path, "print(db.execute('SELECT English, Updated FROM Translation').fetchall())"),
              "[('first', 0), ('new \"one\"', 9)]\n");
}

TEST_F(DbData, EngineRunsWhileAnyWrapperLives)
{
    auto* first = new CDbData;
    EXPECT_EQ(AfxGetModuleState()->m_dwVersion, 0x0601u);
    auto* second = new CDbData;
    EXPECT_EQ(CDbData::GetLiveCount(), 2);
    delete first;
    EXPECT_TRUE(AfxDaoIsRunning());
    delete second;
    EXPECT_FALSE(AfxDaoIsRunning());
}

TEST_F(DbData, BadDatabasesEndTheRunNamingTheFile)
{
    CDbData db;
    const std::string missing = dir / "missing.db";
    EXPECT_FATAL(db.OpenDatabase(missing.c_str(), true),
                 "^error: cannot open database file: No such file or directory\nOpening Database .*/missing.db\n$");
    mgtest::WriteFile(path, "This is a text file, long enough to hold a database header and more of it.");
    EXPECT_FATAL(db.OpenDatabase(path.c_str(), true), "^error: file is not a database\nOpening Database ");
}

TEST_F(DbData, WalkingWithoutARecordSetIsFatal)
{
    MakeDatabase(path, "CREATE TABLE T (x);");
    CDbData db;
    EXPECT_FATAL(db.OpenRecordSet("T"), "^No database created! I need a database before I look for tables!\n");
    db.OpenDatabase(path.c_str(), true);
    EXPECT_FATAL(db.GetRecord(true), "^error: no record set is open\nGetRecord\\(\\)\n$");
    db.OpenRecordSet("T");
    EXPECT_FATAL(db.AddRecord(), "^error: AddNew: 'T' is open read-only AddRecord\\(\\)\n$");
}

} // namespace
