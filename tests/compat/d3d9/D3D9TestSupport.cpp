#include "D3D9TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace d3d9test {

void DeviceTest::SetUp()
{
    FakeAdapter::Configure(FakeAdapter::Default());
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS p = Windowed(kWidth, kHeight);
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
}

void DeviceTest::TearDown()
{
    if (device_)
        device_->Release();
    if (d3d_)
        d3d_->Release();
    FakeAdapter::Configure(FakeAdapter::Default());
}

D3DPRESENT_PARAMETERS DeviceTest::Windowed(UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    return p;
}

void DeviceTest::Recreate(const D3DPRESENT_PARAMETERS& parameters)
{
    if (device_)
        device_->Release();
    device_ = nullptr;
    D3DPRESENT_PARAMETERS p = parameters;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
    width_ = p.BackBufferWidth;
    height_ = p.BackBufferHeight;
}

ColourVertex DeviceTest::At(float x, float y, float z, D3DCOLOR colour, float u, float v) const
{
    return {2.0f * x / float(width_) - 1.0f, 1.0f - 2.0f * y / float(height_), z, colour, u, v};
}

void DeviceTest::FlatStates()
{
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetFVF(kColourFVF);
}

void DeviceTest::DrawTriangles(const std::vector<ColourVertex>& vertices)
{
    FlatStates();
    ASSERT_EQ(
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(vertices.size() / 3), vertices.data(), sizeof(ColourVertex)),
        D3D_OK);
}

void DeviceTest::DrawQuad(float left, float top, float right, float bottom, float z, D3DCOLOR colour, float u0,
                          float v0, float u1, float v1)
{
    DrawTriangles({At(left, top, z, colour, u0, v0), At(right, top, z, colour, u1, v0),
                   At(left, bottom, z, colour, u0, v1), At(right, top, z, colour, u1, v0),
                   At(right, bottom, z, colour, u1, v1), At(left, bottom, z, colour, u0, v1)});
}

Screen DeviceTest::Capture()
{
    Screen screen;
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    D3DDISPLAYMODE mode;
    EXPECT_EQ(device_->GetDisplayMode(0, &mode), D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &surface,
                                                   nullptr),
              D3D_OK);
    if (!surface)
        return screen;
    EXPECT_EQ(device_->GetFrontBufferData(0, surface), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    screen.width = width_;
    screen.height = height_;
    screen.argb.resize(size_t(width_) * height_);
    for (UINT y = 0; y < height_; ++y)
        std::memcpy(&screen.argb[size_t(y) * width_], static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                    width_ * 4);
    surface->UnlockRect();
    surface->Release();
    return screen;
}

void DeviceTest::WriteTga(const Screen& screen, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    uint8_t header[18] = {};
    header[2] = 2;
    header[12] = uint8_t(screen.width);
    header[13] = uint8_t(screen.width >> 8);
    header[14] = uint8_t(screen.height);
    header[15] = uint8_t(screen.height >> 8);
    header[16] = 32;
    header[17] = 32;
    std::fwrite(header, 1, sizeof header, file);
    for (uint32_t pixel : screen.argb) {
        uint8_t bgr0[4] = {Blue(pixel), Green(pixel), Red(pixel), 0};
        std::fwrite(bgr0, 1, 4, file);
    }
    std::fclose(file);
}

std::string DeviceTest::ReadTgaWithPython(const std::string& path, const std::string& points)
{
    std::string command =
        std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " + path + " " + points;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::string();
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    return output;
}

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

D3DMATRIX Perspective(float fovY, float aspect, float nearZ, float farZ)
{
    D3DMATRIX m{};
    float yScale = 1.0f / std::tan(fovY / 2.0f);
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = farZ / (farZ - nearZ);
    m._34 = 1.0f;
    m._43 = -nearZ * farZ / (farZ - nearZ);
    return m;
}

D3DMATRIX Orthographic(float width, float height, float nearZ, float farZ)
{
    D3DMATRIX m{};
    m._11 = 2.0f / width;
    m._22 = 2.0f / height;
    m._33 = 1.0f / (farZ - nearZ);
    m._43 = -nearZ / (farZ - nearZ);
    m._44 = 1.0f;
    return m;
}

D3DMATRIX RotationY(float angle)
{
    D3DMATRIX m = Identity();
    m._11 = std::cos(angle);
    m._13 = -std::sin(angle);
    m._31 = std::sin(angle);
    m._33 = std::cos(angle);
    return m;
}

D3DMATRIX Translation(float x, float y, float z)
{
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX Transpose(const D3DMATRIX& m)
{
    D3DMATRIX t;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            t.m[i][j] = m.m[j][i];
    return t;
}

} // namespace d3d9test
