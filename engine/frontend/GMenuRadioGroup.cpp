#include "engine/frontend/GMenuRadioGroup.h"

IMPLEMENT_GOBJECT(GMenuRadioGroup, 0x80008000)

GMenuRadioGroup::GMenuRadioGroup()
{
    if (EditableEvaluation != 0)
        return;
    pChosen = Children();
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}

GMenuItem* GMenuRadioGroup::Chosen()
{
    if (pChosen == nullptr || ChildIndex(pChosen) < 0)
        pChosen = Children();
    return pChosen;
}

void GMenuRadioGroup::Display(bool show)
{
    GMenuItem::Display(show);
    if (!show)
        return;
    GMenuItem* chosen = Chosen();
    for (GMenuItem* child = Children(); child; child = child->Next()) {
        child->SetSelectable(child != chosen && Is(MENUITEM_SELECTABLE));
        child->Active(child == chosen);
    }
}

void GMenuRadioGroup::ItemActivated(GMenuItem* child)
{
    if (ChildIndex(child) >= 0)
        pChosen = child;
    Display(true);
    Activate(true);
}

bool GMenuRadioGroup::Activate(bool on)
{
    if (on)
        if (GMenuItem* parent = Parent())
            parent->ItemActivated(this);
    return true;
}

int GMenuRadioGroup::GetState()
{
    GMenuItem* chosen = Chosen();
    return chosen ? ChildIndex(chosen) : -1;
}

void GMenuRadioGroup::SetState(int n)
{
    GMenuItem* chosen = NthChild(n);
    pChosen = chosen ? chosen : Children();
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}
