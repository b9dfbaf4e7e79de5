#include "RenderResourceSupport.h"

#include <cstdlib>
#include <filesystem>

#include <d3d9_fake_adapter.h>

#include "engine/render/Camera.h"
#include "engine/zel/CZelFile.h"

TestTexture::TestTexture(IDirect3DDevice9* device, const D3DCOLOR quadrants[4])
{
    if (device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &Internal, nullptr) != D3D_OK)
        return;
    D3DLOCKED_RECT locked;
    if (Internal->LockRect(0, &locked, nullptr, 0) != D3D_OK)
        return;
    for (int y = 0; y < 32; ++y) {
        D3DCOLOR* row = reinterpret_cast<D3DCOLOR*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 32; ++x)
            row[x] = quadrants[(y >= 16 ? 2 : 0) + (x >= 16 ? 1 : 0)];
    }
    Internal->UnlockRect(0);
    Words[1] = reinterpret_cast<unsigned long>(&Internal);
}

TestTexture::~TestTexture()
{
    if (Internal)
        Internal->Release();
}

void RenderResourceTest::SetUp()
{
    ObjectTest::SetUp();
    FakeAdapter::Configure(FakeAdapter::Default());
    ResetTransformState();
    Game = std::make_unique<ScopedGameFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Renderer = CRenderer::Create();
    ASSERT_NE(Renderer, nullptr);
    ASSERT_EQ(Renderer->Init(nullptr, 0, 0), 0);
    const fRECT full = {0, 0, 1, 1};
    Renderer->ConfigureLayers(8);
    Renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full,
                          CVector4(0, 0, 64, 0), 1.0f);
    Renderer->DefineLayer(7, RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full, CVector4(0, 0, 0, 0), 1.0f);
    // The overlay viewport as the shell sets it up: pixels of the virtual screen.
    CMatrix overlay;
    overlay.Ortho(0.0f, 640.0f, 480.0f, 0.0f, 0.0f, 1000.0f);
    LoadProjection(7, overlay);
}

void RenderResourceTest::TearDown()
{
    ResetWorld();
    CRenderer::Shutdown();
    ResetTransformState();
    Game.reset();
    ObjectTest::TearDown();
}

std::string RenderResourceTest::Frame(const std::string& points)
{
    CRenderDevice& device = CRenderer::GetDevice();
    const int number = device.GetScreenshotCount();
    device.SetScreenshotRequest(1);
    Renderer->Process();
    device.SetScreenshotRequest(0);
    return ReadShotPixels(Game->Shot(number), points);
}

void RenderResourceTest::WriteFixtures()
{
    CZelFile::LoadChunkCategories(0x11);
    const std::string command = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/render/spritefix.py " +
                                std::filesystem::current_path().string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string Expect(const std::vector<std::pair<std::string, std::string>>& points)
{
    std::string out = "640 480\n";
    for (const auto& p : points)
        out += p.first + "=" + p.second + "\n";
    return out;
}

void LoadTestCamera(const CVector& eye, const CVector& target)
{
    CMatrix camera;
    camera.LookAt(eye, target, CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(50.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
}

std::vector<EffectEntry> CurrentEffects()
{
    const RenderBuffer& b = CRenderer::GetDevice().GetRenderBuffers().Effect;
    const EffectEntry* first = reinterpret_cast<const EffectEntry*>(b.pBase);
    return std::vector<EffectEntry>(first, first + b.Count());
}

void BeginTestLayer(int layer)
{
    CRenderDevice& device = CRenderer::GetDevice();
    device.BeginFrame();
    device.BeginLayer(layer);
    SelectViewport(layer);
}

void EndTestLayer()
{
    CRenderDevice& device = CRenderer::GetDevice();
    EXPECT_EQ(device.EndLayer(), 0);
    device.EndFrame();
}
