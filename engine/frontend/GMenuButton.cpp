#include "engine/frontend/GMenuButton.h"

#include "engine/object/CGameTimer.h"

IMPLEMENT_GOBJECT(GMenuButton, 0x90008000)

GMenuButton::GMenuButton()
{
    if (EditableEvaluation != 0)
        return;
    SetSelectable(DWORD(GetHandle()) > 0xFFFF);
}

int GMenuButton::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GMenuItem::SpecifyEditable(cursor);
    AddEditable(cursor, "RepeatRate", "float", RepeatRate);
    return count + 1;
}

void GMenuButton::StartRepeat(bool wasActivated)
{
    if (RepeatRate != 0.0f)
        NextRepeatTime = CGameTimer::Seconds() + (wasActivated ? RepeatRate : 4.0f * RepeatRate);
}

bool GMenuButton::Activate(bool on)
{
    if (on)
        StartRepeat(Is(MENUITEM_ACTIVATED));
    return GMenuItem::Activate(on);
}

bool GMenuButton::Process()
{
    if (RepeatRate != 0.0f && Is(MENUITEM_ACTIVATED) && CGameTimer::Seconds() > NextRepeatTime) {
        // The parent may destroy the button on activation: nothing follows the call.
        Activate(true);
    }
    return false;
}
