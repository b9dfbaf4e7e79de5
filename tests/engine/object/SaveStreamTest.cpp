// The save stream and object persistence below the profile manager: object records written to
// a file and read back, and streams damaged by hand.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>

#include "SaveTestSupport.h"
#include "ZelTestSupport.h"
#include "core/file/CZFile.h"
#include "core/names/CCRC32.h"
#include "engine/object/CLoadSaveBuffer.h"

// A record larger than the reader can hold between two flushes.
class GSaveHuge : public GObject {
    DECLARE_GOBJECT(GSaveHuge, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override
    {
        int count = GObject::SpecifyEditable(cursor);
        AddEditable(cursor, "Block", "int", Block);
        return count + 1;
    }

    int Block[9000];
};
IMPLEMENT_GOBJECT(GSaveHuge, 0x88008000)

namespace {

const unsigned long kWriteByName = 0x000A;
const unsigned long kReadByName = 0x0009;

class SaveStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        GObject::InitEditableInfo();
        GObject::DestroyObjects();
        path = std::string(MG_BINARY_DIR) + "/save_stream_" + std::to_string(getpid()) + ".bin";
    }
    void TearDown() override { unlink(path.c_str()); }

    // Returns the stream's error count after closing.
    int Write(const std::function<void(CLoadSaveBuffer&)>& body)
    {
        CZFile file;
        EXPECT_EQ(file.Open(path.c_str(), kWriteByName), 0);
        CLoadSaveBuffer stream;
        stream.Attach(&file, true);
        body(stream);
        const int errors = stream.Close();
        file.Close();
        return errors;
    }

    // A full save's preamble with an empty bitmap.
    static void Preamble(CLoadSaveBuffer& stream)
    {
        static const DWORD bitmap[2048] = {};
        stream.Write(2.0f);
        stream.Write(bitmap, sizeof bitmap, "bitmap");
        stream.Write(2.0f);
    }

    // True when the load failed.
    bool Load(bool copy)
    {
        CZFile file;
        EXPECT_EQ(file.Open(path.c_str(), kReadByName), 0);
        CLoadSaveBuffer stream;
        stream.Attach(&file, false);
        const bool failed = GObject::LoadAll(stream, copy);
        stream.Close();
        return failed;
    }

    static bool AnyReservedSlot()
    {
        for (GObject* slot : GObject::TheHandleArray)
            if (slot == reinterpret_cast<GObject*>(1))
                return true;
        return false;
    }

    std::string path;
};

// The editor's clipboard: the pasted object gets the next label and a handle of its own, and
// children never written to saved games come along.
TEST_F(SaveStream, CopyCarriesTheWholeSubtreeUnderANewLabelAndHandle)
{
    GSaveProbe* original = static_cast<GSaveProbe*>(GObject::Create(GSaveProbe::ClassId, HGOBJECT(0), nullptr));
    original->SetLabel(500);
    original->Count = 3;
    original->Create(GUnsavedChild::ClassId, nullptr);
    static_cast<GSaveChild*>(original->Create(GSaveChild::ClassId, nullptr))->Count = 4;
    ASSERT_EQ(Write([&](CLoadSaveBuffer& stream) {
                  original->Save(stream, true);
                  stream.Flush();
                  original->SaveEx(stream); // its children carry no extra data
                  GObject::TerminateSaveFile(stream);
              }),
              0);

    ASSERT_FALSE(Load(true));
    GSaveProbe* pasted = static_cast<GSaveProbe*>(GObject::Find(501));
    ASSERT_NE(pasted, nullptr);
    EXPECT_NE(static_cast<DWORD>(pasted->GetHandle()), static_cast<DWORD>(original->GetHandle()));
    EXPECT_FALSE(pasted->GetHandle().IsNull());
    EXPECT_EQ(pasted->Count, 3);
    EXPECT_EQ(CountObjects(GUnsavedChild::ClassId), 2);
    EXPECT_EQ(CountObjects(GSaveChild::ClassId), 2);
}

TEST_F(SaveStream, SaveWhoseHandleIsTakenFailsWithoutCreatingAnything)
{
    GObject* saved = GObject::Create(GSaveProbe::ClassId, HGOBJECT(0), nullptr);
    const HGOBJECT handle = saved->GetHandle();
    ASSERT_EQ(Write([](CLoadSaveBuffer& stream) { EXPECT_FALSE(GObject::SaveAll(stream)); }), 0);
    saved->Destroy();
    ASSERT_NE(GObject::Create(GLevelOnly::ClassId, handle, nullptr), nullptr);

    EXPECT_TRUE(Load(false));
    EXPECT_EQ(CountObjects(GSaveProbe::ClassId), 0);
    EXPECT_FALSE(AnyReservedSlot());
}

// Damage inside the stream fails the load; the process goes on.
TEST_F(SaveStream, DamagedObjectRecordsFailTheLoad)
{
    struct Case {
        const char* what;
        std::function<void(CLoadSaveBuffer&)> records;
    };
    const DWORD child = GSaveChild::ClassId;
    const Case cases[] = {
        {"bad child magic",
         [&](CLoadSaveBuffer& s) {
             s.Write(LSObjectHeader{LS_MAGIC_TOP, child, 1, HGOBJECT(0)});
             s.Write(LSObjectHeader{0x12345678, child, 2, HGOBJECT(0)});
         }},
        {"bad top-level magic",
         [&](CLoadSaveBuffer& s) {
             s.Write(LSObjectHeader{LS_MAGIC_CHILD, child, 1, HGOBJECT(0)});
         }},
        {"unknown class",
         [&](CLoadSaveBuffer& s) {
             s.Write(LSObjectHeader{LS_MAGIC_TOP, 0xDEADBEEF, 1, HGOBJECT(0)});
         }},
        {"nesting without end",
         [&](CLoadSaveBuffer& s) {
             s.Write(LSObjectHeader{LS_MAGIC_TOP, child, 1, HGOBJECT(0)});
             for (int i = 0; i < 1000; ++i)
                 s.Write(LSObjectHeader{LS_MAGIC_CHILD, child, 2, HGOBJECT(0)});
         }},
        {"stream ends inside an object",
         [&](CLoadSaveBuffer& s) {
             s.Write(LSObjectHeader{LS_MAGIC_TOP, child, 1, HGOBJECT(0)});
         }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Write([&](CLoadSaveBuffer& s) {
                      Preamble(s);
                      c.records(s);
                  }),
                  0)
            << c.what;
        EXPECT_TRUE(Load(false)) << c.what;
        EXPECT_FALSE(AnyReservedSlot()) << c.what;
        GObject::DestroyObjects();
    }
}

TEST_F(SaveStream, RecordTooLargeForTheReaderFailsTheSave)
{
    GObject::Create(GSaveHuge::ClassId, HGOBJECT(0), nullptr);
    bool failed = false;
    EXPECT_NE(Write([&](CLoadSaveBuffer& stream) { failed = GObject::SaveAll(stream); }), 0);
    EXPECT_TRUE(failed);
}

// Far more than the 64 KB buffer: the reader slides through it flush by flush.
TEST_F(SaveStream, LargeSaveComesBackWhole)
{
    unsigned seed = 99;
    for (int i = 0; i < 12; ++i) {
        GSaveBulk* bulk = static_cast<GSaveBulk*>(GObject::Create(GSaveBulk::ClassId, HGOBJECT(0), nullptr));
        bulk->SetLabel(1000 + i);
        for (int& word : bulk->Noise)
            word = static_cast<int>(seed = seed * 1103515245u + 12345u);
    }
    ASSERT_EQ(Write([](CLoadSaveBuffer& stream) { EXPECT_FALSE(GObject::SaveAll(stream)); }), 0);
    GObject::DestroyObjects();

    ASSERT_FALSE(Load(false));
    seed = 99;
    for (int i = 0; i < 12; ++i) {
        GSaveBulk* bulk = static_cast<GSaveBulk*>(GObject::Find(1000 + i));
        ASSERT_NE(bulk, nullptr) << i;
        int mismatches = 0;
        for (int word : bulk->Noise)
            mismatches += word != static_cast<int>(seed = seed * 1103515245u + 12345u);
        EXPECT_EQ(mismatches, 0) << i;
    }
}

// Fields of odd size keep the stream in whole words, and the bytes around a bool survive.
TEST_F(SaveStream, NarrowAndOddFieldsComeBackExactly)
{
    GSaveProbe* probe = static_cast<GSaveProbe*>(GObject::Create(GSaveProbe::ClassId, HGOBJECT(0), nullptr));
    probe->SetLabel(77);
    probe->Flag = true;
    const bool odd[5] = {true, false, true, false, true};
    memcpy(probe->Odd, odd, sizeof odd);
    probe->Speed = 0.5f;
    ASSERT_EQ(Write([](CLoadSaveBuffer& stream) { EXPECT_FALSE(GObject::SaveAll(stream)); }), 0);

    ASSERT_FALSE(Load(false));
    GSaveProbe* loaded = static_cast<GSaveProbe*>(GObject::Find(77));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->Flag);
    EXPECT_EQ(memcmp(loaded->Odd, odd, sizeof odd), 0);
    EXPECT_EQ(loaded->Speed, 0.5f);
}

} // namespace
