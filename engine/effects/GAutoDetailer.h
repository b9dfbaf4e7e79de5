#pragma once
// Adds up to twelve extra material passes to its parent's drawing: each pass names a surface,
// a texture, an opacity and a set of effect bits that become the pass's material flags and,
// optionally, a vertex-program effect.
#include "engine/render/GEffect.h"
#include "engine/render/Material.h"

class CRendTexture;

class GAutoDetailer : public GEffect {
    DECLARE_GOBJECT(GAutoDetailer, GEffect)

    enum { PASSES = 12 };

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    // The material flags of a pass's effect bits.
    static unsigned long PassFlags(int effect);
    // 0 for none, else 1 to 3: the vertex-program effect the effect bits 8 and 9 pick.
    static int PassProgram(int effect) { return effect == 0xFFFF ? 0 : (effect >> 8) & 3; }
    // The pass records as the last drawing filled them; the number of them.
    int FillPasses();
    const Material* GetPasses() const { return Passes; }

    float PassDepth;
    CRendTexture* pTexture[PASSES];
    DWORD Surface[PASSES];
    float Alpha[PASSES];
    int Effect[PASSES];
    int NoBaseRender;
    int ModPriority;

private:
    Material Passes[PASSES];
    MaterialEffect Programs[PASSES];
};
