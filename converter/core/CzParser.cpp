#include "converter/core/CzParser.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParseFrame.h"
#include "converter/core/ParserErrors.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/ScriptResource.h"
#include "core/output/TextFormat.h"
#include "qvrn/ParserInterface.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// Real scripts nest a handful of levels; far more is a runaway chain that would exhaust the stack.
const size_t MaxIncludeDepth = 64;

// The file's canonical path, or its mapped name when it cannot be resolved (it does not exist:
// opening it reports that).
std::string ResolvedPath(const char* name)
{
    const std::string mapped = ScriptPath(name);
    char resolved[PATH_MAX];
    return realpath(mapped.c_str(), resolved) ? std::string(resolved) : mapped;
}

// Help texts are wrapped to lines of at most 79 columns, breaking at a blank from column 64 on.
void PrintWrapped(const char* text)
{
    const size_t LineEnd = 79;
    const size_t EarliestBreak = 64;
    std::string rest = text ? text : "";
    while (!rest.empty()) {
        std::string line = "    ";
        size_t used = 0;
        while (used < rest.size() && rest[used] != '\n' && line.size() < LineEnd)
            line += rest[used++];
        if (used < rest.size() && rest[used] != '\n') {
            const size_t blank = line.find_last_of(' ');
            if (blank != std::string::npos && blank >= EarliestBreak) {
                used -= line.size() - blank - 1;
                line.resize(blank);
            }
        }
        if (used < rest.size() && rest[used] == '\n')
            ++used;
        printf("%s\n", line.c_str());
        rest.erase(0, used);
    }
}

// Resource parses that succeeded, by grammar and resource name. The frames are only read once
// parsed, so every interpreter of the run may share them.
std::map<std::string, std::shared_ptr<CzParseFrame>>& ResourceFrames()
{
    static std::map<std::string, std::shared_ptr<CzParseFrame>> frames;
    return frames;
}

} // namespace

CzParser::CzParser() = default;

CzParser::~CzParser() = default;

ParserInterface* CzParser::Parser() const
{
    CzParseFrame* frame = CurrentFrame();
    return frame ? frame->Parser() : nullptr;
}

int CzParser::OpenParse(const char* name, bool fromResource, const char* rootSymbol, int searchFrom)
{
    const std::string resourceKey = fromResource ? m_GrammarName + '\n' + name : std::string();
    if (fromResource) {
        auto cached = ResourceFrames().find(resourceKey);
        if (cached != ResourceFrames().end()) {
            VerbosePrintf(3, "Parsing\n");
            m_Frames.push_back(cached->second);
            return FindChild(searchFrom, rootSymbol, true);
        }
    }
    m_Frames.push_back(std::make_shared<CzParseFrame>());
    CzParseFrame* frame = CurrentFrame();
    frame->LoadGrammar(m_GrammarName.c_str());
    ParserInterface* parser = frame->Parser();
    if (fromResource) {
        VerbosePrintf(3, "Parsing\n");
        std::string text;
        if (!LoadResourceBytes(name, ScriptResourceType, text) || text.empty() || !parser->SetInputBuffer(text.c_str()))
            ReportError(frame, ErrFileNotFound, 0, true, name);
        frame->m_FileName.clear();
    } else {
        VerbosePrintf(3, "Parsing %s\n", name);
        RequireRegularFile(name);
        if (!parser->SetInputFile(ScriptPath(name).c_str()))
            ReportError(frame, ErrFileNotFound, 0, true, name);
        frame->m_FileName = name;
    }
    parser->RunParse();
    if (parser->GetErrorCount() > 0)
        frame->ErrorSummary(true, true);
    frame->ErrorSummary(true, false);
    if (fromResource && parser->GetErrorCount() == 0)
        ResourceFrames()[resourceKey] = m_Frames.back();
    return FindChild(searchFrom, rootSymbol, true);
}

void CzParser::CloseFrame() { m_Frames.pop_back(); }

void CzParser::Parse(const char* fileName)
{
    const std::string name = fileName;
    VerbosePrintf(3, "CzParser::Parse(%s)\n", name.c_str());
    m_FileNames.push_back(name);
    m_OpenPaths.push_back(ResolvedPath(fileName));
    RunStatements(OpenParse(name.c_str(), false, "CmdFile", 0));
    m_OpenPaths.pop_back();
    m_FileNames.pop_back();
    CloseFrame();
}

void CzParser::CheckIncludable(int node, const char* fileName)
{
    if (m_OpenPaths.size() >= MaxIncludeDepth)
        Error(node, "Cannot include %s: includes nest deeper than %u files\n", fileName,
              static_cast<unsigned>(MaxIncludeDepth));
    const std::string path = ResolvedPath(fileName);
    for (const std::string& open : m_OpenPaths)
        if (open == path)
            Error(node, "Cannot include %s: it is already being read (the includes form a cycle)\n", fileName);
}

void CzParser::ParseResource(const char* resourceName)
{
    const std::string name = resourceName;
    VerbosePrintf(3, "CzParser::ParseResource(%s)\n", name.c_str());
    RunStatements(OpenParse(name.c_str(), true, "CmdFile", 0));
    CloseFrame();
}

void CzParser::RunStatements(int root)
{
    // Children are walked by sibling links: finding the n-th child costs a walk of its own.
    ParserInterface* parser = Parser();
    for (int statement = parser->GetChildNode(root, 0); statement; statement = parser->GetNextSibling(statement))
        DispatchStatement(statement);
}

void CzParser::DispatchStatement(int node)
{
    const std::string name = NodeName(node);
    for (const CommandRow* row : m_Rows) {
        if (name == row->name) {
            ExecuteCommand(node, *row);
            return;
        }
    }
    ReportError(CurrentFrame(), ErrUndefinedCommand, node, true);
}

void CzParser::ExecuteCommand(int node, const CommandRow& row)
{
    if (const char* failure = (this->*row.handler)(node))
        ReportError(CurrentFrame(), ErrNotUnderstood, node, true, failure);
}

int CzParser::FindChild(int node, const char* symbol, bool required)
{
    const int child = Parser()->FindNode(symbol, node);
    if (!child && required)
        ReportError(CurrentFrame(), ErrSymbolExpected, node, true, symbol);
    return child;
}

const char* CzParser::GetChildText(int node, const char* symbol, bool required)
{
    const int child = FindChild(node, symbol, required);
    return child ? NodeText(child) : nullptr;
}

const char* CzParser::NodeName(int node) { return CurrentFrame()->Fetch(Parser()->GetNodeName(node)); }

const char* CzParser::NodeText(int node) { return CurrentFrame()->Fetch(Parser()->GetNodeText(node)); }

void CzParser::ReportError(CzParseFrame* frame, int errorNumber, int node, bool fatal, ...)
{
    va_list args;
    va_start(args, fatal);
    frame->m_Text = FormatTextV(ParserErrorText(errorNumber), args);
    va_end(args);
    const std::string message = frame->m_Text;
    frame->Report(message.c_str(), errorNumber, node, node ? 0 : -1, fatal);
}

void CzParser::Error(int node, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = FormatTextV(format, args);
    va_end(args);
    printf("%s", message.c_str());
    CzParseFrame* frame = CurrentFrame();
    if (!frame)
        vbail("%s", message.c_str());
    frame->m_Text = message;
    frame->Report(message.c_str(), ErrCustom, node, node ? 0 : -1, true);
    vbail("%s", message.c_str());
}

void CzParser::ListCommands() const
{
    printf("Recognized commands are:\n");
    for (const CommandRow* row : m_Rows) {
        printf("\n");
        printf("%-12s", (std::string(row->name) + " ").c_str());
        printf("%s\n\n", row->synopsis);
        PrintWrapped(row->help);
    }
}

void CzParser::RegisterCommands(const CommandRow* table)
{
    for (const CommandRow* row = table; row->name; ++row)
        m_Rows.push_back(row);
}
