#pragma once
// The converter's one typed value: a tag (the name key of its type name), a size, the text
// it was last set from (a label for the reference kinds, the string itself for "string"),
// and 8 value bytes. Every field value on its way into packed data passes through it.
#include <cstdint>
#include <string>

class CZelWriter;

class ZVariant {
public:
    ZVariant() = default;
    explicit ZVariant(float value);
    explicit ZVariant(short value);

    // A null type name keeps the tag and re-reads the value from the text (a conversion);
    // a null text means "0".
    void Set(const char* typeName, const char* text);
    // Takes the value's own bytes from a record image.
    void SetRaw(const char* typeName, const void* bytes);
    void SetString(const char* text);
    // Assignment with conversion to this value's type.
    ZVariant& Assign(const ZVariant& other);

    // Text form in a buffer shared by all values, valid until the next call.
    const char* ToString() const;
    void Write(CZelWriter& writer, const char* comment) const;

    const char* GetTypeName() const;
    unsigned long GetType() const { return Tag; }
    unsigned long GetSize() const { return Size; }
    const char* GetText() const { return Text.c_str(); }
    const void* GetData() const { return Value; }
    void* GetData() { return Value; }

    operator unsigned long() const;
    bool operator==(const ZVariant& other) const;
    bool operator!=(const ZVariant& other) const { return !(*this == other); }

    ZVariant& operator+=(const ZVariant& other);
    ZVariant& operator-=(const ZVariant& other);
    ZVariant& operator*=(const ZVariant& other);
    ZVariant& operator/=(const ZVariant& other);
    ZVariant& operator&=(const ZVariant& other);
    ZVariant& operator|=(const ZVariant& other);
    ZVariant& operator<<=(const ZVariant& other);
    ZVariant& operator>>=(const ZVariant& other);

private:
    enum class Op { Add, Sub, Mul, Div, And, Or, Shl, Shr };
    ZVariant& Combine(Op op, const ZVariant& other);
    void CombineInteger(Op op, const ZVariant& other);
    void CombineInt64(Op op, const ZVariant& other);
    void CombineFloating(Op op, const ZVariant& other);
    void CombineBits(Op op, const ZVariant& other, unsigned bytes);
    static uint64_t Arithmetic(Op op, int64_t a, int64_t b);
    // The text a conversion reads: like ToString, but floating values keep every digit.
    std::string ConversionText() const;
    bool IsReferenceKind() const;

    unsigned long Tag = 0;
    unsigned long Size = 0;
    std::string Text;
    unsigned char Value[8] = {};
};
