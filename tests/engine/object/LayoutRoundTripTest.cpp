// Layout text through both deliverables: wexlorn converts a level whose objects come from its
// layout file, the shell loads it, the editor's save writes the layout file again, wexlorn
// converts the level once more and the shell reloads it: the objects come back field by field.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <mg_window.h>

#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/object/CShell.h"
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

std::string RunCommand(const std::string& command, int& exitCode)
{
    std::string output;
    exitCode = -1;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        const int status = pclose(pipe);
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return output;
}

// wexlorn over the level's folder, run from there so the level's include finds its layout file.
// The layout file is a source of that folder too and becomes a packed file of its own, unused.
void Convert(const fs::path& folder)
{
    int exitCode;
    const std::string output =
        RunCommand("cd '" + folder.string() + "' && '" + MG_WEXLORN + "' '" + folder.string() + "'", exitCode);
    ASSERT_EQ(exitCode, 0) << output;
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

GLayoutCrate* Crate(const char* label)
{
    return static_cast<GLayoutCrate*>(GObject::Find(CCRC32::GetCRC(label)));
}

class LayoutRoundTrip : public ::testing::Test {
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

        MgResetWindows();
        shell = new CShell(nullptr, 0, 0);
        MgSetMessagePumpHook(&LayoutRoundTrip::OnTurn, this);
    }
    void TearDown() override
    {
        MgSetMessagePumpHook(nullptr, nullptr);
        delete shell;
        fs::remove_all(folder);
    }

    std::string Level() const { return levelFolder + "\\roundtrip.zel"; }

    // Runs the loop with an action per turn (from 1) until the action returns false.
    void Run(std::function<bool(int)> perTurn)
    {
        action = std::move(perTurn);
        testing::internal::CaptureStdout();
        shell->MainLoop();
        testing::internal::GetCapturedStdout();
    }

    static void OnTurn(void* user)
    {
        LayoutRoundTrip* self = static_cast<LayoutRoundTrip*>(user);
        ++self->turn;
        if (self->turn > 10 || !self->action(self->turn))
            PostQuitMessage(0);
    }

    std::string levelFolder;
    fs::path folder;
    CShell* shell = nullptr;
    int turn = 0;
    std::function<bool(int)> action;
};

// The first conversion's objects hold what the designer wrote, so the comparison below is of
// real values; the layout file written in between holds only what differs from the defaults.
TEST_F(LayoutRoundTrip, ConvertedLayoutRecreatesTheSameObjects)
{
    Convert(folder);
    std::string first;
    std::string second;
    CShell::SetNextLevel(Level().c_str());
    Run([&](int t) {
        if (t == 2) {
            first = DumpLevel();
            GLayoutCrate* crate = Crate("Crate");
            GLayoutCrate* barrel = Crate("Barrel");
            if (crate == nullptr || crate->pLid == nullptr || barrel == nullptr)
                return false;
            EXPECT_EQ(crate->Count, -5);
            EXPECT_EQ(crate->Weight, 4000000000u);
            EXPECT_EQ(crate->Kind, CCRC32::GetCRC("Wooden"));
            EXPECT_EQ(crate->Greeting.GetKey(), CCRC32::GetCRC("LayoutGreeting"));
            EXPECT_STREQ(crate->pText, "inside the crate");
            EXPECT_EQ(crate->GetHandle().Player(), 2);
            EXPECT_EQ(crate->pLid->Speed, 0.00001234f);
            EXPECT_EQ(barrel->Speed, 1.5f);

            GObject::VeskTextSave(true);
            Convert(folder);
            CShell::SetNextLevel(Level().c_str());
        } else if (t == 3) {
            second = DumpLevel();
            return false;
        }
        return true;
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
