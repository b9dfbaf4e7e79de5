// Renders the benchmark scenes with the software Direct3D 9 device and with Mesa's software
// OpenGL (OSMesa, llvmpipe) in the same run, at 0 (strictly on the drawing thread), 1, 2, 4 and
// 8 raster threads beside the drawing thread on both sides, and prints frames per second (min /
// median / max over the repetitions) and the ratio of the medians. Mesa reads its thread count once per process, so
// each setting runs in a child process of this program; within it each renderer is timed in
// its own block. The two images must agree (mean difference below a threshold): a broken image
// fails the benchmark instead of making it fast.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

// The device headers come first: they define APIENTRY as the GL headers expect to find it.
#include <d3d9.h>
#include <d3d9_fake_adapter.h>
#include <GL/gl.h>
#include <GL/osmesa.h>

#include "BenchScene.h"

namespace {

constexpr int kRepetitions = 7;
const int kThreadCounts[] = {0, 1, 2, 4, 8};
// Mean difference per channel, in levels, that filtering and rounding differences stay below.
constexpr double kMostDifference = 6.0;

// Wall-clock and processor seconds (all the process's threads) one frame takes.
struct FrameTime {
    double wall, processor;
};

double Now(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

FrameTime Time(const std::function<void()>& frame)
{
    double wall = Now(CLOCK_MONOTONIC), processor = Now(CLOCK_PROCESS_CPUTIME_ID);
    frame();
    return {Now(CLOCK_MONOTONIC) - wall, Now(CLOCK_PROCESS_CPUTIME_ID) - processor};
}

// Frames per second over a block of frames (slowest, median, fastest) and the median
// processor time a frame takes over all threads: on a machine shared with other work the
// rates fall with the load, while the processor time shows what the threading itself costs.
struct Rate {
    double min, median, max;
    double processorMs;
};

Rate Measure(const std::function<void()>& frame)
{
    frame(); // warm up: first-use allocations, Mesa's shader compilation, the workers' start
    std::vector<double> fps, processor;
    for (int i = 0; i < kRepetitions; ++i) {
        FrameTime t = Time(frame);
        fps.push_back(1.0 / t.wall);
        processor.push_back(t.processor * 1e3);
    }
    std::sort(fps.begin(), fps.end());
    std::sort(processor.begin(), processor.end());
    return {fps.front(), fps[fps.size() / 2], fps.back(), processor[processor.size() / 2]};
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
        // The frame is done once its pixels are: what Present waits for.
        device_->Present(nullptr, nullptr, nullptr, nullptr);
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

// Difference of two images: the mean absolute difference per colour channel, in levels.
double MeanDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    double difference = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16})
            difference += std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF));
    return difference / (3.0 * double(a.size()));
}

// One setting, in a process of its own: prints a line the parent reads.
int Child(const char* sceneName, const char* threads)
{
    const BenchScene* scene = BenchScene::Named(sceneName);
    if (!scene)
        return 2;
    setenv("MG_RASTER_THREADS", threads, 1);
    setenv("LP_NUM_THREADS", threads, 1);
    Direct3DRenderer ours(*scene);
    Rate oursRate = Measure([&] { ours.Frame(); });
    MesaRenderer mesa(*scene);
    Rate mesaRate = Measure([&] { mesa.Frame(); });
    std::printf("%.4f %.4f %.4f %.3f %.4f %.4f %.4f %.3f %.3f %s\n", oursRate.min, oursRate.median, oursRate.max,
                oursRate.processorMs, mesaRate.min, mesaRate.median, mesaRate.max, mesaRate.processorMs,
                MeanDifference(ours.Pixels(), mesa.Pixels()), mesa.Name());
    return 0;
}

struct Result {
    Rate ours, mesa;
    double difference;
    std::string mesaName;
};

bool RunChild(const char* self, const char* scene, int threads, Result& out)
{
    std::string command = std::string("'") + self + "' --setting " + scene + " " + std::to_string(threads);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[512] = {};
    bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    int status = pclose(pipe);
    char name[256] = {};
    if (!read || status != 0 ||
        std::sscanf(line, "%lf %lf %lf %lf %lf %lf %lf %lf %lf %255[^\n]", &out.ours.min, &out.ours.median,
                    &out.ours.max, &out.ours.processorMs, &out.mesa.min, &out.mesa.median, &out.mesa.max,
                    &out.mesa.processorMs, &out.difference, name) != 10)
        return false;
    out.mesaName = name;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--setting") == 0)
        return Child(argv[2], argv[3]);
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::fprintf(stderr, "cannot find this program's own path\n");
        return 1;
    }
    bool failed = false;
    for (const char* name : {"terrain", "small"}) {
        const BenchScene& scene = *BenchScene::Named(name);
        std::printf("\nscene %s: %dx%d, %d triangles, %d layers (overdraw %d), textured and lit; %d frames a block\n",
                    scene.name, BenchScene::kWidth, BenchScene::kHeight, scene.Triangles(), BenchScene::kLayers,
                    BenchScene::kLayers, kRepetitions);
        std::printf("threads | ours frames/s min / median / max   | Mesa frames/s min / median / max   | ratio | "
                    "processor ms/frame ours, Mesa | image difference\n");
        // Scaling is read against the strictly single-threaded setting (0) of each side.
        double oursSingle = 0.0, mesaSingle = 0.0;
        for (int threads : kThreadCounts) {
            Result r;
            if (!RunChild(self, name, threads, r)) {
                std::printf("%7d | the setting failed\n", threads);
                failed = true;
                continue;
            }
            if (threads == 0) {
                oursSingle = r.ours.median;
                mesaSingle = r.mesa.median;
            }
            bool broken = !(r.difference < kMostDifference);
            failed |= broken;
            std::printf("%7d | %9.2f / %9.2f / %9.2f | %9.2f / %9.2f / %9.2f | %5.2f | %8.1f, %8.1f | %.2f%s\n",
                        threads, r.ours.min, r.ours.median, r.ours.max, r.mesa.min, r.mesa.median, r.mesa.max,
                        r.ours.median / r.mesa.median, r.ours.processorMs, r.mesa.processorMs, r.difference,
                        broken ? " TOO LARGE: the images disagree" : "");
            if (threads == kThreadCounts[std::size(kThreadCounts) - 1] && oursSingle > 0.0)
                std::printf("scaling from one thread to %d workers: ours %.2fx, Mesa %.2fx (%s)\n", threads,
                            r.ours.median / oursSingle, r.mesa.median / mesaSingle, r.mesaName.c_str());
        }
    }
    if (failed)
        std::printf("\nFAILED: a setting did not run or its images disagree by more than %.1f levels\n",
                    kMostDifference);
    return failed ? 1 : 0;
}
