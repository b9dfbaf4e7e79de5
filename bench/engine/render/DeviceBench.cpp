// The whole renderer against the same draws issued straight to the Direct3D 9 layer: a
// generated level of 500 lit, textured meshes under 32 point lights, at 640x480 and 1024x768.
// The renderer's frame animates, re-plots, culls, writes every draw into its buffers, sorts,
// builds the light partition and plays the lists back; the direct side only sets the same
// constants, textures and buffers and draws. The renderer's own cost is the difference, as a
// share of its frame.
#include <stdio.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/render/CLightTree.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/LightHandles.h"
#include "RenderBenchSupport.h"

namespace {

const float kField = 100.0f;
const int kMeshes = 500;
const int kLights = 32;

// A 6 by 6 patch of quads bulging up, as one strip with degenerate joins.
struct Patch {
    IDirect3DVertexBuffer9* Vertices = nullptr;
    IDirect3DIndexBuffer9* Indices = nullptr;
    UINT VertexCount = 0, IndexCount = 0;

    void Build(IDirect3DDevice9* d)
    {
        const int n = 7;
        std::vector<float> v;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float u = float(x) / (n - 1), w = float(y) / (n - 1);
                const float px = u * 2 - 1, py = w * 2 - 1, pz = 1.0f - (px * px + py * py) * 0.5f;
                const float len = std::sqrt(px * px + py * py + 1);
                v.insert(v.end(), {px, py, pz, px / len, py / len, 1 / len, u, w});
            }
        std::vector<WORD> i;
        for (int y = 0; y + 1 < n; ++y) {
            if (y > 0)
                i.push_back(WORD(y * n)); // degenerate join
            for (int x = 0; x < n; ++x) {
                i.push_back(WORD(y * n + x));
                i.push_back(WORD((y + 1) * n + x));
            }
            if (y + 2 < n)
                i.push_back(WORD((y + 1) * n + n - 1));
        }
        VertexCount = UINT(n * n);
        IndexCount = UINT(i.size());
        void* at = nullptr;
        d->CreateVertexBuffer(UINT(v.size() * 4), 0, 0, D3DPOOL_MANAGED, &Vertices, nullptr);
        Vertices->Lock(0, 0, &at, 0);
        std::memcpy(at, v.data(), v.size() * 4);
        Vertices->Unlock();
        d->CreateIndexBuffer(UINT(i.size() * 2), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &Indices, nullptr);
        Indices->Lock(0, 0, &at, 0);
        std::memcpy(at, i.data(), i.size() * 2);
        Indices->Unlock();
    }
};

Patch g_Patch;

// A mesh's matrix: a move to its place.
CMatrix Placement(const CVector& p)
{
    CMatrix at;
    at.SetIdentity();
    at.m12 = p.x;
    at.m13 = p.y;
    at.m14 = p.z;
    return at;
}
IDirect3DTexture9* g_Texture;

class PatchResource : public CRendResource {
public:
    void Render(CRender* render) override
    {
        const CVector& p = *render->GetPos();
        PushMultMatrix(Placement(p));
        DrawState* s = CRenderer::GetDevice().NewDrawState(0x40000000);
        PopMatrix();
        if (!s)
            return;
        s->Kind = kDrawMesh;
        s->ShaderSlot = (unsigned char)ShaderSlot(kFamilyBasic, true);
        s->pLightSet = CLightTree::The().FindLightSet(0, p);
        s->C(16) = CVector4(0.8f, 0.8f, 0.8f, 1);
        s->C(17) = CVector4(0.3f, 0.3f, 0.3f, 1);
        s->C(18) = CVector4(0, 0, 0, 1);
        s->RenderFlags = DRAW_DEPTH_TEST | DRAW_DEPTH_WRITE;
        s->CullFlags = CULL_COUNTER_CLOCKWISE;
        s->pTexture = g_Texture;
        s->pVertices = g_Patch.Vertices;
        s->pIndices = g_Patch.Indices;
        s->VertexCount = g_Patch.VertexCount;
        s->IndexCount = g_Patch.IndexCount;
    }
    int GetSize(CVector& min, CVector& max) override
    {
        min = CVector(-1, -1, 0);
        max = CVector(1, 1, 1);
        return 1;
    }
};

// One recorded draw of the renderer's last frame, as the direct side issues it.
struct DirectDraw {
    float Constants[18 * 4]; // c1-c18
    float Lights[28 * 4];    // c19-c46
    int LightRegisters;
};

double FramesPerSecond(double seconds, int frames) { return frames / seconds; }

} // namespace

int main()
{
    BenchGameFolder game("device_bench");

    printf("%d lit, textured meshes of %d triangles under %d point lights\n", kMeshes, 2 * 36, kLights);
    printf("%10s %16s %16s %12s\n", "size", "renderer fps", "direct fps", "own cost");
    for (auto size : {std::pair{640, 480}, std::pair{1024, 768}}) {
        game.WriteRenderConfig(size.first, size.second);
        CRenderer* renderer = StartBenchRenderer(0x08);
        if (!renderer)
            return 1;
        CRenderDevice& device = CRenderer::GetDevice();
        IDirect3DDevice9* d = device.GetDevice();
        g_Patch.Build(d);
        d->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &g_Texture, nullptr);
        D3DLOCKED_RECT locked;
        g_Texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                static_cast<DWORD*>(locked.pBits)[y * locked.Pitch / 4 + x] = ((x ^ y) & 8) ? 0xFFE0C080 : 0xFF6080C0;
        g_Texture->UnlockRect(0);

        LoadCameraOverField(kField);

        std::mt19937 random(7);
        std::uniform_real_distribution<float> across(0.0f, kField);
        std::vector<unsigned long> lights;
        for (int i = 0; i < kLights; ++i) {
            lights.push_back(LightHandleAquire());
            LightHandleSelect(lights.back());
            LightSetType(LightRecord::TYPE_POINT);
            LightSetPosition(CVector(across(random), across(random), 4));
            LightSetRadius(12);
            LightSetAttenuation(CVector(1, 0.05f, 0.01f));
            LightSetDiffuse(CVector(255, 200, 150));
            LightEnable(lights.back(), true);
        }
        PatchResource patch;
        std::vector<CVector> places(kMeshes);
        std::vector<CRender> renders(kMeshes);
        for (int i = 0; i < kMeshes; ++i) {
            places[size_t(i)] = CVector(across(random), across(random), 0);
            renders[size_t(i)].Attach(&places[size_t(i)], nullptr, nullptr, nullptr);
            renders[size_t(i)].Attach(&patch, 0);
            renders[size_t(i)].Link();
        }
        renderer->Process(); // grows the buffers
        int rendererFrames = 0;
        const double rendererSeconds = MeasureFrames([&] { renderer->Process(); }, rendererFrames);

        // The same draws, their constants gathered once beforehand.
        std::vector<DirectDraw> draws;
        int aliases[8] = {0, 1, 2, 3, 4, 5, 6, 7};
        RebuildFrameLightTable(0x08, true);
        CLightTree::The().Build(aliases, 0x08);
        SelectViewport(0);
        for (const CVector& p : places) {
            PushMultMatrix(Placement(p));
            DrawState* s = device.NewState();
            PopMatrix();
            if (!s) {
                printf("the state arena is full\n");
                return 1;
            }
            DirectDraw draw{};
            std::memcpy(draw.Constants, &s->C(1), sizeof draw.Constants);
            const CLightSet* set = CLightTree::The().FindLightSet(0, p);
            std::memcpy(draw.Lights, set->Registers, sizeof draw.Lights);
            draw.LightRegisters = set->RegisterCount;
            draws.push_back(draw);
        }
        const float material[3][4] = {{0.8f, 0.8f, 0.8f, 1}, {0.3f, 0.3f, 0.3f, 1}, {0, 0, 0, 1}};
        for (DirectDraw& draw : draws)
            std::memcpy(&draw.Constants[15 * 4], material, sizeof material);
        IDirect3DSurface9* back = nullptr;
        d->GetRenderTarget(0, &back);
        int directFrames = 0;
        const double directSeconds = MeasureFrames(
            [&] {
                d->SetRenderTarget(0, back);
                D3DVIEWPORT9 viewport = {0, 0, DWORD(size.first), DWORD(size.second), 0, 1};
                d->SetViewport(&viewport);
                d->BeginScene();
                d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101830, 1.0f, 0);
                d->SetRenderState(D3DRS_ZENABLE, TRUE);
                d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
                d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
                device.SelectShader(ShaderSlot(kFamilyBasic, true));
                d->SetTexture(0, g_Texture);
                d->SetIndices(g_Patch.Indices);
                d->SetStreamSource(0, g_Patch.Vertices, 0, 32);
                for (const DirectDraw& draw : draws) {
                    d->SetVertexShaderConstantF(1, draw.Constants, 18);
                    d->SetVertexShaderConstantF(19, draw.Lights, UINT(draw.LightRegisters));
                    d->SetVertexShaderConstantF(46, &draw.Lights[27 * 4], 1);
                    d->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, g_Patch.VertexCount, 0, g_Patch.IndexCount - 2);
                }
                d->EndScene();
                d->Present(nullptr, nullptr, nullptr, nullptr);
            },
            directFrames);
        back->Release();
        CLightTree::The().Free();

        const double ours = FramesPerSecond(rendererSeconds, rendererFrames);
        const double direct = FramesPerSecond(directSeconds, directFrames);
        char label[16];
        snprintf(label, sizeof label, "%dx%d", size.first, size.second);
        printf("%10s %16.2f %16.2f %11.1f%%\n", label, ours, direct, 100.0 * (1.0 - ours / direct));

        for (CRender& r : renders)
            r.Unlink();
        for (unsigned long& h : lights)
            LightHandleRelease(h);
        g_Texture->Release();
        g_Patch.Vertices->Release();
        g_Patch.Indices->Release();
        renderer->Destroy();
        GObject::DestroyObjects();
        CRenderer::Shutdown();
    }
    return 0;
}
