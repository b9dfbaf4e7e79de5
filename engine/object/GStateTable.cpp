#include "engine/object/GStateTable.h"

#include "core/names/CCRC32.h"
#include "core/output/ZOutput.h"
#include "engine/object/CRecordPool.h"

IMPLEMENT_GOBJECT(GStateTable, 0x08800010)

namespace {

CRecordPool<CState> StatePool;
CRecordPool<CTrigger> TriggerPool;

// Takes the transition with this condition out of a state's list; null when there is none.
CTrigger* UnlinkTrigger(CState* state, ConditionFunction condition)
{
    for (CTrigger** link = &state->pTriggers; *link != nullptr; link = &(*link)->pNext) {
        CTrigger* trigger = *link;
        if (trigger->pCondition == condition) {
            *link = trigger->pNext;
            trigger->pNext = nullptr;
            return trigger;
        }
    }
    return nullptr;
}

// Before the first transition of strictly lower priority: equals keep their definition order.
void InsertByPriority(CState* state, CTrigger* trigger)
{
    CTrigger** link = &state->pTriggers;
    while (*link != nullptr && (*link)->Priority >= trigger->Priority)
        link = &(*link)->pNext;
    trigger->pNext = *link;
    *link = trigger;
}

} // namespace

void CState::DeleteTriggers()
{
    while (CTrigger* trigger = pTriggers) {
        pTriggers = trigger->pNext;
        TriggerPool.Free(trigger);
    }
}

void CState::FixToState(CState* list)
{
    for (CTrigger* trigger = pTriggers; trigger != nullptr; trigger = trigger->pNext) {
        trigger->pTarget = nullptr;
        for (CState* state = list; state != nullptr; state = state->pNext)
            if (state->pFunction == trigger->pTargetFunction) {
                trigger->pTarget = state;
                break;
            }
    }
}

// A live table does nothing until it is given its class's table, a state or a wake-up.
GStateTable::GStateTable()
{
    if (EditableEvaluation != 0)
        return;
    bFirstTime = true;
    Sleep(SLEEP_FOREVER);
}

CTrigger* GStateTable::TransitionCondition(StateFunction state, ConditionFunction condition, StateFunction target,
                                           BYTE priority, const char* stateName)
{
    if (state == nullptr)
        vbail("state is null!!");

    CState* entry = FindState(state);
    if (entry == nullptr) {
        entry = StatePool.Alloc();
        entry->pFunction = state;
        CState** link = &pStates;
        while (*link != nullptr)
            link = &(*link)->pNext;
        *link = entry;
    }
    entry->NameKey = CCRC32::GetCRC(stateName);
    if (condition == nullptr)
        return nullptr;

    CTrigger* trigger = UnlinkTrigger(entry, condition);
    if (trigger == nullptr)
        trigger = TriggerPool.Alloc();
    trigger->pCondition = condition;
    trigger->pTargetFunction = target;
    trigger->Priority = priority;
    InsertByPriority(entry, trigger);
    return trigger;
}

CState* GStateTable::FindState(StateFunction function)
{
    for (CState* state = pStates; state != nullptr; state = state->pNext)
        if (state->pFunction == function)
            return state;
    return nullptr;
}

CState* GStateTable::FindState(DWORD nameKey)
{
    for (CState* state = pStates; state != nullptr; state = state->pNext)
        if (state->NameKey == nameKey)
            return state;
    return nullptr;
}

bool GStateTable::SetState(DWORD nameKey)
{
    if (pCurrentState != nullptr && pCurrentState->NameKey == nameKey)
        return true;
    CState* state = FindState(nameKey);
    if (state == nullptr)
        return false;
    pCurrentState = state;
    CurrentKey = nameKey;
    bFirstTime = true;
    pEvaluating = nullptr;
    PrevStateFunction = nullptr;
    return true;
}

void GStateTable::ClearState(StateFunction function)
{
    if (CState* state = FindState(function))
        state->DeleteTriggers();
}

void GStateTable::DeleteState(StateFunction function)
{
    for (CState** link = &pStates; *link != nullptr; link = &(*link)->pNext) {
        CState* state = *link;
        if (state->pFunction != function)
            continue;
        *link = state->pNext;
        if (pCurrentState == state)
            pCurrentState = nullptr;
        state->DeleteTriggers();
        StatePool.Free(state);
        return;
    }
}

void GStateTable::DeleteTrigger(StateFunction function, ConditionFunction condition)
{
    if (CState* state = FindState(function))
        if (CTrigger* trigger = UnlinkTrigger(state, condition))
            TriggerPool.Free(trigger);
}

void GStateTable::ClearTable()
{
    while (CState* state = pStates) {
        pStates = state->pNext;
        state->DeleteTriggers();
        StatePool.Free(state);
    }
    pCurrentState = nullptr;
    pNextState = nullptr;
}

void GStateTable::SetTable()
{
    for (CState* state = pStates; state != nullptr; state = state->pNext)
        state->FixToState(pStates);
    if (pParent != nullptr)
        RegisterStateTable(pStates, pParent->GetClassId());
}

void GStateTable::GetRegisteredTable()
{
    pStates = pParent != nullptr ? GetStateTable(pParent->GetClassId()) : nullptr;
    if (pStates != nullptr)
        Wakeup();
    else
        Sleep(SLEEP_FOREVER);
}

// A transition whose target state does not exist cannot fire: it would leave the machine
// without a state.
bool GStateTable::Process()
{
    if (pCurrentState == nullptr || pParent == nullptr)
        return false;

    CTrigger* fired = nullptr;
    for (pEvaluating = pCurrentState->pTriggers; pEvaluating != nullptr; pEvaluating = pEvaluating->pNext)
        if (pEvaluating->pTarget != nullptr && (pParent->*pEvaluating->pCondition)(bFirstTime)) {
            fired = pEvaluating;
            break;
        }
    pEvaluating = nullptr;

    if (fired == nullptr) {
        (pParent->*pCurrentState->pFunction)();
        bFirstTime = false;
        return false;
    }

    PrevStateFunction = pCurrentState->pFunction;
    pNextState = fired->pTarget;
    CurrentKey = pNextState->NameKey;
    (pParent->*pCurrentState->pFunction)();
    bFirstTime = true;
    pCurrentState = pNextState;
    return false;
}
