// The translation table loaded from databases that Python's sqlite3 module builds.
#include "converter/core/ConsoleOutput.h"
#include "converter/core/TranslationDatabase.h"

#include "../../support/SqliteFixture.h"
#include "FatalTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>

namespace {

using mgtest::MakeDatabase;
using mgtest::ReadFile;
using mgtest::RunPython;
using mgtest::ScratchFolder;

// Runs each test inside its own scratch folder, where the table writes its log files.
class Translation : public testing::Test {
protected:
    Translation()
    {
        getcwd(m_previous, sizeof m_previous);
        EXPECT_EQ(chdir(dir.Path().c_str()), 0);
    }
    ~Translation() override
    {
        EXPECT_EQ(chdir(m_previous), 0);
        VerboseLevel = m_verbosity;
    }

    // A "Translation" table with English, French and German columns.
    void MakeTable(const std::string& rows)
    {
        MakeDatabase(path, "CREATE TABLE Translation (English TEXT, French TEXT, German TEXT, Updated INTEGER);"
                           "INSERT INTO Translation (English, French, German) VALUES " +
                               rows + ";");
    }

    ScratchFolder dir;
    const std::string path = dir / "strings.db";
    const std::vector<std::string> german{"PCX", "GERMAN"};

private:
    char m_previous[PATH_MAX];
    int m_verbosity = VerboseLevel;
};

TEST_F(Translation, TranslatesIntoTheColumnALabelNames)
{
    MakeTable(
        "('Yes', 'Oui', 'Ja'), ('Two\\nlines', '', 'Zwei\\nZeilen'), ('Trailing   ', '', 'Hinten'),"
        "('Dots' || CAST(X'85' AS TEXT), '', 'Punkte' || CAST(X'85' AS TEXT)),"
        "('z', '', CAST(X'C3BC' AS TEXT)), (CAST(X'C3A4' AS TEXT), '', 'ae'), ('', 'x', 'leer'), (NULL, '', 'null')");
    CTranslationDatabase table;
    EXPECT_EQ(CTranslationDatabase::Current(), &table);
    table.Load(path.c_str(), german);
    EXPECT_EQ(table.GetCount(), 6);
    testing::internal::CaptureStdout();
    const std::pair<const char*, const char*> cases[] = {
        {"Yes", "Ja"},          {"Two\nlines", "Zwei\nZeilen"}, {"Two\r\nlines", "Zwei\nZeilen"},
        {"Trailing", "Hinten"}, {"Dots...", "Punkte..."},       {"z", "\xC3\xBC"},
        {"\xC3\xA4", "ae"},
    };
    for (const auto& [english, translated] : cases)
        EXPECT_STREQ(table.Translate(english), translated) << english;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(table.GetSearches(), 7);
    EXPECT_EQ(table.GetFound(), 7);

    const char* empty = "";
    EXPECT_EQ(table.Translate(empty), empty);
    EXPECT_EQ(table.GetSearches(), 7);
}

TEST_F(Translation, ReportsTextsWithoutTranslationOrMatch)
{
    MakeTable("('Yes', 'Oui', 'Ja'), ('Maybe', 'Peut-etre', '')");
    CTranslationDatabase table;
    table.Load(path.c_str(), german);
    const char* maybe = "Maybe";
    const std::string longText = "Line\n" + std::string(120, 'q');
    testing::internal::CaptureStdout();
    EXPECT_EQ(table.Translate(maybe), maybe);
    EXPECT_STREQ(table.Translate("Yes "), "Yes ");
    EXPECT_STREQ(table.Translate("Yes "), "Yes ");
    EXPECT_EQ(table.Translate(longText.c_str()), longText.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nTRANSLATION: Maybe HAS NO TRANSLATION IN DATABASE!\n"
                                                      "\nTRANSLATION: Yes  HAS NO ENGLISH MATCH IN DATABASE!\n"
                                                      "\nTRANSLATION: Yes  HAS NO ENGLISH MATCH IN DATABASE!\n"
                                                      "\nTRANSLATION: Line\\n" +
                                                          std::string(94, 'q') +
                                                          "... HAS NO ENGLISH MATCH IN DATABASE!\n");
    EXPECT_EQ(ReadFile(dir / "notrans.txt"), "Yes \nYes \nLine\\n" + std::string(120, 'q') + "\n");
    EXPECT_EQ(table.GetFound(), 0);
}

TEST_F(Translation, WithoutAMatchingColumnOrRowsTheTableStaysEmpty)
{
    MakeTable("('Yes', 'Oui', 'Ja')");
    CTranslationDatabase table;
    testing::internal::CaptureStdout();
    table.Load(path.c_str(), {"PCX", "SPANISH"});
    const char* yes = "Yes";
    EXPECT_EQ(table.Translate(yes), yes);
    EXPECT_EQ(table.Translate("unknown"), std::string("unknown"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(std::ifstream(dir / "notrans.txt").good());

    MakeDatabase(dir / "blank.db", "CREATE TABLE Translation (English TEXT, German TEXT);"
                                   "INSERT INTO Translation VALUES ('', 'a'), (NULL, 'b');");
    table.Load((dir / "blank.db").c_str(), german);
    EXPECT_EQ(table.GetCount(), 0);
}

TEST_F(Translation, DuplicateEnglishTextsAreBothKept)
{
    MakeTable("('Same', '', 'Eins'), ('Same', '', 'Zwei')");
    CTranslationDatabase table;
    table.Load(path.c_str(), german);
    EXPECT_EQ(table.GetCount(), 2);
    const std::string found = table.Translate("Same");
    EXPECT_TRUE(found == "Eins" || found == "Zwei") << found;
}

TEST_F(Translation, HoldsAtMost4095Texts)
{
    const std::string fill = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4095) "
                             "INSERT INTO Translation SELECT printf('text %05d', i), '', printf('Text %d', i) FROM n;";
    MakeDatabase(path, "CREATE TABLE Translation (English TEXT, French TEXT, German TEXT);" + fill);
    CTranslationDatabase table;
    table.Load(path.c_str(), german);
    ASSERT_EQ(table.GetCount(), 4095);
    EXPECT_STREQ(table.Translate("text 00001"), "Text 1");
    EXPECT_STREQ(table.Translate("text 02048"), "Text 2048");
    EXPECT_STREQ(table.Translate("text 04095"), "Text 4095");

    RunPython(path, "db.execute(\"INSERT INTO Translation VALUES ('', '', '')\")\ndb.commit()");
    EXPECT_FATAL(table.Load(path.c_str(), german), "^Too many translation strings!!! See Velk ASAP$");
}

TEST_F(Translation, MissingDatabaseTableOrEnglishColumnEndsTheRun)
{
    CTranslationDatabase table;
    EXPECT_FATAL(table.Load("absent.db", german),
                 "^error: cannot open database file: No such file or directory\nOpening Database absent.db\n$");
    MakeDatabase(path, "CREATE TABLE Strings (English TEXT, German TEXT); INSERT INTO Strings VALUES ('a', 'b');"
                       "CREATE TABLE Other (Text TEXT, German TEXT);");
    EXPECT_FATAL(table.Load(path.c_str(), german), "^error: Translation is not a valid table or query name!$");
    RunPython(path, "db.execute('ALTER TABLE Other RENAME TO Translation')\n"
                    "db.execute(\"INSERT INTO Translation VALUES ('a', 'b')\")\ndb.commit()");
    EXPECT_FATAL(table.Load(path.c_str(), german), "^error: no field named English in database!\n$");
}

TEST_F(Translation, AtVerbosityThreeWritesTheSortedTableAndUsedCharacters)
{
    MakeTable("('b', '', 'B'), ('a', '', 'A!'), (CAST(X'E4' AS TEXT), '', 'AE')");
    VerboseLevel = 3;
    CTranslationDatabase table;
    testing::internal::CaptureStdout();
    table.Load(path.c_str(), german);
    table.Translate("a");
    table.Report();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Loaded translation datbase " + path + "\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Translated a to A!"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\n\nSearched for 1 translations, found 1\n"), std::string::npos) << printed;
    EXPECT_EQ(ReadFile(dir / "translation.txt"), "E:a\nT:A!\n\n\nE:b\nT:B\n\n\nE:\xE4\nT:AE\n\n\n");
    const std::string characters = ReadFile(dir / "characters.log");
    EXPECT_NE(characters.find("033  X  (!)\n"), std::string::npos);
    EXPECT_NE(characters.find("065  X  (A)\n"), std::string::npos);
    EXPECT_NE(characters.find("066     (B)\n"), std::string::npos);
}

TEST_F(Translation, UpdateMarksUsedUnusedAndNewTexts)
{
    MakeTable("('Kept', '', 'Behalten'), ('Gone', '', 'Weg')");
    mgtest::WriteFile(dir / "source.txt", "Kept\r\nNew \"quoted\"\nKept\r\nNew \"quoted\"\nLast");
    {
        CTranslationDatabase table;
        table.UpdateFromSource((dir / "source.txt").c_str(), path.c_str());
    }
    EXPECT_EQ(RunPython(path, "for row in db.execute('SELECT English, German, Updated FROM Translation'):\n"
                              "    print(row)"),
              "('Kept', 'Behalten', 1)\n('Gone', 'Weg', 0)\n('New \"quoted\"', None, 2)\n('Last', None, 2)\n");
    CTranslationDatabase table;
    EXPECT_FATAL(table.UpdateFromSource("nothing.txt", path.c_str()),
                 "^Couldnot open infile \nnothing.txt: No such file or directory$");
}

TEST_F(Translation, AnUpdateThatFailsHalfWayLeavesTheDatabaseAsItWas)
{
    // Without an English column the new row is appended and marked before storing its text fails.
    MakeDatabase(path, "CREATE TABLE Translation (Updated INTEGER);");
    mgtest::WriteFile(dir / "source.txt", "New\n");
    CTranslationDatabase table;
    EXPECT_FATAL(table.UpdateFromSource((dir / "source.txt").c_str(), path.c_str()),
                 "error: no field named 'English' in 'Translation'\nSetValue\\(\\)$");
    EXPECT_EQ(RunPython(path, "print(db.execute('SELECT count(*) FROM Translation').fetchone()[0])"), "0\n");
}

TEST_F(Translation, OnlyTheLiveTableIsCurrent)
{
    {
        CTranslationDatabase table;
        EXPECT_EQ(CTranslationDatabase::Current(), &table);
    }
    EXPECT_EQ(CTranslationDatabase::Current(), nullptr);
}

} // namespace
