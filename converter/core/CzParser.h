#pragma once

#include <memory>
#include <string>
#include <vector>

class CzParseFrame;
class CzParser;
class ParserInterface;

// A command handler reads its statement's arguments from the parse tree and returns null on
// success or a message that the interpreter reports as "Could not understand".
typedef const char* (CzParser::*CommandHandler)(int node);

// One row of a command table; tables end with a row whose name is null.
struct CommandRow {
    const char* name;
    CommandHandler handler;
    const char* synopsis;
    const char* help;
    unsigned long flag; // CommandRunsWhenInactive: also runs inside an inactive conditional block
};

const unsigned long CommandRunsWhenInactive = 1;

// Runs scripts through the parser runtime: parses a file or a built-in script resource with the
// named compiled grammar, walks the statements under the root and dispatches each to the first
// registered command row of the same name. Frames nest, so a command may parse another file.
class CzParser {
public:
    CzParser();
    virtual ~CzParser();
    CzParser(const CzParser&) = delete;
    CzParser& operator=(const CzParser&) = delete;

    void Parse(const char* fileName);
    // Ends the program, at the node that names it, when the file cannot be parsed from where the
    // chain of open files stands: it is already open (a cycle) or the chain is at its deepest.
    void CheckIncludable(int node, const char* fileName);
    void ParseResource(const char* resourceName);
    void DispatchStatement(int node);

    // The child of a node with the given symbol name, or 0; when required and absent, error 2.
    int FindChild(int node, const char* symbol, bool required);
    // The text of that child (valid until the next fetch), or null when absent and not required.
    const char* GetChildText(int node, const char* symbol, bool required);
    const char* NodeName(int node);
    const char* NodeText(int node);

    // Reports an error of the error table, formatted with the arguments, at a node of the frame.
    void ReportError(CzParseFrame* frame, int errorNumber, int node, bool fatal, ...);
    // Prints the formatted text and ends the program with it as error 65535 at the node.
    [[noreturn]] void Error(int node, const char* format, ...);

    void ListCommands() const;
    void RegisterCommands(const CommandRow* table);

    CzParseFrame* CurrentFrame() const { return m_Frames.empty() ? nullptr : m_Frames.back().get(); }
    ParserInterface* Parser() const;

protected:
    virtual void ExecuteCommand(int node, const CommandRow& row);

    // Opens a frame, loads the grammar and parses the input (a file, or a script resource when
    // fromResource is set); returns the first node of the root symbol from searchFrom on.
    // CloseFrame ends it. A built-in script resource is parsed once per run: its text and the
    // grammar never change, so later opens share the first frame's tree.
    int OpenParse(const char* name, bool fromResource, const char* rootSymbol, int searchFrom);
    void CloseFrame();

    std::string m_GrammarName;

private:
    void RunStatements(int root);

    std::vector<const CommandRow*> m_Rows;
    std::vector<std::string> m_FileNames;
    // Where each open file resolves to, so that another spelling of the same file is the same.
    std::vector<std::string> m_OpenPaths;
    std::vector<std::shared_ptr<CzParseFrame>> m_Frames;
};
