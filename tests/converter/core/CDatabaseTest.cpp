// The element database: unique labels, dump order and progress, moving elements, the
// dependency list and report, and saving elements into "dbel" chunks and back.
#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"

#include "FatalTest.h"
#include "ZelFiles.h"

#include "core/riff/CZRiffFile.h"
#include "core/names/CCRC32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Dumped;

class Recorded : public CdbElement {
public:
    Recorded(const char* label, CDatabase* database) : CdbElement(label, database) {}
    void Dump(CZelWriter&) override { Dumped.push_back(GetLabel()); }
};

// A saveable element with one number of its own after the label.
class Saveable : public CdbElement {
public:
    Saveable(const char* label, CDatabase* database) : CdbElement(label, database) {}
    static CdbElement* Create(const char* label, CDatabase* database) { return new Saveable(label, database); }
    unsigned long GetTypeId() const override { return TypeId; }
    unsigned long GetVersion() const override { return 12; }
    bool Save(CZRiffFile& file, int formatVersion) override
    {
        return CdbElement::Save(file, formatVersion) || file.Write(&Number, 4);
    }
    bool Load(CZRiffFile& file, int elementVersion) override
    {
        LoadedVersion = elementVersion;
        return CdbElement::Load(file, elementVersion) || file.Read(&Number, 4, false);
    }
    static unsigned long TypeId;
    unsigned long Number = 0;
    int LoadedVersion = -1;
};
unsigned long Saveable::TypeId = CdbElement::RegisterFactory("Saveable", Saveable::Create);

std::vector<std::string> Labels(const CDatabase& database)
{
    std::vector<std::string> labels;
    for (int i = 0; i < database.GetSize(); ++i)
        labels.push_back(database[i]->GetLabel());
    return labels;
}

TEST(ElementDatabase, LabelsAreUniqueUntilTheDatabaseIsDumped)
{
    CDatabase database;
    EXPECT_EQ(CDatabase::pThe, &database);
    CdbElement* tex = new Recorded("Tex", &database);
    EXPECT_EQ(database.FindElement("Tex"), tex);
    EXPECT_FATAL(new Recorded("Tex", &database),
                 "Database element named Tex already exists - all database elements must be uniquely labelled");
    new Recorded("", &database);
    EXPECT_EQ(database.GetSize(), 2);
    EXPECT_EQ(database.FindElement(""), nullptr);

    CZelWriter writer;
    writer.Open(nullptr);
    Dumped.clear();
    database.Dump(writer, true);
    EXPECT_EQ(Dumped, (std::vector<std::string>{"Tex", ""}));
    EXPECT_EQ(database.GetSize(), 0);
    EXPECT_EQ(database.FindElement("Tex"), nullptr);
    new Recorded("Tex", &database);
    EXPECT_EQ(database.GetSize(), 1);
}

TEST(ElementDatabase, DeletingAnElementTakesItOutOfOrderAndIndex)
{
    CDatabase database;
    CdbElement* a = new Recorded("A", &database);
    new Recorded("B", &database);
    delete a;
    EXPECT_EQ(Labels(database), (std::vector<std::string>{"B"}));
    EXPECT_EQ(database.FindElement("A"), nullptr);
    a = new Recorded("A", &database);
    a->SetName("Renamed");
    EXPECT_EQ(database.FindElement("A"), nullptr);
    EXPECT_EQ(database.FindElement("Renamed"), a);
}

TEST(ElementDatabase, DumpShowsProgressEvery32Elements)
{
    CDatabase database;
    for (int i = 0; i < 70; ++i)
        new Recorded(("E" + std::to_string(i)).c_str(), &database);
    CZelWriter writer;
    writer.Open(nullptr);
    const int saved = VerboseLevel;
    VerboseLevel = 1;
    testing::internal::CaptureStdout();
    database.Dump(writer, false);
    const std::string out = testing::internal::GetCapturedStdout();
    VerboseLevel = saved;
    EXPECT_EQ(out, std::string("\r") + std::string(18, ' ') + "E0\r" + std::string(17, ' ') + "E32\r" +
                       std::string(17, ' ') + "E64");
    EXPECT_EQ(database.GetSize(), 70);
}

TEST(ElementDatabase, MoveElementPutsAnElementBeforeAnother)
{
    CDatabase database;
    CdbElement* a = new Recorded("A", &database);
    new Recorded("B", &database);
    CdbElement* c = new Recorded("C", &database);
    database.MoveElement(a, c);
    EXPECT_EQ(Labels(database), (std::vector<std::string>{"A", "B", "C"}));
    database.MoveElement(c, a);
    EXPECT_EQ(Labels(database), (std::vector<std::string>{"C", "A", "B"}));
    CDatabase other;
    CdbElement* stranger = new Recorded("X", &other);
    EXPECT_FATAL(database.MoveElement(a, stranger), "Assumed we could move db element, but couldn't.");
}

TEST(ElementDatabase, DependenciesAreListedOnceInTheReport)
{
    CDatabase database;
    EXPECT_FALSE(database.AddDependency("a.lwo"));
    database.SetDependencyReport(true);
    EXPECT_TRUE(database.AddDependency("a.lwo"));
    EXPECT_TRUE(database.AddDependency("b.bmp"));
    EXPECT_TRUE(database.AddDependency("a.lwo"));
    EXPECT_TRUE(database.AddDependency(nullptr));
    const std::string path = zelfiles::ScratchFolder() + "/deps.txt";
    database.WriteDependencyReport(path.c_str());
    const zelfiles::Bytes report = zelfiles::ReadAll(path);
    EXPECT_EQ(std::string(report.begin(), report.end()), "a.lwo\nb.bmp\n");
    EXPECT_FATAL(database.WriteDependencyReport((path + "/no/folder").c_str()), "Could not open file!\n.*no/folder");
}

TEST(ElementDatabase, SavedElementsComeBackThroughTheFactory)
{
    const std::string path = zelfiles::ScratchFolder() + "/db.riff";
    {
        CDatabase database;
        new Recorded("NotSaved", &database);
        Saveable* first = new Saveable("First", &database);
        first->Number = 0x11223344;
        Saveable* second = new Saveable("Other", &database);
        second->Number = 7;
        CZRiffFile file;
        ASSERT_TRUE(file.Create(path.c_str(), MAKEFOURCC('T', 'E', 'S', 'T')));
        file.Descend(MAKEFOURCC('L', 'I', 'S', 'T'), MAKEFOURCC('d', 'b', 's', 'e'), false);
        EXPECT_FALSE(database.Save(file, 4));
        file.Ascend();
    }
    EXPECT_EQ(zelfiles::Walk(path), "RIFF TEST 88\n  LIST dbse 76\n    dbel 28\n    dbel 28\n");
    const zelfiles::Bytes element = zelfiles::Chunk(zelfiles::ReadAll(path), "LIST/dbel");
    const zelfiles::Bytes expected = {0,  0, 0, 0, 'S', 'a', 'v', 'e', 'a', 'b', 'l',  'e',  0,    0,
                                      12, 0, 0, 0, 'F', 'i', 'r', 's', 't', 0,   0x44, 0x33, 0x22, 0x11};
    unsigned long typeId = CCRC32::GetCRC("Saveable");
    zelfiles::Bytes withId = expected;
    memcpy(withId.data(), &typeId, 4);
    EXPECT_EQ(element, withId);

    CDatabase database;
    new Saveable("__Other", &database);
    CZRiffFile file;
    ASSERT_TRUE(file.Open(path.c_str(), MAKEFOURCC('T', 'E', 'S', 'T')));
    ASSERT_TRUE(file.Descend(MAKEFOURCC('L', 'I', 'S', 'T'), MAKEFOURCC('d', 'b', 's', 'e'), true));
    EXPECT_FALSE(database.LoadElements(file, 4));
    EXPECT_EQ(Labels(database), (std::vector<std::string>{"__Other", "First", "Other"}));
    Saveable* second = static_cast<Saveable*>(database.FindElement("Other"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Number, 7u);
    EXPECT_EQ(second->LoadedVersion, 12);
    EXPECT_EQ(database.FindElement("__TempLabelForLoading__"), nullptr);
    EXPECT_STREQ(CdbElement::GetClassName(second), "Saveable");
    EXPECT_EQ(CdbElement::GetClassName(new Recorded("Plain", &database)), nullptr);
    EXPECT_FATAL(CdbElement::CreateElement(0x1234, "x", &database),
                 "Cannot find factory create function for dbElement 00001234");
    EXPECT_FATAL(CdbElement(), "Cannot construct database elements without a label.");
}

} // namespace
