#pragma once
// A benchmark scene, shared by both renderers: three textured, lit terrain sheets filling a
// 640x480 view one behind the other (overdraw 3). The terrain scene has 8,000 triangles a
// sheet (about 38 pixels each); the small-triangle scene 38,400 (8 pixels each).
#include <cstdint>
#include <vector>

struct BenchVertex {
    float x, y, z, nx, ny, nz, u, v; // the renderer's 32-byte mesh vertex
};

struct BenchScene {
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kLayers = 3;
    static constexpr int kTextureSize = 256;

    const char* name;
    int columns, rows; // grid cells a sheet, two triangles each

    std::vector<BenchVertex> vertices[kLayers];
    std::vector<uint16_t> indices;           // the same grid for every layer
    std::vector<std::vector<uint32_t>> mips; // ARGB texels, level 0 first
    float light[3];                          // direction the light shines in
    float projection[16];                    // row-major, row vectors (x' = x * M)

    BenchScene(const char* name, int columns, int rows);
    // The scene of the given name ("terrain" or "small"); null for another name.
    static const BenchScene* Named(const char* name);
    int Triangles() const { return kLayers * int(indices.size() / 3); }
};
