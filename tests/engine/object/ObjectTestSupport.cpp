#include "ObjectTestSupport.h"

#include <string.h>

#include <mg_win32.h>

#include "engine/object/CFillData.h"

static_assert(sizeof(EmbeddedRecordForTest) == sizeof(CEmbeddedFillData), "test copy of the embedded record");

namespace {

// Builds the editable tables once all classes (the library's and the tests') have registered,
// as the shell's constructor does.
class ObjectModelEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        MgUseVirtualClock(1000);
        GObject::InitEditableInfo();
    }
};

const ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ObjectModelEnvironment);

} // namespace

void ObjectTest::ResetWorld()
{
    GObject::DestroyInhibit = 0;
    GObject::DestroyObjects();
    // Survivors of the level sweep (classes flagged to survive) are not wanted between tests.
    while (GObject* child = GObject::GetRoot()->pChild) {
        GObject::DestroyInhibit = 0;
        child->Destroy();
    }
    CGameTimer::tPauseFrameTime = 0;
}

void ObjectTest::RunFrame(float pauseFrameTime)
{
    CGameTimer::tPauseFrameTime = pauseFrameTime;
    GObject::ProcessObjects();
}

int ObjectTest::CountRootChildren()
{
    int count = 0;
    for (GObject* child = GObject::GetRoot()->pChild; child != nullptr; child = child->pNext)
        ++count;
    return count;
}

FillData& FillData::Record(unsigned long key, const void* bytes, int length, int arrayIndex, int kind)
{
    unsigned char header[8];
    memcpy(header, &key, 4);
    header[4] = static_cast<unsigned char>(length);
    header[5] = static_cast<unsigned char>(length >> 8);
    header[6] = static_cast<unsigned char>(arrayIndex);
    header[7] = static_cast<unsigned char>(kind);
    m_Bytes.insert(m_Bytes.end(), header, header + 8);
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    m_Bytes.insert(m_Bytes.end(), data, data + length);
    while (m_Bytes.size() % 4 != 0)
        m_Bytes.push_back(0xCD); // padding the reader must skip
    return *this;
}

FillData& FillData::Raw(const char* field, const void* bytes, int length, int arrayIndex, int kind)
{
    return Record(CCRC32::GetCRC(field), bytes, length, arrayIndex, kind);
}

FillData& FillData::Float(const char* field, float value, int arrayIndex) { return Raw(field, &value, 4, arrayIndex); }

FillData& FillData::Int(const char* field, int value, int arrayIndex) { return Raw(field, &value, 4, arrayIndex); }

FillData& FillData::Word(const char* field, unsigned long value, int kind, int arrayIndex)
{
    return Raw(field, &value, 4, arrayIndex, kind);
}

FillData& FillData::Embedded(unsigned long fieldKey, const void* record, int arrayIndex)
{
    return Record(fieldKey, &record, 4, arrayIndex, FILLDATA_EMBEDDED_GOBJECT);
}

EditableFillData* FillData::Get()
{
    m_Aligned.assign(m_Bytes.size() / 4 + 1, 0);
    memcpy(m_Aligned.data(), m_Bytes.data(), m_Bytes.size());
    return reinterpret_cast<EditableFillData*>(m_Aligned.data());
}
