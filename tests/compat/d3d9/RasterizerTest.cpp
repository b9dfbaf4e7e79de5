// Coverage, depth order, culling and clipping, checked on captured pixels.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "D3D9TestSupport.h"

namespace d3d9test {
namespace {

class RasterizerTest : public DeviceTest {
protected:
    // Additive blending of a dark grey, so a pixel drawn twice shows up as twice as bright.
    void Additive()
    {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }
    static constexpr D3DCOLOR kGrey = 0xFF202020;
};

// Rows whose every pixel fails the depth test, between rows that pass, leave the rows around
// them as they should be: a narrow quad (one four-pixel group a row, an odd number of rows above
// the occluder) behind a two-row occluder.
TEST_F(RasterizerTest, RowsLostToTheDepthTestKeepTheirNeighbours)
{
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad(0, 20, 64, 22, 0.1f, 0xFF0000FF);
    DrawQuad(8, 11, 12, 30, 0.5f, 0xFFFF0000);
    Screen screen = Capture();
    for (UINT y = 11; y < 30; ++y)
        EXPECT_EQ(screen.At(9, y), y == 20 || y == 21 ? 0x0000FFu : 0xFF0000u) << "row " << y;
}

// A pixel centre exactly on the shared edge belongs to one triangle only, whatever the
// direction of the edge; pixels on the outer edges follow the top-left rule. Quads a few
// dozen pixels across and ones a couple of hundred across.
TEST_F(RasterizerTest, TrianglesSharingEdgesCoverEveryPixelOnce)
{
    struct Case {
        const char* name;
        UINT size;
        float left, top, right, bottom;
    };
    const Case cases[] = {
        {"pixel-aligned", kWidth, 8, 8, 40, 40},
        {"half-pixel", kWidth, 7.5f, 8.5f, 39.5f, 40.5f},
        {"fractional", kWidth, 3.3f, 5.7f, 50.1f, 33.9f},
        {"large pixel-aligned", 256, 8, 8, 208, 208},
        {"large fractional", 256, 3.3f, 5.7f, 250.1f, 133.9f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recreate(Windowed(c.size, c.size));
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        Additive();
        DrawQuad(c.left, c.top, c.right, c.bottom, 0.5f, kGrey);
        Screen screen = Capture();
        int covered = 0;
        for (UINT y = 0; y < c.size; ++y) {
            for (UINT x = 0; x < c.size; ++x) {
                uint32_t p = screen.At(x, y);
                ASSERT_TRUE(p == 0 || p == 0x202020) << "pixel " << x << "," << y << " drawn twice";
                // Top-left rule for an axis-aligned rectangle: left <= x < right, top <= y < bottom.
                bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                ASSERT_EQ(p != 0, inside) << "pixel " << x << "," << y;
                covered += p != 0;
            }
        }
        int expectedColumns = int(std::ceil(c.right) - std::ceil(c.left));
        int expectedRows = int(std::ceil(c.bottom) - std::ceil(c.top));
        EXPECT_EQ(covered, expectedColumns * expectedRows);
    }
}

// A fan of slanted triangles around one centre: every covered pixel is drawn exactly once and
// the union is the whole polygon, for triangles a few dozen pixels across and for ones wider
// than a hundred.
TEST_F(RasterizerTest, FanAroundSharedVertexHasNoGapsOrOverlaps)
{
    struct Case {
        UINT size;
        float cx, cy, radius;
    };
    const Case cases[] = {{kWidth, 31.25f, 30.6f, 25.0f}, {256, 127.3f, 128.55f, 110.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        Recreate(Windowed(c.size, c.size));
        Additive();
        const int spokes = 11;
        std::vector<ColourVertex> vertices;
        for (int i = 0; i < spokes; ++i) {
            float a0 = 6.2831853f * i / spokes, a1 = 6.2831853f * (i + 1) / spokes;
            vertices.push_back(At(c.cx, c.cy, 0.5f, kGrey));
            vertices.push_back(At(c.cx + c.radius * std::cos(a0), c.cy + c.radius * std::sin(a0), 0.5f, kGrey));
            vertices.push_back(At(c.cx + c.radius * std::cos(a1), c.cy + c.radius * std::sin(a1), 0.5f, kGrey));
        }
        DrawTriangles(vertices);
        Screen screen = Capture();
        int covered = 0;
        for (UINT y = 0; y < c.size; ++y)
            for (UINT x = 0; x < c.size; ++x) {
                uint32_t p = screen.At(x, y);
                ASSERT_TRUE(p == 0 || p == 0x202020) << x << "," << y;
                covered += p != 0;
            }
        // Every pixel well inside the polygon is covered.
        int inner = int(c.radius * 0.8f);
        for (int y = -inner; y <= inner; ++y) {
            for (int x = -inner; x <= inner; ++x) {
                if (x * x + y * y <= inner * inner) {
                    EXPECT_NE(screen.At(UINT(c.cx + x), UINT(c.cy + y)), 0u);
                }
            }
        }
        // Its area (an 11-gon) within a pixel's rounding along the rim.
        double area = 0.5 * spokes * c.radius * c.radius * std::sin(6.2831853 / spokes);
        EXPECT_NEAR(covered, area, 2 * 6.2831853 * c.radius * 0.5);
    }
}

TEST_F(RasterizerTest, NearerSurfaceWinsWhicheverIsDrawnFirst)
{
    for (bool nearFirst : {false, true}) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        if (nearFirst)
            DrawQuad(10, 10, 40, 40, 0.25f, 0xFF00FF00);
        DrawQuad(20, 20, 50, 50, 0.75f, 0xFFFF0000);
        if (!nearFirst)
            DrawQuad(10, 10, 40, 40, 0.25f, 0xFF00FF00);
        Screen screen = Capture();
        EXPECT_EQ(screen.At(30, 30), 0x00FF00u) << "overlap, near first " << nearFirst;
        EXPECT_EQ(screen.At(45, 45), 0xFF0000u);
        EXPECT_EQ(screen.At(15, 15), 0x00FF00u);
    }
    // Without depth writes the later surface shows even behind.
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawQuad(10, 10, 40, 40, 0.25f, 0xFF00FF00);
    DrawQuad(20, 20, 50, 50, 0.75f, 0xFFFF0000);
    EXPECT_EQ(Capture().At(30, 30), 0xFF0000u);
}

TEST_F(RasterizerTest, CullModeDropsTrianglesByScreenWinding)
{
    // Clockwise on screen: left-top, right-top, left-bottom.
    std::vector<ColourVertex> clockwise = {At(10, 10, 0.5f, 0xFFFFFFFF), At(50, 10, 0.5f, 0xFFFFFFFF),
                                           At(10, 50, 0.5f, 0xFFFFFFFF)};
    std::vector<ColourVertex> counter = {clockwise[0], clockwise[2], clockwise[1]};
    struct Case {
        DWORD cull;
        bool clockwiseShown, counterShown;
    } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
    for (const Case& c : cases) {
        for (bool cw : {true, false}) {
            device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            FlatStates();
            device_->SetRenderState(D3DRS_CULLMODE, c.cull);
            const auto& tri = cw ? clockwise : counter;
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri.data(), sizeof(ColourVertex));
            bool shown = Capture().At(20, 20) != 0;
            EXPECT_EQ(shown, cw ? c.clockwiseShown : c.counterShown) << "cull " << c.cull << " clockwise " << cw;
        }
    }
}

// Strips keep one winding: with back-face culling every triangle of a strip is drawn.
TEST_F(RasterizerTest, StripTrianglesKeepTheirWinding)
{
    FlatStates();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    ColourVertex strip[] = {At(8, 8, 0.5f, 0xFFFFFFFF),   At(24, 8, 0.5f, 0xFFFFFFFF), At(8, 40, 0.5f, 0xFFFFFFFF),
                            At(24, 40, 0.5f, 0xFFFFFFFF), At(8, 56, 0.5f, 0xFFFFFFFF), At(24, 56, 0.5f, 0xFFFFFFFF)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, strip, sizeof(ColourVertex)), D3D_OK);
    Screen screen = Capture();
    for (UINT y = 8; y < 56; ++y)
        EXPECT_EQ(screen.At(16, y), 0xFFFFFFu) << y;
}

TEST_F(RasterizerTest, GeometryBehindTheEyeAndFarOutsideIsClipped)
{
    D3DMATRIX projection = Perspective(1.5707963f, 1.0f, 1.0f, 100.0f);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    FlatStates();
    // A floor that runs from behind the eye to far ahead: only its part in front is drawn,
    // and it covers the lower half of the screen.
    ColourVertex floor[] = {{-1000, -1, -50, 0xFF00FFFF, 0, 0},
                            {1000, -1, -50, 0xFF00FFFF, 0, 0},
                            {-1000, -1, 90, 0xFF00FFFF, 0, 0},
                            {1000, -1, 90, 0xFF00FFFF, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(ColourVertex)), D3D_OK);
    Screen screen = Capture();
    EXPECT_EQ(screen.At(32, 60), 0x00FFFFu);
    EXPECT_EQ(screen.At(0, 63), 0x00FFFFu);
    EXPECT_EQ(screen.At(32, 20), 0u);
    // The horizon sits at the far plane's height, just below the centre.
    EXPECT_EQ(screen.At(32, 31), 0u);
    EXPECT_EQ(screen.At(32, 34), 0x00FFFFu);
}

// Pre-transformed vertices (XYZRHW) are already in pixels and skip the transforms.
TEST_F(RasterizerTest, PretransformedVerticesLandOnTheirPixels)
{
    struct ScreenVertex {
        float x, y, z, rhw;
        D3DCOLOR colour;
    } quad[] = {{10, 20, 0.5f, 1, 0xFF00FF00},
                {30, 20, 0.5f, 1, 0xFF00FF00},
                {10, 40, 0.5f, 1, 0xFF00FF00},
                {30, 40, 0.5f, 1, 0xFF00FF00}};
    D3DMATRIX skewed = Translation(5, 5, 0);
    device_->SetTransform(D3DTS_WORLD, &skewed);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]), D3D_OK);
    Screen screen = Capture();
    EXPECT_EQ(screen.At(10, 20), 0x00FF00u);
    EXPECT_EQ(screen.At(29, 39), 0x00FF00u);
    EXPECT_EQ(screen.At(30, 30), 0u);
    EXPECT_EQ(screen.At(9, 30), 0u);
}

TEST_F(RasterizerTest, ViewportLimitsDrawingAndClears)
{
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    D3DVIEWPORT9 viewport = {16, 16, 32, 16, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    FlatStates();
    // Full-screen in clip space: inside the viewport only.
    ColourVertex quad[] = {{-1, 1, 0.5f, 0xFFFF0000, 0, 0},
                           {1, 1, 0.5f, 0xFFFF0000, 0, 0},
                           {-1, 0, 0.5f, 0xFFFF0000, 0, 0},
                           {1, 0, 0.5f, 0xFFFF0000, 0, 0}};
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex));
    // Rectangles clear where they meet the viewport; one beside it or reversed clears nothing.
    D3DRECT rects[] = {{40, 20, 60, 24}, {50, 0, 64, 40}, {30, 30, 20, 20}};
    EXPECT_EQ(device_->Clear(3, rects, D3DCLEAR_TARGET, 0xFFFFFF00, 1.0f, 0), D3D_OK);
    Screen screen = Capture();
    EXPECT_EQ(screen.At(8, 8), 0x0000FFu);
    EXPECT_EQ(screen.At(20, 18), 0xFF0000u); // upper half of the viewport
    EXPECT_EQ(screen.At(20, 28), 0x00FF00u); // lower half: cleared, not drawn
    EXPECT_EQ(screen.At(50, 20), 0x0000FFu);
    EXPECT_EQ(screen.At(44, 22), 0xFFFF00u);
    EXPECT_EQ(screen.At(50, 22), 0x0000FFu);
    EXPECT_EQ(screen.At(25, 25), 0x00FF00u);
    D3DVIEWPORT9 outside = {40, 40, 32, 32, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&outside), D3DERR_INVALIDCALL);
}

TEST_F(RasterizerTest, LineStripDrawsOnePixelWideSegments)
{
    FlatStates();
    ColourVertex line[] = {At(4, 10, 0.5f, 0xFFFFFF00), At(40, 10, 0.5f, 0xFFFFFF00), At(40, 30, 0.5f, 0xFFFFFF00)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINESTRIP, 2, line, sizeof(ColourVertex)), D3D_OK);
    Screen screen = Capture();
    for (UINT x = 4; x <= 40; ++x)
        EXPECT_EQ(screen.At(x, 10), 0xFFFF00u) << x;
    for (UINT y = 10; y <= 30; ++y)
        EXPECT_EQ(screen.At(40, y), 0xFFFF00u) << y;
    EXPECT_EQ(screen.At(20, 9), 0u);
    EXPECT_EQ(screen.At(20, 11), 0u);
}

TEST_F(RasterizerTest, IndexedDrawsReadOnlyTheirBuffers)
{
    FlatStates();
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        device_->CreateVertexBuffer(4 * sizeof(ColourVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr),
        D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
              D3D_OK);
    ColourVertex quad[] = {At(8, 8, 0.5f, 0xFF808080), At(40, 8, 0.5f, 0xFF808080), At(8, 40, 0.5f, 0xFF808080),
                           At(40, 40, 0.5f, 0xFF808080)};
    WORD indices[] = {0, 1, 2, 1, 3, 2};
    void* p;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, quad, sizeof quad);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, indices, sizeof indices);
    ib->Unlock();
    device_->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
    device_->SetIndices(ib);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Capture().At(20, 20), 0x808080u);
    // Past the end of the index buffer, or vertices past the end of the vertex buffer.
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Capture().At(20, 20), 0u);
    // A 32-bit index far past the vertices: its triangle is dropped, the others drawn, and
    // nothing is allocated for the range the index claims.
    IDirect3DIndexBuffer9* wide = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(6 * 4, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_MANAGED, &wide, nullptr),
              D3D_OK);
    const uint32_t wild[] = {0, 1, 0xFFFFFFF0u, 1, 3, 2};
    ASSERT_EQ(wide->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, wild, sizeof wild);
    wide->Unlock();
    device_->SetIndices(wide);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    Screen screen = Capture();
    EXPECT_EQ(screen.At(12, 12), 0u);
    EXPECT_EQ(screen.At(36, 36), 0x808080u);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0x7FFFFFFF), D3DERR_INVALIDCALL);
    wide->Release();
    vb->Release();
    ib->Release();
}

TEST_F(RasterizerTest, ClearsOnlyWhatTheDepthFormatHolds)
{
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0), D3D_OK);
    D3DPRESENT_PARAMETERS p = Windowed(kWidth, kHeight);
    p.AutoDepthStencilFormat = D3DFMT_D24X8;
    Recreate(p);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    p.EnableAutoDepthStencil = FALSE;
    Recreate(p);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    // Without a depth buffer, drawing has no depth test: the later quad wins.
    DrawQuad(0, 0, 64, 64, 0.2f, 0xFF00FF00);
    DrawQuad(0, 0, 64, 64, 0.8f, 0xFFFF0000);
    EXPECT_EQ(Capture().At(5, 5), 0xFF0000u);
}

// The capture written as the renderer's screenshot file, decoded by an independent reader.
TEST_F(RasterizerTest, ScreenshotTgaDecodesToTheDrawnPixels)
{
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    DrawQuad(0, 0, 32, 16, 0.5f, 0xFFC08040);
    Screen screen = Capture();
    std::string path = std::string(MG_BINARY_DIR) + "/d3d9_screenshot_test.tga";
    WriteTga(screen, path);
    std::string output = ReadTgaWithPython(path, "0,0 31,15 32,15 63,63");
    EXPECT_EQ(output, "64 64\n0,0=C08040\n31,15=C08040\n32,15=102030\n63,63=102030\n");
    std::remove(path.c_str());
}

} // namespace
} // namespace d3d9test
