#pragma once
// Assembles vs.1.1 text into the token stream the vertex shader interpreter runs, and
// rejects what a vs_1_1 target would reject: unknown instructions, registers out of range,
// more than one constant or input register read by one instruction, temporaries read before
// they are written, outputs read or inputs written, and programs over 128 instruction slots.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace d3d9sw {

struct AssembledShader {
    bool ok = false;
    std::vector<uint32_t> tokens;
    std::string errors; // one "(line): error: ..." entry per fault
};

AssembledShader AssembleVertexShader(const char* text, size_t length);

} // namespace d3d9sw
