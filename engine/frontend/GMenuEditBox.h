#pragma once
// A one-line text entry: while active it takes typed characters from the input device's text
// trigger, keeps the text within its width, moves a caret item along and reports every
// keystroke to its parent.
#include "engine/frontend/GMenuButton.h"

class GMenuEditBox : public GMenuButton {
    DECLARE_GOBJECT(GMenuEditBox, GMenuButton)

    GMenuEditBox();
    ~GMenuEditBox() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Display(bool show) override;
    void Active(bool on) override;
    bool Activate(bool on) override;
    const char* SetText(const char* text) override;

    void Input_Character(CInputData* input);
    void PlaceCaret();
    bool IsFull() const { return bFull; }

    float WidthLimit;
    int TextLength;
    int MaxLength;
    bool bFull;
    DWORD SavedMode;
    GMenuItem* pCaret;
    int AutoActivate;

private:
    void Report();
};
