// The vs_1_1 assembler's acceptance and its rejections, and assembled programs drawing the
// same pixels as the fixed-function path.
#include <cstring>
#include <string>

#include <d3dx9.h>

#include "D3D9TestSupport.h"
#include "Sphere.h"

namespace d3d9test {
namespace {

struct Assembly {
    HRESULT result;
    std::string errors;
    std::vector<DWORD> tokens;
};

Assembly Assemble(const std::string& text)
{
    Assembly out;
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    out.result = D3DXAssembleShader(text.c_str(), UINT(text.size()), nullptr, nullptr, 0, &code, &errors);
    if (errors) {
        out.errors = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
    if (code) {
        const DWORD* p = static_cast<const DWORD*>(code->GetBufferPointer());
        out.tokens.assign(p, p + code->GetBufferSize() / 4);
        code->Release();
    }
    return out;
}

const char* kTransform = "vs.1.1\n"
                         "dcl_position v0\n"
                         "dcl_color v1\n"
                         "m4x4 oPos, v0, c0   ; world-view-projection in c0-c3\n"
                         "mov oD0, v1\n";

TEST(ShaderAssembler, AssemblesAProgramIntoVersionInstructionsAndEnd)
{
    Assembly a = Assemble(kTransform);
    ASSERT_EQ(a.result, D3D_OK) << a.errors;
    ASSERT_GE(a.tokens.size(), 3u);
    EXPECT_EQ(a.tokens.front(), D3DVS_VERSION(1, 1));
    EXPECT_EQ(a.tokens.back(), 0x0000FFFFu);
    EXPECT_TRUE(a.errors.empty());
}

TEST(ShaderAssembler, AcceptsTheSyntaxOfTheRendererFragments)
{
    Assembly a =
        Assemble("vs_1_1\n"
                 "// header\n"
                 "dcl_position0 v0\n dcl_normal v1\n dcl_texcoord0 v2\n dcl_position1 v3\n dcl_normal1 v4\n"
                 "/* morph */ mov r0, v3\n"
                 "sub r0, r0, v0\n"
                 "mad r0, r0, c1.y, v0\n"
                 "dp4 oPos.x, r0, c12\n dp4 oPos.y, r0, c13\n dp4 oPos.z, r0, c14\n dp4 oPos.w, r0, c15\n"
                 "dp3 r1.x, v1, c4\n dp3 r1.y, v1, c5\n dp3 r1.z, v1, c6\n"
                 "dp3 r1.w, r1, r1\n rsq r1.w, r1.w\n mul r1.xyz, r1, r1.w\n"
                 "dp3 r2.x, r1, c20\n max r2.x, r2.x, c0.x\n"
                 "mul r9, r2.x, c21\n add oD0, r9, c19\n"
                 "dp3 r3.x, r0, c8\n mul oFog, r3.x, c1.x\n"
                 "add oT0.xy, v2, c1.zw\n"
                 "mov oT1, -v2.yxzw\n"
                 "rcp r4.x, r1.w\n dst r5, r4.xxxx, r4.xxxx\n min r6, r5, c0.w\n slt r7, r6, c0\n sge r8, r6, c0\n");
    EXPECT_EQ(a.result, D3D_OK) << a.errors;
}

TEST(ShaderAssembler, RejectsWhatAVs11TargetRejects)
{
    const std::string head = "vs.1.1\ndcl_position v0\ndcl_normal v1\n";
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"two input registers", head + "sub r0, v1, v0\nmov oPos, r0\n", "input read port"},
        {"two constant registers", head + "mad r0, v0, c1, c2\nmov oPos, r0\n", "constant read port"},
        {"undeclared input", head + "mov oPos, v5\n", "v5 is read but not declared"},
        {"temporary past r11", head + "mov r12, v0\nmov oPos, v0\n", "out of range"},
        {"constant past c95", head + "mov oPos, c96\n", "out of range"},
        {"read before write", head + "add r0, r1, v0\nmov oPos, r0\n", "r1.x is read before it is written"},
        {"partly written", head + "mov r0.xy, v0\nmov oPos, r0\n", "r0.z is read before it is written"},
        {"writes an input", head + "mov v0, c0\nmov oPos, v0\n", "read-only"},
        {"reads an output", head + "mov oPos, v0\nmov r0, oPos\n", "write-only"},
        {"vector fog", head + "mov oPos, v0\nmov oFog.xy, v0\n", "scalar output"},
        {"unknown instruction", head + "frob r0, v0\nmov oPos, v0\n", "unknown instruction 'frob'"},
        {"operand count", head + "add r0, v0\nmov oPos, v0\n", "takes 3 operands"},
        {"version", "vs.2.0\nmov oPos, c0\n", "unsupported shader version"},
        {"no version", "mov oPos, c0\n", "version"},
        {"no position", head + "mov oD0, v0\n", "oPos is not written"},
        {"matrix onto its source", head + "mov r0, v0\nm4x4 r0, r0, c0\nmov oPos, r0\n",
         "cannot write a register it reads"},
        {"relative addressing", head + "mov oPos, c[a0.x + 1]\n", "relative addressing"},
        {"scalar with a vector swizzle", head + "rcp r0, v0.xy\nmov oPos, v0\n", "one source component"},
    };
    for (const Case& c : cases) {
        Assembly a = Assemble(c.text);
        EXPECT_EQ(a.result, D3DXERR_INVALIDDATA) << c.name;
        EXPECT_NE(a.errors.find(c.message), std::string::npos) << c.name << ": " << a.errors;
        EXPECT_TRUE(a.tokens.empty()) << c.name;
    }
}

TEST(ShaderAssembler, ErrorTextNamesTheLine)
{
    Assembly a = Assemble("vs.1.1\ndcl_position v0\n\nmov oPos, v0\nmul r0, v0, r9\n");
    EXPECT_NE(a.errors.find("(5): error: r9.x is read before it is written"), std::string::npos) << a.errors;
}

// 128 instruction slots is the vs_1_1 limit; matrix macros count one slot per row.
TEST(ShaderAssembler, CountsInstructionSlotsAgainstTheLimit)
{
    auto program = [](int matrices, int moves) {
        std::string text = "vs.1.1\ndcl_position v0\n";
        for (int i = 0; i < matrices; ++i)
            text += "m4x4 oPos, v0, c0\n";
        for (int i = 0; i < moves; ++i)
            text += "mov oD0, v0\n";
        return text;
    };
    EXPECT_EQ(Assemble(program(32, 0)).result, D3D_OK);
    EXPECT_EQ(Assemble(program(31, 4)).result, D3D_OK);
    Assembly over = Assemble(program(31, 5));
    EXPECT_EQ(over.result, D3DXERR_INVALIDDATA);
    EXPECT_NE(over.errors.find("129 instruction slots"), std::string::npos) << over.errors;
}

class ShaderDrawTest : public DeviceTest {
protected:
    IDirect3DVertexShader9* Shader(const std::string& text)
    {
        Assembly a = Assemble(text);
        EXPECT_EQ(a.result, D3D_OK) << a.errors;
        IDirect3DVertexShader9* shader = nullptr;
        EXPECT_EQ(device_->CreateVertexShader(a.tokens.data(), &shader), D3D_OK);
        return shader;
    }
    void DrawSphere(const Sphere& sphere)
    {
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(sphere.vertices.size()),
                                                  sphere.Triangles(), sphere.indices.data(), D3DFMT_INDEX16,
                                                  sphere.vertices.data(), sizeof(NormalVertex)),
                  D3D_OK);
    }
    void Matrices(D3DMATRIX& world, D3DMATRIX& view, D3DMATRIX& projection)
    {
        world = Multiply(RotationY(0.6f), Translation(0.2f, -0.1f, 0.0f));
        view = Translation(0.0f, 0.0f, 3.0f);
        projection = Perspective(1.0f, 1.0f, 0.5f, 20.0f);
        device_->SetTransform(D3DTS_WORLD, &world);
        device_->SetTransform(D3DTS_VIEW, &view);
        device_->SetTransform(D3DTS_PROJECTION, &projection);
    }
};

// The same coloured mesh through the fixed-function transform and through m4x4: identical
// pixels, since both compute the same sums in the same order.
TEST_F(ShaderDrawTest, TransformProgramMatchesFixedFunctionExactly)
{
    struct ColouredVertex {
        float x, y, z;
        D3DCOLOR colour;
    };
    Sphere sphere(24, 12);
    std::vector<ColouredVertex> mesh;
    for (size_t i = 0; i < sphere.vertices.size(); ++i) {
        const NormalVertex& v = sphere.vertices[i];
        mesh.push_back({v.x, v.y, v.z, D3DCOLOR_XRGB(int(i * 37) & 255, int(i * 91) & 255, int(i * 13) & 255)});
    }
    D3DMATRIX world, view, projection;
    Matrices(world, view, projection);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    auto draw = [&] {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(mesh.size()), sphere.Triangles(),
                                                  sphere.indices.data(), D3DFMT_INDEX16, mesh.data(),
                                                  sizeof(ColouredVertex)),
                  D3D_OK);
    };
    draw();
    Screen fixed = Capture();

    IDirect3DVertexShader9* shader = Shader(kTransform);
    D3DMATRIX constants = Transpose(Multiply(Multiply(world, view), projection));
    device_->SetVertexShaderConstantF(0, &constants._11, 4);
    device_->SetVertexShader(shader);
    draw();
    Screen programmed = Capture();
    device_->SetVertexShader(nullptr);
    shader->Release();

    int lit = 0;
    for (size_t i = 0; i < fixed.argb.size(); ++i) {
        ASSERT_EQ(programmed.argb[i], fixed.argb[i]) << "pixel " << i % kWidth << "," << i / kWidth;
        lit += (fixed.argb[i] & 0xFFFFFF) != 0;
    }
    EXPECT_GT(lit, 500);
}

// A directional light computed by a program as the renderer's lit shaders do (normal by the
// world rows, N·L floored at 0) against the fixed-function light: within rounding.
TEST_F(ShaderDrawTest, LightingProgramMatchesFixedFunctionLight)
{
    Sphere sphere(32, 16);
    D3DMATRIX world, view, projection;
    Matrices(world, view, projection);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    device_->SetMaterial(&material);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawSphere(sphere);
    Screen fixed = Capture();

    IDirect3DVertexShader9* shader = Shader("vs.1.1\n"
                                            "dcl_position v0\n"
                                            "dcl_normal v1\n"
                                            "m4x4 oPos, v0, c12\n"
                                            "dp3 r0.x, v1, c4\n"
                                            "dp3 r0.y, v1, c5\n"
                                            "dp3 r0.z, v1, c6\n"
                                            "dp3 r0.w, r0, r0\n"
                                            "rsq r0.w, r0.w\n"
                                            "mul r0.xyz, r0, r0.w\n"
                                            "dp3 r1.x, r0, c20\n"
                                            "max r1.x, r1.x, c0.x\n"
                                            "mul r2, r1.x, c21\n"
                                            "mul oD0, r2, c16\n");
    D3DMATRIX wvp = Transpose(Multiply(Multiply(world, view), projection));
    D3DMATRIX worldRows = Transpose(world);
    const float zero[4] = {0, 0, 0.25f, 1}, toLight[4] = {0, 0, -1, 0}, colour[4] = {1, 1, 1, 0},
                diffuse[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    device_->SetVertexShaderConstantF(0, zero, 1);
    device_->SetVertexShaderConstantF(4, &worldRows._11, 3);
    device_->SetVertexShaderConstantF(12, &wvp._11, 4);
    device_->SetVertexShaderConstantF(16, diffuse, 1);
    device_->SetVertexShaderConstantF(20, toLight, 1);
    device_->SetVertexShaderConstantF(21, colour, 1);
    device_->SetVertexShader(shader);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawSphere(sphere);
    Screen programmed = Capture();
    shader->Release();

    int compared = 0;
    for (size_t i = 0; i < fixed.argb.size(); ++i) {
        for (int shift : {16, 8, 0}) {
            int a = int((fixed.argb[i] >> shift) & 0xFF), b = int((programmed.argb[i] >> shift) & 0xFF);
            ASSERT_NEAR(a, b, 1) << "pixel " << i % kWidth << "," << i / kWidth;
        }
        compared += (fixed.argb[i] & 0xFF0000) != 0;
    }
    EXPECT_GT(compared, 300);
}

TEST_F(ShaderDrawTest, FogDistanceFromTheProgramDrivesTableFog)
{
    IDirect3DVertexShader9* shader = Shader("vs.1.1\n"
                                            "dcl_position v0\n"
                                            "mov oPos, v0\n"
                                            "mov oD0, c0\n"
                                            "mul oFog, v0.z, c1.x\n");
    const float white[4] = {1, 1, 1, 1}, scale[4] = {10, 0, 0, 0};
    device_->SetVertexShaderConstantF(0, white, 1);
    device_->SetVertexShaderConstantF(1, scale, 1);
    device_->SetVertexShader(shader);
    device_->SetFVF(D3DFVF_XYZ);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device_->SetRenderState(D3DRS_FOGSTART, FloatBits(0.0f));
    device_->SetRenderState(D3DRS_FOGEND, FloatBits(10.0f));
    device_->SetRenderState(D3DRS_FOGCOLOR, 0xFF000000);
    // Fog distance 10 * z: 2.5 on the left half, 7.5 on the right.
    float quads[2][4][3] = {{{-1, 1, 0.25f}, {0, 1, 0.25f}, {-1, -1, 0.25f}, {0, -1, 0.25f}},
                            {{0, 1, 0.75f}, {1, 1, 0.75f}, {0, -1, 0.75f}, {1, -1, 0.75f}}};
    for (auto& quad : quads)
        device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 12);
    Screen screen = Capture();
    EXPECT_NEAR(Red(screen.At(10, 30)), 255 * 0.75f, 1.0f);
    EXPECT_NEAR(Red(screen.At(50, 30)), 255 * 0.25f, 1.0f);
    device_->SetVertexShader(nullptr);
    shader->Release();
}

TEST_F(ShaderDrawTest, CreateVertexShaderRefusesMalformedTokens)
{
    IDirect3DVertexShader9* shader = nullptr;
    const DWORD wrongVersion[] = {D3DVS_VERSION(2, 0), 0x0000FFFF};
    const DWORD badRegister[] = {D3DVS_VERSION(1, 1), 1, 0x900F0000 /* write v0 */, 0x90E40000, 0x0000FFFF};
    EXPECT_EQ(device_->CreateVertexShader(wrongVersion, &shader), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexShader(badRegister, &shader), D3DERR_INVALIDCALL);
    EXPECT_EQ(shader, nullptr);
}

} // namespace
} // namespace d3d9test
