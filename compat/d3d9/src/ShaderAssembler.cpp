#include "ShaderAssembler.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <d3d9types.h>

#include "ShaderTokens.h"

namespace d3d9sw {

using namespace shader;

namespace {

struct Operand {
    RegisterType type = kTemp;
    uint32_t index = 0;
    uint32_t mask = 0xF;               // destinations
    uint8_t swizzle[4] = {0, 1, 2, 3}; // sources
    bool hasSuffix = false;
    bool negate = false;
};

struct UsageName {
    const char* name;
    uint32_t usage;
};

const UsageName kUsages[] = {
    {"position", D3DDECLUSAGE_POSITION},
    {"blendweight", D3DDECLUSAGE_BLENDWEIGHT},
    {"blendindices", D3DDECLUSAGE_BLENDINDICES},
    {"normal", D3DDECLUSAGE_NORMAL},
    {"psize", D3DDECLUSAGE_PSIZE},
    {"texcoord", D3DDECLUSAGE_TEXCOORD},
    {"tangent", D3DDECLUSAGE_TANGENT},
    {"binormal", D3DDECLUSAGE_BINORMAL},
    {"color", D3DDECLUSAGE_COLOR},
    {"fog", D3DDECLUSAGE_FOG},
    {"depth", D3DDECLUSAGE_DEPTH},
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

int Component(char c)
{
    switch (c) {
    case 'x':
    case 'r':
        return 0;
    case 'y':
    case 'g':
        return 1;
    case 'z':
    case 'b':
        return 2;
    case 'w':
    case 'a':
        return 3;
    default:
        return -1;
    }
}

bool IsScalarOp(Opcode op)
{
    return op == kRcp || op == kRsq || op == kExp || op == kLog || op == kExpp || op == kLogp;
}

// Rows a matrix macro reads from its second source, and the lanes it writes.
bool MatrixShape(Opcode op, uint32_t& rows, uint32_t& lanes, uint32_t& columns)
{
    switch (op) {
    case kM4x4:
        rows = 4;
        lanes = 0xF;
        columns = 0xF;
        return true;
    case kM4x3:
        rows = 3;
        lanes = 0x7;
        columns = 0xF;
        return true;
    case kM3x4:
        rows = 4;
        lanes = 0xF;
        columns = 0x7;
        return true;
    case kM3x3:
        rows = 3;
        lanes = 0x7;
        columns = 0x7;
        return true;
    case kM3x2:
        rows = 2;
        lanes = 0x3;
        columns = 0x7;
        return true;
    default:
        return false;
    }
}

class Assembler {
public:
    AssembledShader Run(const char* text, size_t length);

private:
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Line(const std::string& line);
    void Version(const std::string& word);
    void Declaration(const std::string& usageText, const std::vector<std::string>& operands);
    void Definition(const std::vector<std::string>& operands);
    void Instruction(const OpcodeInfo& info, const std::vector<std::string>& operands);
    bool ParseRegister(std::string text, Operand& out, bool destination);
    bool CheckDestination(const OpcodeInfo& info, Operand& dest);
    uint32_t LanesRead(Opcode op, int source, uint32_t destMask) const;
    void CheckSources(const OpcodeInfo& info, const Operand& dest, Operand* sources);

    int line_ = 0;
    bool version_ = false;
    bool instructions_ = false;
    int slots_ = 0;
    uint32_t positionWritten_ = 0;
    uint8_t tempWritten_[kMaxTemps] = {};
    bool inputDeclared_[kMaxInputs] = {};
    std::vector<uint32_t> declaredUsages_;
    std::vector<uint32_t> tokens_;
    std::string errors_;
};

void Assembler::Error(const char* format, ...)
{
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    char entry[320];
    std::snprintf(entry, sizeof entry, "(%d): error: %s\n", line_, message);
    errors_ += entry;
}

// Block comments become blanks (newlines kept, so line numbers stay right); line comments
// start at ';' or "//".
std::vector<std::string> SplitLines(const char* text, size_t length)
{
    std::string source(text, length);
    for (size_t at = source.find("/*"); at != std::string::npos; at = source.find("/*", at)) {
        size_t end = source.find("*/", at + 2);
        size_t stop = end == std::string::npos ? source.size() : end + 2;
        for (size_t i = at; i < stop; ++i)
            if (source[i] != '\n')
                source[i] = ' ';
        at = stop;
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos)
            end = source.size();
        std::string line = source.substr(start, end - start);
        size_t cut = std::min(line.find(';'), line.find("//"));
        if (cut != std::string::npos)
            line.resize(cut);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

AssembledShader Assembler::Run(const char* text, size_t length)
{
    std::vector<std::string> lines = SplitLines(text, length);
    for (size_t i = 0; i < lines.size(); ++i) {
        line_ = int(i) + 1;
        Line(lines[i]);
    }
    if (!version_)
        Error("the program has no vs.1.1 version line");
    if (slots_ > kMaxSlots)
        Error("the program takes %d instruction slots; vs_1_1 allows %d", slots_, kMaxSlots);
    if (version_ && positionWritten_ != 0xF)
        Error("oPos is not written in all four components");
    tokens_.push_back(kEndToken);

    AssembledShader result;
    result.ok = errors_.empty();
    result.errors = errors_;
    if (result.ok)
        result.tokens = std::move(tokens_);
    return result;
}

void Assembler::Line(const std::string& raw)
{
    std::string line = Trim(raw);
    if (line.empty())
        return;
    size_t space = line.find_first_of(" \t");
    std::string mnemonic = Lower(line.substr(0, space));
    std::string rest = space == std::string::npos ? std::string() : Trim(line.substr(space));

    if (!version_) {
        Version(mnemonic);
        if (!rest.empty())
            Error("unexpected text after the version");
        return;
    }
    std::vector<std::string> operands;
    if (!rest.empty()) {
        size_t start = 0;
        while (true) {
            size_t comma = rest.find(',', start);
            operands.push_back(
                Trim(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    if (mnemonic.compare(0, 4, "dcl_") == 0) {
        Declaration(mnemonic.substr(4), operands);
    } else if (mnemonic == "def") {
        Definition(operands);
    } else if (const OpcodeInfo* info = FindOpcode(mnemonic.c_str())) {
        instructions_ = true;
        Instruction(*info, operands);
    } else if (mnemonic == "vs.1.1" || mnemonic == "vs_1_1") {
        Error("a second version line");
    } else {
        Error("unknown instruction '%s'", mnemonic.c_str());
    }
}

void Assembler::Version(const std::string& word)
{
    if (word == "vs.1.1" || word == "vs_1_1") {
        version_ = true;
        tokens_.push_back(kVersion11);
        return;
    }
    if (word.compare(0, 2, "vs") == 0 || word.compare(0, 2, "ps") == 0)
        Error("unsupported shader version '%s'; only vs.1.1 is assembled", word.c_str());
    else
        Error("the program must start with the version line vs.1.1, not '%s'", word.c_str());
    version_ = true; // report the rest of the program against vs.1.1 anyway
}

void Assembler::Declaration(const std::string& usageText, const std::vector<std::string>& operands)
{
    size_t digits = usageText.find_first_of("0123456789");
    std::string name = usageText.substr(0, digits);
    uint32_t usageIndex = digits == std::string::npos ? 0 : uint32_t(std::atoi(usageText.c_str() + digits));
    const UsageName* usage = nullptr;
    for (const UsageName& u : kUsages)
        if (name == u.name)
            usage = &u;
    if (!usage || usageIndex > 15) {
        Error("unknown declaration usage 'dcl_%s'", usageText.c_str());
        return;
    }
    if (instructions_)
        Error("declarations must come before the instructions");
    Operand reg;
    if (operands.size() != 1) {
        Error("dcl_%s takes one input register", usageText.c_str());
        return;
    }
    if (!ParseRegister(operands[0], reg, true))
        return;
    if (reg.type != kInput) {
        Error("dcl_%s declares an input register v#, not '%s'", usageText.c_str(), operands[0].c_str());
        return;
    }
    if (inputDeclared_[reg.index])
        Error("v%u is declared twice", reg.index);
    uint32_t key = (usage->usage << 4) | usageIndex;
    for (uint32_t seen : declaredUsages_)
        if (seen == key)
            Error("usage dcl_%s is declared twice", usageText.c_str());
    declaredUsages_.push_back(key);
    inputDeclared_[reg.index] = true;
    tokens_.push_back(kDcl);
    tokens_.push_back(DclToken(usage->usage, usageIndex));
    tokens_.push_back(DestToken(kInput, reg.index, 0xF));
}

void Assembler::Definition(const std::vector<std::string>& operands)
{
    Operand reg;
    if (operands.size() != 5) {
        Error("def takes a constant register and four values");
        return;
    }
    if (!ParseRegister(operands[0], reg, true))
        return;
    if (reg.type != kConst) {
        Error("def defines a constant register c#, not '%s'", operands[0].c_str());
        return;
    }
    float values[4];
    for (int i = 0; i < 4; ++i) {
        const char* text = operands[1 + i].c_str();
        char* end = nullptr;
        values[i] = std::strtof(text, &end);
        if (end == text || *end != '\0') {
            Error("'%s' is not a number", text);
            return;
        }
    }
    tokens_.push_back(kDef);
    tokens_.push_back(DestToken(kConst, reg.index, 0xF));
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        tokens_.push_back(bits);
    }
}

bool Assembler::ParseRegister(std::string text, Operand& out, bool destination)
{
    out = Operand();
    if (!text.empty() && text[0] == '-') {
        if (destination) {
            Error("a destination cannot be negated");
            return false;
        }
        out.negate = true;
        text = Trim(text.substr(1));
    }
    if (text.find('[') != std::string::npos) {
        Error("relative addressing '%s' is not supported", text.c_str());
        return false;
    }
    size_t dot = text.find('.');
    std::string name = Lower(text.substr(0, dot));
    std::string suffix = dot == std::string::npos ? std::string() : Lower(text.substr(dot + 1));

    struct Prefix {
        const char* text;
        RegisterType type;
        int limit;
        int fixedIndex; // -1 when the name carries a number
    };
    static const Prefix kPrefixes[] = {
        {"opos", kRastOut, 1, 0},
        {"ofog", kRastOut, 1, 1},
        {"opts", kRastOut, 1, 2},
        {"od", kAttrOut, kMaxColourOut, -1},
        {"ot", kTexCoordOut, kMaxTexCoordOut, -1},
        {"r", kTemp, kMaxTemps, -1},
        {"v", kInput, kMaxInputs, -1},
        {"c", kConst, kMaxConsts, -1},
        {"a", kAddress, 1, -1},
    };
    const Prefix* match = nullptr;
    for (const Prefix& p : kPrefixes) {
        size_t n = std::strlen(p.text);
        if (name.compare(0, n, p.text) != 0)
            continue;
        if (p.fixedIndex >= 0 ? name.size() == n
                              : name.size() > n && std::isdigit(static_cast<unsigned char>(name[n]))) {
            match = &p;
            break;
        }
    }
    if (!match) {
        Error("'%s' is not a register", text.c_str());
        return false;
    }
    if (match->type == kAddress) {
        Error("the address register a0 is not supported");
        return false;
    }
    long index = match->fixedIndex;
    if (index < 0) {
        const char* digits = name.c_str() + std::strlen(match->text);
        char* end = nullptr;
        index = std::strtol(digits, &end, 10);
        if (*end != '\0') {
            Error("'%s' is not a register", text.c_str());
            return false;
        }
        if (index >= match->limit) {
            Error("register '%s' is out of range (vs_1_1 has %d)", name.c_str(), match->limit);
            return false;
        }
    }
    out.type = match->type;
    out.index = uint32_t(index);
    if (dot == std::string::npos)
        return true;

    out.hasSuffix = true;
    if (suffix.empty() || suffix.size() > 4) {
        Error("bad component suffix on '%s'", text.c_str());
        return false;
    }
    if (destination) {
        out.mask = 0;
        int last = -1;
        for (char c : suffix) {
            int component = Component(c);
            if (component <= last) {
                Error("bad write mask '.%s'", suffix.c_str());
                return false;
            }
            last = component;
            out.mask |= 1u << component;
        }
    } else {
        for (size_t i = 0; i < 4; ++i) {
            int component = Component(suffix[std::min(i, suffix.size() - 1)]);
            if (component < 0) {
                Error("bad swizzle '.%s'", suffix.c_str());
                return false;
            }
            out.swizzle[i] = uint8_t(component);
        }
    }
    return true;
}

bool Assembler::CheckDestination(const OpcodeInfo& info, Operand& dest)
{
    if (dest.type == kInput || dest.type == kConst) {
        Error("%s writes the read-only register %s%u", info.name, dest.type == kInput ? "v" : "c", dest.index);
        return false;
    }
    if (dest.type == kRastOut && dest.index != 0) {
        // oFog and oPts are scalars.
        if (!dest.hasSuffix)
            dest.mask = 0x1;
        if (dest.mask != 0x1) {
            Error("%s is a scalar output; its write mask must be .x", dest.index == 1 ? "oFog" : "oPts");
            return false;
        }
    }
    uint32_t rows, lanes, columns;
    if (MatrixShape(info.opcode, rows, lanes, columns)) {
        if (dest.hasSuffix && dest.mask != lanes) {
            Error("%s writes a fixed set of components; drop or correct the write mask", info.name);
            return false;
        }
        dest.mask = lanes;
    }
    return true;
}

uint32_t Assembler::LanesRead(Opcode op, int source, uint32_t destMask) const
{
    uint32_t rows, lanes, columns;
    if (MatrixShape(op, rows, lanes, columns))
        return columns;
    switch (op) {
    case kDp3:
        return 0x7;
    case kDp4:
        return 0xF;
    case kLit:
        return 0xB; // x, y and w
    case kDst:
        return source == 0 ? 0x6 : 0xA; // y, z of the first; y, w of the second
    default:
        break;
    }
    if (IsScalarOp(op))
        return 0x8; // the swizzle picks which component stands in lane w
    return destMask;
}

void Assembler::CheckSources(const OpcodeInfo& info, const Operand& dest, Operand* sources)
{
    int constants = -1, inputs = -1;
    uint32_t rows = 1, lanes, columns;
    bool matrix = MatrixShape(info.opcode, rows, lanes, columns);
    for (int s = 0; s < info.sources; ++s) {
        Operand& src = sources[s];
        if (src.type == kRastOut || src.type == kAttrOut || src.type == kTexCoordOut) {
            Error("%s reads an output register; outputs are write-only", info.name);
            continue;
        }
        if (IsScalarOp(info.opcode)) {
            bool replicate = src.swizzle[0] == src.swizzle[1] && src.swizzle[1] == src.swizzle[2] &&
                             src.swizzle[2] == src.swizzle[3];
            if (!src.hasSuffix)
                for (uint8_t& c : src.swizzle)
                    c = 3; // a bare register means its w component
            else if (!replicate)
                Error("%s takes one source component; use a single-letter swizzle", info.name);
        }
        uint32_t span = (matrix && s == 1) ? rows : 1;
        if (src.type == kConst) {
            if (src.index + span > uint32_t(kMaxConsts))
                Error("%s reads past c%d", info.name, kMaxConsts - 1);
            if (constants >= 0 && uint32_t(constants) != src.index)
                Error("%s reads two different constant registers; vs_1_1 has one constant read port", info.name);
            constants = int(src.index);
        } else if (src.type == kInput) {
            if (!inputDeclared_[src.index])
                Error("v%u is read but not declared", src.index);
            if (inputs >= 0 && uint32_t(inputs) != src.index)
                Error("%s reads two different input registers; vs_1_1 has one input read port", info.name);
            inputs = int(src.index);
        } else if (src.type == kTemp) {
            if (src.index + span > uint32_t(kMaxTemps)) {
                Error("%s reads past r%d", info.name, kMaxTemps - 1);
                continue;
            }
            uint32_t lanesRead = LanesRead(info.opcode, s, dest.mask);
            for (uint32_t row = 0; row < span; ++row) {
                for (int lane = 0; lane < 4; ++lane) {
                    if (!(lanesRead & (1u << lane)))
                        continue;
                    int component = src.swizzle[lane];
                    if (!(tempWritten_[src.index + row] & (1u << component)))
                        Error("r%u.%c is read before it is written", src.index + row, "xyzw"[component]);
                }
            }
        }
        if (matrix && dest.type == src.type && dest.index >= src.index && dest.index < src.index + span)
            Error("%s cannot write a register it reads", info.name);
    }
}

void Assembler::Instruction(const OpcodeInfo& info, const std::vector<std::string>& operands)
{
    slots_ += info.slots;
    if (info.opcode == kNop) {
        if (!operands.empty())
            Error("nop takes no operands");
        tokens_.push_back(kNop);
        return;
    }
    if (operands.size() != size_t(info.sources) + 1) {
        Error("%s takes %d operands, not %zu", info.name, info.sources + 1, operands.size());
        return;
    }
    Operand dest, sources[3];
    if (!ParseRegister(operands[0], dest, true))
        return;
    for (int s = 0; s < info.sources; ++s)
        if (!ParseRegister(operands[1 + s], sources[s], false))
            return;
    if (!CheckDestination(info, dest))
        return;
    CheckSources(info, dest, sources);

    if (dest.type == kTemp)
        tempWritten_[dest.index] |= uint8_t(dest.mask);
    if (dest.type == kRastOut && dest.index == 0)
        positionWritten_ |= dest.mask;

    tokens_.push_back(info.opcode);
    tokens_.push_back(DestToken(dest.type, dest.index, dest.mask));
    for (int s = 0; s < info.sources; ++s) {
        const Operand& src = sources[s];
        uint32_t swizzle = src.swizzle[0] | (src.swizzle[1] << 2) | (src.swizzle[2] << 4) | (src.swizzle[3] << 6);
        tokens_.push_back(SourceToken(src.type, src.index, swizzle, src.negate));
    }
}

} // namespace

AssembledShader AssembleVertexShader(const char* text, size_t length) { return Assembler().Run(text, length); }

} // namespace d3d9sw
