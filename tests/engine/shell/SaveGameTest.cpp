// Profiles and saved games driven the way a host drives them: the shell runs its main loop
// over a level of the fixture data, and the profile manager writes real slot files that an
// independent reader checks.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "../../support/RunCommand.h"
#include "SaveTestSupport.h"
#include "ShellLoopTest.h"
#include "core/names/CCRC32.h"
#include "core/file/CZFile.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/shell/CProfile.h"
#include "engine/shell/CShell.h"

namespace {

struct GameBlock {
    int Progress[8];
};
const unsigned long kVersion = 7;

std::string RunPython(const std::string& script, const std::string& argument)
{
    const std::string command =
        std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/shell/" + script + " '" + argument + "'";
    return mgtest::RunCommand(command).output;
}

// The slot with its stream written again under another level name (32 bytes, as stored).
std::string Resaved(const std::string& slot, const std::string& level32)
{
    const std::string path = std::string(MG_BINARY_DIR) + "/resaved_" + std::to_string(getpid()) + ".bin";
    {
        CZFile file;
        EXPECT_EQ(file.Open(path.c_str(), 0x000A), 0);
        file.Write(slot.data(), 416);
        CLoadSaveBuffer stream;
        stream.Attach(&file, true);
        std::string name = level32;
        name.resize(32, '\0');
        stream.Write(name.data(), 32, "level name");
        GObject::SaveAll(stream);
        stream.Close();
    }
    std::string bytes = ReadFileBytes(path);
    unlink(path.c_str());
    // The header's stream length and checksum are made right: the slot is refused for its level.
    const DWORD length = static_cast<DWORD>(bytes.size() - 416);
    const DWORD checksum = static_cast<DWORD>(CCRC32::GetCRC(bytes.data() + 416, static_cast<int>(length)));
    bytes.replace(392, 4, reinterpret_cast<const char*>(&length), 4);
    bytes.replace(396, 4, reinterpret_cast<const char*>(&checksum), 4);
    bytes.resize(512000, '\0');
    return bytes;
}

class HostSession : public ShellLoopTest {
protected:
    void SetUp() override
    {
        ShellLoopTest::SetUp();
        CProfile::pThe->SetGameData(&block, sizeof block, kVersion, 4);
        CShell::SetNextLevel("savelevel.zel");
    }

    // A formatted card with the profile "Test".
    void MakeProfile()
    {
        ASSERT_EQ(CProfile::pThe->SetTarget(0), 0);
        ASSERT_EQ(CProfile::pThe->PrepTarget(0), 0);
        ASSERT_EQ(CProfile::pThe->CreateProfile("Test"), 0);
    }

    // Gives the level's objects state that only a save can carry back.
    static void Decorate()
    {
        GSaveProbe* alpha = static_cast<GSaveProbe*>(FindLabel("Alpha"));
        GSaveProbe* beta = static_cast<GSaveProbe*>(FindLabel("Beta"));
        // Objects refer to their own children and to objects saved before and after them.
        beta->pFriend = alpha;
        beta->pList[1] = alpha;
        alpha->pFriend = beta;
        alpha->pList[0] = alpha->pChild;
        alpha->pList[2] = beta;
        alpha->Odd[4] = true;
        alpha->Extra = 1234;
        beta->Bits = 0xDEADBEEF;
        GObject::Create(GUnsavedChild::ClassId, HGOBJECT(0), nullptr)->SetParent(alpha);
        GObject* gamma = GObject::Create(GSaveProbe::ClassId, HGOBJECT(0), nullptr);
        gamma->SetLabel(CCRC32::GetCRC("Gamma"));
    }

    static void Disturb()
    {
        GSaveProbe* alpha = static_cast<GSaveProbe*>(FindLabel("Alpha"));
        alpha->Count = 99;
        alpha->Speed = -1;
        alpha->Flag = false;
        alpha->Table[1] = 0;
        alpha->pSymbol = nullptr;
        alpha->pFriend = nullptr;
        alpha->Extra = 0;
        static_cast<GSaveChild*>(alpha->pChild)->Count = 0;
        FindLabel("Beta")->Destroy();
        GObject::Create(GSaveProbe::ClassId, HGOBJECT(0), nullptr);
    }

    ProfileFolderLock lock;
    GameBlock block = {{1, 2, 3, 4, 5, 6, 7, 8}};
};

TEST_F(HostSession, SavedTreeComesBackFromSlotZero)
{
    std::string saved, restored, slotCheck;
    bool saveFailed = true;
    RunLoop(6, [&](int t) {
        if (t == 2) {
            MakeProfile();
            Decorate();
            saved = DumpSavedTree();
            saveFailed = shell->SaveGame(nullptr, "First save", 0, 0);
            Disturb();
            EXPECT_NE(DumpSavedTree(), saved);
            shell->LoadGame(0);
        }
        if (t == 4)
            restored = DumpSavedTree();
    });
    EXPECT_FALSE(saveFailed);
    EXPECT_EQ(restored, saved);
    EXPECT_EQ(CProfile::pThe->GetLoadGameStatus(), 0);
    EXPECT_STREQ(CShell::GetCurrentLevel(), "savelevel.zel");
    // The object that was not written stays away; the extra data came back.
    EXPECT_EQ(restored.find("GUnsavedChild"), std::string::npos);
    EXPECT_EQ(static_cast<GSaveProbe*>(FindLabel("Alpha"))->Extra, 1234);
    EXPECT_NE(saved.find("pFriend = obj:"), std::string::npos);
    EXPECT_NE(saved.find("pSymbol = sym:"), std::string::npos);

    const std::string slot = SlotPath("Test", 0);
    EXPECT_EQ(std::filesystem::file_size(slot), 512000u);
    const std::string json = RunPython("savecheck.py", slot);
    EXPECT_NE(json.find("\"size\": 512000"), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"First save\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"version\": 7"), std::string::npos) << json;
    EXPECT_NE(json.find("\"unused\": [-1, -1]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"padding_zero\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"level\": \"savelevel.zel\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"times_equal\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"ends_well\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"stored_bytes_match\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"checksum_matches\": true"), std::string::npos) << json;
    // Alpha and its child (player 0), Gamma (after the level's scenery and the unsaved child),
    // Beta (player 2).
    const std::string handles = "\"handles\": [1, 2, 5, 13107]";
    EXPECT_NE(json.find(handles), std::string::npos) << json;
}

// A level without saved objects saves the bare stream: level name, time, bitmap, time, end.
TEST_F(HostSession, EmptySaveIsTheBareStream)
{
    CShell::SetNextLevel("mainmenu.zel");
    RunLoop(3, [&](int t) {
        if (t == 2) {
            MakeProfile();
            EXPECT_FALSE(shell->SaveGame(nullptr, "Nothing", 1, 0));
        }
    });
    const std::string json = RunPython("savecheck.py", SlotPath("Test", 1));
    EXPECT_NE(json.find("\"stream_bytes\": 8256"), std::string::npos) << json; // 32 + 8,224
    EXPECT_NE(json.find("\"handles\": []"), std::string::npos) << json;
}

// Whatever is wrong with a slot, the load fails and the shell falls back to the main menu.
TEST_F(HostSession, DamagedSlotsFallBackToTheMainMenu)
{
    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    };
    const Damage cases[] = {
        {"zero-filled", [](std::string& s) { s.assign(512000, '\0'); }},
        {"empty file", [](std::string& s) { s.clear(); }},
        {"truncated stream", [](std::string& s) { s.resize(416 + (s.find_last_not_of('\0') - 416) / 2); }},
        {"old version", [](std::string& s) { s[400] = 6; }},
        {"bad window", [](std::string& s) { s[416] = 3; }},
        {"corrupted stream",
         [](std::string& s) {
             for (size_t i = 416 + 40; i < 416 + 400; i += 7)
                 s[i] = static_cast<char>(s[i] ^ 0x5A);
         }},
        {"long description", [](std::string& s) { s.replace(0, 128, 128, 'N'); }},
        {"missing level", [](std::string& s) { s = Resaved(s, "gone.zel"); }},
        {"unterminated level name", [](std::string& s) { s = Resaved(s, std::string(32, 'L')); }},
    };
    std::string good;
    RunLoop(4 + 3 * static_cast<int>(std::size(cases)), [&](int t) {
        if (t == 2) {
            MakeProfile();
            ASSERT_FALSE(shell->SaveGame(nullptr, "Good", 0, 0));
            good = ReadFileBytes(SlotPath("Test", 0));
        }
        const int index = (t - 3) / 3;
        if (t >= 3 && index < static_cast<int>(std::size(cases))) {
            if ((t - 3) % 3 == 0) {
                std::string bytes = good;
                cases[index].apply(bytes);
                WriteFileBytes(SlotPath("Test", 0), bytes);
                shell->LoadGame(0);
            } else if ((t - 3) % 3 == 1) {
                EXPECT_STREQ(CShell::GetCurrentLevel(), "mainmenu.zel") << cases[index].what;
                EXPECT_NE(FindLabel("MenuScenery"), nullptr) << cases[index].what;
                EXPECT_EQ(CProfile::pThe->GetLoadGameStatus(), 1) << cases[index].what;
                CShell::SetNextLevel("savelevel.zel");
            }
        }
    });
}

// Seeded damage anywhere in the stream (bytes changed, words replaced) never loads as success:
// the checksum refuses it before the level is loaded or an object created.
TEST_F(HostSession, SeededDamageToTheStreamNeverLoads)
{
    const int kCases = 40;
    std::string good;
    int loaded = 0;
    unsigned seed = 2024;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    RunLoop(4 + 3 * kCases, [&](int t) {
        if (t == 2) {
            MakeProfile();
            Decorate();
            ASSERT_FALSE(shell->SaveGame(nullptr, "Good", 0, 0));
            good = ReadFileBytes(SlotPath("Test", 0));
        }
        const int index = (t - 3) / 3;
        if (t < 3 || index >= kCases)
            return;
        if ((t - 3) % 3 == 0) {
            std::string bytes = good;
            const size_t streamEnd = good.find_last_not_of('\0') + 1;
            const size_t at = 416 + next() % (streamEnd - 416);
            if (index % 2 == 0)
                bytes[at] = static_cast<char>(bytes[at] ^ (1 + next() % 255));
            else
                for (size_t i = at; i < at + 4 && i < streamEnd; ++i)
                    bytes[i] = static_cast<char>(next());
            WriteFileBytes(SlotPath("Test", 0), bytes);
            shell->LoadGame(0);
        } else if ((t - 3) % 3 == 1) {
            loaded += CProfile::pThe->GetLoadGameStatus() == 0 ? 1 : 0;
            EXPECT_STREQ(CShell::GetCurrentLevel(), "mainmenu.zel") << index;
            CShell::SetNextLevel("savelevel.zel");
        }
    });
    EXPECT_EQ(loaded, 0);
}

TEST_F(HostSession, SaveTooLargeForItsSlotFailsAndKeepsTheSlot)
{
    std::string before, after;
    bool bigFailed = false;
    RunLoop(3, [&](int t) {
        if (t != 2)
            return;
        MakeProfile();
        ASSERT_FALSE(shell->SaveGame(nullptr, "Small", 0, 0));
        before = ReadFileBytes(SlotPath("Test", 0));
        unsigned seed = 12345;
        for (int i = 0; i < 40; ++i) {
            GSaveBulk* bulk = static_cast<GSaveBulk*>(GObject::Create(GSaveBulk::ClassId, HGOBJECT(0), nullptr));
            for (int& word : bulk->Noise)
                word = static_cast<int>(seed = seed * 1103515245u + 12345u);
        }
        bigFailed = shell->SaveGame(nullptr, "Huge", 0, 0);
        after = ReadFileBytes(SlotPath("Test", 0));
    });
    EXPECT_TRUE(bigFailed);
    EXPECT_EQ(after.size(), 512000u);
    EXPECT_TRUE(after == before);
    EXPECT_FALSE(std::filesystem::exists(SlotPath("Test", 0) + ".NEW"));
}

TEST_F(HostSession, LevelNameTooLongForTheSlotFailsTheSave)
{
    CShell::SetNextLevel("a_level_whose_name_is_too_long.zel");
    bool failed = false;
    RunLoop(3, [&](int t) {
        if (t == 2) {
            MakeProfile();
            failed = shell->SaveGame(nullptr, "Long", 0, 0);
        }
    });
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadFileBytes(SlotPath("Test", 0)), std::string(512000, '\0'));
}

// A process killed in the middle of a save leaves the slot as it was, and it still loads.
TEST_F(HostSession, KillDuringASaveLosesNothing)
{
    std::string before, after, restored, saved;
    int childStatus = 0;
    RunLoop(6, [&](int t) {
        if (t == 2) {
            MakeProfile();
            Decorate();
            ASSERT_FALSE(shell->SaveGame(nullptr, "Safe", 0, 0));
            saved = DumpSavedTree();
            before = ReadFileBytes(SlotPath("Test", 0));
            int pipeEnds[2];
            ASSERT_EQ(pipe(pipeEnds), 0);
            const pid_t child = fork();
            if (child == 0) {
                close(pipeEnds[0]);
                GSaveProbe::BlockingPipe = pipeEnds[1];
                shell->SaveGame(nullptr, "Doomed", 0, 0);
                _exit(0);
            }
            close(pipeEnds[1]);
            char note = 0;
            EXPECT_EQ(read(pipeEnds[0], &note, 1), 1);
            close(pipeEnds[0]);
            kill(child, SIGKILL);
            waitpid(child, &childStatus, 0);
            after = ReadFileBytes(SlotPath("Test", 0));
            Disturb();
            shell->LoadGame(0);
        }
        if (t == 4)
            restored = DumpSavedTree();
    });
    EXPECT_TRUE(WIFSIGNALED(childStatus));
    EXPECT_TRUE(after == before);
    EXPECT_EQ(restored, saved);
    EXPECT_STREQ(CProfile::pThe->GameName(0), "Safe");
}

} // namespace
