// The volume tree and the environmental system: which volumes a point finds, and the ambient
// sound a camera moving across overlapping sound volumes hears.
#include <algorithm>

#include "SoundTestSupport.h"
#include "engine/devices/GEnvironmentalSystem.h"
#include "engine/world/GmvCamera.h"

namespace {

const DWORD kAllSides = VOLUME_LIMIT_MIN_X | VOLUME_LIMIT_MAX_X | VOLUME_LIMIT_MIN_Y | VOLUME_LIMIT_MAX_Y;

std::vector<DWORD> Found(VolumeTree& tree, const CVector& point)
{
    VolumePos cursor;
    tree.ExaminePosition(cursor, point);
    std::vector<DWORD> found;
    DWORD flags, classId, priority;
    CVector min, max;
    while (VolumeId id = cursor.GetNext())
        found.push_back(
            DWORD(reinterpret_cast<uintptr_t>(tree.DescribeVolume(id, flags, classId, priority, min, max))));
    return found;
}

TEST(VolumeTreeTest, AnOpenVolumeIsFoundEverywhereAndLimitedSidesBoundCells)
{
    VolumeTree tree;
    tree.AddVolume(0, 1, 0, CVector(0, 0, 0), CVector(10, 10, 10), reinterpret_cast<void*>(1));
    EXPECT_EQ(Found(tree, CVector(5, 5, 5)), std::vector<DWORD>{1});
    EXPECT_EQ(Found(tree, CVector(500, -70, 3)), std::vector<DWORD>{1}) << "a tree of one leaf";

    VolumeTree boxes;
    boxes.AddVolume(kAllSides, 2, 0, CVector(0, 0, -1), CVector(10, 10, 1), reinterpret_cast<void*>(10));
    VolumeId second =
        boxes.AddVolume(kAllSides, 2, 0, CVector(20, 0, -1), CVector(30, 10, 1), reinterpret_cast<void*>(20));
    EXPECT_EQ(Found(boxes, CVector(5, 5, 0)), std::vector<DWORD>{10});
    EXPECT_EQ(Found(boxes, CVector(25, 5, 0)), std::vector<DWORD>{20});
    EXPECT_TRUE(Found(boxes, CVector(15, 5, 0)).empty());
    EXPECT_TRUE(Found(boxes, CVector(5, 50, 0)).empty());

    // A rebuild empties cursors taken before it.
    VolumePos cursor;
    boxes.ExaminePosition(cursor, CVector(25, 5, 0));
    boxes.RemoveVolume(second);
    VolumePos other;
    boxes.ExaminePosition(other, CVector(25, 5, 0));
    EXPECT_EQ(cursor.GetNext(), nullptr);
    EXPECT_EQ(other.GetNext(), nullptr);
    EXPECT_EQ(boxes.GetVolumeCount(), 1u);
    boxes.RemoveVolume(nullptr);
    DWORD flags, classId, priority;
    CVector min, max;
    EXPECT_EQ(boxes.DescribeVolume(nullptr, flags, classId, priority, min, max), nullptr);
}

// Per class the higher priority comes first in a leaf, whichever was added first; volumes of
// other classes stay.
TEST(VolumeTreeTest, OverlappingVolumesOfAClassKeepTheirHighestPriorityFirst)
{
    for (bool highFirst : {true, false}) {
        VolumeTree tree;
        const DWORD order[2] = {highFirst ? 5u : 1u, highFirst ? 1u : 5u};
        for (DWORD priority : order)
            tree.AddVolume(kAllSides, 7, priority, CVector(0, 0, 0), CVector(10, 10, 1),
                           reinterpret_cast<void*>(uintptr_t(priority)));
        tree.AddVolume(kAllSides, 8, 9, CVector(2, 2, 0), CVector(8, 8, 1), reinterpret_cast<void*>(99));
        std::vector<DWORD> found = Found(tree, CVector(5, 5, 0.5f));
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found[0], 5u) << (highFirst ? "high first" : "low first");
        EXPECT_NE(std::find(found.begin(), found.end(), 99u), found.end());
    }
    // Many volumes overflow the first pool block of 32.
    VolumeTree many;
    for (int i = 0; i < 80; ++i)
        many.AddVolume(kAllSides, 1, 0, CVector(i * 10.0f, 0, 0), CVector(i * 10.0f + 5, 5, 1),
                       reinterpret_cast<void*>(uintptr_t(i + 1)));
    EXPECT_EQ(Found(many, CVector(792, 2, 0.5f)), std::vector<DWORD>{80});
    EXPECT_EQ(Found(many, CVector(2, 2, 0.5f)), std::vector<DWORD>{1});
}

class EnvironmentalSoundTest : public SoundTest {
protected:
    GEnvironmentalSoundVolume* Volume(DWORD classId, float minX, float maxX, int sound, int ambient, int priority)
    {
        FillData data;
        data.Float("MinX", minX).Float("MinY", 0).Float("MaxX", maxX).Float("MaxY", 100);
        data.Int("SoundType", sound).Int("AmbientType", ambient).Int("Priority", priority);
        data.Int("LimitLeft", 1).Int("LimitRight", 1).Int("LimitTop", 1).Int("LimitBottom", 1);
        return static_cast<GEnvironmentalSoundVolume*>(GObject::Create(classId, HGOBJECT(0), data.Get()));
    }
};

// A camera walking east across a forest (priority 1), an overlapping river (priority 3) and
// an indoor hall hears the ambient of the highest-priority sound volume under it, checked every
// 2 seconds; with music turned down the volume's "AmbientType" plays instead.
TEST_F(EnvironmentalSoundTest, ACameraMovingAcrossVolumesHearsTheAmbientThePrioritiesChoose)
{
    CSoundDefinition* forest = Define({"Forest", SOUND_LOOP | SOUND_STREAM, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* river = Define({"River", SOUND_LOOP | SOUND_STREAM, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* quiet = Define({"Quiet", SOUND_LOOP | SOUND_STREAM, 1.0f, 0.0f, 1.0f});
    GmvCamera* camera = GmvCamera::Create();
    Volume(GEnvironmentalSoundVolume::ClassId, 0, 100, int(forest->Id), int(quiet->Id), 1);
    Volume(GEnvironmentalSoundVolume::ClassId, 60, 160, int(river->Id), int(quiet->Id), 3);
    Volume(GEnvironmentalIndoorVolume::ClassId, 200, 300, 0, 0, 0);
    ASSERT_NE(GEnvironmentalSystem::pThe, nullptr);

    std::vector<std::string> heard;
    auto names = [&](DWORD id) -> std::string {
        return id == forest->Id ? "Forest" : id == river->Id ? "River" : id == quiet->Id ? "Quiet" : id ? "?" : "-";
    };
    CGameTimer::tGameTime = 0.0f;
    for (float x : {10.0f, 50.0f, 70.0f, 120.0f, 250.0f, 130.0f, 30.0f}) {
        camera->SetPos(CVector(x, 50.0f, 0.0f));
        for (int step = 0; step < 2; ++step) { // the check runs once per 2 seconds of game time
            GEnvironmentalSystem::pThe->Process();
            CGameTimer::tGameTime += 1.0f;
        }
        heard.push_back(names(GEnvironmentalSystem::pThe->CurrentId));
        if (x == 120.0f)
            System->Volume(2, 0.01f);
        if (x == 130.0f)
            System->Volume(2, 1.0f);
    }
    const std::vector<std::string> expected = {"Forest", "Forest", "River", "River", "River", "Quiet", "Forest"};
    EXPECT_EQ(heard, expected) << "the hall has no sound volume: the river keeps playing there";
    EXPECT_TRUE(GEnvironmentalSystem::pThe->IsIndoors(CVector(250, 50, 0)));
    EXPECT_FALSE(GEnvironmentalSystem::pThe->IsIndoors(CVector(70, 50, 0)));
    EXPECT_TRUE(System->Status(GEnvironmentalSystem::pThe->Status));
}

TEST_F(EnvironmentalSoundTest, ASoundPointKeepsItsOneShotPlaying)
{
    CSoundDefinition* chirp = Define({"Chirp", 0, 1.0f, 0.0f, 1.0f}, 1, std::vector<short>(441, 500));
    FillData data;
    data.Int("SoundEffect", int(chirp->Id));
    GSoundPoint* point = static_cast<GSoundPoint*>(GObject::Create(GSoundPoint::ClassId, HGOBJECT(0), data.Get()));
    std::vector<int> startedAt;
    SoundStatus last = 0;
    for (int frame = 0; frame < 30; ++frame) {
        point->Process();
        if (point->Status != last && (point->Status & SOUND_STATUS_PLAYING))
            startedAt.push_back(frame);
        last = point->Status;
        Frame();
    }
    ASSERT_GE(startedAt.size(), 3u);
    EXPECT_EQ(startedAt[0], 2) << "the countdown starts at 2";
    // It ends within the frame it started; the check 3 frames later finds it ended and plays
    // it again at once.
    for (size_t i = 1; i < startedAt.size(); ++i)
        EXPECT_EQ(startedAt[i] - startedAt[i - 1], 3) << i;
    // A sound that cannot play is tried again every 7th frame.
    point->SoundEffect = int(CCRC32::GetCRC("NoSuchSound"));
    point->DelayPlay = 0;
    point->Process();
    EXPECT_EQ(point->DelayPlay, 6);
}

} // namespace
