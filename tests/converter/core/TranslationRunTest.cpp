// The converter program translating the texts of a script through a database that Python's
// sqlite3 module builds, and ending with the database's message when it cannot.
#include "../../support/RunCommand.h"
#include "../../support/SqliteFixture.h"
#include "ZelFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mgtest::CommandResult;

class TranslationRun : public testing::Test {
protected:
    // Converts every script of the folder, from inside it.
    CommandResult Convert()
    {
        return mgtest::RunCommand("cd '" + dir.Path() + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    }

    mgtest::ScratchFolder dir;
};

TEST_F(TranslationRun, TextsTakeThePlatformColumnAndMissingOnesAreLogged)
{
    mgtest::MakeDatabase(dir / "lang.db", "CREATE TABLE Translation (English TEXT, XBOX TEXT, PCX TEXT);"
                                          "INSERT INTO Translation VALUES ('Hello', 'Xbox', 'Bonjour'),"
                                          " ('Two\\nlines', '', 'Deux\\nlignes'), ('Empty', 'Leer', NULL);");
    mgtest::WriteFile(dir / "texts.rhu", "NoCompression\nTranslationFile lang.db\n"
                                         "String A \"Hello\"\nString B \"Two\\nlines\"\n"
                                         "String C \"Missing\"\nString D \"Empty\"\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const zelfiles::Bytes data = zelfiles::Chunk(zelfiles::ReadAll(dir / "texts.zel"), "LIST/DATA");
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("Bonjour\0Deux\nlignes\0Missing\0Empty\0", 34));
    EXPECT_NE(run.output.find("\nTRANSLATION: Missing HAS NO ENGLISH MATCH IN DATABASE!\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\nTRANSLATION: Empty HAS NO TRANSLATION IN DATABASE!\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(mgtest::ReadFile(dir / "notrans.txt"), "Missing\n");
}

TEST_F(TranslationRun, AnUnusableDatabaseEndsTheRunWithItsMessage)
{
    mgtest::WriteFile(dir / "text.db", std::string(512, 't'));
    mgtest::MakeDatabase(dir / "notable.db", "CREATE TABLE Strings (English TEXT, PCX TEXT);");
    mgtest::MakeDatabase(dir / "noenglish.db", "CREATE TABLE Translation (Text TEXT, PCX TEXT);"
                                               "INSERT INTO Translation VALUES ('a', 'b');");
    const std::pair<const char*, const char*> cases[] = {
        {"absent.db", "error: cannot open database file: No such file or directory\nOpening Database absent.db\n"},
        {"text.db", "error: file is not a database\nOpening Database text.db\n"},
        {"notable.db", "error: Translation is not a valid table or query name!"},
        {"noenglish.db", "error: no field named English in database!\n"},
    };
    for (const auto& [database, message] : cases) {
        mgtest::WriteFile(dir / "texts.zel", "previous");
        mgtest::WriteFile(dir / "texts.rhu", std::string("TranslationFile ") + database + "\nString A \"a\"\n");
        const CommandResult run = Convert();
        EXPECT_EQ(run.exitCode, 3) << database;
        EXPECT_NE(run.output.find(message), std::string::npos) << database << "\n" << run.output;
        EXPECT_EQ(mgtest::ReadFile(dir / "texts.zel"), "previous") << database;
    }
}

} // namespace
