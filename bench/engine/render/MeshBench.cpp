// Mesh drawing: 2,000 renders of a packed mesh (a 6 by 6 patch of quads in one strip) a frame
// through the whole renderer (workspaces, culling, DrawSubMesh, sorting, playback), against the
// same draws issued straight to the Direct3D 9 layer: the same constants, texture, buffers and
// one indexed strip each. Both sides rasterize the same pixels; the ratio is the renderer's
// CPU time per frame over the direct side's.
#include <stdio.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "../../BenchStats.h"
#include "RenderBenchSupport.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRendPCXMesh.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

namespace {

const int kMeshes = 2000;
const float kField = 100.0f;

struct PatchMesh {
    std::vector<float> Vertices;
    std::vector<unsigned short> Indices;
    Material Surface;
    MaterialData Slot;
    rhu::PCXBufferDesc Buffers[2];
    rhu::PCXSubMesh Sub;
    alignas(4) unsigned char Record[sizeof(CRendPCXMesh)];

    PatchMesh()
    {
        const int n = 7;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float u = float(x) / (n - 1), w = float(y) / (n - 1);
                const float px = u - 0.5f, py = w - 0.5f, pz = 0.5f - (px * px + py * py);
                Vertices.insert(Vertices.end(), {px, py, pz, 0, 0, 1, u, w});
            }
        for (int y = 0; y + 1 < n; ++y) {
            if (y > 0)
                Indices.push_back(static_cast<unsigned short>(y * n));
            for (int x = 0; x < n; ++x) {
                Indices.push_back(static_cast<unsigned short>(y * n + x));
                Indices.push_back(static_cast<unsigned short>((y + 1) * n + x));
            }
            if (y + 2 < n)
                Indices.push_back(static_cast<unsigned short>((y + 1) * n + n - 1));
        }
        std::memset(&Surface, 0, sizeof Surface);
        Surface.Diffuse = CVector(0.8f, 0.7f, 0.6f);
        Surface.Ambient = CVector(0.3f, 0.3f, 0.3f);
        Surface.Alpha = 1.0f;
        Slot = MaterialData{1, 0, &Surface, nullptr, 0, 0, MaterialData::LIGHT};
        Buffers[0] = rhu::PCXBufferDesc{CRendPCXMesh::kIndexData, 0,       long(Indices.size()),
                                        long(Indices.size() * 2), nullptr, Indices.data()};
        Buffers[1] = rhu::PCXBufferDesc{CRendPCXMesh::kVertexData, 0,       n * n,
                                        long(Vertices.size() * 4), nullptr, Vertices.data()};
        Sub = rhu::PCXSubMesh{0x203, 0.0f, 1, 2, reinterpret_cast<rhu::MaterialData*>(&Slot), Buffers};
        std::memset(Record, 0, sizeof Record);
        CRendPCXMesh* mesh = Get();
        mesh->MinSize = CVector(-0.5f, -0.5f, 0);
        mesh->MaxSize = CVector(0.5f, 0.5f, 0.5f);
        mesh->NumSubs = 1;
        mesh->pSubs = &Sub;
        new (mesh) CRendPCXMesh;
    }
    CRendPCXMesh* Get() { return reinterpret_cast<CRendPCXMesh*>(Record); }
};

// What the renderer recorded for one draw, replayed by the direct side.
struct Recorded {
    float Constants[18 * 4];
};

} // namespace

int main()
{
    BenchGameFolder game("mesh_bench");
    game.WriteRenderConfig(640, 480);
    CRenderer* renderer = StartBenchRenderer(0);
    if (!renderer)
        return 1;
    LoadCameraOverField(kField);

    PatchMesh patch;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> across(0.0f, kField);
    std::vector<CVector> places(kMeshes), turns(kMeshes, CVector(0, 0, 0));
    std::vector<CRender> renders(kMeshes);
    CVector4 white(1, 1, 1, 1);
    for (int i = 0; i < kMeshes; ++i) {
        places[size_t(i)] = CVector(across(random), across(random), 0);
        renders[size_t(i)].Attach(&places[size_t(i)], &turns[size_t(i)], &white, nullptr);
        renders[size_t(i)].Attach(patch.Get(), 0);
        renders[size_t(i)].Link();
    }

    // The draws of one renderer frame, for the direct side.
    renderer->Process();
    const int drawn = CRenderer::GetDevice().GetLastDrawCount();
    IDirect3DDevice9* d = CRenderer::GetDevice().GetDevice();
    std::vector<CMatrix> worlds(kMeshes);
    for (int i = 0; i < kMeshes; ++i) {
        worlds[size_t(i)].SetEuler_XYZS(places[size_t(i)], turns[size_t(i)]);
    }
    const ViewportTransform* v = GetViewportTransform(0);
    auto direct = [&]() {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x101830, 1.0f, 0);
        d->BeginScene();
        d->SetIndices(static_cast<IDirect3DIndexBuffer9*>(patch.Buffers[0].pDXHandle));
        d->SetStreamSource(0, static_cast<IDirect3DVertexBuffer9*>(patch.Buffers[1].pDXHandle), 0, 32);
        float constants[18 * 4] = {};
        for (int i = 0; i < drawn && i < kMeshes; ++i) {
            CMatrix wv, wvp;
            wv.Multiply(worlds[size_t(i)], v->Camera);
            wvp.Multiply(wv, v->Projection);
            for (int c = 0; c < 4; ++c)
                for (int r = 0; r < 4; ++r)
                    constants[(11 + c) * 4 + r] = wvp.m[4 * r + c];
            d->SetVertexShaderConstantF(1, constants, 18);
            d->SetTexture(0, nullptr);
            d->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 49, 0, UINT(patch.Indices.size() - 2));
        }
        d->EndScene();
        d->Present(nullptr, nullptr, nullptr, nullptr);
    };
    auto ours = [&]() { renderer->Process(); };

    BenchTimes oursTimes, directTimes;
    for (int round = 0; round < 7; ++round) {
        oursTimes.Add(TimeOnce(ours));
        directTimes.Add(TimeOnce(direct));
    }
    printf("%d renders of one packed mesh (%d triangles), %d drawn a frame at 640x480\n", kMeshes,
           int(patch.Indices.size() - 2), drawn);
    printf("%-28s %12s\n", "", "ms per frame (median of 7)");
    printf("%-28s %12.2f\n", "renderer (DrawSubMesh path)", oursTimes.Median() * 1e3);
    printf("%-28s %12.2f\n", "bare compat/d3d9 calls", directTimes.Median() * 1e3);
    printf("ratio %.3f (overhead %.1f%%)\n", oursTimes.Median() / directTimes.Median(),
           (oursTimes.Median() / directTimes.Median() - 1.0) * 100.0);
    for (CRender& r : renders)
        r.Unlink();
    return 0;
}
