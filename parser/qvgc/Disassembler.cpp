#include "Disassembler.h"

#include "core/output/TextFormat.h"
#include "qvrn/Context.h"
#include "qvrn/Instructions.h"
#include "qvrn/Scanners.h"

#include <cstdarg>
#include <cstdio>
#include <set>
#include <vector>

namespace {

std::string Printable(const char* text, long n)
{
    std::vector<char> out(4 * n + 1);
    MakePrintableString(text, static_cast<unsigned>(n), out.data(), static_cast<unsigned>(out.size()));
    return out.data();
}

std::string Offset(long offset) { return FormatText("@%ld", offset); }

class Lister {
public:
    explicit Lister(const Context& image) : image_(image), code_(image.GetByteCode()) {}

    std::string Instruction(long at)
    {
        int32_t op = Int(at);
        switch (op) {
        case QV_SYMBOL: {
            std::string out = "symbol";
            for (int32_t i = 0; i < Int(at + 4); ++i)
                out += FormatText(" #%d", Int(at + 8 + 4 * i));
            return out;
        }
        case QV_CONJUNCTION:
        case QV_DISJUNCTION: {
            std::string out = op == QV_CONJUNCTION ? "conjunction" : "disjunction";
            int32_t n = Int(at + 4);
            for (int32_t i = 0; i < n; ++i)
                out += " " + Offset(Int(at + 8 + 4 * i));
            if (op == QV_CONJUNCTION && image_.GetFormat() == 7)
                out += FirstTerms(Int(at + 8 + 4 * n));
            return out;
        }
        case QV_REPETITION:
            return FormatText("repetition min %d max %d item @%d separator @%d", Int(at + 4), Int(at + 8), Int(at + 12),
                              Int(at + 16));
        case QV_SKIPTO:
            return "skip-to " + Offset(Int(at + 4));
        case QV_LITERAL:
            return "literal \"" + Printable(code_ + at + 8, Int(at + 4)) + "\"";
        case QV_NULL:
            return "null";
        case QV_CHARRANGE:
            return "char-range '" + Printable(code_ + at + 4, 1) + "'..'" + Printable(code_ + at + 5, 1) + "'";
        case QV_LENGTH:
            return FormatText("length min %d max %d item @%d", Int(at + 4), Int(at + 8), Int(at + 12));
        case QV_ATTRIBUTES:
            return FormatText("attributes 0x%X body @%d", Int(at + 4), Int(at + 8));
        case QV_WHITESPACE:
            if (Int(at + 8) == -1)
                return FormatText("whitespace body @%d symbol @%d", Int(at + 4), Int(at + 12));
            return FormatText("whitespace body @%d chars \"", Int(at + 4)) + Printable(code_ + at + 12, Int(at + 8)) +
                   "\"";
        case QV_NOTCHAR:
            return "not-char " + Offset(Int(at + 4));
        case QV_ROOT:
            return "root";
        case QV_STRINGLIST: {
            std::string out = "string-list";
            long entry = at + 8;
            for (int32_t i = 0; i < Int(at + 4); ++i) {
                out += " \"" + Printable(code_ + entry + 4, Int(entry)) + "\"";
                entry += 4 + Int(entry);
            }
            return out;
        }
        case QV_CONSTRAINT:
            return "constraint " + Offset(Int(at + 4));
        case QV_PRODUCTION:
            return FormatText("production-test mode %d body @%d text \"", Int(at + 12), Int(at + 8)) +
                   Printable(code_ + at + 16, Int(at + 4)) + "\"";
        case QV_NOTTERM:
            return "not-term " + Offset(Int(at + 4));
        case QV_TOKEN:
            return FormatText("token body @%d symbol ", Int(at + 4)) +
                   (Int(at + 8) == QV_TOKEN_NONE ? std::string("none") : Offset(Int(at + 8)));
        case QV_POSITION:
            return FormatText("position-test %d", Int(at + 4));
        case QV_ERROR:
            return FormatText("error body @%d message @%d", Int(at + 4), Int(at + 8));
        default:
            return FormatText("opcode %d", op);
        }
    }

private:
    int32_t Int(long at) const { return QVReadInt(code_, at); }

    // Each listed term with the index of the item it begins, as in "@120/1".
    std::string FirstTerms(long list)
    {
        std::string out = " first-terms " + Offset(list);
        if (!list)
            return out;
        out += " [";
        for (int32_t i = 0; i < Int(list + 4); ++i)
            out += FormatText("%s@%d/%d", i ? " " : "", Int(list + 8 + 8 * i), Int(list + 12 + 8 * i));
        return out + "]";
    }

    const Context& image_;
    const char* code_;
};

} // namespace

std::string DisassembleGrammar(const Context& image)
{
    const unsigned char* header = image.GetHeader();
    std::string out = FormatText("format %ld checksum 0x%08X start context %ld\n", image.GetFormat(),
                                 static_cast<uint32_t>(QVReadInt(reinterpret_cast<const char*>(header), 4)),
                                 image.GetStartContextId());
    out += FormatText("contexts %ld\n", image.GetContextCount());
    std::vector<long> roots;
    for (long ctx = 0; ctx < image.GetContextCount(); ++ctx) {
        const QVContextRecord& record = image.GetContext(ctx);
        out +=
            FormatText("  %4ld %-24s parent %-4d kind %-8s value @%-6d parents %d\n", ctx, image.GetName(record.nameId),
                       record.parent, image.GetName(record.kind), record.value, record.parentList);
        if (record.value > 0)
            roots.push_back(record.value);
    }
    out += FormatText("names %ld\n", image.GetNameCount());
    for (long id = 0; id < image.GetNameCount(); ++id)
        out += FormatText("  %4ld %s\n", id, image.GetName(id));
    out += FormatText("parent lists %ld\n", image.GetParentListCount() - 1);
    for (long id = 1; id < image.GetParentListCount(); ++id) {
        const QVParentListRecord& record = image.GetParentList(id);
        out += FormatText("  %4ld", id);
        for (int32_t e = 0; e < record.count; ++e) {
            out += " [";
            for (int32_t i = 0; i < record.entries[e].length; ++i)
                out += FormatText("%s#%d", i ? " " : "", record.entries[e].ids[i]);
            out += "]";
        }
        out += "\n";
    }
    std::set<long> seen;
    std::vector<long> pending(roots);
    while (!pending.empty()) {
        long at = pending.back();
        pending.pop_back();
        if (!seen.insert(at).second)
            continue;
        for (long target : QVInstructionTargets(image.GetByteCode(), at, image.GetFormat() == 7))
            pending.push_back(target);
    }
    out += FormatText("byte code %ld bytes, %zu instructions\n", image.GetByteCodeLength(), seen.size());
    Lister lister(image);
    for (long at : seen) {
        char name[256];
        QVGetInstructionName(image, at, name, sizeof name);
        out += FormatText("  @%-6ld %-60s ; %s\n", at, lister.Instruction(at).c_str(), name);
    }
    return out;
}
