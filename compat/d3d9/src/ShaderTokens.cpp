#include "ShaderTokens.h"

#include <strings.h>

namespace d3d9sw::shader {

namespace {

// Macro operations take as many slots as the instructions they expand to; exp and log are
// the full-precision forms.
const OpcodeInfo kOpcodes[] = {
    {"nop", kNop, 0, 1},   {"mov", kMov, 1, 1},   {"add", kAdd, 2, 1},   {"sub", kSub, 2, 1},   {"mad", kMad, 3, 1},
    {"mul", kMul, 2, 1},   {"rcp", kRcp, 1, 1},   {"rsq", kRsq, 1, 1},   {"dp3", kDp3, 2, 1},   {"dp4", kDp4, 2, 1},
    {"min", kMin, 2, 1},   {"max", kMax, 2, 1},   {"slt", kSlt, 2, 1},   {"sge", kSge, 2, 1},   {"exp", kExp, 1, 10},
    {"log", kLog, 1, 10},  {"lit", kLit, 1, 3},   {"dst", kDst, 2, 1},   {"frc", kFrc, 1, 3},   {"m4x4", kM4x4, 2, 4},
    {"m4x3", kM4x3, 2, 3}, {"m3x4", kM3x4, 2, 4}, {"m3x3", kM3x3, 2, 3}, {"m3x2", kM3x2, 2, 2}, {"expp", kExpp, 1, 1},
    {"logp", kLogp, 1, 1},
};

} // namespace

const OpcodeInfo* FindOpcode(const char* name)
{
    for (const OpcodeInfo& info : kOpcodes)
        if (strcasecmp(info.name, name) == 0)
            return &info;
    return nullptr;
}

const OpcodeInfo* FindOpcode(uint32_t opcode)
{
    for (const OpcodeInfo& info : kOpcodes)
        if (info.opcode == opcode)
            return &info;
    return nullptr;
}

} // namespace d3d9sw::shader
