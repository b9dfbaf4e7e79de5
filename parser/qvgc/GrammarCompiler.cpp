#include "GrammarCompiler.h"

#include "qvrn/Context.h"
#include "qvrn/Instructions.h"
#include "qvrn/Scanners.h"
#include "qvrn/QVError.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>

namespace {

std::string Lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

void PutWord(std::string& out, int32_t value)
{
    char bytes[4];
    memcpy(bytes, &value, 4);
    out.append(bytes, 4);
}

} // namespace

void GrammarCompiler::Report(long code, int line, int column, const std::string& message)
{
    diagnostics_.push_back({code, line, column, message});
}

bool GrammarCompiler::Compile()
{
    if (!CheckNames() || !CheckLeftRecursion())
        return false;
    image_.ResetContext();
    memcpy(image_.GetHeader() + 20, kQVGrammarBanner, strlen(kQVGrammarBanner));
    long grammarKind = image_.GetNameID("grammar");
    long symbolKind = image_.GetNameID("symbol");
    image_.GetNameID("attr");
    long grammar = image_.CreateContext(image_.GetNameID(source_.name.c_str()), 0, grammarKind);
    std::vector<long> ruleContexts;
    for (const GrammarRule& rule : source_.rules)
        ruleContexts.push_back(image_.CreateContext(image_.GetNameID(rule.name.c_str()), grammar, symbolKind));
    for (size_t i = 0; i < source_.rules.size(); ++i) {
        const GrammarRule& rule = source_.rules[i];
        long body = Emit(*rule.body);
        image_.SetValue(ruleContexts[i], rule.flags ? EmitAttributes(rule.flags, body) : body);
    }
    if (!source_.start.empty())
        image_.SetStartContextId(ruleContexts[ruleIndex_[Lower(source_.start)]]);
    EmitSpecials();
    return diagnostics_.empty();
}

// Each symbol has one spelling: node names come from it and callers compare them exactly.
bool GrammarCompiler::CheckNames()
{
    for (size_t i = 0; i < source_.rules.size(); ++i) {
        const GrammarRule& rule = source_.rules[i];
        auto found = ruleIndex_.find(Lower(rule.name));
        if (found == ruleIndex_.end()) {
            ruleIndex_[Lower(rule.name)] = static_cast<int>(i);
            continue;
        }
        const std::string& first = source_.rules[found->second].name;
        Report(kQVDuplicateSymbols, rule.line, rule.column,
               first == rule.name ? "rule '" + rule.name + "' is defined twice"
                                  : "rule '" + rule.name + "' differs only in case from rule '" + first + "'");
    }
    if (!diagnostics_.empty())
        return false;
    for (const GrammarRule& rule : source_.rules)
        CheckReferences(*rule.body);
    for (const std::string* name : {&source_.start, &source_.token})
        if (!name->empty() && !ruleIndex_.count(Lower(*name)))
            Report(kQVUnresolvedSymbolCompiled, source_.line, 1, "unresolved symbol '" + *name + "'");
    if (source_.hasSpace && source_.spaceIsRule && !ruleIndex_.count(Lower(source_.space)))
        Report(kQVUnresolvedSymbolCompiled, source_.line, 1, "unresolved symbol '" + source_.space + "'");
    return diagnostics_.empty();
}

void GrammarCompiler::CheckReferences(const GrammarExpr& expr)
{
    auto checkName = [&](const std::string& name) {
        auto found = ruleIndex_.find(Lower(name));
        if (found != ruleIndex_.end()) {
            const std::string& spelling = source_.rules[found->second].name;
            if (spelling != name)
                Report(kQVDuplicateSymbols, expr.line, expr.column,
                       "'" + name + "' differs only in case from rule '" + spelling + "'");
        } else if (QVLookupPredefinedSymbol(name.c_str()) < 0) {
            Report(kQVUnresolvedSymbolCompiled, expr.line, expr.column, "unresolved symbol '" + name + "'");
        }
    };
    if (expr.kind == GrammarExpr::Ref || (expr.kind == GrammarExpr::Spaces && expr.spaceIsRule))
        checkName(expr.text);
    for (const auto& item : expr.items)
        CheckReferences(*item);
}

bool GrammarCompiler::Nullable(const GrammarExpr& expr) const
{
    switch (expr.kind) {
    case GrammarExpr::Ref: {
        auto found = ruleIndex_.find(Lower(expr.text));
        return found != ruleIndex_.end() && nullable_[found->second];
    }
    case GrammarExpr::Literal:
        return expr.text.empty();
    case GrammarExpr::CharRange:
    case GrammarExpr::NotChar:
        return false;
    case GrammarExpr::Sequence:
        return std::all_of(expr.items.begin(), expr.items.end(), [this](const auto& item) { return Nullable(*item); });
    case GrammarExpr::Choice:
        return std::any_of(expr.items.begin(), expr.items.end(), [this](const auto& item) { return Nullable(*item); });
    case GrammarExpr::Repeat:
        return expr.low == 0 || Nullable(*expr.items[0]);
    case GrammarExpr::Length:
        return expr.low <= 0 && Nullable(*expr.items[0]);
    case GrammarExpr::Token:
    case GrammarExpr::Spaces:
    case GrammarExpr::Except:
    case GrammarExpr::Error:
        return Nullable(*expr.items[0]);
    case GrammarExpr::Words:
        return std::any_of(expr.words.begin(), expr.words.end(), [](const std::string& w) { return w.empty(); });
    default:
        return true;
    }
}

// The rules a expression may enter at its own start position, before consuming anything.
void GrammarCompiler::LeftRules(const GrammarExpr& expr, std::vector<int>& out) const
{
    switch (expr.kind) {
    case GrammarExpr::Ref: {
        auto found = ruleIndex_.find(Lower(expr.text));
        if (found != ruleIndex_.end())
            out.push_back(found->second);
        return;
    }
    case GrammarExpr::Sequence:
        for (const auto& item : expr.items) {
            LeftRules(*item, out);
            if (!Nullable(*item))
                return;
        }
        return;
    case GrammarExpr::Except:
        LeftRules(*expr.items[0], out);
        return;
    case GrammarExpr::Repeat:
        LeftRules(*expr.items[0], out);
        if (expr.items.size() > 1 && Nullable(*expr.items[0]))
            LeftRules(*expr.items[1], out);
        return;
    default:
        for (const auto& item : expr.items)
            LeftRules(*item, out);
        return;
    }
}

bool GrammarCompiler::CheckLeftRecursion()
{
    size_t count = source_.rules.size();
    nullable_.assign(count, 0);
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < count; ++i)
            if (!nullable_[i] && Nullable(*source_.rules[i].body))
                nullable_[i] = changed = true;
    }
    std::vector<std::vector<int>> edges(count);
    for (size_t i = 0; i < count; ++i)
        LeftRules(*source_.rules[i].body, edges[i]);
    std::vector<int> state(count, 0); // 0 new, 1 on the path, 2 done
    std::function<bool(int)> visit = [&](int rule) {
        state[rule] = 1;
        for (int next : edges[rule]) {
            if (state[next] == 1) {
                const GrammarRule& r = source_.rules[next];
                Report(kQVLeftRecursion, r.line, r.column,
                       "rule '" + r.name + "' can reach itself without consuming input");
                return false;
            }
            if (state[next] == 0 && !visit(next))
                return false;
        }
        state[rule] = 2;
        return true;
    };
    for (size_t i = 0; i < count; ++i)
        if (state[i] == 0 && !visit(static_cast<int>(i)))
            return false;
    return true;
}

long GrammarCompiler::EmitInts(std::initializer_list<int32_t> words, const std::string& bytes)
{
    std::string code;
    for (int32_t word : words)
        PutWord(code, word);
    code += bytes;
    return image_.AppendByteCode(code.data(), static_cast<long>(code.size()));
}

long GrammarCompiler::EmitAttributes(long flags, long body)
{
    return EmitInts({QV_ATTRIBUTES, static_cast<int32_t>(flags), static_cast<int32_t>(body)});
}

long GrammarCompiler::EmitRef(const std::string& name)
{
    return EmitInts({QV_SYMBOL, 1, static_cast<int32_t>(image_.GetNameID(name.c_str()))});
}

long GrammarCompiler::EmitSequence(const std::vector<long>& items)
{
    if (items.size() == 1)
        return items[0];
    long list = EmitFirstTermList(items);
    std::string code;
    PutWord(code, QV_CONJUNCTION);
    PutWord(code, static_cast<int32_t>(items.size()));
    for (long item : items)
        PutWord(code, static_cast<int32_t>(item));
    PutWord(code, static_cast<int32_t>(list));
    return image_.AppendByteCode(code.data(), static_cast<long>(code.size()));
}

// The places where a sequence can take up again after a syntax error: the terms each of its
// items can begin with, each paired with the index of its item. Written before the sequence,
// which refers to it; 0 when no item has such a term.
long GrammarCompiler::EmitFirstTermList(const std::vector<long>& items)
{
    std::string pairs;
    int32_t count = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        for (int32_t term : OpeningOf(items[i]).terms) {
            PutWord(pairs, term);
            PutWord(pairs, static_cast<int32_t>(i));
            ++count;
        }
    }
    return count ? EmitInts({0, count}, pairs) : 0;
}

bool GrammarCompiler::RefNullable(long at) const
{
    const char* name = image_.GetName(QVReadInt(image_.GetByteCode(), at + 8));
    auto found = ruleIndex_.find(Lower(name ? name : ""));
    return found != ruleIndex_.end() && nullable_[found->second];
}

// Read back from the emitted byte code, so that the lists describe exactly what the engine
// runs. Terms that may match nothing are left out: they would "match" wherever a search for
// the next place to continue stands.
const GrammarCompiler::Opening& GrammarCompiler::OpeningOf(long at)
{
    static const Opening kNothing;
    if (at <= 0)
        return kNothing;
    auto known = openings_.find(at);
    if (known != openings_.end())
        return known->second;
    const char* code = image_.GetByteCode();
    auto word = [&](long offset) { return QVReadInt(code, at + offset); };
    Opening opening;
    auto through = [&](long body) {
        if (body)
            opening = OpeningOf(body);
    };
    switch (QVReadInt(code, at)) {
    case QV_CONJUNCTION:
        for (int32_t i = 0; i < word(4) && opening.nullable; ++i) {
            const Opening& item = OpeningOf(word(8 + 4 * i));
            opening.terms.insert(opening.terms.end(), item.terms.begin(), item.terms.end());
            opening.nullable = item.nullable;
        }
        break;
    case QV_DISJUNCTION:
        opening.nullable = false;
        for (int32_t i = 0; i < word(4); ++i) {
            const Opening& alternative = OpeningOf(word(8 + 4 * i));
            opening.terms.insert(opening.terms.end(), alternative.terms.begin(), alternative.terms.end());
            opening.nullable = opening.nullable || alternative.nullable;
        }
        break;
    case QV_LENGTH:
        through(word(12));
        opening.nullable = opening.nullable && word(4) <= 0;
        break;
    case QV_ATTRIBUTES:
        through(word(8));
        break;
    case QV_WHITESPACE:
    case QV_TOKEN:
        through(word(4));
        break;
    case QV_SYMBOL:
        opening.nullable = RefNullable(at);
        break;
    case QV_LITERAL:
        opening.nullable = word(4) == 0;
        break;
    case QV_STRINGLIST: {
        opening.nullable = false;
        long entry = at + 8;
        for (int32_t i = 0; i < word(4); ++i, entry += 4 + QVReadInt(code, entry))
            opening.nullable = opening.nullable || QVReadInt(code, entry) == 0;
        break;
    }
    case QV_REPETITION:
        opening.nullable = word(4) == 0 || OpeningOf(word(12)).nullable;
        break;
    case QV_CHARRANGE:
    case QV_NOTCHAR:
        opening.nullable = false;
        break;
    case QV_ERROR:
        opening.nullable = OpeningOf(word(4)).nullable;
        break;
    default:
        break; // null, skip-to, lookahead tests and positions: no term, may match nothing
    }
    int32_t op = QVReadInt(code, at);
    bool isTerm = op == QV_SYMBOL || op == QV_LITERAL || op == QV_STRINGLIST || op == QV_REPETITION ||
                  op == QV_CHARRANGE || op == QV_NOTCHAR || op == QV_ERROR;
    if (isTerm && !opening.nullable)
        opening.terms.push_back(static_cast<int32_t>(at));
    return openings_[at] = opening;
}

long GrammarCompiler::EmitChoice(const std::vector<long>& alternatives)
{
    std::string code;
    PutWord(code, QV_DISJUNCTION);
    PutWord(code, static_cast<int32_t>(alternatives.size()));
    for (long alternative : alternatives)
        PutWord(code, static_cast<int32_t>(alternative));
    return image_.AppendByteCode(code.data(), static_cast<long>(code.size()));
}

long GrammarCompiler::Emit(const GrammarExpr& expr)
{
    auto child = [&](size_t i) { return static_cast<int32_t>(Emit(*expr.items[i])); };
    switch (expr.kind) {
    case GrammarExpr::Ref:
        return EmitRef(expr.text);
    case GrammarExpr::Literal: {
        return EmitInts({QV_LITERAL, static_cast<int32_t>(expr.text.size())}, expr.text);
    }
    case GrammarExpr::CharRange: {
        std::string bytes{static_cast<char>(expr.low), static_cast<char>(expr.high)};
        return EmitInts({QV_CHARRANGE}, bytes);
    }
    case GrammarExpr::Sequence: {
        std::vector<long> items;
        for (size_t i = 0; i < expr.items.size(); ++i)
            items.push_back(child(i));
        return EmitSequence(items);
    }
    case GrammarExpr::Choice: {
        std::vector<long> alternatives;
        for (size_t i = 0; i < expr.items.size(); ++i)
            alternatives.push_back(child(i));
        return EmitChoice(alternatives);
    }
    case GrammarExpr::Optional: {
        long item = child(0);
        if (!nullOffset_)
            nullOffset_ = EmitInts({QV_NULL});
        return EmitChoice({item, nullOffset_});
    }
    case GrammarExpr::Repeat: {
        int32_t item = child(0);
        int32_t separator = expr.items.size() > 1 ? child(1) : 0;
        return EmitInts({QV_REPETITION, expr.low, expr.high, item, separator});
    }
    case GrammarExpr::Empty:
        if (!nullOffset_)
            nullOffset_ = EmitInts({QV_NULL});
        return nullOffset_;
    case GrammarExpr::Token:
        return EmitInts({QV_WHITESPACE, child(0), 0});
    case GrammarExpr::Spaces: {
        int32_t body = child(0);
        if (expr.spaceIsRule)
            return EmitInts({QV_WHITESPACE, body, -1, static_cast<int32_t>(EmitRef(expr.text))});
        return EmitInts({QV_WHITESPACE, body, static_cast<int32_t>(expr.text.size())}, expr.text);
    }
    case GrammarExpr::SkipTo:
        return EmitInts({QV_SKIPTO, expr.items.empty() ? 0 : child(0)});
    case GrammarExpr::NotTerm:
        return EmitInts({QV_NOTTERM, child(0)});
    case GrammarExpr::NotChar:
        return EmitInts({QV_NOTCHAR, child(0)});
    case GrammarExpr::Except: {
        // The excluded form must match the whole of what was matched: a production test
        // over the last matched range, with no whitespace skipped between the two.
        int32_t matched = child(0);
        int32_t excluded = child(1);
        long test = EmitInts({QV_PRODUCTION, 6, excluded, 2}, "#VALUE");
        return EmitInts({QV_WHITESPACE, static_cast<int32_t>(EmitSequence({matched, test})), 0});
    }
    case GrammarExpr::Position:
        return EmitInts({QV_POSITION, expr.low, 0, 0});
    case GrammarExpr::Length:
        return EmitInts({QV_LENGTH, expr.low, expr.high, child(0)});
    case GrammarExpr::Error: {
        int32_t body = child(0);
        long message = EmitInts({0, static_cast<int32_t>(expr.text.size())}, expr.text);
        return EmitInts({QV_ERROR, body, static_cast<int32_t>(message)});
    }
    case GrammarExpr::Words: {
        // Longer words first, so that a word is never cut short by one of its prefixes.
        std::vector<std::string> words = expr.words;
        std::stable_sort(words.begin(), words.end(),
                         [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        std::string bytes;
        for (const std::string& word : words) {
            PutWord(bytes, static_cast<int32_t>(word.size()));
            bytes += word;
        }
        return EmitInts({QV_STRINGLIST, static_cast<int32_t>(words.size())}, bytes);
    }
    }
    return 0;
}

long GrammarCompiler::EmitSpecials()
{
    long attrKind = image_.GetNameID("attr");
    auto special = [&](const char* name, long parent, long value) {
        long ctx = image_.CreateContext(image_.GetNameID(name), parent, attrKind);
        image_.SetValue(ctx, value);
    };
    if (source_.hasAttributes)
        special("<ATTRS>", 1, EmitAttributes(source_.attributes, 0));
    if (source_.hasSpace) {
        if (source_.spaceIsRule)
            special("<SPACE>", 1, EmitInts({QV_WHITESPACE, 0, -1, static_cast<int32_t>(EmitRef(source_.space))}));
        else
            special("<SPACE>", 1,
                    EmitInts({QV_WHITESPACE, 0, static_cast<int32_t>(source_.space.size())}, source_.space));
    }
    if (!source_.token.empty())
        special("<TOKEN>", 1, EmitInts({QV_TOKEN, 0, static_cast<int32_t>(EmitRef(source_.token))}));
    // The root and error instructions are part of the image, so trees restored from a cache
    // file still name their root and error nodes.
    special("<START>", 0, EmitInts({QV_ROOT, 0, 0, 0}));
    special("<ERROR>", 0, EmitInts({QV_ERROR, 0, 0}));
    special("<EOF>", 0, EmitInts({QV_POSITION, QVP_END_OF_INPUT, 0, 0}));
    if (!source_.version.empty())
        special("<VERSION>", 1, EmitInts({QV_LITERAL, static_cast<int32_t>(source_.version.size())}, source_.version));
    return 1;
}
