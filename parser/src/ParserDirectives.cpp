// The parse engine's actions for directives and recovery: constraints and tests, built
// symbols and computed lengths, expected items, resynchronisation and term lists.
#include "qvrn/ParserImp.h"

#include "ParserImpInternal.h"

#include "qvrn/Grammar.h"
#include "qvrn/InputReader.h"
#include "qvrn/InputStream.h"
#include "qvrn/Instructions.h"
#include "qvrn/ParseTree.h"
#include "qvrn/QVError.h"
#include "qvrn/QuorvaneAPI.h"
#include "qvrn/Scanners.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

using namespace qvparse;

std::string ParserImp::RangeText(long start, long length)
{
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0)
        text.resize(reader_->CopyText(&text[0], start, length));
    return text;
}

// The range a directive names: the last matched text for "#value", else the first node the
// path finds from the context node.
bool ParserImp::FindRange(const std::string& path, long frame, long& start, long& length)
{
    if (strcasecmp(path.c_str(), "#value") == 0) {
        start = lastStart_;
        length = lastLength_;
        return start >= 0;
    }
    long node = tree_->FindNode(path.c_str(), GetNodeFromContext(frame));
    if (!node)
        return false;
    start = tree_->GetNodeStart(node);
    length = tree_->GetNodeLength(node);
    return start >= 0;
}

// Length expressions: a decimal number, #Int(path) or #BinaryToInt(path); anything else is -1.
long ParserImp::Expression(long record, long frame)
{
    if (!record)
        return -1;
    std::string text = RecordText(record);
    if (!text.empty() && strspn(text.c_str(), "0123456789") == text.size())
        return atol(text.c_str());
    for (const char* function : {"#Int(", "#BinaryToInt("}) {
        size_t n = strlen(function);
        if (text.size() <= n || strncasecmp(text.c_str(), function, n) != 0 || text.back() != ')')
            continue;
        long node = tree_->FindNode(text.substr(n, text.size() - n - 1).c_str(), GetNodeFromContext(frame));
        if (!node)
            return -1;
        std::string value = RangeText(tree_->GetNodeStart(node), tree_->GetNodeLength(node));
        if (n == 5)
            return atol(value.c_str());
        if (value.size() == 1)
            return static_cast<signed char>(value[0]);
        if (value.size() == 2)
            return static_cast<int16_t>(static_cast<uint8_t>(value[0]) | static_cast<uint8_t>(value[1]) << 8);
        if (value.size() == 4)
            return QVReadInt(value.data(), 0);
        return -1;
    }
    return -1;
}

void ParserImp::ExecComputedLength(long index)
{
    long length;
    if (!BodyMatched(index, Int(frames_[index].instruction + 12), length))
        return;
    const Frame& f = frames_[index];
    long min = Int(f.instruction + 4) ? Expression(Int(f.instruction + 4), index) : 0;
    long max = Expression(Int(f.instruction + 8), index);
    return length < min || (max >= 0 && length > max) ? Fail() : Match(length);
}

// A constraint whose body fails after a "#warn" test warns and matches nothing instead.
void ParserImp::ExecConstraint(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    if (ChildMatched())
        return Match(LengthThroughChild(f));
    if (f.saved1 != 1)
        return Fail();
    RecordError(3, 0, nullptr, kQVConstraintViolation, f.saved2, lastStart_ < 0 ? f.start : lastStart_,
                lastLength_ < 0 ? 0 : lastLength_, f.instruction, 0);
    Match(0);
}

void ParserImp::ExecTest(long index)
{
    const Frame& f = frames_[index];
    long firstLength = Int(f.instruction + 4);
    long secondLength = Int(f.instruction + 8);
    long mode = Int(f.instruction + 12);
    std::string first(Bytes(f.instruction + 16), firstLength);
    std::string second = secondLength > 0 ? std::string(Bytes(f.instruction + 16 + firstLength), secondLength) : "";
    bool warn = strcasecmp(first.c_str(), "#warn") == 0;
    if (warn || strcasecmp(first.c_str(), "#error") == 0) {
        for (long i = f.parent; i >= 0; i = frames_[i].parent) {
            if (Int(frames_[i].instruction) == QV_CONSTRAINT) {
                frames_[i].saved1 = warn ? 1 : 2;
                frames_[i].saved2 = static_cast<int32_t>(atol(second.c_str()));
                break;
            }
        }
        return Match(0);
    }
    long start = -1, length = -1;
    bool found = FindRange(first, index, start, length);
    if (strcasecmp(second.c_str(), "NULL") == 0)
        return (mode == 1) != found ? Match(0) : Fail();
    if (second.empty())
        return found && length > 0 ? Match(0) : Fail();
    if (!found)
        return Fail();
    bool caseSensitive = CaseSensitive(f.settings);
    auto same = [&](const std::string& a, const std::string& b) {
        return a.size() == b.size() && (caseSensitive ? a == b : strcasecmp(a.c_str(), b.c_str()) == 0);
    };
    std::string text = RangeText(start, length);
    bool equal = false;
    if (second[0] == '#') {
        equal = lastStart_ >= 0 && same(text, RangeText(lastStart_, lastLength_));
    } else if (second[0] == '"') {
        std::vector<char> literal(second.size() + 1);
        long n = TranslateLiteralExp(second.c_str(), literal.data(), static_cast<long>(literal.size()));
        equal = same(text, std::string(literal.data(), n));
    } else {
        QVTREEPOS pos = tree_->StartSearch(second.c_str(), GetNodeFromContext(index));
        if (mode == 0)
            return pos.match ? Match(0) : Fail();
        for (long node; !equal && (node = tree_->NextMatch(pos)) != 0;)
            equal = same(text, RangeText(tree_->GetNodeStart(node), tree_->GetNodeLength(node)));
    }
    return (mode == 1 && equal) || (mode == 2 && !equal) ? Match(0) : Fail();
}

bool ParserImp::BuildName(long record, std::string& name)
{
    long count = Int(record + 4);
    long at = record + 8;
    for (long i = 0; i < count; ++i) {
        std::string part(Bytes(at + 4), Int(at));
        at += 4 + Int(at);
        if (!part.empty() && part[0] == '"') {
            name += part.substr(1, part.size() >= 2 && part.back() == '"' ? part.size() - 2 : part.size() - 1);
        } else if (!part.empty() && part[0] == '#') {
            if (lastStart_ >= 0)
                name += RangeText(lastStart_, lastLength_);
        } else {
            long start, length;
            if (!FindRange(part, current_, start, length))
                return false;
            name += RangeText(start, length);
        }
    }
    return true;
}

// Symbols named by text built at parse time. The term-collecting selectors name no symbol:
// they try the terms that can come next.
void ParserImp::ExecBuiltSymbol(long index)
{
    Frame& f = frames_[index];
    if (f.state) {
        if (!ChildMatched())
            return Fail();
        tree_->SetLength(f.saved3, status_);
        return Match(LengthThroughChild(f));
    }
    f.state = 1;
    std::string name;
    long record = Int(f.instruction + 4);
    bool built = BuildName(record, name);
    long symbol = built ? context_->Resolve(grammarContext_, name.c_str()) : 0;
    if (Int(f.instruction) == QV_SYMBOLTEST)
        return symbol ? Match(0) : Fail();
    static const char* const kSelectors[] = {"QV_NEXT_TERM",       "QV_NEXT_SYNCH",       "QV_NEXT_LITERAL",
                                             "QV_NEXT_TERM_LOCAL", "QV_NEXT_SYNCH_LOCAL", "QV_NEXT_LITERAL_LOCAL"};
    long count = Int(record + 4);
    std::string firstPart = count > 0 ? std::string(Bytes(record + 12), Int(record + 8)) : std::string();
    for (long k = 0; k < 6; ++k) {
        if (firstPart != kSelectors[k])
            continue;
        std::vector<int32_t> terms;
        if (k < 2)
            CollectFollowingTerms(1L << k, terms);
        if (terms.empty())
            return Fail();
        termLists_.push_back(terms);
        long start = f.start;
        if (Push(termListInstruction_, start, 0, 0))
            frames_[current_].saved2 = static_cast<int32_t>(termLists_.size() - 1);
        return;
    }
    long rule = context_->GetValue(symbol);
    if (!symbol || !rule)
        return Fatal(kQVSymbolFunctionFailed, name);
    long start = f.start;
    f.saved3 = static_cast<int32_t>(tree_->AddNode(NearestNode(index), QV_NODE_CONTEXT, symbol, start, 0));
    Push(rule, start, 0, 0);
}

// A conjunction marked expected reports a missing item instead of failing: with expected-term
// reporting on, the item counts as matched empty; otherwise the text is skipped up to the next
// place where one of the remaining items can begin (resynchronisation).
void ParserImp::ConjunctionItemFailed(long index, long item, long position, long length)
{
    Frame& f = frames_[index];
    if (!(f.flags & kExpected))
        return Fail();
    long itemInstruction = Int(f.instruction + 8 + 4 * item);
    long n = Int(f.instruction + 4);
    if (resyncFrame_ >= 0)
        return Fail();
    if (f.settings.bits & kExpectedTerms) {
        RecordError(3, 0, nullptr, kQVExpectedTermNotFound, 0, position, 0, itemInstruction, 0);
        if (item + 1 >= n)
            return Match(length);
        Push(Int(f.instruction + 8 + 4 * (item + 1)), position, item + 1, length);
        return;
    }
    Push(resyncInstruction_, position, item, length, kResync);
    resyncFrame_ = current_;
    frames_[current_].saved1 = static_cast<int32_t>(item);
}

// Resynchronisation: from the failed item's start, skipping one more character each round,
// the conjunction's items from the expected one onward are tried in turn; the first that
// matches ends it, and the skipped text is reported.
void ParserImp::ExecResync(long index)
{
    resyncFrame_ = index;
    Frame& f = frames_[index];
    if (!f.state) {
        f.state = 1;
        f.saved2 = f.saved1 - 1;
        return ResyncNextCandidate(index);
    }
    if (!ChildMatched())
        return ResyncNextCandidate(index);
    const Frame& child = frames_[lastChild_];
    long found = child.pushedFor;
    long skipped = child.start - f.start;
    // A later item found where the expected one should have stood means only that one is
    // missing; anything skipped on the way is a synchronisation error.
    long code =
        found == f.saved1 ? kQVUnexpectedText : (skipped == 0 ? kQVExpectedTermNotFound : kQVSynchronizationError);
    f.saved3 = static_cast<int32_t>(found);
    long end = child.start + status_;
    long expecting =
        code == kQVExpectedTermNotFound ? Int(frames_[f.parent].instruction + 8 + 4 * f.saved1) : child.instruction;
    RecordError(3, 0, nullptr, code, 0, f.start, skipped > 0 ? skipped : 1, expecting, 0);
    Match(end - f.start);
}

// The next candidate that can begin at the next place: the items from the expected one on, at
// each skip length in turn. Whether an item can begin does not depend on the place, so a
// round in which no item can ends the search.
void ParserImp::ResyncNextCandidate(long index)
{
    Frame& f = frames_[index];
    long conjunction = frames_[f.parent].instruction;
    long n = Int(conjunction + 4);
    for (long refused = 0; refused <= n - f.saved1; ++refused) {
        long candidate = f.saved2 + 1;
        if (candidate >= n) {
            candidate = f.saved1;
            ++f.counter;
        }
        long position = f.start + f.counter;
        if (position >= size_)
            return Fail();
        f.saved2 = static_cast<int32_t>(candidate);
        long item = Int(conjunction + 8 + 4 * candidate);
        bool listed;
        if (IsResyncCandidate(index, item, listed)) {
            Push(item, position, candidate, 0);
            return;
        }
    }
    Fail();
}

// Whether an instruction is worth trying while resynchronising: a term listed in the
// first-term list of the sequence it belongs to, or an instruction that only wraps others.
// Nothing is, inside a flat symbol.
bool ParserImp::IsResyncCandidate(long parent, long instruction, bool& listed)
{
    listed = false;
    if (frames_[parent].settings.bits & kInFlat)
        return false;
    long owner = parent;
    while (owner >= 0 && Int(frames_[owner].instruction) != QV_CONJUNCTION)
        owner = frames_[owner].parent;
    if (owner >= 0 && InFirstTermList(frames_[owner].instruction, instruction)) {
        listed = true;
        return Int(instruction) != QV_SYMBOL || SymbolMayStart(parent, instruction);
    }
    switch (Int(instruction)) {
    case QV_CONJUNCTION:
    case QV_DISJUNCTION:
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH:
    case QV_ATTRIBUTES:
    case QV_WHITESPACE:
    case QV_TOKEN:
        return true;
    default:
        return false;
    }
}

// A listed symbol is tried only when it can run without a fatal error and is not already
// being tried further down, which would search the same text again inside itself.
bool ParserImp::SymbolMayStart(long parent, long instruction)
{
    long symbol = ResolveSymbol(instruction);
    if (!symbol)
        return Int(instruction + 4) == 1 && QVLookupPredefinedSymbol(context_->GetName(Int(instruction + 8))) >= 0;
    if (!context_->GetValue(symbol))
        return false;
    for (long i = parent; i >= 0; i = frames_[i].parent)
        if (frames_[i].symbol == symbol)
            return false;
    return true;
}

// The flags a frame pushed during resynchronisation starts with. Below a term found through a
// first-term list, and inside the space symbol, everything runs as usual.
int32_t ParserImp::ResyncAdmission(long parent, long instruction, int32_t extraFlags)
{
    const Frame& p = frames_[parent];
    if ((p.flags & kSynched) || (extraFlags & kSpaceFrame) || (p.settings.bits & kInSpace))
        return kSynched;
    bool listed;
    if (!IsResyncCandidate(parent, instruction, listed))
        return kRefused;
    return listed ? kSynched : 0;
}

// The terms that can come next, for the term-list instruction: every conjunction above the
// nearest symbol reference contributes the first terms of its items after the current one.
void ParserImp::CollectFollowingTerms(long selector, std::vector<int32_t>& terms)
{
    long child = current_;
    long index = current_ >= 0 ? frames_[current_].parent : -1;
    bool passedSymbol = false;
    for (long c = current_; c >= 0 && !passedSymbol; c = frames_[c].parent) {
        passedSymbol = Int(frames_[c].instruction) == QV_SYMBOL;
        child = c;
        index = frames_[c].parent;
    }
    for (; index >= 0; child = index, index = frames_[index].parent) {
        const Frame& f = frames_[index];
        if (Int(f.instruction) != QV_CONJUNCTION)
            continue;
        long n = Int(f.instruction + 4);
        long pushedFor = frames_[child].pushedFor;
        long next = (pushedFor & kSpacePhase) ? (pushedFor & (kSpacePhase - 1)) : pushedFor + 1;
        for (long item = next; item < n; ++item) {
            long instruction = Int(f.instruction + 8 + 4 * item);
            if (selector == 1)
                FirstTerms(instruction, terms, 0);
            else
                ListedTermsOfItem(f.instruction, item, terms);
            if (!MayMatchEmpty(instruction, 0))
                break;
        }
    }
}

// A first-term list pairs each term with the index of the item it begins.
long ParserImp::FirstTermList(long conjunction) const
{
    return format7_ ? Int(conjunction + 8 + 4 * Int(conjunction + 4)) : 0;
}

bool ParserImp::InFirstTermList(long conjunction, long instruction) const
{
    long list = FirstTermList(conjunction);
    for (long i = 0; list && i < Int(list + 4); ++i)
        if (Int(list + 8 + 8 * i) == instruction)
            return true;
    return false;
}

void ParserImp::ListedTermsOfItem(long conjunction, long item, std::vector<int32_t>& terms) const
{
    long list = FirstTermList(conjunction);
    for (long i = 0; list && i < Int(list + 4); ++i)
        if (Int(list + 12 + 8 * i) == item)
            terms.push_back(Int(list + 8 + 8 * i));
}

// The one instruction a wrapping instruction matches through; false for any other instruction.
bool ParserImp::WrappedBody(long instruction, long& body) const
{
    switch (Int(instruction)) {
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH:
        body = Int(instruction + 12);
        return true;
    case QV_ATTRIBUTES:
        body = Int(instruction + 8);
        return true;
    case QV_WHITESPACE:
    case QV_TOKEN:
        body = Int(instruction + 4);
        return true;
    default:
        return false;
    }
}

void ParserImp::FirstTerms(long instruction, std::vector<int32_t>& terms, int depth)
{
    long body;
    if (!instruction || depth > 64)
        return;
    if (WrappedBody(instruction, body))
        return FirstTerms(body, terms, depth + 1);
    switch (Int(instruction)) {
    case QV_SYMBOL: {
        long rule = context_->GetValue(ResolveSymbol(instruction));
        if (rule)
            FirstTerms(rule, terms, depth + 1);
        else
            terms.push_back(static_cast<int32_t>(instruction));
        return;
    }
    case QV_CONJUNCTION:
        for (long i = 0; i < Int(instruction + 4); ++i) {
            long item = Int(instruction + 8 + 4 * i);
            FirstTerms(item, terms, depth + 1);
            if (!MayMatchEmpty(item, depth + 1))
                return;
        }
        return;
    case QV_DISJUNCTION:
        for (long i = 0; i < Int(instruction + 4); ++i)
            FirstTerms(Int(instruction + 8 + 4 * i), terms, depth + 1);
        return;
    case QV_NULL:
    case QV_CONSTRAINT:
    case QV_TEST:
    case QV_PRODUCTION:
    case QV_BUILTSYMBOL:
    case QV_NOTTERM:
    case QV_SYMBOLTEST:
    case QV_POSITION:
        return;
    default:
        terms.push_back(static_cast<int32_t>(instruction));
        return;
    }
}

bool ParserImp::MayMatchEmpty(long instruction, int depth)
{
    long body;
    if (!instruction || depth > 64)
        return true;
    if (WrappedBody(instruction, body))
        return MayMatchEmpty(body, depth + 1);
    switch (Int(instruction)) {
    case QV_SYMBOL: {
        long rule = context_->GetValue(ResolveSymbol(instruction));
        return rule && MayMatchEmpty(rule, depth + 1);
    }
    case QV_CONJUNCTION:
        for (long i = 0; i < Int(instruction + 4); ++i)
            if (!MayMatchEmpty(Int(instruction + 8 + 4 * i), depth + 1))
                return false;
        return true;
    case QV_DISJUNCTION:
        for (long i = 0; i < Int(instruction + 4); ++i)
            if (MayMatchEmpty(Int(instruction + 8 + 4 * i), depth + 1))
                return true;
        return false;
    case QV_REPETITION:
        return Int(instruction + 4) == 0 || MayMatchEmpty(Int(instruction + 12), depth + 1);
    case QV_LITERAL:
        return Int(instruction + 4) == 0;
    case QV_NULL:
    case QV_CONSTRAINT:
    case QV_TEST:
    case QV_PRODUCTION:
    case QV_BUILTSYMBOL:
    case QV_NOTTERM:
    case QV_SYMBOLTEST:
    case QV_POSITION:
    case QV_SKIPTO:
        return true;
    default:
        return false;
    }
}

// Tries the collected terms in order at the frame's start; the first that matches gives the
// length. Coming back here on a failure tries the next one.
void ParserImp::ExecTermList(long index)
{
    Frame& f = frames_[index];
    if (f.state && ChildMatched())
        return Match(LengthThroughChild(f));
    long next = f.state ? f.counter + 1 : 0;
    f.state = 1;
    if (f.saved2 < 0 || f.saved2 >= static_cast<long>(termLists_.size()))
        return Fail();
    const std::vector<int32_t>& terms = termLists_[f.saved2];
    if (next >= static_cast<long>(terms.size()))
        return Fail();
    f.counter = static_cast<int32_t>(next);
    long start = f.start;
    Push(terms[next], start, next, 0);
}
