#pragma once
// A state machine run for its parent object. A state is a member function of the parent's
// class, run once per frame while current; a transition is a condition member function of the
// parent with a priority and a target state. The first object of a class builds the table and
// registers it with its class, so later objects share it.
#include "engine/object/GObject.h"

typedef void (GObject::*StateFunction)();
typedef bool (GObject::*ConditionFunction)(bool firstTime);

class CState;

class CTrigger {
public:
    ConditionFunction pCondition;
    BYTE Priority;
    StateFunction pTargetFunction; // while the table is being built
    CState* pTarget;               // after SetTable
    CTrigger* pNext;
};

class CState {
public:
    void DeleteTriggers();
    // Resolves this state's transition targets against a state list.
    void FixToState(CState* list);

    StateFunction pFunction; // identifies the state
    DWORD NameKey;
    CTrigger* pTriggers;
    CState* pNext;
};

class GStateTable : public GObject {
    DECLARE_GOBJECT(GStateTable, GObject)

    GStateTable();
    bool Process() override;

    // Member functions of the parent's class convert to these with static_cast.
    CTrigger* TransitionCondition(StateFunction state, ConditionFunction condition, StateFunction target, BYTE priority,
                                  const char* stateName);
    bool SetState(DWORD nameKey);
    CState* FindState(StateFunction state);
    CState* FindState(DWORD nameKey);
    void ClearState(StateFunction state);
    void DeleteState(StateFunction state);
    void DeleteTrigger(StateFunction state, ConditionFunction condition);
    void ClearTable();
    void SetTable();
    void GetRegisteredTable();
    bool FirstTime() { return bFirstTime; }
    CState* CurrentState() { return pCurrentState; }

    CState* pCurrentState;
    CState* pNextState;
    CTrigger* pEvaluating;
    DWORD CurrentKey;
    CState* pStates;
    StateFunction PrevStateFunction;
    DWORD Reserved;
    bool bFirstTime;
};
