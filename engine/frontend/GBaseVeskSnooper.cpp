#include "engine/frontend/GBaseVeskSnooper.h"

#include "engine/devices/GInputDevice.h"
#include "engine/frontend/GRecorder.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskPointer.h"

IMPLEMENT_GOBJECT(GBaseVeskSnooper, 0x80808000)

bool GBaseVeskSnooper::bVeskEnabled;
bool GBaseVeskSnooper::bVeskMode;
HGOBJECT GBaseVeskSnooper::hStarter;

GBaseVeskSnooper::GBaseVeskSnooper()
{
    if (EditableEvaluation != 0 || !bVeskEnabled || GInputDevice::pThe == nullptr)
        return;
    const unsigned long mode = GInputDevice::pThe->Mode(0);
    GInputDevice::pThe->Register(GetHandle(), VeskKeyCode, mode,
                                 static_cast<GInputDevice::InputHandler>(&GBaseVeskSnooper::Input_VeskIt));
    GInputDevice::pThe->Register(GetHandle(), KeyframeCode, mode,
                                 static_cast<GInputDevice::InputHandler>(&GBaseVeskSnooper::Input_Keyframe));
}

int GBaseVeskSnooper::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "VeskKeyCode", "DWORD", VeskKeyCode);
    AddEditable(cursor, "KeyframeCode", "DWORD", KeyframeCode);
    AddEditable(cursor, "pVeskMenu", "CEmbeddedFillData *", pVeskMenu);
    AddEditable(cursor, "AutoStart", "int", AutoStart);
    return count + 4;
}

bool GBaseVeskSnooper::IsVesk() { return GVeskMainMenu::IsRunning(); }

GBaseVeskSnooper* GBaseVeskSnooper::GetStarter()
{
    GObject* object = GetGobject(hStarter);
    return object != nullptr && object->IsDerivedFromClassId(ClassId) ? static_cast<GBaseVeskSnooper*>(object)
                                                                      : nullptr;
}

void GBaseVeskSnooper::Input_VeskIt(CInputData*)
{
    if (GVeskPointer::GetEditor() != nullptr)
        return;
    hStarter = GetHandle();
    GVeskPointer::Create();
    GMenu::Load(pVeskMenu, true, nullptr);
}

void GBaseVeskSnooper::Input_Keyframe(CInputData*) { GRecorder::Keyframe(); }

// With auto start the first frame starts the editor; then the snooper sleeps for good: its keys
// keep working through the input device.
bool GBaseVeskSnooper::Process()
{
    if (AutoStart && GVeskPointer::GetEditor() == nullptr)
        Input_VeskIt(nullptr);
    SleepTime = SLEEP_FOREVER;
    return true;
}
