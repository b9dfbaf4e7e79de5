// The whole renderer against the same draws issued straight to the Direct3D 9 layer: a
// generated level of 500 lit, textured meshes under 32 point lights, at 640x480 and 1024x768.
// The renderer's frame animates, re-plots, culls, writes every draw into its buffers, sorts,
// builds the light partition and plays the lists back. The peer replays a tape of every device
// call one of the renderer's frames made, with its data: the same calls, in the same order,
// drawing the same pixels, with none of the renderer's work. The renderer's own cost is the
// difference, as a share of its frame.
#include <stdio.h>

#include <algorithm>
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
#include "../../BenchStats.h"
#include "DeviceTape.h"
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

// The back buffer's pixels after a frame.
std::vector<DWORD> BackBuffer(IDirect3DDevice9* d)
{
    IDirect3DSurface9* back = nullptr;
    d->GetRenderTarget(0, &back);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    D3DLOCKED_RECT locked;
    back->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    std::vector<DWORD> pixels(size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&pixels[size_t(y) * desc.Width], static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch,
                    desc.Width * 4);
    back->UnlockRect();
    back->Release();
    return pixels;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

const int kRounds = 5;
const int kFramesPerRound = 2;
const int kDryFrames = 41;

} // namespace

int main()
{
    BenchGameFolder game("device_bench");

    printf("%d lit, textured meshes of %d triangles under %d point lights; medians of %d frames a side,\n"
           "taken in turn; the share's spread is over %d rounds of %d frames. Dry frames (no draws,\n"
           "clears or presents; medians of %d a side): the renderer's own time is ours less the\n"
           "peer's, its share the part of our whole frame it takes\n",
           kMeshes, 2 * 36, kLights, kRounds * kFramesPerRound, kRounds, kFramesPerRound, kDryFrames);
    printf("%10s %5s %6s %5s %9s %9s %8s %8s %8s %8s %8s %8s\n", "size", "draws", "calls", "same", "ours fps",
           "peer fps", "share", "lowest", "highest", "dry ms", "peer ms", "own");
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
        renderer->Process();

        // One steady frame recorded; its replay must draw the very same pixels.
        IDirect3DDevice9* taped = TapedDevice();
        CallTape tape;
        StartRecording(tape);
        renderer->Process();
        StopRecording();
        if (UnrecordedCalls() != 0) {
            printf("the frame made %d calls the tape cannot repeat\n", UnrecordedCalls());
            return 1;
        }
        const int draws = device.GetLastDrawCount();
        const std::vector<DWORD> drawn = BackBuffer(taped);
        tape.Replay(taped);
        const bool same = BackBuffer(taped) == drawn;

        // The two sides frame by frame in turn, so both meet the same load on the machine.
        std::vector<double> ours, peer, shares;
        for (int round = 0; round < kRounds; ++round) {
            std::vector<double> roundOurs, roundPeer;
            for (int frame = 0; frame < kFramesPerRound; ++frame) {
                roundOurs.push_back(TimeOnce([&] { renderer->Process(); }));
                roundPeer.push_back(TimeOnce([&] { tape.Replay(taped); }));
            }
            ours.insert(ours.end(), roundOurs.begin(), roundOurs.end());
            peer.insert(peer.end(), roundPeer.begin(), roundPeer.end());
            shares.push_back(1.0 - Median(roundPeer) / Median(roundOurs));
        }
        // The renderer's own time is small beside the rasterizer's and lost in its noise: dry
        // frames, which draw nothing, leave only the work that makes the calls, the same device
        // state calls on both sides.
        std::vector<double> dryOurs, dryPeer;
        SetDry(true);
        for (int frame = 0; frame < kDryFrames; ++frame) {
            dryOurs.push_back(TimeOnce([&] { renderer->Process(); }));
            dryPeer.push_back(TimeOnce([&] { tape.Replay(taped); }));
        }
        SetDry(false);
        const double oursSeconds = Median(ours), peerSeconds = Median(peer);
        const double own = Median(dryOurs) - Median(dryPeer);
        char label[16];
        snprintf(label, sizeof label, "%dx%d", size.first, size.second);
        printf("%10s %5d %6zu %5s %9.2f %9.2f %7.1f%% %7.1f%% %7.1f%% %8.2f %8.2f %7.1f%%\n", label, draws, tape.Size(),
               same ? "yes" : "NO", 1.0 / oursSeconds, 1.0 / peerSeconds, 100.0 * (1.0 - peerSeconds / oursSeconds),
               100.0 * *std::min_element(shares.begin(), shares.end()),
               100.0 * *std::max_element(shares.begin(), shares.end()), 1000.0 * Median(dryOurs),
               1000.0 * Median(dryPeer), 100.0 * own / oursSeconds);

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
