#include "engine/devices/CInputTrigger.h"

#include <cstddef>

#include "engine/devices/GInputDevice.h"
#include "engine/include/RhuTypes.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CInputTrigger) == sizeof(rhu::CInputTrigger), "CInputTrigger differs from the record header");
static_assert(offsetof(CInputTrigger, InputLabel) == offsetof(rhu::CInputTrigger, InputLabel), "InputLabel");
static_assert(offsetof(CInputTrigger, InputValue) == offsetof(rhu::CInputTrigger, InputValue), "InputValue");
static_assert(offsetof(CInputTrigger, Size) == offsetof(rhu::CInputTrigger, Size), "Size");
static_assert(offsetof(CInputTrigger, Active) == offsetof(rhu::CInputTrigger, Active), "Active");
static_assert(offsetof(CInputTrigger, InputDefs) == offsetof(rhu::CInputTrigger, InputDefs), "InputDefs");
#pragma GCC diagnostic pop

ZEL_REGISTER_RECORD(CInputTrigger);

namespace {
const unsigned char kConfigDevice = 128;
} // namespace

CInputTrigger::CInputTrigger()
{
    Active = 0;
    // A record inside a loaded file must hold all its conditions; one whose count runs past
    // its segment is damaged and stays inactive.
    unsigned long needed = sizeof(CInputTrigger) + 4ul * Size;
    if (CZelFile::IsLoadedData(this, sizeof(CInputTrigger)) && CZelFile::BytesAvailable(this) < needed)
        return;

    bool hadConfig = false, inConfig = false;
    int kept = 0;
    for (int i = 0; i < Size; ++i) {
        if (InputDefs[i].SubCodes.Device == kConfigDevice) {
            hadConfig = true;
            int config = GInputDevice::InputConfig;
            if (config >= 0 && config < 16 && (InputDefs[i].SubCodes.Control >> config & 1))
                inConfig = true;
        } else {
            InputDefs[kept++] = InputDefs[i];
        }
    }
    Size = (unsigned char)kept;
    // A handler's input data holds at most this many conditions: a longer trigger would write
    // past it, so it never becomes active.
    if (Size > MAX_CONDITIONS)
        return;
    if (!hadConfig || inConfig) {
        Active = 1;
        pNext = GInputDevice::pActiveTriggers;
        GInputDevice::pActiveTriggers = this;
    }
}

// A binding must not outlive its trigger: one still bound when the trigger's file unloads is
// dropped rather than left pointing into freed data.
CInputTrigger::~CInputTrigger()
{
    GInputDevice::ForgetTrigger(this);
    if (!Active)
        return;
    for (CInputTrigger** link = &GInputDevice::pActiveTriggers; *link; link = &(*link)->pNext) {
        if (*link == this) {
            *link = pNext;
            break;
        }
    }
    Active = 0;
}
