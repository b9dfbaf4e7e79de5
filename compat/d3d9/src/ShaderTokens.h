#pragma once
// The vertex shader token stream shared by the assembler (which writes it) and the
// interpreter (which decodes it): a version token, instructions each followed by their
// register tokens, and an end token.
#include <cstdint>

namespace d3d9sw::shader {

enum Opcode : uint16_t {
    kNop = 0,
    kMov = 1,
    kAdd = 2,
    kSub = 3,
    kMad = 4,
    kMul = 5,
    kRcp = 6,
    kRsq = 7,
    kDp3 = 8,
    kDp4 = 9,
    kMin = 10,
    kMax = 11,
    kSlt = 12,
    kSge = 13,
    kExp = 14,
    kLog = 15,
    kLit = 16,
    kDst = 17,
    kFrc = 19,
    kM4x4 = 20,
    kM4x3 = 21,
    kM3x4 = 22,
    kM3x3 = 23,
    kM3x2 = 24,
    kDcl = 31,
    kExpp = 78,
    kLogp = 79,
    kDef = 81,
    kComment = 0xFFFE,
    kEnd = 0xFFFF,
};

struct OpcodeInfo {
    const char* name;
    Opcode opcode;
    uint8_t sources;
    uint8_t slots; // instruction slots the operation takes in a vs_1_1 program
};

const OpcodeInfo* FindOpcode(const char* name);
const OpcodeInfo* FindOpcode(uint32_t opcode);

enum RegisterType : uint32_t {
    kTemp = 0,
    kInput = 1,
    kConst = 2,
    kAddress = 3,
    kRastOut = 4, // index 0 oPos, 1 oFog, 2 oPts
    kAttrOut = 5, // oD0, oD1
    kTexCoordOut = 6,
};

constexpr uint32_t kVersion11 = 0xFFFE0101;
constexpr uint32_t kEndToken = 0x0000FFFF;
constexpr uint32_t kParameterBit = 0x80000000u;
constexpr uint32_t kIdentitySwizzle = 0xE4; // x, y, z, w: two bits per component
constexpr uint32_t kNegate = 1;

constexpr int kMaxTemps = 12;
constexpr int kMaxInputs = 16;
constexpr int kMaxConsts = 96;
constexpr int kMaxTexCoordOut = 8;
constexpr int kMaxColourOut = 2;
constexpr int kMaxSlots = 128;

inline uint32_t RegisterToken(RegisterType type, uint32_t index)
{
    return kParameterBit | (index & 0x7FF) | ((uint32_t(type) & 7) << 28) | ((uint32_t(type) & 0x18) << 8);
}
inline RegisterType TokenType(uint32_t token) { return RegisterType(((token >> 28) & 7) | ((token >> 8) & 0x18)); }
inline uint32_t TokenIndex(uint32_t token) { return token & 0x7FF; }
inline uint32_t TokenMask(uint32_t token) { return (token >> 16) & 0xF; }
inline uint32_t TokenSwizzle(uint32_t token) { return (token >> 16) & 0xFF; }
inline uint32_t TokenModifier(uint32_t token) { return (token >> 24) & 0xF; }

inline uint32_t DestToken(RegisterType type, uint32_t index, uint32_t mask)
{
    return RegisterToken(type, index) | (mask << 16);
}
inline uint32_t SourceToken(RegisterType type, uint32_t index, uint32_t swizzle, bool negate)
{
    return RegisterToken(type, index) | (swizzle << 16) | ((negate ? kNegate : 0u) << 24);
}
inline uint32_t DclToken(uint32_t usage, uint32_t usageIndex)
{
    return kParameterBit | (usage & 0x1F) | ((usageIndex & 0xF) << 16);
}

} // namespace d3d9sw::shader
