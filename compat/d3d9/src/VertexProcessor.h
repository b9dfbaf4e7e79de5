#pragma once
// Fetches vertices from the streams and turns them into clip-space positions with colours,
// fog and texture coordinates, by the fixed-function transform and lighting or by the bound
// vertex shader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DeviceState.h"

namespace d3d9sw {

// Interpolated values of a vertex: diffuse RGBA, specular RGBA, fog, then (u, v) per set.
constexpr int kDiffuse = 0;
constexpr int kSpecular = 4;
constexpr int kFogValue = 8;
constexpr int kTexCoord = 9;
constexpr int kTexSets = 8;
constexpr int kVaryings = kTexCoord + 2 * kTexSets;

struct ShadedVertex {
    float clip[4];
    float varying[kVaryings];
};

struct StreamView {
    const uint8_t* data = nullptr;
    size_t size = 0;
    UINT stride = 0;
};

// Where the pixel stage takes fog from: the vertex fog value as the factor itself, the vertex
// fog value as a distance for the fog table, or the pixel's eye depth for the fog table.
enum class FogInput { Factor, Distance, EyeDepth };

class VertexProcessor {
public:
    VertexProcessor(const DeviceState& state, const std::vector<D3DVERTEXELEMENT9>& layout, const StreamView* streams);

    // False when the vertex lies outside its streams' data.
    bool Process(UINT index, ShadedVertex& out);

    FogInput Fog() const { return fogInput_; }
    // True when the projection gives eye depth in w, so table fog can use it.
    bool DepthInW() const { return depthInW_; }

private:
    struct Element {
        const StreamView* stream;
        UINT offset;
        BYTE type;
        int target; // shader: register; fixed function: one of the inputs below
    };
    struct ViewLight {
        D3DLIGHTTYPE type;
        float position[3], toLight[3], spotDirection[3];
        float diffuse[3], specular[3], ambient[3];
        float range, attenuation[3], cosTheta, cosPhi, falloff;
    };
    enum FixedInput { kPosition, kPositionT, kNormal, kColour0, kColour1, kTex0, kFixedInputs = kTex0 + kTexSets };

    bool Fetch(UINT index, float (*inputs)[4], bool* present);
    void FixedFunction(float (*inputs)[4], const bool* present, ShadedVertex& out) const;
    void Light(const float* position, const float* normal, const float* colour0, const float* colour1, bool hasColour0,
               bool hasColour1, ShadedVertex& out) const;
    void Shader(ShadedVertex& out);
    void PrepareLights();

    const DeviceState& state_;
    std::vector<Element> elements_;
    FogInput fogInput_ = FogInput::Distance;
    bool depthInW_ = true;
    bool lighting_ = false;
    D3DMATRIX worldViewProjection_, worldView_;
    float normalMatrix_[3][3];
    std::vector<ViewLight> lights_;
    std::vector<float> file_; // the shader's register file
};

} // namespace d3d9sw
