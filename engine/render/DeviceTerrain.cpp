// The back end of the terrain drawing: three-texture batch states, the frame's pool of
// vertex and index blocks, and the playback of a batch in as many passes as the pass limit
// needs.
#include <d3d9.h>

#include "core/math/CMatrix.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/Camera.h"
#include "engine/render/Material.h"

namespace {

const DWORD kTerrainFVF = 0x352; // position, normal, colour, three coordinate pairs
const unsigned long kTerrainRenderFlags = 0x803;

} // namespace

DrawState* CRenderDevice::BeginTerrainBatch(const TerrainBatchSetup& setup, float, float originX, float originY)
{
    CMatrix translation;
    translation.SetIdentity();
    translation.m[12] = originX;
    translation.m[13] = originY;
    PushLoadMatrix(translation);
    DrawState* state = NewState();
    PopMatrix();
    if (!state)
        return nullptr;
    const Material& base = *setup.Materials[0];
    const Material* second = setup.Layers > 1 ? setup.Materials[1] : nullptr;
    const Material* third = setup.Layers > 2 ? setup.Materials[2] : nullptr;
    state->Kind = kDrawThreeTexture;
    state->ShaderSlot = static_cast<unsigned char>(ShaderSlot(kFamilyThreeSetsA, true));
    state->FamilyFlags = 1;
    state->pLightSet = setup.Lights;
    state->AlphaRef = 127;
    state->C(16) = CVector4(base.Diffuse.x, base.Diffuse.y, base.Diffuse.z, 1.0f);
    state->C(17) = CVector4(base.Ambient.x, base.Ambient.y, base.Ambient.z, 1.0f);
    state->C(18) = CVector4(base.Emissive.x, base.Emissive.y, base.Emissive.z, base.Alpha);
    state->MaterialAlpha = base.Alpha;
    state->C(1) = CVector4(1.0f, 0.0f, base.UScroll, base.VScroll);
    state->C(2) = CVector4(second ? second->UScroll : 0.0f, second ? second->VScroll : 0.0f,
                           third ? third->UScroll : 0.0f, third ? third->VScroll : 0.0f);
    state->C(3) = CVector4(0, 0, 0, 0);
    state->pTexture = setup.Textures[0];
    state->pTexture2 = second ? setup.Textures[1] : nullptr;
    state->pTexture3 = third ? setup.Textures[2] : nullptr;
    // Clockwise on screen is the underside in this engine's camera convention (x right, y away, z
    // up): culling it keeps the ground seen from above.
    state->CullFlags = CULL_CLOCKWISE;
    state->RenderFlags = kTerrainRenderFlags | (setup.Blend ? static_cast<unsigned long>(DRAW_ALPHA_BLEND) : 0ul);
    return state;
}

TerrainBlock* CRenderDevice::NextTerrainBlock()
{
    TerrainBlock* block = static_cast<TerrainBlock*>(AllocState(sizeof(TerrainBlock)));
    if (!block || !pDevice)
        return nullptr;
    if (TerrainBuffersUsed == TerrainBuffers.size()) {
        const size_t grown = TerrainBuffers.size() < 64 ? 128 : 2 * TerrainBuffers.size();
        while (TerrainBuffers.size() < grown) {
            IDirect3DVertexBuffer9* vertices = nullptr;
            IDirect3DIndexBuffer9* indices = nullptr;
            if (pDevice->CreateVertexBuffer(kTerrainBlockVertices * sizeof(TerrainVertex), D3DUSAGE_WRITEONLY, 0,
                                            D3DPOOL_MANAGED, &vertices, nullptr) != D3D_OK)
                return nullptr;
            if (pDevice->CreateIndexBuffer(kTerrainBlockIndices * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                           D3DPOOL_MANAGED, &indices, nullptr) != D3D_OK) {
                vertices->Release();
                return nullptr;
            }
            TerrainBuffers.emplace_back(vertices, indices);
        }
    }
    auto& pair = TerrainBuffers[TerrainBuffersUsed];
    void* vertexWrite = nullptr;
    void* indexWrite = nullptr;
    if (pair.first->Lock(0, 0, &vertexWrite, 0) != D3D_OK)
        return nullptr;
    if (pair.second->Lock(0, 0, &indexWrite, 0) != D3D_OK) {
        pair.first->Unlock();
        return nullptr;
    }
    ++TerrainBuffersUsed;
    *block = TerrainBlock{
        0,          0,          static_cast<unsigned short*>(indexWrite), static_cast<TerrainVertex*>(vertexWrite),
        pair.first, pair.second};
    return block;
}

void CRenderDevice::ReleaseTerrainBuffers()
{
    for (auto& pair : TerrainBuffers) {
        pair.first->Release();
        pair.second->Release();
    }
    TerrainBuffers.clear();
    TerrainBuffersUsed = 0;
}

// Stages for a pass over layers first .. first + count - 1: the first layer's texture, each
// further one blended over it by its own alpha, then the vertex colour by modulate (or
// add-smooth). With shaders the family routes the pass's coordinate pairs to its stages;
// without, each stage names its pair.
void CRenderDevice::SetTerrainStages(const DrawState& s, int first, int count)
{
    IDirect3DTexture9* const textures[3] = {s.pTexture, s.pTexture2, s.pTexture3};
    const DWORD combine = (EngineFlags & FLAG_ADD_SMOOTH) ? DWORD(D3DTOP_ADDSMOOTH) : DWORD(D3DTOP_MODULATE);
    for (int k = 0; k < count; ++k) {
        IDirect3DTexture9* texture = textures[first + k] ? textures[first + k] : pWhiteTexture;
        pDevice->SetTexture(DWORD(k), texture);
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_TEXCOORDINDEX, Active.Shaders ? DWORD(k) : DWORD(first + k));
        const bool only = count == 1;
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_COLORARG1, D3DTA_TEXTURE);
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_COLORARG2, only ? D3DTA_DIFFUSE : D3DTA_CURRENT);
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_COLOROP,
                                      only     ? combine
                                      : k == 0 ? DWORD(D3DTOP_SELECTARG1)
                                               : DWORD(D3DTOP_BLENDTEXTUREALPHA));
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        pDevice->SetTextureStageState(DWORD(k), D3DTSS_ALPHAOP, k == 0 ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2);
    }
    DWORD next = DWORD(count);
    if (count > 1) {
        pDevice->SetTexture(next, nullptr);
        pDevice->SetTextureStageState(next, D3DTSS_COLORARG1, D3DTA_CURRENT);
        pDevice->SetTextureStageState(next, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        pDevice->SetTextureStageState(next, D3DTSS_COLOROP, combine);
        pDevice->SetTextureStageState(next, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        pDevice->SetTextureStageState(next, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        ++next;
    }
    if (next < 4)
        pDevice->SetTextureStageState(next, D3DTSS_COLOROP, D3DTOP_DISABLE);
    CurrentTexture = nullptr;
}

void CRenderDevice::DrawThreeTexture(const DrawState& s, const void* data)
{
    const TerrainBlock* block = static_cast<const TerrainBlock*>(data);
    if (!block || !block->Triangles)
        return;
    pDevice->SetIndices(block->pIndices);
    pDevice->SetStreamSource(0, block->pVertices, 0, sizeof(TerrainVertex));
    if (Active.Shaders)
        pDevice->SetStreamSource(1, nullptr, 0, 0);
    else {
        pDevice->SetFVF(kTerrainFVF);
        pDevice->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    }
    const int layers = s.pTexture3 ? 3 : s.pTexture2 ? 2 : 1;
    const int limit = Active.PassLimit < 1 ? 1 : Active.PassLimit;
    // Each pass takes as many layers as the limit allows; later passes blend over the first by
    // their alpha, which gives the same picture because the vertex colour multiplies every layer.
    static const ShaderFamily kFamilies[3] = {kFamilyThreeSetsA, kFamilyThreeSetsB, kFamilyThreeSetsC};
    for (int first = 0; first < layers;) {
        const int count = first == 0 ? (layers < limit ? layers : limit) : 1;
        if (first > 0) {
            pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            pDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            pDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
            if (Active.Shaders)
                SelectShader(ShaderSlot(kFamilies[first], true));
        }
        SetTerrainStages(s, first, count);
        pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, block->Vertices, 0, block->Triangles);
        first += count;
    }
    if (layers > 1 && limit < layers) {
        // The extra passes changed blending, depth writes and the shader behind the caches.
        CurrentBlend = -1;
        pDevice->SetRenderState(D3DRS_ZWRITEENABLE, (s.RenderFlags & DRAW_DEPTH_WRITE) ? TRUE : FALSE);
        if (Active.Shaders)
            SelectShader(s.ShaderSlot);
    }
    for (DWORD stage = 0; stage < 4; ++stage)
        pDevice->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    if (!Active.Shaders)
        pDevice->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
}
