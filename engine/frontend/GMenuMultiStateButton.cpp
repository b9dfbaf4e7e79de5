#include "engine/frontend/GMenuMultiStateButton.h"

IMPLEMENT_GOBJECT(GMenuMultiStateButton, 0x90008000)

GMenuMultiStateButton::GMenuMultiStateButton()
{
    if (EditableEvaluation != 0)
        return;
    pCurrent = Children();
    if (pCurrent == nullptr)
        Active(false);
    else if (pCurrent->Is(MENUITEM_SELECTABLE))
        SetSelectable(false); // the states themselves are picked
    else
        for (GMenuItem* child = pCurrent; child; child = child->Next())
            child->SetStateBits(MENUITEM_PERSISTENT, true);
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}

GMenuItem* GMenuMultiStateButton::Current()
{
    if (pCurrent == nullptr || ChildIndex(pCurrent) < 0)
        pCurrent = Children();
    return pCurrent;
}

void GMenuMultiStateButton::Display(bool show)
{
    GMenuItem::Display(show);
    if (!show)
        return;
    GMenuItem* current = Current();
    for (GMenuItem* child = Children(); child; child = child->Next())
        if (child != current)
            child->Display(false);
}

void GMenuMultiStateButton::Focus(bool on)
{
    if (Is(MENUITEM_SELECTABLE))
        if (GMenuItem* current = Current())
            current->Focus(on);
    GMenuItem::Focus(on);
}

bool GMenuMultiStateButton::Activate(bool on)
{
    if (!on)
        return true;
    if (!Is(MENUITEM_ENABLED))
        return false;
    Increment();
    StartRepeat(Is(MENUITEM_ACTIVATED));
    State |= MENUITEM_ACTIVATED;
    if (Is(MENUITEM_DISPLAYED))
        PlaySound(ActivatedSound);
    // The parent may destroy the button on activation: nothing follows the call.
    if (GMenuItem* parent = Parent())
        parent->ItemActivated(this);
    return true;
}

void GMenuMultiStateButton::Increment()
{
    GMenuItem* current = Current();
    if (current == nullptr) {
        Active(!Is(MENUITEM_ACTIVE));
        return;
    }
    current->Display(false);
    pCurrent = current->Next() ? current->Next() : Children();
    pCurrent->Display(Is(MENUITEM_DISPLAYED));
    if (Is(MENUITEM_FOCUSED | MENUITEM_SELECTABLE))
        pCurrent->Focus(true);
}

int GMenuMultiStateButton::GetState()
{
    GMenuItem* current = Current();
    return current ? ChildIndex(current) : (Is(MENUITEM_ACTIVE) ? 1 : 0);
}

void GMenuMultiStateButton::SetState(int n)
{
    if (Children() == nullptr) {
        Active(n != 0);
    } else {
        GMenuItem* chosen = NthChild(n);
        pCurrent = chosen ? chosen : Children();
    }
    if (Is(MENUITEM_DISPLAYED))
        Display(true);
}

void GMenuMultiStateButton::ItemActivated(GMenuItem*) { Activate(true); }
