#pragma once
// The input device: a game object processed once per frame that evaluates every binding of a
// recipient's method to an input trigger against the operating-system input layer and calls
// the methods whose triggers fire. Bindings with more conditions come first, so Ctrl+S wins
// over S: conditions a fired binding used are consumed for the rest of the frame.
#include <vector>

#include "engine/devices/COSInput.h"
#include "engine/devices/CInputRecordPool.h"
#include "engine/devices/CInputTrigger.h"
#include "engine/object/GObject.h"

class CZelFile;

class GInputDevice : public GObject {
    DECLARE_GOBJECT(GInputDevice, GObject)

    typedef ::InputHandler InputHandler;
    enum {
        CHARACTER_QUEUE_SIZE = 128,
        MAX_QUEUED_CHARACTERS = 126,
        CONTROLLER_SLOTS = 11,
        CONSUMED_PAIRS = 64,
        GAMEPAD_ROWS = 11
    };
    // EvaluateTrigger's results.
    enum { NOT_FIRED = 0, FIRED_TEXT = 1, FIRED = 2, FIRED_STREAM = 3 };

    GInputDevice();
    ~GInputDevice() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // True when nothing was bound (no such trigger, or every binding already existed).
    bool Register(HGOBJECT recipient, const char* triggerName, unsigned long modes, InputHandler handler);
    bool Register(HGOBJECT recipient, unsigned long triggerKey, unsigned long modes, InputHandler handler);
    // Drops every binding of the recipient (the null handle: every binding).
    void UnRegister(HGOBJECT recipient);
    bool IsRegistered(HGOBJECT recipient);
    // A non-zero mode that differs becomes current and empties the character queue.
    unsigned long Mode(unsigned long mode);

    void Character(int ch);
    void FlushCharacterQueue();
    int CharacterCount() const;

    void SetControllerNumber(int player, int controller);
    void ClearControllerSetup();
    void SetCurrentConfig(int config);
    int GetCurrentConfig() { return InputConfig; }

    int EvaluateTrigger(CCallbackTrigger* binding, unsigned long presentDevices);
    void DeliverText(GObject* recipient, InputHandler handler);

    // The device takes ownership of the layer (the PC device makes its own; tests give theirs).
    void SetOSInput(COSInput* layer);
    COSInput* GetOSInput() { return pOSInput; }

    // A trigger going away drops the bindings made to it.
    static void ForgetTrigger(CInputTrigger* trigger);
    // The gamepad table's row for a controller name: the longest common prefix, the first row on
    // a tie, -1 when no row shares a first character.
    static int FindGamepadRow(const char* name);
    static const char* GamepadSuffix(int row);

    static GInputDevice* pThe;
    static int InputConfig;
    static CZelFile* pGamepadZel;
    static int GamepadIndex;
    static CCallbackTrigger* pBindings;
    static CInputTrigger* pActiveTriggers;
    static bool bDirty;

protected:
    void LoadGamepadZel();

    COSInput* pOSInput;
    unsigned long Characters[CHARACTER_QUEUE_SIZE]; // zero-terminated
    unsigned long InputMode;
    int ControllerNumbers[CONTROLLER_SLOTS];

private:
    struct Consumed {
        unsigned long Code;
        int Controller;
    };

    static void Insert(unsigned long modes, HGOBJECT recipient, InputHandler handler, CInputTrigger* trigger,
                       bool& added);
    static void MarkDead(HGOBJECT recipient);
    static void Sweep();
    int ControllerOf(HGOBJECT handle) const;
    static bool TestCondition(unsigned char condition, unsigned long now, unsigned long before, int& result);
    bool IsConsumed(unsigned long code, int controller, int end) const;
    void Fire(CCallbackTrigger* binding, GObject* recipient, int result);
    void CollectCandidates();

    static Consumed ConsumedList[CONSUMED_PAIRS];
    static int ConsumedEnd;
    static CInputData Data;

    // Which bindings can fire this frame: a binding with an edge condition (press, release,
    // change) fires only in a frame when that control changed, so it is filed under the control;
    // the others are tried every frame. Rebuilt when the binding list changes.
    struct TriggerIndex {
        bool bStale = true;
        std::vector<CCallbackTrigger*> Ordered;  // the binding list as an array
        std::vector<std::vector<int>> ByControl; // binding positions per filed control
        std::vector<int> Always;                 // positions tried every frame
        std::vector<int> Candidates;             // this frame's, in list order
        std::vector<unsigned char> Seen;         // per position, this frame
        std::vector<InputControl> Changed;
    };
    static TriggerIndex Index;
    static unsigned long SweepCount; // bindings returned to the pool so far
    static void RebuildIndex();
    static int ControlSlot(unsigned char device, unsigned short control);
};
