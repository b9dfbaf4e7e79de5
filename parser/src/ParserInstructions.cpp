// The parse engine's actions for the core instructions: symbols, sequences, choices,
// repetitions, literals and tokens, attributes, the root and the lookahead tests.
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

long ParserImp::WhitespaceSpan(const Settings& s, long position)
{
    const char* set = s.wsChars < 0 ? kDefaultWhitespace : Bytes(s.wsChars);
    long count = s.wsCount;
    if (count <= 0)
        return 0;
    long n = 0;
    for (char c; position + n < size_ && (c = reader_->FastCharAt(position + n)) != 0 && memchr(set, c, count); ++n) {
    }
    return n;
}

// Skips whitespace at position: characters directly, or by pushing the space symbol (then the
// caller continues when that frame returns). Returns true when a frame was pushed.
bool ParserImp::SkipWhitespace(long index, long position, long pushedFor, long parentSaved, long& after)
{
    const Settings& s = frames_[index].settings;
    if (s.spaceSymbol && !(s.bits & kInSpace)) {
        Push(s.spaceSymbol, position, pushedFor | kSpacePhase, parentSaved, kSpaceFrame);
        return true;
    }
    after = position + WhitespaceSpan(s, position);
    return false;
}

void ParserImp::ExecSymbol(long index)
{
    Frame& f = frames_[index];
    if (f.state)
        return ChildMatched() ? Match(LengthThroughChild(f)) : Fail();
    f.state = 1;
    if (f.symbol) {
        long rule = context_->GetValue(f.symbol);
        if (!rule) {
            char name[256];
            return Fatal(kQVUnresolvedSymbol, context_->BuildQualifiedName(f.symbol, 0, name, sizeof name));
        }
        long start = f.start;
        Push(rule, start, 0, 0);
        return;
    }
    long predefined = PredefinedAt(f.instruction);
    if (predefined < 0) {
        char name[256];
        return Fatal(kQVUnresolvedSymbol, QVGetInstructionName(*context_, f.instruction, name, sizeof name));
    }
    long error = 0;
    long length = reader_->ScanPredefined(predefined, f.start, f.budget, error);
    if (error)
        pendingCode_ = error;
    return length > 0 ? Match(length) : Fail();
}

void ParserImp::ExecConjunction(long index)
{
    long n = Int(frames_[index].instruction + 4);
    long itemsAt = frames_[index].instruction + 8;
    if (!frames_[index].state) {
        frames_[index].state = 1;
        if (n == 0)
            return Match(0);
        Push(Int(itemsAt), frames_[index].start, 0, 0);
        return;
    }
    if (lastChild_ < 0)
        return Fail();
    const Frame& child = frames_[lastChild_];
    const Frame& f = frames_[index];
    long item = child.pushedFor & (kSpacePhase - 1);
    if (child.flags & kResync) {
        if (status_ < 0) {
            // Nothing to resume at: the missing item is reported where the matched text ends.
            RecordError(3, 0, nullptr, kQVExpectedTermNotFound, 0, f.start + child.parentSaved, 0,
                        Int(itemsAt + 4 * child.saved1), 0);
            return Match(child.parentSaved);
        }
        item = child.saved3;
    }
    if (child.pushedFor & kSpacePhase) {
        Push(Int(itemsAt + 4 * item), ChildEnd(child, status_), item, child.parentSaved);
        return;
    }
    if (status_ < 0)
        return ConjunctionItemFailed(index, item, child.start, child.parentSaved);
    // An item that matched nothing leaves the length where the previous item ended, before
    // the whitespace that followed it.
    long position = child.start + status_;
    long length = status_ > 0 ? position - f.start : child.parentSaved;
    if (item + 1 >= n)
        return Match(length);
    long next = item + 1;
    long after = position;
    if (status_ > 0 && SkipWhitespace(index, position, next, length, after))
        return;
    Push(Int(itemsAt + 4 * next), after, next, length);
}

void ParserImp::ExecDisjunction(long index)
{
    Frame& f = frames_[index];
    long n = Int(f.instruction + 4);
    if (f.state && ChildMatched()) {
        f.counter = frames_[lastChild_].pushedFor;
        return Match(LengthThroughChild(f));
    }
    long next = f.state ? f.counter + 1 : 0;
    f.state = 1;
    if (next >= n)
        return Fail();
    f.counter = static_cast<int32_t>(next);
    long alternative = Int(f.instruction + 8 + 4 * next);
    long start = f.start;
    Push(alternative, start, next, 0);
}

void ParserImp::ExecRepetition(long index)
{
    Frame& f = frames_[index];
    long item = Int(f.instruction + 12);
    if (!f.state) {
        f.state = 1;
        f.saved2 = static_cast<int32_t>(tree_->Count());
        long start = f.start;
        Push(item, start, kItem, 0);
        return;
    }
    if (lastChild_ < 0)
        return Fail();
    const Frame& child = frames_[lastChild_];
    long phase = child.pushedFor & 0xF;
    long count = (child.pushedFor & (kSpacePhase - 1)) >> 4;
    long length = child.parentSaved;
    if (child.pushedFor & kSpacePhase) {
        long position = ChildEnd(child, status_);
        if (phase == kAfterItem)
            return RepetitionAfterItem(index, position, count, length);
        if (position - f.start >= f.budget)
            return RepetitionFinish(index, length);
        Push(item, position, kItem | (count << 4), length);
        return;
    }
    if (status_ < 0)
        return RepetitionFinish(index, length);
    if (phase == kItem) {
        count += 1;
        f.counter = static_cast<int32_t>(count);
        if (status_ > 0 || count == 1)
            length = child.start - f.start + status_;
        f.saved1 = static_cast<int32_t>(length);
        f.saved2 = static_cast<int32_t>(tree_->Count());
        f.saved3 = static_cast<int32_t>(status_);
        long max = Int(f.instruction + 8);
        if (max && count >= max)
            return RepetitionFinish(index, length);
        long after;
        if (SkipWhitespace(index, f.start + length, kAfterItem | (count << 4), length, after))
            return;
        return RepetitionAfterItem(index, after, count, length);
    }
    // A separator matched.
    if (!(f.settings.bits & kKeepSeparators))
        tree_->CutBack(child.treeMark);
    if (status_ == 0 && f.saved3 == 0)
        return RepetitionFinish(index, length);
    long after;
    if (SkipWhitespace(index, child.start + status_, kAfterSeparator | (count << 4), length, after))
        return;
    if (after - f.start >= f.budget)
        return RepetitionFinish(index, length);
    Push(item, after, kItem | (count << 4), length);
}

void ParserImp::RepetitionAfterItem(long index, long position, long count, long length)
{
    const Frame& f = frames_[index];
    long separator = Int(f.instruction + 16);
    bool budgetUsed = position - f.start >= f.budget;
    if (budgetUsed || (!separator && f.saved3 == 0))
        return RepetitionFinish(index, length);
    long next = separator ? separator : Int(f.instruction + 12);
    Push(next, position, (separator ? kSeparator : kItem) | (count << 4), length);
}

void ParserImp::RepetitionFinish(long index, long length)
{
    Frame& f = frames_[index];
    if (f.counter < Int(f.instruction + 4))
        return Fail();
    tree_->CutBack(f.saved2);
    Match(f.counter ? length : 0);
}

void ParserImp::ExecSkipTo(long index)
{
    Frame& f = frames_[index];
    long target = Int(f.instruction + 4);
    long budget = f.budget;
    if (!target)
        return Match(budget);
    int32_t op = Int(target);
    bool caseSensitive = CaseSensitive(f.settings);
    bool delimiter = DelimiterCheck(f.settings);
    long error = 0;
    if (op == QV_LITERAL) {
        long n = Int(target + 4);
        long at = reader_->FindLiteral(Bytes(target + 8), n, f.start, budget, caseSensitive, delimiter, error);
        return Match(at < 0 ? budget : at - f.start);
    }
    if (op == QV_STRINGLIST) {
        for (long at = f.start; at < f.start + budget; ++at)
            if (reader_->MatchStringList(Bytes(target + 4), at, f.start + budget - at, 0, caseSensitive, delimiter,
                                         error) > 0)
                return Match(at - f.start);
        return Match(budget);
    }
    if (f.state && ChildMatched()) {
        tree_->CutBack(frames_[lastChild_].treeMark);
        return Match(f.counter);
    }
    long offset = f.state ? f.counter + 1 : 0;
    f.state = 1;
    if (offset >= budget)
        return Match(budget);
    f.counter = static_cast<int32_t>(offset);
    long start = f.start;
    Push(target, start + offset, 0, 0);
}

// The token symbol, when one is in force, must match first; its length is cached per start.
bool ParserImp::TokenLength(long index, long& tokenLength)
{
    Frame& f = frames_[index];
    tokenLength = 0;
    if (!f.settings.token)
        return true;
    if (f.state && lastChild_ >= 0) {
        if (status_ < 0)
            return false;
        tokenLength = status_;
        return true;
    }
    if (tokenStart_ == f.start && tokenInstruction_ == f.settings.token) {
        tokenLength = tokenLength_;
        return true;
    }
    f.state = 1;
    long start = f.start;
    Push(f.settings.token, start, 0, 0, kTokenFrame);
    return false;
}

void ParserImp::ExecLiteral(long index)
{
    long tokenLength = 0;
    if (!TokenLength(index, tokenLength)) {
        if (status_ != -2)
            Fail();
        return;
    }
    const Frame& f = frames_[index];
    bool caseSensitive = CaseSensitive(f.settings);
    bool delimiter = DelimiterCheck(f.settings);
    long error = 0;
    if (Int(f.instruction) == QV_STRINGLIST) {
        long length = reader_->MatchStringList(Bytes(f.instruction + 4), f.start, f.budget, tokenLength, caseSensitive,
                                               delimiter, error);
        if (error)
            pendingCode_ = error;
        return length > 0 ? Match(length) : Fail();
    }
    long n = Int(f.instruction + 4);
    if ((tokenLength > 0 && tokenLength != n) || n > f.budget)
        return Fail();
    if (n == 0)
        return Match(0);
    long length = reader_->MatchLiteral(Bytes(f.instruction + 8), n, f.start, caseSensitive, delimiter, error);
    if (error)
        pendingCode_ = error;
    return length == n ? Match(n) : Fail();
}

void ParserImp::ExecCharRange(long index)
{
    const Frame& f = frames_[index];
    if (f.start >= size_ || f.budget < 1)
        return Fail();
    unsigned char c = static_cast<unsigned char>(reader_->FastCharAt(f.start));
    unsigned char low = static_cast<unsigned char>(Bytes(f.instruction + 4)[0]);
    unsigned char high = static_cast<unsigned char>(Bytes(f.instruction + 5)[0]);
    if (!CaseSensitive(f.settings)) {
        c = kFold[c];
        low = kFold[low];
        high = kFold[high];
    }
    return low <= c && c <= high ? Match(1) : Fail();
}

void ParserImp::ExecLength(long index)
{
    const long instruction = frames_[index].instruction;
    long length;
    if (BodyMatched(index, Int(instruction + 12), length))
        length < Int(instruction + 4) ? Fail() : Match(length);
}

// For a frame that wraps one body: the first visit pushes the body; on the way back, whether the
// body matched (a failed body fails the frame) and the length through it.
bool ParserImp::BodyMatched(long index, long body, long& length)
{
    if (!frames_[index].state) {
        ExecBody(index, body);
        return false;
    }
    if (!ChildMatched()) {
        Fail();
        return false;
    }
    length = LengthThroughChild(frames_[index]);
    return true;
}

void ParserImp::ExecBody(long index, long body)
{
    Frame& f = frames_[index];
    if (f.state)
        return ChildMatched() ? Match(LengthThroughChild(f)) : Fail();
    f.state = 1;
    if (!body)
        return Match(0);
    long start = f.start;
    Push(body, start, 0, 0);
}

void ParserImp::ExecAttributes(long index)
{
    Frame& f = frames_[index];
    int32_t flags = Int(f.instruction + 4);
    if (flags & QVA_OUTSIDE)
        return ExecOutside(index);
    ExecBody(index, Int(f.instruction + 8));
    // A flat symbol keeps only its own node, but an error recorded inside it is still an error.
    if (status_ >= 0 && (flags & QVA_FLAT))
        KeepErrorNodes(frames_[index].treeMark);
}

bool ParserImp::CurrentIsPendingOutside() const
{
    if (current_ < 0)
        return false;
    const Frame& f = frames_[current_];
    return Int(f.instruction) == QV_ATTRIBUTES && (Int(f.instruction + 4) & QVA_OUTSIDE) && !(f.flags & kEntered);
}

void ParserImp::MarkCurrentEntered()
{
    if (current_ >= 0) {
        frames_[current_].flags |= kEntered;
        outsideResult_ = -1;
    }
}

// An outside symbol's match comes from the caller: through the interface (which paused
// before this frame) or from a handler registered on the grammar.
void ParserImp::ExecOutside(long index)
{
    Frame& f = frames_[index];
    long result;
    if (f.flags & kEntered) {
        result = outsideResult_;
    } else {
        long symbol = f.parent >= 0 ? frames_[f.parent].symbol : 0;
        QVOutsideSymbolHandler* handler = nullptr;
        PtrArray& list = context_->outsideSymbols;
        for (long i = 0; i < list.GetSize() && !handler; ++i) {
            auto* entry = static_cast<GrammarContext::OutsideEntry*>(list.GetAt(i));
            if (entry->symbol == symbol || entry->symbol == 0)
                handler = entry->handler;
        }
        if (!handler)
            return Fatal(kQVExternalNotRegistered, std::string());
        stream_->Seek(f.start);
        char whitespace[64] = {};
        if (f.settings.wsChars < 0)
            strcpy(whitespace, kDefaultWhitespace);
        else
            memcpy(whitespace, Bytes(f.settings.wsChars), f.settings.wsCount < 63 ? f.settings.wsCount : 63);
        result = handler->Match(symbol, stream_, f.budget, CaseSensitive(f.settings) ? 1 : 0, whitespace,
                                EventListenerFor(symbol));
    }
    if (result < -1)
        return Fatal(kQVParseAborted, std::string());
    return result >= 0 ? Match(result) : Fail();
}

// The listener an outside symbol's handler reports its events to: the first registered for
// that symbol or for every symbol.
QVEventListener* ParserImp::EventListenerFor(long symbol) const
{
    PtrArray& list = context_->eventListeners;
    for (long i = 0; i < list.GetSize(); ++i) {
        auto* entry = static_cast<GrammarContext::EventEntry*>(list.GetAt(i));
        if (entry->symbol == symbol || entry->symbol == 0)
            return entry->listener;
    }
    return nullptr;
}

void ParserImp::ExecNotChar(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    SetTop(index + 1);
    tree_->CutBack(f.node ? f.node + 1 : f.treeMark);
    bool itemFailed = !ChildMatched();
    return itemFailed && f.budget >= 1 && f.start < size_ ? Match(1) : Fail();
}

void ParserImp::ExecNotTerm(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    SetTop(index + 1);
    tree_->CutBack(f.treeMark);
    bool itemFailed = !ChildMatched();
    return itemFailed ? Match(0) : Fail();
}

void ParserImp::ExecProduction(long index)
{
    Frame& f = frames_[index];
    if (f.state) {
        bool exact = ChildMatched() && status_ == f.saved1;
        SetTop(index + 1);
        tree_->CutBack(f.treeMark);
        long mode = Int(f.instruction + 12);
        if (lastChild_ >= 0 && ((mode == 1 && exact) || (mode == 2 && !exact)))
            return Match(0);
        // A refusal is reported where the refused text begins.
        f.start = f.saved2;
        return Fail();
    }
    f.state = 1;
    long n = Int(f.instruction + 4);
    std::string text(Bytes(f.instruction + 16), n);
    long start, length;
    if (strcasecmp(text.c_str(), "#VALUE") == 0) {
        start = lastStart_;
        length = lastLength_;
    } else {
        long node = tree_->FindNode(text.c_str(), GetNodeFromContext(index));
        start = node ? tree_->GetNodeStart(node) : -1;
        length = node ? tree_->GetNodeLength(node) : -1;
    }
    if (start < 0 || length < 0)
        return Fail();
    frames_[index].saved1 = static_cast<int32_t>(length);
    frames_[index].saved2 = static_cast<int32_t>(start);
    if (Push(Int(f.instruction + 8), start, 0, 0))
        frames_[current_].budget = static_cast<int32_t>(length);
}

void ParserImp::ExecPosition(long index)
{
    Frame& f = frames_[index];
    switch (Int(f.instruction + 4)) {
    case QVP_EXPECTED:
        if (f.parent >= 0)
            frames_[f.parent].flags |= kExpected;
        return Match(0);
    case QVP_LINE_START:
        if (f.start == 0 || (eolContext_ && eolEnd_ == f.start))
            return Match(0);
        return !eolContext_ && f.start >= 2 && reader_->CharAt(f.start - 2) == '\r' &&
                       reader_->CharAt(f.start - 1) == '\n'
                   ? Match(0)
                   : Fail();
    case QVP_LINE_END:
        return reader_->CharAt(f.start) == '\r' && reader_->CharAt(f.start + 1) == '\n' ? Match(0) : Fail();
    case QVP_END_OF_INPUT:
        return f.start >= size_ ? Match(0) : Fail();
    default:
        return Fail();
    }
}

void ParserImp::ExecError(long index)
{
    long length;
    if (!BodyMatched(index, Int(frames_[index].instruction + 4), length))
        return;
    const Frame& f = frames_[index];
    long message = Int(f.instruction + 8);
    std::string text = message ? std::string(Bytes(message + 8), Int(message + 4)) : std::string();
    long saved = current_;
    RecordError(3, 0, text.c_str(), kQVUserParseError, 0, lastStart_ < 0 ? f.start : lastStart_,
                lastLength_ < 0 ? 0 : lastLength_, f.instruction, 0);
    current_ = saved;
    Match(length);
}

void ParserImp::ExecRoot(long index)
{
    Frame& f = frames_[index];
    if (!f.state) {
        f.state = 1;
        long after;
        if (SkipWhitespace(index, 0, kLeadingSpace, 0, after))
            return;
        return RootRule(index, after);
    }
    const Frame& child = lastChild_ >= 0 ? frames_[lastChild_] : f;
    long phase = child.pushedFor & 0xF;
    if (lastChild_ < 0)
        return RootFail(index, startRuleMatched_ ? kQVUnrecoverableParseError : kQVParseFailed);
    switch (phase) {
    case kLeadingSpace:
        return RootRule(index, ChildEnd(child, status_));
    case kStartRule: {
        if (status_ < 0)
            return RootFail(index, kQVParseFailed);
        startRuleMatched_ = true;
        tree_->SetLength(startContextNode_, status_);
        long end = child.start + status_;
        long after;
        if (SkipWhitespace(index, end, kTrailingSpace, end, after))
            return;
        return RootAfterRule(after);
    }
    case kTrailingSpace:
        return RootAfterRule(ChildEnd(child, status_));
    default:
        if (status_ < 0)
            return RootFail(index, kQVUnrecoverableParseError);
        return Match(child.start);
    }
}

void ParserImp::RootRule(long index, long position)
{
    if (!startRule_) {
        char name[256];
        return Fatal(kQVUnresolvedSymbol, context_->BuildQualifiedName(startContext_, 0, name, sizeof name));
    }
    if (!startContextNode_)
        startContextNode_ = tree_->AddNode(frames_[index].node, QV_NODE_CONTEXT, startContext_, position, 0);
    Push(startRule_, position, kStartRule, 0);
}

void ParserImp::RootAfterRule(long position)
{
    if (!(flags_ & 1))
        return Match(position);
    Push(eofInstruction_, position, kEndOfInput, 0);
}

void ParserImp::RootFail(long index, long code)
{
    if (furthestCode_)
        code = furthestCode_;
    long position = furthestPos_ < 0 ? 0 : furthestPos_;
    long saved = current_;
    current_ = index;
    RecordError(2, 0, nullptr, code, 0, position, position < size_ ? 1 : 0, furthestInstruction_, 0);
    current_ = saved;
    Match(0);
}
