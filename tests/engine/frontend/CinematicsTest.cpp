// The cinematic recorder and playback across both deliverables: the engine records key frames of
// a moving object, an independent Python reader checks the recording's bytes, wexlorn turns it
// into an event script and converts that, and the engine plays the script back onto the object.
// Recorded scripts with loop counts play their passes timed from the end of the previous one.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../../support/FileBytes.h"
#include "../../support/RunCommand.h"
#include "ObjectTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/frontend/CRecordedScript.h"
#include "engine/frontend/GPlayback.h"
#include "engine/frontend/GRecorder.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/object/GPosRot.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

struct Arrival {
    float Time;
    float X;
};
std::vector<Arrival> Arrivals;

} // namespace

// Notes when each position arrives, to check playback timing.
class TCineMover : public GPosRot {
    DECLARE_GOBJECT(TCineMover, GPosRot)

    bool OnReceiveMessage(CMessage* message) override
    {
        if (message->MessageId == CSetPosMessage::CMessageId)
            Arrivals.push_back({CGameTimer::GameTime(), static_cast<CSetPosMessage*>(message)->Pos.x});
        return GPosRot::OnReceiveMessage(message);
    }
};
IMPLEMENT_GOBJECT(TCineMover, 0x80008000)

namespace {

namespace fs = std::filesystem;

class Cinematics : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        // The recorder writes one file beside the data folder; tests of this program run as
        // parallel processes, so each holds the recording lock for its whole run.
        recorderLock =
            open((fs::path(ZEL_FIXTURE_DIR).parent_path() / "recorder.lock").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(recorderLock, 0);
        ASSERT_EQ(flock(recorderLock, LOCK_EX), 0);
        CZelFile::LoadChunkCategories(0x11);
        GObject::InitEditableInfo();
        Arrivals.clear();
        levelFolder = "cine_" + std::to_string(getpid());
        folder = fs::path(ZEL_FIXTURE_DIR) / levelFolder;
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        delete file;
        fs::remove_all(folder);
        if (recorderLock >= 0)
            close(recorderLock);
    }

    int recorderLock = -1;

    TCineMover* MakeMover(const char* label)
    {
        TCineMover* mover = static_cast<TCineMover*>(GObject::Create(TCineMover::ClassId, HGOBJECT(0), nullptr));
        mover->SetLabel(CCRC32::GetCRC(label));
        return mover;
    }

    static void Move(GObject* object, float x, float y)
    {
        CSetPosMessage move;
        move.MessageId = CSetPosMessage::CMessageId;
        move.hRecipient = object->GetHandle();
        move.Priority = CMessage::DefaultPriority;
        move.Pos = CVector(x, y, 0.0f);
        object->ReceiveMessage(&move);
    }

    // The game clock stands at `time` for one traversal.
    static void FrameAt(float time)
    {
        CGameTimer::tGameTime = time;
        RunFrame();
    }

    mgtest::CommandResult Convert(const std::string& script)
    {
        mgtest::WriteFileBytes((folder / "play.rhu").string(), script);
        return mgtest::RunCommand("cd '" + folder.string() + "' && '" + MG_WEXLORN + "' '" + folder.string() +
                                  "' 2>&1");
    }

    // Loads the converted script; one that starts by itself starts now.
    CRecordedScript* Load(const char* label)
    {
        file = new CZelFile;
        if (file->Load((levelFolder + "\\play.zel").c_str()) != 0)
            return nullptr;
        return static_cast<CRecordedScript*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(label)));
    }

    std::string levelFolder;
    fs::path folder;
    CZelFile* file = nullptr;
};

TEST_F(Cinematics, RecordedKeyFramesReadByPythonConvertAndPlayBack)
{
    GRecorder* recorder = GRecorder::Create();
    TCineMover* mover = MakeMover("Mover");
    CVeskExtraData::Create("Mover");
    TCineMover* bystander = MakeMover("Bystander");

    CGameTimer::tGameTime = 10.0f;
    GRecorder::Start(true);
    ASSERT_TRUE(GRecorder::IsRecording());
    GRecorder::Start(true); // the first recording keeps running
    GRecorder::SetKeyframeTarget(mover->GetHandle());
    for (int i = 0; i < 4; ++i) {
        CGameTimer::tGameTime = 10.0f + 0.5f * i;
        Move(mover, float(i), float(2 * i));
        Move(bystander, 9.0f, 9.0f); // not the key-frame target: never recorded
        GRecorder::Keyframe();
    }
    GRecorder::Start(false);
    EXPECT_FALSE(GRecorder::IsRecording());
    GRecorder::Start(false); // idle: nothing happens

    const std::string recording = (fs::path(ZEL_FIXTURE_DIR).parent_path() / "recorder.bin").string();
    const mgtest::CommandResult read = mgtest::RunCommand(std::string(MG_PYTHON) + " '" + MG_CINE_DIR +
                                                          "/recorder_reader.py' '" + recording + "' 2>&1");
    ASSERT_EQ(read.exitCode, 0) << read.output;
    std::string expected = "start 10\n";
    char line[160];
    for (int i = 0; i < 4; ++i) {
        snprintf(line, sizeof line, "%g %08lX Mover id 17 size 24 priority 10 %d,%d,0\n", 0.5 * i,
                 CCRC32::GetCRC("Mover"), i, 2 * i);
        expected += line;
        snprintf(line, sizeof line, "%g %08lX Mover id 18 size 24 priority 10 0,0,0\n", 0.5 * i,
                 CCRC32::GetCRC("Mover"));
        expected += line;
    }
    EXPECT_EQ(read.output, expected);

    // wexlorn's event script from the recording, then the script as packed data.
    fs::copy_file(recording, folder / "rec.bin");
    mgtest::CommandResult run = Convert("RecToScript rec.bin moves.txt\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string events = mgtest::ReadFileBytes((folder / "moves.txt").string());
    run = Convert("EventScript Replay 0 0\n" + events);
    ASSERT_EQ(run.exitCode, 0) << run.output << events;

    recorder->Destroy();
    bystander->Destroy();
    Move(mover, -1.0f, -1.0f);
    Arrivals.clear();
    CGameTimer::tGameTime = 0.0f;
    CRecordedScript* script = Load("Replay");
    ASSERT_NE(script, nullptr);
    ASSERT_NE(GPlayback::GetPlayback(script), nullptr);
    for (int frame = 0; frame <= 8; ++frame)
        FrameAt(0.25f * frame);
    ASSERT_EQ(Arrivals.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(Arrivals[i].Time, 0.5f * i);
        EXPECT_FLOAT_EQ(Arrivals[i].X, float(i));
    }
    EXPECT_FLOAT_EQ(mover->GetPos().y, 6.0f);
    EXPECT_FLOAT_EQ(GPlayback::GetLastMessageTime(), 1.5f);
    FrameAt(2.5f);
    EXPECT_EQ(GPlayback::GetPlayback(script), nullptr);
}

// Edge cases of the file: nothing recorded is the start time alone; an editor label of 64
// characters or more is left empty; a key frame for an object that is gone records nothing.
TEST_F(Cinematics, EmptyRecordingsLongLabelsAndDeadKeyFrameTargets)
{
    GRecorder::Create();
    const std::string longName(64, 'L');
    TCineMover* mover = MakeMover(longName.c_str());
    CVeskExtraData::Create(longName.c_str());
    TCineMover* gone = MakeMover("Gone");
    const HGOBJECT goneHandle = gone->GetHandle();
    gone->Destroy();
    const std::string recording = (fs::path(ZEL_FIXTURE_DIR).parent_path() / "recorder.bin").string();

    CGameTimer::tGameTime = 2.0f;
    GRecorder::Start(true);
    GRecorder::SetKeyframeTarget(goneHandle);
    GRecorder::Keyframe();
    GRecorder::Start(false);
    EXPECT_EQ(mgtest::ReadFileBytes(recording), std::string("\0\0\0\x40", 4));

    GRecorder::Start(true);
    GRecorder::SetKeyframeTarget(mover->GetHandle());
    GRecorder::Keyframe();
    GRecorder::Start(false);
    const std::string bytes = mgtest::ReadFileBytes(recording);
    ASSERT_EQ(bytes.size(), 4u + 2u * (84u + 24u));
    EXPECT_EQ(bytes[4 + 12], '\0');
}

// Two events a second apart, frames a quarter second apart: a pass ends in the frame that sends
// its last event, the next pass is timed from that frame and starts sending in the frame after.
const char* const LoopScript = "EventScript Looper 0 2\n"
                               "Event LoopA 0 CSetPosMessage Looped\n{\n    float Pos.X = 1\n}\n"
                               "Event LoopB 1 CSetPosMessage Looped\n{\n    float Pos.X = 2\n}\n"
                               "EventScript Waiter 0.5 -1\n"
                               "Event WaitA 0 CSetPosMessage Waited\n{\n    float Pos.X = 7\n}\n";

TEST_F(Cinematics, LoopCountsPlayTheirPassesAndNegativeCountsWait)
{
    const mgtest::CommandResult run = Convert(LoopScript);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    MakeMover("Looped");
    TCineMover* waited = MakeMover("Waited");
    CGameTimer::tGameTime = 0.0f;
    CRecordedScript* looper = Load("Looper");
    CRecordedScript* waiter = static_cast<CRecordedScript*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("Waiter")));
    ASSERT_NE(looper, nullptr);
    ASSERT_NE(waiter, nullptr);
    EXPECT_EQ(GPlayback::GetPlayback(waiter), nullptr);
    EXPECT_EQ(waiter->LoopCount, 0);

    for (int frame = 0; frame <= 20; ++frame)
        FrameAt(0.25f * frame);
    const std::vector<std::pair<float, float>> expected = {{0.0f, 1}, {1.0f, 2},  {1.25f, 1},
                                                           {2.0f, 2}, {2.25f, 1}, {3.0f, 2}};
    ASSERT_EQ(Arrivals.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(Arrivals[i].Time, expected[i].first) << i;
        EXPECT_FLOAT_EQ(Arrivals[i].X, expected[i].second) << i;
    }
    EXPECT_EQ(GPlayback::GetPlayback(looper), nullptr);

    // The waiting script plays once when asked, from its base time on.
    Arrivals.clear();
    ASSERT_NE(GPlayback::Playback(waiter, 10.0f), nullptr);
    FrameAt(10.25f);
    EXPECT_TRUE(Arrivals.empty());
    FrameAt(10.5f);
    ASSERT_EQ(Arrivals.size(), 1u);
    EXPECT_FLOAT_EQ(waited->GetPos().x, 7.0f);
    FrameAt(11.0f);
    EXPECT_EQ(GPlayback::GetPlayback(waiter), nullptr);

    // Stop ends only the playbacks of its script.
    GPlayback::Playback(waiter, 20.0f);
    GPlayback::Playback(looper, 20.0f);
    GPlayback::Stop(waiter);
    RunFrame();
    EXPECT_EQ(GPlayback::GetPlayback(waiter), nullptr);
    EXPECT_NE(GPlayback::GetPlayback(looper), nullptr);
}

} // namespace
