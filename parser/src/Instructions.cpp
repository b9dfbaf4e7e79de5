#include "qvrn/Instructions.h"

#include "qvrn/Context.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int32_t At(const char* code, long offset) { return QVReadInt(code, offset); }

void AppendName(const Context& context, long offset, std::string& out, int depth);

bool Inside(const Context& context, long offset, long size)
{
    return offset >= 1 && size >= 0 && offset <= context.GetByteCodeLength() - size;
}

void AppendSymbolName(const Context& context, long offset, std::string& out)
{
    const char* code = context.GetByteCode();
    int32_t n = Inside(context, offset, 8) ? At(code, offset + 4) : 0;
    if (n < 0 || !Inside(context, offset, 8 + 4L * n))
        return;
    for (int32_t i = 0; i < n; ++i) {
        const char* name = context.GetName(At(code, offset + 8 + 4 * i));
        if (i)
            out += '.';
        out += name ? name : "";
    }
}

void AppendName(const Context& context, long offset, std::string& out, int depth)
{
    const char* code = context.GetByteCode();
    if (offset <= 0 || offset > context.GetByteCodeLength() - 4 || depth > 64)
        return;
    switch (At(code, offset)) {
    case QV_SYMBOL:
        AppendSymbolName(context, offset, out);
        break;
    case QV_CONJUNCTION:
        out += "<conjunction>";
        break;
    case QV_DISJUNCTION:
        out += "<disjunction>";
        break;
    case QV_REPETITION:
        out += '{';
        if (Inside(context, offset, 20))
            AppendName(context, At(code, offset + 12), out, depth + 1);
        out += '}';
        break;
    case QV_SKIPTO:
        out += '*';
        break;
    case QV_LITERAL:
        out += '"';
        if (Inside(context, offset, 8) && Inside(context, offset + 8, At(code, offset + 4)))
            out.append(code + offset + 8, At(code, offset + 4));
        out += '"';
        break;
    case QV_NULL:
        out += "<null>";
        break;
    case QV_CHARRANGE:
        out += "<char-range>";
        break;
    case QV_LENGTH:
        out += "<length-constraint>";
        break;
    case QV_ATTRIBUTES:
        out += "<symbol-attrs>";
        break;
    case QV_WHITESPACE:
        out += "<setspaces>";
        break;
    case QV_NOTCHAR:
        out += "<not-char>";
        break;
    case QV_ROOT:
        out += "Parse Tree";
        break;
    case QV_STRINGLIST:
        out += "<stringlist>";
        break;
    case QV_CONSTRAINT:
        out += "<constraint?>";
        break;
    case QV_TEST:
        out += Inside(context, offset, 12) && At(code, offset + 8) >= 1 ? "<compare?>" : "<exists?>";
        break;
    case QV_PRODUCTION:
        out += "<production?>";
        break;
    case QV_BUILTSYMBOL:
        out += "<#SYMBOL>";
        break;
    case QV_NOTTERM:
        out += "<not-term>";
        break;
    case QV_SYMBOLTEST:
        out += "<#ISSYMBOL>";
        break;
    case QV_TOKEN:
        out += "<settoken>";
        break;
    case QV_TERMLIST:
        out += "<term-list>";
        break;
    case QV_POSITION:
        out += "<variable>";
        break;
    case QV_ERROR:
        out += "Error";
        break;
    case QV_RESYNC:
        out += "Resynchronizing";
        break;
    case QV_COMPUTEDLENGTH:
        out += "<length-constraint>";
        break;
    default:
        out += "???";
        break;
    }
}

} // namespace

char* QVGetInstructionName(const Context& context, long offset, char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    std::string name;
    AppendName(context, offset, name, 0);
    snprintf(dst, len, "%s", name.c_str());
    return dst;
}

std::vector<long> QVInstructionTargets(const char* code, long offset, bool format7)
{
    std::vector<long> targets;
    auto add = [&](long target) {
        if (target > 0)
            targets.push_back(target);
    };
    switch (At(code, offset)) {
    case QV_CONJUNCTION:
    case QV_DISJUNCTION: {
        int32_t n = At(code, offset + 4);
        for (int32_t i = 0; i < n; ++i)
            add(At(code, offset + 8 + 4 * i));
        if (format7 && At(code, offset) == QV_CONJUNCTION) {
            long list = At(code, offset + 8 + 4 * n);
            if (list > 0) {
                int32_t count = At(code, list + 4);
                for (int32_t i = 0; i < count; ++i)
                    add(At(code, list + 8 + 8 * i));
            }
        }
        break;
    }
    case QV_REPETITION:
        add(At(code, offset + 12));
        add(At(code, offset + 16));
        break;
    case QV_SKIPTO:
    case QV_NOTCHAR:
    case QV_CONSTRAINT:
    case QV_NOTTERM:
        add(At(code, offset + 4));
        break;
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH:
        add(At(code, offset + 12));
        break;
    case QV_ATTRIBUTES:
        add(At(code, offset + 8));
        break;
    case QV_WHITESPACE:
        add(At(code, offset + 4));
        if (At(code, offset + 8) == -1)
            add(At(code, offset + 12));
        break;
    case QV_PRODUCTION:
        add(At(code, offset + 8));
        break;
    case QV_TOKEN:
        add(At(code, offset + 4));
        if (At(code, offset + 8) != QV_TOKEN_NONE)
            add(At(code, offset + 8));
        break;
    case QV_ERROR:
        add(At(code, offset + 4));
        break;
    default:
        break;
    }
    return targets;
}

QVInstructionCheck::QVInstructionCheck(const char* code, long length, long names, bool format7)
    : code_(code), length_(length), names_(names), format7_(format7), seen_(length > 0 ? length : 0, 0)
{
}

bool QVInstructionCheck::CheckAll(const std::vector<long>& roots)
{
    for (long root : roots)
        if (!Target(root, false))
            return false;
    while (!pending_.empty()) {
        long offset = pending_.back();
        pending_.pop_back();
        if (!Check(offset))
            return false;
    }
    return true;
}

bool QVInstructionCheck::Target(long offset, bool allowNone)
{
    if (offset == 0 && allowNone)
        return true;
    if (!Fits(offset, 4))
        return false;
    if (!seen_[offset]) {
        seen_[offset] = 1;
        pending_.push_back(offset);
    }
    return true;
}

bool QVInstructionCheck::TextRecord(long offset)
{
    return Fits(offset, 8) && At(code_, offset + 4) >= 0 && Fits(offset + 8, At(code_, offset + 4));
}

bool QVInstructionCheck::NamePartsRecord(long offset)
{
    if (!Fits(offset, 8))
        return false;
    int32_t count = At(code_, offset + 4);
    long at = offset + 8;
    for (int32_t i = 0; count >= 0 && i < count; ++i) {
        if (!Fits(at, 4) || At(code_, at) < 0 || !Fits(at + 4, At(code_, at)))
            return false;
        at += 4 + At(code_, at);
    }
    return count >= 0;
}

bool QVInstructionCheck::FirstTermList(long offset)
{
    if (offset == 0)
        return true;
    if (!Fits(offset, 8))
        return false;
    int32_t count = At(code_, offset + 4);
    if (count < 0 || count > (length_ - offset - 8) / 8 || !Fits(offset + 8, 8L * count))
        return false;
    for (int32_t i = 0; i < count; ++i)
        if (!Target(At(code_, offset + 8 + 8 * i), false))
            return false;
    return true;
}

bool QVInstructionCheck::Check(long offset)
{
    int32_t n = 0;
    bool ok = true;
    switch (At(code_, offset)) {
    case QV_SYMBOL:
        ok = Fits(offset, 8) && (n = At(code_, offset + 4)) >= 1 && n <= 128 && Fits(offset, 8 + 4L * n);
        for (int32_t i = 0; ok && i < n; ++i) {
            int32_t id = At(code_, offset + 8 + 4 * i);
            ok = id > 0 && id < names_;
        }
        return ok;
    case QV_CONJUNCTION:
    case QV_DISJUNCTION: {
        bool extra = format7_ && At(code_, offset) == QV_CONJUNCTION;
        ok = Fits(offset, 8) && (n = At(code_, offset + 4)) >= 0 && n <= (length_ - offset) / 4 &&
             Fits(offset, 8 + 4L * n + (extra ? 4 : 0));
        for (int32_t i = 0; ok && i < n; ++i)
            ok = Target(At(code_, offset + 8 + 4 * i), false);
        return ok && (!extra || FirstTermList(At(code_, offset + 8 + 4 * n)));
    }
    case QV_REPETITION:
        return Fits(offset, 20) && Target(At(code_, offset + 12), false) && Target(At(code_, offset + 16), true);
    case QV_SKIPTO:
        return Fits(offset, 8) && Target(At(code_, offset + 4), true);
    case QV_LITERAL:
        return Fits(offset, 8) && (n = At(code_, offset + 4)) >= 0 && Fits(offset + 8, n);
    case QV_NULL:
        return true;
    case QV_CHARRANGE:
        return Fits(offset, 6);
    case QV_LENGTH:
        return Fits(offset, 16) && Target(At(code_, offset + 12), false);
    case QV_ATTRIBUTES:
        return Fits(offset, 12) && Target(At(code_, offset + 8), true);
    case QV_WHITESPACE:
        if (!Fits(offset, 12) || !Target(At(code_, offset + 4), true))
            return false;
        n = At(code_, offset + 8);
        if (n == -1)
            return Fits(offset, 16) && Target(At(code_, offset + 12), false);
        return n >= 0 && Fits(offset + 12, n);
    case QV_NOTCHAR:
    case QV_CONSTRAINT:
    case QV_NOTTERM:
        return Fits(offset, 8) && Target(At(code_, offset + 4), false);
    case QV_ROOT:
    case QV_TERMLIST:
    case QV_POSITION:
    case QV_RESYNC:
        return Fits(offset, 16);
    case QV_STRINGLIST: {
        if (!Fits(offset, 8) || (n = At(code_, offset + 4)) < 0)
            return false;
        long at = offset + 8;
        for (int32_t i = 0; i < n; ++i) {
            if (!Fits(at, 4) || At(code_, at) < 0 || !Fits(at + 4, At(code_, at)))
                return false;
            at += 4 + At(code_, at);
        }
        return true;
    }
    case QV_TEST: {
        if (!Fits(offset, 16))
            return false;
        int32_t first = At(code_, offset + 4);
        int32_t second = At(code_, offset + 8);
        return first >= 0 && Fits(offset + 16, first) && Fits(offset + 16 + first, second > 0 ? second : 0);
    }
    case QV_PRODUCTION:
        return Fits(offset, 16) && (n = At(code_, offset + 4)) >= 0 && Fits(offset + 16, n) &&
               Target(At(code_, offset + 8), false);
    case QV_BUILTSYMBOL:
    case QV_SYMBOLTEST:
        return Fits(offset, 8) && NamePartsRecord(At(code_, offset + 4));
    case QV_TOKEN: {
        if (!Fits(offset, 12) || !Target(At(code_, offset + 4), true))
            return false;
        int32_t token = At(code_, offset + 8);
        return token == QV_TOKEN_NONE || Target(token, true);
    }
    case QV_ERROR:
        return Fits(offset, 12) && Target(At(code_, offset + 4), true) &&
               (At(code_, offset + 8) == 0 || TextRecord(At(code_, offset + 8)));
    case QV_COMPUTEDLENGTH:
        return Fits(offset, 16) && (At(code_, offset + 4) == 0 || TextRecord(At(code_, offset + 4))) &&
               (At(code_, offset + 8) == 0 || TextRecord(At(code_, offset + 8))) &&
               Target(At(code_, offset + 12), false);
    default:
        return true; // executing it is an internal error
    }
}
