#pragma once
// A vertex shader decoded from its tokens into a flat program that runs one vertex at a time
// over a register file of float4 values.
#include <cstdint>
#include <vector>

#include "ComObject.h"

namespace d3d9sw {

// Register file layout: inputs, temporaries, outputs, then the constants.
namespace reg {
constexpr int kInputs = 0;
constexpr int kTemps = 16;
constexpr int kPosition = 28;
constexpr int kFog = 29;
constexpr int kPointSize = 30;
constexpr int kColours = 31;   // oD0, oD1
constexpr int kTexCoords = 33; // oT0..oT7
constexpr int kConsts = 41;
constexpr int kConstCount = 256;
constexpr int kFileSize = kConsts + kConstCount;
} // namespace reg

struct ShaderInput {
    uint8_t usage, usageIndex, reg;
};

class VertexShader : public ComObject<IDirect3DVertexShader9> {
public:
    // Null when the tokens are not a well-formed vs_1_1 program of this device.
    static VertexShader* Create(IDirect3DDevice9* device, const DWORD* tokens);

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;

    const std::vector<ShaderInput>& Inputs() const { return inputs_; }
    bool WritesFog() const { return writesFog_; }
    // Bit i set when oTi is written.
    uint32_t TexCoordOutputs() const { return texCoordOutputs_; }

    // Copies the device constants and the program's own definitions into a register file.
    void LoadConstants(float (*file)[4], const float (*deviceConstants)[4]) const;
    // Runs the program over a file whose inputs are loaded; outputs start at their defaults.
    void Run(float (*file)[4]) const;

private:
    struct Source {
        uint16_t reg;
        uint8_t swizzle[4];
        bool negate;
    };
    struct Operation {
        uint16_t opcode;
        uint16_t dest;
        uint8_t mask;
        Source source[3];
    };
    struct Definition {
        int reg;
        float value[4];
    };

    explicit VertexShader(IDirect3DDevice9* device) : device_(device) {}
    bool Decode(const DWORD* tokens);
    bool DecodeRegister(uint32_t token, bool destination, uint16_t& reg) const;
    void Add(uint16_t opcode, uint16_t dest, uint8_t mask, const Source* sources, int count);

    IDirect3DDevice9* device_;
    std::vector<ShaderInput> inputs_;
    std::vector<Definition> definitions_;
    std::vector<Operation> program_;
    bool writesFog_ = false;
    uint32_t texCoordOutputs_ = 0;
};

} // namespace d3d9sw
