#pragma once
// Shared fixture of the object-model tests: an empty tree and a still clock before every test,
// and a builder for creation data laid out as the converter writes it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "core/names/CCRC32.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GObject.h"

class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWorld(); }
    void TearDown() override { ResetWorld(); }
    static void ResetWorld();
    // Runs one traversal with the given pause-aware frame time.
    static void RunFrame(float pauseFrameTime = 0.0f);
    static int CountRootChildren();
};

// Creation data: records on 4-byte boundaries, ended by a zero name key.
class FillData {
public:
    FillData& Record(unsigned long key, const void* bytes, int length, int arrayIndex, int kind);
    FillData& Raw(const char* field, const void* bytes, int length, int arrayIndex = 0, int kind = 0);
    FillData& Float(const char* field, float value, int arrayIndex = 0);
    FillData& Int(const char* field, int value, int arrayIndex = 0);
    FillData& Word(const char* field, unsigned long value, int kind = 0, int arrayIndex = 0);
    FillData& Embedded(unsigned long fieldKey, const void* record, int arrayIndex = 0);
    EditableFillData* Get();

private:
    std::vector<unsigned char> m_Bytes;
    std::vector<unsigned long> m_Aligned;
};

// The packed record a kind-1 record points at: table pointer, class, label, creation data.
struct EmbeddedRecordForTest {
    unsigned long TablePointer;
    unsigned long ClassId;
    unsigned long LabelId;
    EditableFillData* pData;
    int Player;
};

// The table slot of a virtual member function: its pointer holds 1 + the slot's byte offset.
template <class F> unsigned long VirtualSlot(F function)
{
    unsigned long raw[2];
    static_assert(sizeof function == sizeof raw, "a member-function pointer is two words");
    memcpy(raw, &function, sizeof raw);
    return (raw[0] - 1) / sizeof(void*);
}

// Runs fn and returns what it printed on stdout.
template <class Fn> std::string CaptureStdout(Fn fn)
{
    ::testing::internal::CaptureStdout();
    fn();
    fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}
