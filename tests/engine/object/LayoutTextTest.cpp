// Layout text: a small tree written as the editor's .rhu layout files and compared with the
// checked-in files under golden/.
#include <gtest/gtest.h>

#include <math.h>

#include <filesystem>
#include <string>

#include "SaveTestSupport.h"
#include "core/file/CZFile.h"
#include "engine/shell/CShell.h"
#include "core/names/CCRC32.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/render/GLight.h"

// A class of the design-parameters category.
class GTestDesign : public GObject {
    DECLARE_GOBJECT(GTestDesign, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GObject::SpecifyEditable(cursor);
        AddEditable(cursor, "Level", "int", Level);
        AddEditable(cursor, "Reach", "float", Reach);
        AddEditable(cursor, "Hidden", "int", Hidden, 0);
        return count + 3;
    }

    int Level;
    float Reach;
    int Hidden;
};
IMPLEMENT_GOBJECT(GTestDesign, 0x80048000)

class GTestCrate : public GObject {
    DECLARE_GOBJECT(GTestCrate, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GObject::SpecifyEditable(cursor);
        AddEditable(cursor, "Weight", "DWORD", Weight);
        AddEditable(cursor, "Volume", "int", Volume);
        AddEditable(cursor, "Kind", "CCRC32", Kind);
        AddEditable(cursor, "pLid", "GTestCrate *", pLid);
        AddEditable(cursor, "pThing", "void *", pThing);
        AddEditable(cursor, "pText", "char *", pText);
        AddEditable(cursor, "Thing", "CZelHandle", Thing);
        return count + 7;
    }

    DWORD Weight;
    int Volume;
    DWORD Kind;
    GTestCrate* pLid;
    void* pThing;
    const char* pText;
    CZelHandle Thing;
};
IMPLEMENT_GOBJECT(GTestCrate, 0x80008000)

// Never written to layout files.
class GTestMarker : public GObject {
    DECLARE_GOBJECT(GTestMarker, GObject)
};
IMPLEMENT_GOBJECT(GTestMarker, 0x80808000)

namespace {

std::string Golden(const char* name)
{
    return ReadFileBytes(std::string(MG_TESTS_DIR) + "/engine/object/golden/" + name);
}

char* Text(const std::string& text)
{
    char* copy = new char[text.size() + 1];
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Gives the object the label and layout file the editor's bookkeeping would hold for it.
template <class T> T* Place(const char* label, const std::string& file, GObject* parent = nullptr)
{
    T* object = static_cast<T*>(GObject::Create(T::ClassId, HGOBJECT(0), nullptr));
    if (parent != nullptr)
        object->SetParent(parent);
    CVeskExtraData* extra = CVeskExtraData::Create(label);
    extra->pFileName = file.empty() ? nullptr : Text(file);
    object->SetLabel(CCRC32::GetCRC(label));
    return object;
}

// A small level: lights, a design object, a crate with an embedded lid and an object of a
// class that is never written, each with the editor's bookkeeping.
class LayoutLevel : public ::testing::Test {
protected:
    void SetUp() override
    {
        GObject::InitEditableInfo();
        GObject::DestroyObjects();
        folder = std::string(MG_BINARY_DIR) + "/layout_text/" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string lighting = "P:" + folder + "/lighting.rhu";
        const std::string design = "P:" + folder + "/DESIGNPARAMS.RHU";
        const std::string layout = "P:" + folder + "/LAYOUTPARAMS.RHU";

        static char thing[] = "thing";
        static char hello[] = "hello";
        CZelFixupManager::SetAddress(CCRC32::GetCRC("GoldenThing"), thing);
        CZelFixupManager::SetLabel(CCRC32::GetCRC("GoldenThing"), "GoldenThing");
        CZelFixupManager::SetAddress(CCRC32::GetCRC("_autostring_7"), hello);
        CZelFixupManager::SetLabel(CCRC32::GetCRC("_autostring_7"), "_autostring_7");

        Place<GLight>("Lamp1", lighting)->Intensity = 0.75f;
        // No layout file of its own: a light goes to the lighting file, and only there.
        GLight* lamp2 = Place<GLight>("Lamp2", "");
        lamp2->Intensity = 1.5f;
        lamp2->ChangePlayer(3);
        GTestDesign* planner = Place<GTestDesign>("Planner", design);
        planner->Level = 3;
        planner->Reach = INFINITY;
        planner->Hidden = 9;

        // Weight holds its class default and is left out.
        static const struct {
            EditableFillData Header;
            DWORD Value;
            EditableFillData End;
        } defaults = {{CCRC32::GetCRC("Weight"), 4, 0, 0, {}}, 12, {0, 0, 0, 0, {}}};
        GObject::RegisterDefaultData(GTestCrate::ClassId, const_cast<EditableFillData*>(&defaults.Header));
        GTestCrate* crate = Place<GTestCrate>("Crate", layout);
        crate->Weight = 12;
        crate->Volume = -5;
        crate->Kind = 0xA1B2C3D4;
        crate->pThing = thing;
        crate->pText = hello;
        crate->pLid = Place<GTestCrate>("Lid", "", crate);
        crate->pLid->Volume = 1;
        Place<GTestMarker>("Marker", layout);
    }
    void TearDown() override { GObject::RegisterDefaultData(GTestCrate::ClassId, nullptr); }

    std::string folder;
};

TEST_F(LayoutLevel, WrittenAsTheCategoriesLayoutFiles)
{
    // The lighting and layout files exist; the design file does not and is written beside.
    WriteFileBytes(folder + "/LIGHTING.RHU", "old");
    WriteFileBytes(folder + "/LAYOUTPARAMS.RHU", "old");
    GObject::VeskTextSave(false, CShell::GetCurrentLevel());
    EXPECT_EQ(ReadFileBytes(folder + "/LIGHTING.RHU"), Golden("LIGHTING.RHU"));
    EXPECT_EQ(ReadFileBytes(folder + "/DESIGNPARAMS.RHU.NCO"), Golden("DESIGNPARAMS.RHU.NCO"));
    EXPECT_EQ(ReadFileBytes(folder + "/LAYOUTPARAMS.RHU"), Golden("LAYOUTPARAMS.RHU"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/DESIGNPARAMS.RHU"));
}

// Generated mode writes only the category files that exist in the level's folder of the data
// folder (no level is loaded here, so that is the data folder itself).
TEST_F(LayoutLevel, GeneratedModeWritesBesideTheLevel)
{
    char base[CZFile::kPathSize];
    CZFile::GetPath(base, CZFile::kInDataFolder);
    std::string dataFolder(base);
    for (char& c : dataFolder)
        if (c == '\\')
            c = '/';
    const std::string lighting = dataFolder + "LIGHTING.RHU";
    WriteFileBytes(lighting, "old");
    GObject::VeskTextSave(true, CShell::GetCurrentLevel());
    std::string expected = Golden("LIGHTING.RHU");
    const std::string typeInfo = "TYPEINFO l:\\brimosdk\\include\\rhutypes.hxx";
    expected.replace(expected.find(typeInfo), typeInfo.size(), "// VESK GENERATED FILE, NO TYPES INFO");
    EXPECT_EQ(ReadFileBytes(lighting), expected);
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "LAYOUTPARAMS.RHU"));
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "DESIGNPARAMS.RHU"));
    std::filesystem::remove(lighting);
}

} // namespace
