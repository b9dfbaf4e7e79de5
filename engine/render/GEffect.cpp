#include "engine/render/GEffect.h"

#include "engine/object/EditableInfo.h"
#include "engine/render/CRender.h"

IMPLEMENT_GOBJECT(GEffect, 0x808000)

DWORD GEffect::ActiveMacroSystems = 0;

// Stored effects may arrive marked: they count from their construction.
GEffect::GEffect()
{
    if (EditableEvaluation == 0 && MacroBudgeted)
        ++ActiveMacroSystems;
}

GEffect::~GEffect()
{
    if (EditableEvaluation != 0)
        return;
    if (pOwner)
        pOwner->Detach(this);
    pOwner = nullptr;
    if (MacroBudgeted)
        --ActiveMacroSystems;
}

bool GEffect::Process() { return false; }

int GEffect::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    return count + 1;
}

void GEffect::Eject(CRender*) {}
bool GEffect::Render() { return false; }

void GEffect::MakeMacroBudgeted()
{
    if (MacroBudgeted)
        return;
    MacroBudgeted = 1;
    ++ActiveMacroSystems;
}
