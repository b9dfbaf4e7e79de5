// The sound system's voices: choice and stealing by priority, the status word, sample order,
// loop timeouts, positions turned into pan and volume, and the values DirectSound receives.
#include <dsound.h>

#include <cmath>

#include "SoundTestSupport.h"
#include "engine/render/Camera.h"

namespace {

const CVector kAhead(0.0f, 0.0f, 10.0f);

DWORD Slot(SoundStatus status) { return (status >> SOUND_SLOT_SHIFT) & SOUND_SLOT_MASK; }

TEST_F(SoundTest, SixteenVoicesThenTheLowestPriorityGivesWayAndOldStatusesGoStale)
{
    ResetTransformState();
    CSoundDefinition* low = Define({"Low", 0, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* lowest = Define({"Lowest", 0, 0.5f, 0.0f, 1.0f});
    CSoundDefinition* high = Define({"High", 0, 5.0f, 0.0f, 1.0f});
    std::vector<SoundStatus> statuses;
    for (int i = 0; i < 16; ++i) {
        statuses.push_back(System->Play(low->Id, &kAhead));
        EXPECT_EQ(Slot(statuses.back()), DWORD(i));
        EXPECT_EQ(statuses.back() & (SOUND_STATUS_PLAYING | SOUND_STATUS_LOOPING), SOUND_STATUS_PLAYING);
        EXPECT_EQ((statuses.back() >> SOUND_GENERATION_SHIFT) & SOUND_GENERATION_MASK, 2u)
            << "generation 1, raised once";
    }
    EXPECT_EQ(low->UseCount, 16);
    EXPECT_EQ(System->Play(lowest->Id, &kAhead), GSoundSystem::NotPlaying) << "below every playing sound";

    // An equal priority replaces the earliest voice of that priority.
    SoundStatus equal = System->Play(low->Id, &kAhead);
    EXPECT_EQ(Slot(equal), 0u);
    EXPECT_FALSE(System->Status(statuses[0])) << "the old status of slot 0 is stale";
    EXPECT_FALSE(System->Stop(statuses[0]));
    EXPECT_TRUE(System->Status(equal));
    EXPECT_TRUE(System->Status(statuses[1]));

    SoundStatus loud = System->Play(high->Id, &kAhead);
    EXPECT_EQ(Slot(loud), 0u);
    EXPECT_EQ(low->UseCount, 15);
    EXPECT_TRUE(System->Stop(statuses[5]));
    EXPECT_FALSE(System->Status(statuses[5]));
    EXPECT_EQ(Slot(System->Play(lowest->Id, &kAhead)), 5u) << "a free voice takes any priority";

    EXPECT_EQ(System->Play(CCRC32::GetCRC("NoSuchSound"), &kAhead), SOUND_NO_DEFINITION);
    EXPECT_EQ(System->Play(0u, &kAhead), SOUND_NO_DEFINITION);
    System->Stop();
    EXPECT_EQ(low->UseCount + high->UseCount + lowest->UseCount, 0);
}

TEST_F(SoundTest, SamplesTakeTurnsAndSecondRequestsFollowTheOnlyOneFlags)
{
    CSoundDefinition* three = Define({"Three", 0, 1.0f, 0.0f, 1.0f}, 3);
    std::vector<CSoundSample*> used;
    for (int i = 0; i < 4; ++i) {
        SoundStatus status = System->Play(three->Id, static_cast<const CVector*>(nullptr));
        used.push_back(GSoundSystem::Voices[Slot(status)].pSample);
        System->Stop(status);
    }
    EXPECT_EQ(used[0], three->pSampleData[1]);
    EXPECT_EQ(used[1], three->pSampleData[2]);
    EXPECT_EQ(used[2], three->pSampleData[0]);
    EXPECT_EQ(used[3], three->pSampleData[1]);

    // The same memory sample twice: the second plays on a duplicate; stopping either leaves the
    // other playing.
    CSoundDefinition* one = Define({"One", 0, 1.0f, 0.0f, 1.0f});
    SoundStatus first = System->Play(one->Id, static_cast<const CVector*>(nullptr));
    SoundStatus second = System->Play(one->Id, static_cast<const CVector*>(nullptr));
    CSoundSample* duplicate = GSoundSystem::Voices[Slot(second)].pSample;
    EXPECT_EQ(duplicate->Length, DWORD(CSoundSample::kDuplicate));
    EXPECT_TRUE(System->Stop(first));
    Frame();
    EXPECT_TRUE(System->Status(second));
    DWORD status = 0;
    duplicate->GetBuffer()->GetStatus(&status);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, DWORD(DSBSTATUS_PLAYING));
    Frames(10); // 4,410 frames: both have ended
    EXPECT_FALSE(System->Status(second));
    EXPECT_EQ(one->UseCount, 0);

    CSoundDefinition* ignore = Define({"Ignore", SOUND_ONLYONEIGNORE, 1.0f, 0.0f, 1.0f});
    EXPECT_TRUE(System->Play(ignore->Id, static_cast<const CVector*>(nullptr)) & SOUND_STATUS_PLAYING);
    EXPECT_EQ(System->Play(ignore->Id, static_cast<const CVector*>(nullptr)), GSoundSystem::NotPlaying);
    CSoundDefinition* restart = Define({"Restart", SOUND_ONLYONERESTART, 1.0f, 0.0f, 1.0f});
    SoundStatus a = System->Play(restart->Id, static_cast<const CVector*>(nullptr));
    SoundStatus b = System->Play(restart->Id, static_cast<const CVector*>(nullptr));
    EXPECT_EQ(Slot(a), Slot(b));
    EXPECT_FALSE(System->Status(a));
    EXPECT_EQ(restart->UseCount, 1);
}

TEST_F(SoundTest, ALoopNobodyRefreshesTimesOutAfterTwoSecondsButAStreamedLoopDoesNot)
{
    CSoundDefinition* loop = Define({"Loop", SOUND_LOOP, 1.0f, 0.0f, 1.0f});
    SoundStatus status = System->Play(loop->Id, static_cast<const CVector*>(nullptr));
    EXPECT_TRUE(status & SOUND_STATUS_LOOPING);
    Frame(1.5f);
    EXPECT_TRUE(System->Update(status, nullptr, loop->Id)) << "refreshed: two seconds again";
    Frame(1.5f);
    EXPECT_TRUE(System->Status(status));
    EXPECT_EQ(DebugLog.find("Loop sound timeout"), std::string::npos);
    Frame(0.5f);
    EXPECT_FALSE(System->Status(status));
    EXPECT_NE(DebugLog.find("Loop sound timeout\n"), std::string::npos);
    EXPECT_EQ(loop->UseCount, 0);

    // Update of an ended sound plays it again under a new status.
    EXPECT_TRUE(System->Update(status, nullptr, loop->Id));
    EXPECT_TRUE(System->Status(status));

    CSoundDefinition* streamed = Define({"StreamLoop", SOUND_LOOP | SOUND_STREAM, 1.0f, 0.0f, 1.0f});
    SoundStatus s = System->Play(streamed->Id, static_cast<const CVector*>(nullptr));
    EXPECT_EQ(GSoundSystem::Voices[Slot(s)].Timeout, 0.0f);
}

// Pan and volume from the view of viewport 0, and DirectSound's units for them: pan x 10,000,
// (volume - 1) x 3,333 hundredths of a decibel, the rate x the factor, each within its range.
TEST_F(SoundTest, PositionsBecomePanAndVolumeAndTheBufferGetsThemInItsUnits)
{
    ResetTransformState();
    CSoundDefinition* near = Define({"Near", 0, 1.0f, 0.25f, 0.9f});
    const CVector where(2.0f, 1.0f, 4.0f);
    SoundStatus status = System->Play(near->Id, &where);
    const CVector4 view = World2View(0, where);
    ASSERT_TRUE(status & SOUND_STATUS_PLAYING) << view.x << " " << view.y << " " << view.z << " " << view.w;
    const float g = 0.25f / view.w, x = g * view.x, y = g * view.y;
    const float clamped = x > 1.0f ? 1.0f : x < -1.0f ? -1.0f : x;
    CVoice& voice = GSoundSystem::Voices[Slot(status)];
    EXPECT_FLOAT_EQ(voice.Pan, clamped * std::fabs(clamped));
    EXPECT_FLOAT_EQ(voice.Volume, 0.9f * (1.0f - (x * x + y * y)));

    System->Frequency(status, 1.5f);
    Frame();
    IDirectSoundBuffer* buffer = voice.pSample->GetBuffer();
    LONG pan = 0, volume = 0;
    DWORD frequency = 0;
    buffer->GetPan(&pan);
    buffer->GetVolume(&volume);
    buffer->GetFrequency(&frequency);
    EXPECT_EQ(pan, LONG(voice.Pan * 10000.0f));
    EXPECT_EQ(volume, LONG((double(voice.Volume) - 1.0) * 3333.0));
    EXPECT_EQ(frequency, 66150u);

    // Out of range: a volume above 1 is sent as 0 dB, a huge factor as 200,000 Hz, a tiny one as 100.
    EXPECT_GT(System->Volume(status, 2.0f), 1.0f);
    System->Frequency(status, 100.0f);
    Frame();
    buffer->GetVolume(&volume);
    buffer->GetFrequency(&frequency);
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(frequency, 200000u);
    System->Frequency(status, 0.0001f);
    Frame();
    buffer->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 100u);

    // Behind the camera the volume is 0, so the sound does not start.
    const CVector behind(0.0f, 0.0f, -10.0f);
    ASSERT_LT(World2View(0, behind).z, 0.0f);
    SoundStatus hidden = System->Play(near->Id, &behind);
    EXPECT_FALSE(hidden & SOUND_STATUS_PLAYING);
}

// Both category bits select the music volume; lowering a category re-levels and stops what
// falls below 0.1.
TEST_F(SoundTest, CategoryVolumesRelevelPlayingSounds)
{
    CSoundDefinition* music = Define({"Music", SOUND_MUSIC, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* both = Define({"Both", SOUND_MUSIC | SOUND_VOICE, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* effect = Define({"Effect", 0, 1.0f, 0.0f, 1.0f});
    EXPECT_EQ(both->Category(), 2);
    SoundStatus m = System->Play(music->Id, static_cast<const CVector*>(nullptr));
    SoundStatus b = System->Play(both->Id, static_cast<const CVector*>(nullptr));
    SoundStatus e = System->Play(effect->Id, static_cast<const CVector*>(nullptr));
    EXPECT_EQ(System->Volume(2, -1.0f), 1.0f);
    EXPECT_EQ(System->Volume(2, 0.05f), 0.05f);
    EXPECT_EQ(System->Volume(2, -1.0f), 0.05f);
    EXPECT_FALSE(System->Status(m));
    EXPECT_FALSE(System->Status(b));
    EXPECT_TRUE(System->Status(e));
    EXPECT_EQ(System->Volume(7, 0.5f), 0.0f) << "no such category";
}

TEST_F(SoundTest, PausingStopsAllButStreamsAndSoundsMadeToPlayPaused)
{
    CSoundDefinition* plain = Define({"Plain", 0, 1.0f, 0.0f, 1.0f});
    CSoundDefinition* menu = Define({"Menu", SOUND_PLAYPAUSED, 1.0f, 0.0f, 1.0f});
    SoundStatus p = System->Play(plain->Id, static_cast<const CVector*>(nullptr));
    SoundStatus m = System->Play(menu->Id, static_cast<const CVector*>(nullptr));
    CGameTimer::bReportPaused = true;
    System->Pause(true);
    EXPECT_FALSE(System->Status(p));
    EXPECT_TRUE(System->Status(m));
    EXPECT_EQ(System->Play(plain->Id, static_cast<const CVector*>(nullptr)), GSoundSystem::NotPlaying);
    EXPECT_TRUE(System->Play(menu->Id, static_cast<const CVector*>(nullptr)) & SOUND_STATUS_PLAYING);
    CGameTimer::bReportPaused = false;
    System->Pause(false);
    for (const CVoice& voice : GSoundSystem::Voices)
        EXPECT_FALSE(voice.Status & SOUND_STATUS_PAUSED);
}

} // namespace
