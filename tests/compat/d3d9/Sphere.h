#pragma once
// A unit sphere as an indexed triangle list of positions and normals (FVF XYZ | NORMAL).
#include <cmath>
#include <vector>

#include <d3d9.h>

namespace d3d9test {

struct NormalVertex {
    float x, y, z, nx, ny, nz;
};

struct Sphere {
    std::vector<NormalVertex> vertices;
    std::vector<WORD> indices;

    Sphere(int slices, int stacks)
    {
        const float pi = 3.14159265f;
        for (int i = 0; i <= stacks; ++i) {
            float theta = pi * float(i) / float(stacks);
            for (int j = 0; j <= slices; ++j) {
                float phi = 2.0f * pi * float(j) / float(slices);
                float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
                vertices.push_back({x, y, z, x, y, z});
            }
        }
        for (int i = 0; i < stacks; ++i)
            for (int j = 0; j < slices; ++j) {
                WORD a = WORD(i * (slices + 1) + j), b = WORD(a + slices + 1);
                for (WORD k : {a, b, WORD(a + 1), WORD(a + 1), b, WORD(b + 1)})
                    indices.push_back(k);
            }
    }
    UINT Triangles() const { return UINT(indices.size() / 3); }
};

} // namespace d3d9test
