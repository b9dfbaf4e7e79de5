#include "engine/render/CRendPCXMesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/include/RhuTypes.h"
#include "engine/render/CLightTree.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendPCXMesh) == sizeof(rhu::CRendPCXMesh), "CRendPCXMesh differs from the record header");

ZEL_REGISTER_RECORD(CRendPCXMesh);

int CRendPCXMesh::LiveVertexBuffers = 0;
int CRendPCXMesh::LiveIndexBuffers = 0;

namespace {

const unsigned long kShellKey = CCRC32::GetCRC("Effect_Shell");
const unsigned long kEnvironmentKey = CCRC32::GetCRC("Effect_UVGen_Environment");
const unsigned long kVertexStride = sizeof(rhu::PCXBufferV01);
const float kMorphThreshold = 0.0001f;

// Sub-mesh flags.
enum : unsigned long {
    SUB_DEPTH_TEST = 0x01,
    SUB_DEPTH_WRITE = 0x02,
    SUB_CULL_BACK = 0x200,
    SUB_CULL_FRONT = 0x400,
    SUB_SORT_SOLID = 0x10000,
    SUB_SORT_ALPHA = 0x20000,
};

bool Inside(const void* p, unsigned long bytes) { return bytes == 0 || (p && CZelFile::IsLoadedData(p, bytes)); }

MaterialData* MaterialsOf(rhu::PCXSubMesh& sub) { return reinterpret_cast<MaterialData*>(sub.pMaterialData); }

} // namespace

// What a file gives is checked before anything is built from it: a sub-mesh whose records or
// indices reach outside its file or its vertices is not drawn.
bool CRendPCXMesh::CheckSubMesh(const rhu::PCXSubMesh& sub, const char* label, int index)
{
    auto refuse = [&](const char* what) {
        std::printf("Mesh %s, sub-mesh %d: %s; it is not drawn\n", label, index, what);
        return false;
    };
    if (sub.NumBuffers < 0 || sub.NumMaterials < 0)
        return refuse("negative buffer or material count");
    if (!Inside(sub.pBuffers, sub.NumBuffers * sizeof(rhu::PCXBufferDesc)))
        return refuse("buffer descriptors outside the file");
    if (!Inside(sub.pMaterialData, sub.NumMaterials * sizeof(MaterialData)))
        return refuse("material slots outside the file");
    const MaterialData* slots = reinterpret_cast<const MaterialData*>(sub.pMaterialData);
    for (int m = 0; m < sub.NumMaterials; ++m) {
        const MaterialData& slot = slots[m];
        const unsigned long variants =
            slot.NumMaterials > slot.DefaultMaterial ? slot.NumMaterials : slot.DefaultMaterial + 1u;
        if (!slot.pMaterial || !Inside(slot.pMaterial, variants * sizeof(Material)))
            return refuse("a material outside the file");
        for (unsigned long v = 0; v < variants; ++v) {
            const Material& material = slot.pMaterial[v];
            if ((material.pTexture && !Inside(material.pTexture, sizeof(CRendTexture))) ||
                (material.Effect && !Inside(material.Effect, sizeof(MaterialEffect))))
                return refuse("a material's texture or effect outside the file");
        }
    }
    long vertices = -1;
    for (int b = 0; b < sub.NumBuffers; ++b) {
        const rhu::PCXBufferDesc& d = sub.pBuffers[b];
        if (d.NumElements < 0 || d.RawSize < 0 || !Inside(d.pData, static_cast<unsigned long>(d.RawSize)))
            return refuse("buffer data outside the file");
        const unsigned long unit = d.Version == kVertexData ? kVertexStride : d.Version == kIndexData ? 2 : 0;
        if (static_cast<unsigned long long>(d.NumElements) * unit > static_cast<unsigned long>(d.RawSize))
            return refuse("a buffer with fewer bytes than its elements need");
        if (d.Version == kVertexData && (vertices < 0 || d.NumElements < vertices))
            vertices = d.NumElements;
    }
    for (int b = 0; b < sub.NumBuffers; ++b) {
        const rhu::PCXBufferDesc& d = sub.pBuffers[b];
        if (d.Version != kIndexData)
            continue;
        const unsigned short* indices = static_cast<const unsigned short*>(d.pData);
        for (long i = 0; i < d.NumElements; ++i)
            if (indices[i] >= vertices)
                return refuse("an index past the vertices");
    }
    return true;
}

CRendPCXMesh::CRendPCXMesh()
{
    const bool fromFile = CZelFile::IsLoadedData(this, sizeof *this);
    if (fromFile && (NumSubs < 0 || !Inside(pSubs, NumSubs * sizeof(rhu::PCXSubMesh)))) {
        std::printf("Mesh %s: its sub-meshes lie outside its file; it is not drawn\n", MeshLabel(this));
        NumSubs = 0;
        return;
    }
    for (int s = 0; s < NumSubs; ++s) {
        rhu::PCXSubMesh& sub = pSubs[s];
        if (fromFile && !CheckSubMesh(sub, MeshLabel(this), s)) {
            sub.NumBuffers = 0;
            continue;
        }
        CreateBuffers(sub);
    }
}

CRendPCXMesh::~CRendPCXMesh()
{
    for (int s = 0; s < NumSubs; ++s)
        ReleaseBuffers(pSubs[s]);
}

void CRendPCXMesh::CreateBuffers(rhu::PCXSubMesh& sub)
{
    IDirect3DDevice9* device = CRenderer::GetDevice().GetDevice();
    for (int b = 0; b < sub.NumBuffers; ++b) {
        rhu::PCXBufferDesc& d = sub.pBuffers[b];
        d.pDXHandle = nullptr;
        if (!device || d.RawSize <= 0 || (d.Version != kVertexData && d.Version != kIndexData))
            continue;
        void* bits = nullptr;
        if (d.Version == kVertexData) {
            IDirect3DVertexBuffer9* buffer = nullptr;
            if (device->CreateVertexBuffer(d.RawSize, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &buffer, nullptr) !=
                D3D_OK)
                continue;
            if (buffer->Lock(0, 0, &bits, 0) == D3D_OK) {
                std::memcpy(bits, d.pData, d.RawSize);
                buffer->Unlock();
            }
            d.pDXHandle = buffer;
            ++LiveVertexBuffers;
        } else {
            IDirect3DIndexBuffer9* buffer = nullptr;
            if (device->CreateIndexBuffer(d.RawSize, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &buffer,
                                          nullptr) != D3D_OK)
                continue;
            if (buffer->Lock(0, 0, &bits, 0) == D3D_OK) {
                std::memcpy(bits, d.pData, d.RawSize);
                buffer->Unlock();
            }
            d.pDXHandle = buffer;
            ++LiveIndexBuffers;
        }
    }
}

void CRendPCXMesh::ReleaseBuffers(rhu::PCXSubMesh& sub)
{
    // Without a device its buffers went with it.
    const bool device = CRenderer::GetDevice().GetDevice() != nullptr;
    for (int b = 0; b < sub.NumBuffers; ++b) {
        rhu::PCXBufferDesc& d = sub.pBuffers[b];
        if (!d.pDXHandle)
            continue;
        if (d.Version == kVertexData) {
            if (device)
                static_cast<IDirect3DVertexBuffer9*>(d.pDXHandle)->Release();
            --LiveVertexBuffers;
        } else if (d.Version == kIndexData) {
            if (device)
                static_cast<IDirect3DIndexBuffer9*>(d.pDXHandle)->Release();
            --LiveIndexBuffers;
        }
        d.pDXHandle = nullptr;
    }
}

void CRendPCXMesh::Render(CRender* render)
{
    CRendWorkspace* workspace = render->GetWorkspace();
    CMatrix* world = nullptr;
    CRender* drawn = nullptr;
    if (!workspace || !workspace->Prepare(&world, &drawn) || !world || !drawn)
        return;
    const CVector4 white(1.0f, 1.0f, 1.0f, 1.0f);
    const CVector4& colour = render->GetColour() ? *render->GetColour() : white;
    const CVector position(world->m12, world->m13, world->m14);
    for (int s = 0; s < NumSubs; ++s)
        DrawSubMesh(pSubs[s], *world, drawn->GetLerpValue(), render->GetMaterialList(), colour, position,
                    render->GetMergedPriority());
}

namespace {

CVector Times(const CVector& v, const CVector4& c) { return CVector(v.x * c.x, v.y * c.y, v.z * c.z); }

// Render flags and cull flags of one material of a sub-mesh.
void ChooseFlags(DrawState& state, unsigned long subFlags, const Material& m, const MaterialData& slot, float alpha)
{
    const unsigned long mf = m.Flags;
    unsigned long flags = subFlags & (DRAW_DEPTH_TEST | DRAW_DEPTH_WRITE);
    if ((mf & (Material::REPLACE_ALPHA | Material::MULTIPLY_ALPHA)) || (slot.Flags & MaterialData::ALPHA) ||
        alpha < 1.0f)
        flags |= DRAW_ALPHA_BLEND;
    if (slot.Flags & MaterialData::ALPHA_TEST)
        flags |= DRAW_ALPHA_TEST;
    if (slot.Flags & MaterialData::WRAP)
        flags |= DRAW_WRAP;
    if ((mf & Material::ADDITIVE) || (slot.Flags & MaterialData::ADDITIVE))
        flags |= DRAW_ADDITIVE;
    if (mf & Material::NO_DEPTH_TEST)
        flags &= ~static_cast<unsigned long>(DRAW_DEPTH_TEST);
    if (mf & Material::NO_DEPTH_WRITE)
        flags &= ~static_cast<unsigned long>(DRAW_DEPTH_WRITE);
    state.RenderFlags = flags & CRenderer::GetRenderMask();
    state.CullFlags = (mf & Material::NO_CULL) ? 0 : subFlags & (CULL_CLOCKWISE | CULL_COUNTER_CLOCKWISE);
    const float ref = m.Alpha * 255.0f;
    state.AlphaRef = static_cast<DWORD>(ref <= 0.0f ? 0.0f : ref >= 255.0f ? 255.0f : ref);
}

} // namespace

void CRendPCXMesh::DrawSubMesh(rhu::PCXSubMesh& sub, const CMatrix& world, float frame, const Material* overrides,
                               const CVector4& colour, const CVector& position, unsigned long sortKey)
{
    if (sub.NumBuffers <= 1)
        return;
    CRenderDevice& device = CRenderer::GetDevice();
    const int viewport = GetCurrentViewport();
    const ViewportTransform* v = GetViewportTransform(viewport);
    if (!v)
        return;
    const unsigned long variant = CRenderer::pThe ? CRenderer::pThe->GetViewportMaterialIndex(viewport) : 0;
    MaterialData* slots = MaterialsOf(sub);
    for (int m = 0; m < sub.NumMaterials; ++m)
        slots[m].pUsedMaterial =
            slots[m].pMaterial + (variant < slots[m].NumMaterials ? variant : slots[m].DefaultMaterial);

    // Morph frame: the integer part picks the buffer, a fraction blends in the next one.
    const int frames = sub.NumBuffers - 1;
    float whole = std::floor(frame);
    if (!(whole >= 0.0f))
        whole = 0.0f;
    if (whole > float(frames - 1))
        whole = float(frames - 1);
    const int i = static_cast<int>(whole);
    float fraction = frame - whole;
    if (frame > float(frames - 1) || !(fraction == fraction))
        fraction = 0.0f;
    const bool morph = std::fabs(fraction) > kMorphThreshold && frames > 1;
    const rhu::PCXBufferDesc& indices = sub.pBuffers[0];
    const rhu::PCXBufferDesc& vertices = sub.pBuffers[i + 1];
    const rhu::PCXBufferDesc& second = sub.pBuffers[i + 2 < sub.NumBuffers ? i + 2 : sub.NumBuffers - 1];

    const CMatrix& view = v->Camera;
    const float depth = position.x * view.m2 + position.y * view.m6 + position.z * view.m10 + view.m14;
    const CLightSet* lights = CLightTree::The().FindLightSet(viewport, position);

    PushLoadMatrix(world);
    for (int m = 0; m < sub.NumMaterials; ++m) {
        Material material = *slots[m].pUsedMaterial;
        material.ApplyOverrides(overrides);
        if (material.Flags & Material::HIDDEN)
            continue;
        const MaterialEffect* effect = material.Effect;
        const unsigned long effectKey = effect ? effect->Name : 0;
        ShaderFamily family = morph ? kFamilyMorphShell : kFamilyBasic;
        CVector4 c3(0.0f, 0.0f, 1.0f, 1.0f);
        float uScroll = material.UScroll, vScroll = material.VScroll;
        if (effectKey == kShellKey) {
            family = morph ? kFamilyMorphShell : kFamilyShell;
            c3 = CVector4(effect->Width * 0.01f, 0.0f, effect->Scale, effect->Scale);
            uScroll = effect->UScroll;
            vScroll = effect->VScroll;
        } else if (effectKey == kEnvironmentKey) {
            family = kFamilyEnvironment;
            c3 = CVector4(-effect->Width * 0.01f, 0.0f, 1.0f, 1.0f);
            uScroll = vScroll = 0.0f;
        }
        const bool lit = (slots[m].Flags & MaterialData::LIGHT) != 0;
        const float alpha = material.Alpha * colour.w;

        DrawState* state = device.NewState();
        if (!state)
            continue; // the frame starts again with larger buffers
        state->ShaderSlot = static_cast<unsigned char>(ShaderSlot(family, lit));
        state->FamilyFlags = static_cast<unsigned char>((lit ? 1 : 0) | (effectKey == kShellKey ? 2 : 0));
        state->Kind = kDrawMesh;
        state->pLightSet = lights;
        state->C(1) = CVector4(viewport != 7 ? 1.0f : 0.0f, morph ? fraction : 0.0f, uScroll, vScroll);
        state->C(2) = CVector4(0.0f, 0.0f, 0.0f, 0.0f);
        c3.y = device.GetActiveSettings().OutlineDepthWidth;
        if (effectKey != kShellKey && effectKey != kEnvironmentKey)
            c3.x = device.GetActiveSettings().OutlineWidth;
        state->C(3) = c3;
        const CVector diffuse = Times(material.Diffuse, colour), ambient = Times(material.Ambient, colour),
                      emissive = Times(material.Emissive, colour);
        state->C(16) = CVector4(diffuse.x, diffuse.y, diffuse.z, 1.0f);
        state->C(17) = CVector4(ambient.x, ambient.y, ambient.z, 1.0f);
        state->C(18) = CVector4(emissive.x, emissive.y, emissive.z, alpha);
        state->MaterialAlpha = alpha;
        ChooseFlags(*state, sub.Flags, material, slots[m], alpha);
        state->pTexture = material.pTexture ? material.pTexture->GetDeviceTexture() : nullptr;
        state->pIndices = static_cast<IDirect3DIndexBuffer9*>(indices.pDXHandle);
        state->pVertices = static_cast<IDirect3DVertexBuffer9*>(vertices.pDXHandle);
        state->pSecondStream = morph ? static_cast<IDirect3DVertexBuffer9*>(second.pDXHandle) : nullptr;
        state->VertexCount = static_cast<UINT>(vertices.NumElements);
        state->IndexCount = static_cast<UINT>(indices.NumElements);

        const bool opaque =
            !(state->RenderFlags & (DRAW_ALPHA_BLEND | DRAW_ADDITIVE_2)) && !(sub.Flags & SUB_SORT_ALPHA);
        if (opaque || (sub.Flags & SUB_SORT_SOLID)) {
            if (DrawEntry* entry = device.AllocDraw(1))
                *entry = DrawEntry{sortKey, reinterpret_cast<unsigned long>(state->pTexture), state, nullptr};
        } else if (EffectEntry* entry = device.AllocEffect(1)) {
            state->FamilyFlags &= static_cast<unsigned char>(~2);
            *entry = EffectEntry{sortKey, depth - (effect ? effect->Width : 0.0f), state, nullptr};
        }
    }
    PopMatrix();
}
