#include "BenchScene.h"

#include <cmath>
#include <cstring>

BenchScene::BenchScene(const char* sceneName, int gridColumns, int gridRows)
    : name(sceneName), columns(gridColumns), rows(gridRows)
{
    // Perspective, 60 degrees vertically, near 1, far 100, depth 0..1 at near..far.
    const float fov = 1.0471976f, aspect = float(kWidth) / kHeight, nearZ = 1.0f, farZ = 100.0f;
    const float yScale = 1.0f / std::tan(fov / 2.0f), xScale = yScale / aspect;
    for (float& m : projection)
        m = 0.0f;
    projection[0] = xScale;
    projection[5] = yScale;
    projection[10] = farZ / (farZ - nearZ);
    projection[11] = 1.0f;
    projection[14] = -nearZ * farZ / (farZ - nearZ);

    // Each sheet at its depth is wide enough to cover the view, with a gentle wave whose
    // normals give the light something to do.
    for (int layer = 0; layer < kLayers; ++layer) {
        float depth = 12.0f - 3.0f * float(layer); // far sheets first: every sheet passes the depth test
        float halfW = depth / xScale * 1.05f, halfH = depth / yScale * 1.05f;
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= columns; ++c) {
                float s = float(c) / columns, t = float(r) / rows;
                float x = -halfW + 2 * halfW * s, y = halfH - 2 * halfH * t;
                float phase = 6.2831853f * (3 * s + 2 * t);
                float z = depth + 0.3f * std::sin(phase);
                float nx = -0.3f * std::cos(phase) * 6.2831853f * 3 / (2 * halfW);
                float ny = 0.3f * std::cos(phase) * 6.2831853f * 2 / (2 * halfH);
                float length = std::sqrt(nx * nx + ny * ny + 1.0f);
                vertices[layer].push_back({x, y, z, nx / length, ny / length, -1.0f / length, 4 * s, 2 * t});
            }
        }
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            uint16_t a = uint16_t(r * (columns + 1) + c), b = uint16_t(a + columns + 1);
            for (uint16_t i : {a, uint16_t(a + 1), b, uint16_t(a + 1), uint16_t(b + 1), b})
                indices.push_back(i);
        }

    for (int size = kTextureSize; size >= 1; size /= 2) {
        std::vector<uint32_t> level(size_t(size) * size);
        int cell = size / 8 > 0 ? size / 8 : 1;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                level[size_t(y) * size + x] = ((x / cell + y / cell) & 1) ? 0xFFE0C080u : 0xFF406080u;
        mips.push_back(level);
    }
    light[0] = 0.3f;
    light[1] = -0.5f;
    light[2] = 0.81240384f;
}

const BenchScene* BenchScene::Named(const char* name)
{
    static const BenchScene terrain("terrain", 100, 40), small("small", 160, 120);
    if (std::strcmp(name, terrain.name) == 0)
        return &terrain;
    if (std::strcmp(name, small.name) == 0)
        return &small;
    return nullptr;
}
