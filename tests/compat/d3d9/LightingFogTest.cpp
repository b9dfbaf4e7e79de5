// Fixed-function lighting against the Lambert formula, and table fog at known eye depths.
#include <cmath>

#include "D3D9TestSupport.h"
#include "Sphere.h"

namespace d3d9test {
namespace {

class LightingFogTest : public DeviceTest {};

// A unit sphere seen orthographically fills the screen's inscribed circle; at the pixel over
// (x, y) its front surface has the normal (x, y, -sqrt(1 - x² - y²)).
TEST_F(LightingFogTest, LitSphereFollowsLambert)
{
    Sphere sphere(96, 48);
    D3DMATRIX projection = Orthographic(2.0f, 2.0f, -2.0f, 2.0f);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    device_->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
    D3DMATERIAL9 material{};
    material.Diffuse = {0.8f, 0.6f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    device_->SetMaterial(&material);
    const float direction[3] = {0.48f, -0.6f, 0.64f}; // unit length, shining into the screen
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {direction[0], direction[1], direction[2]};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(sphere.vertices.size()), sphere.Triangles(),
                                              sphere.indices.data(), D3DFMT_INDEX16, sphere.vertices.data(),
                                              sizeof(NormalVertex)),
              D3D_OK);
    Screen screen = Capture();
    int checked = 0;
    for (UINT py = 0; py < kHeight; py += 2) {
        for (UINT px = 0; px < kWidth; px += 2) {
            float x = float(px) / 32.0f - 1.0f, y = 1.0f - float(py) / 32.0f;
            if (x * x + y * y > 0.8f * 0.8f)
                continue;
            float n[3] = {x, y, -std::sqrt(1.0f - x * x - y * y)};
            float lambert = std::fmax(0.0f, -(n[0] * direction[0] + n[1] * direction[1] + n[2] * direction[2]));
            uint32_t pixel = screen.At(px, py);
            const float diffuse[3] = {0.8f, 0.6f, 1.0f};
            for (int c = 0; c < 3; ++c) {
                float expected = std::fmin(1.0f, 32.0f / 255.0f + diffuse[c] * lambert) * 255.0f;
                ASSERT_NEAR(float((pixel >> (16 - 8 * c)) & 0xFF), expected, 3.0f)
                    << px << "," << py << " channel " << c;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 400);
    EXPECT_EQ(screen.At(1, 1), 0u); // outside the sphere
}

TEST_F(LightingFogTest, PointLightFallsOffWithItsAttenuation)
{
    D3DMATRIX projection = Orthographic(64.0f, 64.0f, 0.0f, 10.0f);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    device_->SetMaterial(&material);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {0.0f, 0.0f, 0.0f};
    light.Range = 100.0f;
    light.Attenuation0 = 1.0f;
    light.Attenuation1 = 0.5f;
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    // A wall facing the light 2 units away, tessellated finely enough for per-vertex light.
    std::vector<NormalVertex> wall;
    for (int i = -16; i < 16; ++i)
        for (int j = -16; j < 16; ++j) {
            float x0 = float(i), y0 = float(j), x1 = x0 + 1, y1 = y0 + 1;
            for (auto p : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y0}, {x1, y1}, {x0, y1}})
                wall.push_back({p.first, p.second, 2.0f, 0, 0, -1});
        }
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(wall.size() / 3), wall.data(), sizeof(NormalVertex)),
              D3D_OK);
    Screen screen = Capture();
    // Straight ahead: distance 2, N·L 1, attenuation 1 / (1 + 0.5 * 2).
    EXPECT_NEAR(Red(screen.At(32, 32)), 255.0f / 2.0f, 2.0f);
    // Off to the side at (8, 0): distance sqrt(68), N·L 2 / distance.
    float d = std::sqrt(68.0f);
    EXPECT_NEAR(Red(screen.At(40, 32)), 255.0f * (2.0f / d) / (1.0f + 0.5f * d), 2.0f);
}

// Quads at eye depths 2, 6 and 10 under linear table fog from 2 to 10.
TEST_F(LightingFogTest, LinearTableFogBlendsByEyeDepth)
{
    D3DMATRIX projection = Perspective(1.5707963f, 1.0f, 1.0f, 100.0f);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device_->SetRenderState(D3DRS_FOGSTART, FloatBits(2.0f));
    device_->SetRenderState(D3DRS_FOGEND, FloatBits(10.0f));
    device_->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
    device_->SetFVF(kColourFVF);
    const float depths[] = {2.0f, 6.0f, 10.0f, 14.0f};
    for (int i = 0; i < 4; ++i) {
        float d = depths[i];
        // A strip across one quarter of the screen's width at depth d.
        float left = (-1.0f + 0.5f * i) * d, right = left + 0.5f * d;
        ColourVertex quad[] = {{left, d, d, 0xFFFF0000, 0, 0},
                               {right, d, d, 0xFFFF0000, 0, 0},
                               {left, -d, d, 0xFFFF0000, 0, 0},
                               {right, -d, d, 0xFFFF0000, 0, 0}};
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex)), D3D_OK);
    }
    Screen screen = Capture();
    for (int i = 0; i < 4; ++i) {
        float f = std::fmin(1.0f, std::fmax(0.0f, (10.0f - depths[i]) / 8.0f));
        uint32_t pixel = screen.At(UINT(8 + 16 * i), 32);
        EXPECT_NEAR(Red(pixel), 255.0f * f, 1.0f) << "depth " << depths[i];
        EXPECT_NEAR(Blue(pixel), 255.0f * (1.0f - f), 1.0f) << "depth " << depths[i];
    }
}

} // namespace
} // namespace d3d9test
