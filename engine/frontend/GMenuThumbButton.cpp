#include "engine/frontend/GMenuThumbButton.h"

#include "engine/frontend/GMenuListBox.h"
#include "engine/frontend/GmvPointer.h"

IMPLEMENT_GOBJECT(GMenuThumbButton, 0x90008000)

GMenuThumbButton::GMenuThumbButton()
{
    if (EditableEvaluation != 0)
        return;
    State |= MENUITEM_KEEPACTIVE;
}

int GMenuThumbButton::IndexAt(float d) const
{
    if (d <= 0.0f || Step <= 0.0f)
        return 0;
    const float steps = d / Step;
    return steps >= float(HighestIndex) ? HighestIndex : int(steps);
}

bool GMenuThumbButton::Process()
{
    GmvPointer* pointer = GmvPointer::GetCurrent();
    GMenuItem* parent = Parent();
    if (!Is(MENUITEM_ACTIVATED) || pointer == nullptr || parent == nullptr ||
        !parent->IsDerivedFromClassId(GMenuListBox::ClassId))
        return true;
    GMenuListBox* list = static_cast<GMenuListBox*>(parent);
    list->ThumbScroll(IndexAt(pointer->GetPos().y - list->GetPos().y - TopLimit));
    return true;
}
