#include "engine/effects/GAutoDetailer.h"

#include <string.h>

#include "engine/effects/EffectModifiers.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GAutoDetailer, 0x04808000)

namespace {

const char* const kProgramNames[4] = {nullptr, "Effect_UVGen_Environment", "Effect_Shell", "Effect_Shell_NoPersp"};

} // namespace

int GAutoDetailer::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "PassDepth", "float", PassDepth);
    AddEditable(cursor, "pTexture", "CRendTexture *", pTexture, 0x21);
    AddEditable(cursor, "Surface", "DWORD", Surface);
    AddEditable(cursor, "Alpha", "float", Alpha);
    AddEditable(cursor, "Effect", "int", Effect);
    AddEditable(cursor, "NoBaseRender", "int", NoBaseRender);
    AddEditable(cursor, "ModPriority", "int", ModPriority);
    return count + 7;
}

bool GAutoDetailer::Process()
{
    if (GetOwner() == nullptr)
        if (CRender* render = ParentRender(this))
            render->Attach(this);
    return false;
}

// 0xFFFF hides the surface. Otherwise: texture, opacity and depth-write bits first, then the
// three blend bits as additive, two-sided and no depth test, then the scroll and the rest.
unsigned long GAutoDetailer::PassFlags(int effect)
{
    if (effect == 0xFFFF)
        return Material::HIDDEN;
    static const struct {
        int bit;
        unsigned long flag;
    } map[] = {
        {0x01, Material::REPLACE_TEXTURE},
        {0x02, Material::REPLACE_ALPHA},
        {0x04, Material::NO_DEPTH_WRITE},
        {0x08, Material::ADDITIVE},
        {0x10, Material::NO_CULL},
        {0x20, Material::NO_DEPTH_TEST},
        {0x40, 0x80000},
    };
    unsigned long flags = 0;
    for (const auto& entry : map)
        if (effect & entry.bit)
            flags |= entry.flag;
    if (effect & ~0x7F)
        flags |= 0x20000;
    return flags;
}

int GAutoDetailer::FillPasses()
{
    int count = 0;
    for (int slot = 0; slot < PASSES; ++slot) {
        if (Effect[slot] == 0)
            continue;
        Material& pass = Passes[count];
        memset(&pass, 0, sizeof pass);
        pass.Name = Surface[slot];
        pass.pTexture = pTexture[slot];
        pass.Alpha = Alpha[slot];
        pass.Flags = PassFlags(Effect[slot]);
        if (const int program = PassProgram(Effect[slot])) {
            Programs[count] = MaterialEffect{CCRC32(kProgramNames[program]), 1.0f, 1.0f, 0.0f, PassDepth};
            pass.Effect = &Programs[count];
        }
        ++count;
    }
    if (count > 0)
        Passes[count - 1].Flags |= Material::LAST_OVERRIDE;
    return count;
}

bool GAutoDetailer::Render()
{
    CRender* owner = GetOwner();
    if (owner == nullptr || owner->GetResource() == nullptr || CRenderer::pThe == nullptr)
        return NoBaseRender != 0;
    if (FillPasses() > 0) {
        Material* materials = owner->GetMaterialList();
        const unsigned short priority = owner->GetPriority();
        owner->Attach(Passes);
        owner->SetPriority(static_cast<unsigned short>(priority + ModPriority));
        CRenderer::pThe->RenderForced(owner);
        owner->Attach(materials);
        owner->SetPriority(priority);
    }
    return NoBaseRender != 0;
}
