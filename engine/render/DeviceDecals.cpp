// Playback of the decal list: the layer's terrain decals, drawn where the decal marker sorts
// into the draw list, each over the ground it was cut from.
#include "engine/render/CLightTree.h"
#include "engine/render/CRenderDevice.h"

namespace {

const DWORD kDecalFVF = 0x112; // position, normal, one coordinate pair
const UINT kDecalStride = 32;

} // namespace

void CRenderDevice::PlayDecalList()
{
    DecalEntry* decals = reinterpret_cast<DecalEntry*>(Buffers.Decals.pBase);
    const unsigned long count = Buffers.Decals.Count();
    SortDecalList(decals, count);
    for (unsigned long i = 0; i < count; ++i) {
        if (!decals[i].pState)
            continue;
        // A decal always blends over the ground (by its alpha unless it is additive) and is lit
        // through the material-alpha shader, whatever state its maker left.
        DrawState decal = *decals[i].pState;
        decal.ShaderSlot = static_cast<unsigned char>(ShaderSlot(kFamilyMaterialAlpha, true));
        decal.FamilyFlags = 1;
        if (!(decal.RenderFlags & (DRAW_ADDITIVE | DRAW_ADDITIVE_2)))
            decal.RenderFlags |= DRAW_ALPHA_BLEND;
        ApplyDrawState(decal);
        IDirect3DTexture9* texture = decal.pTexture ? decal.pTexture : pWhiteTexture;
        if (texture != CurrentTexture) {
            pDevice->SetTexture(0, texture);
            CurrentTexture = texture;
        }
        if (!Active.Shaders)
            pDevice->SetFVF(kDecalFVF);
        // Each piece is the run of cells under one light set.
        for (const DecalPiece* piece = decal.pDecalPieces; piece; piece = piece->pNext) {
            if (!piece->Cells || !piece->Vertices || !piece->pVertices || !piece->pIndices)
                continue;
            ApplyLightSet(pDevice, piece->pLightSet ? piece->pLightSet : &CLightTree::The().GetDefaultSet(),
                          Active.Shaders != 0, FogColour);
            pDevice->SetRenderState(D3DRS_FOGCOLOR, FogColour);
            pDevice->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, piece->Vertices, 2u * piece->Cells, piece->pIndices,
                                            D3DFMT_INDEX16, piece->pVertices, kDecalStride);
        }
        ++DrawsPlayed;
    }
    // The decals' state was a copy: the next draw list entry sets its own in full.
    pLastState = nullptr;
}
