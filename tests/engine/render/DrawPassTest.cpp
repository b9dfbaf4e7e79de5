// Shaders, render states and draw passes: every shader against the fixed-function path, the
// fragments the engine flags choose, sort orders, layer effects and a frame that outgrows its
// render buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <d3d9_fake_adapter.h>

#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CLightTree.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/CameraKeyframes.h"
#include "engine/world/GmvCamera.h"

namespace {

// ---- small matrix helpers over CMatrix (rows for row vectors) ----

CMatrix Mul(const CMatrix& a, const CMatrix& b)
{
    CMatrix out;
    out.Multiply(a, b);
    return out;
}

CMatrix Translation(float x, float y, float z)
{
    CMatrix m;
    m.SetIdentity();
    m.m12 = x;
    m.m13 = y;
    m.m14 = z;
    return m;
}

CMatrix RotationY(float a)
{
    CMatrix m;
    m.SetIdentity();
    m.m0 = std::cos(a);
    m.m2 = -std::sin(a);
    m.m8 = std::sin(a);
    m.m10 = std::cos(a);
    return m;
}

// Left-handed perspective as the device takes it: depth 0..w.
CMatrix DevicePerspective(float fovY, float aspect, float nearZ, float farZ)
{
    CMatrix m;
    std::memset(m.m, 0, sizeof m.m);
    const float yScale = 1.0f / std::tan(fovY / 2), xScale = yScale / aspect;
    m.m0 = xScale;
    m.m5 = yScale;
    m.m10 = farZ / (farZ - nearZ);
    m.m11 = 1.0f;
    m.m14 = -nearZ * farZ / (farZ - nearZ);
    return m;
}

CVector4 Apply(const CMatrix& m, float x, float y, float z, float w)
{
    return CVector4(x * m.m0 + y * m.m4 + z * m.m8 + w * m.m12, x * m.m1 + y * m.m5 + z * m.m9 + w * m.m13,
                    x * m.m2 + y * m.m6 + z * m.m10 + w * m.m14, x * m.m3 + y * m.m7 + z * m.m11 + w * m.m15);
}

void Columns(float* out, const CMatrix& m, int count)
{
    for (int c = 0; c < count; ++c) {
        out[4 * c + 0] = m.m[c];
        out[4 * c + 1] = m.m[4 + c];
        out[4 * c + 2] = m.m[8 + c];
        out[4 * c + 3] = m.m[12 + c];
    }
}

D3DMATRIX ToD3D(const CMatrix& m)
{
    D3DMATRIX out;
    std::memcpy(&out, m.m, sizeof out);
    return out;
}

// ---- the sphere each shader draws ----

struct ModelVertex {
    float x, y, z, nx, ny, nz, u, v;
};

std::vector<ModelVertex> SphereVertices(int slices, int stacks, std::vector<WORD>& indices)
{
    std::vector<ModelVertex> out;
    const float pi = 3.14159265f;
    for (int i = 0; i <= stacks; ++i) {
        const float theta = pi * float(i) / float(stacks);
        for (int j = 0; j <= slices; ++j) {
            const float phi = 2.0f * pi * float(j) / float(slices);
            const float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            out.push_back({x, y, z, x, y, z, float(j) / float(slices), float(i) / float(stacks)});
        }
    }
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const WORD a = WORD(i * (slices + 1) + j), b = WORD(a + slices + 1);
            for (WORD k : {a, WORD(a + 1), b, WORD(a + 1), WORD(b + 1), b})
                indices.push_back(k);
        }
    return out;
}

// What the fixed-function path draws: position, normal, diffuse colour, one coordinate pair.
struct FixedVertex {
    float x, y, z, nx, ny, nz;
    D3DCOLOR colour;
    float u, v;
};

DWORD Byte(float v) { return DWORD(v <= 0 ? 0 : v >= 1 ? 255 : v * 255.0f + 0.5f); }
D3DCOLOR Argb(const CVector4& c) { return Byte(c.w) << 24 | Byte(c.x) << 16 | Byte(c.y) << 8 | Byte(c.z); }

class DrawPassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeAdapter::Configure(FakeAdapter::Default());
        game = std::make_unique<ScopedGameFolder>("draw_pass", "width: 128\nheight: 96\nwindowed:\n");
    }
    void TearDown() override
    {
        Device.Shutdown();
        game.reset();
    }
    std::vector<uint32_t> Capture()
    {
        IDirect3DSurface9* back = nullptr;
        Device.GetDevice()->GetRenderTarget(0, &back);
        D3DSURFACE_DESC desc;
        back->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        back->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        std::vector<uint32_t> out(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&out[size_t(y) * desc.Width], static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch,
                        desc.Width * 4);
        back->UnlockRect();
        back->Release();
        return out;
    }
    IDirect3DTexture9* GradientTexture()
    {
        IDirect3DTexture9* texture = nullptr;
        Device.GetDevice()->CreateTexture(32, 32, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        D3DLOCKED_RECT locked;
        texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch)[x] =
                    0xFF000000u | DWORD(64 + 4 * x) << 16 | DWORD(64 + 4 * y) << 8 | 0x80;
        texture->UnlockRect(0);
        return texture;
    }
    std::unique_ptr<ScopedGameFolder> game;
    CRenderDevice Device;
};

// Each slot draws a lit or unlit sphere through its shader, and the fixed-function path draws
// the same sphere from vertices prepared as the shader's family describes: the pixels agree.
TEST_F(DrawPassTest, EveryShaderDrawsWhatTheFixedFunctionPathDraws)
{
    ASSERT_EQ(Device.Init(nullptr, CRenderDevice::FLAG_POINT_LIGHTS), 0);
    IDirect3DDevice9* d = Device.GetDevice();
    IDirect3DTexture9* texture = GradientTexture();
    std::vector<WORD> indices;
    const std::vector<ModelVertex> sphere = SphereVertices(24, 16, indices);

    const CMatrix world = RotationY(0.6f), view = Translation(0.2f, -0.1f, 3.2f);
    const CMatrix projection = DevicePerspective(0.9f, 128.0f / 96.0f, 0.5f, 20.0f);
    const CMatrix worldView = Mul(world, view), wvp = Mul(worldView, projection);
    const CVector4 diffuse(0.8f, 0.6f, 0.4f, 1), ambient(0.3f, 0.4f, 0.5f, 1), emissive(0.1f, 0.05f, 0.0f, 1);
    const CVector4 ambientLight(0.2f, 0.2f, 0.3f, 1), toLight(0.3f, 0.5f, -0.8f, 0), lightColour(0.9f, 0.8f, 0.7f, 1);
    const CVector4 pointPos(1.5f, 1.0f, -1.5f, 1), pointAtt(0.5f, 0.2f, 0.05f, 0), pointColour(0.5f, 0.7f, 0.3f, 1),
        pointAmbient(0.1f, 0.0f, 0.1f, 1);
    const CVector4 c1(0, 0.5f, 0.125f, 0.25f), c2(0.25f, 0.5f, 0.375f, 0.625f), c3(0.05f, 0.02f, 1.5f, 1.25f);
    const CVector4 vertexColour(0.25f, 0.5f, 0.125f, 1);
    // Coordinate pairs of the three-set layouts.
    auto pair = [](const ModelVertex& v, int k) {
        return k == 0 ? CVector(v.u, v.v, 0) : k == 1 ? CVector(1 - v.u, v.v, 0) : CVector(v.u, 1 - v.v, 0);
    };
    // The pair each three-set family gives stage 0, and its offset there.
    const int stageZeroPair[3] = {0, 1, 2};

    for (int slot = 0; slot < kShaderSlots; ++slot) {
        const int family = slot / 2;
        const bool lit = slot & 1;
        const bool colourLayout =
            family == kFamilyVertexColour || (family >= kFamilyThreeSetsA && family <= kFamilyThreeSetsC);
        std::vector<FixedVertex> fixed;
        std::vector<unsigned char> shaderVertices, secondStream;
        for (const ModelVertex& m : sphere) {
            CVector p(m.x, m.y, m.z), n(m.nx, m.ny, m.nz);
            const CVector morphP(m.x * 1.25f, m.y * 1.25f, m.z * 1.25f);
            if (family == kFamilyMorphShell)
                p = p + (morphP - p) * c1.y;
            if (family == kFamilyShell || family == kFamilyMorphShell) {
                const float k = c3.x + Apply(wvp, p.x, p.y, p.z, 1).z * c3.y;
                p = p + n * k;
            }
            float u = m.u, v = m.v;
            if (family == kFamilyShell || family == kFamilyMorphShell) {
                u *= c3.z;
                v *= c3.w;
            } else if (family == kFamilyEnvironment) {
                const CVector4 nv = Apply(worldView, m.nx, m.ny, m.nz, 0);
                u = (nv.x * 0.5f + 0.5f) * c3.z;
                v = (nv.y * 0.5f + 0.5f) * c3.w;
            } else if (family >= kFamilyThreeSetsA && family <= kFamilyThreeSetsC) {
                const CVector q = pair(m, stageZeroPair[family - kFamilyThreeSetsA]);
                u = q.x;
                v = q.y;
            }
            u += c1.z;
            v += c1.w;
            CVector4 colour = emissive;
            if (!lit && family == kFamilyVertexColour)
                colour =
                    CVector4(emissive.x + vertexColour.x, emissive.y + vertexColour.y, emissive.z + vertexColour.z, 1);
            else if (!lit)
                colour = colourLayout ? CVector4(emissive.x * vertexColour.x, emissive.y * vertexColour.y,
                                                 emissive.z * vertexColour.z, 1)
                                      : emissive;
            else if (family == kFamilyVertexColour)
                colour =
                    CVector4(emissive.x + vertexColour.x, emissive.y + vertexColour.y, emissive.z + vertexColour.z, 1);
            else if (colourLayout) // lit terrain: the vertex colour scales the whole lit sum
                colour =
                    CVector4(emissive.x * vertexColour.x, emissive.y * vertexColour.y, emissive.z * vertexColour.z, 1);
            fixed.push_back({p.x, p.y, p.z, n.x, n.y, n.z, Argb(colour), u, v});

            // The shader's own layout.
            auto put = [](std::vector<unsigned char>& out, const void* data, size_t size) {
                const unsigned char* b = static_cast<const unsigned char*>(data);
                out.insert(out.end(), b, b + size);
            };
            const float pn[6] = {m.x, m.y, m.z, m.nx, m.ny, m.nz};
            put(shaderVertices, pn, sizeof pn);
            if (colourLayout) {
                const D3DCOLOR vc = Argb(vertexColour);
                put(shaderVertices, &vc, 4);
            }
            if (family >= kFamilyThreeSetsA && family <= kFamilyThreeSetsC) {
                const CVector a = pair(m, 0), b = pair(m, 1), c = pair(m, 2);
                const float pairs[6] = {a.x, a.y, b.x, b.y, c.x, c.y};
                put(shaderVertices, pairs, sizeof pairs);
            } else {
                const float uv[2] = {m.u, m.v};
                put(shaderVertices, uv, sizeof uv);
            }
            if (family == kFamilyMorphShell) {
                const float second[8] = {morphP.x, morphP.y, morphP.z, m.nx, m.ny, m.nz, 0, 0};
                put(secondStream, second, sizeof second);
            }
        }

        auto clear = [&] {
            d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            d->SetRenderState(D3DRS_ZENABLE, TRUE);
            d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
            d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
            d->SetTexture(0, texture);
            d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
            d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        };
        Device.SetDefaultRenderStates();
        // Fixed function.
        clear();
        d->SetVertexShader(nullptr);
        d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        const D3DMATRIX w = ToD3D(world), v = ToD3D(view), p = ToD3D(projection);
        d->SetTransform(D3DTS_WORLD, &w);
        d->SetTransform(D3DTS_VIEW, &v);
        d->SetTransform(D3DTS_PROJECTION, &p);
        d->SetRenderState(D3DRS_LIGHTING, lit);
        if (lit) {
            D3DMATERIAL9 material{};
            std::memcpy(&material.Diffuse, &diffuse, 16);
            std::memcpy(&material.Ambient, &ambient, 16);
            if (family >= kFamilyThreeSetsA && family <= kFamilyThreeSetsC)
                for (D3DCOLORVALUE* c : {&material.Diffuse, &material.Ambient}) {
                    c->r *= vertexColour.x;
                    c->g *= vertexColour.y;
                    c->b *= vertexColour.z;
                }
            d->SetMaterial(&material);
            d->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
            d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
            d->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
            d->SetRenderState(D3DRS_AMBIENT, Argb(ambientLight));
            D3DLIGHT9 sun{};
            sun.Type = D3DLIGHT_DIRECTIONAL;
            std::memcpy(&sun.Diffuse, &lightColour, 16);
            sun.Direction = {-toLight.x, -toLight.y, -toLight.z};
            d->SetLight(0, &sun);
            d->LightEnable(0, TRUE);
            D3DLIGHT9 point{};
            point.Type = D3DLIGHT_POINT;
            std::memcpy(&point.Diffuse, &pointColour, 16);
            std::memcpy(&point.Ambient, &pointAmbient, 16);
            point.Position = {pointPos.x, pointPos.y, pointPos.z};
            point.Range = 1000.0f;
            point.Attenuation0 = pointAtt.x;
            point.Attenuation1 = pointAtt.y;
            point.Attenuation2 = pointAtt.z;
            d->SetLight(1, &point);
            d->LightEnable(1, TRUE);
        }
        d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(fixed.size()), UINT(indices.size() / 3), indices.data(),
                                  D3DFMT_INDEX16, fixed.data(), sizeof(FixedVertex));
        d->LightEnable(0, FALSE);
        d->LightEnable(1, FALSE);
        const std::vector<uint32_t> expected = Capture();

        // The shader.
        clear();
        ASSERT_TRUE(Device.SelectShader(slot)) << slot;
        float constants[47 * 4] = {};
        auto set = [&](int reg, const CVector4& c) { std::memcpy(&constants[4 * reg], &c, 16); };
        set(0, CVector4(0, 0.25f, 0.5f, 1));
        set(1, c1);
        set(2, c2);
        set(3, c3);
        Columns(&constants[4 * 4], world, 3);
        Columns(&constants[8 * 4], worldView, 3);
        Columns(&constants[12 * 4], wvp, 4);
        set(16, diffuse);
        set(17, ambient);
        set(18, emissive);
        set(19, ambientLight);
        set(20, toLight);
        set(21, lightColour);
        set(26, pointPos);
        set(27, CVector4(0, 0, 1, 0));
        set(28, pointAtt);
        set(29, pointColour);
        set(30, pointAmbient);
        for (int i = 1; i < 4; ++i)
            set(28 + 5 * i, CVector4(1, 0, 0, 0)); // unused lights: no colour, no division by zero
        d->SetVertexShaderConstantF(0, constants, 47);
        // Through vertex and index buffers, as the draw list plays meshes (the morph family
        // reads a second stream).
        const UINT stride = UINT(shaderVertices.size() / sphere.size());
        auto buffer = [&](const std::vector<unsigned char>& bytes) {
            IDirect3DVertexBuffer9* vb = nullptr;
            d->CreateVertexBuffer(UINT(bytes.size()), 0, 0, D3DPOOL_MANAGED, &vb, nullptr);
            void* at = nullptr;
            vb->Lock(0, 0, &at, 0);
            std::memcpy(at, bytes.data(), bytes.size());
            vb->Unlock();
            return vb;
        };
        IDirect3DVertexBuffer9* first = buffer(shaderVertices);
        IDirect3DVertexBuffer9* second = family == kFamilyMorphShell ? buffer(secondStream) : nullptr;
        IDirect3DIndexBuffer9* ib = nullptr;
        d->CreateIndexBuffer(UINT(indices.size() * 2), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
        void* at = nullptr;
        ib->Lock(0, 0, &at, 0);
        std::memcpy(at, indices.data(), indices.size() * 2);
        ib->Unlock();
        d->SetStreamSource(0, first, 0, stride);
        d->SetStreamSource(1, second, 0, second ? 32 : 0);
        d->SetIndices(ib);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, UINT(sphere.size()), 0, UINT(indices.size() / 3));
        d->SetStreamSource(0, nullptr, 0, 0);
        d->SetStreamSource(1, nullptr, 0, 0);
        d->SetIndices(nullptr);
        for (IUnknown* b : {static_cast<IUnknown*>(first), static_cast<IUnknown*>(second), static_cast<IUnknown*>(ib)})
            if (b)
                b->Release();
        d->SetVertexShader(nullptr);
        const std::vector<uint32_t> got = Capture();

        int drawn = 0, off = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            drawn += (expected[i] & 0xFFFFFF) != 0;
            for (int shift : {16, 8, 0})
                if (std::abs(int((expected[i] >> shift) & 0xFF) - int((got[i] >> shift) & 0xFF)) > 3) {
                    ++off;
                    break;
                }
        }
        EXPECT_GT(drawn, 2000) << "slot " << slot;
        EXPECT_LE(off, int(got.size()) / 200) << "slot " << slot << " differs in " << off << " pixels";
    }
    texture->Release();
}

TEST(ShaderText, EngineFlagsChooseTheFogAndPointLightFragments)
{
    for (int slot = 0; slot < kShaderSlots; ++slot) {
        const bool lit = slot & 1;
        EXPECT_EQ(ShaderText(slot, 0).find("oFog"), std::string::npos) << slot;
        EXPECT_NE(ShaderText(slot, CRenderDevice::FLAG_FOG).find("oFog"), std::string::npos) << slot;
        EXPECT_EQ(ShaderText(slot, 0).find("c26"), std::string::npos) << slot;
        EXPECT_EQ(ShaderText(slot, CRenderDevice::FLAG_POINT_LIGHTS).find("c46") != std::string::npos, lit) << slot;
        EXPECT_EQ(ShaderText(slot, 0).find("c19") != std::string::npos, lit) << slot;
    }
}

TEST(DrawLists, SortOrders)
{
    DrawEntry draws[] = {{5, 1, nullptr, nullptr},
                         {2, 1, nullptr, nullptr},
                         {5, 9, nullptr, nullptr},
                         {0x80000000u, 0, nullptr, nullptr},
                         {2, 3, nullptr, nullptr}};
    SortDrawList(draws, 5);
    const unsigned long drawOrder[][2] = {{2, 3}, {2, 1}, {5, 9}, {5, 1}, {0x80000000u, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(draws[i].SortKey, drawOrder[i][0]) << i;
        EXPECT_EQ(draws[i].SecondKey, drawOrder[i][1]) << i;
    }
    EffectEntry effects[] = {{7, 1.0f, nullptr, nullptr}, {7, 4.0f, nullptr, nullptr}, {1, -2.0f, nullptr, nullptr}};
    SortEffectList(effects, 3);
    EXPECT_EQ(effects[0].Priority, 1u);
    EXPECT_EQ(effects[1].Depth, 4.0f);
    EXPECT_EQ(effects[2].Depth, 1.0f);
    DecalEntry decals[] = {{0.5f, 1, nullptr}, {-1.0f, 2, nullptr}, {0.5f, 6, nullptr}};
    SortDecalList(decals, 3);
    EXPECT_EQ(decals[0].SortValue, -1.0f);
    EXPECT_EQ(decals[1].SecondKey, 6u);
    EXPECT_EQ(decals[2].SecondKey, 1u);
}

// Pre and post effects over a known clear colour, for each blend mode; alpha 0 draws nothing
// and a mode past the table keeps the factors set before.
TEST_F(DrawPassTest, LayerEffectsBlendByTheirMode)
{
    ASSERT_EQ(Device.Init(nullptr, 0), 0);
    Device.ConfigureLayers(1);
    RenderLayer* layer = Device.GetLayer(0);
    const float cd[3] = {200 / 255.0f, 100 / 255.0f, 50 / 255.0f};
    const CVector4 colour(100, 150, 250, 128);
    const float cs[3] = {100 / 255.0f, 150 / 255.0f, 250 / 255.0f}, as = 128 / 255.0f;
    auto blend = [&](int mode, int i) {
        const float s = cs[i], t = cd[i];
        const float table[6] = {s * as + t * (1 - as), s * as + t,          s * t + t * as,
                                s * (1 - t) + t * as,  s * t + t * (1 - t), s * (1 - t) + t * (1 - s)};
        const float v = table[mode];
        return int(std::lround((v > 1 ? 1 : v) * 255));
    };
    for (int mode = -1; mode < 7; ++mode) {
        layer->Flags = RenderLayer::ENABLED | RenderLayer::CLEAR_COLOUR | RenderLayer::LAST;
        layer->ClearColour = 0xC86432;
        layer->PreEffectType = mode < 0 ? 0 : mode;
        layer->PreEffectColour = mode < 0 ? CVector4(255, 255, 255, 0) : colour;
        Device.BeginFrame();
        Device.BeginLayer(0);
        EXPECT_EQ(Device.EndLayer(), 0);
        Device.EndFrame();
        const uint32_t pixel = Capture()[48 * 128 + 64];
        for (int i = 0; i < 3; ++i) {
            const int got = int(pixel >> (16 - 8 * i)) & 0xFF;
            const int want = mode < 0 ? int(std::lround(cd[i] * 255)) : blend(mode < 6 ? mode : 5, i);
            EXPECT_NEAR(got, want, 2) << "mode " << mode << " channel " << i;
        }
    }
}

// ---- the decal list ----

// A flat square of 32-byte vertices between two corners at z 0, facing +z.
std::vector<ModelVertex> Square(float x0, float y0, float x1, float y1)
{
    return {
        {x0, y0, 0, 0, 0, 1, 0, 0}, {x1, y0, 0, 0, 0, 1, 1, 0}, {x0, y1, 0, 0, 0, 1, 0, 1}, {x1, y1, 0, 0, 0, 1, 1, 1}};
}

// A light set whose one light gives only ambient light, the same through the shaders (c19)
// and the fixed-function lights.
struct AmbientSet {
    explicit AmbientSet(float level)
    {
        Device.Light.Type = D3DLIGHT_DIRECTIONAL;
        Device.Light.Direction = {0, 0, -1};
        Device.Light.Ambient = {level, level, level, 1};
        Record.pDevice = &Device;
        Set.Clear(false);
        Set.Registers[0] = CVector4(level, level, level, 0);
        Set.Directional[0] = &Record;
        Set.DirectionalCount = 1;
    }
    DeviceLightRecord Device{};
    LightRecord Record{};
    CLightSet Set;
};

// Screen (world -1..1, y down) of a 128 by 96 target: opaque meshes before and after the decal
// marker's key, two decals entered against their order, one of them in two pieces under
// different light sets. Decals land between the meshes, in their own order, blended by their
// mode and lit piece by piece, with and without shaders.
TEST_F(DrawPassTest, DecalListPlaysAtItsMarkerInItsOwnOrder)
{
    for (const char* config :
         {"width: 128\nheight: 96\nwindowed:\n", "width: 128\nheight: 96\nwindowed:\nnoshaders:\n"}) {
        SCOPED_TRACE(config);
        Device.Shutdown();
        game.reset();
        game = std::make_unique<ScopedGameFolder>("decal_list", config);
        ResetTransformState();
        ASSERT_EQ(Device.Init(nullptr, 0), 0);
        IDirect3DDevice9* d = Device.GetDevice();
        Device.ConfigureLayers(1);
        Device.GetLayer(0)->Flags = RenderLayer::ENABLED | RenderLayer::CLEAR_COLOUR | RenderLayer::LAST;
        Device.GetLayer(0)->ClearColour = 0;

        std::vector<IUnknown*> made;
        IDirect3DIndexBuffer9* strip = nullptr;
        d->CreateIndexBuffer(8, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &strip, nullptr);
        void* at = nullptr;
        strip->Lock(0, 0, &at, 0);
        const WORD order[4] = {0, 1, 2, 3};
        std::memcpy(at, order, sizeof order);
        strip->Unlock();
        made.push_back(strip);
        auto mesh = [&](unsigned long key, float x0, float x1, const CVector4& colour) {
            const std::vector<ModelVertex> v = Square(x0, -1, x1, 1);
            IDirect3DVertexBuffer9* vb = nullptr;
            d->CreateVertexBuffer(UINT(v.size() * sizeof v[0]), 0, 0, D3DPOOL_MANAGED, &vb, nullptr);
            vb->Lock(0, 0, &at, 0);
            std::memcpy(at, v.data(), v.size() * sizeof v[0]);
            vb->Unlock();
            made.push_back(vb);
            DrawState* s = Device.NewDrawState(key);
            s->Kind = kDrawMesh;
            s->ShaderSlot = (unsigned char)ShaderSlot(kFamilyBasic, true);
            s->FamilyFlags = 1;
            s->C(16) = s->C(17) = CVector4(0, 0, 0, 1);
            s->C(18) = colour;
            s->pVertices = vb;
            s->pIndices = strip;
            s->VertexCount = 4;
            s->IndexCount = 4;
        };
        const WORD cell[6] = {0, 1, 2, 2, 1, 3};
        std::vector<std::vector<ModelVertex>> corners;
        corners.reserve(3);
        auto piece = [&](float x0, float y0, float x1, float y1, const CLightSet* set, const DecalPiece* next) {
            corners.push_back(Square(x0, y0, x1, y1));
            return DecalPiece{set, corners.back().data(), cell, 1, 4, next};
        };
        auto decal = [&](float value, unsigned long renderFlags, const CVector4& colour, const DecalPiece* pieces) {
            DecalEntry* entry = Device.AllocDecal(1);
            DrawState* s = Device.NewState();
            s->ShaderSlot = (unsigned char)ShaderSlot(kFamilyBasic, false); // playback chooses its own
            s->C(16) = CVector4(0, 0, 0, 1);
            s->C(17) = colour;
            s->C(18) = CVector4(0, 0, 0, colour.w);
            s->MaterialAlpha = colour.w;
            s->RenderFlags = renderFlags;
            s->pDecalPieces = pieces;
            *entry = DecalEntry{value, 0, s};
        };

        AmbientSet full(1.0f), half(128 / 255.0f);
        Device.BeginFrame();
        Device.BeginLayer(0);
        mesh(0x70000000, 0.5f, 1, CVector4(0, 0, 1, 1)); // after the marker: over every decal
        mesh(0x40000000, -1, 1, CVector4(1, 0, 0, 1));   // before it: under them
        const DecalPiece lower = piece(-0.5f, 0, 1, 1, &half.Set, nullptr);
        const DecalPiece upper = piece(-0.5f, -1, 1, 0, &full.Set, &lower);
        decal(1.0f, 0, CVector4(0, 1, 0, 0.5f), &upper);
        const DecalPiece added = piece(-1, -1, 0, 0, &full.Set, nullptr);
        decal(0.0f, DRAW_ADDITIVE, CVector4(0, 0, 1, 1), &added);
        EXPECT_EQ(Device.EndLayer(), 0);
        Device.EndFrame();
        EXPECT_EQ(Device.GetLastDrawCount(), 4);

        const std::vector<uint32_t> got = Capture();
        struct Case {
            int x, y;
            uint32_t rgb;
            const char* what;
        };
        const Case cases[] = {
            {16, 72, 0xFF0000, "the first mesh alone"},
            {16, 24, 0xFF00FF, "the additive decal over it"},
            {48, 24, 0x808080, "the alpha decal over the additive one: it sorts after"},
            {80, 24, 0x808000, "the alpha decal at half"},
            {80, 72, 0x804000, "its second piece, under half the light"},
            {112, 24, 0x0000FF, "the mesh sorted after the marker"},
            {112, 72, 0x0000FF, "the mesh sorted after the marker"},
        };
        for (const Case& c : cases) {
            const uint32_t pixel = got[size_t(c.y) * 128 + size_t(c.x)];
            for (int shift : {16, 8, 0})
                EXPECT_NEAR(int(pixel >> shift & 0xFF), int(c.rgb >> shift & 0xFF), 3)
                    << c.what << " at " << c.x << "," << c.y << ": " << std::hex << pixel;
        }
        for (IUnknown* u : made)
            u->Release();
    }
}

// ---- the renderer's frame with more draws than its buffers hold ----

// A small square mesh drawn through the draw list with the basic lit shader.
class MeshResource : public CRendResource {
public:
    void Render(CRender* render) override
    {
        ++Calls;
        CRenderDevice& device = CRenderer::GetDevice();
        PushMultMatrix(Translation(render->GetPos()->x, render->GetPos()->y, render->GetPos()->z));
        DrawState* state = device.NewDrawState(0x40000000);
        PopMatrix();
        if (!state)
            return;
        state->Kind = kDrawMesh;
        state->ShaderSlot = (unsigned char)ShaderSlot(Family, false);
        state->FamilyFlags = Outline ? 2 : 0;
        state->C(18) = Colour;
        state->RenderFlags = DRAW_DEPTH_TEST | DRAW_DEPTH_WRITE;
        state->pVertices = Vertices;
        state->pIndices = Indices;
        state->VertexCount = 4;
        state->IndexCount = 4;
    }
    void Build(IDirect3DDevice9* d)
    {
        const float v[4][8] = {
            {-1, -1, 0, 0, 0, 1, 0, 0}, {1, -1, 0, 0, 0, 1, 1, 0}, {-1, 1, 0, 0, 0, 1, 0, 1}, {1, 1, 0, 0, 0, 1, 1, 1}};
        const WORD i[4] = {0, 1, 2, 3};
        void* at = nullptr;
        d->CreateVertexBuffer(sizeof v, 0, 0, D3DPOOL_MANAGED, &Vertices, nullptr);
        Vertices->Lock(0, 0, &at, 0);
        std::memcpy(at, v, sizeof v);
        Vertices->Unlock();
        d->CreateIndexBuffer(sizeof i, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &Indices, nullptr);
        Indices->Lock(0, 0, &at, 0);
        std::memcpy(at, i, sizeof i);
        Indices->Unlock();
    }
    void Release()
    {
        Vertices->Release();
        Indices->Release();
    }
    IDirect3DVertexBuffer9* Vertices = nullptr;
    IDirect3DIndexBuffer9* Indices = nullptr;
    int Calls = 0;
    ShaderFamily Family = kFamilyBasic;
    bool Outline = false;
    CVector4 Colour = CVector4(1, 0, 1, 1);
};

class FrameBufferTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
    }
    void TearDown() override
    {
        ResetWorld();
        CRenderer::Shutdown();
        ResetTransformState();
        ObjectTest::TearDown();
    }
    // A renderer of one layer cleared to dark blue, its camera looking down on the plane z 0
    // from 120 above (50, 50).
    static CRenderer* Start();
};

CRenderer* FrameBufferTest::Start()
{
    CRenderer* renderer = CRenderer::Create();
    if (!renderer || renderer->Init(nullptr, 0, 0) != 0)
        return nullptr;
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 64, 0), 1.0f);
    CMatrix camera;
    camera.LookAt(CVector(50, 50, 120), CVector(50, 50, 0), CVector(0, 1, 0));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(60.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
    return renderer;
}

TEST_F(FrameBufferTest, ALayerWithMoreDrawsThanTheBuffersHoldDrawsThemAll)
{
    ScopedGameFolder game("frame_buffers");
    CRenderer* renderer = Start();
    ASSERT_NE(renderer, nullptr);
    CRenderDevice& device = CRenderer::GetDevice();

    MeshResource mesh;
    mesh.Build(device.GetDevice());
    const int kRenders = 600;
    std::vector<CVector> places;
    for (int i = 0; i < kRenders; ++i)
        places.push_back(CVector(float(i % 30) * 3.5f, float(i / 30) * 5.0f, 0));
    std::vector<CRender> renders(kRenders);
    for (int i = 0; i < kRenders; ++i) {
        renders[size_t(i)].Attach(&places[size_t(i)], nullptr, nullptr, nullptr);
        renders[size_t(i)].Attach(&mesh, 0);
        renders[size_t(i)].SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        renders[size_t(i)].Link();
    }
    const int restarts = device.GetRestartCount();
    const int shot = device.GetScreenshotCount();
    device.SetScreenshotRequest(1);
    renderer->Process();
    device.SetScreenshotRequest(0);
    EXPECT_EQ(device.GetRestartCount(), restarts + 1);
    EXPECT_EQ(mesh.Calls, 2 * kRenders); // the whole frame again after the restart
    EXPECT_EQ(device.GetLastDrawCount(), kRenders);
    renderer->Process();
    EXPECT_EQ(device.GetRestartCount(), restarts + 1);
    EXPECT_EQ(mesh.Calls, 3 * kRenders);
    EXPECT_EQ(device.GetLastDrawCount(), kRenders);

    // A mesh's centre is drawn where World2Screen puts it; the clear colour shows between.
    float invW;
    const CVector at = World2Screen(0, places[31], invW);
    char points[64];
    std::snprintf(points, sizeof points, "%d,%d 2,2", int(at.x), int(at.y));
    EXPECT_EQ(ReadShotPixels(game.Shot(shot), points),
              "640 480\n" + std::to_string(int(at.x)) + "," + std::to_string(int(at.y)) + "=FF00FF\n2,2=000040\n");
    for (CRender& r : renders)
        r.Unlink();
    mesh.Release();
}

// The first frame's draws test and write depth as their flags say, although the device started
// with depth off: the nearer of two overlapping meshes shows whichever is drawn first.
TEST_F(FrameBufferTest, DepthDecidesBetweenOverlappingMeshesFromTheFirstFrame)
{
    for (bool nearFirst : {true, false}) {
        ScopedGameFolder game("depth_first_frame");
        CRenderer* renderer = Start();
        ASSERT_NE(renderer, nullptr);
        CRenderDevice& device = CRenderer::GetDevice();
        MeshResource nearMesh, farMesh;
        nearMesh.Build(device.GetDevice());
        farMesh.Build(device.GetDevice());
        nearMesh.Colour = CVector4(0, 1, 0, 1);
        CVector places[2] = {CVector(50, 50, 20), CVector(50, 50, 0)};
        MeshResource* meshes[2] = {&nearMesh, &farMesh};
        CRender renders[2];
        for (int i = 0; i < 2; ++i) {
            const int which = nearFirst ? i : 1 - i;
            renders[i].Attach(&places[which], nullptr, nullptr, nullptr);
            renders[i].Attach(meshes[which], 0);
            renders[i].SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
            renders[i].Link();
        }
        const int shot = device.GetScreenshotCount();
        device.SetScreenshotRequest(1);
        renderer->Process();
        device.SetScreenshotRequest(0);
        EXPECT_EQ(ReadShotPixels(game.Shot(shot), "320,240"), "640 480\n320,240=00FF00\n")
            << "near first " << nearFirst;
        for (CRender& r : renders)
            r.Unlink();
        nearMesh.Release();
        farMesh.Release();
        ResetWorld();
        CRenderer::Shutdown();
    }
}

// The renderer's outline switch starts as the settings say and reaches the device at the next
// frame: each mesh that asks for an outline is drawn a second time while it is on.
TEST_F(FrameBufferTest, TheOutlineSwitchAddsTheShellPass)
{
    for (bool configured : {false, true}) {
        ScopedGameFolder game("outline_switch", configured ? "width: 640\nheight: 480\nwindowed:\noutlines:\n"
                                                           : "width: 640\nheight: 480\nwindowed:\n");
        CRenderer* renderer = Start();
        ASSERT_NE(renderer, nullptr);
        IDirect3DDevice9* d = CRenderer::GetDevice().GetDevice();
        MeshResource outlined, plain;
        outlined.Build(d);
        plain.Build(d);
        outlined.Family = kFamilyShell;
        outlined.Outline = true;
        CVector places[2] = {CVector(40, 50, 0), CVector(60, 50, 0)};
        CRender renders[2];
        MeshResource* meshes[2] = {&outlined, &plain};
        for (int i = 0; i < 2; ++i) {
            renders[i].Attach(&places[i], nullptr, nullptr, nullptr);
            renders[i].Attach(meshes[i], 0);
            renders[i].SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
            renders[i].Link();
        }
        auto frameDraws = [&] {
            const unsigned before = FakeAdapter::DrawCount(d);
            renderer->Process();
            return FakeAdapter::DrawCount(d) - before;
        };
        EXPECT_EQ(frameDraws(), configured ? 3u : 2u) << "configured " << configured;
        renderer->ToggleRenderOutlines();
        EXPECT_EQ(frameDraws(), configured ? 2u : 3u) << "configured " << configured;
        for (CRender& r : renders)
            r.Unlink();
        outlined.Release();
        plain.Release();
        ResetWorld();
        CRenderer::Shutdown();
    }
}

// The camera object drives the view: a key frame recorded at one eye and played back after the
// camera moved elsewhere draws the mesh where World2Screen puts it for the recorded eye.
TEST_F(FrameBufferTest, ACameraKeyFramePlayedBackDrawsWhereWorld2ScreenSays)
{
    ScopedGameFolder game("camera_key");
    CRenderer* renderer = CRenderer::Create();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->Init(nullptr, 0, 0), 0);
    CRenderDevice& device = CRenderer::GetDevice();
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(0, 0, 64, 0), 1.0f);
    CMatrix projection;
    projection.Perspective(60.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);

    GmvCamera* camera = GmvCamera::Create();
    ASSERT_EQ(GmvCamera::pThe, camera);
    const CVector recordedEye(12, -20, 25), recordedFocus(4, 6, 0);
    camera->SetFocus(recordedFocus);
    camera->SetEye(recordedEye);
    ClearCameraKeyframes();
    AddCameraKeyframe();
    camera->SetEye(CVector(-40, 30, 60));
    camera->SetFocus(CVector(-40, 31, 0));

    MeshResource mesh;
    mesh.Build(device.GetDevice());
    const CVector place(6, 2, 0);
    CRender render;
    render.Attach(&place, nullptr, nullptr, nullptr);
    render.Attach(&mesh, 0);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();

    ToggleCameraPlayback();
    const int shot = device.GetScreenshotCount();
    device.SetScreenshotRequest(1);
    renderer->Process();
    device.SetScreenshotRequest(0);
    ToggleCameraPlayback();
    EXPECT_EQ(camera->GetPos(), recordedEye);
    EXPECT_EQ(camera->GetFocus(), recordedFocus);

    float invW;
    const CVector at = World2Screen(0, place, invW);
    const CVector centre = World2Screen(0, recordedFocus, invW);
    EXPECT_NEAR(centre.x, 320.0f, 0.01f);
    EXPECT_NEAR(centre.y, 240.0f, 0.01f);
    char points[64];
    std::snprintf(points, sizeof points, "%d,%d 2,2", int(at.x), int(at.y));
    EXPECT_EQ(ReadShotPixels(game.Shot(shot), points),
              "640 480\n" + std::to_string(int(at.x)) + "," + std::to_string(int(at.y)) + "=FF00FF\n2,2=000040\n");
    render.Unlink();
    mesh.Release();
    ClearCameraKeyframes();
}

} // namespace
