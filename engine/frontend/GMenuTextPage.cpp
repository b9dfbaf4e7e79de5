#include "engine/frontend/GMenuTextPage.h"

#include "engine/render/CzFont.h"

IMPLEMENT_GOBJECT(GMenuTextPage, 0x90008000)

GMenuTextPage::GMenuTextPage()
{
    if (EditableEvaluation != 0)
        return;
    if (TextFormat == 0)
        TextFormat = 3;
    ReformatText(&LineCount);
    TextHeight = pFont ? float(pFont->GetLineHeight() * LineCount) : 0.0f;
}
