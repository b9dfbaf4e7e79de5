#pragma once
// Live editors of one emitter definition and one particle definition. The editor's editable
// fields are bound to a working copy; every Process copies the working copy back over the
// definition, so a change reaches every effect that uses it at once. While the game is paused
// for editing the editor shows its marker resource at its position.
#include "engine/include/RhuTypes.h"
#include "engine/object/GPosRot.h"
#include "engine/render/CRender.h"

class CRendResource;

class GDefinitionEditBase : public GPosRot {
protected:
    GDefinitionEditBase();
    // Shows or hides the marker with the editing pause.
    void ShowMarker();
    // Copies a newly chosen definition into the working copy, then the copy back over it.
    void Exchange(void* edited, void*& seen, void* copy, unsigned long bytes);
    // Update messages run Process at once; others go to the usual handlers.
    bool HandleMessage(CMessage* message);

public:
    CRendResource* pResource;
    int Shown;
    CRender Marker;
};

class GEmitterEdit : public GDefinitionEditBase {
    DECLARE_GOBJECT(GEmitterEdit, GPosRot)

    GEmitterEdit();
    bool Process() override;
    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    rhu::EmitterDef* pEmitter;
    void* pSeen;
    rhu::EmitterDef Emit;
};

class GParticleEdit : public GDefinitionEditBase {
    DECLARE_GOBJECT(GParticleEdit, GPosRot)

    GParticleEdit();
    bool Process() override;
    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    rhu::ParticleDef* pParticle;
    void* pSeen;
    rhu::ParticleDef Part;
};
