// Sampling: point and linear filters on a checkerboard, mip level choice, the texture
// formats the renderer uploads, and textures rewritten after they were drawn.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "D3D9TestSupport.h"

namespace d3d9test {
namespace {

class TextureTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    }
    void TearDown() override
    {
        if (texture_)
            texture_->Release();
        DeviceTest::TearDown();
    }

    void Create(UINT size, UINT levels, D3DFORMAT format)
    {
        ASSERT_EQ(device_->CreateTexture(size, size, levels, 0, format, D3DPOOL_MANAGED, &texture_, nullptr), D3D_OK);
        device_->SetTexture(0, texture_);
    }
    template <class Texel> void Fill(UINT level, const std::vector<Texel>& texels, UINT size)
    {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture_->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < size; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * size],
                        size * sizeof(Texel));
        ASSERT_EQ(texture_->UnlockRect(level), D3D_OK);
    }
    // Covers the whole screen with texel centres where pixel centres are (the half-pixel shift).
    void FullScreen() { DrawQuad(-0.5f, -0.5f, 63.5f, 63.5f, 0.5f, 0xFFFFFFFF); }

    IDirect3DTexture9* texture_ = nullptr;
};

const std::vector<uint32_t> kChecker = {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF};

TEST_F(TextureTest, PointSamplingShowsSharpCheckerQuadrants)
{
    Create(2, 1, D3DFMT_X8R8G8B8);
    Fill(0, kChecker, 2);
    FullScreen();
    Screen screen = Capture();
    for (UINT y = 0; y < 64; ++y)
        for (UINT x = 0; x < 64; ++x)
            ASSERT_EQ(screen.At(x, y), ((x < 32) == (y < 32)) ? 0xFFFFFFu : 0u) << x << "," << y;
}

// Bilinear weights at each pixel: texel coordinate u * 2 - 0.5, clamped at the border.
TEST_F(TextureTest, LinearSamplingBlendsNeighbouringTexels)
{
    Create(2, 1, D3DFMT_X8R8G8B8);
    Fill(0, kChecker, 2);
    for (DWORD s : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER})
        device_->SetSamplerState(0, D3DSAMPLERSTATETYPE(s), D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    FullScreen();
    Screen screen = Capture();
    auto weight = [](UINT p) { // share of texel 1 along one axis
        float t = (float(p) + 0.5f) / 64.0f * 2.0f - 0.5f;
        return std::fmin(1.0f, std::fmax(0.0f, t));
    };
    for (UINT y = 0; y < 64; y += 3) {
        for (UINT x = 0; x < 64; x += 3) {
            float wx = weight(x), wy = weight(y);
            float white = (1 - wx) * (1 - wy) + wx * wy;
            ASSERT_NEAR(Red(screen.At(x, y)), white * 255.0f, 1.0f) << x << "," << y;
        }
    }
    EXPECT_EQ(screen.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(screen.At(63, 0), 0u);
}

TEST_F(TextureTest, WrapRepeatsAndClampStretchesTheEdge)
{
    Create(2, 1, D3DFMT_X8R8G8B8);
    Fill(0, kChecker, 2);
    DrawQuad(-0.5f, -0.5f, 63.5f, 63.5f, 0.5f, 0xFFFFFFFF, 0, 0, 2, 1);
    Screen wrapped = Capture();
    EXPECT_EQ(wrapped.At(8, 8), 0xFFFFFFu);
    EXPECT_EQ(wrapped.At(40, 8), 0xFFFFFFu); // second repeat starts white again
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    DrawQuad(-0.5f, -0.5f, 63.5f, 63.5f, 0.5f, 0xFFFFFFFF, 0, 0, 2, 1);
    EXPECT_EQ(Capture().At(40, 8), 0u); // the last column stretched
}

// Each level a solid colour: a quad showing the texture at 1/4 size reads level 2.
TEST_F(TextureTest, MipFilterPicksTheLevelOfTheScreenSize)
{
    Create(16, 0, D3DFMT_X8R8G8B8);
    ASSERT_EQ(texture_->GetLevelCount(), 5u);
    const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF};
    for (UINT level = 0; level < 5; ++level) {
        UINT size = 16 >> level;
        Fill(level, std::vector<uint32_t>(size * size, colours[level]), size);
    }
    struct Case {
        float pixels;
        DWORD mipFilter;
        uint32_t expected;
    } cases[] = {{4, D3DTEXF_POINT, 0x0000FF}, {8, D3DTEXF_POINT, 0x00FF00}, {32, D3DTEXF_POINT, 0xFF0000},
                 {4, D3DTEXF_NONE, 0xFF0000},  {1, D3DTEXF_POINT, 0x00FFFF}, {4, D3DTEXF_LINEAR, 0x0000FF}};
    for (const Case& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, c.mipFilter);
        DrawQuad(-0.5f, -0.5f, c.pixels - 0.5f, c.pixels - 0.5f, 0.5f, 0xFFFFFFFF);
        EXPECT_EQ(Capture().At(0, 0), c.expected) << c.pixels << " pixels, mip filter " << c.mipFilter;
    }
}

// A floor running away from the eye under a perspective projection, its texture's levels each
// a solid colour: every pixel shows the level its footprint on the floor asks for, worked out
// here from the floor point under each pixel's neighbours. Pixels whose footprint lies close
// to a level boundary are left out, since the device rounds the level of detail more coarsely.
TEST_F(TextureTest, MipLevelsFollowTheFootprintAcrossATiltedFloor)
{
    const UINT size = 64, levels = 7;
    Create(size, 0, D3DFMT_X8R8G8B8);
    ASSERT_EQ(texture_->GetLevelCount(), levels);
    const uint32_t colours[levels] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};
    for (UINT level = 0; level < levels; ++level)
        Fill(level, std::vector<uint32_t>((size >> level) * (size >> level), 0xFF000000u | colours[level]),
             size >> level);
    for (DWORD s : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER})
        device_->SetSamplerState(0, D3DSAMPLERSTATETYPE(s), D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    const float fovY = 1.0471976f, yScale = 1.0f / std::tan(fovY / 2.0f);
    D3DMATRIX projection = Perspective(fovY, 1.0f, 0.5f, 100.0f);
    device_->SetTransform(D3DTS_PROJECTION, &projection);

    // The floor y = -1 for 1 <= z <= 60, |x| <= 30, the texture repeating every 2 units.
    const float nearZ = 1.0f, farZ = 60.0f, halfWidth = 30.0f, repeat = 2.0f;
    auto corner = [&](float x, float z) { return ColourVertex{x, -1.0f, z, 0xFFFFFFFF, x / repeat, z / repeat}; };
    DrawTriangles({corner(-halfWidth, nearZ), corner(-halfWidth, farZ), corner(halfWidth, farZ),
                   corner(-halfWidth, nearZ), corner(halfWidth, farZ), corner(halfWidth, nearZ)});
    Screen screen = Capture();

    // Texel coordinates at level 0 of the floor point seen at screen position (sx, sy), where
    // pixel centres lie at whole numbers.
    auto texel = [&](double sx, double sy, double& u, double& v) {
        double ndcX = 2.0 * sx / size - 1.0, ndcY = 1.0 - 2.0 * sy / size;
        double z = -1.0 / (ndcY / yScale); // the eye ray (ndcX / s, ndcY / s, 1) meets y = -1
        u = ndcX / yScale * z / repeat * size;
        v = z / repeat * size;
        return z;
    };
    int checked = 0;
    bool seen[levels] = {};
    for (UINT y = size / 2 + 2; y < size; ++y) {
        for (UINT x = 2; x + 2 < size; ++x) {
            double u, v, ux0, vx0, ux1, vx1, uy0, vy0, uy1, vy1;
            double z = texel(x, y, u, v);
            texel(x - 0.5, y, ux0, vx0);
            texel(x + 0.5, y, ux1, vx1);
            texel(x, y - 0.5, uy0, vy0);
            texel(x, y + 0.5, uy1, vy1);
            if (z < nearZ + 0.5 || z > farZ - 2.0 || std::fabs(u / size * repeat) > halfWidth - 1.0)
                continue;
            double across = (ux1 - ux0) * (ux1 - ux0) + (vx1 - vx0) * (vx1 - vx0);
            double down = (uy1 - uy0) * (uy1 - uy0) + (vy1 - vy0) * (vy1 - vy0);
            double lod = 0.5 * std::log2(std::fmax(across, down));
            if (std::fabs(lod - std::floor(lod) - 0.5) < 0.2)
                continue;
            UINT level = lod <= 0.0 ? 0 : std::min<UINT>(levels - 1, UINT(std::floor(lod + 0.5)));
            ASSERT_EQ(screen.At(x, y), colours[level]) << x << "," << y << " level of detail " << lod;
            seen[level] = true;
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
    EXPECT_GE(std::count(seen, seen + levels, true), 5) << "the floor spans most of the chain";
}

TEST_F(TextureTest, SixteenBitFormatsDecodeToFullScaleColours)
{
    struct Case {
        D3DFORMAT format;
        uint16_t texel;
        uint32_t rgb;
        bool opaque;
    } cases[] = {
        {D3DFMT_R5G6B5, 0xF800, 0xFF0000, true},   {D3DFMT_R5G6B5, 0x07E0, 0x00FF00, true},
        {D3DFMT_A4R4G4B4, 0xF84C, 0x8844CC, true}, {D3DFMT_A4R4G4B4, 0x0FFF, 0xFFFFFF, false},
        {D3DFMT_A1R5G5B5, 0xFC00, 0xFF0000, true}, {D3DFMT_A1R5G5B5, 0x7C00, 0xFF0000, false},
    };
    for (const Case& c : cases) {
        if (texture_)
            texture_->Release();
        texture_ = nullptr;
        Create(1, 1, c.format);
        Fill(0, std::vector<uint16_t>{c.texel}, 1);
        // Blended by the texture's own alpha over black: a transparent texel leaves black.
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        FullScreen();
        EXPECT_EQ(Capture().At(3, 3), c.opaque ? c.rgb : 0u) << "format " << c.format << " texel " << c.texel;
    }
}

// The fog-of-war texture is rewritten every frame through lock and unlock.
TEST_F(TextureTest, RewrittenTextureIsSampledWithItsNewTexels)
{
    Create(8, 1, D3DFMT_A4R4G4B4);
    Fill(0, std::vector<uint16_t>(64, 0xF00F), 8);
    FullScreen();
    EXPECT_EQ(Capture().At(5, 5), 0x0000FFu);
    Fill(0, std::vector<uint16_t>(64, 0xFF00), 8);
    FullScreen();
    EXPECT_EQ(Capture().At(5, 5), 0xFF0000u);
}

TEST_F(TextureTest, LockRulesGuardTheLevels)
{
    Create(4, 1, D3DFMT_A8R8G8B8);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    EXPECT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture_->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture_->UnlockRect(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture_->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    RECT outside = {0, 0, 5, 4};
    EXPECT_EQ(texture_->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    IDirect3DTexture9* bad = nullptr;
    EXPECT_EQ(device_->CreateTexture(8192, 8192, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bad, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
}

// The video player draws a level surface through its texture.
TEST_F(TextureTest, LevelSurfaceAnswersForItsTexture)
{
    Create(4, 1, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture_->GetSurfaceLevel(0, &surface), D3D_OK);
    IDirect3DTexture9* owner = nullptr;
    ASSERT_EQ(surface->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(&owner)), D3D_OK);
    EXPECT_EQ(owner, texture_);
    owner->Release();
    ASSERT_EQ(surface->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&owner)), D3D_OK);
    EXPECT_EQ(owner, texture_);
    owner->Release();
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &plain, nullptr), D3D_OK);
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(&owner)), E_NOINTERFACE);
    plain->Release();
    surface->Release();
}

} // namespace
} // namespace d3d9test
