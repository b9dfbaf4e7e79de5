#pragma once

#include "qvrn/Listeners.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class GrammarContext;
class ParseTreeImp;
class QuorvaneAPI;
class QVGrammar;
class QVInputReader;
class QVInputStream;
class QVParseTree;

// The backtracking parse engine: interprets a compiled grammar's byte code over an input with
// an explicit frame stack, one frame action per Step, and builds the parse tree.
class ParserImp : public QVParseEventContext {
public:
    // Settings in force for a frame: derived from its parent's when it is pushed, so leaving a
    // frame restores whatever was in force before it.
    struct Settings {
        int32_t wsChars; // byte-code offset of the whitespace characters, -1 for CR LF TAB blank
        int16_t wsCount;
        uint16_t bits;
        int32_t spaceSymbol; // offset of the space symbol's reference, 0 for none
        int32_t token;       // offset of the token symbol's reference, 0 for none
    };

    struct Frame {
        int32_t instruction;
        int32_t symbol;
        int32_t state;
        int32_t start;
        int32_t length;
        int32_t node;
        int32_t treeMark;
        int32_t budget;
        int32_t counter;
        int32_t saved1, saved2, saved3;
        int32_t userValue;
        int32_t parent;
        int32_t flags;
        int32_t pushedFor;
        int32_t parentSaved;
        int32_t attach; // the node the nodes of this frame's children hang under when it has none
        Settings settings;
    };

    enum FrameFlag : int32_t {
        kChoice = 0x1, // pushed while backtracking was on
        kExpected = 0x8,
        kResync = 0x10,
        kSpaceFrame = 0x20, // pushed to skip whitespace
        kTokenFrame = 0x40, // pushed to match the token symbol before a literal
        kEntered = 0x80,    // an outside symbol paused here and was resumed
        kSynched = 0x100,   // while resynchronising: found through a first-term list, runs freely
        kRefused = 0x200,   // while resynchronising: cannot begin here, fails at once
    };

    // Finished choices stay on the stack as backtracking points, so the stack grows with the
    // length of ordinary input, not only with its nesting: the bound is set by memory (about
    // 400 MB of frames), enough for inputs of several MB.
    static const long kMaxFrames = 1L << 22;

    static ParserImp* CreateNew(QuorvaneAPI* api);
    static void Delete(ParserImp* parser);
    ~ParserImp() override;

    long StartParse(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags);
    long Step();
    // Steps until the parse ends (its status) or an outside symbol is about to be entered
    // (-2): the caller's loop when it has no breakpoints to check after each step.
    long StepToOutside();
    QVParseTree* EndParse();
    long GetNodeFromContext(long frame);
    QVParseTree* Run(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags);

    // State the parser interface reads while a parse runs.
    ParseTreeImp* GetTreeImp() { return tree_; }
    long GetCurrentFrameIndex() const { return current_; }
    const Frame* GetFrameAt(long index) const;
    long GetStepCount() const { return steps_; }
    long GetEventType() const { return eventType_; }
    long GetEventSymbol() const { return eventSymbol_; }
    long GetEventInstruction() const { return eventInstruction_; }
    long GetEventFrame() const { return eventFrame_; }
    long GetStartRule() const { return startRule_; }
    long GetStartContext() const { return startContext_; }
    long GetFrameCount() const { return top_; }
    void SetStatus(long status)
    {
        status_ = status;
        outsideResult_ = status;
    }
    bool CurrentIsPendingOutside() const;
    void MarkCurrentEntered();
    void SetUserValueAt(long value);
    long GetUserValueAt(bool inherit) const;
    void SetPauseOnOutside(bool pause) { pauseOnOutside_ = pause; }
    // Whether pure stretches of flat rules may be matched without frames of their own. A caller
    // that looks at every step (breakpoints) turns this off; listeners turn it off by themselves.
    void SetQuickMatching(bool on) { quickAllowed_ = on; }

    // QVParseEventContext
    QVGrammar* GetGrammar() override { return grammar_; }
    QVParseTree* GetTree() override;
    long GetUserValue() override { return GetUserValueAt(false); }
    void SetUserValue(long value) override { SetUserValueAt(value); }
    long GetInheritedUserValue() override { return GetUserValueAt(true); }
    QVInputStream* GetStream() override { return stream_; }
    char* GetText(char* dst, long len) override;
    long GetStart() override;
    long GetLength() override;
    long GetSymbol() override;
    long GetInstruction() override;
    QVError* PostError(long code) override;
    QVError* PostWarning(long code) override;

private:
    struct Record {
        long severity, nodeCount, code, start, length, step, constraintId;
        std::string description, expecting;
    };

    explicit ParserImp(QuorvaneAPI* api) : api_(api) {}

    int32_t Int(long offset) const
    {
        int32_t value;
        memcpy(&value, code_ + offset, 4);
        return value;
    }
    const char* Bytes(long offset) const { return code_ + offset; }
    Frame& F(long index) { return frames_[index]; }
    bool Push(long instruction, long position, long pushedFor, long parentSaved, int32_t extraFlags = 0);
    void ApplyEntry(Frame& frame);
    void EnterSettings(int32_t op, long instruction, Settings& settings) const;
    bool MakesNode(const Frame& frame) const;
    long NearestNode(long frame) const;
    long ResolveSymbol(long offset);
    long PredefinedAt(long offset);
    void BuildSymbolCache();
    void KeepErrorNodes(long cut);
    void Finish(long index);
    bool IsLiveChoice(long index) const;
    void SetTop(long top);
    void Move(long index, long status);
    void Execute(long index);
    void Match(long length) { status_ = length; }
    void Fail() { status_ = -1; }
    // Whether the child frame that just returned matched, and the length from a frame's start to
    // the end of what that child matched.
    bool ChildMatched() const { return lastChild_ >= 0 && status_ >= 0; }
    long LengthThroughChild(const Frame& frame) const { return frames_[lastChild_].start - frame.start + status_; }
    bool BodyMatched(long index, long body, long& length);
    void Fatal(long code, const std::string& description);
    void RootFail(long index, long code);
    void GiveUp();

    long WhitespaceSpan(const Settings& settings, long position);
    bool SkipWhitespace(long index, long position, long pushedFor, long parentSaved, long& after);
    // Defined inline in ParserImpInternal.h: asked for every literal and character tried.
    bool CaseSensitive(const Settings& s) const;
    bool DelimiterCheck(const Settings& s) const;
    long ChildEnd(const Frame& child, long status) const { return status >= 0 ? child.start + status : child.start; }

    // Frameless matching (ParserQuick.cpp): a frame whose subtree only reads the input, inside
    // a flat rule without backtracking, is matched by a direct recursive walk that keeps the
    // step count, the furthest failure and the other bookkeeping exactly as its frames would.
    struct Virtual {
        long instruction, symbol, start, budget;
        Settings settings;
        bool choice; // pushed while backtracking was on
    };
    void BuildPurity();
    bool TryQuick(long index);
    long QuickChild(long instruction, long start, const Virtual& parent, int depth);
    long QuickExec(Virtual& f, int depth);
    long QuickBody(Virtual& f, long body, int depth);
    long QuickRepetition(Virtual& f, int depth);
    long QuickConjunction(Virtual& f, int depth);
    long QuickLeaf(Virtual& f);
    void QuickFinish(const Virtual& f, long status);
    bool QuickSpace(const Settings& s, long position, long& after);

    void ExecSymbol(long index);
    void ExecConjunction(long index);
    void ConjunctionItemFailed(long index, long item, long position, long length);
    void ExecResync(long index);
    void ExecTermList(long index);
    void CollectFollowingTerms(long selector, std::vector<int32_t>& terms);
    void FirstTerms(long instruction, std::vector<int32_t>& terms, int depth);
    bool MayMatchEmpty(long instruction, int depth);
    bool WrappedBody(long instruction, long& body) const;
    long FirstTermList(long conjunction) const;
    bool InFirstTermList(long conjunction, long instruction) const;
    void ListedTermsOfItem(long conjunction, long item, std::vector<int32_t>& terms) const;
    bool IsResyncCandidate(long parent, long instruction, bool& listed);
    bool SymbolMayStart(long parent, long instruction);
    int32_t ResyncAdmission(long parent, long instruction, int32_t extraFlags);
    void ResyncNextCandidate(long index);
    void ExecDisjunction(long index);
    void ExecRepetition(long index);
    void RepetitionAfterItem(long index, long position, long count, long length);
    void RepetitionFinish(long index, long length);
    void ExecSkipTo(long index);
    void ExecLiteral(long index);
    bool TokenLength(long index, long& tokenLength);
    void ExecCharRange(long index);
    void ExecLength(long index);
    void ExecAttributes(long index);
    void ExecBody(long index, long body);
    void ExecNotChar(long index);
    void ExecRoot(long index);
    void RootRule(long index, long position);
    void RootAfterRule(long position);
    void ExecProduction(long index);
    void ExecNotTerm(long index);
    void ExecPosition(long index);
    void ExecError(long index);
    void ExecOutside(long index);
    QVEventListener* EventListenerFor(long symbol) const;
    void ExecConstraint(long index);
    void ExecTest(long index);
    void ExecBuiltSymbol(long index);
    void ExecComputedLength(long index);
    bool BuildName(long record, std::string& name);
    long Expression(long record, long frame);
    std::string RecordText(long record) const;
    std::string RangeText(long start, long length);
    bool FindRange(const std::string& path, long frame, long& start, long& length);

    void RecordError(long severity, long node, const char* description, long code, long constraintId, long start,
                     long length, long instruction, long symbol);
    void PostRecords();
    void NotifyListeners(long index, long eventType);
    void NotifyPositionListeners(long start, long length);
    void Cleanup();

    QuorvaneAPI* api_;
    QVGrammar* grammar_ = nullptr;
    GrammarContext* context_ = nullptr;
    QVInputStream* stream_ = nullptr;
    QVInputReader* reader_ = nullptr;
    ParseTreeImp* tree_ = nullptr;
    unsigned long flags_ = 0;
    long size_ = 0;

    Frame* frames_ = nullptr;
    long capacity_ = 0;
    long top_ = 0;
    long current_ = -1;
    long lastChild_ = -1;
    long status_ = -1;
    long steps_ = 0;
    long stepLimit_ = 0;
    bool fatal_ = false;
    bool format7_ = false;

    long startContext_ = 0;
    long grammarContext_ = 0;
    long startRule_ = 0;
    long rootInstruction_ = 0;
    long errorInstruction_ = 0;
    long eofInstruction_ = 0;
    long resyncInstruction_ = 0;
    long termListInstruction_ = 0;
    std::vector<std::vector<int32_t>> termLists_;
    long resyncFrame_ = -1;
    long byteCodeLength_ = 0;
    long startContextNode_ = 0;
    bool startRuleMatched_ = false;
    bool retrying_ = false;
    Settings rootSettings_ = {};
    long eolContext_ = 0;
    long eolEnd_ = -1;

    long lastStart_ = -1, lastLength_ = -1;
    long tokenStart_ = -1, tokenInstruction_ = 0, tokenLength_ = 0;
    long furthestPos_ = -1, furthestInstruction_ = 0, furthestStep_ = 0, furthestCode_ = 0;
    long furthestEnd_ = 0;
    long pendingCode_ = 0;
    long eventType_ = 0, eventSymbol_ = 0, eventInstruction_ = 0, eventFrame_ = -1;
    bool hasListeners_ = false;
    bool pauseOnOutside_ = false;
    bool quickAllowed_ = true;
    bool quick_ = false;            // frameless matching possible in this parse (no listeners)
    bool quickUnsupported_ = false; // the walk met something only frames can do
    bool quickHidden_ = false;      // the walk entered a hidden rule right below its frame
    bool quickMustFail_ = false;    // outside flat rules a walk stands only for a failure
    long quickCode_ = 0;            // the error code the walk's current step leaves pending
    std::vector<int8_t> pure_;      // per instruction offset: 0 unknown, 1 pure, 2 not, 3 being decided
    long outsideResult_ = -1;

    const char* code_ = nullptr;
    std::vector<int32_t> symbolCache_;    // resolved context per symbol-reference offset, -1 unknown
    std::vector<int8_t> predefinedCache_; // built-in scanner per symbol-reference offset, -2 unknown
    std::vector<int32_t> choices_;        // frames in use that are disjunctions pushed while backtracking
    std::vector<Record> records_;
    long recordedCount_ = 0;
    bool hasErrorNodes_ = false;
    long attributeNames_ = -1;
};
