// Simple animations (an index over time, as sprites use them) written through the writer and
// read back from the file's bytes: the end trigger they get, and the order of their triggers.
#include "ZelFiles.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbAnimation.h"
#include "engine/include/ZelFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

using namespace zelfiles;

namespace {

struct Expected {
    float time;
    unsigned long flag;
    unsigned type;
};

// Writes one simple animation of the given keys (time, duration) and triggers, and returns the
// trigger records that follow its keys, up to the list's end record.
std::vector<Expected> Triggers(bool loop, std::initializer_list<std::pair<float, float>> keys,
                               std::initializer_list<Expected> triggers, float* endTime)
{
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    const std::string path = ScratchFolder() + "/anim.zel";
    {
        CDatabase database;
        CdbSimpleAnimation* animation = new CdbSimpleAnimation("Walk", &database);
        animation->Loop = loop;
        long index = 0;
        for (const auto& key : keys)
            animation->Keys.push_back({key.first, key.second, index++});
        for (const Expected& t : triggers) {
            animation->Triggers.push_back(std::make_unique<CAnimTrigger>());
            *animation->Triggers.back() = {t.time, t.flag, static_cast<int>(t.type)};
        }
        CZelWriter writer;
        writer.SetCompression(false);
        writer.Open(path.c_str());
        writer.BeginList(ZelFormat::kBlockPcx);
        animation->Dump(writer);
        writer.EndList();
        writer.Finish();
    }
    TypeDatabase.Reset();
    const Bytes data = Chunk(ReadAll(path), "LIST/DATA");
    // Keys (8 bytes each), then the triggers (12 bytes each) to the 0xFFFF record, then the record.
    std::vector<Expected> out;
    for (size_t at = 8 * keys.size(); at + 12 <= data.size(); at += 12) {
        Expected t;
        memcpy(&t.time, &data[at], 4);
        t.flag = Word(data, at + 4);
        t.type = data[at + 8] | data[at + 9] << 8;
        if (t.type == 0xFFFF) {
            memcpy(endTime, &data[at + 12 + 8], 4);
            return out;
        }
        out.push_back(t);
    }
    ADD_FAILURE() << "no end of the trigger list";
    return out;
}

void ExpectTriggers(const std::vector<Expected>& got, const std::vector<Expected>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_FLOAT_EQ(got[i].time, want[i].time) << i;
        EXPECT_EQ(got[i].flag, want[i].flag) << i;
        EXPECT_EQ(got[i].type, want[i].type) << i;
    }
}

TEST(SimpleAnimation, KeysEndingAt2GetAnEndTriggerThatStopsOrLoops)
{
    float end = 0;
    ExpectTriggers(Triggers(false, {{0.0f, 1.0f}, {1.0f, 1.0f}}, {{0.5f, 4, 0}}, &end),
                   {{0.5f, 4, 0}, {2.0f, 0x80000000, 1}});
    EXPECT_FLOAT_EQ(end, 2.0f);
    ExpectTriggers(Triggers(true, {{0.0f, 1.0f}, {1.0f, 1.0f}}, {}, &end), {{2.0f, 0x80000000, 2}});
}

TEST(SimpleAnimation, AStopTriggerEndsTheWalkAndTriggersComeOutSorted)
{
    float end = 0;
    // The stop at 1.0 ends the walk before the later trigger at 5.0: the end stays at the keys'.
    ExpectTriggers(Triggers(false, {{0.0f, 2.0f}}, {{1.0f, 0, 1}, {5.0f, 1, 0}}, &end), {{1.0f, 0, 1}, {5.0f, 1, 0}});
    EXPECT_FLOAT_EQ(end, 2.0f);
    // Equal times keep their order.
    ExpectTriggers(Triggers(false, {{0.0f, 1.0f}}, {{0.5f, 7, 0}, {0.2f, 8, 0}, {0.5f, 9, 0}}, &end),
                   {{0.2f, 8, 0}, {0.5f, 7, 0}, {0.5f, 9, 0}, {1.0f, 0x80000000, 1}});
}

} // namespace
