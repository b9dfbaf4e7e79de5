#pragma once
// Base of every game object that hangs on a render instance's effect chain. While the owner is
// displayed each effect's Render draws the effect and says whether the owner's own resource
// should be hidden. A process-wide count of "macro-budgeted" effects lets effect systems
// refuse to spawn when too many are alive.
#include "engine/object/GPosRot.h"

class CRender;

class GEffect : public GPosRot {
    DECLARE_GOBJECT(GEffect, GPosRot)

    GEffect();
    ~GEffect() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // Called after the owner took the whole chain off (owner and next already cleared):
    // derived effects release what they hold on the render here.
    virtual void Eject(CRender* owner);
    // True hides the owner's resource for this display.
    virtual bool Render();

    enum { kMacroBudget = 100 };
    static bool CanSpawnAsMacroBudgeted() { return ActiveMacroSystems < kMacroBudget; }
    void MakeMacroBudgeted();
    bool IsMacroBudgeted() const { return MacroBudgeted != 0; }
    CRender* GetOwner() const { return pOwner; }
    GEffect* GetNextEffect() const { return pNextEffect; }

    static DWORD ActiveMacroSystems;

    int Viewport; // the render viewport the effect draws in

protected:
    // The stored switch, for the editable lists of derived effects.
    int& MacroBudgetedField() { return MacroBudgeted; }

private:
    friend class CRender;

    int MacroBudgeted;
    CRender* pOwner;
    GEffect* pNextEffect;
};
