#include "engine/frontend/GMenuEditBox.h"

#include <cstring>

#include "core/heap/ZHeap.h"
#include "engine/devices/GInputDevice.h"
#include "engine/render/CzFont.h"

IMPLEMENT_GOBJECT(GMenuEditBox, 0x80008000)

namespace {
const char kBackspace = 8;
} // namespace

GMenuEditBox::GMenuEditBox()
{
    if (EditableEvaluation != 0)
        return;
    int narrowest = 0, widest = 0;
    if (CzFont* font = static_cast<CzFont*>(pFont))
        font->GetCharWidthRange(&narrowest, &widest);
    WidthLimit = Size.x - float(widest);
    // A font whose every glyph is empty would divide by zero: one character a pixel then.
    MaxLength = int(Size.x) / (narrowest > 0 ? narrowest : 1);
    if (MaxLength < 0)
        MaxLength = 0;
    const char* stored = pText;
    const bool ownedBefore = bOwnsText != 0;
    bOwnsText = 0;
    AllocateTextBuffer(MaxLength);
    if (stored)
        std::strncat(pText, stored, unsigned(MaxLength));
    if (ownedBefore)
        zfree(const_cast<char*>(stored));
    TextLength = int(std::strlen(pText));
    ReformatText(nullptr);
    PlaceCaret();
}

GMenuEditBox::~GMenuEditBox()
{
    if (EditableEvaluation == 0 && SavedMode != 0 && GInputDevice::pThe)
        GInputDevice::pThe->Mode(SavedMode);
}

int GMenuEditBox::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GMenuButton::SpecifyEditable(cursor);
    AddEditable(cursor, "pCaret", "GMenuItem *", pCaret);
    AddEditable(cursor, "AutoActivate", "int", AutoActivate);
    return count + 2;
}

void GMenuEditBox::Display(bool show)
{
    if (show) {
        if (Is(MENUITEM_DISPLAYED) || !AutoActivate)
            Active(Is(MENUITEM_ACTIVE));
        else
            Activate(true);
    } else if (Is(MENUITEM_ACTIVE)) {
        Active(false);
    }
    GMenuItem::Display(show);
}

void GMenuEditBox::Active(bool on)
{
    GInputDevice* input = GInputDevice::pThe;
    if (on) {
        if (input) {
            if (InputMode != 0 && SavedMode == 0)
                SavedMode = input->Mode(0);
            if (InputMode != 0)
                input->Mode(InputMode);
            input->UnRegister(GetHandle());
            input->Register(GetHandle(), "TEXT", InputMode != 0 ? InputMode : input->Mode(0),
                            static_cast<GInputDevice::InputHandler>(&GMenuEditBox::Input_Character));
        }
        if (pCaret)
            pCaret->Display(true);
        PlaceCaret();
        State |= MENUITEM_ACTIVE;
    } else {
        if (input) {
            input->UnRegister(GetHandle());
            if (SavedMode != 0)
                input->Mode(SavedMode);
        }
        SavedMode = 0;
        if (pCaret)
            pCaret->Display(false);
        State &= ~MENUITEM_ACTIVE;
    }
    Redraw();
}

bool GMenuEditBox::Activate(bool on)
{
    if (on && !Is(MENUITEM_ACTIVE))
        Active(true);
    return GMenuButton::Activate(on);
}

const char* GMenuEditBox::SetText(const char* text)
{
    TextLength = 0;
    int width = 0;
    for (; text && text[TextLength] && TextLength < MaxLength; ++TextLength) {
        width += pFont ? pFont->GetCharWidth(text[TextLength]) : 0;
        if (float(width) > Size.x)
            break;
        pText[TextLength] = text[TextLength];
    }
    pText[TextLength] = '\0';
    ReformatText(nullptr);
    PlaceCaret();
    return nullptr;
}

void GMenuEditBox::PlaceCaret()
{
    bFull = false;
    int sum = 0;
    for (int i = 0; i < TextLength; ++i) {
        sum += pFont ? pFont->GetCharWidth(pText[i]) : 0;
        if (float(sum) > WidthLimit) {
            TextLength = i;
            pText[i] = '\0';
            bFull = true;
            break;
        }
    }
    if (TextLength >= MaxLength)
        bFull = true;
    if (pCaret) {
        const CVector at = ItemPos + CVector(float(sum), 0.0f, 0.0f);
        pCaret->SetPos(at - pCaret->Position);
    }
}

void GMenuEditBox::Input_Character(CInputData* input)
{
    const unsigned long code = input->Word(0);
    if (code < 32) {
        if (code != static_cast<unsigned long>(kBackspace))
            return;
        if (TextLength > 0)
            pText[--TextLength] = '\0';
    } else {
        if (bFull)
            return;
        pText[TextLength++] = static_cast<char>(code);
        pText[TextLength] = '\0';
    }
    ReformatText(nullptr);
    PlaceCaret();
    Report();
}

void GMenuEditBox::Report()
{
    StartRepeat(Is(MENUITEM_ACTIVATED));
    if (!Is(MENUITEM_ENABLED)) {
        PlaySound(NoOpSound);
        return;
    }
    State |= MENUITEM_ACTIVATED;
    if (Is(MENUITEM_DISPLAYED))
        PlaySound(ActivatedSound);
    if (GMenuItem* parent = Parent())
        parent->ItemActivated(this);
}
