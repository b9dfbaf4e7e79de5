#pragma once
// A small windowed device over the default fake adapter, geometry given in screen pixels,
// and screen captures through the path the renderer's screenshots take (present, then
// GetFrontBufferData into a desktop-sized surface).
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <d3d9.h>
#include <d3d9_fake_adapter.h>

namespace d3d9test {

struct Screen {
    UINT width = 0, height = 0;
    std::vector<uint32_t> argb; // rows from the top
    uint32_t At(UINT x, UINT y) const { return argb[size_t(y) * width + x] & 0x00FFFFFF; }
};

// Position, colour and one texture coordinate pair: FVF XYZ | DIFFUSE | TEX1.
struct ColourVertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD kColourFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 64;

    void SetUp() override;
    void TearDown() override;

    // Creates the device again with other presentation parameters.
    void Recreate(const D3DPRESENT_PARAMETERS& parameters);
    static D3DPRESENT_PARAMETERS Windowed(UINT width, UINT height);

    // A vertex at screen pixel (x, y) with depth z under identity transforms; pixel centres
    // lie at integer coordinates.
    ColourVertex At(float x, float y, float z, D3DCOLOR colour, float u = 0, float v = 0) const;
    // Draws with lighting and culling off and identity transforms.
    void DrawTriangles(const std::vector<ColourVertex>& vertices);
    void DrawQuad(float left, float top, float right, float bottom, float z, D3DCOLOR colour, float u0 = 0,
                  float v0 = 0, float u1 = 1, float v1 = 1);
    void FlatStates();

    Screen Capture();
    // Writes a capture as the renderer's screenshot file: an 18-byte header, then B, G, R, 0
    // per pixel, rows from the top.
    static void WriteTga(const Screen& screen, const std::string& path);
    // Runs the Python TGA reader on a file and returns its output.
    static std::string ReadTgaWithPython(const std::string& path, const std::string& points);

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    UINT width_ = kWidth, height_ = kHeight;
};

inline uint8_t Red(uint32_t c) { return uint8_t(c >> 16); }
inline uint8_t Green(uint32_t c) { return uint8_t(c >> 8); }
inline uint8_t Blue(uint32_t c) { return uint8_t(c); }

inline DWORD FloatBits(float value)
{
    DWORD bits;
    static_assert(sizeof bits == sizeof value);
    __builtin_memcpy(&bits, &value, 4);
    return bits;
}

D3DMATRIX Identity();
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);
// Left-handed perspective and orthographic projections (depth 0 at near, 1 at far).
D3DMATRIX Perspective(float fovY, float aspect, float nearZ, float farZ);
D3DMATRIX Orthographic(float width, float height, float nearZ, float farZ);
D3DMATRIX RotationY(float angle);
D3DMATRIX Translation(float x, float y, float z);
D3DMATRIX Transpose(const D3DMATRIX& m);

} // namespace d3d9test
