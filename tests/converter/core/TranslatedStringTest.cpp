// A text of a string element is translated through the current translation table, loaded from
// a database that Python's sqlite3 module builds, and its translation is what the packed data holds.
#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CdbString.h"
#include "converter/core/TranslationDatabase.h"

#include "../../support/SqliteFixture.h"
#include "ZelFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>

namespace {

TEST(TranslatedString, PackedDataHoldsTheTranslationOfThePlatformColumn)
{
    mgtest::ScratchFolder dir;
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);

    const std::string database = dir / "strings.db";
    mgtest::MakeDatabase(database, "CREATE TABLE Translation (English TEXT, XBOX TEXT, PCX TEXT);"
                                   "INSERT INTO Translation VALUES ('Hello\\nworld', 'Xbox', 'Hallo\\nWelt ' || "
                                   "CAST(X'C3BC' AS TEXT));");
    CTranslationDatabase table;
    table.Load(database.c_str(), {"PCX"});
    CDatabase elements;
    testing::internal::CaptureStdout();
    (new CdbString("Greeting", &elements))->SetText("\"Hello\\nworld\"", true, 0, false, true);
    (new CdbString("Other", &elements))->SetText("\"Untranslated\"", true, 0, false, true);

    const std::string output = dir / "out.zel";
    {
        CZelWriter writer;
        writer.Open(output.c_str());
        writer.SetCompression(false);
        writer.BeginList(MAKEFOURCC('P', 'C', 'X', ' '));
        elements.Dump(writer, true);
        writer.EndList();
        writer.Finish();
    }
    EXPECT_NE(testing::internal::GetCapturedStdout().find("TRANSLATION: Untranslated HAS NO ENGLISH MATCH"),
              std::string::npos);
    const zelfiles::Bytes data = zelfiles::Chunk(zelfiles::ReadAll(output), "LIST/DATA");
    const std::string texts(data.begin(), data.end());
    EXPECT_NE(texts.find(std::string("Hallo\nWelt \xC3\xBC\0", 15)), std::string::npos);
    EXPECT_NE(texts.find(std::string("Untranslated\0", 13)), std::string::npos);
    EXPECT_EQ(texts.find("Hello"), std::string::npos);
    EXPECT_EQ(mgtest::ReadFile(dir / "notrans.txt"), "Untranslated\n");
    EXPECT_EQ(chdir(previous), 0);
}

} // namespace
