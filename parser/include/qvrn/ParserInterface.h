#pragma once

#include "qvrn/QVString.h"

// The one door through which the converter reaches the parser runtime. One object serves one
// parse at a time; get it with GetParserInterface and give it back with ReleaseParserInterface.
// The slot order of the operations is part of the library's binary interface.
class ParserInterface {
public:
    virtual QVString GetVersion() = 0;
    virtual QVString GetBuildVersion() = 0;
    virtual QVString GetProjectsDirectory() = 0;
    virtual int LoadGrammar(const char* text) = 0;
    virtual int SetStartSymbol(int symbol) = 0;
    virtual int GetStartSymbol() = 0;
    virtual int GetDefaultStartSymbol() = 0;
    virtual int LookupSymbol(const char* name) = 0;
    virtual QVString GetSymbolName(int symbol) = 0;
    virtual QVString GetGrammarVersion() = 0;
    virtual int LoadGrammarFromBuffer(const char* image) = 0;
    virtual int SetInputBuffer(const char* text) = 0;
    virtual int SetInputFile(const char* path) = 0;
    virtual QVString GetInputName() = 0;
    virtual int GetInputChar(int pos) = 0;
    virtual QVString GetInputText(int start, int length) = 0;
    virtual int GetInputSize() = 0;
    virtual int GetLineNumber(int pos) = 0;
    virtual int GetLineCount() = 0;
    virtual int GetLineStart(int line) = 0;
    virtual QVString GetLineText(int line) = 0;
    virtual int RunParse() = 0;
    virtual int FinishParse() = 0;
    virtual int AddBreakpoint(int kind, int value) = 0;
    virtual int RemoveBreakpoint(int id) = 0;
    virtual int RemoveAllBreakpoints() = 0;
    virtual int GetParseState() = 0;
    virtual int GetBreakpointHit() = 0;
    virtual int GetBreakReason() = 0;
    virtual int GetCurrentPosition() = 0;
    virtual int GetCurrentNode() = 0;
    virtual int GetCurrentSymbol() = 0;
    virtual int GetStepCount() = 0;
    virtual int SetStepResult(int result) = 0;
    virtual int FailStep() = 0;
    virtual int GetNodeCount() = 0;
    virtual int HasNodes() = 0;
    virtual int GetParentNode(int node) = 0;
    virtual int GetChildNode(int node, int index) = 0;
    virtual int GetNextSibling(int node) = 0;
    virtual int GetPrevSibling(int node) = 0;
    virtual int GetNumChildren(int node) = 0;
    virtual int GetNumDescendants(int node) = 0;
    virtual int IsLeafNode(int node) = 0;
    virtual int GetNodeDepth(int node) = 0;
    virtual int GetChildIndex(int node) = 0;
    virtual QVString GetNodeName(int node) = 0;
    virtual QVString GetNodeText(int node) = 0;
    virtual int GetNodeStartPos(int node) = 0;
    virtual int GetNodeLength(int node) = 0;
    virtual int GetNodeSymbol(int node) = 0;
    virtual int FindFirstNode(const char* path, int start) = 0;
    virtual void FreeFind(int handle) = 0;
    virtual int FindNextNode(int handle) = 0;
    virtual int FindNode(const char* path, int start) = 0;
    virtual int GetErrorCount() = 0;
    virtual int GetErrorSeverity(int i) = 0;
    virtual int GetErrorCode(int i) = 0;
    virtual QVString GetErrorText(int i) = 0;
    virtual QVString GetErrorDescription(int i) = 0;
    virtual QVString GetErrorAttribute(int i, const char* key) = 0;
    virtual int LoadTreeFromCache(const char* path) = 0;
    virtual int SaveTreeToCache(const char* path) = 0;
    virtual int PostTreeErrors() = 0;
    virtual void SetUserValue(int value) = 0;
    virtual int GetUserValue(int inherit) = 0;
    virtual int TestAttribute(int attribute) = 0;
    virtual QVString GetSpaceCharacters() = 0;
    virtual int GetSpaceSymbol() = 0;

    // Loads a compiled grammar image of known size; an image that runs past `size` is refused.
    // Prefer it to LoadGrammarFromBuffer whenever the size is known.
    int LoadGrammarImage(const char* image, long size);

    static long GetFileSize(const char* path);
    static long LoadFile(const char* path, char* buffer, long length);
};

ParserInterface* GetParserInterface();
void ReleaseParserInterface(ParserInterface* parser);
