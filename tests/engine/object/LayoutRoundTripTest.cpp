// Layout text through both deliverables: wexlorn converts a level whose objects come from its
// layout file, the shell loads it, the editor's save writes the layout file again, wexlorn
// converts the level once more and the shell reloads it: the objects come back field by field.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../../support/RunCommand.h"
#include "ShellLoopTest.h"
#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/shell/CShell.h"
#include "engine/object/EditableInfo.h"

// The level's objects: a field of every kind the layout text writes.
class GLayoutCrate : public GObject {
    DECLARE_GOBJECT(GLayoutCrate, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GObject::SpecifyEditable(cursor);
        AddEditable(cursor, "Count", "int", Count);
        AddEditable(cursor, "Speed", "float", Speed);
        AddEditable(cursor, "Weight", "DWORD", Weight);
        AddEditable(cursor, "Kind", "CCRC32", Kind);
        AddEditable(cursor, "Tag", "CCRC32", Tag);
        AddEditable(cursor, "Greeting", "CZelHandle", Greeting);
        AddEditable(cursor, "pThing", "void *", pThing);
        AddEditable(cursor, "pLid", "GLayoutCrate *", pLid);
        AddEditable(cursor, "pText", "char *", pText);
        return count + 9;
    }

    int Count;
    float Speed;
    DWORD Weight;
    DWORD Kind;
    DWORD Tag;
    CZelHandle Greeting;
    void* pThing;
    GLayoutCrate* pLid;
    const char* pText;
};
IMPLEMENT_GOBJECT(GLayoutCrate, 0x80008000)

namespace {

namespace fs = std::filesystem;

// wexlorn over the level's folder, run from there so the level's include finds its layout file.
// The layout file is a source of that folder too and becomes a packed file of its own, unused.
void Convert(const fs::path& folder)
{
    const mgtest::CommandResult run =
        mgtest::RunCommand("cd '" + folder.string() + "' && '" + MG_WEXLORN + "' '" + folder.string() + "' 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

std::string ReadFileText(const fs::path& path)
{
    std::string text;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, file))
            text.append(buffer, n);
        fclose(file);
    }
    return text;
}

GObject* ObjectAt(GObject* under, const void* address)
{
    for (GObject* child = under->pChild; child != nullptr; child = child->pNext) {
        if (child == address)
            return child;
        if (GObject* found = ObjectAt(child, address))
            return found;
    }
    return nullptr;
}

std::string Hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof text, "%08lX", value);
    return text;
}

std::string FieldText(GObject* object, EditableInfo* info)
{
    const BYTE* at = reinterpret_cast<const BYTE*>(object) + info->Place;
    DWORD value;
    memcpy(&value, at, 4);
    if (info->Type == EDITABLE_ZELHANDLE)
        return "key " + Hex(reinterpret_cast<const CZelHandle*>(at)->GetKey());
    if (info->Type != EDITABLE_POINTER)
        return Hex(value);
    void* pointer = reinterpret_cast<void*>(value);
    if (pointer == nullptr)
        return "null";
    if (strcmp(info->TypeName, "char *") == 0)
        return "\"" + std::string(static_cast<const char*>(pointer)) + "\"";
    if (GObject* target = ObjectAt(GObject::GetRoot(), pointer))
        return "object " + Hex(target->GetLabel());
    return "symbol " + Hex(static_cast<DWORD>(CZelFixupManager::GetKey(pointer)));
}

// One object and its children as text: class, label, player and every field; children in
// sibling order.
std::string DumpObject(GObject* object, int depth)
{
    const std::string indent(depth * 2, ' ');
    std::string text = indent + object->GetClassName() + " " + Hex(object->GetLabel()) + " player " +
                       std::to_string(object->GetHandle().Player()) + "\n";
    ZPtrArray<EditableInfo, 64> fields;
    object->GetEditableInfoList(fields);
    for (EditableInfo* info : fields)
        text += indent + "  " + info->Name + " = " + FieldText(object, info) + "\n";
    for (GObject* child = object->pChild; child != nullptr; child = child->pNext)
        text += DumpObject(child, depth + 1);
    return text;
}

// The level's objects; top-level objects sorted by their text, since a level load lists them
// in an order of its own.
std::string DumpLevel()
{
    std::vector<std::string> tops;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (top->IsDerivedFromClassId(GLayoutCrate::ClassId))
            tops.push_back(DumpObject(top, 0));
    std::sort(tops.begin(), tops.end());
    std::string text;
    for (const std::string& top : tops)
        text += top;
    return text;
}

GLayoutCrate* Crate(const char* label) { return static_cast<GLayoutCrate*>(GObject::Find(CCRC32::GetCRC(label))); }

class LayoutRoundTrip : public ShellLoopTest {
protected:
    void SetUp() override
    {
        levelFolder = "layout_" + std::to_string(getpid());
        folder = fs::path(ZEL_FIXTURE_DIR) / levelFolder;
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path sources = fs::path(MG_TESTS_DIR) / "engine" / "object" / "layout";
        fs::copy_file(sources / "roundtrip.rhu", folder / "roundtrip.rhu");
        fs::copy_file(sources / "LAYOUTPARAMS.RHU", folder / "LAYOUTPARAMS.RHU");
        ShellLoopTest::SetUp();
    }
    void TearDown() override
    {
        ShellLoopTest::TearDown();
        fs::remove_all(folder);
    }

    std::string Level() const { return levelFolder + "\\roundtrip.zel"; }

    // Runs the loop until turn `last`, keeping the shell's level-load chatter out of the log.
    void Run(int last, std::function<void(int)> perTurn)
    {
        testing::internal::CaptureStdout();
        RunLoop(last, std::move(perTurn));
        testing::internal::GetCapturedStdout();
    }

    std::string levelFolder;
    fs::path folder;
};

// The first conversion's objects hold what the designer wrote, so the comparison below is of
// real values; the layout file written in between holds only what differs from the defaults.
TEST_F(LayoutRoundTrip, ConvertedLayoutRecreatesTheSameObjects)
{
    Convert(folder);
    std::string first;
    std::string second;
    CShell::SetNextLevel(Level().c_str());
    Run(4, [&](int t) {
        if (t == 2) {
            first = DumpLevel();
            GLayoutCrate* crate = Crate("Crate");
            GLayoutCrate* barrel = Crate("Barrel");
            if (crate == nullptr || crate->pLid == nullptr || barrel == nullptr)
                return;
            EXPECT_EQ(crate->Count, -5);
            EXPECT_EQ(crate->Weight, 4000000000u);
            EXPECT_EQ(crate->Kind, CCRC32::GetCRC("Wooden"));
            EXPECT_EQ(crate->Greeting.GetKey(), CCRC32::GetCRC("LayoutGreeting"));
            EXPECT_STREQ(crate->pText, "inside the crate");
            EXPECT_EQ(crate->GetHandle().Player(), 2);
            EXPECT_EQ(crate->pLid->Speed, 0.00001234f);
            EXPECT_EQ(barrel->Speed, 1.5f);

            GObject::VeskTextSave(true, CShell::GetCurrentLevel());
            Convert(folder);
            CShell::SetNextLevel(Level().c_str());
        } else if (t == 3) {
            second = DumpLevel();
        }
    });
    ASSERT_NE(Crate("Barrel"), nullptr);
    ASSERT_NE(Crate("Crate"), nullptr);
    ASSERT_NE(Crate("Crate")->pLid, nullptr);
    const std::string written = ReadFileText(folder / "LAYOUTPARAMS.RHU");
    EXPECT_EQ(second, first) << "layout file:\n" << written;

    // What the editor wrote: defaults left out, the lid before its crate.
    EXPECT_NE(written.find("// VESK GENERATED FILE, NO TYPES INFO"), std::string::npos) << written;
    EXPECT_EQ(written.find("Count = 4;"), std::string::npos) << written;
    EXPECT_LT(written.find("EmbeddedParams Lid GLayoutCrate"), written.find("LayoutParams Crate GLayoutCrate"))
        << written;
}

} // namespace
