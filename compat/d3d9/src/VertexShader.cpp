#include "VertexShader.h"

#include <cmath>
#include <cstring>

#include "ShaderTokens.h"

namespace d3d9sw {

using namespace shader;

namespace {

// The longest program the decoder accepts, in tokens: 128 slots of at most five tokens plus
// declarations and definitions.
constexpr size_t kMaxTokens = 4096;

} // namespace

VertexShader* VertexShader::Create(IDirect3DDevice9* device, const DWORD* tokens)
{
    VertexShader* shader = new VertexShader(device);
    if (!shader->Decode(tokens)) {
        delete shader;
        return nullptr;
    }
    return shader;
}

HRESULT VertexShader::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (!ppDevice || !device_)
        return D3DERR_INVALIDCALL;
    *ppDevice = device_;
    device_->AddRef();
    return D3D_OK;
}

bool VertexShader::DecodeRegister(uint32_t token, bool destination, uint16_t& reg) const
{
    if (!(token & kParameterBit))
        return false;
    uint32_t index = TokenIndex(token);
    switch (TokenType(token)) {
    case kTemp:
        if (index >= uint32_t(kMaxTemps))
            return false;
        reg = uint16_t(reg::kTemps + index);
        return true;
    case kInput:
        if (destination || index >= uint32_t(kMaxInputs))
            return false;
        reg = uint16_t(reg::kInputs + index);
        return true;
    case kConst:
        if (destination || index >= uint32_t(reg::kConstCount))
            return false;
        reg = uint16_t(reg::kConsts + index);
        return true;
    case kRastOut:
        if (!destination || index > 2)
            return false;
        reg = uint16_t(reg::kPosition + index);
        return true;
    case kAttrOut:
        if (!destination || index >= uint32_t(kMaxColourOut))
            return false;
        reg = uint16_t(reg::kColours + index);
        return true;
    case kTexCoordOut:
        if (!destination || index >= uint32_t(kMaxTexCoordOut))
            return false;
        reg = uint16_t(reg::kTexCoords + index);
        return true;
    default:
        return false;
    }
}

void VertexShader::Add(uint16_t opcode, uint16_t dest, uint8_t mask, const Source* sources, int count)
{
    Operation op{};
    op.opcode = opcode;
    op.dest = dest;
    op.mask = mask;
    for (int i = 0; i < count; ++i)
        op.source[i] = sources[i];
    program_.push_back(op);
    if (dest == reg::kFog)
        writesFog_ = true;
    if (dest >= reg::kTexCoords && dest < reg::kTexCoords + kMaxTexCoordOut)
        texCoordOutputs_ |= 1u << (dest - reg::kTexCoords);
}

bool VertexShader::Decode(const DWORD* tokens)
{
    if (!tokens || tokens[0] != kVersion11)
        return false;
    size_t at = 1;
    auto next = [&](uint32_t& token) {
        if (at >= kMaxTokens)
            return false;
        token = tokens[at++];
        return true;
    };
    uint32_t token;
    while (next(token)) {
        uint32_t opcode = token & 0xFFFF;
        if (opcode == kEnd)
            return !program_.empty();
        if (opcode == kComment) {
            at += (token >> 16) & 0x7FFF;
            continue;
        }
        if (opcode == kDcl) {
            uint32_t usage, dest;
            if (!next(usage) || !next(dest) || TokenType(dest) != kInput || TokenIndex(dest) >= uint32_t(kMaxInputs))
                return false;
            inputs_.push_back({uint8_t(usage & 0x1F), uint8_t((usage >> 16) & 0xF), uint8_t(TokenIndex(dest))});
            continue;
        }
        if (opcode == kDef) {
            uint32_t dest;
            Definition def{};
            if (!next(dest) || TokenType(dest) != kConst || TokenIndex(dest) >= uint32_t(reg::kConstCount))
                return false;
            def.reg = reg::kConsts + int(TokenIndex(dest));
            for (float& v : def.value) {
                uint32_t bits;
                if (!next(bits))
                    return false;
                std::memcpy(&v, &bits, 4);
            }
            definitions_.push_back(def);
            continue;
        }
        const OpcodeInfo* info = FindOpcode(opcode);
        if (!info)
            return false;
        if (opcode == kNop)
            continue;
        uint32_t destToken;
        uint16_t dest;
        if (!next(destToken) || !DecodeRegister(destToken, true, dest))
            return false;
        Source sources[3] = {};
        for (int s = 0; s < info->sources; ++s) {
            uint32_t src;
            if (!next(src) || !DecodeRegister(src, false, sources[s].reg))
                return false;
            uint32_t swizzle = TokenSwizzle(src);
            for (int c = 0; c < 4; ++c)
                sources[s].swizzle[c] = uint8_t((swizzle >> (2 * c)) & 3);
            sources[s].negate = (TokenModifier(src) & kNegate) != 0;
        }
        uint8_t mask = uint8_t(TokenMask(destToken));
        // Matrix macros become one dot product per written component.
        int rows = 0, columns = 0;
        switch (opcode) {
        case kM4x4:
            rows = 4;
            columns = 4;
            break;
        case kM4x3:
            rows = 3;
            columns = 4;
            break;
        case kM3x4:
            rows = 4;
            columns = 3;
            break;
        case kM3x3:
            rows = 3;
            columns = 3;
            break;
        case kM3x2:
            rows = 2;
            columns = 3;
            break;
        default:
            break;
        }
        if (rows == 0) {
            Add(uint16_t(opcode), dest, mask, sources, info->sources);
            continue;
        }
        for (int row = 0; row < rows; ++row) {
            Source pair[2] = {sources[0], sources[1]};
            pair[1].reg = uint16_t(pair[1].reg + row);
            if (pair[1].reg >= reg::kFileSize)
                return false;
            Add(columns == 4 ? kDp4 : kDp3, dest, uint8_t(1u << row), pair, 2);
        }
    }
    return false;
}

void VertexShader::LoadConstants(float (*file)[4], const float (*deviceConstants)[4]) const
{
    std::memcpy(file[reg::kConsts], deviceConstants, sizeof(float) * 4 * reg::kConstCount);
    for (const Definition& def : definitions_)
        std::memcpy(file[def.reg], def.value, sizeof def.value);
}

namespace {

inline void Fetch(float (*file)[4], const uint8_t* swizzle, uint16_t reg, bool negate, float out[4])
{
    const float* r = file[reg];
    for (int c = 0; c < 4; ++c)
        out[c] = negate ? -r[swizzle[c]] : r[swizzle[c]];
}

float Reciprocal(float x) { return x == 1.0f ? 1.0f : 1.0f / x; }
float ReciprocalSqrt(float x)
{
    x = std::fabs(x);
    return x == 1.0f ? 1.0f : 1.0f / std::sqrt(x);
}

} // namespace

void VertexShader::Run(float (*file)[4]) const
{
    for (const Operation& op : program_) {
        float a[4], b[4], c[4], r[4];
        Fetch(file, op.source[0].swizzle, op.source[0].reg, op.source[0].negate, a);
        Fetch(file, op.source[1].swizzle, op.source[1].reg, op.source[1].negate, b);
        Fetch(file, op.source[2].swizzle, op.source[2].reg, op.source[2].negate, c);
        switch (op.opcode) {
        case kMov:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i];
            break;
        case kAdd:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] + b[i];
            break;
        case kSub:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] - b[i];
            break;
        case kMul:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] * b[i];
            break;
        case kMad:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] * b[i] + c[i];
            break;
        case kMin:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] < b[i] ? a[i] : b[i];
            break;
        case kMax:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] >= b[i] ? a[i] : b[i];
            break;
        case kSlt:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] < b[i] ? 1.0f : 0.0f;
            break;
        case kSge:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] >= b[i] ? 1.0f : 0.0f;
            break;
        case kFrc:
            for (int i = 0; i < 4; ++i)
                r[i] = a[i] - std::floor(a[i]);
            break;
        case kDp3:
            r[0] = r[1] = r[2] = r[3] = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
            break;
        case kDp4:
            r[0] = r[1] = r[2] = r[3] = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
            break;
        case kRcp:
            r[0] = r[1] = r[2] = r[3] = Reciprocal(a[3]);
            break;
        case kRsq:
            r[0] = r[1] = r[2] = r[3] = ReciprocalSqrt(a[3]);
            break;
        case kExp:
            r[0] = r[1] = r[2] = r[3] = std::exp2(a[3]);
            break;
        case kLog:
            r[0] = r[1] = r[2] = r[3] = std::log2(std::fabs(a[3]));
            break;
        case kExpp: {
            float whole = std::floor(a[3]);
            r[0] = std::exp2(whole);
            r[1] = a[3] - whole;
            r[2] = std::exp2(a[3]);
            r[3] = 1.0f;
            break;
        }
        case kLogp: {
            float v = std::fabs(a[3]);
            int exponent = 0;
            float mantissa = v > 0.0f ? std::frexp(v, &exponent) * 2.0f : 0.0f;
            r[0] = v > 0.0f ? float(exponent - 1) : -INFINITY;
            r[1] = mantissa;
            r[2] = std::log2(v);
            r[3] = 1.0f;
            break;
        }
        case kLit: {
            float power = std::fmax(-128.0f, std::fmin(128.0f, a[3]));
            r[0] = 1.0f;
            r[1] = std::fmax(a[0], 0.0f);
            r[2] = a[0] > 0.0f ? std::pow(std::fmax(a[1], 0.0f), power) : 0.0f;
            r[3] = 1.0f;
            break;
        }
        case kDst:
            r[0] = 1.0f;
            r[1] = a[1] * b[1];
            r[2] = a[2];
            r[3] = b[3];
            break;
        default:
            continue;
        }
        float* dest = file[op.dest];
        for (int i = 0; i < 4; ++i)
            if (op.mask & (1u << i))
                dest[i] = r[i];
    }
}

} // namespace d3d9sw
