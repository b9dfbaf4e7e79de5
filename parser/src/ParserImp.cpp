#include "qvrn/ParserImp.h"

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

namespace {

// Settings bits.
const uint16_t kCase = 0x1;
const uint16_t kLiteralNodes = 0x2;
const uint16_t kRepetitionNodes = 0x4;
const uint16_t kKeepSeparators = 0x8;
const uint16_t kBacktrack = 0x10;
const uint16_t kExpectedTerms = 0x20;
const uint16_t kInSpace = 0x40;
const uint16_t kInToken = 0x80;
const uint16_t kInFlat = 0x100;

const char kDefaultWhitespace[] = "\r\n\t ";

// What a child frame was pushed for: the low bits name the phase, the rest carry a count.
const long kSpacePhase = 1L << 30;
enum RepetitionPhase { kItem = 1, kAfterItem = 2, kSeparator = 3, kAfterSeparator = 4 };
enum RootPhase { kLeadingSpace = 1, kStartRule = 2, kTrailingSpace = 3, kEndOfInput = 4 };

// Steps allowed per input character before a hopeless parse is given up; ordinary input
// needs a small fraction of this. Once the whole input has failed to parse a first time, the
// search through earlier choices gets a smaller allowance: it rarely finds another parse, and
// after a syntax error in a long script it would otherwise try alternatives for a long time.
const long kStepsPerCharacter = 2000;
const long kMinimumSteps = 4000000;
const long kRetryStepsPerCharacter = 50;
const long kMinimumRetrySteps = 1000000;

int32_t Clamp(long value) { return value < 0 ? 0 : static_cast<int32_t>(value); }

// Lower case of every byte in the C locale, for case-folded character ranges.
struct FoldTable {
    unsigned char map[256];
    FoldTable()
    {
        for (int c = 0; c < 256; ++c)
            map[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    unsigned char operator[](unsigned char c) const { return map[c]; }
};
const FoldTable kFold;

} // namespace

ParserImp* ParserImp::CreateNew(QuorvaneAPI* api) { return new (std::nothrow) ParserImp(api); }

void ParserImp::Delete(ParserImp* parser) { delete parser; }

ParserImp::~ParserImp()
{
    Cleanup();
    delete tree_;
}

void ParserImp::Cleanup()
{
    free(frames_);
    frames_ = nullptr;
    capacity_ = top_ = 0;
    choices_.clear();
    current_ = -1;
    delete reader_;
    reader_ = nullptr;
    if (context_ && byteCodeLength_)
        context_->TruncateByteCode(byteCodeLength_);
    byteCodeLength_ = 0;
}

const ParserImp::Frame* ParserImp::GetFrameAt(long index) const
{
    return index >= 0 && index < top_ ? &frames_[index] : nullptr;
}

QVParseTree* ParserImp::GetTree() { return tree_; }

bool ParserImp::CaseSensitive(const Settings& s) const { return (s.bits & kCase) != 0; }

// Keywords need a delimiter only where whitespace separates items and no token rules.
bool ParserImp::DelimiterCheck(const Settings& s) const
{
    if (s.token || (s.bits & kInToken))
        return false;
    return s.wsCount > 0 || (s.spaceSymbol && !(s.bits & kInSpace));
}

long ParserImp::StartParse(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags)
{
    grammar_ = grammar;
    flags_ = flags;
    status_ = -1;
    steps_ = 0;
    furthestPos_ = -1;
    lastStart_ = lastLength_ = -1;
    fatal_ = false;
    if (!grammar || !stream) {
        RecordError(1, 0, nullptr, 1001, 0, 0, 0, 0, 0);
        return -1;
    }
    context_ = static_cast<GrammarImp*>(grammar)->GetContext();
    byteCodeLength_ = context_->GetByteCodeLength();
    stream_ = stream;
    size_ = stream->GetSize();
    stepLimit_ = kMinimumSteps + kStepsPerCharacter * size_;
    frames_ = static_cast<Frame*>(malloc(sizeof(Frame) * 8192));
    capacity_ = frames_ ? 8192 : 0;
    reader_ = QVInputReader::Create(stream);
    tree_ = ParseTreeImp::CreateNew();
    if (!frames_ || !reader_ || !tree_) {
        RecordError(1, 0, nullptr, 1250, 0, 0, 0, 0, 0);
        return -1;
    }
    tree_->Initialize(grammar, stream);

    startContext_ = startName && *startName ? context_->Resolve(1, startName) : 0;
    if (!startContext_ && startName && *startName)
        startContext_ = context_->Resolve(0, startName);
    if (!startContext_ && !(startName && *startName))
        startContext_ = context_->GetDefaultStartRule();
    if (!startContext_) {
        RecordError(1, 0, nullptr, 1008, 0, 0, 0, 0, 0);
        return -1;
    }
    grammarContext_ = context_->FindSuperContext(startContext_);
    startRule_ = context_->GetValue(startContext_);

    auto special = [&](const char* name, long from) { return context_->GetValue(context_->Resolve(from, name)); };
    auto appendDefault = [&](std::initializer_list<int32_t> words) {
        int32_t code[4] = {};
        long n = 0;
        for (int32_t w : words)
            code[n++] = w;
        return context_->AppendByteCode(code, sizeof code);
    };
    long root = special("<START>", 0);
    rootInstruction_ = root ? root : appendDefault({QV_ROOT, 0, 0, 0});
    long error = special("<ERROR>", 0);
    errorInstruction_ = error ? error : appendDefault({QV_ERROR, 0, 0, 0});
    long eof = special("<EOF>", 0);
    eofInstruction_ = eof ? eof : appendDefault({QV_POSITION, QVP_END_OF_INPUT, 0, 0});
    long termList = special("<TERMLIST>", 0);
    termListInstruction_ = termList ? termList : appendDefault({QV_TERMLIST, 0, 0, 0});
    long resync = special("<SYNCHRONIZING>", 0);
    resyncInstruction_ = resync ? resync : appendDefault({QV_RESYNC, 0, 0, 0});
    tree_->SetDefaultInstructions(root ? -1 : rootInstruction_, error ? -1 : errorInstruction_);
    if (!rootInstruction_ || !errorInstruction_ || !eofInstruction_ || !resyncInstruction_ || !termListInstruction_) {
        RecordError(1, 0, nullptr, 1250, 0, 0, 0, 0, 0);
        return -1;
    }
    // The byte code no longer moves: instructions are read through one pointer from here on.
    code_ = context_->GetByteCode();
    symbolCache_.assign(context_->GetByteCodeLength(), -1);

    rootSettings_ = Settings{-1, 4, static_cast<uint16_t>(kCase | kLiteralNodes | kRepetitionNodes | kBacktrack), 0, 0};
    for (const char* name : {"<SPACE>", "<TOKEN>", "<ATTRS>"}) {
        long offset = special(name, grammarContext_);
        if (offset) {
            Frame scratch = {};
            scratch.instruction = static_cast<int32_t>(offset);
            scratch.settings = rootSettings_;
            ApplyEntry(scratch);
            rootSettings_ = scratch.settings;
        }
    }
    BuildSymbolCache();
    eolContext_ = context_->Resolve(grammarContext_, "EOL");
    hasListeners_ = static_cast<GrammarImp*>(grammar)->GetContext()->eventListeners.GetSize() > 0;
    if (!Push(rootInstruction_, 0, 0, 0))
        return -1;
    return -2;
}

bool ParserImp::Push(long instruction, long position, long pushedFor, long parentSaved, int32_t extraFlags)
{
    if (top_ == capacity_) {
        Frame* grown = capacity_ < kMaxFrames ? static_cast<Frame*>(realloc(frames_, sizeof(Frame) * capacity_ * 2))
                                              : nullptr;
        if (!grown) {
            RecordError(0, 0, nullptr, 1004, 0, position, 0, instruction, 0);
            fatal_ = true;
            status_ = -1;
            current_ = -1;
            return false;
        }
        frames_ = grown;
        capacity_ *= 2;
    }
    Frame& f = frames_[top_];
    f = Frame{};
    f.instruction = static_cast<int32_t>(instruction);
    f.start = static_cast<int32_t>(position);
    f.parent = static_cast<int32_t>(current_);
    f.treeMark = static_cast<int32_t>(tree_->Count());
    f.pushedFor = static_cast<int32_t>(pushedFor);
    f.parentSaved = static_cast<int32_t>(parentSaved);
    f.flags = extraFlags;
    if (current_ >= 0) {
        const Frame& p = frames_[current_];
        f.budget = Clamp(p.budget - (position - p.start));
        f.settings = p.settings;
        f.attach = static_cast<int32_t>(NearestNode(current_));
    } else {
        f.budget = static_cast<int32_t>(size_);
        f.settings = rootSettings_;
    }
    if (extraFlags & kSpaceFrame) {
        f.settings.bits |= kInSpace;
        f.settings.wsCount = 0;
        f.settings.spaceSymbol = 0;
    }
    if (extraFlags & kTokenFrame) {
        f.settings.bits |= kInToken;
        f.settings.token = 0;
    }
    if (f.settings.bits & kBacktrack)
        f.flags |= kChoice;
    if ((f.flags & kChoice) && Int(instruction) == QV_DISJUNCTION)
        choices_.push_back(static_cast<int32_t>(top_));
    current_ = top_++;
    ApplyEntry(f);
    if (MakesNode(f))
        f.node = static_cast<int32_t>(tree_->AddNode(f.attach, instruction, f.symbol, position, 0));
    eventType_ = 1;
    eventSymbol_ = f.symbol;
    eventInstruction_ = instruction;
    eventFrame_ = current_;
    if (hasListeners_)
        NotifyListeners(current_, 1);
    status_ = -2;
    return true;
}

// The effects an instruction has on the settings (and on its enclosing node) when entered.
void ParserImp::ApplyEntry(Frame& f)
{
    Settings& s = f.settings;
    switch (Int(f.instruction)) {
    case QV_SYMBOL:
        f.symbol = static_cast<int32_t>(ResolveSymbol(f.instruction));
        break;
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH: {
        int32_t max = Int(f.instruction) == QV_LENGTH ? Int(f.instruction + 8) : Expression(Int(f.instruction + 8), f.parent);
        if (max >= 0 && max < f.budget)
            f.budget = max;
        break;
    }
    case QV_ATTRIBUTES: {
        int32_t a = Int(f.instruction + 4);
        auto pair = [&](int32_t on, int32_t off, uint16_t bit) {
            if (a & on)
                s.bits |= bit;
            if (a & off)
                s.bits &= ~bit;
        };
        pair(QVA_CASE, QVA_NOCASE, kCase);
        pair(QVA_LITERAL_NODES, QVA_NO_LITERAL_NODES, kLiteralNodes);
        pair(QVA_REPETITION_NODES, QVA_NO_REPETITION_NODES, kRepetitionNodes);
        pair(QVA_KEEP_SEPARATORS, QVA_DROP_SEPARATORS, kKeepSeparators);
        pair(QVA_BACKTRACK, QVA_NO_BACKTRACK, kBacktrack);
        pair(QVA_EXPECTED_TERMS, QVA_NO_EXPECTED_TERMS, kExpectedTerms);
        if (a & QVA_FLAT) {
            s.bits |= kInFlat;
            if (!(a & QVA_BACKTRACK))
                s.bits &= ~kBacktrack;
        }
        if ((a & QVA_HIDDEN) && f.parent >= 0) {
            Frame& p = frames_[f.parent];
            if (p.node && p.node == tree_->Count() - 1) {
                tree_->CutBack(p.node);
                p.node = 0;
                f.attach = p.attach;
                f.treeMark = static_cast<int32_t>(tree_->Count());
            }
        }
        break;
    }
    case QV_WHITESPACE: {
        int32_t n = Int(f.instruction + 8);
        if (n == -1) {
            s.wsCount = 0;
            s.spaceSymbol = Int(f.instruction + 12);
        } else {
            s.wsChars = f.instruction + 12;
            s.wsCount = static_cast<int16_t>(n > 0x7FFF ? 0x7FFF : n);
            s.spaceSymbol = 0;
        }
        s.bits &= ~kInSpace;
        break;
    }
    case QV_TOKEN: {
        int32_t token = Int(f.instruction + 8);
        s.token = token == QV_TOKEN_NONE ? 0 : token;
        break;
    }
    default:
        break;
    }
}

bool ParserImp::MakesNode(const Frame& f) const
{
    switch (Int(f.instruction)) {
    case QV_SYMBOL: return Int(f.instruction + 4) == 1;
    case QV_REPETITION: return (f.settings.bits & kRepetitionNodes) != 0;
    case QV_LITERAL:
    case QV_STRINGLIST: return (f.settings.bits & kLiteralNodes) != 0;
    case QV_SKIPTO:
    case QV_CHARRANGE:
    case QV_NOTCHAR:
    case QV_ROOT: return true;
    default: return false;
    }
}

// The node new nodes attach to: that of the nearest frame with one. Inside the root frame
// the start context's node takes that place once it exists.
long ParserImp::NearestNode(long frame) const
{
    if (frame < 0)
        return 0;
    if (frame == 0 && startContextNode_)
        return startContextNode_;
    return frames_[frame].node ? frames_[frame].node : frames_[frame].attach;
}

long ParserImp::GetNodeFromContext(long frame)
{
    long node = NearestNode(frame);
    if (!node)
        return 0;
    long last = 0;
    for (long child = tree_->GetChild(node, 0); child; child = tree_->GetNextSibling(child))
        last = child;
    return last ? last : node;
}

// Every symbol reference reachable from a rule is resolved where that rule is defined. With
// several inheritance entries a name found through one counts only when that entry's context
// and the rule's are related.
void ParserImp::BuildSymbolCache()
{
    bool format7 = context_->GetFormat() == 7;
    std::vector<char> seen(context_->GetByteCodeLength(), 0);
    for (long ctx = 2; ctx < context_->GetContextCount(); ++ctx) {
        long rule = context_->GetValue(ctx);
        if (!rule || !context_->IsKind(ctx, "symbol"))
            continue;
        long definedIn = context_->FindSuperContext(ctx);
        std::vector<long> pending{rule};
        while (!pending.empty()) {
            long at = pending.back();
            pending.pop_back();
            if (seen[at])
                continue;
            seen[at] = 1;
            if (Int(at) == QV_SYMBOL && symbolCache_[at] < 0) {
                long n = Int(at + 4);
                long ids[128];
                for (long i = 0; i < n && i < 128; ++i)
                    ids[i] = Int(at + 8 + 4 * i);
                long found = context_->Resolve(definedIn, ids, n);
                long list = context_->GetContext(definedIn).parentList;
                bool related = !found || list <= 0 || context_->GetParentList(list).count < 2 ||
                               found == definedIn || context_->IsAncestor(definedIn, found) ||
                               context_->IsAncestor(context_->FindSuperContext(found), definedIn) ||
                               context_->FindSuperContext(found) == definedIn;
                if (found && related)
                    symbolCache_[at] = static_cast<int32_t>(found);
            }
            for (long target : QVInstructionTargets(code_, at, format7))
                pending.push_back(target);
        }
    }
}

long ParserImp::ResolveSymbol(long offset)
{
    if (symbolCache_[offset] >= 0)
        return symbolCache_[offset];
    long n = Int(offset + 4);
    long ids[128];
    for (long i = 0; i < n && i < 128; ++i)
        ids[i] = Int(offset + 8 + 4 * i);
    long ctx = context_->Resolve(grammarContext_, ids, n);
    if (!ctx && grammarContext_ != 1)
        ctx = context_->Resolve(1, ids, n);
    symbolCache_[offset] = static_cast<int32_t>(ctx);
    return ctx;
}

long ParserImp::Step()
{
    if (current_ < 0)
        return status_;
    if (++steps_ > stepLimit_) {
        GiveUp();
        return current_ < 0 ? status_ : -2;
    }
    pendingCode_ = 0;
    long index = current_;
    Execute(index);
    if (fatal_)
        return -1;
    if (status_ != -2) {
        if (status_ >= 0 && status_ > frames_[index].budget)
            status_ = -1;
        Finish(index);
    }
    QVYieldListener* yield = context_->yieldListener;
    if (yield && yield->interval > 0 && steps_ % yield->interval == 0 && yield->OnYield(steps_, this) != 0) {
        RecordError(1, 0, nullptr, 1099, 0, 0, 0, 0, 0);
        fatal_ = true;
        status_ = -1;
        current_ = -1;
        return -1;
    }
    return current_ < 0 ? status_ : -2;
}

void ParserImp::Finish(long index)
{
    Frame& f = frames_[index];
    long status = status_;
    if (status >= 0) {
        f.length = static_cast<int32_t>(status);
        if (f.node) {
            tree_->SetLength(f.node, status);
            if (status == 0 && index != 0) {
                KeepErrorNodes(f.node);
                f.node = 0;
            }
        }
        if (hasListeners_) {
            NotifyListeners(index, 2);
            status = status_;
        }
    }
    if (status >= 0) {
        eventType_ = 2;
        if (status > 0) {
            lastStart_ = f.start;
            lastLength_ = status;
            if (f.flags & kTokenFrame) {
                tokenStart_ = f.start;
                tokenInstruction_ = f.instruction;
                tokenLength_ = status;
            }
            if (eolContext_ && f.symbol == eolContext_)
                eolEnd_ = f.start + status;
        }
        if (f.start + status > furthestEnd_) {
            furthestEnd_ = f.start + status;
            if (hasListeners_)
                NotifyPositionListeners(f.start, status);
        }
    } else {
        tree_->CutBack(f.treeMark);
        if (f.parent == 0 && f.instruction == eofInstruction_ && !retrying_) {
            retrying_ = true;
            long allowance = steps_ + kMinimumRetrySteps + kRetryStepsPerCharacter * size_;
            if (allowance < stepLimit_)
                stepLimit_ = allowance;
        }
        if (f.start > furthestPos_ || (f.start == furthestPos_ && f.symbol)) {
            // An enclosing symbol failing at the same place keeps the more precise code.
            if (pendingCode_ || f.start > furthestPos_)
                furthestCode_ = pendingCode_;
            furthestPos_ = f.start;
            furthestInstruction_ = f.instruction;
            furthestStep_ = steps_;
        } else if (f.start == furthestPos_ && pendingCode_) {
            furthestCode_ = pendingCode_;
        }
        eventType_ = 4;
        if (hasListeners_)
            NotifyListeners(index, 4);
    }
    eventSymbol_ = f.symbol;
    eventInstruction_ = f.instruction;
    eventFrame_ = index;
    Move(index, status);
}

// Where control goes once a frame has finished: back to its parent, or, on a failure, into
// the nearest frame above the parent that can try another way.
void ParserImp::Move(long index, long status)
{
    const Frame& f = frames_[index];
    long parent = f.parent;
    lastChild_ = index;
    status_ = status;
    if (parent < 0) {
        current_ = -1;
        return;
    }
    if (index == resyncFrame_)
        resyncFrame_ = -1;
    if (!(f.settings.bits & kBacktrack) || (resyncFrame_ >= 0 && resyncFrame_ < index)) {
        SetTop(index);
        current_ = parent;
        return;
    }
    if (status >= 0) {
        // Only frames that a later failure can come back to need to stay: the choices with
        // untried alternatives, and the frames below them.
        while (!choices_.empty() && choices_.back() > index && !IsLiveChoice(choices_.back()))
            choices_.pop_back();
        if (!choices_.empty() && choices_.back() > index)
            SetTop(choices_.back() + 1);
        else
            SetTop(IsLiveChoice(index) ? index + 1 : index);
        current_ = parent;
        return;
    }
    const Frame& p = frames_[parent];
    if ((p.flags & kExpected) || Int(p.instruction) == QV_REPETITION || (f.flags & kSpaceFrame)) {
        SetTop(index);
        current_ = parent;
        return;
    }
    // Frames above the failed one are its own, already exhausted; the choice points left are
    // in the subtrees of its earlier siblings.
    for (long c = index - 1; c > parent; --c) {
        const Frame& candidate = frames_[c];
        int32_t op = Int(candidate.instruction);
        bool liveChoice = op == QV_DISJUNCTION && (candidate.flags & kChoice) &&
                          candidate.counter + 1 < Int(candidate.instruction + 4);
        if (liveChoice || op == QV_PRODUCTION || op == QV_TERMLIST || (candidate.flags & kResync)) {
            SetTop(c + 1);
            tree_->CutBack(candidate.treeMark);
            current_ = c;
            lastChild_ = -1;
            return;
        }
    }
    SetTop(parent + 1);
    current_ = parent;
}

bool ParserImp::IsLiveChoice(long index) const
{
    const Frame& f = frames_[index];
    return Int(f.instruction) == QV_DISJUNCTION && (f.flags & kChoice) && f.counter + 1 < Int(f.instruction + 4);
}

void ParserImp::SetTop(long top)
{
    top_ = top;
    while (!choices_.empty() && choices_.back() >= top_)
        choices_.pop_back();
}

void ParserImp::Execute(long index)
{
    switch (Int(frames_[index].instruction)) {
    case QV_SYMBOL: return ExecSymbol(index);
    case QV_CONJUNCTION: return ExecConjunction(index);
    case QV_DISJUNCTION: return ExecDisjunction(index);
    case QV_REPETITION: return ExecRepetition(index);
    case QV_SKIPTO: return ExecSkipTo(index);
    case QV_LITERAL:
    case QV_STRINGLIST: return ExecLiteral(index);
    case QV_NULL: return Match(0);
    case QV_CHARRANGE: return ExecCharRange(index);
    case QV_LENGTH: return ExecLength(index);
    case QV_ATTRIBUTES: return ExecAttributes(index);
    case QV_WHITESPACE:
    case QV_TOKEN: return ExecBody(index, Int(frames_[index].instruction + 4));
    case QV_CONSTRAINT: return ExecConstraint(index);
    case QV_TEST: return ExecTest(index);
    case QV_BUILTSYMBOL:
    case QV_SYMBOLTEST: return ExecBuiltSymbol(index);
    case QV_COMPUTEDLENGTH: return ExecComputedLength(index);
    case QV_RESYNC: return ExecResync(index);
    case QV_TERMLIST: return ExecTermList(index);
    case QV_NOTCHAR: return ExecNotChar(index);
    case QV_ROOT: return ExecRoot(index);
    case QV_PRODUCTION: return ExecProduction(index);
    case QV_NOTTERM: return ExecNotTerm(index);
    case QV_POSITION: return ExecPosition(index);
    case QV_ERROR: return ExecError(index);
    default: {
        char name[64];
        return Fatal(1001, QVGetInstructionName(*context_, frames_[index].instruction, name, sizeof name));
    }
    }
}

void ParserImp::Fatal(long code, const std::string& description)
{
    long start = current_ >= 0 ? frames_[current_].start : 0;
    long instruction = current_ >= 0 ? frames_[current_].instruction : 0;
    RecordError(1, 0, description.empty() ? nullptr : description.c_str(), code, 0, start, 0, instruction, 0);
    fatal_ = true;
    status_ = -1;
    current_ = -1;
}

long ParserImp::WhitespaceSpan(const Settings& s, long position)
{
    const char* set = s.wsChars < 0 ? kDefaultWhitespace : Bytes(s.wsChars);
    long count = s.wsCount;
    if (count <= 0)
        return 0;
    long n = 0;
    for (char c; position + n < size_ && (c = reader_->CharAt(position + n)) != 0 && memchr(set, c, count); ++n) {
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
    if (f.state) {
        const Frame& child = frames_[lastChild_ >= 0 ? lastChild_ : index];
        return status_ >= 0 && lastChild_ >= 0 ? Match(child.start - f.start + status_) : Fail();
    }
    f.state = 1;
    if (f.symbol) {
        long rule = context_->GetValue(f.symbol);
        if (!rule) {
            char name[256];
            return Fatal(1002, context_->BuildQualifiedName(f.symbol, 0, name, sizeof name));
        }
        long start = f.start;
        Push(rule, start, 0, 0);
        return;
    }
    long n = Int(f.instruction + 4);
    const char* first = context_->GetName(Int(f.instruction + 8));
    long predefined = n == 1 ? QVLookupPredefinedSymbol(first) : -1;
    if (predefined < 0) {
        char name[256];
        return Fatal(1002, QVGetInstructionName(*context_, f.instruction, name, sizeof name));
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
            RecordError(3, 0, nullptr, 1703, 0, f.start + child.parentSaved, 0, Int(itemsAt + 4 * child.saved1), 0);
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
    if (f.state && lastChild_ >= 0 && status_ >= 0) {
        const Frame& child = frames_[lastChild_];
        f.counter = child.pushedFor;
        return Match(child.start - f.start + status_);
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
    if (f.state && lastChild_ >= 0 && status_ >= 0) {
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
        long length = reader_->MatchStringList(Bytes(f.instruction + 4), f.start, f.budget, tokenLength,
                                               caseSensitive, delimiter, error);
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
    unsigned char c = static_cast<unsigned char>(reader_->CharAt(f.start));
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
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 12));
    if (lastChild_ < 0 || status_ < 0)
        return Fail();
    long length = frames_[lastChild_].start - f.start + status_;
    return length < Int(f.instruction + 4) ? Fail() : Match(length);
}

void ParserImp::ExecBody(long index, long body)
{
    Frame& f = frames_[index];
    if (f.state) {
        if (lastChild_ < 0 || status_ < 0)
            return Fail();
        return Match(frames_[lastChild_].start - f.start + status_);
    }
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
    if (status_ >= 0 && (flags & QVA_FLAT))
        tree_->CutBack(frames_[index].treeMark);
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
            return Fatal(1003, std::string());
        stream_->Seek(f.start);
        char whitespace[64] = {};
        if (f.settings.wsChars < 0)
            strcpy(whitespace, kDefaultWhitespace);
        else
            memcpy(whitespace, Bytes(f.settings.wsChars), f.settings.wsCount < 63 ? f.settings.wsCount : 63);
        result = handler->Match(symbol, stream_, f.budget, CaseSensitive(f.settings) ? 1 : 0, whitespace, nullptr);
    }
    if (result < -1)
        return Fatal(1099, std::string());
    return result >= 0 ? Match(result) : Fail();
}

void ParserImp::ExecNotChar(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    SetTop(index + 1);
    tree_->CutBack(f.node ? f.node + 1 : f.treeMark);
    bool itemFailed = lastChild_ < 0 || status_ < 0;
    return itemFailed && f.budget >= 1 && f.start < size_ ? Match(1) : Fail();
}

void ParserImp::ExecNotTerm(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    SetTop(index + 1);
    tree_->CutBack(f.treeMark);
    bool itemFailed = lastChild_ < 0 || status_ < 0;
    return itemFailed ? Match(0) : Fail();
}

void ParserImp::ExecProduction(long index)
{
    Frame& f = frames_[index];
    if (f.state) {
        bool exact = lastChild_ >= 0 && status_ >= 0 && status_ == f.saved1;
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
    case QVP_END_OF_INPUT: return f.start >= size_ ? Match(0) : Fail();
    default: return Fail();
    }
}

void ParserImp::ExecError(long index)
{
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 4));
    if (lastChild_ < 0 || status_ < 0)
        return Fail();
    long length = frames_[lastChild_].start - f.start + status_;
    long message = Int(f.instruction + 8);
    std::string text = message ? std::string(Bytes(message + 8), Int(message + 4)) : std::string();
    long saved = current_;
    RecordError(3, 0, text.c_str(), 1700, 0, lastStart_ < 0 ? f.start : lastStart_, lastLength_ < 0 ? 0 : lastLength_,
                f.instruction, 0);
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
        return RootFail(index, startRuleMatched_ ? 1006 : 1005);
    switch (phase) {
    case kLeadingSpace: return RootRule(index, ChildEnd(child, status_));
    case kStartRule: {
        if (status_ < 0)
            return RootFail(index, 1005);
        startRuleMatched_ = true;
        tree_->SetLength(startContextNode_, status_);
        long end = child.start + status_;
        long after;
        if (SkipWhitespace(index, end, kTrailingSpace, end, after))
            return;
        return RootAfterRule(after);
    }
    case kTrailingSpace: return RootAfterRule(ChildEnd(child, status_));
    default:
        if (status_ < 0)
            return RootFail(index, 1006);
        return Match(child.start);
    }
}

void ParserImp::RootRule(long index, long position)
{
    if (!startRule_) {
        char name[256];
        return Fatal(1002, context_->BuildQualifiedName(startContext_, 0, name, sizeof name));
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

// A parse that has run out of steps ends as if every alternative had been tried: the error
// lands at the furthest failure, where a person would look for it.
void ParserImp::GiveUp()
{
    SetTop(1);
    current_ = 0;
    lastChild_ = -1;
    resyncFrame_ = -1;
    tree_->CutBack(startContextNode_ ? startContextNode_ + 1 : 2);
    RootFail(0, startRuleMatched_ ? 1006 : 1005);
    current_ = -1;
}

void ParserImp::RecordError(long severity, long node, const char* description, long code, long constraintId,
                            long start, long length, long instruction, long symbol)
{
    ++recordedCount_;
    std::string expecting;
    char name[512];
    if (symbol)
        expecting = context_->BuildQualifiedName(symbol, 1, name, sizeof name);
    else if (instruction && context_)
        expecting = QVGetInstructionName(*context_, instruction, name, sizeof name);
    if ((flags_ & 4) && tree_) {
        if (!node) {
            long parent = current_ >= 0 ? NearestNode(current_) : 1;
            if (current_ == 0 || parent == 0)
                parent = 1;
            node = tree_->AddNode(parent, errorInstruction_, 0, start, length);
            if (!node)
                return;
        }
        hasErrorNodes_ = true;
        auto text = [&](const char* key, const char* value) { tree_->AddLiteralNode(node, key, value); };
        auto number = [&](const char* key, long value) {
            char digits[32];
            snprintf(digits, sizeof digits, "%ld", value);
            text(key, digits);
        };
        const char* type = QVGetErrorTypeText(code);
        text("ErrorType", type ? type : "(null)");
        if (description)
            text("Description", description);
        if (!expecting.empty())
            text("Expecting", expecting.c_str());
        if (constraintId)
            number("ConstraintID", constraintId);
        number("ErrorCode", code);
        number("Severity", severity);
        number("LineNumber", stream_ ? stream_->GetLineNumber(start) : 0);
        number("StartPos", start);
        number("NumChars", length);
        number("StepNumber", steps_);
        number("GrammarOffset", instruction);
        number("NodeID", node);
        return;
    }
    if (node && tree_)
        tree_->CutBack(node);
    records_.push_back(Record{severity, tree_ ? tree_->Count() : 0, code, start, length, steps_, constraintId,
                              description ? description : "", expecting});
}

void ParserImp::PostRecords()
{
    for (const Record& r : records_) {
        QVError* error = r.severity > 2 ? api_->PostWarning(r.code) : api_->ThrowError(r.code);
        if (!error)
            continue;
        error->SetIntAttribute("Severity", r.severity);
        error->SetIntAttribute("StartPos", r.start);
        error->SetIntAttribute("NumChars", r.length);
        if (r.constraintId)
            error->SetIntAttribute("ConstraintID", r.constraintId);
        error->SetIntAttribute("StepNumber", r.step);
        if (!r.description.empty())
            error->SetTextAttribute("Description", r.description.c_str());
        if (!r.expecting.empty())
            error->SetTextAttribute("Expecting", r.expecting.c_str());
    }
    records_.clear();
}

QVParseTree* ParserImp::EndParse()
{
    if (status_ == -1 && recordedCount_ == 0)
        RecordError(1, 0, nullptr, furthestCode_ ? furthestCode_ : 1005, 0, furthestPos_ < 0 ? 0 : furthestPos_, 0,
                    furthestInstruction_, 0);
    Cleanup();
    ParseTreeImp* tree = tree_;
    tree_ = nullptr;
    if (tree)
        tree->Link();
    if (recordedCount_ && api_) {
        if (hasErrorNodes_ && tree)
            api_->PostTreeErrors(tree, grammar_);
        PostRecords();
    }
    if (tree && tree->Count() <= 1) {
        delete tree;
        tree = nullptr;
    }
    return tree;
}

QVParseTree* ParserImp::Run(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags)
{
    if (StartParse(grammar, startName, stream, flags) == -2)
        while (Step() == -2) {
        }
    return EndParse();
}

void ParserImp::NotifyListeners(long index, long eventType)
{
    const Frame& f = frames_[index];
    if (!f.symbol)
        return;
    long saved = current_;
    current_ = index;
    PtrArray& list = context_->eventListeners;
    for (long i = 0; i < list.GetSize(); ++i) {
        auto* entry = static_cast<GrammarContext::EventEntry*>(list.GetAt(i));
        if ((entry->symbol && entry->symbol != f.symbol) || (entry->mask && !(entry->mask & eventType)))
            continue;
        if (entry->listener->OnEvent(f.symbol, eventType, this) == -1 && eventType == 2)
            status_ = -1;
    }
    current_ = saved;
}

void ParserImp::SetUserValueAt(long value)
{
    long index = current_ >= 0 ? current_ : eventFrame_;
    if (index >= 0 && index < top_)
        frames_[index].userValue = static_cast<int32_t>(value);
}

long ParserImp::GetUserValueAt(bool inherit) const
{
    for (long index = current_ >= 0 ? current_ : eventFrame_; index >= 0 && index < top_;
         index = frames_[index].parent) {
        if (frames_[index].userValue || !inherit)
            return frames_[index].userValue;
    }
    return 0;
}

long ParserImp::GetStart() { return current_ >= 0 ? frames_[current_].start : 0; }
long ParserImp::GetLength() { return current_ >= 0 ? frames_[current_].length : 0; }
long ParserImp::GetSymbol() { return current_ >= 0 ? frames_[current_].symbol : 0; }
long ParserImp::GetInstruction() { return current_ >= 0 ? frames_[current_].instruction : 0; }

char* ParserImp::GetText(char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    dst[0] = 0;
    if (current_ < 0 || !reader_)
        return dst;
    const Frame& f = frames_[current_];
    long n = f.length < len - 1 ? f.length : len - 1;
    n = reader_->CopyText(dst, f.start, n);
    dst[n] = 0;
    return dst;
}

QVError* ParserImp::PostError(long code) { return api_ ? api_->ThrowError(code) : nullptr; }
QVError* ParserImp::PostWarning(long code) { return api_ ? api_->PostWarning(code) : nullptr; }

std::string ParserImp::RecordText(long record) const
{
    return record ? std::string(Bytes(record + 8), Int(record + 4)) : std::string();
}

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
    Frame& f = frames_[index];
    if (!f.state)
        return ExecBody(index, Int(f.instruction + 12));
    if (lastChild_ < 0 || status_ < 0)
        return Fail();
    long length = frames_[lastChild_].start - f.start + status_;
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
    if (lastChild_ >= 0 && status_ >= 0)
        return Match(frames_[lastChild_].start - f.start + status_);
    if (f.saved1 != 1)
        return Fail();
    RecordError(3, 0, nullptr, 1007, f.saved2, lastStart_ < 0 ? f.start : lastStart_, lastLength_ < 0 ? 0 : lastLength_,
                f.instruction, 0);
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

// Symbols named by text built at parse time. The term-collecting selectors are not built.
void ParserImp::ExecBuiltSymbol(long index)
{
    Frame& f = frames_[index];
    if (f.state) {
        if (lastChild_ < 0 || status_ < 0)
            return Fail();
        tree_->SetLength(f.saved3, status_);
        return Match(frames_[lastChild_].start - f.start + status_);
    }
    f.state = 1;
    std::string name;
    long record = Int(f.instruction + 4);
    bool built = BuildName(record, name);
    long symbol = built ? context_->Resolve(grammarContext_, name.c_str()) : 0;
    if (Int(f.instruction) == QV_SYMBOLTEST)
        return symbol ? Match(0) : Fail();
    static const char* const kSelectors[] = {"QV_NEXT_TERM", "QV_NEXT_SYNCH", "QV_NEXT_LITERAL", "QV_NEXT_TERM_LOCAL",
                                             "QV_NEXT_SYNCH_LOCAL", "QV_NEXT_LITERAL_LOCAL"};
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
        return Fatal(1009, name);
    long start = f.start;
    f.saved3 = static_cast<int32_t>(tree_->AddNode(NearestNode(index), QV_NODE_CONTEXT, symbol, start, 0));
    Push(rule, start, 0, 0);
}

// Cuts the tree back to `cut`, except that error nodes made after it stay: each moves down to
// the cut point under its nearest ancestor that remains, with its attribute nodes.
void ParserImp::KeepErrorNodes(long cut)
{
    struct Kept {
        long errorNode;
        QVTreeNode node;
    };
    std::vector<Kept> kept;
    for (long j = cut; hasErrorNodes_ && j < tree_->Count(); ++j) {
        if (!tree_->IsErrorNode(j))
            continue;
        long parent = tree_->GetNode(j)->parent;
        while (parent >= cut)
            parent = tree_->GetNode(parent)->parent;
        QVTreeNode node = *tree_->GetNode(j);
        node.parent = static_cast<int32_t>(parent);
        kept.push_back({-1, node});
        for (long child = j + 1; child < tree_->Count() && tree_->GetNode(child)->parent == j; ++child)
            kept.push_back({j, *tree_->GetNode(child)});
    }
    tree_->CutBack(cut);
    long placed = 0;
    for (const Kept& k : kept) {
        if (k.errorNode < 0) {
            placed = tree_->AddNode(k.node.parent, k.node.symbol, k.node.value, k.node.start, k.node.length);
            continue;
        }
        char name[32];
        tree_->GetNodeName(tree_->AddNode(placed, k.node.symbol, k.node.value, k.node.start, 0), name, sizeof name);
        if (strcmp(name, "NodeID") == 0)
            tree_->SetStartString(tree_->Count() - 1, tree_->AddNumberString(placed));
    }
}

void ParserImp::NotifyPositionListeners(long start, long length)
{
    PtrArray& list = context_->positionListeners;
    for (long i = 0; i < list.GetSize(); ++i) {
        auto* entry = static_cast<GrammarContext::PositionEntry*>(list.GetAt(i));
        if (entry->position == 0 || (entry->position >= start && entry->position < start + length - 1))
            entry->listener->OnPosition(this, start, length);
    }
}

// A conjunction marked expected reports a missing item instead of failing: with expected-term
// reporting on, the item counts as matched empty; otherwise the conjunction ends where its
// matched text ends (no resynchronising candidates are searched).
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
        RecordError(3, 0, nullptr, 1703, 0, position, 0, itemInstruction, 0);
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
    if (lastChild_ < 0 || status_ < 0)
        return ResyncNextCandidate(index);
    const Frame& child = frames_[lastChild_];
    long found = child.pushedFor;
    long skipped = child.start - f.start;
    long code = found == f.saved1 ? 1702 : (found < f.saved1 && skipped == 0 ? 1703 : 1701);
    f.saved3 = static_cast<int32_t>(found);
    long end = child.start + status_;
    RecordError(3, 0, nullptr, code, 0, f.start, skipped > 0 ? skipped : 1, child.instruction, 0);
    Match(end - f.start);
}

void ParserImp::ResyncNextCandidate(long index)
{
    Frame& f = frames_[index];
    const Frame& owner = frames_[f.parent];
    long n = Int(owner.instruction + 4);
    long candidate = f.saved2 + 1;
    if (candidate >= n) {
        candidate = f.saved1;
        ++f.counter;
    }
    long position = f.start + f.counter;
    if (position >= size_)
        return Fail();
    f.saved2 = static_cast<int32_t>(candidate);
    Push(Int(owner.instruction + 8 + 4 * candidate), position, candidate, 0);
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
            std::vector<int32_t> first;
            FirstTerms(instruction, first, 0);
            for (int32_t term : first)
                if (selector == 1 || InFirstTermList(f.instruction, term))
                    terms.push_back(term);
            if (!MayMatchEmpty(instruction, 0))
                break;
        }
    }
}

bool ParserImp::InFirstTermList(long conjunction, long instruction) const
{
    if (context_->GetFormat() != 7)
        return false;
    long list = Int(conjunction + 8 + 4 * Int(conjunction + 4));
    for (long i = 0; list && i < Int(list + 4); ++i)
        if (Int(list + 8 + 8 * i) == instruction)
            return true;
    return false;
}

void ParserImp::FirstTerms(long instruction, std::vector<int32_t>& terms, int depth)
{
    if (!instruction || depth > 64)
        return;
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
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH: return FirstTerms(Int(instruction + 12), terms, depth + 1);
    case QV_ATTRIBUTES: return FirstTerms(Int(instruction + 8), terms, depth + 1);
    case QV_WHITESPACE:
    case QV_TOKEN: return FirstTerms(Int(instruction + 4), terms, depth + 1);
    case QV_NULL:
    case QV_CONSTRAINT:
    case QV_TEST:
    case QV_PRODUCTION:
    case QV_BUILTSYMBOL:
    case QV_NOTTERM:
    case QV_SYMBOLTEST:
    case QV_POSITION: return;
    default: terms.push_back(static_cast<int32_t>(instruction)); return;
    }
}

bool ParserImp::MayMatchEmpty(long instruction, int depth)
{
    if (!instruction || depth > 64)
        return true;
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
    case QV_REPETITION: return Int(instruction + 4) == 0 || MayMatchEmpty(Int(instruction + 12), depth + 1);
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH: return MayMatchEmpty(Int(instruction + 12), depth + 1);
    case QV_ATTRIBUTES: return MayMatchEmpty(Int(instruction + 8), depth + 1);
    case QV_WHITESPACE:
    case QV_TOKEN: return MayMatchEmpty(Int(instruction + 4), depth + 1);
    case QV_LITERAL: return Int(instruction + 4) == 0;
    case QV_NULL:
    case QV_CONSTRAINT:
    case QV_TEST:
    case QV_PRODUCTION:
    case QV_BUILTSYMBOL:
    case QV_NOTTERM:
    case QV_SYMBOLTEST:
    case QV_POSITION:
    case QV_SKIPTO: return true;
    default: return false;
    }
}

// Tries the collected terms in order at the frame's start; the first that matches gives the
// length. Coming back here on a failure tries the next one.
void ParserImp::ExecTermList(long index)
{
    Frame& f = frames_[index];
    if (f.state && lastChild_ >= 0 && status_ >= 0)
        return Match(frames_[lastChild_].start - f.start + status_);
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
