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
        RecordError(1, 0, nullptr, kQVInternalError, 0, 0, 0, 0, 0);
        return -1;
    }
    context_ = static_cast<GrammarImp*>(grammar)->GetContext();
    format7_ = context_->GetFormat() == 7;
    byteCodeLength_ = context_->GetByteCodeLength();
    stream_ = stream;
    size_ = stream->GetSize();
    stepLimit_ = StepAllowance(0, kMinimumSteps, kStepsPerCharacter, size_);
    frames_ = static_cast<Frame*>(malloc(sizeof(Frame) * 8192));
    capacity_ = frames_ ? 8192 : 0;
    reader_ = QVInputReader::Create(stream);
    tree_ = ParseTreeImp::CreateNew();
    if (!frames_ || !reader_ || !tree_) {
        RecordError(1, 0, nullptr, kQVOutOfMemory, 0, 0, 0, 0, 0);
        return -1;
    }
    tree_->Initialize(grammar, stream);

    startContext_ = startName && *startName ? context_->Resolve(1, startName) : 0;
    if (!startContext_ && startName && *startName)
        startContext_ = context_->Resolve(0, startName);
    if (!startContext_ && !(startName && *startName))
        startContext_ = context_->GetDefaultStartRule();
    if (!startContext_) {
        RecordError(1, 0, nullptr, kQVStartSymbolUnresolved, 0, 0, 0, 0, 0);
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
        RecordError(1, 0, nullptr, kQVOutOfMemory, 0, 0, 0, 0, 0);
        return -1;
    }
    // The byte code no longer moves: instructions are read through one pointer from here on.
    code_ = context_->GetByteCode();
    symbolCache_.assign(context_->GetByteCodeLength(), -1);
    predefinedCache_.assign(context_->GetByteCodeLength(), -2);

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
    quick_ = !hasListeners_ && context_->positionListeners.GetSize() == 0;
    if (quick_)
        BuildPurity();
    if (!Push(rootInstruction_, 0, 0, 0))
        return -1;
    return -2;
}

bool ParserImp::Push(long instruction, long position, long pushedFor, long parentSaved, int32_t extraFlags)
{
    if (top_ == capacity_) {
        Frame* grown =
            capacity_ < kMaxFrames ? static_cast<Frame*>(realloc(frames_, sizeof(Frame) * capacity_ * 2)) : nullptr;
        if (!grown) {
            RecordError(0, 0, nullptr, kQVMaxStackExceeded, 0, position, 0, instruction, 0);
            fatal_ = true;
            status_ = -1;
            current_ = -1;
            return false;
        }
        frames_ = grown;
        capacity_ *= 2;
    }
    // Every field is written once, here or below: clearing the frame first costs a string
    // store per push, which shows in profiles.
    Frame& f = frames_[top_];
    f.instruction = static_cast<int32_t>(instruction);
    f.symbol = 0;
    f.state = 0;
    f.start = static_cast<int32_t>(position);
    f.length = 0;
    f.node = 0;
    f.treeMark = static_cast<int32_t>(tree_->Count());
    f.counter = 0;
    f.saved1 = f.saved2 = f.saved3 = 0;
    f.userValue = 0;
    f.parent = static_cast<int32_t>(current_);
    f.flags = extraFlags;
    f.pushedFor = static_cast<int32_t>(pushedFor);
    f.parentSaved = static_cast<int32_t>(parentSaved);
    f.attach = 0;
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
    if (resyncFrame_ >= 0 && current_ >= resyncFrame_)
        f.flags |= ResyncAdmission(current_, instruction, extraFlags);
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
    const int32_t op = Int(f.instruction);
    switch (op) {
    case QV_SYMBOL:
        f.symbol = static_cast<int32_t>(ResolveSymbol(f.instruction));
        break;
    case QV_LENGTH:
    case QV_COMPUTEDLENGTH: {
        int32_t max = op == QV_LENGTH ? Int(f.instruction + 8) : Expression(Int(f.instruction + 8), f.parent);
        if (max >= 0 && max < f.budget)
            f.budget = max;
        break;
    }
    case QV_ATTRIBUTES:
        EnterSettings(op, f.instruction, f.settings);
        if ((Int(f.instruction + 4) & QVA_HIDDEN) && f.parent >= 0) {
            Frame& p = frames_[f.parent];
            if (p.node && p.node == tree_->Count() - 1) {
                tree_->CutBack(p.node);
                p.node = 0;
                f.attach = p.attach;
                f.treeMark = static_cast<int32_t>(tree_->Count());
            }
        }
        break;
    case QV_WHITESPACE:
    case QV_TOKEN:
        EnterSettings(op, f.instruction, f.settings);
        break;
    default:
        break;
    }
}

// The settings an attributes, whitespace or token instruction puts in force on entry.
void ParserImp::EnterSettings(int32_t op, long instruction, Settings& s) const
{
    switch (op) {
    case QV_ATTRIBUTES: {
        int32_t a = Int(instruction + 4);
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
        break;
    }
    case QV_WHITESPACE: {
        int32_t n = Int(instruction + 8);
        if (n == -1) {
            s.wsCount = 0;
            s.spaceSymbol = Int(instruction + 12);
        } else {
            s.wsChars = static_cast<int32_t>(instruction + 12);
            s.wsCount = static_cast<int16_t>(n > 0x7FFF ? 0x7FFF : n);
            s.spaceSymbol = 0;
        }
        s.bits &= ~kInSpace;
        break;
    }
    case QV_TOKEN: {
        int32_t token = Int(instruction + 8);
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
    case QV_SYMBOL:
        return Int(f.instruction + 4) == 1;
    case QV_REPETITION:
        return (f.settings.bits & kRepetitionNodes) != 0;
    case QV_LITERAL:
    case QV_STRINGLIST:
        return (f.settings.bits & kLiteralNodes) != 0;
    case QV_SKIPTO:
    case QV_CHARRANGE:
    case QV_NOTCHAR:
    case QV_ROOT:
        return true;
    default:
        return false;
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
                bool related = !found || list <= 0 || context_->GetParentList(list).count < 2 || found == definedIn ||
                               context_->IsAncestor(definedIn, found) ||
                               context_->IsAncestor(context_->FindSuperContext(found), definedIn) ||
                               context_->FindSuperContext(found) == definedIn;
                if (found && related)
                    symbolCache_[at] = static_cast<int32_t>(found);
            }
            for (long target : QVInstructionTargets(code_, at, format7_))
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

// The built-in scanner a one-name symbol reference names, -1 for none: looked up by name once.
long ParserImp::PredefinedAt(long offset)
{
    if (predefinedCache_[offset] == -2)
        predefinedCache_[offset] = static_cast<int8_t>(
            Int(offset + 4) == 1 ? QVLookupPredefinedSymbol(context_->GetName(Int(offset + 8))) : -1);
    return predefinedCache_[offset];
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
    if (frames_[index].flags & kRefused)
        Fail();
    else if (!quick_ || !quickAllowed_ || !TryQuick(index))
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
        RecordError(1, 0, nullptr, kQVParseAborted, 0, 0, 0, 0, 0);
        fatal_ = true;
        status_ = -1;
        current_ = -1;
        return -1;
    }
    return current_ < 0 ? status_ : -2;
}

long ParserImp::StepToOutside()
{
    long state;
    while ((state = Step()) == -2) {
        if (CurrentIsPendingOutside())
            return -2;
    }
    return state;
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
            long allowance = StepAllowance(steps_, kMinimumRetrySteps, kRetryStepsPerCharacter, size_);
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
    case QV_SYMBOL:
        return ExecSymbol(index);
    case QV_CONJUNCTION:
        return ExecConjunction(index);
    case QV_DISJUNCTION:
        return ExecDisjunction(index);
    case QV_REPETITION:
        return ExecRepetition(index);
    case QV_SKIPTO:
        return ExecSkipTo(index);
    case QV_LITERAL:
    case QV_STRINGLIST:
        return ExecLiteral(index);
    case QV_NULL:
        return Match(0);
    case QV_CHARRANGE:
        return ExecCharRange(index);
    case QV_LENGTH:
        return ExecLength(index);
    case QV_ATTRIBUTES:
        return ExecAttributes(index);
    case QV_WHITESPACE:
    case QV_TOKEN:
        return ExecBody(index, Int(frames_[index].instruction + 4));
    case QV_CONSTRAINT:
        return ExecConstraint(index);
    case QV_TEST:
        return ExecTest(index);
    case QV_BUILTSYMBOL:
    case QV_SYMBOLTEST:
        return ExecBuiltSymbol(index);
    case QV_COMPUTEDLENGTH:
        return ExecComputedLength(index);
    case QV_RESYNC:
        return ExecResync(index);
    case QV_TERMLIST:
        return ExecTermList(index);
    case QV_NOTCHAR:
        return ExecNotChar(index);
    case QV_ROOT:
        return ExecRoot(index);
    case QV_PRODUCTION:
        return ExecProduction(index);
    case QV_NOTTERM:
        return ExecNotTerm(index);
    case QV_POSITION:
        return ExecPosition(index);
    case QV_ERROR:
        return ExecError(index);
    default: {
        char name[64];
        return Fatal(kQVInternalError, QVGetInstructionName(*context_, frames_[index].instruction, name, sizeof name));
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

// A parse that has run out of steps ends as if every alternative had been tried: the error
// lands at the furthest failure, where a person would look for it.
void ParserImp::GiveUp()
{
    SetTop(1);
    current_ = 0;
    lastChild_ = -1;
    resyncFrame_ = -1;
    tree_->CutBack(startContextNode_ ? startContextNode_ + 1 : 2);
    RootFail(0, startRuleMatched_ ? kQVUnrecoverableParseError : kQVParseFailed);
    current_ = -1;
}

void ParserImp::RecordError(long severity, long node, const char* description, long code, long constraintId, long start,
                            long length, long instruction, long symbol)
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
        RecordError(1, 0, nullptr, furthestCode_ ? furthestCode_ : kQVParseFailed, 0,
                    furthestPos_ < 0 ? 0 : furthestPos_, 0, furthestInstruction_, 0);
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
