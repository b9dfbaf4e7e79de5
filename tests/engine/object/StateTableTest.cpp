// State tables: transition order, the exit run of the old state, shared tables and the pools.
#include <string>

#include "ObjectTestSupport.h"
#include "engine/object/CRecordPool.h"
#include "engine/object/GStateTable.h"

// Owns a table; its states and conditions log what runs.
class TMachine : public GObject {
    DECLARE_GOBJECT(TMachine, GObject)

    void Idle() { Log += "I"; }
    void Walk() { Log += Table->FirstTime() ? "W!" : "W"; }
    void Run() { Log += "R"; }
    bool Never(bool) { return false; }
    bool WantWalk(bool)
    {
        Log += "?w";
        return GoWalk;
    }
    bool WantRun(bool)
    {
        Log += "?r";
        return GoRun;
    }

    GStateTable* BuildTable()
    {
        Table = static_cast<GStateTable*>(Create(GStateTable::ClassId, nullptr));
        return Table;
    }

    GStateTable* Table;
    bool GoWalk;
    bool GoRun;
    std::string Log; // no creation data fills it, so its constructor may write
};
IMPLEMENT_GOBJECT(TMachine, 0x00008000)

namespace {

StateFunction S(void (TMachine::*f)()) { return static_cast<StateFunction>(f); }
ConditionFunction C(bool (TMachine::*f)(bool)) { return static_cast<ConditionFunction>(f); }

class StateTableTest : public ObjectTest {
protected:
    void TearDown() override
    {
        GObject::RegisterStateTable(nullptr, TMachine::ClassId);
        ObjectTest::TearDown();
    }
    static TMachine* MakeMachine() { return TMachine::Create(); }
    // Idle goes to Walk or Run; Run is defined later but with a higher priority.
    static GStateTable* BuildIdleTable(TMachine* machine)
    {
        GStateTable* table = machine->BuildTable();
        table->TransitionCondition(S(&TMachine::Idle), C(&TMachine::WantWalk), S(&TMachine::Walk), 5, "Idle");
        table->TransitionCondition(S(&TMachine::Idle), C(&TMachine::Never), S(&TMachine::Run), 5, "Idle");
        table->TransitionCondition(S(&TMachine::Idle), C(&TMachine::WantRun), S(&TMachine::Run), 9, "Idle");
        table->TransitionCondition(S(&TMachine::Walk), nullptr, nullptr, 0, "Walk");
        table->TransitionCondition(S(&TMachine::Run), nullptr, nullptr, 0, "Run");
        table->SetTable();
        return table;
    }
    static void DestroyMachine(TMachine* machine) { machine->Destroy(); }
};

TEST_F(StateTableTest, HigherPrioritiesAreEvaluatedFirstAndEqualsInDefinitionOrder)
{
    TMachine* machine = MakeMachine();
    GStateTable* table = BuildIdleTable(machine);
    ASSERT_TRUE(table->SetState(CCRC32::GetCRC("Idle")));
    table->Wakeup();
    RunFrame();
    EXPECT_EQ(machine->Log, "?r?wI");
    DestroyMachine(machine);
}

TEST_F(StateTableTest, OnATransitionTheOldStateRunsOnceMoreAndTheNewOneStartsNextFrame)
{
    TMachine* machine = MakeMachine();
    GStateTable* table = BuildIdleTable(machine);
    table->SetState(CCRC32::GetCRC("Idle"));
    table->Wakeup();
    machine->GoWalk = true;
    RunFrame();
    EXPECT_EQ(machine->Log, "?r?wI");
    EXPECT_EQ(table->CurrentState(), table->FindState(S(&TMachine::Walk)));
    EXPECT_EQ(table->CurrentKey, CCRC32::GetCRC("Walk"));
    machine->Log.clear();
    RunFrame();
    RunFrame();
    EXPECT_EQ(machine->Log, "W!W");
    DestroyMachine(machine);
}

TEST_F(StateTableTest, RedefiningAConditionReplacesItsTargetAndPriority)
{
    TMachine* machine = MakeMachine();
    GStateTable* table = BuildIdleTable(machine);
    table->TransitionCondition(S(&TMachine::Idle), C(&TMachine::WantWalk), S(&TMachine::Run), 10, "Idle");
    table->SetTable();
    CState* idle = table->FindState(S(&TMachine::Idle));
    int triggers = 0;
    for (CTrigger* trigger = idle->pTriggers; trigger != nullptr; trigger = trigger->pNext)
        ++triggers;
    EXPECT_EQ(triggers, 3);
    EXPECT_EQ(idle->pTriggers->pCondition, C(&TMachine::WantWalk));
    EXPECT_EQ(idle->pTriggers->pTarget, table->FindState(S(&TMachine::Run)));
    DestroyMachine(machine);
}

TEST_F(StateTableTest, ASecondObjectSharesTheRegisteredTable)
{
    TMachine* first = MakeMachine();
    GStateTable* built = BuildIdleTable(first);
    TMachine* second = MakeMachine();
    GStateTable* shared = second->BuildTable();
    EXPECT_TRUE(shared->Asleep());
    shared->GetRegisteredTable();
    EXPECT_EQ(shared->pStates, built->pStates);
    EXPECT_FALSE(shared->Asleep());
    EXPECT_TRUE(shared->SetState(CCRC32::GetCRC("Run")));
    DestroyMachine(first);
    DestroyMachine(second);
}

TEST_F(StateTableTest, AnUnknownStateNameLeavesTheMachineAsItWas)
{
    TMachine* machine = MakeMachine();
    GStateTable* table = BuildIdleTable(machine);
    table->SetState(CCRC32::GetCRC("Walk"));
    EXPECT_FALSE(table->SetState(CCRC32::GetCRC("Fly")));
    EXPECT_EQ(table->CurrentState(), table->FindState(S(&TMachine::Walk)));
    DestroyMachine(machine);
}

TEST_F(StateTableTest, ATransitionOnANullStateIsFatal)
{
    TMachine* machine = MakeMachine();
    GStateTable* table = machine->BuildTable();
    EXPECT_EXIT(table->TransitionCondition(nullptr, C(&TMachine::Never), nullptr, 0, "x"), ::testing::ExitedWithCode(3),
                "state is null!!");
    DestroyMachine(machine);
}

TEST(RecordPool, FillsBlocksLowestSlotFirstChainsNewBlocksAndReusesFreedSlots)
{
    CRecordPool<DWORD> pool;
    std::vector<DWORD*> slots;
    for (int i = 0; i < 600; ++i)
        slots.push_back(pool.Alloc());
    for (int i = 1; i < 512; ++i)
        EXPECT_EQ(slots[i], slots[0] + i);
    EXPECT_TRUE(slots[512] < slots[0] || slots[512] >= slots[0] + 512);

    pool.Free(slots[7]);
    pool.Free(slots[3]);
    EXPECT_EQ(pool.Alloc(), slots[3]);
    EXPECT_EQ(pool.Alloc(), slots[7]);
    DWORD stray = 0;
    pool.Free(&stray);
    EXPECT_EQ(pool.Alloc(), slots[599] + 1);
}

} // namespace
