#include <afxdao.h>

#include "../../support/SqliteFixture.h"

#include <sqlite3.h>

#include <functional>
#include <gtest/gtest.h>

namespace {

using mgtest::MakeDatabase;
using mgtest::RunPython;
using mgtest::ScratchFolder;

// The description of the database error the call raises, or "no error".
std::string DaoError(const std::function<void()>& call)
{
    try {
        call();
    } catch (CDaoException* error) {
        const std::string description(error->m_pErrorInfo->m_strDescription);
        error->Delete();
        return description;
    }
    return "no error";
}

std::vector<std::string> Names(CDaoDatabase& db, bool queries)
{
    std::vector<std::string> names;
    const int count = queries ? db.GetQueryDefCount() : db.GetTableDefCount();
    for (int i = 0; i < count; ++i) {
        if (queries) {
            CDaoQueryDefInfo info;
            db.GetQueryDefInfo(i, info);
            names.emplace_back(info.m_strName);
        } else {
            CDaoTableDefInfo info;
            db.GetTableDefInfo(i, info);
            names.emplace_back(info.m_strName);
        }
    }
    return names;
}

TEST(Dao, ListsTablesAndViewsInCreationOrderWithoutSqliteTables)
{
    ScratchFolder dir;
    const std::string path = dir / "names.db";
    MakeDatabase(path, "CREATE TABLE Zeta (id INTEGER PRIMARY KEY AUTOINCREMENT, x);"
                       "CREATE TABLE Alpha (x); CREATE VIEW Beta AS SELECT x FROM Alpha;"
                       "INSERT INTO Zeta (x) VALUES (1);");
    CDaoDatabase db;
    db.Open(path.c_str(), FALSE, TRUE);
    EXPECT_EQ(Names(db, false), (std::vector<std::string>{"Zeta", "Alpha"}));
    EXPECT_EQ(Names(db, true), (std::vector<std::string>{"Beta"}));
    EXPECT_FALSE(db.CanUpdate());
    CDaoTableDefInfo info;
    EXPECT_NE(DaoError([&] { db.GetTableDefInfo(2, info); }), "no error");
}

struct FieldCase {
    const char* declaredType;
    const char* storedValue;
    VARTYPE vt;
    std::function<bool(const COleVariant&)> holds;
};

TEST(Dao, FieldValuesTakeTheirVariantTypeFromColumnAndValue)
{
    const FieldCase cases[] = {
        {"SMALLINT", "-5", VT_I2, [](const COleVariant& v) { return v.iVal == -5; }},
        {"SMALLINT", "70000", VT_I4, [](const COleVariant& v) { return v.lVal == 70000; }},
        {"TINYINT", "10", VT_UI1, [](const COleVariant& v) { return v.bVal == 10; }},
        {"INTEGER", "-2147483648", VT_I4, [](const COleVariant& v) { return v.lVal == -2147483647L - 1; }},
        {"INTEGER", "5000000000", VT_BSTR, [](const COleVariant& v) { return !strcmp(v.bstrVal, "5000000000"); }},
        {"YESNO", "1", VT_BOOL, [](const COleVariant& v) { return v.boolVal == VARIANT_TRUE; }},
        {"BOOLEAN", "0", VT_BOOL, [](const COleVariant& v) { return v.boolVal == VARIANT_FALSE; }},
        {"REAL", "2.5", VT_R8, [](const COleVariant& v) { return v.dblVal == 2.5; }},
        {"SINGLE", "0.5", VT_R4, [](const COleVariant& v) { return v.fltVal == 0.5f; }},
        {"CURRENCY", "12.345", VT_CY, [](const COleVariant& v) { return v.cyVal.int64 == 123450; }},
        {"DATETIME", "'2003-07-04 06:00:00'", VT_DATE, [](const COleVariant& v) { return v.date == 37806.25; }},
        {"DATE", "2452824.5", VT_DATE, [](const COleVariant& v) { return v.date == 37806.0; }},
        {"DATE", "'not a date'", VT_BSTR, [](const COleVariant& v) { return !strcmp(v.bstrVal, "not a date"); }},
        {"TEXT", "'it''s \"quoted\"'", VT_BSTR,
         [](const COleVariant& v) { return !strcmp(v.bstrVal, "it's \"quoted\""); }},
        {"TEXT", "CAST(X'C3A4850A' AS TEXT)", VT_BSTR,
         [](const COleVariant& v) { return SysStringByteLen(v.bstrVal) == 4 && !strcmp(v.bstrVal, "\xC3\xA4\x85\n"); }},
        {"TEXT", "NULL", VT_NULL, [](const COleVariant&) { return true; }},
        {"BLOB", "X'0102'", VT_ARRAY | VT_UI1,
         [](const COleVariant& v) { return v.parray->rgsabound[0].cElements == 2; }},
    };
    ScratchFolder dir;
    const std::string path = dir / "types.db";
    std::string sql;
    for (size_t i = 0; i < std::size(cases); ++i)
        sql += "CREATE TABLE t" + std::to_string(i) + " (v " + cases[i].declaredType + "); INSERT INTO t" +
               std::to_string(i) + " VALUES (" + cases[i].storedValue + ");";
    MakeDatabase(path, sql);

    CDaoDatabase db;
    db.Open(path.c_str(), FALSE, TRUE);
    CDaoRecordset set(&db);
    for (size_t i = 0; i < std::size(cases); ++i) {
        set.Open(dbOpenTable, ("t" + std::to_string(i)).c_str(), dbReadOnly);
        const COleVariant value = set.GetFieldValue(0);
        EXPECT_EQ(value.vt, cases[i].vt) << cases[i].declaredType << " " << cases[i].storedValue;
        if (value.vt == cases[i].vt) {
            EXPECT_TRUE(cases[i].holds(value)) << cases[i].declaredType << " " << cases[i].storedValue;
        }
    }
}

TEST(Dao, WalksRowsForwardAndReadsFieldsByIndexAndName)
{
    ScratchFolder dir;
    const std::string path = dir / "walk.db";
    MakeDatabase(path, "CREATE TABLE Words (English TEXT, German TEXT);"
                       "INSERT INTO Words VALUES ('one', 'eins'), ('two', 'zwei');"
                       "CREATE TABLE Empty (x); CREATE VIEW Twos AS SELECT German FROM Words WHERE English='two';");
    CDaoDatabase db;
    db.Open(path.c_str(), FALSE, TRUE);
    CDaoRecordset set(&db);
    set.Open(dbOpenTable, "Words", dbReadOnly);
    ASSERT_EQ(set.GetFieldCount(), 2);
    CDaoFieldInfo info;
    set.GetFieldInfo(1, info);
    EXPECT_STREQ(info.m_strName, "German");
    EXPECT_FALSE(set.IsBOF());
    set.MoveFirst();
    EXPECT_STREQ(set.GetFieldValue(1).bstrVal, "eins");
    set.MoveNext();
    EXPECT_STREQ(set.GetFieldValue("german").bstrVal, "zwei");
    set.MoveNext();
    EXPECT_TRUE(set.IsEOF());
    EXPECT_FALSE(set.IsBOF());
    EXPECT_NE(DaoError([&] { set.GetFieldValue(0); }), "no error");
    EXPECT_NE(DaoError([&] { set.MoveNext(); }), "no error");
    EXPECT_EQ(DaoError([&] { set.GetFieldValue("French"); }), "no field named 'French' in 'Words'");

    set.Open(dbOpenTable, "Empty", 0);
    EXPECT_TRUE(set.IsBOF() && set.IsEOF());

    CDaoQueryDef query(&db);
    query.Open("Twos");
    set.Open(&query, dbOpenDynaset, 0);
    EXPECT_FALSE(set.CanUpdate());
    EXPECT_STREQ(set.GetFieldValue(0).bstrVal, "zwei");
    EXPECT_EQ(DaoError([&] { set.Open(dbOpenTable, "Twos", 0); }), "no table named 'Twos'");
    EXPECT_EQ(DaoError([&] { query.Open("Nothing"); }), "no query named 'Nothing'");
}

TEST(Dao, AppendedAndEditedRowsAreStoredWhenTheDatabaseCloses)
{
    ScratchFolder dir;
    const std::string path = dir / "write.db";
    MakeDatabase(path, "CREATE TABLE T (English TEXT, Updated INTEGER DEFAULT 7, Note TEXT DEFAULT 'new');"
                       "INSERT INTO T (English) VALUES ('old');");
    {
        CDaoDatabase db;
        db.Open(path.c_str());
        EXPECT_TRUE(db.CanUpdate());
        CDaoRecordset set(&db);
        set.Open(dbOpenTable, "T", 0);
        ASSERT_TRUE(set.CanUpdate() && set.CanAppend());
        set.Edit();
        set.SetFieldValue("Updated", "1");
        set.Update();
        EXPECT_EQ(set.GetFieldValue(1).lVal, 1);

        set.AddNew();
        set.Update();
        set.SetBookmark(set.GetLastModifiedBookmark());
        EXPECT_EQ(set.GetFieldValue(0).vt, VT_NULL);
        EXPECT_EQ(set.GetFieldValue(1).lVal, 7);
        EXPECT_STREQ(set.GetFieldValue(2).bstrVal, "new");
        set.Edit();
        set.SetFieldValue("English", "it's \"new\" \xE4");
        set.Update();
        set.MoveNext();
        EXPECT_TRUE(set.IsEOF());
        EXPECT_EQ(DaoError([&] { set.SetFieldValue("English", "x"); }), "SetFieldValue without AddNew or Edit");
        set.Close();
        // Not yet visible to others: the writes commit when the database closes.
        EXPECT_EQ(RunPython(path, "print(db.execute('SELECT count(*) FROM T').fetchone()[0])"), "1\n");
    }
    EXPECT_EQ(RunPython(path, "db.text_factory = bytes\n"
                              "for r in db.execute('SELECT English, Updated, Note FROM T ORDER BY rowid'):\n"
                              "    print(repr(r))"),
              "(b'old', 1, b'new')\n(b'it\\'s \"new\" \\xe4', 7, b'new')\n");
}

TEST(Dao, WritesOfAProgramThatEndsWithoutClosingAreDiscarded)
{
    ScratchFolder dir;
    const std::string path = dir / "abandon.db";
    MakeDatabase(path, "CREATE TABLE T (x TEXT); INSERT INTO T VALUES ('kept');");
    EXPECT_EXIT(
        {
            CDaoDatabase* db = new CDaoDatabase;
            db->Open(path.c_str());
            CDaoRecordset* set = new CDaoRecordset(db);
            set->Open(dbOpenTable, "T", 0);
            set->Edit();
            set->SetFieldValue("x", "half");
            set->Update();
            set->AddNew();
            set->Update();
            std::exit(3);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(RunPython(path, "print(db.execute('SELECT group_concat(x) FROM T').fetchone()[0])"), "kept\n");
}

TEST(Dao, OpeningReportsMissingBrokenAndLockedFiles)
{
    ScratchFolder dir;
    CDaoDatabase db;
    EXPECT_EQ(DaoError([&] { db.Open((dir / "missing.db").c_str()); }),
              "cannot open database file: No such file or directory");
    mgtest::WriteFile(dir / "text.db", std::string(2000, 'x'));
    EXPECT_EQ(DaoError([&] { db.Open((dir / "text.db").c_str(), FALSE, TRUE); }), "file is not a database");
    EXPECT_FALSE(db.IsOpen());

    const std::string path = dir / "locked.db";
    MakeDatabase(path, "CREATE TABLE T (x);");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; INSERT INTO T VALUES (1);", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(DaoError([&] { db.Open(path.c_str(), FALSE, TRUE); }), "database is locked");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(DaoError([&] { db.Open(path.c_str(), FALSE, TRUE); }), "no error");
}

TEST(Dao, ReadOnlySetsRefuseChanges)
{
    ScratchFolder dir;
    const std::string path = dir / "ro.db";
    MakeDatabase(path, "CREATE TABLE T (x); INSERT INTO T VALUES (1);");
    CDaoDatabase db;
    db.Open(path.c_str());
    CDaoRecordset set(&db);
    set.Open(dbOpenTable, "T", dbReadOnly);
    EXPECT_FALSE(set.CanUpdate());
    EXPECT_EQ(DaoError([&] { set.AddNew(); }), "AddNew: 'T' is open read-only");
    EXPECT_EQ(DaoError([&] { set.Update(); }), "Update: 'T' is open read-only");

    CDaoDatabase readOnly;
    readOnly.Open(path.c_str(), FALSE, TRUE);
    CDaoRecordset other(&readOnly);
    other.Open(dbOpenDynaset, "T", 0);
    EXPECT_FALSE(other.CanAppend());
    EXPECT_NE(DaoError([&] { other.Edit(); }), "no error");
}

TEST(Dao, CurrencyAndDatesFormatAsText)
{
    const std::pair<LONGLONG, const char*> money[] = {{125000, "12.5"},
                                                      {30000, "3"},
                                                      {-1, "-0.0001"},
                                                      {0, "0"},
                                                      {-9223372036854775807LL - 1, "-922337203685477.5808"}};
    for (const auto& [units, text] : money) {
        CY value;
        value.int64 = units;
        EXPECT_STREQ(COleCurrency(value).Format(0, LANG_USER_DEFAULT), text) << units;
    }
    EXPECT_STREQ(COleDateTime(2003, 7, 4, 6, 30, 15).Format("%m %d %y %H:%M:%S %A"), "07 04 03 06:30:15 Friday");
    EXPECT_STREQ(COleDateTime(-1.25).Format("%Y-%m-%d %H:%M"), "1899-12-29 06:00");
    EXPECT_STREQ(COleDateTime(0.0).Format("%m %d %y"), "12 30 99");
    const COleDateTime leapDay(2004, 2, 29, 23, 59, 59);
    EXPECT_EQ(leapDay.GetYear() * 10000 + leapDay.GetMonth() * 100 + leapDay.GetDay(), 20040229);
    EXPECT_EQ(leapDay.GetHour() * 3600 + leapDay.GetMinute() * 60 + leapDay.GetSecond(), 86399);
    EXPECT_EQ(COleDateTime(2001, 2, 29, 0, 0, 0).m_status, COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(2001, 2, 29, 0, 0, 0).GetDay(), -1);
    EXPECT_STREQ(COleDateTime(1e300).Format("%m"), "");
}

TEST(Dao, VariantsOwnAndCopyTheirValues)
{
    COleVariant text("abc");
    COleVariant copy(text);
    ASSERT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_STREQ(copy.bstrVal, "abc");
    text = COleVariant(3L, VT_BOOL);
    EXPECT_EQ(text.vt, VT_BOOL);
    EXPECT_EQ(text.boolVal, VARIANT_TRUE);
    copy.Clear();
    EXPECT_EQ(copy.vt, VT_EMPTY);
}

TEST(Dao, EngineRunsBetweenInitAndTerm)
{
    AfxDaoInit();
    EXPECT_TRUE(AfxDaoIsRunning());
    AfxDaoTerm();
    EXPECT_FALSE(AfxDaoIsRunning());
}

} // namespace
