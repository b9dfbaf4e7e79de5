// Frameless matching. Inside a flat rule without backtracking nothing a subtree builds outlives
// it: its nodes are cut when the flat rule ends and its frames are dropped as each finishes. A
// subtree made only of instructions that read the input (characters, literals, sequences,
// choices, repetitions, symbols and settings) is then matched by a recursive walk instead of a
// frame per instruction. The walk counts the steps the frames would have taken and keeps the
// furthest failure, the last match and the other bookkeeping exactly as their Finish would, so
// error positions, codes, step numbers and trees come out the same. Whatever the walk cannot
// do as the frames do (a space symbol, a token symbol before a literal, backtracking switched
// on inside) abandons it; the frame then runs the ordinary way.
// Elsewhere a symbol's frame may still be walked, but only for a failure that comes before
// anything matched text: its nodes would all be cut, and with no choice left open inside it
// there is nothing to come back to. Most alternatives of a long choice end that way.
#include "qvrn/ParserImp.h"

#include "ParserImpInternal.h"

#include "qvrn/Grammar.h"
#include "qvrn/InputReader.h"
#include "qvrn/Instructions.h"
#include "qvrn/ParseTree.h"
#include "qvrn/Scanners.h"

#include <algorithm>
#include <utility>

using namespace qvparse;

namespace {

// Deeper walks are left to the frames, which report a stack overflow the walk could not.
const int kMaxQuickDepth = 200;

bool IsLeaf(int32_t op)
{
    return op == QV_CHARRANGE || op == QV_NULL || op == QV_LITERAL || op == QV_STRINGLIST || op == QV_POSITION;
}

} // namespace

// Which instructions a walk may take on: those whose kind it handles and whose every target
// (for a symbol, its rule) is such an instruction. Decided once per parse, from the impure
// instructions backwards, so rules that reach themselves are decided correctly.
void ParserImp::BuildPurity()
{
    pure_.assign(context_->GetByteCodeLength(), 0);
    std::vector<std::pair<long, long>> edges; // (target, instruction that reaches it)
    std::vector<long> pending, impure;
    for (long ctx = 2; ctx < context_->GetContextCount(); ++ctx)
        if (long rule = context_->GetValue(ctx))
            pending.push_back(rule);
    while (!pending.empty()) {
        long at = pending.back();
        pending.pop_back();
        if (at <= 0 || at + 4 > static_cast<long>(pure_.size()) || pure_[at])
            continue;
        pure_[at] = 1;
        int32_t op = Int(at);
        std::vector<long> targets;
        bool supported = true;
        switch (op) {
        case QV_CHARRANGE:
        case QV_NULL:
        case QV_LITERAL:
        case QV_STRINGLIST:
            break;
        case QV_POSITION:
            supported = Int(at + 4) != QVP_EXPECTED;
            break;
        case QV_SYMBOL: {
            long symbol = ResolveSymbol(at);
            long rule = symbol ? context_->GetValue(symbol) : 0;
            if (rule)
                targets.push_back(rule);
            else
                supported =
                    !symbol && Int(at + 4) == 1 && QVLookupPredefinedSymbol(context_->GetName(Int(at + 8))) >= 0;
            break;
        }
        case QV_ATTRIBUTES:
            supported = !(Int(at + 4) & QVA_OUTSIDE);
            targets = QVInstructionTargets(code_, at, format7_);
            break;
        case QV_WHITESPACE:
        case QV_TOKEN:
        case QV_CONJUNCTION:
        case QV_DISJUNCTION:
        case QV_REPETITION:
        case QV_NOTCHAR:
        case QV_NOTTERM:
        case QV_SKIPTO:
            targets = QVInstructionTargets(code_, at, format7_);
            break;
        default:
            supported = false;
            break;
        }
        if (!supported)
            impure.push_back(at);
        for (long target : targets) {
            edges.emplace_back(target, at);
            pending.push_back(target);
        }
    }
    std::sort(edges.begin(), edges.end());
    while (!impure.empty()) {
        long at = impure.back();
        impure.pop_back();
        if (pure_[at] == 2)
            continue;
        pure_[at] = 2;
        auto range = std::equal_range(
            edges.begin(), edges.end(), std::make_pair(at, 0L),
            [](const std::pair<long, long>& a, const std::pair<long, long>& b) { return a.first < b.first; });
        for (auto it = range.first; it != range.second; ++it)
            impure.push_back(it->second);
    }
}

bool ParserImp::TryQuick(long index)
{
    Frame& f = frames_[index];
    const Settings& s = f.settings;
    if (f.state || resyncFrame_ >= 0 || context_->yieldListener || top_ + kMaxQuickDepth + 8 >= kMaxFrames)
        return false;
    long at = f.instruction;
    quickMustFail_ = !(s.bits & kInFlat) || (s.bits & kBacktrack);
    if (quickMustFail_ ? Int(at) != QV_SYMBOL || !f.symbol
                       : at <= 0 || at >= static_cast<long>(pure_.size()) || pure_[at] != 1 || IsLeaf(Int(at)))
        return false;

    const long saved[] = {steps_,       furthestPos_, furthestInstruction_, furthestStep_, furthestCode_,
                          furthestEnd_, lastStart_,   lastLength_,          eolEnd_};
    quickUnsupported_ = false;
    quickHidden_ = false;
    Virtual v{at, f.symbol, f.start, f.budget, f.settings, (f.flags & kChoice) != 0};
    // The step that executes this frame for the first time is already counted.
    --steps_;
    long status = QuickExec(v, 0);
    if (quickUnsupported_ || steps_ > stepLimit_ || (quickMustFail_ && status >= 0)) {
        steps_ = saved[0];
        furthestPos_ = saved[1];
        furthestInstruction_ = saved[2];
        furthestStep_ = saved[3];
        furthestCode_ = saved[4];
        furthestEnd_ = saved[5];
        lastStart_ = saved[6];
        lastLength_ = saved[7];
        eolEnd_ = saved[8];
        return false;
    }
    // A hidden rule entered directly below this frame takes this frame's node away, as its
    // frame would have on entry (the tree has not changed since).
    if (quickHidden_ && f.node && f.node == tree_->Count() - 1) {
        tree_->CutBack(f.node);
        f.node = 0;
    }
    pendingCode_ = 0;
    status_ = status;
    return true;
}

// A child frame's whole life: what Push sets up, its executions and what Finish records.
long ParserImp::QuickChild(long instruction, long start, const Virtual& parent, int depth)
{
    if (depth >= kMaxQuickDepth) {
        quickUnsupported_ = true;
        return -1;
    }
    // What Push and ApplyEntry would set up; of the instructions a walk takes on only these
    // four change anything on entry.
    Virtual f{instruction,     0,
              start,           Clamp(parent.budget - (start - parent.start)),
              parent.settings, (parent.settings.bits & kBacktrack) != 0};
    const int32_t op = Int(instruction);
    switch (op) {
    case QV_SYMBOL:
        f.symbol = ResolveSymbol(instruction);
        break;
    case QV_ATTRIBUTES:
        if (depth == 0 && (Int(instruction + 4) & QVA_HIDDEN))
            quickHidden_ = true;
        EnterSettings(op, instruction, f.settings);
        if (!quickMustFail_ && (f.settings.bits & kBacktrack)) {
            quickUnsupported_ = true;
            return -1;
        }
        break;
    case QV_WHITESPACE:
    case QV_TOKEN:
        EnterSettings(op, instruction, f.settings);
        break;
    default:
        break;
    }
    long status = QuickExec(f, depth + 1);
    if (quickUnsupported_)
        return -1;
    if (status >= 0 && status > f.budget)
        status = -1;
    if (quickMustFail_ && status > 0) {
        quickUnsupported_ = true;
        return -1;
    }
    QuickFinish(f, status);
    return status;
}

void ParserImp::QuickFinish(const Virtual& f, long status)
{
    if (status >= 0) {
        if (status > 0) {
            lastStart_ = f.start;
            lastLength_ = status;
            if (eolContext_ && f.symbol == eolContext_)
                eolEnd_ = f.start + status;
        }
        if (f.start + status > furthestEnd_)
            furthestEnd_ = f.start + status;
        return;
    }
    if (f.start > furthestPos_ || (f.start == furthestPos_ && f.symbol)) {
        if (quickCode_ || f.start > furthestPos_)
            furthestCode_ = quickCode_;
        furthestPos_ = f.start;
        furthestInstruction_ = f.instruction;
        furthestStep_ = steps_;
    } else if (f.start == furthestPos_ && quickCode_) {
        furthestCode_ = quickCode_;
    }
}

// Whitespace between items: the characters in force are skipped directly; a space symbol
// would need a frame.
bool ParserImp::QuickSpace(const Settings& s, long position, long& after)
{
    if (s.spaceSymbol && !(s.bits & kInSpace)) {
        quickUnsupported_ = true;
        return false;
    }
    after = position + WhitespaceSpan(s, position);
    return true;
}

// One more execution of a frame: a step, with no error code pending yet.
#define QUICK_STEP() (++steps_, quickCode_ = 0)

long ParserImp::QuickExec(Virtual& f, int depth)
{
    const long at = f.instruction;
    switch (Int(at)) {
    case QV_SYMBOL: {
        if (!f.symbol) {
            QUICK_STEP();
            return QuickLeaf(f);
        }
        long rule = context_->GetValue(f.symbol);
        if (!rule) {
            quickUnsupported_ = true;
            return -1;
        }
        return QuickBody(f, rule, depth);
    }
    case QV_ATTRIBUTES:
        if (Int(at + 4) & QVA_OUTSIDE) {
            quickUnsupported_ = true;
            return -1;
        }
        return QuickBody(f, Int(at + 8), depth);
    case QV_WHITESPACE:
    case QV_TOKEN:
        return QuickBody(f, Int(at + 4), depth);
    case QV_DISJUNCTION: {
        long n = Int(at + 4);
        QUICK_STEP();
        for (long k = 0; k < n; ++k) {
            long status = QuickChild(Int(at + 8 + 4 * k), f.start, f, depth);
            if (quickUnsupported_)
                return -1;
            QUICK_STEP();
            if (status >= 0) {
                // An alternative left untried would stay open for a later failure to come back to.
                if (f.choice && k + 1 < n) {
                    quickUnsupported_ = true;
                    return -1;
                }
                return status;
            }
        }
        return -1;
    }
    case QV_CONJUNCTION:
        return QuickConjunction(f, depth);
    case QV_REPETITION:
        return QuickRepetition(f, depth);
    case QV_SKIPTO: {
        long target = Int(at + 4);
        QUICK_STEP();
        if (!target)
            return f.budget;
        int32_t op = Int(target);
        bool caseSensitive = CaseSensitive(f.settings);
        bool delimiter = DelimiterCheck(f.settings);
        long error = 0;
        if (op == QV_LITERAL) {
            long found = reader_->FindLiteral(Bytes(target + 8), Int(target + 4), f.start, f.budget, caseSensitive,
                                              delimiter, error);
            return found < 0 ? f.budget : found - f.start;
        }
        if (op == QV_STRINGLIST) {
            for (long p = f.start; p < f.start + f.budget; ++p)
                if (reader_->MatchStringList(Bytes(target + 4), p, f.start + f.budget - p, 0, caseSensitive, delimiter,
                                             error) > 0)
                    return p - f.start;
            return f.budget;
        }
        for (long offset = 0; offset < f.budget; ++offset) {
            long status = QuickChild(target, f.start + offset, f, depth);
            if (quickUnsupported_)
                return -1;
            QUICK_STEP();
            if (status >= 0)
                return offset;
        }
        return f.budget;
    }
    case QV_NOTCHAR:
    case QV_NOTTERM: {
        long body = Int(at + 4);
        QUICK_STEP();
        if (!body)
            return 0;
        long status = QuickChild(body, f.start, f, depth);
        if (quickUnsupported_)
            return -1;
        QUICK_STEP();
        bool itemFailed = status < 0;
        if (Int(at) == QV_NOTTERM)
            return itemFailed ? 0 : -1;
        return itemFailed && f.budget >= 1 && f.start < size_ ? 1 : -1;
    }
    default:
        QUICK_STEP();
        return QuickLeaf(f);
    }
}

// A frame that wraps one body: one step to enter it, one to take its result.
long ParserImp::QuickBody(Virtual& f, long body, int depth)
{
    QUICK_STEP();
    if (!body)
        return 0;
    long status = QuickChild(body, f.start, f, depth);
    if (quickUnsupported_)
        return -1;
    QUICK_STEP();
    return status >= 0 ? status : -1;
}

long ParserImp::QuickConjunction(Virtual& f, int depth)
{
    const long n = Int(f.instruction + 4);
    const long items = f.instruction + 8;
    QUICK_STEP();
    if (n == 0)
        return 0;
    long position = f.start, length = 0;
    for (long item = 0;; ++item) {
        long status = QuickChild(Int(items + 4 * item), position, f, depth);
        if (quickUnsupported_)
            return -1;
        QUICK_STEP();
        if (status < 0)
            return -1;
        long end = position + status;
        if (status > 0)
            length = end - f.start;
        if (item + 1 >= n)
            return length;
        position = end;
        if (status > 0 && !QuickSpace(f.settings, end, position))
            return -1;
    }
}

long ParserImp::QuickRepetition(Virtual& f, int depth)
{
    const long at = f.instruction;
    const long item = Int(at + 12), separator = Int(at + 16), min = Int(at + 4), max = Int(at + 8);
    long count = 0, lastItem = 0, length = 0, childStart = f.start;
    bool separatorNext = false;
    auto finish = [&]() { return count < min ? -1 : (count ? length : 0); };
    QUICK_STEP();
    for (;;) {
        long status = QuickChild(separatorNext ? separator : item, childStart, f, depth);
        if (quickUnsupported_)
            return -1;
        QUICK_STEP();
        if (status < 0)
            return finish();
        long after;
        if (!separatorNext) {
            count += 1;
            if (status > 0 || count == 1)
                length = childStart - f.start + status;
            lastItem = status;
            if (max && count >= max)
                return finish();
            if (!QuickSpace(f.settings, f.start + length, after))
                return -1;
            if (after - f.start >= f.budget || (!separator && lastItem == 0))
                return finish();
            separatorNext = separator != 0;
        } else {
            if (status == 0 && lastItem == 0)
                return finish();
            if (!QuickSpace(f.settings, childStart + status, after))
                return -1;
            if (after - f.start >= f.budget)
                return finish();
            separatorNext = false;
        }
        childStart = after;
    }
}

// The instructions that finish in one execution (the step is already counted).
long ParserImp::QuickLeaf(Virtual& f)
{
    const long at = f.instruction;
    const bool caseSensitive = CaseSensitive(f.settings);
    long error = 0;
    switch (Int(at)) {
    case QV_SYMBOL: {
        long predefined = PredefinedAt(at);
        if (predefined < 0) {
            quickUnsupported_ = true;
            return -1;
        }
        long length = reader_->ScanPredefined(predefined, f.start, f.budget, error);
        quickCode_ = error;
        return length > 0 ? length : -1;
    }
    case QV_CHARRANGE: {
        if (f.start >= size_ || f.budget < 1)
            return -1;
        unsigned char c = static_cast<unsigned char>(reader_->FastCharAt(f.start));
        unsigned char low = static_cast<unsigned char>(Bytes(at + 4)[0]);
        unsigned char high = static_cast<unsigned char>(Bytes(at + 5)[0]);
        if (!caseSensitive) {
            c = kFold[c];
            low = kFold[low];
            high = kFold[high];
        }
        return low <= c && c <= high ? 1 : -1;
    }
    case QV_NULL:
        return 0;
    case QV_LITERAL:
    case QV_STRINGLIST: {
        // A token symbol in force would be matched by a frame of its own first.
        if (f.settings.token) {
            quickUnsupported_ = true;
            return -1;
        }
        bool delimiter = DelimiterCheck(f.settings);
        if (Int(at) == QV_STRINGLIST) {
            long length =
                reader_->MatchStringList(Bytes(at + 4), f.start, f.budget, 0, caseSensitive, delimiter, error);
            quickCode_ = error;
            return length > 0 ? length : -1;
        }
        long n = Int(at + 4);
        if (n > f.budget)
            return -1;
        if (n == 0)
            return 0;
        long length = reader_->MatchLiteral(Bytes(at + 8), n, f.start, caseSensitive, delimiter, error);
        quickCode_ = error;
        return length == n ? n : -1;
    }
    case QV_POSITION:
        switch (Int(at + 4)) {
        case QVP_LINE_START:
            if (f.start == 0 || (eolContext_ && eolEnd_ == f.start))
                return 0;
            return !eolContext_ && f.start >= 2 && reader_->CharAt(f.start - 2) == '\r' &&
                           reader_->CharAt(f.start - 1) == '\n'
                       ? 0
                       : -1;
        case QVP_LINE_END:
            return reader_->CharAt(f.start) == '\r' && reader_->CharAt(f.start + 1) == '\n' ? 0 : -1;
        case QVP_END_OF_INPUT:
            return f.start >= size_ ? 0 : -1;
        case QVP_EXPECTED:
            quickUnsupported_ = true;
            return -1;
        default:
            return -1;
        }
    default:
        quickUnsupported_ = true;
        return -1;
    }
}
