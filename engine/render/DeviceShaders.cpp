// The vertex shaders: 18 programs in nine families, each assembled at start-up from text
// fragments (head, fog, lighting, point lights, tail) chosen by the engine flags, with their
// vertex declarations; and the render states every frame starts from.
#include <cstdio>
#include <cstring>
#include <string>

#include <d3dx9.h>

#include "engine/render/CLightTree.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/RenderShaders.h"

namespace {

const D3DVERTEXELEMENT9 kEnd = D3DDECL_END();

const D3DVERTEXELEMENT9 kDeclPNT[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                      {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                      kEnd};
const D3DVERTEXELEMENT9 kDeclPNCT[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                       {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                       {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                       kEnd};
const D3DVERTEXELEMENT9 kDeclMorph[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                        {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                        {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 1},
                                        {1, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 1},
                                        kEnd};
const D3DVERTEXELEMENT9 kDeclPNC3T[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                        {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                        {0, 28, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                        {0, 44, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
                                        kEnd};

// Inputs: v0 position, v1 normal, then per layout the colour, the coordinates and the second
// morph stream. The heads leave the model position in r0 and the model normal in r1, write
// oPos and the coordinates; the lighting fragment leaves the world normal in r2, the world
// position in r3, the diffuse sum in r4 and the ambient sum in r5.
const char* const kDclPNT = "vs.1.1\ndcl_position v0\ndcl_normal v1\ndcl_texcoord0 v2\n";
const char* const kDclPNCT = "vs.1.1\ndcl_position v0\ndcl_normal v1\ndcl_color v2\ndcl_texcoord0 v3\n";
const char* const kDclMorph =
    "vs.1.1\ndcl_position0 v0\ndcl_normal0 v1\ndcl_texcoord0 v2\ndcl_position1 v3\ndcl_normal1 v4\n";
const char* const kDclPNC3T =
    "vs.1.1\ndcl_position v0\ndcl_normal v1\ndcl_color v2\ndcl_texcoord0 v3\ndcl_texcoord1 v4\n";

const char* const kLoad = "mov r0, v0\nmov r1, v1\n";
const char* const kMorph = "mov r0, v3\nsub r0, r0, v0\nmad r0, r0, c1.y, v0\n"
                           "mov r1, v4\nsub r1, r1, v1\nmad r1, r1, c1.y, v1\n";
// Pushes the position out along the normal by c3.x plus c3.y per unit of clip depth.
const char* const kShell = "dp4 r6.x, r0, c14\nmad r6.x, r6.x, c3.y, c3.x\nmad r0.xyz, r1, r6.x, r0\n";
const char* const kPosition = "dp4 oPos.x, r0, c12\ndp4 oPos.y, r0, c13\ndp4 oPos.z, r0, c14\ndp4 oPos.w, r0, c15\n";

const char* const kFog = "dp4 r6.x, r0, c8\ndp4 r6.y, r0, c9\ndp4 r6.z, r0, c10\ndp3 r6.w, r6, r6\n"
                         "rsq r7.x, r6.w\nmul r7.x, r7.x, r6.w\nmul oFog, r7.x, c1.x\n";

const char* const kLighting = "dp3 r2.x, r1, c4\ndp3 r2.y, r1, c5\ndp3 r2.z, r1, c6\n"
                              "dp3 r2.w, r2, r2\nrsq r2.w, r2.w\nmul r2.xyz, r2, r2.w\n"
                              "dp4 r3.x, r0, c4\ndp4 r3.y, r0, c5\ndp4 r3.z, r0, c6\n"
                              "mov r5, c19\n"
                              "dp3 r6.x, r2, c20\nmax r6.x, r6.x, c0.x\nmul r4, r6.x, c21\n"
                              "dp3 r6.x, r2, c22\nmax r6.x, r6.x, c0.x\nmad r4, r6.x, c23, r4\n"
                              "dp3 r6.x, r2, c24\nmax r6.x, r6.x, c0.x\nmad r4, r6.x, c25, r4\n";

std::string PointLights()
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const int b = 26 + 5 * i;
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer,
                      "sub r7.xyz, c%d, r3\n"
                      "dp3 r8.x, r7, r7\nrsq r8.y, r8.x\nmul r7.xyz, r7, r8.y\nmul r8.z, r8.x, r8.y\n"
                      "mad r9.x, c%d.z, r8.x, c%d.x\nmad r9.x, c%d.y, r8.z, r9.x\nrcp r9.x, r9.x\n"
                      "dp3 r9.y, c%d, r7\nadd r9.y, r9.y, c0.w\nmul r9.y, r9.y, c46.%c\n"
                      "sub r9.y, c0.w, r9.y\nmax r9.y, r9.y, c0.x\nmul r9.x, r9.x, r9.y\n"
                      "mad r5, c%d, r9.x, r5\n"
                      "dp3 r9.z, r2, r7\nmax r9.z, r9.z, c0.x\nmul r9.x, r9.x, r9.z\nmad r4, c%d, r9.x, r4\n",
                      b, b + 2, b + 2, b + 2, b + 1, "xyzw"[i], b + 4, b + 3);
        text += buffer;
    }
    return text;
}

// Colour sums of the lit tail into r6; the alpha line follows.
const char* const kLitSum = "mul r6, r5, c17\nadd r6, r6, c18\nmad r6, r4, c16, r6\n";

// The terrain's vertex colour is its fog-of-war tint: it scales the light the ground gets, as
// it scales the emission unlit and as the fixed-function path's colour-sourced material does.
// Added to the light, it would wash seen ground out to white and leave unseen ground lit.
const char* const kTerrainLitColour = "mul r6.xyz, r6, v2\nmul r6.w, v2.w, c18.w\n";

// How a family's vertices become positions, coordinates and colour.
struct Family {
    const char* name;
    const D3DVERTEXELEMENT9* declaration;
    const char* dcl;
    const char* head; // position fragments before oPos
    const char* coordinates;
    const char* unlitTail;
    const char* litAlpha; // after the lit sum
};

const Family kFamilies[kShaderFamilies] = {
    {"basic", kDeclPNT, kDclPNT, kLoad, "add oT0.xy, v2, c1.zwzw\n", "mov oD0, c18\n", "mov r6.w, c16.w\n"},
    // Unlit, the vertex colour adds to the base colour as it does lit: a multiply would turn
    // every primitive of a default (black) base colour black.
    {"vertex colour", kDeclPNCT, kDclPNCT, kLoad, "add oT0.xy, v3, c1.zwzw\n",
     "add oD0.xyz, v2, c18\nmul oD0.w, v2.w, c18.w\n", "add r6.xyz, r6, v2\nmul r6.w, v2.w, c18.w\n"},
    {"shell", kDeclPNT, kDclPNT, kLoad, "mul r10.xy, v2, c3.zwzw\nadd oT0.xy, r10, c1.zwzw\n", "mov oD0, c18\n",
     "mov r6.w, c16.w\n"},
    {"morph shell", kDeclMorph, kDclMorph, kMorph, "mul r10.xy, v2, c3.zwzw\nadd oT0.xy, r10, c1.zwzw\n",
     "mov oD0, c18\n", "mov r6.w, c16.w\n"},
    {"environment", kDeclPNT, kDclPNT, kLoad,
     "dp3 r10.x, r1, c8\ndp3 r10.y, r1, c9\nmad r10.xy, r10, c0.z, c0.z\nmul r10.xy, r10, c3.zwzw\n"
     "add oT0.xy, r10, c1.zwzw\n",
     "mov oD0, c18\n", "mov r6.w, c16.w\n"},
    {"three sets A", kDeclPNC3T, kDclPNC3T, kLoad,
     "add oT0.xy, v3.xyxy, c1.zwzw\nadd oT1.xy, v3.zwzw, c2.xyxy\nadd oT2.xy, v4.xyxy, c2.zwzw\n", "mul oD0, v2, c18\n",
     kTerrainLitColour},
    {"three sets B", kDeclPNC3T, kDclPNC3T, kLoad,
     "add oT2.xy, v3.xyxy, c2.zwzw\nadd oT0.xy, v3.zwzw, c1.zwzw\nadd oT1.xy, v4.xyxy, c2.xyxy\n", "mul oD0, v2, c18\n",
     kTerrainLitColour},
    {"three sets C", kDeclPNC3T, kDclPNC3T, kLoad,
     "add oT1.xy, v3.xyxy, c2.xyxy\nadd oT2.xy, v3.zwzw, c2.zwzw\nadd oT0.xy, v4.xyxy, c1.zwzw\n", "mul oD0, v2, c18\n",
     kTerrainLitColour},
    {"material alpha", kDeclPNT, kDclPNT, kLoad, "add oT0.xy, v2, c1.zwzw\n", "mov oD0, c18\n", "mov r6.w, c18.w\n"},
};

bool IsShellFamily(int family) { return family == kFamilyShell || family == kFamilyMorphShell; }

} // namespace

std::string ShaderText(int slot, unsigned long engineFlags)
{
    const int family = slot / 2;
    const bool lit = slot & 1;
    const Family& f = kFamilies[family];
    std::string head = std::string(f.dcl) + f.head;
    if (IsShellFamily(family))
        head += kShell;
    head += kPosition;
    head += f.coordinates;
    const std::string fog = engineFlags & CRenderDevice::FLAG_FOG ? kFog : "";
    const std::string lighting = lit ? kLighting : "";
    const std::string points = lit && (engineFlags & CRenderDevice::FLAG_POINT_LIGHTS) ? PointLights() : "";
    const std::string tail = lit ? std::string(kLitSum) + f.litAlpha + "mov oD0, r6\n" : f.unlitTail;
    return AssembleShaderText(head.c_str(), fog.c_str(), lighting.c_str(), points.c_str(), tail.c_str());
}

// Joins the fragments in a buffer that grows by the length needed plus 4,096 bytes.
std::string AssembleShaderText(const char* head, const char* fog, const char* lighting, const char* pointLights,
                               const char* tail)
{
    std::string text;
    text.reserve(4096);
    for (const char* part : {head, fog, lighting, pointLights, tail}) {
        const size_t needed = text.size() + std::strlen(part) + 1;
        if (needed > text.capacity())
            text.reserve(needed + 4096);
        text += part;
    }
    return text;
}

void CRenderDevice::AssembleShader(int slot, const std::string& text)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXAssembleShader(text.c_str(), UINT(text.size()), nullptr, nullptr, 0, &code, &errors);
    if (result != D3D_OK || !code) {
        std::printf("Assembly Error: %s\n", errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        std::printf("Failed to Create Shader!\n");
    } else if (pDevice->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &pShaders[slot]) ==
               D3D_OK) {
        pDevice->CreateVertexDeclaration(kFamilies[slot / 2].declaration, &pDeclarations[slot]);
    } else {
        pShaders[slot] = nullptr;
        std::printf("Failed to Create Shader!\n");
    }
    if (code)
        code->Release();
    if (errors)
        errors->Release();
}

void CRenderDevice::BuildShaders()
{
    ReleaseShaders();
    if (!pDevice)
        return;
    for (int slot = 0; slot < kShaderSlots; ++slot)
        AssembleShader(slot, ShaderText(slot, EngineFlags));
}

void CRenderDevice::ReleaseShaders()
{
    for (int slot = 0; slot < kShaderSlotRoom; ++slot) {
        if (pShaders[slot])
            pShaders[slot]->Release();
        if (pDeclarations[slot])
            pDeclarations[slot]->Release();
        pShaders[slot] = nullptr;
        pDeclarations[slot] = nullptr;
    }
    CurrentShader = -1;
}

void CRenderDevice::ClearStateCaches()
{
    CurrentShader = -1;
    CurrentBlend = -1;
    CurrentCull = -1;
    CurrentTexture = nullptr;
    CurrentFlags = kFlagsUnknown;
    CurrentKind = -1;
    CurrentAlphaRef = 127;
    ForgetAppliedLightSet();
}

void CRenderDevice::SetDefaultRenderStates()
{
    ClearStateCaches();
    if (!pDevice)
        return;
    for (DWORD stage = 0; stage < 3; ++stage)
        pDevice->SetTexture(stage, pWhiteTexture);
    pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    pDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    pDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    pDevice->SetRenderState(D3DRS_ALPHAREF, 127);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    for (DWORD stage = 1; stage < 4; ++stage) {
        pDevice->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
        pDevice->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    for (DWORD sampler = 0; sampler < 4; ++sampler) {
        pDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        pDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        pDevice->SetSamplerState(sampler, D3DSAMP_MINFILTER, Active.MinFilter);
        pDevice->SetSamplerState(sampler, D3DSAMP_MAGFILTER, Active.MagFilter);
        pDevice->SetSamplerState(sampler, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        pDevice->SetSamplerState(sampler, D3DSAMP_MAXANISOTROPY, 4);
    }
}

bool CRenderDevice::SelectShader(int slot)
{
    if (slot < 0 || slot >= kShaderSlotRoom || !pShaders[slot])
        return false;
    if (slot != CurrentShader) {
        pDevice->SetVertexShader(pShaders[slot]);
        pDevice->SetVertexDeclaration(pDeclarations[slot]);
        CurrentShader = slot;
    }
    return true;
}
