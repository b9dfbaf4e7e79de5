#include "qvrn/ParserAPIImp.h"

#include "qvrn/FileFunctions.h"
#include "qvrn/Grammar.h"
#include "qvrn/InputStream.h"
#include "qvrn/Instructions.h"
#include "qvrn/ParseTree.h"
#include "qvrn/ParserImp.h"
#include "qvrn/QVError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <string>
#include <strings.h>

namespace {

const char kCompilerPrefix[] = "%QUORVANE_GDL%";
const char kCompilerLibrary[] = "libQVRNC100.so";

typedef unsigned char (*InitCompilerFn)();
typedef unsigned char (*CompileGrammarFn)(ParserInterface*, const char*);
typedef void (*FreeCompilerFn)();

// The outside compiler keeps global state: it is freed only when its last user lets go.
int g_compilerUsers = 0;

void CopyText(char* dst, size_t size, const char* text) { snprintf(dst, size, "%s", text ? text : ""); }

// Reads key `key` of section `section` from an INI file; empty when absent.
std::string ReadProfileString(const char* path, const char* section, const char* key)
{
    FILE* file = fopen(path, "r");
    if (!file)
        return std::string();
    char line[1024];
    bool inSection = false;
    std::string value;
    while (fgets(line, sizeof line, file)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        text = text.substr(first);
        if (text[0] == '[') {
            size_t close = text.find(']');
            inSection = close != std::string::npos && strcasecmp(text.substr(1, close - 1).c_str(), section) == 0;
            continue;
        }
        size_t equals = text.find('=');
        if (!inSection || equals == std::string::npos)
            continue;
        std::string name = text.substr(0, equals);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        if (strcasecmp(name.c_str(), key) == 0) {
            value = text.substr(equals + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            break;
        }
    }
    fclose(file);
    return value;
}

} // namespace

ParserInterface* GetParserInterface() { return new (std::nothrow) ParserAPIImp(); }

void ReleaseParserInterface(ParserInterface* parser)
{
    if (!parser)
        return;
    ParserAPIImp* imp = static_cast<ParserAPIImp*>(parser);
    imp->ReleaseAll();
    delete imp;
}

int ParserInterface::LoadGrammarImage(const char* image, long size)
{
    return static_cast<ParserAPIImp*>(this)->LoadSizedImage(image, size);
}

long ParserInterface::GetFileSize(const char* path) { return ::GetFileSize(path); }
long ParserInterface::LoadFile(const char* path, char* buffer, long length)
{
    return LoadBufferFromFile(path, buffer, length);
}

ParserAPIImp::ParserAPIImp()
{
    treePositions_.Add(nullptr);
    breakpoints_.Add(nullptr);
}

ParserAPIImp::~ParserAPIImp() { ReleaseAll(); }

void ParserAPIImp::ReleaseAll()
{
    Clear();
    DiscardParse();
    DiscardGrammar();
    DiscardInput();
    wholeInputFlag_ = errorNodeFlag_ = 1;
    ReleaseCompiler();
}

void ParserAPIImp::Clear()
{
    api_.ClearErrors();
    api_.ClearWarnings();
}

// Queries clear the error list only when they have a failure to report, so that a caller can
// read an error's position and line between reading its code and its text.
bool ParserAPIImp::RequireStream()
{
    if (stream_)
        return true;
    Clear();
    api_.ThrowError(kQVNoSourceOpen);
    return false;
}

bool ParserAPIImp::RequireParse()
{
    if (parser_)
        return true;
    Clear();
    api_.ThrowError(kQVNoParseRunning);
    return false;
}

QVString ParserAPIImp::Text(const char* text)
{
    if (text != textBuffer_)
        CopyText(textBuffer_, sizeof textBuffer_, text);
    textBuffer_[sizeof textBuffer_ - 1] = 0;
    return QVString(textBuffer_);
}

void ParserAPIImp::DiscardSearches()
{
    for (long i = 1; i < treePositions_.GetSize(); ++i)
        delete static_cast<QVTREEPOS*>(treePositions_.GetAt(i));
    treePositions_.RemoveAll();
    treePositions_.Add(nullptr);
}

void ParserAPIImp::DiscardTree()
{
    DiscardSearches();
    delete tree_;
    tree_ = nullptr;
}

void ParserAPIImp::DiscardParse()
{
    if (parser_)
        FinishParse();
    DiscardTree();
    parseState_ = 0;
}

void ParserAPIImp::DiscardGrammar()
{
    api_.UnloadGrammar(grammar_);
    grammar_ = nullptr;
    grammarPath_[0] = 0;
    grammarVersion_[0] = 0;
    startSymbol_ = 0;
    RemoveAllBreakpoints();
    nextBreakpointId_ = 1;
}

void ParserAPIImp::DiscardInput()
{
    delete stream_;
    stream_ = nullptr;
    free(inputCopy_);
    inputCopy_ = nullptr;
    inputPath_[0] = 0;
}

void ParserAPIImp::__SetCurrentGrammar(QVGrammar* grammar, const char* path)
{
    DiscardParse();
    DiscardGrammar();
    grammar_ = grammar;
    if (!grammar)
        return;
    CopyText(grammarPath_, sizeof grammarPath_, path);
    char name[256];
    startSymbol_ = grammar->Resolve(grammar->GetStartSymbolName(name, sizeof name));
    grammar->GetVersionStr("", grammarVersion_, sizeof grammarVersion_);
}

QVString ParserAPIImp::GetVersion() { return QVString("1.01"); }
QVString ParserAPIImp::GetBuildVersion() { return QVString("1.01e"); }

QVString ParserAPIImp::GetProjectsDirectory()
{
    std::string value = ReadProfileString("Quorvane.INI", "Directories", "Projects Directory");
    const char* home = getenv("HOME");
    if (value.empty() && home)
        value = ReadProfileString((std::string(home) + "/Quorvane.INI").c_str(), "Directories", "Projects Directory");
    return Text(value.c_str());
}

int ParserAPIImp::LoadGrammar(const char* text)
{
    Clear();
    DiscardParse();
    if (text && strncmp(text, kCompilerPrefix, strlen(kCompilerPrefix)) == 0) {
        __SetCurrentGrammar(nullptr, nullptr);
        return LoadThroughCompiler(text + strlen(kCompilerPrefix));
    }
    if (!text || !*text) {
        __SetCurrentGrammar(nullptr, nullptr);
        return 1;
    }
    QVGrammar* grammar = api_.LoadGrammar(text);
    __SetCurrentGrammar(grammar, text);
    return grammar_ ? 1 : 0;
}

int ParserAPIImp::LoadThroughCompiler(const char* source)
{
    if (!compiler_) {
        compiler_ = dlopen(kCompilerLibrary, RTLD_NOW);
        if (!compiler_) {
            api_.ThrowError(kQVCompilerNotInstalled);
            return 0;
        }
        ++g_compilerUsers;
    }
    auto init = reinterpret_cast<InitCompilerFn>(dlsym(compiler_, "InitCompiler"));
    auto compile = reinterpret_cast<CompileGrammarFn>(dlsym(compiler_, "CompileGrammar"));
    auto release = reinterpret_cast<FreeCompilerFn>(dlsym(compiler_, "FreeCompiler"));
    if (!init || !compile || !release) {
        api_.ThrowError(kQVCompilerLoadFailed);
        dlclose(compiler_);
        compiler_ = nullptr;
        --g_compilerUsers;
        return 0;
    }
    if (!compilerReady_) {
        compilerReady_ = init() != 0;
        if (!compilerReady_) {
            api_.ThrowError(kQVCompilerInitError);
            return 0;
        }
    }
    if (compile(this, source))
        return 1;
    QVError* last = api_.GetLastError();
    if (last && last->GetCode() == kQVGdfGrammarLoadFailed) {
        Clear();
        api_.ThrowError(kQVCompilerGdlMissing);
    } else {
        api_.ThrowError(kQVGrammarHasErrors);
    }
    return 0;
}

void ParserAPIImp::ReleaseCompiler()
{
    if (!compiler_)
        return;
    auto release = reinterpret_cast<FreeCompilerFn>(dlsym(compiler_, "FreeCompiler"));
    if (--g_compilerUsers == 0 && release && compilerReady_)
        release();
    dlclose(compiler_);
    compiler_ = nullptr;
    compilerReady_ = false;
}

int ParserAPIImp::SetStartSymbol(int symbol)
{
    startSymbol_ = symbol;
    return 1;
}

int ParserAPIImp::GetDefaultStartSymbol()
{
    if (!grammar_)
        return 0;
    char name[256];
    return grammar_->Resolve(grammar_->GetStartSymbolName(name, sizeof name));
}

int ParserAPIImp::LookupSymbol(const char* name) { return grammar_ ? grammar_->Resolve(name) : 0; }

QVString ParserAPIImp::GetSymbolName(int symbol)
{
    char name[2048] = "";
    if (grammar_)
        grammar_->GetQualifiedName(symbol, name, sizeof name);
    return Text(name);
}

QVString ParserAPIImp::GetGrammarVersion() { return Text(grammar_ ? grammarVersion_ : ""); }

int ParserAPIImp::LoadGrammarFromBuffer(const char* image)
{
    Clear();
    DiscardParse();
    if (!image)
        return 0;
    __SetCurrentGrammar(api_.LoadGrammarFromBuffer(image), "");
    return grammar_ ? 1 : 0;
}

int ParserAPIImp::LoadSizedImage(const char* image, long size)
{
    Clear();
    DiscardParse();
    if (!image)
        return 0;
    __SetCurrentGrammar(api_.LoadGrammarFromBuffer(image, size), "");
    return grammar_ ? 1 : 0;
}

int ParserAPIImp::SetInputBuffer(const char* text)
{
    Clear();
    DiscardParse();
    DiscardInput();
    if (!text || !*text)
        return 1;
    inputCopy_ = strdup(text);
    if (!inputCopy_)
        return 0;
    stream_ = api_.OpenBufferStream(inputCopy_, static_cast<long>(strlen(inputCopy_)));
    return stream_ ? 1 : 0;
}

int ParserAPIImp::SetInputFile(const char* path)
{
    Clear();
    DiscardParse();
    DiscardInput();
    if (!path || !*path)
        return 1;
    CopyText(inputPath_, sizeof inputPath_, path);
    stream_ = api_.OpenFileStream(path, 0);
    if (!stream_) {
        api_.ThrowError(kQVSourceOpenFailed);
        return 0;
    }
    return 1;
}

QVString ParserAPIImp::GetInputName() { return Text(inputPath_); }

int ParserAPIImp::GetInputChar(int pos)
{
    if (!RequireStream())
        return 0;
    if (pos >= 0)
        stream_->Seek(pos);
    return stream_->GetNextChar();
}

QVString ParserAPIImp::GetInputText(int start, int length)
{
    if (!RequireStream())
        return Text("");
    long size = stream_->GetSize();
    long from = start == -1 ? stream_->Tell() : start;
    if (start < -1 || from < 0 || from >= size || length < -1 || length > size)
        return Text("");
    long n = length <= 0 ? size - from : length;
    if (n > size - from)
        n = size - from;
    std::string text(n, '\0');
    const char* p = stream_->PointerAt(from, n);
    if (!p) {
        api_.ThrowError(kQVOutOfMemory);
        return Text("");
    }
    memcpy(&text[0], p, n);
    return QVString(text.c_str());
}

int ParserAPIImp::GetInputSize() { return RequireStream() ? stream_->GetSize() : 0; }

int ParserAPIImp::GetLineNumber(int pos) { return RequireStream() ? stream_->GetLineNumber(pos) : 0; }

int ParserAPIImp::GetLineCount() { return RequireStream() ? stream_->GetLineCount() : 0; }

int ParserAPIImp::GetLineStart(int line) { return RequireStream() ? stream_->GetLineStart(line) : 0; }

QVString ParserAPIImp::GetLineText(int line)
{
    if (!RequireStream())
        return Text("");
    long here = stream_->Tell();
    stream_->GetLineText(line, textBuffer_, sizeof textBuffer_);
    stream_->Seek(here);
    return QVString(textBuffer_);
}

int ParserAPIImp::RunParse()
{
    Clear();
    if (!parser_) {
        DiscardTree();
        parseState_ = 0;
        if (!stream_) {
            api_.ThrowError(kQVNoInput);
            parseState_ = 2;
        }
        if (!grammar_) {
            api_.ThrowError(kQVNoGrammar);
            parseState_ = 2;
        }
        if (parseState_ == 2)
            return 2;
        breakpointHit_ = 0;
        parser_ = ParserImp::CreateNew(&api_);
        if (!parser_) {
            parseState_ = 2;
            return 2;
        }
        parser_->SetPauseOnOutside(true);
        char name[256] = "";
        if (startSymbol_)
            grammar_->GetQualifiedName(startSymbol_, name, sizeof name);
        stream_->Seek(0);
        unsigned long flags = (errorNodeFlag_ ? 4 : 0) | (wholeInputFlag_ ? 1 : 0);
        if (parser_->StartParse(grammar_, name, stream_, flags) != -2) {
            FinishParse();
            DiscardTree();
            parseState_ = 2;
            return 2;
        }
        lastBreakEnd_ = -1;
        startSymbolCode_ = parser_->GetStartRule();
    }
    // Without breakpoints the engine runs on by itself up to the next outside symbol; with
    // them every step is one a breakpoint may stop at.
    parser_->SetQuickMatching(breakpoints_.GetSize() <= 1);
    while ((breakpoints_.GetSize() > 1 ? parser_->Step() : parser_->StepToOutside()) == -2) {
        if (parser_->GetFrameCount() > 0) {
            for (long i = 1; i < breakpoints_.GetSize(); ++i) {
                const Breakpoint* breakpoint = static_cast<const Breakpoint*>(breakpoints_.GetAt(i));
                if (breakpoint && BreakpointFires(*breakpoint)) {
                    breakpointHit_ = breakpoint->id;
                    parseState_ = 3;
                    return 3;
                }
            }
        }
        if (parser_->CurrentIsPendingOutside()) {
            parser_->MarkCurrentEntered();
            parseState_ = 4;
            return 4;
        }
    }
    FinishParse();
    if (parseState_ == 0)
        parseState_ = 2;
    return parseState_;
}

bool ParserAPIImp::BreakpointFires(const Breakpoint& b)
{
    long event = parser_->GetEventType();
    const ParserImp::Frame* frame = parser_->GetFrameAt(parser_->GetEventFrame());
    if (b.kind & 7) {
        long startSymbol = parser_->GetStartContext();
        if (b.value == startSymbol && parser_->GetEventInstruction() == startSymbolCode_ &&
            (b.kind == 0 || (b.kind & event))) {
            breakReason_ = static_cast<int>(event);
            return true;
        }
        long symbol = parser_->GetEventSymbol();
        if (symbol && (b.value == 0 || b.value == symbol) && (b.kind & event)) {
            breakReason_ = static_cast<int>(event);
            return true;
        }
        return false;
    }
    if ((b.kind & 0x100) && event == 2 && frame) {
        long end = frame->start + frame->length;
        if (lastBreakEnd_ < end && lastBreakEnd_ < b.value && b.value < end) {
            lastBreakEnd_ = end;
            breakReason_ = 256;
            return true;
        }
        return false;
    }
    if ((b.kind & 0x800) && event == 2 && frame) {
        if (b.value >= frame->start && b.value <= frame->start + frame->length) {
            breakReason_ = 2048;
            return true;
        }
        return false;
    }
    if (b.kind & 0x200) {
        if (b.value == parser_->GetStepCount()) {
            breakReason_ = 512;
            return true;
        }
        return false;
    }
    if ((b.kind & 0x400) && b.value > 0 && parser_->GetStepCount() % b.value == 0) {
        breakReason_ = 1024;
        return true;
    }
    return false;
}

int ParserAPIImp::FinishParse()
{
    if (!parser_)
        return parseState_;
    tree_ = static_cast<ParseTreeImp*>(parser_->EndParse());
    ParserImp::Delete(parser_);
    parser_ = nullptr;
    errorCountAtEnd_ = static_cast<int>(api_.GetNumErrors() + api_.GetNumWarnings());
    parseState_ = tree_ ? 1 : 0;
    return parseState_;
}

int ParserAPIImp::AddBreakpoint(int kind, int value)
{
    Breakpoint* breakpoint = new (std::nothrow) Breakpoint{nextBreakpointId_, kind, value};
    if (!breakpoint || breakpoints_.Add(breakpoint) < 0) {
        delete breakpoint;
        return 0;
    }
    ++breakpointCount_;
    return nextBreakpointId_++;
}

int ParserAPIImp::RemoveBreakpoint(int id)
{
    for (long i = 1; i < breakpoints_.GetSize(); ++i) {
        Breakpoint* breakpoint = static_cast<Breakpoint*>(breakpoints_.GetAt(i));
        if (breakpoint && breakpoint->id == id) {
            breakpoints_.RemoveAt(i);
            delete breakpoint;
            return --breakpointCount_;
        }
    }
    return 0;
}

int ParserAPIImp::RemoveAllBreakpoints()
{
    for (long i = 1; i < breakpoints_.GetSize(); ++i)
        delete static_cast<Breakpoint*>(breakpoints_.GetAt(i));
    breakpoints_.RemoveAll();
    breakpoints_.Add(nullptr);
    breakpointCount_ = 0;
    return 0;
}

int ParserAPIImp::GetBreakReason() { return parser_ ? breakReason_ : 0; }

int ParserAPIImp::GetCurrentPosition()
{
    const ParserImp::Frame* frame = parser_ ? parser_->GetFrameAt(parser_->GetCurrentFrameIndex()) : nullptr;
    return frame ? frame->start : 0;
}

int ParserAPIImp::GetCurrentNode()
{
    if (!parser_)
        return 0;
    for (const ParserImp::Frame* f = parser_->GetFrameAt(parser_->GetCurrentFrameIndex()); f;
         f = parser_->GetFrameAt(f->parent))
        if (f->symbol)
            return f->node;
    return 0;
}

int ParserAPIImp::GetCurrentSymbol()
{
    if (!parser_)
        return 0;
    if (parser_->GetEventSymbol())
        return parser_->GetEventSymbol();
    if (parser_->GetEventInstruction() == startSymbolCode_)
        return startSymbol_ ? startSymbol_ : parser_->GetStartContext();
    const ParserImp::Frame* frame = parser_->GetFrameAt(parser_->GetCurrentFrameIndex());
    GrammarContext* context = static_cast<GrammarImp*>(grammar_)->GetContext();
    if (frame && context->GetSymbolType(frame->instruction) == QV_ATTRIBUTES) {
        const ParserImp::Frame* parent = parser_->GetFrameAt(frame->parent);
        return parent ? parent->symbol : 0;
    }
    return 0;
}

int ParserAPIImp::GetStepCount() { return parser_ ? parser_->GetStepCount() : 0; }

int ParserAPIImp::SetStepResult(int result)
{
    if (!parser_)
        return 0;
    parser_->SetStatus(result);
    return 1;
}

int ParserAPIImp::FailStep() { return SetStepResult(-1); }

int ParserAPIImp::GetNodeCount() { return tree_ ? tree_->GetNodeCount() : 0; }
int ParserAPIImp::HasNodes() { return tree_ ? tree_->GetRoot() : 0; }
int ParserAPIImp::GetParentNode(int node) { return tree_ ? tree_->GetParent(node) : 0; }
int ParserAPIImp::GetChildNode(int node, int index) { return tree_ ? tree_->GetChild(node, index) : 0; }
int ParserAPIImp::GetNextSibling(int node) { return tree_ ? tree_->GetNextSibling(node) : 0; }
int ParserAPIImp::GetPrevSibling(int node) { return tree_ ? tree_->GetPrevSibling(node) : 0; }
int ParserAPIImp::GetNumChildren(int node) { return tree_ ? tree_->GetNumChildren(node) : 0; }
int ParserAPIImp::GetNumDescendants(int node) { return tree_ ? tree_->GetNumDescendants(node) : 0; }
int ParserAPIImp::IsLeafNode(int node) { return tree_ ? tree_->IsLeaf(node) : 1; }
int ParserAPIImp::GetNodeDepth(int node) { return tree_ ? tree_->GetDepth(node) : -1; }
int ParserAPIImp::GetChildIndex(int node) { return tree_ ? tree_->GetChildIndex(node) : -1; }

QVString ParserAPIImp::GetNodeName(int node)
{
    char name[2048] = "";
    if (tree_)
        tree_->GetNodeName(node, name, sizeof name);
    return Text(name);
}

// Node texts cross whole, however long the statement or string.
QVString ParserAPIImp::GetNodeText(int node)
{
    if (!tree_)
        return Text("");
    long length = tree_->GetNodeTextLength(node);
    std::string text(length > 0 ? length : 0, '\0');
    long written = 0;
    if (length > 0)
        tree_->CopyNodeText(node, &text[0], length, written);
    text.resize(written);
    return QVString(text.c_str());
}

int ParserAPIImp::GetNodeStartPos(int node) { return tree_ ? tree_->GetNodeStart(node) : 0; }
int ParserAPIImp::GetNodeLength(int node) { return tree_ ? tree_->GetNodeLength(node) : 0; }

int ParserAPIImp::GetNodeSymbol(int node)
{
    if (!tree_ || !tree_->GetNode(node) || tree_->GetNode(node)->symbol == QV_NODE_LITERAL)
        return 0;
    return tree_->GetNodeValue(node);
}

int ParserAPIImp::FindFirstNode(const char* path, int start)
{
    if (!tree_)
        return 0;
    QVTREEPOS pos = tree_->StartSearch(path, start);
    if (pos == 0)
        return 0;
    QVTREEPOS* kept = new (std::nothrow) QVTREEPOS(pos);
    if (!kept)
        return 0;
    for (long i = 1; i < treePositions_.GetSize(); ++i) {
        if (!treePositions_.GetAt(i)) {
            treePositions_.SetAt(i, kept);
            return static_cast<int>(i);
        }
    }
    long handle = treePositions_.Add(kept);
    if (handle < 0) {
        delete kept;
        return 0;
    }
    return static_cast<int>(handle);
}

void ParserAPIImp::FreeFind(int handle)
{
    if (handle < 1 || handle >= treePositions_.GetSize())
        return;
    delete static_cast<QVTREEPOS*>(treePositions_.GetAt(handle));
    treePositions_.SetAt(handle, nullptr);
}

int ParserAPIImp::FindNextNode(int handle)
{
    QVTREEPOS* pos = handle >= 1 ? static_cast<QVTREEPOS*>(treePositions_.GetAt(handle)) : nullptr;
    if (!tree_ || !pos)
        return 0;
    return tree_->NextMatch(*pos);
}

int ParserAPIImp::FindNode(const char* path, int start) { return tree_ ? tree_->FindNode(path, start) : 0; }

int ParserAPIImp::GetErrorCount() { return static_cast<int>(api_.GetNumErrors() + api_.GetNumWarnings()); }

// Only the low 16 bits of an index count, read as a signed number.
QVError* ParserAPIImp::Entry(int i)
{
    int16_t index = static_cast<int16_t>(static_cast<uint16_t>(i & 0xFFFF));
    return index < 0 ? nullptr : api_.GetErrorManager()->GetByIndex(index);
}

int ParserAPIImp::GetErrorSeverity(int i)
{
    QVError* error = Entry(i);
    return error ? static_cast<int>(error->GetIntAttribute("Severity")) : 0;
}

int ParserAPIImp::GetErrorCode(int i)
{
    QVError* error = Entry(i);
    return error ? static_cast<int>(error->GetCode()) : 0;
}

QVString ParserAPIImp::GetErrorText(int i)
{
    QVError* error = Entry(i);
    if (!error)
        return Text("");
    static const char* const kCompilerTexts[] = {
        "runtime grammar compiler is not installed", "error loading the runtime grammar compiler",
        "error initializing the runtime grammar compiler", "grammar contains errors",
        "grammar compiler could not load file GDL.GMR"};
    long code = error->GetCode();
    if (code >= kQVCompilerNotInstalled && code <= kQVCompilerGdlMissing)
        return Text(kCompilerTexts[code - kQVCompilerNotInstalled]);
    return Text(error->GetMessage(textBuffer_, sizeof textBuffer_));
}

QVString ParserAPIImp::GetErrorDescription(int i)
{
    QVError* error = Entry(i);
    return Text(error ? error->GetAttributeList(textBuffer_, sizeof textBuffer_) : "");
}

QVString ParserAPIImp::GetErrorAttribute(int i, const char* key)
{
    QVError* error = Entry(i);
    if (!error || !key)
        return Text("");
    const char* text = error->GetTextAttribute(key);
    if (text && *text)
        return Text(text);
    char number[32];
    snprintf(number, sizeof number, "%ld", error->GetIntAttribute(key));
    return Text(number);
}

int ParserAPIImp::PostTreeErrors()
{
    if (!tree_ || !grammar_)
        return 0;
    return static_cast<int>(api_.PostTreeErrors(tree_, grammar_));
}

void ParserAPIImp::SetUserValue(int value)
{
    if (RequireParse())
        parser_->SetUserValueAt(value);
}

int ParserAPIImp::GetUserValue(int inherit)
{
    return RequireParse() ? static_cast<int>(parser_->GetUserValueAt(inherit != 0)) : 0;
}

int ParserAPIImp::TestAttribute(int attribute)
{
    if (!RequireParse())
        return 0;
    static const int kPairs[][2] = {{4, 8}, {256, 128}, {512, 1024}, {4096, 2048}, {16384, 8192}};
    bool known = attribute == 1 || attribute == 2 || attribute == 32 || attribute == 0x8000;
    for (const auto& pair : kPairs)
        known = known || attribute == pair[0] || attribute == pair[1];
    if (!known) {
        QVError* error = api_.ThrowError(kQVUnknownAttribute);
        if (error)
            error->SetIntAttribute("ATTR_ID", attribute);
        return 0;
    }
    GrammarContext* context = static_cast<GrammarImp*>(grammar_)->GetContext();
    long current = parser_->GetCurrentFrameIndex();
    auto flagsAt = [&](long index) -> int32_t {
        const ParserImp::Frame* f = parser_->GetFrameAt(index);
        if (!f || context->GetSymbolType(f->instruction) != QV_ATTRIBUTES)
            return 0;
        return QVReadInt(context->GetByteCode(), f->instruction + 4);
    };
    if (attribute == 2)
        return (flagsAt(current - 1) & 2) ? 1 : 0;
    if (attribute == 32)
        return (flagsAt(current + 1) & 32) ? 1 : 0;
    for (const auto& pair : kPairs) {
        if (attribute != pair[0] && attribute != pair[1])
            continue;
        for (long i = current; i >= 0; --i) {
            int32_t flags = flagsAt(i);
            if (flags & (pair[0] | pair[1]))
                return (flags & attribute) ? 1 : 0;
        }
        return attribute == pair[0] ? 1 : 0;
    }
    for (long i = current; i >= 0; --i)
        if (flagsAt(i) & attribute)
            return 1;
    return 0;
}

QVString ParserAPIImp::GetSpaceCharacters()
{
    if (!RequireParse())
        return Text("");
    const ParserImp::Frame* frame = parser_->GetFrameAt(parser_->GetCurrentFrameIndex());
    if (!frame || frame->settings.spaceSymbol)
        return Text("");
    if (frame->settings.wsChars < 0)
        return Text("\r\n\t ");
    GrammarContext* context = static_cast<GrammarImp*>(grammar_)->GetContext();
    return Text(std::string(context->GetByteCode() + frame->settings.wsChars, frame->settings.wsCount).c_str());
}

int ParserAPIImp::GetSpaceSymbol()
{
    if (!RequireParse())
        return 0;
    const ParserImp::Frame* frame = parser_->GetFrameAt(parser_->GetCurrentFrameIndex());
    if (!frame || !frame->settings.spaceSymbol)
        return 0;
    GrammarContext* context = static_cast<GrammarImp*>(grammar_)->GetContext();
    char name[256];
    QVGetInstructionName(*context, frame->settings.spaceSymbol, name, sizeof name);
    return grammar_->Resolve(name);
}
