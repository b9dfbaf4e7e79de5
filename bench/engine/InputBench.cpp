// Usage: engine_input_bench [EVENTS]
// Input events per second through the scripted DirectInput source, the PC back end and trigger
// matching: 1,000,000 key events against 50 and against 500 bound triggers, of which the same
// few can match. The peer is the 50-trigger run; the ratio shows that triggers whose controls
// do not change cost nothing. The last row tries every binding every frame, as a layer that
// cannot list its changed controls makes the device do.
#include <stdio.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <mg_dinput.h>

#include "core/names/CCRC32.h"
#include "engine/devices/CDirectInput.h"
#include "engine/devices/GPCXInputDevice.h"
#include "engine/include/RhuTypes.h"

namespace {

int kEvents = 1000000; // or the count given on the command line
const int kEventsPerFrame = 4;
// The keys the script presses and releases, and the matching triggers on them.
const unsigned char kPlayedKeys[] = {0x1E, 0x1F, 0x20, 0x11, 0x39, 0x1D, 0x2A, 0x10};
const char* const kPlayedNames[] = {"A", "S", "D", "W", "SPACE", "LCONTROL", "LSHIFT", "Q"};

unsigned long g_Calls;

class BListener : public GObject {
    DECLARE_GOBJECT(BListener, GObject)
    void OnInput(CInputData*) { ++g_Calls; }
};
IMPLEMENT_GOBJECT(BListener, 0x80000100)

// Every binding, every frame: the layer answers as one that cannot list changes.
class FullScan : public COSInput {
public:
    explicit FullScan(COSInput* inner) : inner(inner) {}
    ~FullScan() override { delete inner; }
    unsigned long Update() override { return inner->Update(); }
    unsigned long GetInput(unsigned char device, unsigned short control, int controller, int previous) override
    {
        return inner->GetInput(device, control, controller, previous);
    }

private:
    COSInput* inner;
};

struct TriggerStore {
    std::vector<std::vector<unsigned long>> records;
    void Add(unsigned long label, std::vector<unsigned long> defs)
    {
        std::vector<unsigned long> words(5 + defs.size());
        unsigned char* bytes = reinterpret_cast<unsigned char*>(words.data());
        std::memcpy(bytes + 8, &label, 4);
        bytes[16] = (unsigned char)defs.size();
        std::memcpy(bytes + 20, defs.data(), 4 * defs.size());
        records.push_back(std::move(words));
        ZelConstructInPlace<CInputTrigger>(records.back().data());
    }
    ~TriggerStore()
    {
        for (auto& r : records)
            reinterpret_cast<CInputTrigger*>(r.data())->~CInputTrigger();
    }
};

unsigned long Def(unsigned char device, unsigned short control, unsigned char condition)
{
    return control | (unsigned long)device << 16 | (unsigned long)condition << 24;
}

// 1,000,000 key events: each frame two played keys go down and two come up.
std::string MakeScript()
{
    std::string script;
    script.reserve(kEvents * 20);
    int frames = kEvents / kEventsPerFrame;
    char line[64];
    for (int f = 1; f <= frames; ++f) {
        const char* down1 = kPlayedNames[(2 * f) % 8];
        const char* down2 = kPlayedNames[(2 * f + 1) % 8];
        const char* up1 = kPlayedNames[(2 * f + 6) % 8];
        const char* up2 = kPlayedNames[(2 * f + 7) % 8];
        std::snprintf(line, sizeof line, "frame %d up %s %s\nframe %d down %s %s\n", f, up1, up2, f, down1, down2);
        script += line;
    }
    return script;
}

// Seconds for the whole script through the device with `count` triggers bound.
double Run(const std::string& script, int count, bool fullScan, unsigned long& calls)
{
    MgLoadInputScriptText(script.c_str(), "bench.script");
    TriggerStore triggers;
    // The played keys: press, release and Ctrl-chords.
    for (int k = 0; k < 8; ++k) {
        triggers.Add(CCRC32::GetCRC(kPlayedNames[k]), {Def(1, kPlayedKeys[k], 0)});
        triggers.Add(CCRC32::GetCRC(kPlayedNames[k]), {Def(1, kPlayedKeys[k], 1)});
    }
    // The rest: presses, chords and changes on keys, mouse buttons and gamepad buttons the
    // script never touches.
    static const unsigned char kIdleKeys[] = {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57,
                                              0x58, 0x47, 0x48, 0x49, 0x4B, 0x4C, 0x4D, 0x4F, 0x50, 0x51, 0x52};
    for (int i = 16; i < count; ++i) {
        unsigned char key = kIdleKeys[i % sizeof kIdleKeys];
        unsigned long label = CCRC32::GetCRC(("Idle" + std::to_string(i)).c_str());
        switch (i % 4) {
        case 0:
            triggers.Add(label, {Def(1, key, 0)});
            break;
        case 1:
            triggers.Add(label, {Def(1, 0x1D, 2), Def(1, key, 0)});
            break;
        case 2:
            triggers.Add(label, {Def(4, (unsigned short)(i % 20), 0)});
            break;
        default:
            triggers.Add(label, {Def(2, (unsigned short)(i % 4), 1)});
            break;
        }
    }
    GPCXInputDevice* device = GPCXInputDevice::Create();
    if (fullScan) {
        GPCXInputDevice::pDirectInput = nullptr; // the device's own layer goes with the swap
        device->SetOSInput(new FullScan(new CDirectInput(nullptr, nullptr)));
    }
    BListener* listener = BListener::Create();
    for (const auto& r : triggers.records) {
        const CInputTrigger* t = reinterpret_cast<const CInputTrigger*>(r.data());
        device->Register(listener->GetHandle(), t->InputLabel, 1,
                         static_cast<GInputDevice::InputHandler>(&BListener::OnInput));
    }
    g_Calls = 0;
    int frames = kEvents / kEventsPerFrame;
    auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        MgAdvanceInputFrame();
        device->Process();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    calls = g_Calls;
    listener->Destroy();
    device->Destroy();
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::atoi(argv[1]) >= kEventsPerFrame)
        kEvents = std::atoi(argv[1]);
    GObject::InitEditableInfo();
    std::string script = MakeScript();
    unsigned long callsPeer = 0, callsOurs = 0, callsFull = 0;
    double peer = Run(script, 50, false, callsPeer);
    double ours = Run(script, 500, false, callsOurs);
    double full = Run(script, 500, true, callsFull);
    printf("%d scripted key events, %d per frame\n", kEvents, kEventsPerFrame);
    printf("%-36s %12s %10s %12s\n", "run", "events/s", "seconds", "handler calls");
    printf("%-36s %12.0f %10.3f %12lu\n", "peer: 50 triggers", kEvents / peer, peer, callsPeer);
    printf("%-36s %12.0f %10.3f %12lu\n", "ours: 500 triggers", kEvents / ours, ours, callsOurs);
    printf("%-36s %12.0f %10.3f %12lu\n", "500 triggers, every binding tried", kEvents / full, full, callsFull);
    printf("ratio of time, 500 to 50 triggers: %.2f (1.00 = independent of idle triggers)\n", ours / peer);
    return callsPeer == callsOurs && callsOurs == callsFull ? 0 : 1;
}
