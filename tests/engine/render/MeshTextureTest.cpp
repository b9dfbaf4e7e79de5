// Textures and meshes as the converter writes them (generated images and a generated LightWave
// model, converted by wexlorn at build time), loaded by the engine and drawn by the renderer:
// every texture format uploads its whole mip chain (an independent reader compares each level
// with the file), a textured quad's screenshot shows the image's texels, and the mesh appears
// where World2Screen puts it. Sizes the device cannot take end the program with their message.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <d3d9_fake_adapter.h>

#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "../../support/RunCommand.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CDynamicTexture.h"
#include "engine/render/CMeshWorkspace.h"
#include "engine/render/CRendMesh.h"
#include "engine/render/CRendPCXMesh.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/CTextureManager.h"
#include "engine/render/Camera.h"
#include "engine/render/LightHandles.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace fs = std::filesystem;

namespace {

const std::string Script = std::string(MG_MESHTEX_SRC) + "/meshtex.py";
const std::string ZelFolder = MG_MESHTEX_ZEL;

std::string Python(const std::string& arguments)
{
    return mgtest::RunCommand(std::string(MG_PYTHON) + " " + Script + " " + arguments + " 2>&1").output;
}

template <class T> T* Record(const char* label)
{
    return static_cast<T*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(label)));
}

class MeshTextureTest : public ObjectTest {
protected:
    void SetUp() override
    {
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
        game = std::make_unique<ScopedGameFolder>("mesh_texture");
        renderer = CRenderer::Create();
        ASSERT_NE(renderer, nullptr);
        renderer->Init(nullptr, 0, 0);
        renderer->ConfigureLayers(1);
        renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED,
                              {0, 0, 1, 1}, CVector4(0, 0, 128, 0), 1.0f);
        // Under an emulator the program may not learn its own folder: the loader then looks in
        // the working folder, so the file is there too.
        fs::copy_file(ZelFolder + "/meshtex.zel", fs::current_path() / "meshtex.zel");
        CZelFile::LoadChunkCategories(0x11);
        file = std::make_unique<CZelFile>();
        ASSERT_EQ(file->Load("meshtex.zel"), 0);
    }
    void TearDown() override
    {
        file.reset();
        ResetWorld();
        CRenderer::Shutdown();
        ResetTransformState();
        game.reset();
    }
    // Draws one frame and returns its screenshot.
    // The screenshot goes beside the data folder the program finds from its own place, which is
    // shared by the test processes running side by side (or, where the program cannot learn its
    // place, beside the working folder): the shot is taken under a lock and moved into this
    // process's own folder.
    fs::path Shoot()
    {
        const int number = CRenderer::GetDevice().GetScreenshotCount();
        const fs::path shared = fs::path(ZelFolder).parent_path() / game->Shot(number).filename();
        const fs::path own = game->Folder / ("shot_" + std::to_string(number) + ".tga");
        const int lock = open((fs::path(ZelFolder).parent_path() / "shot.lock").c_str(), O_CREAT | O_RDWR, 0644);
        flock(lock, LOCK_EX);
        CRenderer::GetDevice().SetScreenshotRequest(1);
        renderer->Process();
        CRenderer::GetDevice().SetScreenshotRequest(0);
        std::error_code ignored;
        fs::rename(fs::exists(game->Shot(number)) ? game->Shot(number) : shared, own, ignored);
        flock(lock, LOCK_UN);
        close(lock);
        return own;
    }
    std::unique_ptr<ScopedGameFolder> game;
    std::unique_ptr<CZelFile> file;
    CRenderer* renderer = nullptr;
};

TEST_F(MeshTextureTest, ConvertedTexturesUploadEveryLevelInTheirFormat)
{
    const struct {
        const char* label;
        D3DFORMAT format;
    } cases[] = {{"T565", D3DFMT_R5G6B5},
                 {"T1555", D3DFMT_A1R5G5B5},
                 {"T4444", D3DFMT_A4R4G4B4},
                 {"TX888", D3DFMT_X8R8G8B8},
                 {"T8888", D3DFMT_A8R8G8B8}};
    const int before = CTextureManager::GetLiveCount();
    EXPECT_GE(before, 5);
    for (const auto& c : cases) {
        CRendTexture* record = Record<CRendTexture>(c.label);
        ASSERT_NE(record, nullptr) << c.label;
        IDirect3DTexture9* texture = record->GetDeviceTexture();
        ASSERT_NE(texture, nullptr) << c.label;
        // The converter stops its chain at 4 x 4 texels.
        EXPECT_EQ(texture->GetLevelCount(), 3u) << c.label;
        const int bytesPerTexel = record->GetInternal()->BitDepth / 8;
        for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc;
            texture->GetLevelDesc(level, &desc);
            EXPECT_EQ(desc.Format, c.format) << c.label;
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
            std::ofstream dump(game->Folder / (std::string(c.label) + "_" + std::to_string(level) + ".raw"),
                               std::ios::binary);
            for (UINT y = 0; y < desc.Height; ++y)
                dump.write(static_cast<const char*>(locked.pBits) + y * locked.Pitch, desc.Width * bytesPerTexel);
            texture->UnlockRect(level);
        }
        EXPECT_EQ(Python("levels " + ZelFolder + "/meshtex.zel " + c.label + " " + game->Folder.string()),
                  std::string(c.label) + " levels 3 equal\n");
    }
    // A shared record draws the texture it repeats and owns none.
    struct {
        void* table;
        CRendTexture* other;
        unsigned long shared;
    } stored = {nullptr, Record<CRendTexture>("T565"), 1};
    CRendTexture* shared = new (&stored) CRendTexture;
    EXPECT_EQ(shared->GetDeviceTexture(), Record<CRendTexture>("T565")->GetDeviceTexture());
    shared->~CRendTexture();
    EXPECT_EQ(CTextureManager::GetLiveCount(), before);
    file.reset();
    EXPECT_EQ(CTextureManager::GetLiveCount(), before - 5);
}

// The table of formats, for every bit depth and alpha flag.
TEST(TextureFormat, ByBitDepthAndFlags)
{
    const struct {
        int bits;
        unsigned long flags;
        D3DFORMAT format;
    } cases[] = {{16, 0x06, D3DFMT_A1R5G5B5}, {16, 0x04, D3DFMT_A1R5G5B5}, {16, 0x02, D3DFMT_A4R4G4B4},
                 {16, 0x00, D3DFMT_R5G6B5},   {32, 0x04, D3DFMT_A8R8G8B8}, {32, 0x02, D3DFMT_A8R8G8B8},
                 {32, 0x00, D3DFMT_X8R8G8B8}, {8, 0x02, D3DFMT_R5G6B5},    {24, 0x00, D3DFMT_R5G6B5}};
    for (const auto& c : cases)
        EXPECT_EQ(CTextureManager::ChooseFormat(c.bits, c.flags), c.format) << c.bits << " " << c.flags;
}

// A texture block built at run time: header and levels, with room for a whole 32-bit chain of
// the largest size (a chain takes under twice its first level).
std::vector<unsigned char> Block(int width, int height, int bits, int mips, unsigned long flags)
{
    std::vector<unsigned char> bytes(sizeof(rhu::ZelTexture) + 2 * 4 * 2048 * 2048);
    rhu::ZelTexture header = {};
    header.Width = static_cast<unsigned short>(width);
    header.Height = static_cast<unsigned short>(height);
    header.BitDepth = static_cast<unsigned short>(bits);
    header.NumMips = static_cast<unsigned short>(mips);
    header.Flags = flags;
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

TEST_F(MeshTextureTest, SizesTheDeviceCannotTakeEndTheProgram)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    const struct {
        int width, height, mips;
        const char* message;
    } refused[] = {
        {256, 128, 1, "Tried to submit non square texture"},
        {4096, 4096, 1, "Texture size is not a power of 2 or is greater that 2048"},
        {24, 24, 1, "Texture size is not a power of 2 or is greater that 2048"},
        {0, 0, 1, "Texture size is not a power of 2 or is greater that 2048"},
        {16, 16, 6, "has 6 mip levels; it can hold 1 to 5"},
        {16, 16, 0, "has 0 mip levels; it can hold 1 to 5"},
    };
    for (const auto& r : refused) {
        const std::vector<unsigned char> block = Block(r.width, r.height, 16, r.mips, 0);
        EXPECT_EXIT(CTextureManager::Create(reinterpret_cast<const rhu::ZelTexture*>(block.data()), 0),
                    testing::ExitedWithCode(3), r.message)
            << r.width << "x" << r.height;
    }
    // The sizes at both ends are taken, the largest with its whole chain.
    for (int size : {1, 2048}) {
        const std::vector<unsigned char> block = Block(size, size, 16, size == 1 ? 1 : 12, 0);
        alignas(4) unsigned char stored[sizeof(CRendTexture)] = {};
        CRendTexture* record = new (stored) CRendTexture;
        record->Replace(reinterpret_cast<const rhu::ZelTexture*>(block.data()));
        ASSERT_NE(record->GetDeviceTexture(), nullptr) << size;
        EXPECT_EQ(record->GetDeviceTexture()->GetLevelCount(), size == 1 ? 1u : 12u);
        record->~CRendTexture();
    }
}

TEST_F(MeshTextureTest, DynamicTextureKeepsItsTextureUntilItsShapeChanges)
{
    CDynamicTexture fog;
    const int before = CTextureManager::GetLiveCount();
    ASSERT_TRUE(fog.Update(64, 64, 16, 0x02, 0));
    IDirect3DTexture9* first = fog.GetTexture()->pTexture;
    ASSERT_TRUE(fog.Update(64, 64, 16, 0x02, 0));
    EXPECT_EQ(fog.GetTexture()->pTexture, first);
    EXPECT_EQ(CTextureManager::GetLiveCount(), before + 1);
    unsigned short* bits = static_cast<unsigned short*>(fog.Lock());
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(fog.Lock(), nullptr); // already locked
    bits[0] = 0xF00F;
    fog.Unlock();
    fog.Unlock(); // unlocked already: nothing happens
    int width, height, depth, row;
    fog.GetInfo(&width, &height, &depth, &row);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(depth, 16);
    EXPECT_GE(row, 128);
    ASSERT_TRUE(fog.Update(32, 32, 16, 0x02, 0));
    EXPECT_EQ(CTextureManager::GetLiveCount(), before + 1);
    D3DSURFACE_DESC desc;
    fog.GetTexture()->pTexture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    // 32 bits, no alpha flag or a shadow: no texture.
    EXPECT_FALSE(fog.Update(32, 32, 32, 0x02, 0));
    EXPECT_FALSE(fog.Update(32, 32, 16, 0x00, 0));
    EXPECT_FALSE(fog.Update(32, 32, 16, 0x02, 1));
    EXPECT_EQ(CTextureManager::GetLiveCount(), before);
    fog.Release();
}

// A square of 64 x 64 pixels of the virtual screen with the texture across it, drawn through
// DrawSubMesh from a sub-mesh built here: the mesh's material carries the converted texture.
struct QuadMesh {
    explicit QuadMesh(CRendTexture* texture, float x0, float y0, float size)
    {
        const rhu::PCXBufferV01 v[4] = {{x0, y0, 0, 0, 0, -1, 0, 0},
                                        {x0 + size, y0, 0, 0, 0, -1, 1, 0},
                                        {x0, y0 + size, 0, 0, 0, -1, 0, 1},
                                        {x0 + size, y0 + size, 0, 0, 0, -1, 1, 1}};
        std::memcpy(vertices, v, sizeof v);
        std::memset(&material, 0, sizeof material);
        material.Diffuse = material.Ambient = CVector(1, 1, 1);
        material.Emissive = CVector(1, 1, 1);
        material.Alpha = 1.0f;
        material.pTexture = texture;
        slot = MaterialData{1, 0, &material, nullptr, 0, 0, 0};
        buffers[0] = rhu::PCXBufferDesc{CRendPCXMesh::kIndexData, 0, 4, 8, nullptr, indices};
        buffers[1] = rhu::PCXBufferDesc{CRendPCXMesh::kVertexData, 0, 4, sizeof vertices, nullptr, vertices};
        sub = rhu::PCXSubMesh{0x01, 0.0f, 1, 2, reinterpret_cast<rhu::MaterialData*>(&slot), buffers};
        std::memset(mesh, 0, sizeof mesh);
        CRendPCXMesh* record = reinterpret_cast<CRendPCXMesh*>(mesh);
        record->NumSubs = 1;
        record->pSubs = &sub;
        new (record) CRendPCXMesh;
    }
    ~QuadMesh() { Get()->~CRendPCXMesh(); }
    CRendPCXMesh* Get() { return reinterpret_cast<CRendPCXMesh*>(mesh); }

    unsigned short indices[4] = {0, 1, 2, 3};
    unsigned char vertices[4 * 32];
    Material material;
    MaterialData slot;
    rhu::PCXBufferDesc buffers[2];
    rhu::PCXSubMesh sub;
    alignas(4) unsigned char mesh[sizeof(CRendPCXMesh)];
};

// An orthographic view of the virtual screen: world x and y are screen pixels.
void ScreenView()
{
    CMatrix camera;
    camera.SetIdentity();
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Ortho(0.0f, 640.0f, 480.0f, 0.0f, -100.0f, 100.0f);
    LoadProjection(0, projection);
}

// Points inside every triangle of a sub-mesh's strip that faces the eye squarely enough to be
// sampled: one "x y u v" line per point, the pixel World2Screen gives for it and the texture
// coordinates there, read back from the device buffers. Returns the number of points.
int FacingSamples(const rhu::PCXSubMesh& sub, const CVector& eye, const fs::path& out)
{
    const int kSteps = 40;
    const rhu::PCXBufferDesc* indices = nullptr;
    const rhu::PCXBufferDesc* vertices = nullptr;
    for (int b = 0; b < sub.NumBuffers; ++b)
        (sub.pBuffers[b].Version == CRendPCXMesh::kIndexData ? indices : vertices) = &sub.pBuffers[b];
    if (!indices || !vertices || !indices->pDXHandle || !vertices->pDXHandle || vertices->NumElements < 1)
        return 0;
    auto* indexBuffer = static_cast<IDirect3DIndexBuffer9*>(indices->pDXHandle);
    auto* vertexBuffer = static_cast<IDirect3DVertexBuffer9*>(vertices->pDXHandle);
    void* indexBits = nullptr;
    void* vertexBits = nullptr;
    if (indexBuffer->Lock(0, 0, &indexBits, D3DLOCK_READONLY) != D3D_OK)
        return 0;
    if (vertexBuffer->Lock(0, 0, &vertexBits, D3DLOCK_READONLY) != D3D_OK) {
        indexBuffer->Unlock();
        return 0;
    }
    const unsigned short* strip = static_cast<const unsigned short*>(indexBits);
    const size_t stride = static_cast<size_t>(vertices->RawSize / vertices->NumElements);
    auto vertex = [&](int i) {
        rhu::PCXBufferV01 v;
        std::memcpy(&v, static_cast<const unsigned char*>(vertexBits) + i * stride, sizeof v);
        return v;
    };
    std::ofstream file(out);
    int count = 0;
    for (int i = 0; i + 2 < indices->NumElements; ++i) {
        const int corner[3] = {strip[i], strip[i + 1], strip[i + 2]};
        if (corner[0] == corner[1] || corner[1] == corner[2] || corner[0] == corner[2] ||
            std::max({corner[0], corner[1], corner[2]}) >= vertices->NumElements)
            continue;
        const rhu::PCXBufferV01 v[3] = {vertex(corner[0]), vertex(corner[1]), vertex(corner[2])};
        const CVector normal(v[0].NX + v[1].NX + v[2].NX, v[0].NY + v[1].NY + v[2].NY, v[0].NZ + v[1].NZ + v[2].NZ);
        CVector toEye = eye - CVector(v[0].X, v[0].Y, v[0].Z);
        if (normal.Dot(toEye) < 0.2f * std::sqrt(normal.Dot(normal) * toEye.Dot(toEye)))
            continue;
        for (int a = 1; a < kSteps; ++a)
            for (int b = 1; a + b < kSteps; ++b) {
                const float w[3] = {1.0f - float(a + b) / kSteps, float(a) / kSteps, float(b) / kSteps};
                CVector p(0, 0, 0);
                float u = 0, t = 0;
                for (int k = 0; k < 3; ++k) {
                    p += CVector(v[k].X, v[k].Y, v[k].Z) * w[k];
                    u += v[k].U * w[k];
                    t += v[k].V * w[k];
                }
                float invW = 0;
                const CVector screen = World2Screen(0, p, invW);
                file << screen.x << " " << screen.y << " " << u << " " << t << "\n";
                ++count;
            }
    }
    vertexBuffer->Unlock();
    indexBuffer->Unlock();
    return count;
}

TEST_F(MeshTextureTest, TexturedQuadsShowTheImagesTexels)
{
    ScreenView();
    const char* labels[] = {"T565", "T1555", "T4444", "TX888", "T8888"};
    std::vector<std::unique_ptr<QuadMesh>> quads;
    std::vector<CRender> renders(5);
    CVector origin(0, 0, 0), turn(0, 0, 0);
    for (int i = 0; i < 5; ++i) {
        quads.push_back(std::make_unique<QuadMesh>(Record<CRendTexture>(labels[i]), 40.0f + 100.0f * i, 100.0f, 64.0f));
        renders[size_t(i)].Attach(&origin, &turn, nullptr, nullptr);
        renders[size_t(i)].Attach(quads.back()->Get(), 0);
        renders[size_t(i)].Link();
    }
    EXPECT_EQ(CRendPCXMesh::GetLiveVertexBuffers(), 5 + 1);
    const fs::path shot = Shoot();
    for (CRender& r : renders)
        r.Unlink();
    ASSERT_TRUE(fs::exists(shot));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Python("check " + shot.string() + " " + ZelFolder + (i == 0 || i == 3 ? "/tex.png " : "/texa.png ") +
                         std::to_string(40 + 100 * i) + " 100 4"),
                  "blocks 16 equal\n")
            << labels[i];
}

TEST_F(MeshTextureTest, ConvertedMeshDrawsWhereWorld2ScreenSays)
{
    CRendPCXMesh* mesh = Record<CRendPCXMesh>("Block");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->NumSubs, 1);
    EXPECT_EQ(mesh->pSubs[0].NumBuffers, 2);
    EXPECT_NE(mesh->pSubs[0].pBuffers[0].pDXHandle, nullptr);
    EXPECT_NE(mesh->pSubs[0].pBuffers[1].pDXHandle, nullptr);
    CVector min, max;
    mesh->GetSize(min, max);
    EXPECT_NEAR(max.x - min.x, 4.0f, 1e-4f);
    EXPECT_NEAR(max.z - min.z, 3.0f, 1e-4f);

    CMatrix camera;
    camera.LookAt(CVector(10, -20, 12), CVector(10, 0, 1.5f), CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(50.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 500.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);

    CVector places[2] = {CVector(6, 0, 0), CVector(14, 4, 0)};
    CVector turn(0, 0, 0);
    CVector4 white(1, 1, 1, 1);
    CRender renders[2];
    for (int i = 0; i < 2; ++i) {
        renders[i].Attach(&places[i], &turn, &white, nullptr);
        renders[i].Attach(mesh, 0);
        renders[i].Link();
    }
    const fs::path shot = Shoot();
    for (CRender& r : renders)
        r.Unlink();
    ASSERT_TRUE(fs::exists(shot));
    float invW = 0;
    std::string points;
    std::vector<std::pair<int, int>> covered, clear;
    for (const CVector& p : places) {
        const CVector centre = World2Screen(0, CVector(p.x, p.y, 1.5f), invW);
        covered.push_back({int(centre.x), int(centre.y)});
        // Half a block's width beyond its right side, at the same height.
        const CVector beside = World2Screen(0, CVector(p.x + 3.0f, p.y, 1.5f), invW);
        clear.push_back({int(beside.x), int(beside.y)});
    }
    for (const auto& c : covered)
        points += std::to_string(c.first) + "," + std::to_string(c.second) + " ";
    for (const auto& c : clear)
        points += std::to_string(c.first) + "," + std::to_string(c.second) + " ";
    const std::string out = ReadShotPixels(shot, points);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(out.substr(start, end - start));
    ASSERT_EQ(lines.size(), 5u) << out;
    EXPECT_EQ(lines[0], "640 480");
    for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(lines[size_t(i)].find("=000080"), std::string::npos) << "mesh missing: " << lines[size_t(i)];
    for (int i = 3; i <= 4; ++i)
        EXPECT_NE(lines[size_t(i)].find("=000080"), std::string::npos) << "beside the mesh: " << lines[size_t(i)];
}

// The textured box of the third-party models, converted here with its image, loaded and drawn
// in perspective. Every visible triangle of its strips is sampled inside: the point's texture
// coordinates come from the vertex buffer, its pixel from World2Screen, and the image's colour
// there must be on the screenshot (bright where the image is white, dark where it is black).
TEST_F(MeshTextureTest, ConvertedBoxShowsItsImageWhereWorld2ScreenPutsItsFaces)
{
    const std::string models = std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2";
    if (!fs::exists(models + "/boxuv.lwo") || !fs::exists(models + "/boxuv.png"))
        GTEST_SKIP() << "no third-party models at " << models;
    const fs::path work = game->Folder / "box";
    fs::create_directories(work);
    fs::copy_file(models + "/boxuv.lwo", work / "boxuv.lwo");
    fs::copy_file(models + "/boxuv.png", work / "boxuv.png");
    std::ofstream(work / "box.rhu") << "NoCompression\nMesh Box boxuv.lwo\n";
    const mgtest::CommandResult run =
        mgtest::RunCommand("cd '" + work.string() + "' && timeout 300 " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Loaded from the data folder, as the fixture's own file is.
    const std::string name = "box_" + std::to_string(getpid()) + ".zel";
    fs::copy_file(work / "box.zel", fs::current_path() / name);
    fs::copy_file(work / "box.zel", fs::path(ZelFolder) / name);
    CZelFile box;
    const int loaded = box.Load(name.c_str());
    fs::remove(fs::path(ZelFolder) / name);
    ASSERT_EQ(loaded, 0);

    CRendPCXMesh* mesh = Record<CRendPCXMesh>("Box");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->NumSubs, 1);
    const MaterialData* slot = reinterpret_cast<const MaterialData*>(mesh->pSubs[0].pMaterialData);
    ASSERT_NE(slot->pMaterial, nullptr);
    ASSERT_NE(slot->pMaterial->pTexture, nullptr);
    EXPECT_NE(slot->pMaterial->pTexture->GetDeviceTexture(), nullptr);

    CVector min, max;
    mesh->GetSize(min, max);
    const CVector centre((min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2);
    const float size = max.x - min.x;
    ASSERT_GT(size, 0.0f);
    // Three faces in view, each a fair part of the screen.
    const CVector eye(centre.x + 1.1f * size, centre.y - 1.6f * size, centre.z + 1.3f * size);
    // The world's axes (east, south, up) turn the other way from the look-at's: the camera's x
    // is mirrored as well as its z, so that the picture is not a mirror image and the faces
    // turned to the eye are the ones drawn.
    CMatrix camera;
    camera.LookAt(eye, centre, CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row) {
        camera.m[4 * row + 0] = -camera.m[4 * row + 0];
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    }
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(40.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 0.1f * size, 50.0f * size);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);

    // A light from behind the camera, so that every face in view is lit.
    unsigned long sun = LightHandleAquire();
    LightHandleSelect(sun);
    LightSetType(LightRecord::TYPE_DIRECTIONAL);
    LightSetCull(false);
    LightEnable(sun, true);
    CVector toEye = eye - centre;
    LightSetDirection(toEye * (1.0f / std::sqrt(toEye.Dot(toEye))));
    LightSetDiffuse(CVector(200, 200, 200));
    LightSetAmbient(CVector(55, 55, 55));

    CVector place(0, 0, 0), turn(0, 0, 0);
    CVector4 white(1, 1, 1, 1);
    CRender render;
    render.Attach(&place, &turn, &white, nullptr);
    render.Attach(mesh, 0);
    render.Link();
    const fs::path shot = Shoot();
    render.Unlink();
    LightHandleRelease(sun);
    ASSERT_TRUE(fs::exists(shot));

    const fs::path points = game->Folder / "box_points.txt";
    // Three faces of two triangles are in view.
    EXPECT_GE(FacingSamples(mesh->pSubs[0], eye, points), 5 * 600);
    const mgtest::CommandResult check =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " + Script + " uvcheck " + shot.string() + " " + models +
                           "/boxuv.png " + points.string() + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

// Tangent frames at load: three vertices of a bump-flagged triangle mapped along x and y get
// the unit x and y axes; a vertex of no such primitive and the vertices of a triangle with no
// extent, whose edges give no direction, keep what was stored.
TEST(VertexBatchMesh, BumpMatricesFollowTheTextureAxes)
{
    struct Vertex {
        float p[3], n[3], uv[2];
        short bump[6];
    };
    static_assert(sizeof(Vertex) == 44, "test vertex");
    Vertex vertices[7];
    const float places[7][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const float coords[7][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 0}, {0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    for (int i = 0; i < 7; ++i)
        vertices[i] = Vertex{
            {places[i][0], places[i][1], places[i][2]}, {0, 0, 1}, {coords[i][0], coords[i][1]}, {7, 7, 7, 7, 7, 7}};
    alignas(4) unsigned char prims[56] = {};
    auto header = [&](int at, unsigned short next, unsigned short material, std::initializer_list<unsigned short> tri) {
        const unsigned short words[6] = {1, 1, next, material, 1, 0x40};
        std::memcpy(prims + at, words, sizeof words);
        int k = 0;
        for (unsigned short index : tri)
            std::memcpy(prims + at + 12 + 2 * k++, &index, 2);
    };
    header(0, 16, 34, {0, 1, 2}); // next batch at 20, material slot at 40
    header(20, 0, 14, {4, 5, 6}); // material slot at 40
    const MaterialData slot = {1, 0, nullptr, nullptr, 0, 0, 0};
    std::memcpy(prims + 40, &slot, sizeof slot);
    rhu::VertexBatch batch = {};
    batch.NumVerts = 7;
    batch.pVertexList = reinterpret_cast<unsigned char*>(vertices);
    batch.pPrimitiveList = reinterpret_cast<rhu::PrimitiveBatch*>(prims);
    batch.VertexSize = sizeof(Vertex);
    batch.NormalOffset = 12;
    batch.NumNormals = 1;
    batch.TexCoordOffset = 24;
    batch.NumTexCoords = 1;
    batch.BumpMatrixOffset = 32;
    CRendMesh::ComputeBumpMatrices(batch);
    for (int i = 0; i < 3; ++i) {
        const short want[6] = {16384, 0, 0, 0, 16384, 0};
        EXPECT_EQ(std::memcmp(vertices[i].bump, want, sizeof want), 0)
            << "vertex " << i << ": " << vertices[i].bump[0] << " " << vertices[i].bump[4];
    }
    for (int i = 3; i < 7; ++i)
        for (short value : vertices[i].bump)
            EXPECT_EQ(value, 7) << "vertex " << i;
}

TEST(VertexBatchMesh, LevelOfDetailIsTheFirstLevelAtLeastAsDeep)
{
    rhu::VertexBatch batches[4] = {};
    const float depths[4] = {10, 10, 50, 100};
    for (int i = 0; i < 4; ++i)
        batches[i].LODDepth = depths[i];
    const struct {
        float depth;
        int first, count;
    } cases[] = {{5, 0, 2}, {10, 0, 2}, {30, 2, 1}, {100, 3, 1}, {200, 3, 1}};
    for (const auto& c : cases) {
        int first = -1, count = -1;
        CRendMesh::ChooseLevel(batches, 4, c.depth, first, count);
        EXPECT_EQ(first, c.first) << c.depth;
        EXPECT_EQ(count, c.count) << c.depth;
    }
}

TEST_F(MeshTextureTest, AttachPointsArePlacedByTheRendersMatrix)
{
    CAttachPoint point;
    point.x = 1;
    point.y = 2;
    point.z = 3;
    point.Crc32 = CCRC32::GetCRC("Hand");
    alignas(4) unsigned char bytes[sizeof(CRendPCXMesh)] = {};
    CRendPCXMesh* mesh = new (bytes) CRendPCXMesh;
    mesh->NumAttachPoints = 1;
    mesh->pAttachPoints = &point;
    CVector pos(10, 0, 0), rot(0, 0, 0);
    CRender render;
    render.Attach(&pos, &rot, nullptr, nullptr);
    render.Attach(mesh, 0);
    ASSERT_NE(render.GetWorkspace(), nullptr);
    int found = -1;
    CVector at = mesh->GetAttachPoint(&render, 0, found, nullptr);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(at, CVector(11, 2, 3));
    at = mesh->GetAttachPoint(&render, CCRC32("Hand"), found, nullptr);
    EXPECT_EQ(at, CVector(11, 2, 3));
    at = mesh->GetAttachPoint(&render, -1, found, nullptr);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(at, CVector(10, 0, 0));
    mesh->GetAttachPoint(&render, 1, found, nullptr);
    EXPECT_EQ(found, 0);
    mesh->GetAttachPoint(&render, CCRC32("Foot"), found, nullptr);
    EXPECT_EQ(found, 0);
    render.DetachResource();
    mesh->~CRendPCXMesh();
}

// Damaged files: a strip index past the vertices leaves that sub-mesh undrawn with a message
// naming the mesh, as a collision data pointer outside the file leaves the mesh without
// collision data; a texture claiming more levels than its size holds ends the program with
// its message. Both copies go beside the good file and into the working folder.
class DamagedFileTest : public MeshTextureTest {
protected:
    void SetUp() override
    {
        FakeAdapter::Configure(FakeAdapter::Default());
        ResetTransformState();
        game = std::make_unique<ScopedGameFolder>("mesh_texture_damaged");
        renderer = CRenderer::Create();
        ASSERT_NE(renderer, nullptr);
        renderer->Init(nullptr, 0, 0);
        CZelFile::LoadChunkCategories(0x11);
    }
    void Damage(const std::string& name, const char* kind)
    {
        const std::string out = (fs::current_path() / name).string();
        ASSERT_EQ(Python("damage " + ZelFolder + "/meshtex.zel " + out + " " + kind), "");
        fs::copy_file(out, ZelFolder + "/" + name, fs::copy_options::overwrite_existing);
    }
};

TEST_F(DamagedFileTest, AnIndexPastTheVerticesLeavesTheSubMeshUndrawn)
{
    Damage("badindex.zel", "index");
    testing::internal::CaptureStdout();
    file = std::make_unique<CZelFile>();
    ASSERT_EQ(file->Load("badindex.zel"), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    char expected[96];
    std::snprintf(expected, sizeof expected, "Mesh 0x%08lX, sub-mesh 0: an index past the vertices; it is not drawn",
                  static_cast<unsigned long>(CCRC32::GetCRC("Block")));
    EXPECT_NE(out.find(expected), std::string::npos) << out;
    CRendPCXMesh* mesh = Record<CRendPCXMesh>("Block");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->pSubs[0].NumBuffers, 0);
    EXPECT_NE(Record<CRendTexture>("T565")->GetDeviceTexture(), nullptr);
}

TEST_F(DamagedFileTest, CollisionDataOutsideTheFileIsDropped)
{
    Damage("badcollision.zel", "collision");
    testing::internal::CaptureStdout();
    file = std::make_unique<CZelFile>();
    ASSERT_EQ(file->Load("badcollision.zel"), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    char expected[96];
    std::snprintf(expected, sizeof expected, "Mesh 0x%08lX: its collision data lies outside its file; none is kept",
                  static_cast<unsigned long>(CCRC32::GetCRC("Block")));
    EXPECT_NE(out.find(expected), std::string::npos) << out;
    CRendPCXMesh* mesh = Record<CRendPCXMesh>("Block");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetCollisionData(), nullptr);
    CRender render;
    render.Attach(mesh, 0); // takes its plotting circle from the collision data
    render.DetachResource();
}

TEST_F(DamagedFileTest, MoreMipLevelsThanTheSizeHoldsEndTheProgram)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    Damage("badmips.zel", "mips");
    EXPECT_EXIT(
        {
            CZelFile damaged;
            damaged.Load("badmips.zel");
        },
        testing::ExitedWithCode(3), "Texture of 16 by 16 texels has 9 mip levels; it can hold 1 to 5");
}

} // namespace
