#pragma once
// A flare at an attach point of the parent's mesh whose look is keyed by how squarely its
// facing direction points along the camera's axis: the chain of particle definitions divides
// the key range into bands, each drawn as one textured quad blending colour and size across
// the band. It hangs on the parent's render instance and dies with it.
#include "core/math/CMatrix.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/GEffect.h"

class GKeyedFlare : public GEffect {
    DECLARE_GOBJECT(GKeyedFlare, GEffect)

    GKeyedFlare();

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Eject(CRender* owner) override;
    bool Render() override;

    rhu::ParticleDef* pParticle; // head of the band chain
    DWORD ParentAttach;          // name key of the parent's attach point that carries the flare
    CVector Offset;              // facing direction in the attach point's frame
    float FOWMode;               // 0 always drawn; above 0 not outside the fog grid; above 1 not in fog
    DWORD RendPriority;

private:
    struct Frame {
        CVector position;
        CVector facing;   // the flare's facing, normalised
        CVector axis;     // the camera's viewing axis, normalised
        CVector toCamera; // from the flare to the camera, normalised
        CVector side, up; // the quad's axes in camera-facing mode
        CVector cameraAngles;
        CVector4 tint;
        float visibility;
        float quadScale;
    };
    // False when nothing is to be drawn.
    bool BuildFrame(Frame& frame);
    bool FogTint(CVector& position, CVector4& tint) const;
    void DrawBand(const rhu::ParticleDef& band, float t, const Frame& frame) const;
};
