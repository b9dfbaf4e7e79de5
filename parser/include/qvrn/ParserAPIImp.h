#pragma once

#include "qvrn/ParserInterface.h"
#include "qvrn/PtrArray.h"
#include "qvrn/QuorvaneAPI.h"

class ParserImp;
class ParseTreeImp;
class QVError;
class QVGrammar;
class QVInputStream;

// The one implementation of ParserInterface: a grammar, an input, a parse in progress or a
// finished tree, breakpoints and open tree searches, over one QuorvaneAPI.
class ParserAPIImp final : public ParserInterface {
public:
    ParserAPIImp();
    ~ParserAPIImp();
    void ReleaseAll();
    void __SetCurrentGrammar(QVGrammar* grammar, const char* path);
    int LoadSizedImage(const char* image, long size);

    QVString GetVersion() override;
    QVString GetBuildVersion() override;
    QVString GetProjectsDirectory() override;
    int LoadGrammar(const char* text) override;
    int SetStartSymbol(int symbol) override;
    int GetStartSymbol() override { return startSymbol_; }
    int GetDefaultStartSymbol() override;
    int LookupSymbol(const char* name) override;
    QVString GetSymbolName(int symbol) override;
    QVString GetGrammarVersion() override;
    int LoadGrammarFromBuffer(const char* image) override;
    int SetInputBuffer(const char* text) override;
    int SetInputFile(const char* path) override;
    QVString GetInputName() override;
    int GetInputChar(int pos) override;
    QVString GetInputText(int start, int length) override;
    int GetInputSize() override;
    int GetLineNumber(int pos) override;
    int GetLineCount() override;
    int GetLineStart(int line) override;
    QVString GetLineText(int line) override;
    int RunParse() override;
    int FinishParse() override;
    int AddBreakpoint(int kind, int value) override;
    int RemoveBreakpoint(int id) override;
    int RemoveAllBreakpoints() override;
    int GetParseState() override { return parseState_; }
    int GetBreakpointHit() override { return breakpointHit_; }
    int GetBreakReason() override;
    int GetCurrentPosition() override;
    int GetCurrentNode() override;
    int GetCurrentSymbol() override;
    int GetStepCount() override;
    int SetStepResult(int result) override;
    int FailStep() override;
    int GetNodeCount() override;
    int HasNodes() override;
    int GetParentNode(int node) override;
    int GetChildNode(int node, int index) override;
    int GetNextSibling(int node) override;
    int GetPrevSibling(int node) override;
    int GetNumChildren(int node) override;
    int GetNumDescendants(int node) override;
    int IsLeafNode(int node) override;
    int GetNodeDepth(int node) override;
    int GetChildIndex(int node) override;
    QVString GetNodeName(int node) override;
    QVString GetNodeText(int node) override;
    int GetNodeStartPos(int node) override;
    int GetNodeLength(int node) override;
    int GetNodeSymbol(int node) override;
    int FindFirstNode(const char* path, int start) override;
    void FreeFind(int handle) override;
    int FindNextNode(int handle) override;
    int FindNode(const char* path, int start) override;
    int GetErrorCount() override;
    int GetErrorSeverity(int i) override;
    int GetErrorCode(int i) override;
    QVString GetErrorText(int i) override;
    QVString GetErrorDescription(int i) override;
    QVString GetErrorAttribute(int i, const char* key) override;
    int LoadTreeFromCache(const char* path) override;
    int SaveTreeToCache(const char* path) override;
    int PostTreeErrors() override;
    void SetUserValue(int value) override;
    int GetUserValue(int inherit) override;
    int TestAttribute(int attribute) override;
    QVString GetSpaceCharacters() override;
    int GetSpaceSymbol() override;

private:
    struct Breakpoint {
        int id, kind, value;
    };

    void Clear();
    bool RequireStream();
    bool RequireParse();
    void DiscardParse();
    void DiscardTree();
    void DiscardGrammar();
    void DiscardInput();
    void DiscardSearches();
    QVError* Entry(int i);
    bool BreakpointFires(const Breakpoint& breakpoint);
    int LoadThroughCompiler(const char* source);
    void ReleaseCompiler();
    QVString Text(const char* text);
    int CacheRefusal(long code, const char* path, const char* method);

    QuorvaneAPI api_;
    QVGrammar* grammar_ = nullptr;
    ParseTreeImp* tree_ = nullptr;
    char* inputCopy_ = nullptr;
    char inputPath_[256] = {};
    QVInputStream* stream_ = nullptr;
    char grammarPath_[256] = {};
    int startSymbol_ = 0;
    char grammarVersion_[256] = {};
    PtrArray treePositions_;
    int wholeInputFlag_ = 1;
    int errorNodeFlag_ = 1;
    char textBuffer_[2048] = {};
    PtrArray breakpoints_;
    int breakpointCount_ = 0;
    int nextBreakpointId_ = 1;
    int breakpointHit_ = 0;
    ParserImp* parser_ = nullptr;
    int parseState_ = 0;
    long lastBreakEnd_ = -1;
    int breakReason_ = 0;
    int errorCountAtEnd_ = 0;
    long startSymbolCode_ = 0;
    void* compiler_ = nullptr;
    bool compilerReady_ = false;
};
