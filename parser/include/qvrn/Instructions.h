#pragma once

#include <cstdint>
#include <vector>

class Context;

// Opcodes of the grammar byte code. Every instruction begins with its int32 opcode; the
// operands that follow are int32 little-endian unless noted.
enum QVOpcode : int32_t {
    QV_SYMBOL = 0,          // n, n name ids
    QV_CONJUNCTION = 1,     // n, n item offsets, (format 7) first-term list offset
    QV_DISJUNCTION = 2,     // n, n alternative offsets
    QV_REPETITION = 3,      // min, max (0 = no limit), item, separator (0 = none)
    QV_SKIPTO = 4,          // target (0 = end of budget)
    QV_LITERAL = 5,         // n, n bytes
    QV_NULL = 7,            //
    QV_CHARRANGE = 8,       // low byte, high byte
    QV_LENGTH = 9,          // min, max (-1 = none), item
    QV_ATTRIBUTES = 10,     // flags, body
    QV_WHITESPACE = 11,     // body, n or -1, n characters or a symbol reference offset
    QV_NOTCHAR = 12,        // item
    QV_ROOT = 13,           // three zero words
    QV_STRINGLIST = 14,     // n, n entries {length, bytes}
    QV_CONSTRAINT = 15,     // body
    QV_TEST = 16,           // first length, second length, mode, first text, second text
    QV_PRODUCTION = 17,     // text length, body, mode, text
    QV_BUILTSYMBOL = 18,    // name-parts record offset
    QV_NOTTERM = 19,        // item
    QV_SYMBOLTEST = 20,     // name-parts record offset
    QV_TOKEN = 21,          // body, token symbol offset (0xFFFF = none)
    QV_TERMLIST = 23,       // three zero words
    QV_POSITION = 24,       // kind, two zero words
    QV_ERROR = 25,          // body, message record offset
    QV_RESYNC = 32,         // three zero words
    QV_COMPUTEDLENGTH = 33, // min expression offset, max expression offset, item
};

// Symbol-attribute flags of QV_ATTRIBUTES.
enum QVAttribute : int32_t {
    QVA_FLAT = 0x0001,
    QVA_HIDDEN = 0x0002,
    QVA_CASE = 0x0004,
    QVA_NOCASE = 0x0008,
    QVA_OUTSIDE = 0x0020,
    QVA_NO_LITERAL_NODES = 0x0080,
    QVA_LITERAL_NODES = 0x0100,
    QVA_DROP_SEPARATORS = 0x0200,
    QVA_KEEP_SEPARATORS = 0x0400,
    QVA_NO_REPETITION_NODES = 0x0800,
    QVA_REPETITION_NODES = 0x1000,
    QVA_BACKTRACK = 0x2000,
    QVA_NO_BACKTRACK = 0x4000,
    QVA_EXPECTED_TERMS = 0x10000,
    QVA_NO_EXPECTED_TERMS = 0x20000,
};

// Kinds of QV_POSITION.
enum QVPositionKind : int32_t {
    QVP_EXPECTED = 16,
    QVP_LINE_START = 32,
    QVP_LINE_END = 33,
    QVP_END_OF_INPUT = 34,
};

const int32_t QV_TOKEN_NONE = 0xFFFF;

inline int32_t QVReadInt(const char* code, long offset)
{
    int32_t value;
    const char* p = code + offset;
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned char>(p[0])) |
                                 static_cast<uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
                                 static_cast<uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
                                 static_cast<uint32_t>(static_cast<unsigned char>(p[3])) << 24);
    return value;
}

// The operands of one instruction that are themselves instruction offsets (0 excluded).
std::vector<long> QVInstructionTargets(const char* code, long offset, bool format7);

// Display name of the instruction at offset (names of symbol references, literal text...).
// Offset 0 and offsets outside the byte code give an empty text.
char* QVGetInstructionName(const Context& context, long offset, char* dst, long len);

// Checks that every instruction reachable from the given offsets lies inside the byte code,
// with operand offsets, texts and records inside it and name ids inside the name table.
class QVInstructionCheck {
public:
    QVInstructionCheck(const char* code, long length, long names, bool format7);
    bool CheckAll(const std::vector<long>& roots);

private:
    bool Check(long offset);
    bool Fits(long offset, long size) const { return offset >= 1 && size >= 0 && offset <= length_ - size; }
    bool Target(long offset, bool allowNone);
    bool TextRecord(long offset);
    bool NamePartsRecord(long offset);
    bool FirstTermList(long offset);

    const char* code_;
    long length_;
    long names_;
    bool format7_;
    std::vector<char> seen_;
    std::vector<long> pending_;
};
