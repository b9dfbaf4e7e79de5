#pragma once
// Everything the draw calls read: render, stage and sampler states, transforms, lights,
// material, viewport and the bound resources.
#include <vector>

#include <d3d9.h>

namespace d3d9sw {

class Texture;
class VertexBuffer;
class IndexBuffer;
class VertexDeclaration;
class VertexShader;

constexpr int kStages = 8;
constexpr int kSamplers = 16;
constexpr int kStreams = 16;
constexpr DWORD kMaxLights = 4096;

struct LightSlot {
    D3DLIGHT9 light;
    bool enabled;
};

struct StreamSource {
    VertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

struct DeviceState {
    DWORD render[D3DRS_MAX];
    DWORD stage[kStages][D3DTSS_MAX];
    DWORD sampler[kSamplers][D3DSAMP_MAX];
    D3DMATRIX world, view, projection;
    D3DMATERIAL9 material;
    std::vector<LightSlot> lights;
    D3DVIEWPORT9 viewport;
    Texture* textures[kSamplers] = {};
    StreamSource streams[kStreams];
    IndexBuffer* indices = nullptr;
    VertexDeclaration* declaration = nullptr;
    DWORD fvf = 0;
    VertexShader* shader = nullptr;
    float constants[256][4] = {};

    // The states a freshly created or reset device starts with.
    void SetDefaults(bool depthBuffer);
    float RenderFloat(D3DRENDERSTATETYPE state) const;
};

D3DMATRIX Identity();
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

} // namespace d3d9sw
