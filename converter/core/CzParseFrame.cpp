#include "converter/core/CzParseFrame.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/ParserErrors.h"
#include "converter/core/ScriptResource.h"
#include "core/output/TextFormat.h"
#include "qvrn/ParserInterface.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Kept to the widths the report has always used, so one long line cannot swamp the console.
const size_t MaxReportedFileName = 259;
const size_t MaxReportedLineText = 1023;

const char* ReportHeader()
{
    const unsigned long now = static_cast<unsigned long>(time(nullptr));
    if ((now & 0xFF) == 0xFF)
        return "\nYo big badass parsething be all messed up!\nAnd I mean fo real, too.";
    if ((now & 0x0F) == 0x0F)
        return "\nThere most definitely was an error...\n";
    return "";
}

} // namespace

CzParseFrame::CzParseFrame() : m_pParser(GetParserInterface())
{
    if (!m_pParser)
        vbail("Cannot create a parser interface - out of memory\n");
}

CzParseFrame::~CzParseFrame() { ReleaseParserInterface(m_pParser); }

void CzParseFrame::LoadGrammar(const char* grammarResource)
{
    std::string image;
    if (!LoadResourceBytes(grammarResource, GrammarResourceType, image) ||
        !m_pParser->LoadGrammarFromBuffer(image.data())) {
        Report(ParserErrorText(ErrGrammarNotLoadable), ErrGrammarNotLoadable, 0, -1, false);
        ErrorSummary(true, true);
    }
}

const char* CzParseFrame::Fetch(const QVString& text)
{
    const char* chars = text;
    m_Text = chars ? chars : "";
    return m_Text.c_str();
}

void CzParseFrame::Report(const char* message, int errorNumber, int node, int position, bool fatal)
{
    std::string fileName = "Unknown file";
    std::string lineText;
    int line = 0;
    if (node)
        position = m_pParser->GetNodeStartPos(node);
    if (position != -1) {
        line = m_pParser->GetLineNumber(position);
        QVString inputName = m_pParser->GetInputName();
        const char* name = inputName;
        if (name && *name)
            fileName.assign(name, std::min(strlen(name), MaxReportedFileName));
        QVString text = m_pParser->GetLineText(line);
        const char* chars = text;
        if (chars)
            lineText.assign(chars, std::min(strlen(chars), MaxReportedLineText));
    }
    std::string report = FormatText("%s\n%s(%d) : error %04d : %s\n%s\n", ReportHeader(), fileName.c_str(), line,
                                    errorNumber, message, lineText.c_str());
    if (fatal)
        vbail("%s\nFatal Error, program terminated\n", report.c_str());
    printf("%s", report.c_str());
}

int CzParseFrame::ErrorSummary(bool fatal, bool force)
{
    const int count = m_pParser->GetErrorCount();
    for (int i = 0; i < count; ++i) {
        const int code = m_pParser->GetErrorCode(i);
        if (code == 0)
            continue;
        QVString startPos = m_pParser->GetErrorAttribute(i, "StartPos");
        const char* posText = startPos;
        QVString errorText = m_pParser->GetErrorText(i);
        const char* text = errorText;
        std::string message = FormatText(ParserErrorText(ErrSyntax), code, text ? text : "");
        Report(message.c_str(), ErrSyntax, 0, posText ? atoi(posText) : -1, true);
    }
    if (count == 0 && !force)
        return 0;
    if (fatal || force)
        vbail("\nFatal parse error, Program Terminated\n");
    return 1;
}
