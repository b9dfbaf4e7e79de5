#pragma once
// The benchmark scene, shared by both renderers: three textured, lit terrain sheets filling a
// 640x480 view one behind the other (overdraw 3), 8,000 triangles each.
#include <cstdint>
#include <vector>

struct BenchVertex {
    float x, y, z, nx, ny, nz, u, v; // the renderer's 32-byte mesh vertex
};

struct BenchScene {
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kLayers = 3;
    static constexpr int kColumns = 100;
    static constexpr int kRows = 40;
    static constexpr int kTextureSize = 256;

    std::vector<BenchVertex> vertices[kLayers];
    std::vector<uint16_t> indices;           // the same grid for every layer
    std::vector<std::vector<uint32_t>> mips; // ARGB texels, level 0 first
    float light[3];                          // direction the light shines in
    float projection[16];                    // row-major, row vectors (x' = x * M)

    BenchScene();
    int Triangles() const { return kLayers * int(indices.size() / 3); }
};
