// Renders the benchmark scene with the software Direct3D 9 device and with Mesa's software
// OpenGL (OSMesa) in the same run, and prints frames and Mpixels per second and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

// The device headers come first: they define APIENTRY as the GL headers expect to find it.
#include <d3d9.h>
#include <d3d9_fake_adapter.h>
#include <GL/gl.h>
#include <GL/osmesa.h>

#include "BenchScene.h"

namespace {

constexpr double kMinimumSeconds = 4.0;

double Seconds(const std::function<void()>& frame)
{
    auto start = std::chrono::steady_clock::now();
    frame();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class Direct3DRenderer {
public:
    explicit Direct3DRenderer(const BenchScene& scene) : scene_(scene)
    {
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = BenchScene::kWidth;
        p.BackBufferHeight = BenchScene::kHeight;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (!d3d_ ||
            FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_))) {
            std::fprintf(stderr, "cannot create the software device\n");
            std::exit(1);
        }
        Upload();
        States();
    }
    ~Direct3DRenderer()
    {
        for (IDirect3DVertexBuffer9* vb : vertexBuffers_)
            vb->Release();
        indexBuffer_->Release();
        texture_->Release();
        device_->Release();
        d3d_->Release();
    }

    void Frame()
    {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device_->BeginScene();
        for (IDirect3DVertexBuffer9* vb : vertexBuffers_) {
            device_->SetStreamSource(0, vb, 0, sizeof(BenchVertex));
            device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, UINT(scene_.vertices[0].size()), 0,
                                          UINT(scene_.indices.size() / 3));
        }
        device_->EndScene();
    }

    // The frame's pixels, rows from the top.
    std::vector<uint32_t> Pixels()
    {
        std::vector<uint32_t> pixels(size_t(BenchScene::kWidth) * BenchScene::kHeight);
        IDirect3DSurface9* back = nullptr;
        device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        D3DLOCKED_RECT locked;
        if (back && SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            for (int y = 0; y < BenchScene::kHeight; ++y)
                std::memcpy(&pixels[size_t(y) * BenchScene::kWidth],
                            static_cast<char*>(locked.pBits) + y * locked.Pitch, BenchScene::kWidth * 4);
            back->UnlockRect();
        }
        if (back)
            back->Release();
        return pixels;
    }

private:
    void Upload()
    {
        for (const auto& layer : scene_.vertices) {
            IDirect3DVertexBuffer9* vb = nullptr;
            device_->CreateVertexBuffer(UINT(layer.size() * sizeof(BenchVertex)), D3DUSAGE_WRITEONLY, 0,
                                        D3DPOOL_MANAGED, &vb, nullptr);
            void* data;
            vb->Lock(0, 0, &data, 0);
            std::memcpy(data, layer.data(), layer.size() * sizeof(BenchVertex));
            vb->Unlock();
            vertexBuffers_.push_back(vb);
        }
        device_->CreateIndexBuffer(UINT(scene_.indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                   &indexBuffer_, nullptr);
        void* data;
        indexBuffer_->Lock(0, 0, &data, 0);
        std::memcpy(data, scene_.indices.data(), scene_.indices.size() * 2);
        indexBuffer_->Unlock();
        device_->CreateTexture(BenchScene::kTextureSize, BenchScene::kTextureSize, UINT(scene_.mips.size()), 0,
                               D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture_, nullptr);
        for (UINT level = 0; level < scene_.mips.size(); ++level) {
            D3DLOCKED_RECT locked;
            texture_->LockRect(level, &locked, nullptr, 0);
            UINT size = BenchScene::kTextureSize >> level;
            for (UINT y = 0; y < size; ++y)
                std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch, &scene_.mips[level][y * size],
                            size * 4);
            texture_->UnlockRect(level);
        }
    }
    void States()
    {
        D3DMATRIX projection;
        std::memcpy(&projection, scene_.projection, sizeof projection);
        device_->SetTransform(D3DTS_PROJECTION, &projection);
        D3DMATERIAL9 material{};
        material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        device_->SetMaterial(&material);
        device_->SetRenderState(D3DRS_AMBIENT, 0xFF303030);
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Direction = {scene_.light[0], scene_.light[1], scene_.light[2]};
        device_->SetLight(0, &light);
        device_->LightEnable(0, TRUE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        device_->SetIndices(indexBuffer_);
        device_->SetTexture(0, texture_);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    }

    const BenchScene& scene_;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    std::vector<IDirect3DVertexBuffer9*> vertexBuffers_;
    IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
    IDirect3DTexture9* texture_ = nullptr;
};

class MesaRenderer {
public:
    explicit MesaRenderer(const BenchScene& scene)
        : scene_(scene), pixels_(size_t(BenchScene::kWidth) * BenchScene::kHeight)
    {
        context_ = OSMesaCreateContextExt(OSMESA_BGRA, 24, 0, 0, nullptr);
        if (!context_ ||
            !OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, BenchScene::kWidth, BenchScene::kHeight)) {
            std::fprintf(stderr, "cannot create the OSMesa context\n");
            std::exit(1);
        }
        States();
    }
    ~MesaRenderer() { OSMesaDestroyContext(context_); }

    const char* Name() const { return reinterpret_cast<const char*>(glGetString(GL_RENDERER)); }

    void Frame()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const auto& layer : scene_.vertices) {
            glVertexPointer(3, GL_FLOAT, sizeof(BenchVertex), &layer[0].x);
            glNormalPointer(GL_FLOAT, sizeof(BenchVertex), &layer[0].nx);
            glTexCoordPointer(2, GL_FLOAT, sizeof(BenchVertex), &layer[0].u);
            glDrawElements(GL_TRIANGLES, GLsizei(scene_.indices.size()), GL_UNSIGNED_SHORT, scene_.indices.data());
        }
        glFinish();
    }

    // The frame's pixels, rows from the top (OpenGL keeps them from the bottom).
    std::vector<uint32_t> Pixels() const
    {
        std::vector<uint32_t> pixels(pixels_.size());
        for (int y = 0; y < BenchScene::kHeight; ++y)
            std::memcpy(&pixels[size_t(y) * BenchScene::kWidth],
                        &pixels_[size_t(BenchScene::kHeight - 1 - y) * BenchScene::kWidth], BenchScene::kWidth * 4);
        return pixels;
    }

private:
    void States()
    {
        glViewport(0, 0, BenchScene::kWidth, BenchScene::kHeight);
        // The scene is left-handed with depth 0..1; OpenGL looks down -z with depth -1..1, so
        // z is mirrored and the projection's depth terms remapped.
        glMatrixMode(GL_PROJECTION);
        const float* p = scene_.projection;
        GLfloat m[16] = {p[0], 0, 0, 0, 0, p[5], 0, 0, 0, 0, -(2 * p[10] - 1), -1, 0, 0, 2 * p[14], 0};
        glLoadMatrixf(m);
        glMatrixMode(GL_MODELVIEW);
        GLfloat mirror[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
        glLoadMatrixf(mirror);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        GLfloat white[4] = {1, 1, 1, 1}, ambient[4] = {0.1882f, 0.1882f, 0.1882f, 1};
        GLfloat towards[4] = {-scene_.light[0], -scene_.light[1], -scene_.light[2], 0};
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_POSITION, towards);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        for (size_t level = 0; level < scene_.mips.size(); ++level) {
            GLsizei size = GLsizei(BenchScene::kTextureSize >> level);
            glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA, size, size, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         scene_.mips[level].data());
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 1);
    }

    const BenchScene& scene_;
    std::vector<uint32_t> pixels_;
    OSMesaContext context_ = nullptr;
    GLuint texture_ = 0;
};

} // namespace

int main()
{
    // The software device draws on one thread; Mesa is measured on one thread as well unless
    // the caller chose otherwise.
    setenv("LP_NUM_THREADS", "1", 0);
    BenchScene scene;
    double shaded = double(BenchScene::kWidth) * BenchScene::kHeight * BenchScene::kLayers;
    std::printf("scene: %dx%d, %d triangles, %d layers (overdraw %d), textured and lit\n", BenchScene::kWidth,
                BenchScene::kHeight, scene.Triangles(), BenchScene::kLayers, BenchScene::kLayers);

    Direct3DRenderer ours(scene);
    MesaRenderer mesa(scene);
    std::printf("Mesa renderer: %s (LP_NUM_THREADS=%s)\n", mesa.Name(), std::getenv("LP_NUM_THREADS"));
    // Frames of the two renderers alternate, so both meet the same load on a shared machine;
    // each is rated by its median frame time.
    ours.Frame();
    mesa.Frame();
    std::vector<double> ourTimes, mesaTimes;
    double total = 0.0;
    while (total < kMinimumSeconds || ourTimes.size() < 5) {
        ourTimes.push_back(Seconds([&] { ours.Frame(); }));
        mesaTimes.push_back(Seconds([&] { mesa.Frame(); }));
        total += ourTimes.back() + mesaTimes.back();
    }
    double oursFps = 1.0 / Median(ourTimes), mesaFps = 1.0 / Median(mesaTimes);
    std::vector<uint32_t> ourPixels = ours.Pixels(), mesaPixels = mesa.Pixels();
    // Both drew the same scene: their images agree up to filtering and rounding differences.
    double difference = 0.0;
    for (size_t i = 0; i < ourPixels.size(); ++i)
        for (int shift : {0, 8, 16})
            difference += std::abs(int((ourPixels[i] >> shift) & 0xFF) - int((mesaPixels[i] >> shift) & 0xFF));
    std::printf("mean difference between the two images: %.2f levels per channel\n",
                difference / (3.0 * ourPixels.size()));
    std::printf("software Direct3D 9: %8.2f frames/s %8.2f Mpixels/s\n", oursFps, oursFps * shaded / 1e6);
    std::printf("Mesa OSMesa:         %8.2f frames/s %8.2f Mpixels/s\n", mesaFps, mesaFps * shaded / 1e6);
    std::printf("ratio (ours / Mesa): %.3f\n", oursFps / mesaFps);
    return 0;
}
