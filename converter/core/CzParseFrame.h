#pragma once

#include <string>

class ParserInterface;
class QVString;

// One parse in progress: the parser runtime's interface for it, the name of the file being
// read and the text of the last node or message fetched. Errors found while a frame is open
// are reported against its input (file name, line and line text).
class CzParseFrame {
public:
    CzParseFrame();
    ~CzParseFrame();
    CzParseFrame(const CzParseFrame&) = delete;
    CzParseFrame& operator=(const CzParseFrame&) = delete;

    ParserInterface* Parser() const { return m_pParser; }

    // Hands the named compiled grammar resource to the runtime; a grammar that cannot be found
    // or loaded ends the program after error 5.
    void LoadGrammar(const char* grammarResource);

    // Copies a runtime string into the frame's text and returns it (valid until the next fetch).
    const char* Fetch(const QVString& text);

    // Formats and prints an error of the given number at a node (or, with node 0, at a source
    // position; -1 means no position). A fatal report ends the program.
    void Report(const char* message, int errorNumber, int node, int position, bool fatal);

    // Reports the runtime's syntax errors of the last parse. Returns 0 when there were none and
    // force is off; ends the program when there were errors (or force is on) and fatal is on.
    int ErrorSummary(bool fatal, bool force);

    std::string m_FileName;
    std::string m_Text;

private:
    ParserInterface* m_pParser;
};
