// The rasterizer's worker threads: the same frames, byte for byte, whatever the thread count;
// resource locks ordered with the recorded draws; a multithreaded device shared by threads.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "D3D9TestSupport.h"
#include "Sphere.h"

namespace d3d9test {
namespace {

constexpr UINT kSceneWidth = 300;
constexpr UINT kSceneHeight = 200;

class RasterThreadsTest : public DeviceTest {
protected:
    void TearDown() override
    {
        unsetenv("MG_RASTER_THREADS");
        DeviceTest::TearDown();
    }

    // A device whose rasterizer runs the given number of workers beside the drawing thread (0:
    // every primitive at once, on the drawing thread).
    void UseThreads(int threads, UINT width = kSceneWidth, UINT height = kSceneHeight)
    {
        setenv("MG_RASTER_THREADS", std::to_string(threads).c_str(), 1);
        Recreate(Windowed(width, height));
    }

    IDirect3DTexture9* Checker(UINT size, D3DCOLOR a, D3DCOLOR b)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DLOCKED_RECT locked;
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            UINT side = std::max(1u, size >> level);
            for (UINT y = 0; y < side; ++y)
                for (UINT x = 0; x < side; ++x) {
                    D3DCOLOR c = ((x / 4 + y / 4) & 1) ? a : b;
                    std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch + x * 4, &c, 4);
                }
            texture->UnlockRect(level);
        }
        return texture;
    }

    // Every kind of primitive and pixel path, across many tiles: a lit sphere through the
    // perspective transform (clipped by the near plane at one side), textured triangles of
    // every size from sub-pixel to screen-filling under the fast and the general path, alpha
    // blending and alpha test in overlapping layers, a clear between draws, a viewport
    // starting at an odd column, lines and points.
    void DrawScene()
    {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
        device_->BeginScene();
        IDirect3DTexture9* texture = Checker(64, 0xC0E08040, 0x4020A0F0);
        device_->SetTexture(0, texture);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);

        // Small and large textured triangles, some behind others.
        std::vector<ColourVertex> triangles;
        unsigned seed = 12345;
        auto next = [&](float range) {
            seed = seed * 1103515245u + 12345u;
            return float((seed >> 8) & 0xFFFF) / 65535.0f * range;
        };
        for (int i = 0; i < 600; ++i) {
            float size = i % 50 == 0 ? 150.0f : (i % 3 == 0 ? 0.8f : 9.0f);
            float x = next(float(width_)) - 10, y = next(float(height_)) - 10, z = next(1.0f);
            D3DCOLOR colour = 0xFF000000u | (unsigned(next(255)) << 16) | (unsigned(next(255)) << 8) | i;
            triangles.push_back(At(x, y, z, colour, next(4), next(4)));
            triangles.push_back(At(x + size, y + next(size), z, colour, next(4), next(4)));
            triangles.push_back(At(x + next(size), y + size, z, colour, next(4), next(4)));
        }
        DrawTriangles(triangles);

        // A clear between draws, of colour and depth, one rectangle reaching past the screen:
        // it wipes the draws before it and lies under the draws after it.
        D3DRECT cleared[] = {{100, 50, 230, 120}, {250, 150, 400, 260}};
        device_->Clear(2, cleared, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF605040, 0.5f, 0);

        // Translucent layers through the general path (add-smooth) and the fast path.
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        DrawQuad(20, 10, 250, 150, 0.3f, 0x80FF8000, 0, 0, 3, 2);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
        DrawQuad(60.5f, 40.25f, 290, 190, 0.2f, 0x6000FF80, 0, 0, 5, 5);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device_->SetRenderState(D3DRS_ALPHAREF, 0x60);
        device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        DrawQuad(0, 100, 300, 200, 0.1f, 0xFFFFFFFF, 0, 0, 8, 3);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);

        // A lit sphere under perspective, reaching in front of the near plane at one side.
        device_->SetTexture(0, nullptr);
        D3DVIEWPORT9 viewport = {37, 13, 201, 171, 0.0f, 1.0f};
        device_->SetViewport(&viewport);
        D3DMATRIX projection = Perspective(1.0f, 201.0f / 171.0f, 1.0f, 50.0f);
        D3DMATRIX world = Translation(0.6f, 0.0f, 1.9f);
        device_->SetTransform(D3DTS_PROJECTION, &projection);
        device_->SetTransform(D3DTS_WORLD, &world);
        device_->SetRenderState(D3DRS_LIGHTING, TRUE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        D3DMATERIAL9 material{};
        material.Diffuse = {0.9f, 0.6f, 0.3f, 1.0f};
        device_->SetMaterial(&material);
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Direction = {0.4f, -0.6f, 0.7f};
        device_->SetLight(0, &light);
        device_->LightEnable(0, TRUE);
        Sphere sphere(24, 16);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(sphere.vertices.size()), sphere.Triangles(),
                                        sphere.indices.data(), D3DFMT_INDEX16, sphere.vertices.data(),
                                        sizeof(NormalVertex));
        D3DMATRIX identity = Identity();
        device_->SetTransform(D3DTS_PROJECTION, &identity);
        device_->SetTransform(D3DTS_WORLD, &identity);

        // Lines and points across the viewport's edges.
        FlatStates();
        std::vector<ColourVertex> lines;
        for (int i = 0; i < 40; ++i)
            lines.push_back(At(next(float(width_)), next(float(height_)), 0.05f, 0xFF00FF00u | unsigned(i * 6)));
        device_->DrawPrimitiveUP(D3DPT_LINELIST, 20, lines.data(), sizeof(ColourVertex));
        device_->DrawPrimitiveUP(D3DPT_POINTLIST, 40, lines.data(), sizeof(ColourVertex));
        device_->EndScene();
        texture->Release();
    }

    // Thousands of translucent triangles and lines, one over another, in one draw of each
    // kind of list: a triangle list on the left half of the screen (reversed draws it back to
    // front), and on the right a strip of slivers and a fan winding round a point, whose
    // shared vertices reach across the slice boundaries.
    void DrawBlendedPile(bool reversed)
    {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->BeginScene();
        FlatStates();
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        unsigned seed = 777;
        auto next = [&](float range) {
            seed = seed * 1103515245u + 12345u;
            return float((seed >> 8) & 0xFFFF) / 65535.0f * range;
        };
        auto colour = [&] {
            return (unsigned(0x50 + next(0x80)) << 24) | (unsigned(next(255)) << 16) | (unsigned(next(255)) << 8) |
                   unsigned(next(255));
        };
        const float half = float(width_) / 2;
        constexpr int kTriangles = 3000;
        std::vector<ColourVertex> list;
        for (int i = 0; i < kTriangles; ++i) {
            float size = 6.0f + next(40.0f);
            float x = next(half) - 20, y = next(float(height_)) - 8;
            D3DCOLOR c = colour();
            list.push_back(At(x, y, 0.5f, c));
            list.push_back(At(x + size, y + next(size), 0.5f, colour()));
            list.push_back(At(x + next(size), y + size, 0.5f, c));
        }
        if (reversed)
            for (int i = 0; i < kTriangles / 2; ++i)
                std::swap_ranges(list.begin() + 3 * i, list.begin() + 3 * i + 3, list.end() - 3 * (i + 1));
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, kTriangles, list.data(), sizeof(ColourVertex)), D3D_OK);

        const float bottom = float(height_), middle = bottom / 2, centreX = half * 1.5f, centreY = middle * 1.5f;
        std::vector<ColourVertex> strip, fan{At(centreX, centreY, 0.5f, 0x80FFFFFF)};
        for (int i = 0; i < 1202; ++i) {
            float x = half + float(i) * half / 1200, y = (i % 2 ? middle : 0.0f) + next(10) - 5;
            strip.push_back(At(x, y, 0.5f, colour()));
            float angle = float(i) * 0.05f, radius = 5.0f + next(middle / 2);
            fan.push_back(At(centreX + radius * std::cos(angle), centreY + radius * std::sin(angle), 0.5f, colour()));
        }
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 1200, strip.data(), sizeof(ColourVertex)), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 1200, fan.data(), sizeof(ColourVertex)), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 600, strip.data(), sizeof(ColourVertex)), D3D_OK);
        device_->EndScene();
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    }

    void ExpectSameBytes(const Screen& screen, const Screen& reference)
    {
        ASSERT_EQ(screen.argb.size(), reference.argb.size());
        size_t differing = 0;
        for (size_t i = 0; i < screen.argb.size(); ++i) {
            if (screen.argb[i] != reference.argb[i] && differing < 8)
                ADD_FAILURE() << "pixel " << i % width_ << "," << i / width_ << ": " << std::hex << screen.argb[i]
                              << " instead of " << reference.argb[i];
            differing += screen.argb[i] != reference.argb[i];
        }
        EXPECT_EQ(differing, 0u);
    }
};

TEST_F(RasterThreadsTest, EveryThreadCountDrawsTheSameBytes)
{
    UseThreads(0);
    DrawScene();
    const Screen reference = Capture();
    for (int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        UseThreads(threads);
        DrawScene();
        ExpectSameBytes(Capture(), reference);
    }
    // The scene draws something on most of the screen, so the comparison means something.
    size_t background = 0;
    for (uint32_t pixel : reference.argb)
        background += (pixel & 0xFFFFFF) == 0x102030;
    EXPECT_LT(background, reference.argb.size() / 4);
}

// Draws large enough to be recorded in slices on several threads keep their primitives' order
// in every pixel, whatever the thread count; the blended pile shows any change of that order.
TEST_F(RasterThreadsTest, BlendedPilesKeepTheirOrderAtEveryThreadCount)
{
    UseThreads(0);
    DrawBlendedPile(false);
    const Screen reference = Capture();
    DrawBlendedPile(true);
    const Screen reversed = Capture();
    size_t changed = 0;
    for (size_t i = 0; i < reference.argb.size(); ++i)
        changed += reference.argb[i] != reversed.argb[i];
    EXPECT_GT(changed, reference.argb.size() / 4) << "the pile does not show the order of its triangles";
    for (int threads : {1, 2, 8}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        UseThreads(threads);
        DrawBlendedPile(false);
        ExpectSameBytes(Capture(), reference);
    }
}

// A lock sees every draw before it, and a draw recorded before a texture changes samples it as
// it was: resource updates keep their place among the recorded draws.
TEST_F(RasterThreadsTest, LocksAreOrderedWithRecordedDraws)
{
    for (int threads : {0, 4}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        UseThreads(threads, 64, 64);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        auto fill = [&](D3DCOLOR colour) {
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
            std::memcpy(locked.pBits, &colour, 4);
            texture->UnlockRect(0);
        };
        device_->SetTexture(0, texture);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        fill(0xFFFF0000);
        DrawQuad(0, 0, 32, 64, 0.5f, 0xFFFFFFFF);
        fill(0xFF0000FF);
        DrawQuad(32, 0, 64, 64, 0.5f, 0xFFFFFFFF);

        // The back buffer, locked before any present, already holds both draws.
        IDirect3DSurface9* back = nullptr;
        ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const uint32_t* row = static_cast<const uint32_t*>(locked.pBits) + 10 * locked.Pitch / 4;
        EXPECT_EQ(row[10] & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(row[50] & 0xFFFFFF, 0x0000FFu);
        back->UnlockRect();
        back->Release();

        // A texture released right after the draw that samples it stays alive until the
        // draw is covered.
        fill(0xFF00FF00);
        DrawQuad(0, 0, 64, 32, 0.4f, 0xFFFFFFFF);
        device_->SetTexture(0, nullptr);
        texture->Release();
        Screen screen = Capture();
        EXPECT_EQ(screen.At(10, 10), 0x00FF00u);
        EXPECT_EQ(screen.At(10, 50), 0xFF0000u);
        EXPECT_EQ(screen.At(50, 50), 0x0000FFu);
    }
}

// Two threads share a multithreaded device: one draws and presents, the other rewrites a
// texture and a vertex buffer and changes states. Every call is serialised by the device, so
// the frames come out whole and the final frame shows the last texture.
TEST_F(RasterThreadsTest, MultithreadedDeviceSerialisesItsCalls)
{
    setenv("MG_RASTER_THREADS", "3", 1);
    device_->Release();
    device_ = nullptr;
    D3DPRESENT_PARAMETERS p = Windowed(64, 64);
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &p, &device_),
              D3D_OK);
    width_ = height_ = 64;
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(6 * sizeof(ColourVertex), 0, kColourFVF, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    const std::vector<ColourVertex> quad = {At(0, 0, 0.5f, 0xFFFFFFFF),   At(64, 0, 0.5f, 0xFFFFFFFF),
                                            At(0, 64, 0.5f, 0xFFFFFFFF),  At(64, 0, 0.5f, 0xFFFFFFFF),
                                            At(64, 64, 0.5f, 0xFFFFFFFF), At(0, 64, 0.5f, 0xFFFFFFFF)};
    constexpr int kRounds = 40;
    std::thread writer([&] {
        for (int i = 0; i < kRounds; ++i) {
            D3DLOCKED_RECT locked;
            if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
                D3DCOLOR colour = 0xFF000000u | unsigned(i * 6);
                std::memcpy(locked.pBits, &colour, 4);
                texture->UnlockRect(0);
            }
            void* data = nullptr;
            if (SUCCEEDED(buffer->Lock(0, 0, &data, 0))) {
                std::memcpy(data, quad.data(), quad.size() * sizeof(ColourVertex));
                buffer->Unlock();
            }
            device_->SetRenderState(D3DRS_DITHERENABLE, i & 1);
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetFVF(kColourFVF);
        device_->SetTexture(0, texture);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetStreamSource(0, buffer, 0, sizeof(ColourVertex));
        device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }
    writer.join();
    EXPECT_EQ(FakeAdapter::PresentCount(device_), unsigned(kRounds));
    device_->SetStreamSource(0, buffer, 0, sizeof(ColourVertex));
    device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    EXPECT_EQ(Capture().At(20, 20), unsigned((kRounds - 1) * 6));
    buffer->Release();
    texture->Release();
}

} // namespace
} // namespace d3d9test
