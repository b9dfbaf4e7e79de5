#include "VertexProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "VertexDeclaration.h"
#include "VertexShader.h"

namespace d3d9sw {

namespace {

void Read(BYTE type, const uint8_t* p, float out[4])
{
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    switch (type) {
    case D3DDECLTYPE_FLOAT4:
        std::memcpy(out, p, 16);
        break;
    case D3DDECLTYPE_FLOAT3:
        std::memcpy(out, p, 12);
        break;
    case D3DDECLTYPE_FLOAT2:
        std::memcpy(out, p, 8);
        break;
    case D3DDECLTYPE_FLOAT1:
        std::memcpy(out, p, 4);
        break;
    case D3DDECLTYPE_D3DCOLOR:
        out[0] = p[2] / 255.0f;
        out[1] = p[1] / 255.0f;
        out[2] = p[0] / 255.0f;
        out[3] = p[3] / 255.0f;
        break;
    case D3DDECLTYPE_UBYTE4:
        for (int i = 0; i < 4; ++i)
            out[i] = p[i];
        break;
    case D3DDECLTYPE_UBYTE4N:
        for (int i = 0; i < 4; ++i)
            out[i] = p[i] / 255.0f;
        break;
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4:
        for (int i = 0; i < (type == D3DDECLTYPE_SHORT2 ? 2 : 4); ++i) {
            int16_t v;
            std::memcpy(&v, p + 2 * i, 2);
            out[i] = v;
        }
        break;
    default:
        break;
    }
}

void Transform(const float* v, float w, const D3DMATRIX& m, float out[4])
{
    for (int j = 0; j < 4; ++j)
        out[j] = v[0] * m.m[0][j] + v[1] * m.m[1][j] + v[2] * m.m[2][j] + w * m.m[3][j];
}

float Dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalize3(float* v)
{
    float length = std::sqrt(Dot3(v, v));
    if (length > 0.0f)
        for (int i = 0; i < 3; ++i)
            v[i] /= length;
}

void Colour3(const D3DCOLORVALUE& c, float out[3])
{
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

} // namespace

VertexProcessor::VertexProcessor(const DeviceState& state, const std::vector<D3DVERTEXELEMENT9>& layout,
                                 const StreamView* streams)
    : state_(state)
{
    const VertexShader* shader = state.shader;
    for (const D3DVERTEXELEMENT9& e : layout) {
        int target = -1;
        if (shader) {
            for (const ShaderInput& input : shader->Inputs())
                if (input.usage == e.Usage && input.usageIndex == e.UsageIndex)
                    target = reg::kInputs + input.reg;
        } else if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0) {
            target = kPosition;
        } else if (e.Usage == D3DDECLUSAGE_POSITIONT && e.UsageIndex == 0) {
            target = kPositionT;
        } else if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0) {
            target = kNormal;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2) {
            target = kColour0 + e.UsageIndex;
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex < kTexSets) {
            target = kTex0 + e.UsageIndex;
        }
        if (target >= 0)
            elements_.push_back({&streams[e.Stream], e.Offset, e.Type, target});
    }

    bool tableFog = state.render[D3DRS_FOGTABLEMODE] != D3DFOG_NONE;
    if (shader) {
        // A shader's oFog is a fog distance under table fog and the fog factor itself otherwise;
        // a shader that writes no oFog is fogged by its depth.
        fogInput_ = !tableFog ? FogInput::Factor : shader->WritesFog() ? FogInput::Distance : FogInput::EyeDepth;
        file_.assign(size_t(reg::kFileSize) * 4, 0.0f);
        shader->LoadConstants(reinterpret_cast<float(*)[4]>(file_.data()), state.constants);
        return;
    }
    fogInput_ = tableFog ? FogInput::EyeDepth : FogInput::Factor;
    depthInW_ = state.projection._34 != 0.0f;
    worldView_ = Multiply(state.world, state.view);
    worldViewProjection_ = Multiply(worldView_, state.projection);
    // Normals go through the inverse transpose of the world-view matrix.
    const D3DMATRIX& m = worldView_;
    float c[3][3] = {{m._22 * m._33 - m._23 * m._32, m._23 * m._31 - m._21 * m._33, m._21 * m._32 - m._22 * m._31},
                     {m._13 * m._32 - m._12 * m._33, m._11 * m._33 - m._13 * m._31, m._12 * m._31 - m._11 * m._32},
                     {m._12 * m._23 - m._13 * m._22, m._13 * m._21 - m._11 * m._23, m._11 * m._22 - m._12 * m._21}};
    float determinant = m._11 * c[0][0] + m._12 * c[0][1] + m._13 * c[0][2];
    float scale = determinant != 0.0f ? 1.0f / determinant : 0.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            normalMatrix_[i][j] = c[i][j] * scale;
    lighting_ = state.render[D3DRS_LIGHTING] != FALSE;
    if (lighting_)
        PrepareLights();
}

void VertexProcessor::PrepareLights()
{
    const D3DMATRIX& v = state_.view;
    for (const LightSlot& slot : state_.lights) {
        if (!slot.enabled)
            continue;
        const D3DLIGHT9& l = slot.light;
        ViewLight out{};
        out.type = l.Type;
        float position[4];
        Transform(&l.Position.x, 1.0f, v, position);
        std::memcpy(out.position, position, 12);
        float direction[3];
        for (int j = 0; j < 3; ++j)
            direction[j] = l.Direction.x * v.m[0][j] + l.Direction.y * v.m[1][j] + l.Direction.z * v.m[2][j];
        Normalize3(direction);
        for (int j = 0; j < 3; ++j) {
            out.toLight[j] = -direction[j];
            out.spotDirection[j] = direction[j];
        }
        Colour3(l.Diffuse, out.diffuse);
        Colour3(l.Specular, out.specular);
        Colour3(l.Ambient, out.ambient);
        out.range = l.Range;
        out.attenuation[0] = l.Attenuation0;
        out.attenuation[1] = l.Attenuation1;
        out.attenuation[2] = l.Attenuation2;
        out.cosTheta = std::cos(l.Theta * 0.5f);
        out.cosPhi = std::cos(l.Phi * 0.5f);
        out.falloff = l.Falloff;
        lights_.push_back(out);
    }
}

bool VertexProcessor::Fetch(UINT index, float (*inputs)[4], bool* present)
{
    for (const Element& e : elements_) {
        const StreamView& s = *e.stream;
        size_t at = size_t(index) * s.stride + e.offset;
        size_t size = VertexDeclaration::TypeSize(e.type);
        if (!s.data || at + size > s.size)
            return false;
        Read(e.type, s.data + at, inputs[e.target]);
        if (present)
            present[e.target] = true;
    }
    return true;
}

bool VertexProcessor::Process(UINT index, ShadedVertex& out)
{
    std::memset(&out, 0, sizeof out);
    if (state_.shader) {
        float(*file)[4] = reinterpret_cast<float(*)[4]>(file_.data());
        std::memset(file, 0, sizeof(float) * 4 * reg::kConsts);
        for (int i = 0; i < 16; ++i)
            file[reg::kInputs + i][3] = 1.0f;
        file[reg::kColours][0] = file[reg::kColours][1] = file[reg::kColours][2] = file[reg::kColours][3] = 1.0f;
        file[reg::kFog][0] = 1.0f;
        if (!Fetch(index, file, nullptr))
            return false;
        Shader(out);
        return true;
    }
    float inputs[kFixedInputs][4] = {};
    bool present[kFixedInputs] = {};
    if (!Fetch(index, inputs, present))
        return false;
    FixedFunction(inputs, present, out);
    return true;
}

void VertexProcessor::Shader(ShadedVertex& out)
{
    float(*file)[4] = reinterpret_cast<float(*)[4]>(file_.data());
    state_.shader->Run(file);
    std::memcpy(out.clip, file[reg::kPosition], 16);
    for (int i = 0; i < 4; ++i) {
        out.varying[kDiffuse + i] = Clamp01(file[reg::kColours][i]);
        out.varying[kSpecular + i] = Clamp01(file[reg::kColours + 1][i]);
    }
    out.varying[kFogValue] = file[reg::kFog][0];
    for (int t = 0; t < kTexSets; ++t) {
        out.varying[kTexCoord + 2 * t] = file[reg::kTexCoords + t][0];
        out.varying[kTexCoord + 2 * t + 1] = file[reg::kTexCoords + t][1];
    }
}

void VertexProcessor::FixedFunction(float (*in)[4], const bool* present, ShadedVertex& out) const
{
    static const float kWhite[4] = {1, 1, 1, 1};
    for (int t = 0; t < kTexSets; ++t) {
        out.varying[kTexCoord + 2 * t] = in[kTex0 + t][0];
        out.varying[kTexCoord + 2 * t + 1] = in[kTex0 + t][1];
    }
    if (present[kPositionT]) {
        // Already in screen space: undo the viewport mapping so clipping treats it alike.
        const D3DVIEWPORT9& vp = state_.viewport;
        float w = in[kPositionT][3] != 0.0f ? 1.0f / in[kPositionT][3] : 1.0f;
        float range = vp.MaxZ - vp.MinZ;
        out.clip[0] = ((in[kPositionT][0] - vp.X) * 2.0f / float(vp.Width) - 1.0f) * w;
        out.clip[1] = (1.0f - (in[kPositionT][1] - vp.Y) * 2.0f / float(vp.Height)) * w;
        out.clip[2] = (range != 0.0f ? (in[kPositionT][2] - vp.MinZ) / range : 0.0f) * w;
        out.clip[3] = w;
        const float* c0 = present[kColour0] ? in[kColour0] : kWhite;
        for (int i = 0; i < 4; ++i) {
            out.varying[kDiffuse + i] = c0[i];
            out.varying[kSpecular + i] = present[kColour1] ? in[kColour1][i] : 0.0f;
        }
        out.varying[kFogValue] = 1.0f;
        return;
    }
    Transform(in[kPosition], 1.0f, worldViewProjection_, out.clip);
    float eye[4];
    Transform(in[kPosition], 1.0f, worldView_, eye);
    if (lighting_) {
        float normal[3];
        for (int j = 0; j < 3; ++j)
            normal[j] = in[kNormal][0] * normalMatrix_[0][j] + in[kNormal][1] * normalMatrix_[1][j] +
                        in[kNormal][2] * normalMatrix_[2][j];
        if (state_.render[D3DRS_NORMALIZENORMALS])
            Normalize3(normal);
        Light(eye, normal, in[kColour0], in[kColour1], present[kColour0], present[kColour1], out);
    } else {
        const float* c0 = present[kColour0] ? in[kColour0] : kWhite;
        for (int i = 0; i < 4; ++i) {
            out.varying[kDiffuse + i] = c0[i];
            out.varying[kSpecular + i] = present[kColour1] ? in[kColour1][i] : 0.0f;
        }
    }
    out.varying[kFogValue] = 1.0f;
    DWORD vertexFog = state_.render[D3DRS_FOGVERTEXMODE];
    if (fogInput_ == FogInput::Factor && vertexFog != D3DFOG_NONE) {
        float d = state_.render[D3DRS_RANGEFOGENABLE] ? std::sqrt(Dot3(eye, eye)) : std::fabs(eye[2]);
        float start = state_.RenderFloat(D3DRS_FOGSTART), end = state_.RenderFloat(D3DRS_FOGEND);
        float density = state_.RenderFloat(D3DRS_FOGDENSITY);
        float f = 1.0f;
        if (vertexFog == D3DFOG_LINEAR)
            f = end != start ? (end - d) / (end - start) : 1.0f;
        else if (vertexFog == D3DFOG_EXP)
            f = std::exp(-d * density);
        else if (vertexFog == D3DFOG_EXP2)
            f = std::exp(-(d * density) * (d * density));
        out.varying[kFogValue] = Clamp01(f);
    }
}

void VertexProcessor::Light(const float* position, const float* normal, const float* colour0, const float* colour1,
                            bool hasColour0, bool hasColour1, ShadedVertex& out) const
{
    const D3DMATERIAL9& m = state_.material;
    bool vertexColour = state_.render[D3DRS_COLORVERTEX] != FALSE;
    auto source = [&](D3DRENDERSTATETYPE rs, const D3DCOLORVALUE& material) -> const float* {
        DWORD from = state_.render[rs];
        if (vertexColour && from == D3DMCS_COLOR1 && hasColour0)
            return colour0;
        if (vertexColour && from == D3DMCS_COLOR2 && hasColour1)
            return colour1;
        return &material.r;
    };
    const float* diffuse = source(D3DRS_DIFFUSEMATERIALSOURCE, m.Diffuse);
    const float* ambient = source(D3DRS_AMBIENTMATERIALSOURCE, m.Ambient);
    const float* specular = source(D3DRS_SPECULARMATERIALSOURCE, m.Specular);
    const float* emissive = source(D3DRS_EMISSIVEMATERIALSOURCE, m.Emissive);
    DWORD global = state_.render[D3DRS_AMBIENT];
    float globalAmbient[3] = {((global >> 16) & 0xFF) / 255.0f, ((global >> 8) & 0xFF) / 255.0f,
                              (global & 0xFF) / 255.0f};
    bool withSpecular = state_.render[D3DRS_SPECULARENABLE] != FALSE;

    float shine[3] = {0, 0, 0}, ambientSum[3] = {0, 0, 0};
    for (const ViewLight& l : lights_) {
        float toLight[3], factor = 1.0f;
        if (l.type == D3DLIGHT_DIRECTIONAL) {
            std::memcpy(toLight, l.toLight, 12);
        } else {
            for (int j = 0; j < 3; ++j)
                toLight[j] = l.position[j] - position[j];
            float distance = std::sqrt(Dot3(toLight, toLight));
            if (distance > l.range)
                continue;
            if (distance > 0.0f)
                for (float& c : toLight)
                    c /= distance;
            float denominator = l.attenuation[0] + l.attenuation[1] * distance + l.attenuation[2] * distance * distance;
            factor = denominator > 0.0f ? 1.0f / denominator : 1.0f;
            if (l.type == D3DLIGHT_SPOT) {
                float rho = -Dot3(toLight, l.spotDirection);
                if (rho <= l.cosPhi)
                    continue;
                if (rho < l.cosTheta && l.cosTheta > l.cosPhi)
                    factor *= std::pow((rho - l.cosPhi) / (l.cosTheta - l.cosPhi), l.falloff);
            }
        }
        float lambert = std::max(Dot3(normal, toLight), 0.0f);
        for (int j = 0; j < 3; ++j)
            ambientSum[j] += factor * l.ambient[j];
        for (int j = 0; j < 3; ++j)
            out.varying[kDiffuse + j] += factor * diffuse[j] * l.diffuse[j] * lambert;
        if (withSpecular && lambert > 0.0f) {
            float half[3];
            float eyeDir[3] = {-position[0], -position[1], -position[2]};
            if (state_.render[D3DRS_LOCALVIEWER])
                Normalize3(eyeDir);
            else
                eyeDir[0] = eyeDir[1] = 0.0f, eyeDir[2] = -1.0f;
            for (int j = 0; j < 3; ++j)
                half[j] = toLight[j] + eyeDir[j];
            Normalize3(half);
            float highlight = std::pow(std::max(Dot3(normal, half), 0.0f), m.Power);
            for (int j = 0; j < 3; ++j)
                shine[j] += factor * specular[j] * l.specular[j] * highlight;
        }
    }
    for (int j = 0; j < 3; ++j) {
        float total = out.varying[kDiffuse + j] + emissive[j] + ambient[j] * (globalAmbient[j] + ambientSum[j]);
        out.varying[kDiffuse + j] = Clamp01(total);
        out.varying[kSpecular + j] = Clamp01(shine[j]);
    }
    out.varying[kDiffuse + 3] = Clamp01(diffuse[3]);
    out.varying[kSpecular + 3] = 0.0f;
}

} // namespace d3d9sw
