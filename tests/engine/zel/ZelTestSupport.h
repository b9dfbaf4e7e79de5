#pragma once
// What the packed-data and shell tests share: a record type and a game-object class that the
// fixture files use, and helpers over the fixture data folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelStaticResource.h"
#include "engine/object/GObject.h"

#pragma pack(push, 1)
// A record of the tests: it notes every construction and destruction.
class CZelProbe : public CZelStaticResource {
public:
    CZelProbe();
    ~CZelProbe() override;

    DWORD Value;
    const char* pText;
    CZelHandle Handle;
    void* pImport;

    static std::vector<DWORD>& Constructed();
    static std::vector<DWORD>& Destroyed();
};
#pragma pack(pop)

// A game-object class whose objects the fixture levels create from fill data.
class GZelProbeObject : public GObject {
    DECLARE_GOBJECT(GZelProbeObject, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override;

    int Count;
    float Speed;
};

// Tests that load fixture files, with the chunk categories the fixtures are written for.
class ZelLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CZelFile::LoadChunkCategories(0x11);
        GObject::InitEditableInfo();
    }
    // Objects outlive the files that created them; each test starts with an empty tree.
    void TearDown() override { GObject::DestroyObjects(); }
};

// The probe record exported under the name, or null.
CZelProbe* ExportedProbe(const char* name);
int CountObjects(DWORD classId);

// The folder of the profile manager's card, which lies beside the data folder.
std::string ProfileRoot();
