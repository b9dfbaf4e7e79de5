#include "engine/devices/GInputDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/names/CCRC32.h"
#include "core/output/ZOutput.h"
#include "engine/zel/CZelFile.h"

IMPLEMENT_GOBJECT(GInputDevice, 0x0080F001)

GInputDevice* GInputDevice::pThe;
int GInputDevice::InputConfig;
CZelFile* GInputDevice::pGamepadZel;
int GInputDevice::GamepadIndex = -1;
CCallbackTrigger* GInputDevice::pBindings;
CInputTrigger* GInputDevice::pActiveTriggers;
bool GInputDevice::bDirty = true;
GInputDevice::Consumed GInputDevice::ConsumedList[CONSUMED_PAIRS];
int GInputDevice::ConsumedEnd;
CInputData GInputDevice::Data;
GInputDevice::TriggerIndex GInputDevice::Index;
unsigned long GInputDevice::SweepCount;

namespace {

const unsigned long kTextCode = 0x00010000;
const int kKeyboardSlots = 256, kMouseSlots = 9, kGamepadSlots = 34;

struct GamepadRow {
    const char* Name;
    const char* Suffix;
};

// Controller product names and the button layout file each one uses.
const GamepadRow kGamepads[GInputDevice::GAMEPAD_ROWS] = {
    {"Xbox Controller", "XBoxUSA"},
    {"PS2 DualShock2", "DualShock2PS2"},
    {"FireStorm Dual Power", "ThrustMaster"},
    {"ThrustMaster FireStorm(TM) Dual Power Gamepad", "ThrustMaster"},
    {"InterAct/3dfx SV-262 HammerHead Fx", "HammerHead"},
    {"Interact Gaming Device", "HammerHeadUSB"},
    {"INTERACT GAME CONTROLLER", "Axis"},
    {"AxisPad", "Axis"},
    {"Monstar Gamepad", "DualShock2PC"},
    {"Nostromo n45 Dual Analog Gamepad", "ThrustMaster"},
    {"None", "Axis"},
};

bool IsEdgeCondition(const CInputDef& def)
{
    unsigned char condition = def.SubCodes.Condition;
    return def.Code != kTextCode && (condition == 0 || condition == 1 || condition == 4);
}

} // namespace

GInputDevice::GInputDevice()
{
    if (EditableEvaluation != 0)
        return;
    if (InputMode == 0) {
        _printf("InputDevice::InputMode was not initialized.\n");
        InputMode = 1;
    }
    ControllerNumbers[1] = -1;
    bDirty = true;
}

GInputDevice::~GInputDevice()
{
    if (EditableEvaluation != 0)
        return;
    if (pThe == this)
        pThe = nullptr;
    MarkDead(HGOBJECT(0));
    Sweep();
    delete pOSInput;
    pOSInput = nullptr;
}

int GInputDevice::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "InputMode", "int", InputMode);
    return count + 1;
}

void GInputDevice::SetOSInput(COSInput* layer)
{
    if (pOSInput != layer)
        delete pOSInput;
    pOSInput = layer;
}

// ---------------------------------------------------------------------------------------------
// Bindings.

void GInputDevice::Insert(unsigned long modes, HGOBJECT recipient, InputHandler handler, CInputTrigger* trigger,
                          bool& added)
{
    CCallbackTrigger** link = &pBindings;
    CCallbackTrigger** place = nullptr;
    for (; *link; link = &(*link)->pNext) {
        CCallbackTrigger* b = *link;
        if (b->pInputTrigger == trigger && b->InputModes == modes && b->hRecipient == recipient &&
            b->pInputCallback == handler)
            return;
        if (!place && b->pInputTrigger->Size < trigger->Size)
            place = link;
    }
    if (!place)
        place = link;
    CCallbackTrigger* record = CInputRecordPool::Allocate();
    if (!record)
        return;
    record->InputModes = modes;
    record->hRecipient = recipient;
    record->pInputCallback = handler;
    record->pInputTrigger = trigger;
    record->pNext = *place;
    *place = record;
    Index.bStale = true;
    added = true;
}

bool GInputDevice::Register(HGOBJECT recipient, unsigned long triggerKey, unsigned long modes, InputHandler handler)
{
    bool added = false;
    for (CInputTrigger* trigger = pActiveTriggers; trigger; trigger = trigger->pNext)
        if (trigger->InputLabel == triggerKey)
            Insert(modes, recipient, handler, trigger, added);
    return !added;
}

bool GInputDevice::Register(HGOBJECT recipient, const char* triggerName, unsigned long modes, InputHandler handler)
{
    return Register(recipient, CCRC32::GetCRC(triggerName ? triggerName : ""), modes, handler);
}

void GInputDevice::MarkDead(HGOBJECT recipient)
{
    for (CCallbackTrigger* b = pBindings; b; b = b->pNext) {
        if (recipient == 0 || b->hRecipient == recipient) {
            b->InputModes = 0;
            b->hRecipient = HGOBJECT(0);
        }
    }
    bDirty = true;
}

void GInputDevice::UnRegister(HGOBJECT recipient) { MarkDead(recipient); }

bool GInputDevice::IsRegistered(HGOBJECT recipient)
{
    for (CCallbackTrigger* b = pBindings; b; b = b->pNext)
        if (b->InputModes != 0 && b->hRecipient == recipient)
            return true;
    return false;
}

void GInputDevice::ForgetTrigger(CInputTrigger* trigger)
{
    for (CCallbackTrigger* b = pBindings; b; b = b->pNext) {
        if (b->pInputTrigger == trigger && b->InputModes != 0) {
            b->InputModes = 0;
            b->hRecipient = HGOBJECT(0);
            bDirty = true;
        }
    }
}

void GInputDevice::Sweep()
{
    CCallbackTrigger** link = &pBindings;
    while (*link) {
        CCallbackTrigger* b = *link;
        if (b->InputModes == 0) {
            *link = b->pNext;
            CInputRecordPool::Free(b);
        } else {
            link = &b->pNext;
        }
    }
    bDirty = false;
    Index.bStale = true;
    ++SweepCount;
}

unsigned long GInputDevice::Mode(unsigned long mode)
{
    if (mode != 0 && mode != InputMode) {
        InputMode = mode;
        FlushCharacterQueue();
    }
    return InputMode;
}

// ---------------------------------------------------------------------------------------------
// Characters.

int GInputDevice::CharacterCount() const
{
    int count = 0;
    while (count < CHARACTER_QUEUE_SIZE && Characters[count] != 0)
        ++count;
    return count;
}

// A zero would end the queue early, so it is not queued.
void GInputDevice::Character(int ch)
{
    int count = CharacterCount();
    if (ch == 0 || count >= MAX_QUEUED_CHARACTERS)
        return;
    Characters[count] = (unsigned long)ch;
    Characters[count + 1] = 0;
}

void GInputDevice::FlushCharacterQueue() { Characters[0] = 0; }

// ---------------------------------------------------------------------------------------------
// Controllers and configurations.

void GInputDevice::SetControllerNumber(int player, int controller)
{
    if (player >= 0 && player < CONTROLLER_SLOTS)
        ControllerNumbers[player] = controller;
}

void GInputDevice::ClearControllerSetup() { GamepadIndex = -1; }

// Players beyond the table (handles carry 16 bits of player) read the first controller.
int GInputDevice::ControllerOf(HGOBJECT handle) const
{
    WORD player = handle.Player();
    return player < CONTROLLER_SLOTS ? ControllerNumbers[player] : 0;
}

int GInputDevice::FindGamepadRow(const char* name)
{
    int best = -1, bestLength = 0;
    for (int row = 0; row < GAMEPAD_ROWS; ++row) {
        const char* a = kGamepads[row].Name;
        int length = 0;
        while (a[length] && name[length] && a[length] == name[length])
            ++length;
        if (length > bestLength) {
            best = row;
            bestLength = length;
        }
    }
    return best;
}

const char* GInputDevice::GamepadSuffix(int row) { return row >= 0 && row < GAMEPAD_ROWS ? kGamepads[row].Suffix : ""; }

// A layout file the data does not hold leaves the controller without one rather than ending
// the game: the buttons still work through the default triggers.
void GInputDevice::LoadGamepadZel()
{
    int row = FindGamepadRow(pOSInput ? pOSInput->GetName() : "None");
    if (row >= 0 && row != GamepadIndex) {
        delete pGamepadZel;
        pGamepadZel = nullptr;
        char name[64];
        std::snprintf(name, sizeof name, "Gamepad%s.zel", kGamepads[row].Suffix);
        if (CZelFile::Exists(name)) {
            pGamepadZel = new CZelFile;
            pGamepadZel->Load(name);
        } else {
            _printf("No gamepad layout file \"%s\"\n", name);
        }
        GamepadIndex = row;
    }
    pThe = this;
}

void GInputDevice::SetCurrentConfig(int config)
{
    if (config == InputConfig)
        return;
    Sweep();
    struct Saved {
        unsigned long Modes;
        HGOBJECT Recipient;
        InputHandler Handler;
        unsigned long Label;
    };
    std::vector<Saved> saved;
    for (CCallbackTrigger* b = pBindings; b; b = b->pNext)
        saved.push_back(Saved{b->InputModes, b->hRecipient, b->pInputCallback, b->pInputTrigger->InputLabel});
    MarkDead(HGOBJECT(0));
    Sweep();
    InputConfig = config;
    GamepadIndex = -1;
    LoadGamepadZel();
    for (const Saved& s : saved) {
        bool added = false;
        for (CInputTrigger* trigger = pActiveTriggers; trigger; trigger = trigger->pNext)
            if (trigger->InputLabel == s.Label)
                Insert(s.Modes, s.Recipient, s.Handler, trigger, added);
    }
}

// ---------------------------------------------------------------------------------------------
// Evaluation.

bool GInputDevice::TestCondition(unsigned char condition, unsigned long now, unsigned long before, int& result)
{
    unsigned char lowNow = (unsigned char)(now & 0xFF), lowBefore = (unsigned char)(before & 0xFF);
    switch (condition) {
    case 0:
        return lowNow != 0 && lowBefore == 0;
    case 1:
        return lowNow == 0 && lowBefore != 0;
    case 2:
        return now != 0;
    case 3:
        return now == 0;
    case 4:
        return lowNow != lowBefore;
    case 5:
        result = FIRED_STREAM;
        return true;
    default:
        return false;
    }
}

bool GInputDevice::IsConsumed(unsigned long code, int controller, int end) const
{
    for (int i = 0; i < end; ++i)
        if (ConsumedList[i].Code == code && ConsumedList[i].Controller == controller)
            return true;
    return false;
}

int GInputDevice::EvaluateTrigger(CCallbackTrigger* binding, unsigned long presentDevices)
{
    CInputTrigger* trigger = binding->pInputTrigger;
    int controller = ControllerOf(binding->hRecipient);
    int result = FIRED;
    int noted = ConsumedEnd;
    for (int i = 0; i < trigger->Size; ++i) {
        const CInputDef& def = trigger->InputDefs[i];
        if (!(def.SubCodes.Device & presentDevices))
            return NOT_FIRED;
        if (def.Code == kTextCode) {
            result = FIRED_TEXT;
            continue;
        }
        unsigned long now = pOSInput->GetInput(def.SubCodes.Device, def.SubCodes.Control, controller, 0);
        Data.Words[i] = now;
        unsigned char condition = def.SubCodes.Condition;
        unsigned long before = condition == 2 || condition == 3 || condition == 5
                                   ? 0
                                   : pOSInput->GetInput(def.SubCodes.Device, def.SubCodes.Control, controller, 1);
        if (!TestCondition(condition, now, before, result))
            return NOT_FIRED;
        if (IsConsumed(def.Code, controller, ConsumedEnd))
            return NOT_FIRED;
        // A full list notes nothing more: the pairs it holds still consume.
        if (noted < CONSUMED_PAIRS)
            ConsumedList[noted++] = Consumed{def.Code, controller};
    }
    ConsumedEnd = noted;
    Data.Words[trigger->Size] = trigger->InputValue;
    return result;
}

void GInputDevice::DeliverText(GObject* recipient, InputHandler handler)
{
    int count = CharacterCount();
    for (int i = 0; i < count; ++i) {
        Data.Words[0] = Characters[i];
        (recipient->*handler)(&Data);
    }
    FlushCharacterQueue();
}

void GInputDevice::Fire(CCallbackTrigger* binding, GObject* recipient, int result)
{
    if (result == FIRED_TEXT)
        DeliverText(recipient, binding->pInputCallback);
    else
        (recipient->*binding->pInputCallback)(&Data);
}

int GInputDevice::ControlSlot(unsigned char device, unsigned short control)
{
    if (device == 1 && control < kKeyboardSlots)
        return control;
    if (device == 2 && control < kMouseSlots)
        return kKeyboardSlots + control;
    if (device == 4 && control < kGamepadSlots)
        return kKeyboardSlots + kMouseSlots + control;
    return -1;
}

void GInputDevice::RebuildIndex()
{
    TriggerIndex& index = Index;
    index.Ordered.clear();
    index.Always.clear();
    index.ByControl.resize(kKeyboardSlots + kMouseSlots + kGamepadSlots);
    for (std::vector<int>& slot : index.ByControl)
        slot.clear();
    for (CCallbackTrigger* b = pBindings; b; b = b->pNext) {
        int position = int(index.Ordered.size());
        index.Ordered.push_back(b);
        int slot = -1;
        CInputTrigger* trigger = b->pInputTrigger;
        for (int i = 0; i < trigger->Size && slot < 0; ++i)
            if (IsEdgeCondition(trigger->InputDefs[i]))
                slot = ControlSlot(trigger->InputDefs[i].SubCodes.Device, trigger->InputDefs[i].SubCodes.Control);
        if (slot >= 0)
            index.ByControl[slot].push_back(position);
        else
            index.Always.push_back(position);
    }
    index.Seen.assign(index.Ordered.size(), 0);
    index.Changed.resize(kKeyboardSlots + kMouseSlots + kGamepadSlots + 1);
    index.bStale = false;
}

// This frame's candidates, in binding order: the bindings tried every frame and those filed
// under a control that changed. Without a list of changes every binding is a candidate.
void GInputDevice::CollectCandidates()
{
    TriggerIndex& index = Index;
    index.Candidates.clear();
    int changed = pOSInput->GetChangedControls(index.Changed.data(), int(index.Changed.size()));
    if (changed < 0) {
        for (int i = 0; i < int(index.Ordered.size()); ++i)
            index.Candidates.push_back(i);
        return;
    }
    index.Candidates = index.Always;
    for (int c = 0; c < changed; ++c) {
        int slot = ControlSlot(index.Changed[c].Device, index.Changed[c].Control);
        if (slot < 0)
            continue;
        for (int position : index.ByControl[slot]) {
            if (!index.Seen[position]) {
                index.Seen[position] = 1;
                index.Candidates.push_back(position);
            }
        }
    }
    for (int position : index.Candidates)
        index.Seen[position] = 0;
    std::sort(index.Candidates.begin(), index.Candidates.end());
}

bool GInputDevice::Process()
{
    if (bDirty)
        Sweep();
    if (!pOSInput)
        return false;
    unsigned long present = pOSInput->Update();
    ConsumedEnd = 0;
    if (Index.bStale)
        RebuildIndex();
    CollectCandidates();
    for (int position : Index.Candidates) {
        CCallbackTrigger* binding = Index.Ordered[position];
        if (!(binding->InputModes & InputMode))
            continue;
        GObject* recipient = GObject::GetGobject(binding->hRecipient);
        if (!recipient) {
            MarkDead(binding->hRecipient);
            continue;
        }
        int result = EvaluateTrigger(binding, present);
        if (result == NOT_FIRED)
            continue;
        unsigned long sweeps = SweepCount;
        Fire(binding, recipient, result);
        // A handler that switched the configuration returned this frame's bindings to the
        // pool: the rest of the frame would read recycled records, so it ends here.
        if (SweepCount != sweeps)
            break;
    }
    return false;
}
