// Terrain maps: 1,000,000 height queries on a 256x256-cell map against a plain bilinear lookup
// of the same height grid in the same run, and frames of the whole map draw (visible region,
// row vertices, batches, playback on the software device) from a camera that sees about a
// quarter of the map, in cells and frames per second.
#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "engine/render/CRendMap.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/TerrainDraw.h"

namespace {

const int kSide = 256;
const int kQueries = 1000000;

struct BenchMap {
    std::vector<BasicCell> cells;
    std::vector<float> heights; // the peer's grid, world units
    Material materials[16];
    alignas(4) unsigned char storage[sizeof(CRendMap)];
    CRendMap* map;

    BenchMap() : cells(size_t(kSide) * kSide), heights(cells.size())
    {
        for (int r = 0; r < kSide; ++r)
            for (int c = 0; c < kSide; ++c) {
                const short h = short(80 * std::sin(c * 0.1) * std::cos(r * 0.07) + 40 * std::sin((c + r) * 0.03));
                BasicCell& cell = cells[size_t(r * kSide + c)];
                cell.Height = h;
                cell.BaseTile = 0x80800000u | unsigned((c / 8 + r / 8) % 4);
                heights[size_t(r * kSide + c)] = h / 16.0f;
            }
        std::memset(materials, 0, sizeof materials);
        for (Material& m : materials)
            m.Alpha = 1.0f;
        std::memset(storage, 0, sizeof storage);
        CRendMap& m = *reinterpret_cast<CRendMap*>(storage);
        m.Map.MapWidth = m.Map.MapHeight = kSide;
        m.Map.CellSize = sizeof(BasicCell);
        m.Map.MapRowSize = kSide * sizeof(BasicCell);
        m.Map.TileWidth = 1;
        m.Map.ooTileWidth = 1.0f;
        m.Map.MaxZheight = 8.0f;
        m.Map.MinZheight = -8.0f;
        m.Map.pMapCells = cells.data();
        m.Map.pMaterialList = materials;
        map = new (storage) CRendMap;
    }
    ~BenchMap() { map->~CRendMap(); }

    // The peer: bilinear interpolation of the four corner heights.
    float Bilinear(float x, float y) const
    {
        int c = int(x), r = int(y);
        c = c < 0 ? 0 : c > kSide - 2 ? kSide - 2 : c;
        r = r < 0 ? 0 : r > kSide - 2 ? kSide - 2 : r;
        const float fx = x - c, fy = y - r;
        const float* row = &heights[size_t(r * kSide + c)];
        const float top = row[0] + fx * (row[1] - row[0]);
        const float bottom = row[kSide] + fx * (row[kSide + 1] - row[kSide]);
        return top + fy * (bottom - top);
    }
};

void LoadBenchCamera(const CVector& eye, const CVector& target)
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

void Heights(BenchMap& bench)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(0.0f, float(kSide - 1));
    std::vector<CVector> points(kQueries);
    for (CVector& p : points)
        p = CVector(coordinate(random), coordinate(random), 0);
    BenchTimes ours, peer;
    double sumOurs = 0, sumPeer = 0;
    for (int run = 0; run < 5; ++run) {
        ours.Add(TimeOnce([&] {
            CVector normal;
            for (const CVector& p : points)
                sumOurs += bench.map->GetHeightData(p, normal);
        }));
        peer.Add(TimeOnce([&] {
            for (const CVector& p : points)
                sumPeer += bench.Bilinear(p.x, p.y);
        }));
    }
    printf("height queries (%d on %dx%d cells, median of 5 runs)\n", kQueries, kSide, kSide);
    printf("  ours  GetHeightData:    %8.1f ms  %6.2f M queries/s\n", ours.Median() * 1e3,
           kQueries / ours.Median() / 1e6);
    printf("  peer  plain bilinear:   %8.1f ms  %6.2f M queries/s\n", peer.Median() * 1e3,
           kQueries / peer.Median() / 1e6);
    printf("  ratio ours/peer: %.2f (checksums %.0f / %.0f: the two surfaces differ inside a quad)\n",
           ours.Median() / peer.Median(), sumOurs, sumPeer);
}

void Drawing(BenchMap& bench)
{
    CRenderDevice& device = CRenderer::GetDevice();
    LoadBenchCamera(CVector(128, 40, 90), CVector(128, 128, 0));
    auto frame = [&] {
        device.BeginFrame();
        device.BeginLayer(0);
        SelectViewport(0);
        bench.map->Render(nullptr);
        device.EndLayer();
        device.EndFrame();
    };
    frame();
    const int quads = CTerrainDraw::LastQuads;
    int frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    do {
        frame();
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < 3.0 || frames < 5);
    printf("terrain drawing (%dx%d cells, %d quads visible = %.0f%% of the map, %d batches, %d blocks)\n", kSide, kSide,
           quads, 100.0 * quads / double((kSide - 1) * (kSide - 1)), CTerrainDraw::LastBatches,
           CTerrainDraw::LastSubmits);
    printf("  %d frames in %.2f s: %.1f frames/s, %.2f M cells/s\n", frames, elapsed, frames / elapsed,
           double(quads) * frames / elapsed / 1e6);
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    const fs::path game = fs::temp_directory_path() / ("terrain_bench_" + std::to_string(getpid()));
    fs::create_directories(game / "run");
    const fs::path previous = fs::current_path();
    fs::current_path(game / "run");
    std::ofstream(game / "render.cfg") << "width: 640\nheight: 480\nwindowed:\n";
    CRenderer* renderer = CRenderer::Create();
    if (!renderer || renderer->Init(nullptr, 0, 0) != 0) {
        printf("terrain bench: the renderer could not be made\n");
        return 1;
    }
    const fRECT full = {0, 0, 1, 1};
    renderer->ConfigureLayers(8);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, full,
                          CVector4(0, 0, 64, 0), 1.0f);
    {
        BenchMap bench;
        Heights(bench);
        Drawing(bench);
    }
    printf("(32-bit build run under qemu-i386 user emulation on this machine: absolute figures are pessimistic)\n");
    CRenderer::Shutdown();
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(game, ignored);
    return 0;
}
