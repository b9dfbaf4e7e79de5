// Blending, alpha test and texture-stage combinations against the blend and stage formulas.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "D3D9TestSupport.h"

namespace d3d9test {
namespace {

class PixelStagesTest : public DeviceTest {
protected:
    IDirect3DTexture9* SolidTexture(D3DCOLOR argb)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        std::memcpy(locked.pBits, &argb, 4);
        texture->UnlockRect(0);
        return texture;
    }
};

float Channel(uint32_t c, int shift) { return float((c >> shift) & 0xFF) / 255.0f; }

// The blend factor pairs of the renderer's layer effects, over a known background.
TEST_F(PixelStagesTest, BlendModesFollowTheFactorFormulas)
{
    struct Mode {
        DWORD source, dest;
    } modes[] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},   {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {D3DBLEND_DESTCOLOR, D3DBLEND_SRCALPHA},     {D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHA},
        {D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR}, {D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR},
    };
    const uint32_t background = 0xFFC86432, source = 0x403CB4F0; // source alpha 64
    auto factor = [](DWORD f, int shift, uint32_t src, uint32_t dst) {
        float sa = Channel(src, 24);
        switch (f) {
        case D3DBLEND_ONE:
            return 1.0f;
        case D3DBLEND_SRCALPHA:
            return sa;
        case D3DBLEND_INVSRCALPHA:
            return 1.0f - sa;
        case D3DBLEND_DESTCOLOR:
            return Channel(dst, shift);
        case D3DBLEND_INVDESTCOLOR:
            return 1.0f - Channel(dst, shift);
        case D3DBLEND_INVSRCCOLOR:
            return 1.0f - Channel(src, shift);
        default:
            return 0.0f;
        }
    };
    for (const Mode& m : modes) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, m.source);
        device_->SetRenderState(D3DRS_DESTBLEND, m.dest);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        DrawQuad(0, 0, 64, 64, 0.5f, source);
        uint32_t got = Capture().At(10, 10);
        for (int shift : {16, 8, 0}) {
            float expected = Channel(source, shift) * factor(m.source, shift, source, background) +
                             Channel(background, shift) * factor(m.dest, shift, source, background);
            expected = std::min(1.0f, std::max(0.0f, expected)) * 255.0f;
            EXPECT_NEAR(float((got >> shift) & 0xFF), expected, 1.0f)
                << "blend " << m.source << "/" << m.dest << " channel " << shift;
        }
    }
}

TEST_F(PixelStagesTest, AlphaTestGreaterKeepsOnlyAlphaAboveTheReference)
{
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_ALPHAREF, 127);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    DrawQuad(0, 0, 32, 64, 0.5f, 0x7FFFFFFF);
    DrawQuad(32, 0, 64, 64, 0.5f, 0x80FFFFFF);
    Screen screen = Capture();
    EXPECT_EQ(screen.At(10, 10), 0u);
    EXPECT_EQ(screen.At(40, 10), 0xFFFFFFu);
    // A failed alpha test writes no depth either.
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    DrawQuad(0, 0, 64, 64, 0.9f, 0xFF0000FF);
    screen = Capture();
    EXPECT_EQ(screen.At(10, 10), 0x0000FFu);
    EXPECT_EQ(screen.At(40, 10), 0xFFFFFFu);
}

// The stage operations the renderer's passes use, on a texture and a vertex colour.
TEST_F(PixelStagesTest, StageOperationsCombineTextureAndDiffuse)
{
    const uint32_t texel = 0x80C04020, diffuse = 0xFF408080;
    IDirect3DTexture9* texture = SolidTexture(texel);
    device_->SetTexture(0, texture);
    struct Case {
        DWORD op;
        DWORD arg1, arg2;
        float (*expect)(float t, float d, float ta);
    } cases[] = {
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](float t, float d, float) { return t * d; }},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](float t, float, float) { return t; }},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](float, float d, float) { return d; }},
        {D3DTOP_ADDSMOOTH, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](float t, float d, float) { return t + d - t * d; }},
        {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         [](float t, float d, float ta) { return t * ta + d * (1 - ta); }},
    };
    for (const Case& c : cases) {
        device_->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        DrawQuad(0, 0, 64, 64, 0.5f, diffuse);
        uint32_t got = Capture().At(5, 5);
        for (int shift : {16, 8, 0}) {
            float expected = c.expect(Channel(texel, shift), Channel(diffuse, shift), Channel(texel, 24)) * 255.0f;
            EXPECT_NEAR(float((got >> shift) & 0xFF), expected, 1.0f) << "op " << c.op << " channel " << shift;
        }
    }
    // A second stage modulating the first stage's result by the vertex colour again.
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    DrawQuad(0, 0, 64, 64, 0.5f, diffuse);
    uint32_t got = Capture().At(5, 5);
    EXPECT_NEAR(Red(got), 0xC0 * 0x40 / 255.0f, 1.0f);
    texture->Release();
}

TEST_F(PixelStagesTest, MissingTextureReadsAsWhite)
{
    DrawQuad(0, 0, 64, 64, 0.5f, 0xFF336699);
    EXPECT_EQ(Capture().At(1, 1), 0x336699u);
}

TEST_F(PixelStagesTest, ColourWriteMaskKeepsMaskedChannels)
{
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_GREEN);
    DrawQuad(0, 0, 64, 64, 0.5f, 0xFFAABBCC);
    EXPECT_EQ(Capture().At(1, 1), 0x11BB33u);
}

// The fast paths (8-bit channels four pixels at a time, the 32-bit edge walk) against the
// general path on the scenes above and a textured, mip-mapped perspective floor: the same
// pixels covered, colours within rounding of each other.
TEST_F(PixelStagesTest, FastPathsMatchTheGeneralPath)
{
    auto scene = [&](int which) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFC86432, 1.0f, 0);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            UINT side = 16u >> level;
            for (UINT y = 0; y < side; ++y)
                for (UINT x = 0; x < side; ++x) {
                    D3DCOLOR c =
                        0x40000000u * ((x + y + level) & 3) | ((x * 16) << 16) | ((y * 16) << 8) | (level * 50);
                    std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch + x * 4, &c, 4);
                }
            texture->UnlockRect(level);
        }
        device_->SetTexture(0, texture);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
        const DWORD blends[][2] = {{0, 0},
                                   {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                   {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
                                   {D3DBLEND_ONE, D3DBLEND_ONE}};
        const DWORD ops[] = {D3DTOP_MODULATE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2};
        const DWORD* blend = blends[which % 4];
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend[0] != 0);
        device_->SetRenderState(D3DRS_SRCBLEND, blend[0]);
        device_->SetRenderState(D3DRS_DESTBLEND, blend[1]);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, which >= 8);
        device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, ops[which / 4 % 3]);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, ops[which / 4 % 3]);
        // A floor receding into the distance, so the levels of detail vary across the screen.
        DrawTriangles({At(-40, 63, 0.2f, 0xFFFFFFFF, 0, 6), At(104, 63, 0.2f, 0xC0FFFFFF, 6, 6),
                       At(24, 2, 0.9f, 0x80FF0000, 3, 0)});
        DrawQuad(3.5f, 5.25f, 60, 40, 0.5f, 0xA080C0FF, 0, 0, 2, 3);
        texture->Release();
    };
    for (int which = 0; which < 12; ++which) {
        SCOPED_TRACE("scene " + std::to_string(which));
        FakeAdapter::Current().DisableFastPaths = false;
        scene(which);
        Screen fast = Capture();
        FakeAdapter::Current().DisableFastPaths = true;
        scene(which);
        Screen general = Capture();
        int worst = 0;
        for (size_t i = 0; i < fast.argb.size(); ++i)
            for (int shift : {16, 8, 0})
                worst = std::max(
                    worst, std::abs(int((fast.argb[i] >> shift) & 0xFF) - int((general.argb[i] >> shift) & 0xFF)));
        EXPECT_LE(worst, 2);
    }
}

} // namespace
} // namespace d3d9test
