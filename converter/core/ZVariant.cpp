#include "converter/core/ZVariant.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CZelWriter.h"

#include "core/names/CCRC32.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum class Kind {
    None,
    Bool,
    SChar,
    UChar,
    SShort,
    UShort,
    SLong,
    ULong,
    Int64,
    Float,
    Double,
    Id,
    Crc,
    Pointer,
    Handle,
    Offset,
    String
};

struct TypeName {
    const char* Name;
    Kind KindOf;
    unsigned long Tag;
};

constexpr TypeName Named(const char* name, Kind kind) { return {name, kind, CCRC32::GetCRC(name)}; }

// Every name Set knows; several fold onto one stored kind, whose tag is that of the first
// name listed for it.
constexpr TypeName TypeNames[] = {
    Named("bool", Kind::Bool),
    Named("signed char", Kind::SChar),
    Named("char", Kind::SChar),
    Named("unsigned char", Kind::UChar),
    Named("signed short", Kind::SShort),
    Named("short", Kind::SShort),
    Named("unsigned short", Kind::UShort),
    Named("signed long", Kind::SLong),
    Named("int", Kind::SLong),
    Named("signed", Kind::SLong),
    Named("long", Kind::SLong),
    Named("signed int", Kind::SLong),
    Named("unsigned long", Kind::ULong),
    Named("unsigned", Kind::ULong),
    Named("unsigned int", Kind::ULong),
    Named("__int64", Kind::Int64),
    Named("float", Kind::Float),
    Named("double", Kind::Double),
    Named("id", Kind::Id),
    Named("CCRC32", Kind::Crc),
    Named("pointer", Kind::Pointer),
    Named("CZelHandle", Kind::Handle),
    Named("offset", Kind::Offset),
    Named("string", Kind::String),
};

const TypeName* FindByTag(unsigned long tag)
{
    for (const TypeName& n : TypeNames)
        if (n.Tag == tag)
            return &n;
    return nullptr;
}

Kind KindOfTag(unsigned long tag)
{
    const TypeName* found = tag ? FindByTag(tag) : nullptr;
    return found ? found->KindOf : Kind::None;
}

unsigned long StoredTag(Kind kind)
{
    for (const TypeName& n : TypeNames)
        if (n.KindOf == kind)
            return n.Tag;
    return 0;
}

bool IsHex(const char* text) { return text[0] == '0' && (text[1] == 'x' || text[1] == 'X'); }

// Hexadecimal texts are unsigned; strtol and strtoul saturate at the 32-bit limits.
long ReadSigned(const char* text)
{
    return IsHex(text) ? static_cast<long>(strtoul(text + 2, nullptr, 16)) : strtol(text, nullptr, 10);
}

unsigned long ReadUnsigned(const char* text)
{
    return IsHex(text) ? strtoul(text + 2, nullptr, 16) : strtoul(text, nullptr, 10);
}

bool IsZeroSpelling(const char* text)
{
    return !strcmp(text, "0") || !strcmp(text, "0x00") || !strcmp(text, "0x0000") || !strcmp(text, "0x00000000");
}

// Integer classes for arithmetic: width in bytes and signedness.
int IntegerWidth(Kind kind)
{
    switch (kind) {
    case Kind::SChar:
    case Kind::UChar:
        return 1;
    case Kind::SShort:
    case Kind::UShort:
        return 2;
    case Kind::SLong:
    case Kind::ULong:
        return 4;
    default:
        return 0;
    }
}

bool IsSigned(Kind kind) { return kind == Kind::SChar || kind == Kind::SShort || kind == Kind::SLong; }

int64_t ReadInteger(const unsigned char* bytes, int width, bool isSigned)
{
    uint32_t raw = 0;
    memcpy(&raw, bytes, width);
    if (!isSigned)
        return raw;
    const int shift = 32 - 8 * width;
    return static_cast<int32_t>(raw << shift) >> shift;
}

char SharedText[65536];

} // namespace

ZVariant::ZVariant(float value)
{
    Set("float", nullptr);
    memcpy(Value, &value, sizeof(value));
    Text = ToString();
}

ZVariant::ZVariant(short value)
{
    Set("signed short", nullptr);
    memcpy(Value, &value, sizeof(value));
    Text = ToString();
}

bool ZVariant::IsReferenceKind() const
{
    const Kind kind = KindOfTag(Tag);
    return kind == Kind::Pointer || kind == Kind::Handle || kind == Kind::Offset || kind == Kind::String;
}

void ZVariant::Set(const char* typeName, const char* text)
{
    if (typeName)
        Tag = CCRC32::GetCRC(typeName);
    Text = text ? text : "0";
    const char* t = Text.c_str();
    const Kind kind = KindOfTag(Tag);
    auto store = [this](const void* bytes, unsigned long size) {
        Size = size;
        memcpy(Value, bytes, size);
    };
    switch (kind) {
    case Kind::Bool: {
        unsigned char v = strtol(t, nullptr, 10) != 0;
        store(&v, 1);
        break;
    }
    case Kind::SChar:
    case Kind::UChar: {
        unsigned char v = static_cast<unsigned char>(ReadSigned(t));
        store(&v, 1);
        break;
    }
    case Kind::SShort:
    case Kind::UShort: {
        unsigned short v = static_cast<unsigned short>(ReadSigned(t));
        store(&v, 2);
        break;
    }
    case Kind::SLong: {
        long v = ReadSigned(t);
        store(&v, 4);
        break;
    }
    case Kind::ULong: {
        unsigned long v = ReadUnsigned(t);
        store(&v, 4);
        break;
    }
    case Kind::Int64: {
        long long v = strtoll(t, nullptr, 10);
        store(&v, 8);
        break;
    }
    case Kind::Float: {
        float v = static_cast<float>(strtod(t, nullptr));
        store(&v, 4);
        break;
    }
    case Kind::Double: {
        double v = strtod(t, nullptr);
        store(&v, 8);
        break;
    }
    case Kind::Id: {
        unsigned long v = CCRC32::GetCRC(t);
        store(&v, 4);
        break;
    }
    case Kind::Crc: {
        unsigned long v = ReadUnsigned(t);
        if (v == 0 && !IsZeroSpelling(t))
            v = CCRC32::GetCRC(t);
        store(&v, 4);
        break;
    }
    case Kind::Pointer:
    case Kind::Handle:
    case Kind::Offset:
        memset(Value, 0, sizeof(Value));
        Size = kind == Kind::Offset ? 2 : 4;
        break;
    case Kind::String:
        memset(Value, 0, sizeof(Value));
        Size = Text.size() + 1;
        break;
    case Kind::None:
        vbail("ZVariant::Set -> Cannot set variant type of %s\n", typeName ? typeName : "NoType");
    }
    if (typeName && kind != Kind::None)
        Tag = StoredTag(kind);
}

void ZVariant::SetRaw(const char* typeName, const void* bytes)
{
    Set(typeName, nullptr);
    memcpy(Value, bytes, Size);
    // A name key read from an image has no text of its own; its number stands in for it.
    if (KindOfTag(Tag) == Kind::Crc) {
        char hex[16];
        snprintf(hex, sizeof(hex), "0x%08lX", static_cast<unsigned long>(*this));
        Text = hex;
    }
}

void ZVariant::SetString(const char* text)
{
    Tag = StoredTag(Kind::String);
    memset(Value, 0, sizeof(Value));
    Text = text ? text : "";
    Size = Text.size() + 1;
}

ZVariant& ZVariant::Assign(const ZVariant& other)
{
    if (Tag == 0) {
        Tag = other.Tag;
        Size = other.Size;
    }
    const Kind target = KindOfTag(Tag);
    const Kind source = KindOfTag(other.Tag);
    if (Tag == other.Tag) {
        memcpy(Value, other.Value, Size <= sizeof(Value) ? Size : sizeof(Value));
        Text = other.Text;
        // A string's size is its text's: copying only the target's old size would cut it.
        if (target == Kind::String)
            Size = Text.size() + 1;
        return *this;
    }
    if ((target == Kind::Id && source == Kind::ULong) || (target == Kind::ULong && source == Kind::Id)) {
        memcpy(Value, other.Value, Size);
        return *this;
    }
    if (other.Tag == 0)
        vbail("Cannot convert from a typeless variant.");
    const bool floatingTarget = target == Kind::Float || target == Kind::Double;
    const std::string text = floatingTarget ? other.ConversionText() : std::string(other.ToString());
    Set(nullptr, text.c_str());
    return *this;
}

std::string ZVariant::ConversionText() const
{
    char text[64];
    switch (KindOfTag(Tag)) {
    case Kind::Float: {
        float v;
        memcpy(&v, Value, 4);
        snprintf(text, sizeof(text), "%.9g", v);
        return text;
    }
    case Kind::Double: {
        double v;
        memcpy(&v, Value, 8);
        snprintf(text, sizeof(text), "%.17g", v);
        return text;
    }
    default:
        return ToString();
    }
}

const char* ZVariant::ToString() const
{
    char* out = SharedText;
    const size_t room = sizeof(SharedText);
    switch (KindOfTag(Tag)) {
    case Kind::Bool:
        snprintf(out, room, "%d", Value[0]);
        break;
    case Kind::SChar:
        snprintf(out, room, "%d", static_cast<int>(static_cast<signed char>(Value[0])));
        break;
    case Kind::UChar:
        snprintf(out, room, "%u", Value[0]);
        break;
    case Kind::SShort: {
        short v;
        memcpy(&v, Value, 2);
        snprintf(out, room, "%d", v);
        break;
    }
    case Kind::UShort: {
        unsigned short v;
        memcpy(&v, Value, 2);
        snprintf(out, room, "%u", v);
        break;
    }
    case Kind::SLong: {
        int32_t v;
        memcpy(&v, Value, 4);
        snprintf(out, room, "%" PRId32, v);
        break;
    }
    case Kind::ULong: {
        uint32_t v;
        memcpy(&v, Value, 4);
        snprintf(out, room, "%" PRIu32, v);
        break;
    }
    case Kind::Int64: {
        int64_t v;
        memcpy(&v, Value, 8);
        snprintf(out, room, "%" PRId64, v);
        break;
    }
    case Kind::Float: {
        float v;
        memcpy(&v, Value, 4);
        snprintf(out, room, "%f", v);
        break;
    }
    case Kind::Double: {
        double v;
        memcpy(&v, Value, 8);
        snprintf(out, room, "%f", v);
        break;
    }
    case Kind::Id: {
        uint32_t v;
        memcpy(&v, Value, 4);
        snprintf(out, room, "0x%08" PRIx32, v);
        break;
    }
    case Kind::Crc:
    case Kind::Pointer:
    case Kind::Handle:
    case Kind::Offset:
    case Kind::String:
        if (Text.size() >= room)
            vbail("Variant string too long");
        memcpy(out, Text.c_str(), Text.size() + 1);
        break;
    case Kind::None:
        snprintf(out, room, "UNKNOWN");
        break;
    }
    return out;
}

void ZVariant::Write(CZelWriter& writer, const char* comment) const
{
    switch (KindOfTag(Tag)) {
    case Kind::Pointer:
        writer.AddPointerFixup(Text.c_str(), comment);
        break;
    case Kind::Offset:
        writer.AddOffsetFixup(Text.c_str(), comment);
        break;
    case Kind::Handle:
        writer.AddHandleFixup(Text.c_str(), comment);
        break;
    case Kind::String:
        writer.WriteData(Text.c_str(), Text.size() + 1, 1, comment);
        break;
    default:
        writer.WriteData(Value, Size, 1, comment);
        break;
    }
}

const char* ZVariant::GetTypeName() const
{
    if (Tag == 0)
        return "NoType";
    const TypeName* found = FindByTag(Tag);
    return found ? found->Name : "error";
}

ZVariant::operator unsigned long() const
{
    switch (KindOfTag(Tag)) {
    case Kind::Bool:
    case Kind::SChar:
    case Kind::UChar:
        return Value[0];
    case Kind::SShort:
    case Kind::UShort: {
        unsigned short v;
        memcpy(&v, Value, 2);
        return v;
    }
    case Kind::SLong:
    case Kind::ULong:
    case Kind::Id:
    case Kind::Crc: {
        uint32_t v;
        memcpy(&v, Value, 4);
        return v;
    }
    default:
        vbail("ZVariant::operator unsigned long Cannot retrieve this type");
    }
}

bool ZVariant::operator==(const ZVariant& other) const
{
    if (Tag != other.Tag)
        return false;
    if (IsReferenceKind())
        return Text == other.Text;
    return Size == other.Size && !memcmp(Value, other.Value, Size <= sizeof(Value) ? Size : sizeof(Value));
}

ZVariant& ZVariant::operator+=(const ZVariant& other) { return Combine(Op::Add, other); }
ZVariant& ZVariant::operator-=(const ZVariant& other) { return Combine(Op::Sub, other); }
ZVariant& ZVariant::operator*=(const ZVariant& other) { return Combine(Op::Mul, other); }
ZVariant& ZVariant::operator/=(const ZVariant& other) { return Combine(Op::Div, other); }
ZVariant& ZVariant::operator&=(const ZVariant& other) { return Combine(Op::And, other); }
ZVariant& ZVariant::operator|=(const ZVariant& other) { return Combine(Op::Or, other); }
ZVariant& ZVariant::operator<<=(const ZVariant& other) { return Combine(Op::Shl, other); }
ZVariant& ZVariant::operator>>=(const ZVariant& other) { return Combine(Op::Shr, other); }

ZVariant& ZVariant::Combine(Op op, const ZVariant& other)
{
    if (Tag != other.Tag)
        vbail("No type conversion in mathops yet...");
    const Kind kind = KindOfTag(Tag);
    const bool bitwise = op == Op::And || op == Op::Or;
    if (kind == Kind::Int64)
        CombineInt64(op, other);
    else if (bitwise && (IntegerWidth(kind) || kind == Kind::Float || kind == Kind::Double || Size != 0))
        CombineBits(op, other, 4);
    else if (IntegerWidth(kind))
        CombineInteger(op, other);
    else if ((kind == Kind::Float || kind == Kind::Double) && op != Op::Shl && op != Op::Shr)
        CombineFloating(op, other);
    else
        vbail("bad math on variant types.");
    return *this;
}

void ZVariant::CombineBits(Op op, const ZVariant& other, unsigned bytes)
{
    for (unsigned i = 0; i < bytes; ++i)
        Value[i] = op == Op::And ? Value[i] & other.Value[i] : Value[i] | other.Value[i];
}

void ZVariant::CombineInteger(Op op, const ZVariant& other)
{
    const Kind kind = KindOfTag(Tag);
    const int width = IntegerWidth(kind);
    const bool isSigned = IsSigned(kind);
    const int64_t a = ReadInteger(Value, width, isSigned);
    const int64_t b = ReadInteger(other.Value, width, isSigned);
    const unsigned count = static_cast<unsigned>(ReadInteger(other.Value, width, false)) % 32;
    uint64_t result;
    if (op == Op::Shl)
        result = static_cast<uint64_t>(a) << count;
    else if (op == Op::Shr)
        result = isSigned ? static_cast<uint64_t>(a >> count) : static_cast<uint64_t>(a) >> count;
    else
        result = Arithmetic(op, a, b);
    memcpy(Value, &result, width);
}

void ZVariant::CombineInt64(Op op, const ZVariant& other)
{
    if (op == Op::And || op == Op::Or) {
        CombineBits(op, other, 8);
        return;
    }
    int64_t a, b;
    memcpy(&a, Value, 8);
    memcpy(&b, other.Value, 8);
    const unsigned count = other.Value[0];
    uint64_t result;
    if (op == Op::Shl)
        result = count >= 64 ? 0 : static_cast<uint64_t>(a) << count;
    else if (op == Op::Shr)
        result = static_cast<uint64_t>(count >= 64 ? (a < 0 ? -1 : 0) : a >> count);
    else
        result = Arithmetic(op, a, b);
    memcpy(Value, &result, 8);
}

// Results wrap to the stored width, as the engine's own arithmetic does; the callers truncate.
// Bitwise and shift operations are the callers' own, since their rules differ by width.
uint64_t ZVariant::Arithmetic(Op op, int64_t a, int64_t b)
{
    switch (op) {
    case Op::Add:
        return static_cast<uint64_t>(a) + static_cast<uint64_t>(b);
    case Op::Sub:
        return static_cast<uint64_t>(a) - static_cast<uint64_t>(b);
    case Op::Mul:
        return static_cast<uint64_t>(a) * static_cast<uint64_t>(b);
    case Op::Div:
        if (b == 0)
            vbail("Division by zero in a constant expression\n");
        // The one quotient that does not fit wraps, as every other result does.
        return a == INT64_MIN && b == -1 ? static_cast<uint64_t>(a) : static_cast<uint64_t>(a / b);
    case Op::And:
    case Op::Or:
    case Op::Shl:
    case Op::Shr:
        break;
    }
    return 0;
}

void ZVariant::CombineFloating(Op op, const ZVariant& other)
{
    auto apply = [op](auto a, auto b) {
        switch (op) {
        case Op::Add:
            return a + b;
        case Op::Sub:
            return a - b;
        case Op::Mul:
            return a * b;
        default:
            return a / b;
        }
    };
    if (KindOfTag(Tag) == Kind::Float) {
        float a, b;
        memcpy(&a, Value, 4);
        memcpy(&b, other.Value, 4);
        const float r = apply(a, b);
        memcpy(Value, &r, 4);
    } else {
        double a, b;
        memcpy(&a, Value, 8);
        memcpy(&b, other.Value, 8);
        const double r = apply(a, b);
        memcpy(Value, &r, 8);
    }
}
